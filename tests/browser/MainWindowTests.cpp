// The main window as real widgets on the offscreen platform: layout, opening files, stepping,
// copying, the dialog, exit, loading and the keyboard.
#include "App.h"
#include "IconBuilders.h"
#include "IconReader.h"
#include "RealFiles.h"
#include "Twips.h"
#include "WindowSeams.h"
#include "basQuorvane.h"
#include "frmQuorvane.h"

#include <QClipboard>
#include <QDir>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>

using namespace quorvane;
using namespace quorvane::testing;
using browser::frmQuorvane;

namespace {

const QString kNoIconMessage = QStringLiteral("このファイルはアイコンを持っていません。");
const QString kNoIcons = QString::fromStdString(kWineFontsDir + "/coure.fon");
const QString kOneIcon = QString::fromStdString(kWineDir + "/notepad.exe");
const QString kTwoIcons = QString::fromStdString(kWineDir + "/winecfg.exe");
const QString kSevenIcons = QString::fromStdString(kWineDir + "/user32.dll");

class MainWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        frmQuorvane::Unload();
        basQuorvane::InstanceHandle = HINSTANCE{0};
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
    bool backShown() const { return !form->cmdArrow(0)->isHidden(); }
    bool forwardShown() const { return !form->cmdArrow(1)->isHidden(); }

    // The picture that icon `index` of `path` must leave in the 35x35 persistent image.
    static QImage expectedPicture(const QString& path, int index) {
        QImage image(35, 35, QImage::Format_RGB32);
        image.fill(Qt::white);
        auto icon =
            icons::extractIcon(basQuorvane::systemPath(path), static_cast<std::uint32_t>(index));
        if (icon)
            icons::drawIconBitmap(icons::Surface{reinterpret_cast<std::uint32_t*>(image.bits()), 35,
                                                 35, image.bytesPerLine() / 4},
                                  2, 2, *icon);
        return image;
    }
    static QImage blank() {
        QImage image(35, 35, QImage::Format_RGB32);
        image.fill(Qt::white);
        return image;
    }

    WindowSeams seams;
    frmQuorvane* form = nullptr;
};

} // namespace

TEST_F(MainWindow, LayoutMatchesTheDesignInTwips) {
    using platform::twipsRect;
    EXPECT_EQ(form->client->size(), QSize(232, 128));
    EXPECT_EQ(form->client->y(),
              form->menuBar()->height());                // the client area lies below the menu bar
    EXPECT_EQ(form->minimumSize(), form->maximumSize()); // fixed size
    EXPECT_FALSE(form->windowFlags() & Qt::WindowMaximizeButtonHint);
    struct Expected {
        QWidget* widget;
        QRect twips;
        QString caption;
    };
    const Expected controls[] = {
        {form->Frame1, twipsRect(0, -60, 3480, 1960), {}},
        {form->cmdButton(0), twipsRect(2515, 120, 930, 615), QStringLiteral("開く(&O)")},
        {form->cmdButton(1), twipsRect(2515, 720, 930, 615), QStringLiteral("コピー(&C)")},
        {form->cmdButton(2), twipsRect(2515, 1320, 930, 615), QStringLiteral("終了(&X)")},
        {form->cmdArrow(0), twipsRect(30, 1430, 510, 510), QStringLiteral("\u2190")},
        {form->cmdArrow(1), twipsRect(1980, 1430, 510, 510), QStringLiteral("\u2192")},
        {form->pctIcon, twipsRect(1020, 720, 585, 585), {}},
    };
    for (const Expected& c : controls) {
        SCOPED_TRACE(c.widget->objectName().toStdString());
        EXPECT_EQ(c.widget->geometry(), c.twips);
        if (auto* button = qobject_cast<QPushButton*>(c.widget)) {
            EXPECT_EQ(button->text(), c.caption);
        }
    }
    EXPECT_EQ(form->Frame1->geometry(), QRect(0, -4, 232, 131));
    EXPECT_EQ(form->pctIcon->contentsRect().size(), QSize(35, 35));
    EXPECT_EQ(form->pctIcon->Image().size(), QSize(35, 35));
    EXPECT_FALSE(backShown());
    EXPECT_FALSE(forwardShown());
    EXPECT_EQ(form->pctIcon->Image(), blank());
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Quorvane"));
    EXPECT_TRUE(form->cmdButton(0)->hasFocus());
}

