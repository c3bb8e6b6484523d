// Arbitrary bytes as a value, parsed from memory and read back through the
// store from a value file: both must agree with a plain reference reading,
// and whatever parses must survive a write.
#include "settings.h"
#include "valueformat.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include <sys/stat.h>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

// Optional white space around an optional sign and 1+ digits, in 64 bits.
std::optional<int64_t> reference(const std::string &bytes)
{
    const std::size_t first = bytes.find_first_not_of(" \t\n\v\f\r");
    const std::size_t last = bytes.find_last_not_of(" \t\n\v\f\r");
    if (bytes.size() > maxValueFileSize || first == std::string::npos)
        return std::nullopt;
    std::string text = bytes.substr(first, last - first + 1);
    const bool negative = text[0] == '-';
    if (text[0] == '-' || text[0] == '+')
        text.erase(0, 1);
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    text.erase(0, std::min(text.find_first_not_of('0'), text.size() - 1));
    const int64_t magnitude = text.size() > 10 ? INT64_MAX : std::stoll(text);
    if (magnitude > (negative ? 0x80000000LL : 0xFFFFFFFFLL))
        return std::nullopt;
    return negative ? -magnitude : magnitude;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    static const std::string key = [] {
        static char root[] = "/tmp/zorvi-fuzz-XXXXXX";
        check(mkdtemp(root) != nullptr);
        setenv("XDG_CONFIG_HOME", root, 1);
        check(mkdir((std::string(root) + "/screen-capture-rvk").c_str(), 0700) == 0);
        std::atexit([] { std::filesystem::remove_all(root); });
        return std::string(root) + "/screen-capture-rvk";
    }();
    const std::string bytes(reinterpret_cast<const char *>(data), size);
    const std::optional<int64_t> expected = reference(bytes);
    const int32_t bits = expected ? int32_t(uint32_t(uint64_t(*expected))) : 42;

    int32_t parsed = 42;
    check(parseValue(bytes.data(), size, &parsed) == expected.has_value() && parsed == bits);
    std::ofstream(key + "/start_x", std::ios::binary | std::ios::trunc) << bytes;
    int32_t read = 42;
    check(readSetting("start_x", &read, 42) == (expected ? 0 : -1) && read == bits);
    if (expected) {
        check(writeSetting("start_x", bits) == 0);
        check(readSetting("start_x", &read, 42) == 0 && read == bits);
    }
    return 0;
}
