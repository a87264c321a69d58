// The windows as real widgets on the offscreen platform, with the system services they reach
// replaced by recording doubles: the main window (its layout to the pixel, the dialog's request
// and the real dialog, files without icons, counts that overflow, the Help menu), what the help
// access sends to a viewer program, the message box, the about window, and the
// system-information launcher over built registry hives. (The end-to-end test drives the real
// program, the real help viewer and the real clipboard on a real X server.)
#include "App.h"
#include "Files.h"
#include "RuntimeError.h"
#include "SystemColors.h"
#include "WindowSeams.h"
#include "basQuorvane.h"
#include "frmAbout.h"
#include "frmQuorvane.h"

#include <QDir>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

using namespace quorvane;
using namespace quorvane::platform;
using namespace quorvane::testing;
using about::frmAbout;
using browser::frmQuorvane;

namespace {

// A library with several icons.
const QString kSeveralIcons = kWineDir + "/user32.dll";
const QString kNoIcons = QStringLiteral("このファイルはアイコンを持っていません。");
const QString kNoSysInfo = QStringLiteral("現時点ではｼｽﾃﾑ情報を使用できません");

// The designed place of each control, in pixels (twips / 15, rounded), relative to its parent.
void expectLaidOut(const QWidget* window, const std::map<QString, QRect>& designed) {
    for (const auto& [name, place] : designed) {
        const auto* control = window->findChild<QWidget*>(name);
        ASSERT_NE(control, nullptr) << name.toStdString();
        EXPECT_EQ(control->geometry(), place) << name.toStdString();
    }
}

class MainWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        frmQuorvane::Unload();
        basQuorvane::IconFilePath.clear();
        // the load step puts the path before it
        App().HelpFile = QStringLiteral("Quorvane.hlp");
        form = &frmQuorvane::instance();
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form));
    }
    void TearDown() override { frmQuorvane::Unload(); }

    // Opens a file as a user does: the Open button, the dialog answering with the path (an
    // empty one cancels).
    void open(const QString& path) {
        seams.answers.push_back(path);
        QTest::mouseClick(form->cmdButton(0), Qt::LeftButton);
    }
    void step(int arrow) { QTest::mouseClick(form->cmdArrow(std::int16_t(arrow)), Qt::LeftButton); }
    // What a user sees: the index, the arrows that show, and the messages since the last look.
    std::tuple<int, bool, bool, QStringList> seen() {
        QStringList prompts;
        for (const auto& m : seams.messages)
            prompts << m.prompt;
        seams.messages.clear();
        return {basQuorvane::IconIndex, !form->cmdArrow(0)->isHidden(),
                !form->cmdArrow(1)->isHidden(), prompts};
    }

    std::vector<std::tuple<QString, std::uint32_t, std::uintptr_t>> help;
    WindowSeams seams{{.help = [this](const platform::HelpRequest& r) {
        help.emplace_back(r.helpFile, r.command, r.data);
    }}};
    frmQuorvane* form = nullptr;
};

// A shell script that runs `body`.
QString makeScript(const QString& path, const std::string& body) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    const std::string script = "#!/bin/sh\n" + body + "\n";
    writeFile(path, QByteArray::fromStdString(script));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

// A program that touches `marker` when it runs.
QString makeProgram(const QString& path, const QString& marker = QStringLiteral("/dev/null")) {
    return makeScript(path, "touch '" + marker.toStdString() + "'");
}

// Whether every pixel of the label's text, drawn alone, shows in the window's picture.
bool textShown(const QImage& window, QLabel* label) {
    const QImage alone = label->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage shown = window.copy(label->geometry()).convertToFormat(QImage::Format_RGB32);
    const QRgb background = alone.pixel(alone.width() - 1, alone.height() - 1);
    for (int y = 0; y < alone.height(); ++y)
        for (int x = 0; x < alone.width(); ++x)
            if (alone.pixel(x, y) != background && shown.pixel(x, y) != alone.pixel(x, y))
                return false;
    return true;
}

QString grouped(const char* digits) {
    return QString::fromLatin1(digits).replace(QLatin1Char(','),
                                               QLocale::system().groupSeparator());
}

class AboutWindow : public ::testing::Test {
  protected:
    void SetUp() override { frmQuorvane::instance().show(); }
    void TearDown() override { frmQuorvane::Unload(); }

