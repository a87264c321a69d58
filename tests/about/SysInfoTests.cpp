// The system-information launcher over built registry hives, with a process starter that
// records what would start; and one real start of a program whose path has blanks.
#include "App.h"
#include "Files.h"
#include "QtPrinters.h"
#include "Registry.h"
#include "RuntimeError.h"
#include "WindowSeams.h"
#include "frmAbout.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>
#include <map>

using namespace quorvane;
using namespace quorvane::platform;
using about::frmAbout;

namespace {

const QString kMsinfo = QStringLiteral("software\\microsoft\\shared tools\\msinfo");
const QString kLocation = QStringLiteral("software\\microsoft\\shared tools location");
const QString kUnavailable = QStringLiteral("現時点ではｼｽﾃﾑ情報を使用できません");

RegistryValue sz(const QByteArray& text) {
    return {REG_SZ, text + '\0'};
}

class SysInfo : public ::testing::Test {
  public:
    void SetUp() override {
        setLocalMachineHive([this](const QString& path) -> std::optional<RegistryKey> {
            auto found = hive.find(path);
            if (found == hive.end())
                return std::nullopt;
            return found->second;
        });
        setProgramStarter([this](const QString& path) {
            started << path;
            return QFileInfo(path).isFile() && QFileInfo(path).isExecutable();
        });
    }
    void TearDown() override {
        setLocalMachineHive({});
        setProgramStarter({});
        EXPECT_EQ(openRegistryKeys(), 0); // every way out closed its key
    }

    void value(const QString& key, const char* name, const RegistryValue& v) {
        hive[key].values.insert(QString::fromLatin1(name).toLower(), v);
    }

    // A program file that can be started, in a folder of its own.
    QString makeProgram(const QString& name) {
        QString path = dir.filePath(name);
        QDir().mkpath(QFileInfo(path).absolutePath());
        std::ofstream(path.toStdString()) << "#!/bin/sh\n";
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }

    std::map<QString, RegistryKey> hive;
    QStringList started;
    QTemporaryDir dir;
    quorvane::testing::WindowSeams seams;
};

} // namespace

TEST_F(SysInfo, TheFirstEntryIsStartedAndTheSecondNotRead) {
    const QString program = makeProgram(QStringLiteral("sysinfo"));
    value(kMsinfo, "PATH", sz(program.toLocal8Bit()));
    value(kLocation, "MSINFO", sz("/nonexistent"));
    frmAbout::StartSysInfo();
    EXPECT_EQ(started, QStringList{program});
    EXPECT_TRUE(seams.messages.empty());
    // Clicking twice starts twice.
    frmAbout::StartSysInfo();
    EXPECT_EQ(started.size(), 2);
}

