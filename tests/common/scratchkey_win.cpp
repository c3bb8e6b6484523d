#include "tests/common/scratchkey.h"

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
