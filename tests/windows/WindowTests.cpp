// The windows as real widgets on the offscreen platform, with the system services they reach
// replaced by recording doubles: the main window (the dialog's request and the real dialog,
// files without icons, counts that overflow, the keyboard, the Help menu), what
// the help access sends to a viewer program, the about window, and the system-information
// launcher over built registry hives. (The end-to-end test drives the real program, the real
// help viewer and the real clipboard on a real X server.)
#include "App.h"
#include "Files.h"
#include "RealFiles.h"
#include "RuntimeError.h"
#include "SystemColors.h"
#include "WindowSeams.h"
#include "basQuorvane.h"
#include "frmAbout.h"
#include "frmQuorvane.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QLocale>
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
const QString kSeveralIcons = QString::fromStdString(kWineDir + "/user32.dll");

class MainWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        frmQuorvane::Unload();
        basQuorvane::IconFilePath.clear();
        App().HelpFile = QStringLiteral("Quorvane.hlp");
        form = &frmQuorvane::instance();
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form));
    }
    void TearDown() override { frmQuorvane::Unload(); }

    // Opens a file the way a user does: the Open button, the dialog answering with the path
    // (an empty one cancels).
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
    writeFile(path.toStdString(), {script.begin(), script.end()});
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

// A program that touches `marker` when it runs.
QString makeProgram(const QString& path, const QString& marker = QStringLiteral("/dev/null")) {
    return makeScript(path, "touch '" + marker.toStdString() + "'");
}

const QString kHelpFile = QStringLiteral(QUORVANE_HELP_FILE);

class RecordingViewer : public ::testing::Test {
  protected:
    void SetUp() override {
        makeScript(dir.filePath(QStringLiteral("viewer")), "exec cat >\"$0.commands\"");
    }
    // Sends the commands for `help`, then quit: the viewer must receive exactly `expected`.
    void expectReceives(const QString& help, std::initializer_list<std::uint32_t> commands,
                        const QString& expected) {
        QFile::remove(dir.filePath(QStringLiteral("viewer.commands")));
        for (std::uint32_t command : commands)
            EXPECT_NE(WinHelpA(nullptr, help, command, 0), 0);
        QString got;
        (void)QTest::qWaitFor([&] {
            QFile file(dir.filePath(QStringLiteral("viewer.commands")));
            got = file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
            return got == expected;
        });
        EXPECT_NE(WinHelpA(nullptr, help, HELP_QUIT, 0), 0);
        EXPECT_EQ(helpViewerProcess(), nullptr);
        EXPECT_EQ(got, expected);
    }
    QTemporaryDir dir;
    WindowSeams seams{{.helpViewerProgram = dir.filePath(QStringLiteral("viewer"))}};
};

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
    void TearDown() override { EXPECT_EQ(openRegistryKeys(), 0); } // every way out closed its key
    void set(const QString& key, const char* name, const RegistryValue& v) {
        hive[key].values.insert(QString::fromLatin1(name).toLower(), v);
    }
    // What StartSysInfo started, and whether it said it could not.
    std::pair<QStringList, bool> run() {
        started.clear();
        seams.messages.clear();
        frmAbout::StartSysInfo();
        for (const auto& m : seams.messages)
            EXPECT_EQ(std::pair(m.prompt, m.buttons),
                      std::pair(QStringLiteral("現時点ではｼｽﾃﾑ情報を使用できません"), 0));
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

TEST_F(MainWindow, OpeningCancellingFilesWithoutIconsAndCountsThatOverflow) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    QTest::keyClick(form, Qt::Key_F, Qt::AltModifier); // the dialog from the menu, cancelled
    ASSERT_TRUE(QTest::qWaitFor([this] { return form->mnuFile->isVisible(); }));
    QTest::keyClick(form->mnuFile, Qt::Key_O);
    ASSERT_EQ(seams.dialogs.size(), 1u);
    EXPECT_EQ(seams.dialogs[0].initialDirectory, dir.path());
    // Confirming moves the current directory to the file's folder; the next dialog starts
    // there, with the file name kept. Cancelling then changes nothing.
    open(kSeveralIcons);
    step(1);
    const QImage picture = form->pctIcon->Image();
    open({});
    EXPECT_EQ(std::pair(seams.dialogs.back().initialDirectory, seams.dialogs.back().fileName),
              std::pair(QString::fromStdString(kWineDir), kSeveralIcons));
    EXPECT_EQ(std::pair(QDir::currentPath(), basQuorvane::IconFilePath),
              std::pair(QString::fromStdString(kWineDir), kSeveralIcons));
    EXPECT_EQ(seen(), std::tuple(1, true, true, QStringList()));
    EXPECT_EQ(form->pctIcon->Image(), picture);
    // A file without icons gets the message; a count above 32767 overflows the 16-bit count:
    // the open ends there, silently, with the old count kept. Both leave a white picture and
    // the arrows hidden.
    const QString text = dir.filePath(QStringLiteral("readme.txt")),
                  many = dir.filePath(QStringLiteral("pe-65535-groups"));
    writeFile(text.toStdString(), {'t', 'e', 'x', 't'});
    ASSERT_EQ(
        std::system(("/usr/bin/python3 " QUORVANE_BUILDERS " " + dir.path().toStdString()).c_str()),
        0); // the bombs, among them pe-65535-groups
    QImage white(35, 35, QImage::Format_RGB32);
    white.fill(Qt::white);
    for (const QString& path : {QString::fromStdString(kWineFontsDir + "/coure.fon"), text, many}) {
        open(kSeveralIcons);
        step(1);
        seen();
        const std::int16_t several = basQuorvane::IconCount;
        open(path);
        const QStringList messages =
            path == many ? QStringList() : QStringList{"このファイルはアイコンを持っていません。"};
        EXPECT_EQ(seen(), std::tuple(1, false, false, messages));
        EXPECT_EQ(basQuorvane::IconCount, path == many ? several : 0);
        EXPECT_EQ(form->pctIcon->Image(), white);
    }
    // An index overflow in a step reaches the event dispatch's message; what ran stays done.
    open(kSeveralIcons);
    basQuorvane::IconIndex = 32767;
    step(1);
    EXPECT_EQ(seen(), std::tuple(32767, true, true,
                                 QStringList{"実行時エラー '6':\n\nオーバーフローしました。"}));
}

