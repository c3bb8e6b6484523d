#include "settings/valueformat.h"

namespace {

bool isSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

} // namespace

bool parseValue(const char *data, std::size_t size, int32_t *value)
{
    if (size > maxValueFileSize)
        return false;
    const char *p = data;
    const char *end = data + size;
    while (p < end && isSpace(*p))
        ++p;
    while (end > p && isSpace(end[-1]))
        --end;

    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    if (p == end)
        return false;

    uint64_t magnitude = 0;
    for (; p < end; ++p) {
        if (*p < '0' || *p > '9')
            return false;
        magnitude = magnitude * 10 + uint64_t(*p - '0');
        if (magnitude > 0xFFFFFFFFu)
            return false;
    }
    if (negative && magnitude > 0x80000000u)
        return false;

    const uint32_t bits = negative ? uint32_t(0u - uint32_t(magnitude)) : uint32_t(magnitude);
    *value = int32_t(bits);
    return true;
}

void formatValue(int32_t value, char (&record)[valueRecordSize])
{
    // Digits from the right; the widest value, -2147483648, takes all 11.
    int64_t v = value;
    const bool negative = v < 0;
    uint64_t magnitude = uint64_t(negative ? -v : v);
    std::size_t i = valueRecordSize - 1;
    record[i] = '\n';
    do {
        record[--i] = char('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (negative)
        record[--i] = '-';
    while (i > 0)
        record[--i] = ' ';
}
