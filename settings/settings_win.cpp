// The registry key HKEY_CURRENT_USER\SOFTWARE\screen-capture-rvk, opened for
// each operation and never created: creating it is the installer's job.
#include "settings/settings.h"
#include "settings/registrykey.h"

#include <cstring>
#include <string>

#include <windows.h>

namespace {

class RegistryKey
{
public:
    explicit RegistryKey(REGSAM access)
    {
        if (RegOpenKeyExW(HKEY_CURRENT_USER, keyName, 0, access, &key) != ERROR_SUCCESS)
            key = nullptr;
    }
    ~RegistryKey()
    {
        if (key)
            RegCloseKey(key);
    }
    RegistryKey(const RegistryKey &) = delete;
    RegistryKey &operator=(const RegistryKey &) = delete;

    bool isOpen() const { return key != nullptr; }
    HKEY handle() const { return key; }

private:
    HKEY key = nullptr;
};

// Value names are plain ASCII.
std::wstring wide(const char *name)
{
    return std::wstring(name, name + std::strlen(name));
}

bool setValue(HKEY key, const char *name, int32_t value)
{
    DWORD data = DWORD(value);
    return RegSetValueExW(key, wide(name).c_str(), 0, REG_DWORD,
                          reinterpret_cast<const BYTE *>(&data), sizeof data) == ERROR_SUCCESS;
}

} // namespace

int readSetting(const char *name, int32_t *value, int32_t defaultValue)
{
    *value = defaultValue;
    const RegistryKey key(KEY_READ);
    if (!key.isOpen())
        return -1;
    // Read into a scratch buffer: a value of another type, or a REG_DWORD
    // stored with fewer bytes, must not land in the caller's variable.
    DWORD type = 0;
    DWORD data = 0;
    DWORD size = sizeof data;
    const LONG status = RegQueryValueExW(key.handle(), wide(name).c_str(), nullptr, &type,
                                         reinterpret_cast<BYTE *>(&data), &size);
    if (status != ERROR_SUCCESS || type != REG_DWORD || size != sizeof data)
        return -1;
    *value = int32_t(data);
    return 0;
}

int readSettingPair(const char *firstName, int32_t *firstValue,
                    const char *secondName, int32_t *secondValue)
{
    // The registry has no lock to share with the writer, which sets the
    // first value before the second: read until two rounds in a row agree.
    int32_t first = 0;
    int32_t second = 0;
    int status = readSetting(firstName, &first, 0) | readSetting(secondName, &second, 0);
    for (int round = 0; round < 100; ++round) {
        int32_t firstAgain = 0;
        int32_t secondAgain = 0;
        const int statusAgain =
            readSetting(firstName, &firstAgain, 0) | readSetting(secondName, &secondAgain, 0);
        const bool agree = statusAgain == status && firstAgain == first && secondAgain == second;
        first = firstAgain;
        second = secondAgain;
        status = statusAgain;
        if (agree)
            break;
    }
    if (status == 0) {
        *firstValue = first;
        *secondValue = second;
    }
    return status;
}

int writeSetting(const char *name, int32_t value)
{
    const RegistryKey key(KEY_SET_VALUE);
    if (!key.isOpen())
        return -1;
    return setValue(key.handle(), name, value) ? 0 : -1;
}

int writeSettingPair(const char *firstName, int32_t firstValue,
                     const char *secondName, int32_t secondValue)
{
    const RegistryKey key(KEY_SET_VALUE);
    if (!key.isOpen())
        return -1;
    const bool first = setValue(key.handle(), firstName, firstValue);
    const bool second = setValue(key.handle(), secondName, secondValue);
    return first && second ? 0 : -1;
}
