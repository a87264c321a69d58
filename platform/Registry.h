// A registry with the platform's semantics: keys opened with an access mask checked against
// the rights the key grants, values with a type and bytes, the in/out size of a query. Its
// one root here, HKEY_LOCAL_MACHINE, is read-only and holds the keys that the program's parts
// provide, each made at open from the machine as it is; tests replace it with hives of their
// own.
#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

namespace quorvane::platform {

struct HKEY {
    std::uint32_t value = 0;
    friend bool operator==(HKEY, HKEY) = default;
};
inline constexpr HKEY HKEY_LOCAL_MACHINE{0x80000002u};

inline constexpr std::int32_t ERROR_SUCCESS = 0;
inline constexpr std::int32_t ERROR_FILE_NOT_FOUND = 2;
inline constexpr std::int32_t ERROR_ACCESS_DENIED = 5;
inline constexpr std::int32_t ERROR_INVALID_HANDLE = 6;
inline constexpr std::int32_t ERROR_MORE_DATA = 234;

inline constexpr std::uint32_t REG_SZ = 1;
inline constexpr std::uint32_t REG_EXPAND_SZ = 2;
inline constexpr std::uint32_t REG_BINARY = 3;
inline constexpr std::uint32_t REG_DWORD = 4;

inline constexpr std::uint32_t KEY_QUERY_VALUE = 0x0001;
inline constexpr std::uint32_t KEY_SET_VALUE = 0x0002;
inline constexpr std::uint32_t KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr std::uint32_t KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr std::uint32_t KEY_NOTIFY = 0x0010;
inline constexpr std::uint32_t KEY_CREATE_LINK = 0x0020;
inline constexpr std::uint32_t READ_CONTROL = 0x20000;
inline constexpr std::uint32_t KEY_READ =
    READ_CONTROL | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS | KEY_NOTIFY;

struct RegistryValue {
    std::uint32_t type = REG_SZ;
    QByteArray data;
};

struct RegistryKey {
    QMap<QString, RegistryValue> values; // value names in lower case: names match without case
    std::uint32_t grantedAccess = KEY_READ;
};

// Looks up a key of HKEY_LOCAL_MACHINE by its path ("A\B\C"); nothing when there is none.
using RegistryHive = std::function<std::optional<RegistryKey>(const QString& path)>;
// Makes a key of the machine's HKEY_LOCAL_MACHINE (read-only, KEY_READ), each time it is opened.
using RegistryKeyReader = std::function<RegistryKey()>;
// Gives the machine's HKEY_LOCAL_MACHINE the key at `path`, made by `reader` at each open, so
// that it reflects the machine at that moment. The program's parts add the keys they read.
void provideMachineKey(const QString& path, RegistryKeyReader reader);

std::int32_t RegOpenKeyExA(HKEY hKey, const QString& lpSubKey, std::uint32_t ulOptions,
                           std::uint32_t samDesired, HKEY* phkResult);
// lpData may be null to ask for the size. ERROR_MORE_DATA, with the size needed in *lpcbData,
// when the buffer is too small.
std::int32_t RegQueryValueExA(HKEY hKey, const QString& lpValueName, std::uint32_t* lpReserved,
                              std::uint32_t* lpType, std::uint8_t* lpData, std::uint32_t* lpcbData);
std::int32_t RegCloseKey(HKEY hKey);

// How many keys are open (tests check that every way out closes its key).
int openRegistryKeys();

} // namespace quorvane::platform