    // Opens the window from the Help menu and lets `user` look at it and close it.
    void withAbout(const std::function<void(frmAbout*)>& user) {
        bool ran = false;
        QTimer::singleShot(0, [&] {
            frmAbout* window = frmAbout::loaded();
            ASSERT_NE(window, nullptr);
            QTimer::singleShot(10000, window, [window] {
                ADD_FAILURE() << "the about window was left open";
                window->done(0);
            });
            user(window);
            ran = true;
        });
        frmQuorvane::instance().mnuHelpItem(4)->trigger();
        EXPECT_TRUE(ran);
        EXPECT_EQ(frmAbout::loaded(), nullptr);
    }

    int memoryReads = 0;
    // No registry entries: the system information button reaches its message.
    WindowSeams seams{
        {.localMachine = [](const QString&) { return std::optional<platform::RegistryKey>(); },
         .totalPhysicalMemory = [this] { return ++memoryReads, std::uint64_t(256) << 20; }}};
};

const QString kMsinfo = QStringLiteral("software\\microsoft\\shared tools\\msinfo");
const QString kLocation = QStringLiteral("software\\microsoft\\shared tools location");

RegistryValue sz(const QString& text) {
    return {REG_SZ, text.toLocal8Bit() + '\0'};
}

class SysInfo : public ::testing::Test {
  protected:
    // every way out closed its key
    void TearDown() override { EXPECT_EQ(openRegistryKeys(), 0); }
    // What StartSysInfo started, and whether it said it could not.
    std::pair<QStringList, bool> run() {
        started.clear();
        seams.messages.clear();
        frmAbout::StartSysInfo();
        for (const auto& m : seams.messages)
            EXPECT_EQ(std::pair(m.prompt, m.buttons), std::pair(kNoSysInfo, 0));
        return {started, !seams.messages.empty()};
    }
    std::map<QString, RegistryKey> hive;
    QStringList started;
    QTemporaryDir dir;
    WindowSeams seams{{.startProgram =
                           [this](const QString& path) {
                               started << path;
                               return QFileInfo(path).isFile() && QFileInfo(path).isExecutable();
                           },
                       .localMachine = [this](const QString& path) -> std::optional<RegistryKey> {
                           auto found = hive.find(path);
                           return found == hive.end() ? std::nullopt
                                                      : std::make_optional(found->second);
                       }}};
};

} // namespace

TEST_F(MainWindow, LaidOutToThePixelAsDesigned) {
    EXPECT_EQ(form->centralWidget()->size(), QSize(232, 128));
    expectLaidOut(form, {{"Frame1", {0, -4, 232, 131}},
                         {"cmdButton0", {168, 8, 62, 41}},
                         {"cmdButton1", {168, 48, 62, 41}},
                         {"cmdButton2", {168, 88, 62, 41}},
                         {"cmdArrow0", {2, 95, 34, 34}},
                         {"cmdArrow1", {132, 95, 34, 34}},
                         {"pctIcon", {68, 48, 39, 39}}});
}

