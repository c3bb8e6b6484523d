// The text form of one value in the key folder: ASCII decimal, right-aligned
// in 11 characters, and a newline. Every record is 12 bytes, so a set can
// overwrite it in place and a reader never sees a file change length.
#ifndef VALUEFORMAT_H
#define VALUEFORMAT_H

#include <cstddef>
#include <cstdint>

constexpr std::size_t valueRecordSize = 12;
// A value file longer than this is not a DWORD, whatever it holds.
constexpr std::size_t maxValueFileSize = 32;

// Accepts optional ASCII white space around an optional sign and 1+ digits
// in -2147483648 ... 4294967295; values above INT32_MAX are the unsigned
// spelling of the same 32 bits. Returns false, leaving *value alone,
// for anything else.
bool parseValue(const char *data, std::size_t size, int32_t *value);

void formatValue(int32_t value, char (&record)[valueRecordSize]);

#endif // VALUEFORMAT_H