TEST_F(MainWindow, TheRealDialogFiltersWithoutRegardToCaseAndWantsAnExistingFile) {
    WindowSeams real({}, true);
    QTemporaryDir dir;
    for (const char* name : {"lower.exe", "UPPER.EXE", "Mixed.Exe", "noext", "notes.txt"})
        writeFile(dir.filePath(QString::fromLatin1(name)).toStdString(), {});
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    // The names the dialog lists, once it has read the folder.
    auto listed = [](QFileDialog* dialog, int expected) {
        auto* view = dialog->findChild<QListView*>(QStringLiteral("listView"));
        QStringList names;
        (void)QTest::qWaitFor([&] {
            names.clear();
            for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row)
                names << view->model()->index(row, 0, view->rootIndex()).data().toString();
            return names.size() == expected;
        });
        names.sort();
        return names;
    };
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        QTimer::singleShot(10000, dialog, &QFileDialog::reject); // never hang the run
        auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        EXPECT_EQ(types->itemText(0), QStringLiteral("Executable Files (*.EXE)"));
        EXPECT_EQ(listed(dialog, 3), (QStringList{"Mixed.Exe", "UPPER.EXE", "lower.exe"}));
        types->setFocus();
        QTest::keyClick(types, Qt::Key_Down); // "All Files (*.*)"
        EXPECT_EQ(listed(dialog, 5).size(), 5);
        // A name that does not exist is refused with a warning, and the dialog stays open.
        auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        edit->setText(QStringLiteral("missing.exe"));
        QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
        QTest::keyClick(edit, Qt::Key_Return);
        EXPECT_TRUE(dialog->isVisible());
        edit->setText(QStringLiteral("notes.txt"));
        QTest::keyClick(edit, Qt::Key_Return);
    });
    QTest::mouseClick(form->cmdButton(0), Qt::LeftButton);
    EXPECT_EQ(basQuorvane::IconFilePath, dir.filePath(QStringLiteral("notes.txt")));
    EXPECT_EQ(real.messages.size(), 1u); // the file has no icons
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
    open(kSeveralIcons);
    EXPECT_EQ(focusChain(), (QStringList{"cmdButton1", "cmdButton2", "cmdArrow1", "pctIcon"}));
    const int last = basQuorvane::IconCount - 1;
    ASSERT_GT(last, 0);
    for (int i = 0; i < last; ++i) {
        form->cmdArrow(1)->setFocus();
        QTest::keyClick(form->cmdArrow(1), Qt::Key_Return);
    }
    EXPECT_EQ(seen(), std::tuple(last, true, false, QStringList()));
    EXPECT_EQ(focusChain(), (QStringList{"cmdButton1", "cmdButton2", "cmdArrow0", "pctIcon"}));
}