TEST_F(MainWindow, OpeningCancellingFilesWithoutIconsAndCountsThatOverflow) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    // the dialog from the menu, cancelled
    QTest::keyClick(form, Qt::Key_F, Qt::AltModifier);
    ASSERT_TRUE(QTest::qWaitFor([this] { return form->mnuFile->isVisible(); }));
    QTest::keyClick(form->mnuFile, Qt::Key_O);
    ASSERT_EQ(seams.dialogs.size(), 1u);
    const FileDialogRequest& asked = seams.dialogs[0];
    EXPECT_EQ(
        std::tuple(asked.title, asked.descriptions, asked.filterIndex, asked.initialDirectory),
        std::tuple(QStringLiteral("ファイルを開く"),
                   QStringList{"Executable Files (*.EXE)", "All Files (*.*)"}, 1, dir.path()));
    EXPECT_NE(asked.flags & OFN_FILEMUSTEXIST, 0);
    // Confirming moves the current directory to the file's folder; the next dialog starts
    // there, with the file name kept. Cancelling then changes nothing.
    open(kSeveralIcons);
    step(1);
    const QImage picture = form->pctIcon->Image();
    open({});
    EXPECT_EQ(std::pair(seams.dialogs.back().initialDirectory, seams.dialogs.back().fileName),
              std::pair(kWineDir, kSeveralIcons));
    EXPECT_EQ(std::pair(QDir::currentPath(), basQuorvane::IconFilePath),
              std::pair(kWineDir, kSeveralIcons));
    EXPECT_EQ(seen(), std::tuple(1, true, true, QStringList()));
    EXPECT_EQ(form->pctIcon->Image(), picture);
    // A file without icons gets the message, an exclamation titled with the program's name; a
    // count above 32767 overflows the 16-bit count: the open ends there, silently, with the
    // old count kept. Both leave a white picture and the arrows hidden.
    const QString text = dir.filePath(QStringLiteral("readme.txt"));
    const QString many = dir.filePath(QStringLiteral("pe-65535-groups"));
    writeFile(text, "text");
    const std::string bombs = "/usr/bin/python3 " QUORVANE_BUILDERS " " + dir.path().toStdString();
    // among them pe-65535-groups
    ASSERT_EQ(std::system(bombs.c_str()), 0);
    QImage white(35, 35, QImage::Format_RGB32);
    white.fill(Qt::white);
    for (const QString& path : {text, many}) {
        open(kSeveralIcons);
        step(1);
        seen();
        const std::int16_t several = basQuorvane::IconCount;
        open(path);
        if (path == text) {
            EXPECT_EQ(std::tuple(seams.messages.at(0).buttons, seams.messages.at(0).title),
                      std::tuple(vbExclamation, QStringLiteral("Quorvane")));
        }
        EXPECT_EQ(seen(), std::tuple(1, false, false,
                                     path == many ? QStringList() : QStringList{kNoIcons}));
        EXPECT_EQ(basQuorvane::IconCount, path == many ? several : 0);
        EXPECT_EQ(form->pctIcon->Image(), white);
    }
    // A system module without icons of its own shows those of its .mun.
    open(dir.filePath(QStringLiteral("Windows/system32/ImageRes.dll")));
    EXPECT_EQ(basQuorvane::IconCount, 1);
    EXPECT_NE(form->pctIcon->Image(), white);
}

TEST_F(MainWindow, HelpItemsReachTheViewerAndClosingTellsItToQuit) {
    for (int item : {0, 1, 2})
        form->mnuHelpItem(std::int16_t(item))->trigger();
    form->close();
    const QString path = App().Path + QStringLiteral("/Quorvane.hlp");
    EXPECT_EQ(help, (decltype(help){{path, platform::HELP_CONTENTS, 0},
                                    {path, platform::HELP_PARTIALKEY, 0},
                                    {path, platform::HELP_KEY, 0},
                                    {path, platform::HELP_QUIT, 0}}));
    EXPECT_EQ(seams.ends, 1);
}

TEST(MessageBox, ShowsItsTextTitleIconAndOneOkButton) {
    QTimer::singleShot(0, [] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(std::tuple(box->text(), box->windowTitle(), box->icon()),
                  std::tuple(kNoIcons, QStringLiteral("Quorvane"), QMessageBox::Warning));
        EXPECT_EQ(box->buttons().size(), 1);
        QTest::keyClick(box, Qt::Key_Escape);
    });
    EXPECT_EQ(MsgBox(kNoIcons, vbExclamation, QStringLiteral("Quorvane")), vbOK);
}

