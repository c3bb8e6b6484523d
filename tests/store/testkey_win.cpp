#include "testkey.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <windows.h>

namespace {

const wchar_t keyName[] = L"SOFTWARE\\screen-capture-rvk";

// Each fixture maps HKEY_CURRENT_USER, for this process alone, onto a
// throwaway key of its own: the store sees a real registry key at its
// usual path, and a run on a real Windows machine never touches the user's
// settings.
std::wstring sandboxName()
{
    static unsigned counter = 0;
    return L"SOFTWARE\\zorvi-tests\\" + std::to_wstring(GetCurrentProcessId()) + L"-"
        + std::to_wstring(++counter);
}

HKEY sandboxKey = nullptr;
std::wstring sandboxPath;

std::wstring wide(const char *name)
{
    return std::wstring(name, name + std::strlen(name));
}

class OpenKey
{
public:
    explicit OpenKey(REGSAM access)
    {
        if (RegOpenKeyExW(HKEY_CURRENT_USER, keyName, 0, access, &key) != ERROR_SUCCESS)
            key = nullptr;
    }
    ~OpenKey()
    {
        if (key)
            RegCloseKey(key);
    }
    OpenKey(const OpenKey &) = delete;
    OpenKey &operator=(const OpenKey &) = delete;

    HKEY key = nullptr;
};

} // namespace

TestKey::TestKey()
{
    sandboxPath = sandboxName();
    if (RegCreateKeyExW(HKEY_CURRENT_USER, sandboxPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &sandboxKey, nullptr)
            != ERROR_SUCCESS
        || RegOverridePredefKey(HKEY_CURRENT_USER, sandboxKey) != ERROR_SUCCESS) {
        // Going on would run the tests against the user's own settings.
        std::fputs("cannot map HKEY_CURRENT_USER onto a throwaway key\n", stderr);
        std::abort();
    }
    EXPECT_FALSE(exists());
}

TestKey::~TestKey()
{
    EXPECT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, nullptr), ERROR_SUCCESS);
    RegCloseKey(sandboxKey);
    sandboxKey = nullptr;
    EXPECT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, sandboxPath.c_str()), ERROR_SUCCESS);
    // The parent goes too once the last sandbox in it is gone.
    RegDeleteKeyW(HKEY_CURRENT_USER, L"SOFTWARE\\zorvi-tests");
}

void TestKey::create()
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, keyName, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

bool TestKey::exists() const
{
    return OpenKey(KEY_READ).key != nullptr;
}

void TestKey::putDword(const char *name, uint32_t value)
{
    const OpenKey open(KEY_SET_VALUE);
    ASSERT_NE(open.key, nullptr);
    const DWORD data = value;
    ASSERT_EQ(RegSetValueExW(open.key, wide(name).c_str(), 0, REG_DWORD,
                             reinterpret_cast<const BYTE *>(&data), sizeof data),
              ERROR_SUCCESS);
}

// A REG_SZ of exactly a DWORD's size, the first two characters in UTF-16
// without a terminator: a reader that checks only the size takes it.
void TestKey::putText(const char *name, const std::string &text)
{
    ASSERT_GE(text.size(), 2u);
    // The registry counts a terminator the caller left out when a null
    // character follows the data: a third one that is not null keeps the
    // value at 4 bytes.
    const wchar_t data[3] = { wchar_t(text[0]), wchar_t(text[1]), L'-' };
    const OpenKey open(KEY_SET_VALUE | KEY_QUERY_VALUE);
    ASSERT_NE(open.key, nullptr);
    ASSERT_EQ(RegSetValueExW(open.key, wide(name).c_str(), 0, REG_SZ,
                             reinterpret_cast<const BYTE *>(data), 4),
              ERROR_SUCCESS);
    DWORD type = 0;
    DWORD size = 0;
    ASSERT_EQ(RegQueryValueExW(open.key, wide(name).c_str(), nullptr, &type, nullptr, &size),
              ERROR_SUCCESS);
    ASSERT_EQ(type, DWORD(REG_SZ));
    ASSERT_EQ(size, 4u);
}

std::optional<uint32_t> TestKey::dword(const char *name) const
{
    const OpenKey open(KEY_QUERY_VALUE);
    if (!open.key)
        return std::nullopt;
    // Room for more than a DWORD, so that a longer value shows its size.
    BYTE data[16] = {};
    DWORD type = 0;
    DWORD size = sizeof data;
    if (RegQueryValueExW(open.key, wide(name).c_str(), nullptr, &type, data, &size) != ERROR_SUCCESS
        || type != REG_DWORD || size != 4)
        return std::nullopt;
    return uint32_t(data[0]) | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16
        | uint32_t(data[3]) << 24;
}

std::vector<std::string> TestKey::names() const
{
    std::vector<std::string> result;
    const OpenKey open(KEY_QUERY_VALUE);
    if (!open.key)
        return result;
    for (DWORD index = 0;; ++index) {
        wchar_t name[16384]; // the longest value name the registry allows, and its end
        DWORD length = sizeof name / sizeof name[0];
        const LONG status
            = RegEnumValueW(open.key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        EXPECT_EQ(status, ERROR_SUCCESS);
        if (status != ERROR_SUCCESS)
            break;
        result.emplace_back(name, name + length); // the store's names are ASCII
    }
    return result;
}