TEST_F(MainWindow, HelpItemsReachTheViewerAndClosingTellsItToQuit) {
    for (int item : {0, 1, 2})
        form->mnuHelpItem(std::int16_t(item))->trigger();
    // Indexes without an item (3 is the separator) do nothing, and open no about window.
    QTimer::singleShot(0, [] {
        if (auto* about = about::frmAbout::loaded()) {
            ADD_FAILURE() << "an about window opened";
            about->done(0);
        }
    });
    for (int item : {3, 5, -1})
        form->mnuHelpItem_Click(std::int16_t(item));
    QCoreApplication::processEvents();
    form->close();
    const QString path = App().Path + QStringLiteral("/Quorvane.hlp");
    EXPECT_EQ(help, (decltype(help){{path, platform::HELP_CONTENTS, 0},
                                    {path, platform::HELP_PARTIALKEY, 0},
                                    {path, platform::HELP_KEY, 0},
                                    {path, platform::HELP_QUIT, 0}}));
    EXPECT_EQ(seams.ends, 1);
}

TEST_F(RecordingViewer, ContentsOpensTheHomePageAndTheIndexShowsTheIndex) {
    expectReceives(kHelpFile, {HELP_CONTENTS, HELP_PARTIALKEY},
                   "show contents;setSource qthelp://org.quorvane.help/doc/index.html\n"
                   "show index\n");
    // Other commands send nothing; a file that is no help collection still shows the contents.
    EXPECT_EQ(WinHelpA(nullptr, kHelpFile, 0x0001, 0), 0);
    const QString damaged = dir.filePath(QStringLiteral("damaged.hlp"));
    writeFile(damaged.toStdString(), std::vector<std::uint8_t>(4096, 'x'));
    for (const QString& help : {damaged, dir.filePath(QStringLiteral("missing.hlp"))})
        expectReceives(help, {HELP_CONTENTS}, "show contents\n");
    EXPECT_TRUE(seams.messages.empty());
}

TEST(HelpViewer, AViewerThatCannotStartIsReported) {
    WindowSeams seams({.helpViewerProgram = "/nonexistent/assistant"});
    EXPECT_EQ(WinHelpA(nullptr, kHelpFile, HELP_CONTENTS, 0), 0);
    ASSERT_EQ(seams.messages.size(), 1u);
    EXPECT_EQ(seams.messages[0].prompt, QStringLiteral("ヘルプ ビューアを起動できません。"));
    EXPECT_EQ(helpViewerProcess(), nullptr);
}

TEST_F(AboutWindow, ShowsWhatItLoadsAndEnterAndEscCloseIt) {
    withAbout([](frmAbout* w) {
        EXPECT_TRUE(w->isModal());
        EXPECT_EQ(QStringList({w->windowTitle(), w->lblTitle->text(), w->lblVersion->text(),
                               w->lblCopyright->text(), w->lblDisclaimer->text()}),
                  QStringList({QStringLiteral("Quorvaneのﾊﾞｰｼﾞｮﾝ情報"), QStringLiteral("Quorvane"),
                               QStringLiteral("Version 1.0.0"), App().LegalCopyright,
                               QStringLiteral("Windowsが使用できる物理ﾒﾓﾘ: ") + grouped("262,144") +
                                   QStringLiteral(" KB")}));
        // Each label shows its whole text: as tall as its lines at its width, and hidden by
        // no other control.
        const QImage window = w->grab().toImage();
        for (QLabel* label : w->findChildren<QLabel*>()) {
            const QRect room(0, 0, label->width(), 1000);
            const QRect lines =
                label->fontMetrics().boundingRect(room, Qt::TextWordWrap, label->text());
            EXPECT_GE(label->height(), lines.height()) << label->objectName().toStdString();
            EXPECT_TRUE(textShown(window, label)) << label->objectName().toStdString();
        }
        // The icon is the main window's; its transparent pixels show the scroll-bar colour.
        const QImage icon = frmQuorvane::instance().windowIcon().pixmap(32, 32).toImage();
        EXPECT_EQ(w->picIcon->picture().convertToFormat(QImage::Format_ARGB32),
                  icon.convertToFormat(QImage::Format_ARGB32));
        const QImage shown = w->picIcon->grab().toImage();
        EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0);
        EXPECT_EQ(shown.pixel(0, 0), platform::systemColor(0).rgb());
        // Focus on OK; Enter on the system information button acts on it, not on OK.
        w->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(w));
        EXPECT_TRUE(w->cmdOK->hasFocus());
        QTest::keyClick(w->cmdOK, Qt::Key_Tab);
        QTest::keyClick(w->cmdSysInfo, Qt::Key_Return);
        EXPECT_TRUE(w->isVisible());
        QTest::keyClick(w, Qt::Key_Escape);
    });
    ASSERT_EQ(seams.messages.size(), 1u);
    EXPECT_EQ(seams.messages[0].prompt, QStringLiteral("現時点ではｼｽﾃﾑ情報を使用できません"));
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

