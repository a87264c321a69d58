// The system-information button: finds the tool through two registry entries and starts it.
#include "App.h"
#include "Files.h"
#include "RuntimeError.h"
#include "Windowing.h"
#include "frmAbout.h"

#include <QStandardPaths>

#include <array>

namespace quorvane::about {

using namespace quorvane::platform;

namespace {

constexpr std::uint32_t kValueBufferSize = 1024;
const QString kMsinfoKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
const QString kLocationKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");
const QString kProgramName = QStringLiteral("/MSINFO32.EXE");

// The MSINFO key as this machine answers it: PATH (REG_SZ) names the desktop's
// system-information program, the first of these that is installed; no PATH without one.
RegistryKey msinfoKey() {
    RegistryKey key;
    for (const char* program : {"hardinfo", "hardinfo2", "kinfocenter"}) {
        const QString found = QStandardPaths::findExecutable(QString::fromLatin1(program));
        if (!found.isEmpty()) {
            key.values.insert(QStringLiteral("path"), {REG_SZ, found.toLocal8Bit() + '\0'});
            break;
        }
    }
    return key;
}

} // namespace

void frmAbout::cmdSysInfo_Click() {
    StartSysInfo();
}

void frmAbout::StartSysInfo() {
    // The machine's registry answers the key as above, from the first click on.
    [[maybe_unused]] static const bool provided = (provideMachineKey(kMsinfoKey, msinfoKey), true);
    try {
        QString SysInfoPath;
        bool found =
            GetKeyValue(HKEY_LOCAL_MACHINE, kMsinfoKey, QStringLiteral("PATH"), SysInfoPath);
        if (!found &&
            GetKeyValue(HKEY_LOCAL_MACHINE, kLocationKey, QStringLiteral("MSINFO"), SysInfoPath)) {
            if (!Dir(SysInfoPath + kProgramName).isEmpty()) {
                SysInfoPath += kProgramName;
                found = true;
            }
        }
        if (found) {
            StartProgram(SysInfoPath);
            return;
        }
    } catch (const RuntimeError&) {
        // Every failure ends in the one message below.
    }
    MsgBox(QStringLiteral("現時点ではｼｽﾃﾑ情報を使用できません"), vbOKOnly, App().Title);
}

bool frmAbout::GetKeyValue(HKEY KeyRoot, const QString& KeyName, const QString& SubKeyRef,
                           QString& KeyVal) {
    // Read rights are enough: nothing is written, and a user without write rights on the key
    // can still read it.
    HKEY hKey;
    if (RegOpenKeyExA(KeyRoot, KeyName, 0, KEY_READ, &hKey) != ERROR_SUCCESS) {
        KeyVal.clear();
        return false;
    }
    std::array<std::uint8_t, kValueBufferSize> buffer{};
    std::uint32_t size = kValueBufferSize;
    std::uint32_t type = 0;
    if (RegQueryValueExA(hKey, SubKeyRef, nullptr, &type, buffer.data(), &size) != ERROR_SUCCESS) {
        KeyVal.clear();
        RegCloseKey(hKey);
        return false;
    }
    if (size == 0) {
        RegCloseKey(hKey);
        throw RuntimeError(kErrInvalidProcedureCall);
    }
    // String data normally ends in one zero byte: that one byte is dropped, no more.
    QByteArray data(reinterpret_cast<const char*>(buffer.data()), static_cast<qsizetype>(size));
    if (data.endsWith('\0'))
        data.chop(1);
    if (type == REG_SZ) {
        KeyVal = QString::fromLocal8Bit(data);
    } else if (type == REG_DWORD) {
        std::uint32_t number = 0;
        for (qsizetype i = std::min<qsizetype>(data.size(), 4); i-- > 0;)
            number = (number << 8) | static_cast<std::uint8_t>(data[i]);
        KeyVal = QString::number(number);
    }
    RegCloseKey(hKey);
    return true;
}

} // namespace quorvane::about