TEST_F(MainWindow, MenusAsDesigned) {
    const QList<QAction*> top = form->menuBar()->actions();
    ASSERT_EQ(top.size(), 3);
    EXPECT_EQ(top[0]->text(), QStringLiteral("ﾌｧｲﾙ(&F)"));
    EXPECT_EQ(top[1]->text(), QStringLiteral("編集(&E)"));
    EXPECT_EQ(top[2]->text(), QStringLiteral("ﾍﾙﾌﾟ(&H)"));
    auto texts = [](QMenu* menu) {
        QStringList out;
        for (QAction* a : menu->actions())
            out << (a->isSeparator() ? QStringLiteral("-") : a->text());
        return out;
    };
    EXPECT_EQ(texts(form->mnuFile), (QStringList{"ﾌｧｲﾙを開く(&O)...", "-", "終了(&X)"}));
    EXPECT_EQ(texts(form->mnuEdit), (QStringList{"ｺﾋﾟｰ(&C)"}));
    EXPECT_EQ(texts(form->mnuHelp), (QStringList{"目次(&C)", "ｷｰﾜｰﾄﾞで検索(&S)", "ﾍﾙﾌﾟの使い方(&H)",
                                                 "-", "ﾊﾞｰｼﾞｮﾝ情報(&A)..."}));
    EXPECT_EQ(form->mnuEditItem(0)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_C));
    EXPECT_EQ(form->mnuFileItem(0)->shortcut(), QKeySequence());
    // The separators keep their places in the numbering.
    EXPECT_TRUE(form->mnuFileItem(1)->isSeparator());
    EXPECT_TRUE(form->mnuHelpItem(3)->isSeparator());
    EXPECT_EQ(form->mnuHelpItem(4)->objectName(), QStringLiteral("mnuHelpItem4"));
    // No control sets a font, and the default face draws the captions as one Japanese face.
    const QFontInfo face(form->menuBar()->font());
    EXPECT_TRUE(QFontDatabase::writingSystems(face.family()).contains(QFontDatabase::Japanese))
        << face.family().toStdString();
}

