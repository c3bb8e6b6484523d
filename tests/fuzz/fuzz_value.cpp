// Arbitrary bytes as a value, parsed from memory and read back through the
// store from a value file: both must agree with the C library's reading, and
// whatever parses must survive a write.
#include "settings.h"
#include "valueformat.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

// White space, an optional sign and digits, white space: as strtoll reads it.
bool reference(const std::string &bytes, int32_t *bits)
{
    char *end = nullptr;
    errno = 0;
    const long long value = std::strtoll(bytes.c_str(), &end, 10);
    const std::size_t stop = std::size_t(end - bytes.c_str());
    if (bytes.size() > maxValueFileSize || stop == 0 || !std::isdigit(static_cast<unsigned char>(bytes[stop - 1])) || errno
        || bytes.find_first_not_of(" \t\n\v\f\r", stop) != std::string::npos
        || value < INT32_MIN || value > UINT32_MAX)
        return false;
    *bits = int32_t(uint32_t(value));
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    static const std::string valueFile = [] {
        static char root[] = "/tmp/zorvi-fuzz-XXXXXX";
        check(mkdtemp(root)
              && std::filesystem::create_directory(std::string(root) + "/screen-capture-rvk"));
        setenv("XDG_CONFIG_HOME", root, 1);
        std::atexit([] { std::filesystem::remove_all(root); });
        return std::string(root) + "/screen-capture-rvk/start_x";
    }();
    const std::string bytes(reinterpret_cast<const char *>(data), size);
    int32_t expected = 42, parsed = 42, read = 42;
    const bool ok = reference(bytes, &expected);
    check(parseValue(bytes.data(), size, &parsed) == ok && parsed == expected);
    std::ofstream(valueFile, std::ios::binary) << bytes;
    check(readSetting("start_x", &read, 42) == (ok ? 0 : -1) && read == expected);
    check(!ok || (writeSetting("start_x", expected) == 0 && readSetting("start_x", &read, 42) == 0
                  && read == expected));
    return 0;
}
