// The registry's own promises: only a REG_DWORD of exactly 4 bytes is a
// DWORD, whatever RegQueryValueExW is willing to copy, and a set the
// registry refuses is reported.
#include "settings.h"
#include "testkey.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include <windows.h>

namespace {

// A value laid out byte by byte, as another program could leave it.
void putRaw(const char *name, DWORD type, std::vector<BYTE> bytes)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\screen-capture-rvk", 0,
                            KEY_SET_VALUE | KEY_QUERY_VALUE, &key),
              ERROR_SUCCESS);
    const std::wstring wideName(name, name + std::char_traits<char>::length(name));
    const DWORD length = DWORD(bytes.size());
    // A text whose terminator is left out gets one counted when a null
    // character follows: make sure none does.
    bytes.insert(bytes.end(), { '-', 0 });
    EXPECT_EQ(RegSetValueExW(key, wideName.c_str(), 0, type, bytes.data(), length), ERROR_SUCCESS);
    DWORD storedType = 0;
    DWORD storedLength = 0;
    EXPECT_EQ(RegQueryValueExW(key, wideName.c_str(), nullptr, &storedType, nullptr, &storedLength),
              ERROR_SUCCESS);
    EXPECT_EQ(storedType, type);
    EXPECT_EQ(storedLength, length);
    RegCloseKey(key);
}

class RegistryStore : public ::testing::Test
{
protected:
    void SetUp() override { key.create(); }

    TestKey key;
};

// One more than the longest value name the registry accepts.
const std::string tooLongName(16384, 'n');

} // namespace

TEST_F(RegistryStore, OnlyAFourByteDwordIsADword)
{
    struct Case
    {
        const char *edge;
        DWORD type;
        std::vector<BYTE> bytes;
    };
    // Each of them but the last two fits the 4-byte buffer, so the query
    // succeeds and copies what there is.
    const Case cases[] = {
        { "REG_SZ of 4 bytes", REG_SZ, { 'a', 0, 'b', 0 } },
        { "REG_BINARY of 4 bytes", REG_BINARY, { 5, 0, 0, 0 } },
        { "REG_DWORD_BIG_ENDIAN", REG_DWORD_BIG_ENDIAN, { 0, 0, 0, 5 } },
        { "REG_DWORD of 2 bytes", REG_DWORD, { 5, 0 } },
        { "REG_DWORD of 0 bytes", REG_DWORD, {} },
        { "REG_DWORD of 8 bytes", REG_DWORD, { 5, 0, 0, 0, 0, 0, 0, 0 } },
        { "REG_QWORD", REG_QWORD, { 5, 0, 0, 0, 0, 0, 0, 0 } },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.edge);
        putRaw("capture_border", c.type, c.bytes);
        int32_t value = 12345;
        EXPECT_EQ(readSetting("capture_border", &value, 77), -1);
        EXPECT_EQ(value, 77) << "the stored bytes must not reach the caller";

        ASSERT_EQ(writeSetting("capture_border", 0x01020304), 0);
        EXPECT_EQ(key.dword("capture_border"), 0x01020304u) << "a set makes it a REG_DWORD";
        EXPECT_EQ(key.names(), std::vector<std::string> { "capture_border" });
    }
}

TEST_F(RegistryStore, ASetTheRegistryRefusesIsReported)
{
    EXPECT_EQ(writeSetting(tooLongName.c_str(), 1), -1);

    // Both sets are tried, whichever of them fails.
    struct Case
    {
        const char *edge;
        const char *first;
        const char *second;
        const char *stored;
    };
    const Case cases[] = {
        { "first refused", tooLongName.c_str(), "start_y", "start_y" },
        { "second refused", "start_x", tooLongName.c_str(), "start_x" },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.edge);
        EXPECT_EQ(writeSettingPair(c.first, 8, c.second, 8), -1);
        EXPECT_EQ(key.dword(c.stored), 8u);
    }
    std::vector<std::string> names = key.names();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string> { "start_x", "start_y" }));
}
