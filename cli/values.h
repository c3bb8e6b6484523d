// The eight values as the command line shows them, read through the store.
#ifndef VALUES_H
#define VALUES_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

constexpr std::size_t valueCount = 8;

// Display order; the two pairs come first, each first-then-second.
extern const std::array<const char *, valueCount> valueNames;

enum class ValueState { Present, Absent, NotDword };

struct Value
{
    ValueState state = ValueState::Absent;
    int32_t number = 0;

    bool operator==(const Value &other) const
    {
        return state == other.state && (state != ValueState::Present || number == other.number);
    }
    bool operator!=(const Value &other) const { return !(*this == other); }
};

using Values = std::array<Value, valueCount>;

Value readValue(const char *name);
// Each pair is read whole, so no snapshot shows half of a pair write.
Values readAllValues();

// What a user may pass to set: an optional minus sign and decimal digits
// within int32, nothing else.
bool parseInt32(const std::string &text, int32_t *value);

std::string valueText(const Value &value); // "600", "(absent)", "(not a DWORD)"
std::string valueJson(const char *name, const Value &value);

#endif // VALUES_H
