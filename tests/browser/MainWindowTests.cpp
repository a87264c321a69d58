// The main window as real widgets on the offscreen platform: opening files, stepping, the
// dialog's request, copying, exit, the keyboard and a failed load.
#include "App.h"
#include "IconBuilders.h"
#include "IconReader.h"
#include "RealFiles.h"
#include "WindowSeams.h"
#include "basQuorvane.h"
#include "frmQuorvane.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>

using namespace quorvane;
using namespace quorvane::testing;
using browser::frmQuorvane;

namespace {

const QString kNoIcons = QString::fromStdString(kWineFontsDir + "/coure.fon");
const QString kOneIcon = QString::fromStdString(kWineDir + "/notepad.exe");
const QString kTwoIcons = QString::fromStdString(kWineDir + "/winecfg.exe");
const QString kSevenIcons = QString::fromStdString(kWineDir + "/user32.dll");

class MainWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        frmQuorvane::Unload();
        basQuorvane::IconFilePath.clear();
        basQuorvane::IconCount = 0;
        basQuorvane::IconIndex = 0;
        App().HelpFile = QStringLiteral("Quorvane.hlp");
        form = &frmQuorvane::instance();
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form));
    }
    void TearDown() override { frmQuorvane::Unload(); }

    // Opens a file the way a user does: the Open button, the dialog answering with the path.
    void open(const QString& path) {
        seams.answers.push_back(path);
        QTest::mouseClick(form->cmdButton(0), Qt::LeftButton);
    }
    void step(int arrow) {
        QTest::mouseClick(form->cmdArrow(static_cast<std::int16_t>(arrow)), Qt::LeftButton);
    }
    // The state a user sees: the index, and which arrows show.
    void expectState(int index, bool back, bool forward) {
        EXPECT_EQ(basQuorvane::IconIndex, index);
        EXPECT_EQ(!form->cmdArrow(0)->isHidden(), back);
        EXPECT_EQ(!form->cmdArrow(1)->isHidden(), forward);
    }
    // The 35x35 picture: white, and icon `index` of `path` (if any) drawn at (2, 2).
    static QImage picture(const QString& path = {}, int index = 0) {
        QImage image(35, 35, QImage::Format_RGB32);
        image.fill(Qt::white);
        if (auto icon = icons::extractIcon(path.toStdString(), std::uint32_t(index)))
            icons::drawIconBitmap({reinterpret_cast<std::uint32_t*>(image.bits()), 35, 35, 35}, 2,
                                  2, *icon);
        return image;
    }

    WindowSeams seams;
    frmQuorvane* form = nullptr;
};

} // namespace

TEST_F(MainWindow, FilesWithoutIconsGetTheMessageAndBadCountsEndTheOpen) {
    QTemporaryDir dir;
    const QString text = dir.filePath(QStringLiteral("readme.txt"));
    std::ofstream(text.toStdString()) << "not a program";
    for (const QString& path : {kNoIcons, text}) {
        open(kSevenIcons);
        step(1);
        seams.messages.clear();
        open(path);
        expectState(1, false, false);
        EXPECT_EQ(form->pctIcon->Image(), picture());
        ASSERT_EQ(seams.messages.size(), 1u);
        EXPECT_EQ(seams.messages[0].prompt,
                  QStringLiteral("このファイルはアイコンを持っていません。"));
        EXPECT_EQ(seams.messages[0].buttons, 48);
        EXPECT_EQ(seams.messages[0].title, QStringLiteral("Quorvane"));
    }
    // A count above 32767 overflows the 16-bit count: the open ends there, silently, with the
    // arrows hidden and the old count kept.
    std::vector<ResourceSpec> resources =
        iconGroupResources(std::uint16_t(1), {{32, 32, 32, 1, Bytes(200, 0)}});
    resources.push_back({std::uint16_t(10), std::uint16_t(1), 0, Bytes(8 * 40000, 0)});
    Bytes pe = makePe(resources);
    setU16(pe, 0x200 + 16 + 3 * 8 + 4 * (16 + 8) + 14, 40000); // the group directory's count
    const QString many = dir.filePath(QStringLiteral("many.dll"));
    std::ofstream(many.toStdString(), std::ios::binary)
        .write(reinterpret_cast<const char*>(pe.data()), std::streamsize(pe.size()));
    ASSERT_EQ(icons::countIcons(many.toStdString()), 40000u);
    open(kSevenIcons);
    step(1);
    seams.messages.clear();
    open(many);
    EXPECT_EQ(basQuorvane::IconCount, 7);
    expectState(1, false, false);
    EXPECT_TRUE(seams.messages.empty());
    // An index overflow in a step reaches the event dispatch's message; what ran stays done.
    open(kSevenIcons);
    basQuorvane::IconIndex = 32767;
    step(1);
    ASSERT_EQ(seams.messages.size(), 1u);
    EXPECT_EQ(seams.messages[0].prompt,
              QStringLiteral("実行時エラー '6':\n\nオーバーフローしました。"));
    expectState(32767, true, true);
}