TEST_F(AboutWindow, ShowsWhatItLoadsAndEnterAndEscCloseIt) {
    withAbout([](frmAbout* w) {
        EXPECT_TRUE(w->isModal());
        EXPECT_EQ(w->size(), QSize(410, 193));
        expectLaidOut(w, {{"picIcon", {20, 16, 32, 32}},
                          {"cmdOK", {300, 128, 92, 23}},
                          {"cmdSysInfo", {300, 156, 92, 23}},
                          {"Line11", {68, 119, 324, 1}},
                          {"Line10", {68, 120, 324, 2}}});
        // The copyright as the version resource's text has it, the description, the memory.
        QFile resource(QStringLiteral(QUORVANE_SOURCE_DIR "/app/version-info.txt"));
        ASSERT_TRUE(resource.open(QIODevice::ReadOnly));
        const QString copyright =
            QString::fromUtf8(resource.readAll()).section("LegalCopyright=", 1);
        EXPECT_EQ(QStringList({w->windowTitle(), w->lblTitle->text(), w->lblVersion->text(),
                               w->lblCopyright->text(), w->lblDescription->text(),
                               w->lblDisclaimer->text()}),
                  QStringList({QStringLiteral("Quorvaneのﾊﾞｰｼﾞｮﾝ情報"), QStringLiteral("Quorvane"),
                               QStringLiteral("Version 1.0.0"), copyright.section('\n', 0, 0),
                               QStringLiteral("この製品はﾌﾘｰｿﾌﾄｳｪｱです。"),
                               QStringLiteral("Windowsが使用できる物理ﾒﾓﾘ: ") + grouped("262,144") +
                                   QStringLiteral(" KB")}));
        // Each label shows its whole text: as tall as its lines, and hidden by no control.
        const QImage window = w->grab().toImage();
        for (QLabel* label : w->findChildren<QLabel*>()) {
            const QRect lines = label->fontMetrics().boundingRect(QRect(0, 0, label->width(), 1000),
                                                                  Qt::TextWordWrap, label->text());
            EXPECT_GE(label->height(), lines.height());
            EXPECT_TRUE(textShown(window, label)) << label->objectName().toStdString();
        }
        // The program's icon; its transparent pixels show the scroll-bar colour.
        const QImage icon(QStringLiteral(QUORVANE_SOURCE_DIR "/app/Quorvane.png"));
        EXPECT_EQ(w->picIcon->picture().convertToFormat(QImage::Format_ARGB32),
                  icon.convertToFormat(QImage::Format_ARGB32));
        EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0);
        EXPECT_EQ(w->picIcon->grab().toImage().pixel(0, 0), platform::systemColor(0).rgb());
        // The system information button, then Esc.
        QTest::mouseClick(w->cmdSysInfo, Qt::LeftButton);
        QTest::keyClick(w, Qt::Key_Escape);
    });
    ASSERT_EQ(seams.messages.size(), 1u);
    EXPECT_EQ(seams.messages[0].prompt, kNoSysInfo);
    // Each showing reads the version and the memory again.
    App().Minor = 2;
    App().Revision = 34;
    withAbout([](frmAbout* w) {
        EXPECT_EQ(w->lblVersion->text(), QStringLiteral("Version 1.2.34"));
        QTest::keyClick(w->cmdOK, Qt::Key_Return);
    });
    App().Minor = App().Revision = 0;
    EXPECT_EQ(memoryReads, 2);
}

TEST_F(SysInfo, EachEntryLeadsToItsProgramOrToTheMessage) {
    const QString program = makeProgram(dir.filePath(QStringLiteral("sysinfo")));
    const QString folder = dir.filePath(QStringLiteral("tools dir"));
    makeProgram(folder + "/MSINFO32.EXE");
    const QString missing = QStringLiteral("/nonexistent/msinfo");
    // Entry 1 (PATH), entry 2 (the folder), what starts, and whether the message shows.
    using Value = std::optional<RegistryValue>;
    const Value number = RegistryValue{REG_DWORD, QByteArray("\x00\x00\x01\x80", 4)};
    const std::tuple<const char*, Value, Value, QStringList, bool> cases[] = {
        {"entry 2 not read", sz(program), sz(missing), {program}, false},
        {"the folder", {}, sz(folder), {folder + "/MSINFO32.EXE"}, false},
        {"entry 2 not tried", sz(missing), sz(folder), {missing}, true},
        // A string without its zero is taken whole; a number is its decimal text.
        {"no zero", RegistryValue{REG_SZ, program.toLocal8Bit()}, sz(folder), {program}, false},
        {"number", number, {}, {"2147549184"}, true},
    };
    for (const auto& [name, path, location, starts, message] : cases) {
        SCOPED_TRACE(name);
        hive.clear();
        if (path)
            hive[kMsinfo].values.insert(QStringLiteral("path"), *path);
        if (location)
            hive[kLocation].values.insert(QStringLiteral("msinfo"), *location);
        EXPECT_EQ(run(), std::pair(starts, message));
    }
}

TEST(SysInfoStart, APathWithBlanksStartsExactlyThatProgram) {
    // "my tools/run me;$(x)" must start; "my" (the first word, as a shell would split the
    // path) and the shell's metacharacters must not come into play.
    QTemporaryDir dir;
    makeProgram(dir.filePath(QStringLiteral("my")), dir.filePath(QStringLiteral("decoy")));
    const QString marker = dir.filePath(QStringLiteral("started"));
    QDir::setCurrent(dir.path());
    StartProgram(makeProgram(dir.filePath(QStringLiteral("my tools/run me;$(x)")), marker));
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(marker); }, 5000));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("decoy"))));
    EXPECT_THROW(StartProgram(dir.filePath(QStringLiteral("missing program"))), RuntimeError);
}