TEST_F(MainWindow, OpenAndStepThroughRealFiles) {
    // One icon: drawn at (2, 2), no arrows, no message, the index untouched.
    basQuorvane::IconIndex = 5;
    open(kOneIcon);
    EXPECT_EQ(basQuorvane::IconFilePath, kOneIcon);
    EXPECT_EQ(basQuorvane::IconCount, 1);
    EXPECT_EQ(basQuorvane::IconIndex, 5);
    EXPECT_FALSE(backShown());
    EXPECT_FALSE(forwardShown());
    EXPECT_TRUE(seams.messages.empty());
    const QImage one = form->pctIcon->Image();
    EXPECT_EQ(one, expectedPicture(kOneIcon, 0));
    EXPECT_NE(one, blank());
    EXPECT_EQ(one.pixel(1, 1), qRgb(255, 255, 255)); // nothing left of or above (2, 2)
    EXPECT_NE(basQuorvane::InstanceHandle, HINSTANCE{0});

    // Two icons: forward only; forward shows icon 1 and swaps the arrows; back returns.
    open(kTwoIcons);
    EXPECT_EQ(basQuorvane::IconCount, 2);
    EXPECT_EQ(basQuorvane::IconIndex, 0);
    EXPECT_FALSE(backShown());
    EXPECT_TRUE(forwardShown());
    step(1);
    EXPECT_EQ(basQuorvane::IconIndex, 1);
    EXPECT_TRUE(backShown());
    EXPECT_FALSE(forwardShown());
    EXPECT_EQ(form->pctIcon->Image(), expectedPicture(kTwoIcons, 1));
    step(0);
    EXPECT_EQ(basQuorvane::IconIndex, 0);
    EXPECT_FALSE(backShown());
    EXPECT_TRUE(forwardShown());
    EXPECT_EQ(form->pctIcon->Image(), expectedPicture(kTwoIcons, 0));

    // Seven icons: the forward arrow stays until the last index; back from index 1 on.
    open(kSevenIcons);
    for (int i = 1; i <= 6; ++i) {
        step(1);
        EXPECT_EQ(basQuorvane::IconIndex, i);
        EXPECT_TRUE(backShown());
        EXPECT_EQ(forwardShown(), i < 6);
        EXPECT_EQ(form->pctIcon->Image(), expectedPicture(kSevenIcons, i));
    }
    EXPECT_TRUE(seams.messages.empty());

    // Opening another file while browsing at index 6: one icon keeps the index and hides both
    // arrows; many icons restart at 0.
    open(kOneIcon);
    EXPECT_EQ(basQuorvane::IconIndex, 6);
    EXPECT_FALSE(backShown());
    EXPECT_FALSE(forwardShown());
    open(kSevenIcons);
    step(1);
    step(1);
    open(kTwoIcons);
    EXPECT_EQ(basQuorvane::IconIndex, 0);
    EXPECT_FALSE(backShown());
    EXPECT_TRUE(forwardShown());
}

TEST_F(MainWindow, FilesWithoutIconsGetTheMessageOnce) {
    QTemporaryDir dir;
    const QString text = dir.filePath(QStringLiteral("readme.txt"));
    std::ofstream(text.toStdString()) << "not a program";
    for (const QString& path : {kNoIcons, text}) {
        SCOPED_TRACE(path.toStdString());
        open(kSevenIcons);
        step(1);
        seams.messages.clear();
        open(path);
        EXPECT_EQ(basQuorvane::IconCount, 0);
        EXPECT_EQ(basQuorvane::IconIndex, 1);
        EXPECT_FALSE(backShown());
        EXPECT_FALSE(forwardShown());
        EXPECT_EQ(form->pctIcon->Image(), blank());
        ASSERT_EQ(seams.messages.size(), 1u);
        EXPECT_EQ(seams.messages[0].prompt, kNoIconMessage);
        EXPECT_EQ(seams.messages[0].buttons, 48);
        EXPECT_EQ(seams.messages[0].title, QStringLiteral("Quorvane"));
    }
}

TEST_F(MainWindow, ACountAbove32767EndsTheOpenSilently) {
    // A PE whose RT_GROUP_ICON directory claims 40000 groups, all of whose entries exist.
    std::vector<ResourceSpec> resources =
        iconGroupResources(std::uint16_t(1), {{32, 32, 32, 1, Bytes(200, 0)}});
    resources.push_back({std::uint16_t(10), std::uint16_t(1), 0, Bytes(8 * 40000, 0)});
    Bytes pe = makePe(resources);
    // After the root and the type and name levels of RT_ICON and RT_RCDATA.
    const std::size_t groupDirectory = 0x200 + 16 + 3 * 8 + 4 * (16 + 8);
    ASSERT_EQ(pe[groupDirectory + 14], 1);
    setU16(pe, groupDirectory + 14, 40000);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("many.dll"));
    std::ofstream(path.toStdString(), std::ios::binary)
        .write(reinterpret_cast<const char*>(pe.data()), std::streamsize(pe.size()));
    ASSERT_EQ(icons::countIcons(path.toStdString()), 40000u);

    open(kSevenIcons);
    step(1);
    open(path);
    EXPECT_EQ(basQuorvane::IconFilePath, path);
    EXPECT_EQ(basQuorvane::IconCount, 7);
    EXPECT_EQ(basQuorvane::IconIndex, 1);
    EXPECT_FALSE(backShown());
    EXPECT_FALSE(forwardShown());
    EXPECT_EQ(form->pctIcon->Image(), blank());
    EXPECT_TRUE(seams.messages.empty());
}

