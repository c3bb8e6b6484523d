// Arbitrary bytes as a value, two ways: parsed from memory, and read back
// through the store from a value file that holds them. Both must agree with a
// plain reference reading, and whatever parses must survive a write.
#include "settings.h"
#include "valueformat.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

// Optional white space, an optional sign and 1+ digits, read in 64 bits.
std::optional<int64_t> reference(const uint8_t *data, std::size_t size)
{
    if (size > maxValueFileSize)
        return std::nullopt;
    std::string text(reinterpret_cast<const char *>(data), size);
    const auto space = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    while (!text.empty() && space(text.back()))
        text.pop_back();
    std::size_t first = 0;
    while (first < text.size() && space(text[first]))
        ++first;
    text.erase(0, first);
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '-' || text[0] == '+'))
        text.erase(0, 1);
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    text.erase(0, std::min(text.find_first_not_of('0'), text.size() - 1));
    if (text.size() > 10)
        return std::nullopt;
    const int64_t magnitude = std::stoll(text);
    const int64_t value = negative ? -magnitude : magnitude;
    if (value < INT32_MIN || value > int64_t(UINT32_MAX))
        return std::nullopt;
    return value;
}

// A key of its own, removed when the fuzzer exits.
std::string makeKey()
{
    static char root[] = "/tmp/zorvi-fuzz-XXXXXX";
    check(mkdtemp(root) != nullptr);
    setenv("XDG_CONFIG_HOME", root, 1);
    check(mkdir((std::string(root) + "/screen-capture-rvk").c_str(), 0700) == 0);
    std::atexit([] {
        const std::string key = std::string(root) + "/screen-capture-rvk";
        unlink((key + "/start_x").c_str());
        rmdir(key.c_str());
        rmdir(root);
    });
    return std::string(root) + "/screen-capture-rvk/start_x";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    static const std::string valueFile = makeKey();

    int32_t parsed = 0;
    const bool ok = parseValue(reinterpret_cast<const char *>(data), size, &parsed);
    const std::optional<int64_t> expected = reference(data, size);
    check(ok == expected.has_value());
    check(!ok || parsed == int32_t(uint32_t(uint64_t(*expected))));

    const int fd = open(valueFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    check(fd >= 0 && write(fd, data, size) == ssize_t(size));
    close(fd);
    int32_t read = 42;
    check(readSetting("start_x", &read, 42) == (ok ? 0 : -1));
    check(read == (ok ? parsed : 42));

    if (ok) {
        check(writeSetting("start_x", parsed) == 0);
        char record[valueRecordSize];
        formatValue(parsed, record);
        int32_t back = 0;
        check(parseValue(record, valueRecordSize, &back) && back == parsed);
        check(readSetting("start_x", &read, 42) == 0 && read == parsed);
    }
    return 0;
}