TEST_F(SysInfo, WhenTheEntriesLeadNowhereTheMessageIsShown) {
    struct Case {
        const char* name;
        std::function<void(SysInfo&)> setUp;
        QStringList expectedStarts;
    };
    const Case cases[] = {
        {"neither entry", [](SysInfo&) {}, {}},
        {"entry 1 names a missing program; entry 2 is not tried",
         [](SysInfo& t) {
             t.value(kMsinfo, "PATH", sz("/nonexistent/msinfo"));
             t.value(kLocation, "MSINFO",
                     sz(QFileInfo(t.makeProgram("d/MSINFO32.EXE")).absolutePath().toLocal8Bit()));
         },
         {"/nonexistent/msinfo"}},
        {"entry 2's folder without the program",
         [](SysInfo& t) { t.value(kLocation, "MSINFO", sz(t.dir.path().toLocal8Bit())); },
         {}},
        {"entry 2 names a folder called MSINFO32.EXE",
         [](SysInfo& t) {
             QDir(t.dir.path()).mkpath(QStringLiteral("e/MSINFO32.EXE"));
             t.value(kLocation, "MSINFO", sz(t.dir.filePath(QStringLiteral("e")).toLocal8Bit()));
         },
         {}},
        {"entry 1 of another type: True with an empty path, the start fails, entry 2 not tried",
         [](SysInfo& t) {
             t.value(kMsinfo, "PATH", {REG_EXPAND_SZ, QByteArray("/bin/true") + '\0'});
             t.value(kLocation, "MSINFO",
                     sz(QFileInfo(t.makeProgram("f/MSINFO32.EXE")).absolutePath().toLocal8Bit()));
         },
         {""}},
        {"entry 1 with no data at all: the error goes straight to the message",
         [](SysInfo& t) {
             t.value(kMsinfo, "PATH", {REG_SZ, QByteArray()});
             t.value(kLocation, "MSINFO",
                     sz(QFileInfo(t.makeProgram("g/MSINFO32.EXE")).absolutePath().toLocal8Bit()));
         },
         {}},
        {"a value over 1024 bytes counts as missing",
         [](SysInfo& t) { t.value(kMsinfo, "PATH", sz(QByteArray(1100, 'a'))); },
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        hive.clear();
        started.clear();
        seams.messages.clear();
        c.setUp(*this);
        frmAbout::StartSysInfo();
        EXPECT_EQ(started, c.expectedStarts);
        ASSERT_EQ(seams.messages.size(), 1u);
        EXPECT_EQ(seams.messages[0].prompt, kUnavailable);
        EXPECT_EQ(seams.messages[0].buttons, 0); // no icon
        EXPECT_EQ(seams.messages[0].title, QStringLiteral("Quorvane"));
    }
}

TEST_F(SysInfo, TheSecondEntryNamesTheProgramsFolder) {
    const QString program = makeProgram(QStringLiteral("tools dir/MSINFO32.EXE"));
    value(kLocation, "MSINFO", sz(QFileInfo(program).absolutePath().toLocal8Bit()));
    frmAbout::StartSysInfo();
    EXPECT_EQ(started,
              QStringList{QFileInfo(program).absolutePath() + QStringLiteral("/MSINFO32.EXE")});
    EXPECT_TRUE(seams.messages.empty());
}

TEST_F(SysInfo, ReadRightsAreEnough) {
    // The key grants reading only: a user without write rights still gets the tool.
    const QString program = makeProgram(QStringLiteral("sysinfo"));
    value(kMsinfo, "PATH", sz(program.toLocal8Bit()));
    hive[kMsinfo].grantedAccess = KEY_READ;
    frmAbout::StartSysInfo();
    EXPECT_EQ(started, QStringList{program});
    HKEY key;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kMsinfo, 0, 0x2003F, &key), ERROR_ACCESS_DENIED);
}

TEST_F(SysInfo, GetKeyValueReadsEachType) {
    struct Case {
        const char* name;
        RegistryValue value;
        bool result;
        QString text;
    };
    const Case cases[] = {
        {"string with its zero", sz("C:\\Tools"), true, QStringLiteral("C:\\Tools")},
        {"string without a zero is taken whole", {REG_SZ, "abc"}, true, QStringLiteral("abc")},
        {"two trailing zeros keep one",
         {REG_SZ, QByteArray("abc\0\0", 5)},
         true,
         QString::fromLatin1("abc\0", 4)},
        {"DWORD, least significant byte first",
         {REG_DWORD, QByteArray("\x03\x02\x01\x00", 4)},
         true,
         QStringLiteral("66051")},
        {"DWORD with the top bit set",
         {REG_DWORD, QByteArray("\x00\x00\x00\x80", 4)},
         true,
         QStringLiteral("2147483648")},
        {"binary leaves KeyVal as it was", {REG_BINARY, "xyz"}, true, QStringLiteral("before")},
        {"exactly 1024 bytes fit",
         {REG_SZ, QByteArray(1024, 'b')},
         true,
         QString(1024, QLatin1Char('b'))},
        {"1025 bytes do not", {REG_SZ, QByteArray(1025, 'b')}, false, QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        hive.clear();
        value(kMsinfo, "PATH", c.value);
        QString text = QStringLiteral("before");
        EXPECT_EQ(frmAbout::GetKeyValue(HKEY_LOCAL_MACHINE, kMsinfo, QStringLiteral("PATH"), text),
                  c.result);
        EXPECT_EQ(text, c.text);
        EXPECT_EQ(openRegistryKeys(), 0);
    }
    // No such key, no such value: False and an empty text.
    QString text = QStringLiteral("before");
    EXPECT_FALSE(frmAbout::GetKeyValue(HKEY_LOCAL_MACHINE, QStringLiteral("SOFTWARE\\None"),
                                       QStringLiteral("PATH"), text));
    EXPECT_TRUE(text.isEmpty());
    text = QStringLiteral("before");
    EXPECT_FALSE(frmAbout::GetKeyValue(HKEY_LOCAL_MACHINE, kMsinfo, QStringLiteral("OTHER"), text));
    EXPECT_TRUE(text.isEmpty());
    // No data at all: the invalid-argument error, after the key was closed.
    hive.clear();
    value(kMsinfo, "PATH", {REG_SZ, QByteArray()});
    text = QStringLiteral("before");
    try {
        frmAbout::GetKeyValue(HKEY_LOCAL_MACHINE, kMsinfo, QStringLiteral("PATH"), text);
        ADD_FAILURE() << "no error for a value without data";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.Number, 5);
        EXPECT_EQ(error.Description,
                  QStringLiteral("プロシージャの呼び出し、または引数が不正です。"));
    }
    EXPECT_EQ(text, QStringLiteral("before"));
    EXPECT_EQ(openRegistryKeys(), 0);
}

