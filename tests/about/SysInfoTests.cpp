// The system-information launcher over built registry hives, with a process starter that
// records what would start; and one real start of a program whose path has blanks.
#include "Files.h"
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

RegistryValue sz(const QString& text) {
    return {REG_SZ, text.toLocal8Bit() + '\0'};
}

// A script that touches `marker` when it runs.
QString makeProgram(const QString& path, const QString& marker = QStringLiteral("/dev/null")) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    std::ofstream(path.toStdString()) << "#!/bin/sh\ntouch '" << marker.toStdString() << "'\n";
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

class SysInfo : public ::testing::Test {
  protected:
    void TearDown() override { EXPECT_EQ(openRegistryKeys(), 0); } // every way out closed its key
    void value(const QString& key, const char* name, const RegistryValue& v) {
        hive[key].values.insert(QString::fromLatin1(name).toLower(), v);
    }
    // What StartSysInfo started, and whether it said it could not.
    std::pair<QStringList, bool> run() {
        started.clear();
        seams.messages.clear();
        frmAbout::StartSysInfo();
        if (!seams.messages.empty()) {
            EXPECT_EQ(seams.messages[0].prompt,
                      QStringLiteral("現時点ではｼｽﾃﾑ情報を使用できません"));
            EXPECT_EQ(seams.messages[0].buttons, 0);
        }
        return {started, !seams.messages.empty()};
    }
    std::map<QString, RegistryKey> hive;
    QStringList started;
    QTemporaryDir dir;
    quorvane::testing::WindowSeams seams{
        {.startProgram =
             [this](const QString& path) {
                 started << path;
                 return QFileInfo(path).isFile() && QFileInfo(path).isExecutable();
             },
         .localMachine = [this](const QString& path) -> std::optional<RegistryKey> {
             auto found = hive.find(path);
             return found == hive.end() ? std::nullopt : std::make_optional(found->second);
         }}};
};

} // namespace

TEST_F(SysInfo, EachEntryLeadsToItsProgramOrToTheMessage) {
    const QString program = makeProgram(dir.filePath(QStringLiteral("sysinfo")));
    const QString folder =
        QFileInfo(makeProgram(dir.filePath(QStringLiteral("tools dir/MSINFO32.EXE"))))
            .absolutePath();
    QDir(dir.path()).mkpath(QStringLiteral("e/MSINFO32.EXE"));
    struct Case {
        const char* name;
        std::optional<RegistryValue> path, location;
        QStringList starts;
        bool message;
    };
    const Case cases[] = {
        {"entry 1, entry 2 not read",
         sz(program),
         sz(QStringLiteral("/nonexistent")),
         {program},
         false},
        {"entry 2 names the program's folder", {}, sz(folder), {folder + "/MSINFO32.EXE"}, false},
        {"neither entry", {}, {}, {}, true},
        {"entry 1 names a missing program; entry 2 is not tried",
         sz(QStringLiteral("/nonexistent/msinfo")),
         sz(folder),
         {"/nonexistent/msinfo"},
         true},
        {"entry 2's folder without the program", {}, sz(dir.path()), {}, true},
        {"entry 2 names a folder called MSINFO32.EXE", {}, sz(dir.filePath("e")), {}, true},
        {"entry 1 of another type: an empty path fails to start",
         RegistryValue{REG_EXPAND_SZ, "/bin/true"},
         sz(folder),
         {""},
         true},
        {"entry 1 without data: the error goes to the message",
         RegistryValue{REG_SZ, {}},
         sz(folder),
         {},
         true},
        {"a value over 1024 bytes counts as missing", sz(QString(1100, 'a')), {}, {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        hive.clear();
        if (c.path)
            value(kMsinfo, "PATH", *c.path);
        if (c.location)
            value(kLocation, "MSINFO", *c.location);
        EXPECT_EQ(run(), std::pair(c.starts, c.message));
    }
    // Read rights are enough: the key grants no more, and the program still starts.
    hive.clear();
    value(kMsinfo, "PATH", sz(program));
    HKEY key;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kMsinfo, 0, 0x2003F, &key), ERROR_ACCESS_DENIED);
    EXPECT_EQ(run(), std::pair(QStringList{program}, false));
}

TEST_F(SysInfo, GetKeyValueReadsEachType) {
    const std::tuple<RegistryValue, bool, QString> cases[] = {
        {sz(QStringLiteral("C:\\Tools")), true, QStringLiteral("C:\\Tools")},
        {{REG_SZ, "abc"}, true, QStringLiteral("abc")}, // without its zero: taken whole
        {{REG_SZ, QByteArray("abc\0\0", 5)},
         true,
         QString::fromLatin1("abc\0", 4)}, // one zero dropped
        {{REG_DWORD, QByteArray("\x03\x02\x01\x00", 4)}, true, QStringLiteral("66051")},
        {{REG_DWORD, QByteArray("\x00\x00\x00\x80", 4)}, true, QStringLiteral("2147483648")},
        {{REG_BINARY, "xyz"}, true, QStringLiteral("before")}, // the text is left as it was
        {{REG_SZ, QByteArray(1024, 'b')}, true, QString(1024, QLatin1Char('b'))},
        {{REG_SZ, QByteArray(1025, 'b')}, false, QString()},
    };
    for (const auto& [stored, result, text] : cases) {
        hive.clear();
        value(kMsinfo, "PATH", stored);
        QString got = QStringLiteral("before");
        EXPECT_EQ(frmAbout::GetKeyValue(HKEY_LOCAL_MACHINE, kMsinfo, QStringLiteral("PATH"), got),
                  result);
        EXPECT_EQ(got, text);
    }
    QString got = QStringLiteral("before"); // no such value
    EXPECT_FALSE(frmAbout::GetKeyValue(HKEY_LOCAL_MACHINE, kMsinfo, QStringLiteral("OTHER"), got));
    EXPECT_TRUE(got.isEmpty());
    // No data at all: the invalid-argument error, after the key was closed.
    value(kMsinfo, "PATH", {REG_SZ, QByteArray()});
    try {
        frmAbout::GetKeyValue(HKEY_LOCAL_MACHINE, kMsinfo, QStringLiteral("PATH"), got);
        ADD_FAILURE() << "no error for a value without data";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.Number, 5);
    }
    // The query's in/out size, and handles that are closed or were never open.
    value(kMsinfo, "PATH", sz(QStringLiteral("abcdef")));
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
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegOpenKeyExA(HKEY{1}, kMsinfo, 0, KEY_READ, &key), ERROR_INVALID_HANDLE);
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
