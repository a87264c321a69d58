// The registry: open keys are snapshots of a hive's keys, reached through handles.
#include "Registry.h"

#include "SystemServices.h"

#include <algorithm>
#include <map>

namespace quorvane::platform {
namespace {

std::map<std::uint32_t, RegistryKey>& openKeys() {
    static std::map<std::uint32_t, RegistryKey> keys;
    return keys;
}

std::uint32_t g_nextHandle = 0x100;

QString normalised(const QString& path) {
    QString p = path.toLower();
    while (p.startsWith(QLatin1Char('\\')))
        p.remove(0, 1);
    while (p.endsWith(QLatin1Char('\\')))
        p.chop(1);
    return p;
}

// The keys of the machine's HKEY_LOCAL_MACHINE, by normalised path.
std::map<QString, RegistryKeyReader>& machineKeys() {
    static std::map<QString, RegistryKeyReader> keys;
    return keys;
}

std::optional<RegistryKey> machineKey(const QString& path) {
    const auto reader = machineKeys().find(normalised(path));
    if (reader == machineKeys().end())
        return std::nullopt;
    return reader->second();
}

} // namespace

void provideMachineKey(const QString& path, RegistryKeyReader reader) {
    machineKeys()[normalised(path)] = std::move(reader);
}

std::int32_t RegOpenKeyExA(HKEY hKey, const QString& lpSubKey, std::uint32_t,
                           std::uint32_t samDesired, HKEY* phkResult) {
    if (hKey != HKEY_LOCAL_MACHINE)
        return ERROR_INVALID_HANDLE;
    const std::optional<RegistryKey> key = services().localMachine
                                               ? services().localMachine(normalised(lpSubKey))
                                               : machineKey(lpSubKey);
    if (!key)
        return ERROR_FILE_NOT_FOUND;
    if ((samDesired & ~key->grantedAccess) != 0)
        return ERROR_ACCESS_DENIED;
    const std::uint32_t handle = g_nextHandle++;
    openKeys()[handle] = *key;
    *phkResult = HKEY{handle};
    return ERROR_SUCCESS;
}

std::int32_t RegQueryValueExA(HKEY hKey, const QString& lpValueName, std::uint32_t*,
                              std::uint32_t* lpType, std::uint8_t* lpData,
                              std::uint32_t* lpcbData) {
    const auto key = openKeys().find(hKey.value);
    if (key == openKeys().end())
        return ERROR_INVALID_HANDLE;
    const auto value = key->second.values.constFind(lpValueName.toLower());
    if (value == key->second.values.constEnd())
        return ERROR_FILE_NOT_FOUND;
    const auto size = static_cast<std::uint32_t>(value->data.size());
    if (lpType)
        *lpType = value->type;
    if (lpData && lpcbData && *lpcbData < size) {
        *lpcbData = size;
        return ERROR_MORE_DATA;
    }
    if (lpData)
        std::copy(value->data.begin(), value->data.end(), lpData);
    if (lpcbData)
        *lpcbData = size;
    return ERROR_SUCCESS;
}

std::int32_t RegCloseKey(HKEY hKey) {
    return openKeys().erase(hKey.value) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

int openRegistryKeys() {
    return static_cast<int>(openKeys().size());
}

} // namespace quorvane::platform