TEST(MemoryText, KilobytesRoundedDownAndGrouped) {
    const std::pair<std::uint64_t, const char*> cases[] = {
        {268435456, "262,144"},
        {1048575, "1,023"}, // the fraction is dropped
        {1023, ""},         // 0 KB: every digit of the format is optional
        {1024, "1"},
        {8589934592, "8,388,608"}, // 8 GiB, past what 32 bits hold
        {std::uint64_t(1) << 50, "1,099,511,627,776"},
    };
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(frmAbout::memoryText(bytes), grouped(text)) << bytes;
}

TEST_F(SysInfo, EachEntryLeadsToItsProgramOrToTheMessage) {
    const QString program = makeProgram(dir.filePath(QStringLiteral("sysinfo")));
    const QString folder = dir.filePath(QStringLiteral("tools dir"));
    makeProgram(folder + "/MSINFO32.EXE");
    QDir(dir.path()).mkpath(QStringLiteral("e/MSINFO32.EXE"));
    const QString missing = QStringLiteral("/nonexistent/msinfo");
    // Entry 1 (PATH), entry 2 (the folder), what starts, and whether the message shows.
    using Value = std::optional<RegistryValue>;
    const std::tuple<Value, Value, QStringList, bool> cases[] = {
        {sz(program), sz(missing), {program}, false}, // entry 2 not read
        {{}, sz(folder), {folder + "/MSINFO32.EXE"}, false},
        {{}, {}, {}, true},
        {sz(missing), sz(folder), {missing}, true}, // entry 2 is not tried
        {{}, sz(dir.path()), {}, true},             // the folder without the program
        {{}, sz(dir.filePath("e")), {}, true},      // a folder called MSINFO32.EXE
        // Entry 1's type and size: another type leaves the path empty; a string without its
        // zero is taken whole, with two the second is kept; a number is its decimal text; no
        // data is the invalid-argument error, whose message is the same; over 1024 bytes is
        // missing, 1024 is not.
        {RegistryValue{REG_EXPAND_SZ, "/bin/true"}, sz(folder), {""}, true},
        {RegistryValue{REG_SZ, program.toLocal8Bit()}, sz(folder), {program}, false},
        {RegistryValue{REG_SZ, QByteArray("/x\0\0", 4)},
         {},
         {QString::fromLatin1("/x\0", 3)},
         true},
        {RegistryValue{REG_DWORD, QByteArray("\x00\x00\x01\x80", 4)}, {}, {"2147549184"}, true},
        {RegistryValue{REG_SZ, {}}, sz(folder), {}, true},
        {sz(QString(1100, 'a')), {}, {}, true},
        {RegistryValue{REG_SZ, QByteArray(1024, 'b')}, {}, {QString(1024, 'b')}, true},
    };
    for (int i = 0; const auto& [path, location, starts, message] : cases) {
        hive.clear();
        if (path)
            set(kMsinfo, "PATH", *path);
        if (location)
            set(kLocation, "MSINFO", *location);
        EXPECT_EQ(run(), std::pair(starts, message)) << "case " << i++;
    }
    // Read rights are enough: the key grants no more, and the program still starts.
    hive.clear();
    set(kMsinfo, "PATH", sz(program));
    HKEY key;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kMsinfo, 0, 0x2003F, &key), ERROR_ACCESS_DENIED);
    EXPECT_EQ(run(), std::pair(QStringList{program}, false));
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
    EXPECT_THROW(StartProgram(QString()), RuntimeError);
}