TEST_F(SysInfo, TheQuerySizeSemantics) {
    value(kMsinfo, "PATH", sz("abcdef"));
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE,
                            QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"), 0,
                            KEY_READ, &key),
              ERROR_SUCCESS);
    std::uint32_t type = 0, size = 3;
    std::uint8_t small[3];
    EXPECT_EQ(RegQueryValueExA(key, QStringLiteral("path"), nullptr, &type, small, &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, 7u);
    size = 0;
    EXPECT_EQ(RegQueryValueExA(key, QStringLiteral("PATH"), nullptr, &type, nullptr, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(size, 7u);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegQueryValueExA(key, QStringLiteral("PATH"), nullptr, &type, nullptr, &size),
              ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegOpenKeyExA(HKEY{1}, kMsinfo, 0, KEY_READ, &key), ERROR_INVALID_HANDLE);
}

TEST(SysInfoStart, APathWithBlanksStartsExactlyThatProgram) {
    // "my tools/run me" must start; "my" (the path's first word, as a shell would split it)
    // and any shell metacharacters must not come into play.
    QTemporaryDir dir;
    const QString marker = dir.filePath(QStringLiteral("started"));
    const QString decoy = dir.filePath(QStringLiteral("my"));
    std::ofstream(decoy.toStdString())
        << "#!/bin/sh\ntouch '" << dir.filePath(QStringLiteral("decoy")).toStdString() << "'\n";
    QFile::setPermissions(decoy, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QDir(dir.path()).mkpath(QStringLiteral("my tools"));
    const QString program = dir.filePath(QStringLiteral("my tools/run me;$(x)"));
    std::ofstream(program.toStdString()) << "#!/bin/sh\ntouch '" << marker.toStdString() << "'\n";
    QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QDir::setCurrent(dir.path());
    StartProgram(program);
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(marker); }, 5000));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("decoy"))));
    EXPECT_THROW(StartProgram(dir.filePath(QStringLiteral("missing program"))), RuntimeError);
    EXPECT_THROW(StartProgram(QString()), RuntimeError);
}

TEST(SysInfoStart, TheMachinesHiveIsReadOnlyAndNamesOnlyWhatIsInstalled) {
    auto key = machineLocalMachineKey(QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"));
    ASSERT_TRUE(key);
    EXPECT_EQ(key->grantedAccess, KEY_READ);
    const auto path = key->values.constFind(QStringLiteral("path"));
    if (path != key->values.constEnd()) {
        EXPECT_TRUE(QFileInfo(QString::fromLocal8Bit(path->data.chopped(1))).isExecutable());
    }
    EXPECT_FALSE(
        machineLocalMachineKey(QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location")));
}