TEST_F(MainWindow, AnUntrappedOverflowReachesTheDispatch) {
    open(kSevenIcons);
    basQuorvane::IconIndex = 32767;
    step(1);
    ASSERT_EQ(seams.messages.size(), 1u);
    EXPECT_EQ(seams.messages[0].prompt,
              QStringLiteral("実行時エラー '6':\n\nオーバーフローしました。"));
    EXPECT_EQ(seams.messages[0].title, QStringLiteral("Quorvane"));
    EXPECT_EQ(basQuorvane::IconIndex, 32767);
    EXPECT_TRUE(backShown()); // what ran before the error stays done
}

TEST_F(MainWindow, TheOpenDialogAsksForAnExistingExecutable) {
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
    // Cancel changed nothing and said nothing.
    EXPECT_TRUE(basQuorvane::IconFilePath.isEmpty());
    EXPECT_TRUE(seams.messages.empty());

    // Confirming moves the current directory to the file's folder, as the system's dialog
    // does; the next dialog starts there.
    open(kOneIcon);
    EXPECT_EQ(QDir::currentPath(), QString::fromStdString(kWineDir));
    QTest::mouseClick(form->cmdButton(0), Qt::LeftButton);
    EXPECT_EQ(seams.dialogs.back().initialDirectory, QString::fromStdString(kWineDir));
    EXPECT_EQ(seams.dialogs.back().fileName, kOneIcon); // the file name is not cleared
    EXPECT_EQ(form->pctIcon->Image(), expectedPicture(kOneIcon, 0));
}

TEST_F(MainWindow, CancelKeepsEverything) {
    open(kSevenIcons);
    step(1);
    const QImage before = form->pctIcon->Image();
    QTest::mouseClick(form->cmdButton(0), Qt::LeftButton);
    EXPECT_EQ(basQuorvane::IconFilePath, kSevenIcons);
    EXPECT_EQ(basQuorvane::IconIndex, 1);
    EXPECT_TRUE(backShown());
    EXPECT_TRUE(forwardShown());
    EXPECT_EQ(form->pctIcon->Image(), before);
}

TEST_F(MainWindow, CopyPutsThePersistentImageOnTheClipboard) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(QStringLiteral("something else"));
    QTest::mouseClick(form->cmdButton(1), Qt::LeftButton);
    EXPECT_EQ(clipboard->image().convertToFormat(QImage::Format_RGB32), blank());
    EXPECT_TRUE(clipboard->text().isEmpty());

    open(kTwoIcons);
    step(1);
    clipboard->clear();
    QTest::keyClick(form, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboard->image().convertToFormat(QImage::Format_RGB32),
              expectedPicture(kTwoIcons, 1));
    clipboard->clear();
    QTest::keyClick(form, Qt::Key_C,
                    Qt::AltModifier); // the Copy button's mnemonic (an animated click)
    EXPECT_TRUE(QTest::qWaitFor([clipboard] { return !clipboard->image().isNull(); }));
    EXPECT_EQ(clipboard->image().convertToFormat(QImage::Format_RGB32),
              expectedPicture(kTwoIcons, 1));
    clipboard->clear();
    form->mnuEditItem(0)->trigger();
    EXPECT_EQ(clipboard->image().convertToFormat(QImage::Format_RGB32),
              expectedPicture(kTwoIcons, 1));
}

