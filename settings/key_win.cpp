// The registry key HKEY_CURRENT_USER\SOFTWARE\screen-capture-rvk, the one
// the store opens.
#include "settings/key.h"
#include "settings/registrykey.h"

#include <cstring>

#include <windows.h>

namespace {

// Value names are plain ASCII.
std::wstring wide(const char *name)
{
    return std::wstring(name, name + std::strlen(name));
}

} // namespace

std::string keyLocation()
{
    return "HKEY_CURRENT_USER\\SOFTWARE\\screen-capture-rvk";
}

bool keyExists()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, keyName, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

KeyCreation createKey(std::string *error)
{
    HKEY key = nullptr;
    DWORD disposition = 0;
    const LONG status
        = RegCreateKeyExW(HKEY_CURRENT_USER, keyName, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ,
                          nullptr, &key, &disposition);
    if (status != ERROR_SUCCESS) {
        *error = "RegCreateKeyExW failed with error " + std::to_string(status);
        return KeyCreation::Failed;
    }
    RegCloseKey(key);
    return disposition == REG_CREATED_NEW_KEY ? KeyCreation::Created : KeyCreation::Existed;
}

bool valueExists(const char *name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, keyName, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    const LONG status
        = RegQueryValueExW(key, wide(name).c_str(), nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

// The registry keeps one time for the key, none for each value: the last
// write of any of them. The capture flag is read just after its change is
// noticed, so this is its time unless the frame moved in between.
int64_t valueWrittenAgo(const char *)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, keyName, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return -1;
    FILETIME written;
    const LONG status = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                         nullptr, nullptr, nullptr, nullptr, &written);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        return -1;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const auto ticks = [](const FILETIME &time) {
        return int64_t(uint64_t(time.dwHighDateTime) << 32 | time.dwLowDateTime);
    };
    const int64_t ago = (ticks(now) - ticks(written)) * 100; // 100 ns a tick
    return ago >= 0 ? ago : -1;
}