TEST_F(MainWindow, TheOpenDialogAsksForAnExistingExecutableAndCancelKeepsAll) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    QTest::mouseClick(form->cmdButton(0), Qt::LeftButton); // cancelled
    QTest::keyClick(form, Qt::Key_F, Qt::AltModifier);     // the same dialog from the menu
    ASSERT_TRUE(QTest::qWaitFor([this] { return form->mnuFile->isVisible(); }));
    QTest::keyClick(form->mnuFile, Qt::Key_O);
    ASSERT_EQ(seams.dialogs.size(), 2u);
    for (const auto& d : seams.dialogs) {
        EXPECT_EQ(d.title, QStringLiteral("ファイルを開く"));
        EXPECT_EQ(d.descriptions, (QStringList{"Executable Files (*.EXE)", "All Files (*.*)"}));
        EXPECT_EQ(d.patterns, (QStringList{"*.EXE", "*.*"}));
        EXPECT_EQ(d.filterIndex, 1);
        EXPECT_EQ(d.flags, 0x1804);
        EXPECT_EQ(d.initialDirectory, QDir::currentPath());
    }
    EXPECT_TRUE(basQuorvane::IconFilePath.isEmpty());
    // Confirming moves the current directory to the file's folder; the next dialog starts
    // there, with the file name kept. Cancelling then changes nothing.
    open(kSevenIcons);
    step(1);
    EXPECT_EQ(QDir::currentPath(), QString::fromStdString(kWineDir));
    const QImage before = form->pctIcon->Image();
    QTest::mouseClick(form->cmdButton(0), Qt::LeftButton);
    EXPECT_EQ(seams.dialogs.back().initialDirectory, QString::fromStdString(kWineDir));
    EXPECT_EQ(seams.dialogs.back().fileName, kSevenIcons);
    EXPECT_EQ(basQuorvane::IconFilePath, kSevenIcons);
    expectState(1, true, true);
    EXPECT_EQ(form->pctIcon->Image(), before);
    EXPECT_TRUE(seams.messages.empty());
}

TEST_F(MainWindow, TabSkipsHiddenArrowsAndEnterPressesTheFocusedButton) {
    auto focusChain = [this] {
        QStringList names;
        form->cmdButton(0)->setFocus();
        for (int i = 0; i < 4; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            names << QApplication::focusWidget()->objectName();
        }
        return names;
    };
    open(kTwoIcons);
    EXPECT_EQ(form->pctIcon->Image(), picture(kTwoIcons, 0));
    EXPECT_EQ(focusChain(), (QStringList{"cmdButton1", "cmdButton2", "cmdArrow1", "pctIcon"}));
    form->cmdArrow(1)->setFocus();
    QTest::keyClick(form->cmdArrow(1), Qt::Key_Return);
    expectState(1, true, false);
    EXPECT_EQ(form->pctIcon->Image(), picture(kTwoIcons, 1));
    EXPECT_EQ(focusChain(), (QStringList{"cmdButton1", "cmdButton2", "cmdArrow0", "pctIcon"}));
    QTest::keyClick(form, Qt::Key_X, Qt::AltModifier); // exit ends at once, closing no window
    EXPECT_TRUE(QTest::qWaitFor([this] { return seams.ends == 1; }));
    EXPECT_TRUE(form->isVisible());
}

TEST_F(MainWindow, AFailedLoadSaysSoAndGoesOn) {
    frmQuorvane::Unload();
    const QString original = App().Path;
    App().Path = QStringLiteral("/nonexistent/quorvane");
    App().HelpFile = QStringLiteral("Quorvane.hlp");
    frmQuorvane& window = frmQuorvane::instance();
    App().Path = original;
    ASSERT_EQ(seams.messages.size(), 1u);
    EXPECT_EQ(seams.messages[0].prompt,
              QStringLiteral("プログラムを起動できません。\r\nパスが見つかりません。"));
    // The steps after the failure did not run: no caption, the help path still bare.
    EXPECT_TRUE(window.windowTitle().isEmpty());
    EXPECT_EQ(App().HelpFile, QStringLiteral("Quorvane.hlp"));
    EXPECT_EQ(platform::mousePointer(), platform::vbDefault);
}