TEST_F(MainWindow, ExitEndsAtOnceWithoutTheCloseHandler) {
    QTest::mouseClick(form->cmdButton(2), Qt::LeftButton);
    EXPECT_EQ(seams.ends, 1);
    form->mnuFileItem(2)->trigger();
    EXPECT_EQ(seams.ends, 2);
    QTest::keyClick(form, Qt::Key_X, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([this] { return seams.ends == 3; }));
    EXPECT_TRUE(form->isVisible()); // no window was closed on the way
    // Indexes that the handlers do not list do nothing.
    form->cmdButton_Click(3);
    form->mnuFileItem_Click(1);
    form->mnuFileItem_Click(-1);
    form->mnuEditItem_Click(1);
    form->cmdArrow_Click(2);
    EXPECT_EQ(seams.ends, 3);
    EXPECT_TRUE(seams.dialogs.empty());
}

TEST_F(MainWindow, TabOrderSkipsHiddenArrows) {
    auto focusChain = [this](int presses) {
        QStringList names;
        form->cmdButton(0)->setFocus();
        for (int i = 0; i < presses; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            names << QApplication::focusWidget()->objectName();
        }
        return names;
    };
    EXPECT_EQ(focusChain(4), (QStringList{"cmdButton1", "cmdButton2", "pctIcon", "cmdButton0"}));
    open(kSevenIcons);
    step(1);
    EXPECT_EQ(focusChain(5),
              (QStringList{"cmdButton1", "cmdButton2", "cmdArrow1", "cmdArrow0", "pctIcon"}));
    // Enter presses the focused button only; Esc presses none, and neither does Enter on the
    // picture.
    form->cmdArrow(1)->setFocus();
    QTest::keyClick(form->cmdArrow(1), Qt::Key_Return);
    EXPECT_EQ(basQuorvane::IconIndex, 2);
    QTest::keyClick(form->cmdArrow(1), Qt::Key_Escape);
    form->pctIcon->setFocus();
    QTest::keyClick(form->pctIcon, Qt::Key_Return);
    EXPECT_EQ(basQuorvane::IconIndex, 2);
    EXPECT_TRUE(seams.dialogs.size() == 1 && seams.ends == 0);
}

TEST_F(MainWindow, LoadPlacesTheWindowAndResolvesTheHelpPath) {
    // Placed slightly above the centre: top = 0.425 x screen height - 0.5 x window height.
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    // The window's size at load, before a window manager adds its frame.
    const QSize size = form->size();
    const QRect frame = form->frameGeometry();
    EXPECT_EQ(frame.top(),
              platform::twipsToPixels(0.425 * screen.height() * 15 - 0.5 * size.height() * 15));
    EXPECT_EQ(frame.left(),
              platform::twipsToPixels(screen.width() * 15 / 2.0 - size.width() * 15 / 2.0));
    EXPECT_EQ(App().HelpFile, App().Path + QStringLiteral("/Quorvane.hlp"));
    EXPECT_EQ(QDir::currentPath(), App().Path);
    EXPECT_EQ(platform::mousePointer(), platform::vbDefault);

    const QString original = App().Path;
    struct Case {
        QString path;
        QString helpFile;
    };
    QTemporaryDir dir;
    const Case cases[] = {{QStringLiteral("/"), QStringLiteral("/Quorvane.hlp")},
                          {dir.path(), dir.path() + QStringLiteral("/Quorvane.hlp")}};
    for (const Case& c : cases) {
        frmQuorvane::Unload();
        App().Path = c.path;
        App().HelpFile = QStringLiteral("Quorvane.hlp");
        frmQuorvane::instance();
        EXPECT_EQ(App().HelpFile, c.helpFile);
    }
    App().Path = original;
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
    EXPECT_EQ(seams.messages[0].buttons, 48);
    EXPECT_EQ(seams.messages[0].title, QStringLiteral("Quorvane"));
    // The steps after the failure did not run: no caption, the help path still bare.
    EXPECT_TRUE(window.windowTitle().isEmpty());
    EXPECT_EQ(App().HelpFile, QStringLiteral("Quorvane.hlp"));
    EXPECT_EQ(platform::mousePointer(), platform::vbDefault);
}
