#include "scratchkey.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include <windows.h>

namespace {

const wchar_t keyName[] = L"SOFTWARE\\screen-capture-rvk";
const wchar_t sandboxName[] = L"SOFTWARE\\zorvi-tests";

std::wstring wide(const char *name)
{
    return std::wstring(name, name + std::char_traits<char>::length(name));
}

// The store's key, opened behind its back for as long as the object lives.
struct OpenKey
{
    explicit OpenKey(REGSAM access) { RegOpenKeyExW(HKEY_CURRENT_USER, keyName, 0, access, &key); }
    ~OpenKey() { RegCloseKey(key); }
    HKEY key = nullptr;
};

} // namespace

ScratchKey::ScratchKey(bool create)
{
    // The store sees a real key at its usual path; the user's stays untouched.
    HKEY sandbox = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, sandboxName, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &sandbox, nullptr) != ERROR_SUCCESS
        || RegOverridePredefKey(HKEY_CURRENT_USER, sandbox) != ERROR_SUCCESS) {
        std::fputs("cannot map HKEY_CURRENT_USER onto a throwaway key\n", stderr);
        std::abort();
    }
    RegCloseKey(sandbox);
    HKEY key = nullptr;
    if (create && RegCreateKeyExW(HKEY_CURRENT_USER, keyName, 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr) == ERROR_SUCCESS)
        RegCloseKey(key);
}

ScratchKey::~ScratchKey()
{
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegDeleteTreeW(HKEY_CURRENT_USER, sandboxName);
}

bool ScratchKey::exists() const
{
    return OpenKey(KEY_READ).key != nullptr;
}

void ScratchKey::put(const char *name, const std::string &bytes, unsigned long type)
{
    // A text without its terminator gets one counted when a null character
    // follows the data: none does.
    const std::string data = bytes + "--";
    RegSetValueExW(OpenKey(KEY_SET_VALUE).key, wide(name).c_str(), 0, DWORD(type),
                   reinterpret_cast<const BYTE *>(data.data()), DWORD(bytes.size()));
}

std::optional<uint32_t> ScratchKey::dword(const char *name) const
{
    uint32_t data[4] = {};
    DWORD type = 0;
    DWORD size = sizeof data;
    if (RegQueryValueExW(OpenKey(KEY_QUERY_VALUE).key, wide(name).c_str(), nullptr, &type,
                         reinterpret_cast<BYTE *>(data), &size) != ERROR_SUCCESS
        || type != REG_DWORD || size != 4)
        return std::nullopt;
    return data[0];
}

std::vector<std::string> ScratchKey::names() const
{
    const OpenKey open(KEY_QUERY_VALUE);
    std::vector<std::string> result;
    wchar_t name[16384];
    for (DWORD length = 16384; RegEnumValueW(open.key, DWORD(result.size()), name, &length, nullptr,
                                             nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         length = 16384)
        result.emplace_back(name, name + length); // the store's names are ASCII
    std::sort(result.begin(), result.end());
    return result;
}
