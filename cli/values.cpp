#include "cli/values.h"
#include "settings/key.h"
#include "settings/settings.h"

const std::array<const char *, valueCount> valueNames = {
    "start_x",      "start_y",  "capture_width",  "capture_height",
    "show_capture", "open_cam", "capture_border", "screen_scale",
};

namespace {

const std::size_t pairStarts[] = { 0, 2 };

void readPair(std::size_t first, Values *values)
{
    int32_t a = 0;
    int32_t b = 0;
    if (readSettingPair(valueNames[first], &a, valueNames[first + 1], &b) == 0) {
        (*values)[first] = { ValueState::Present, a };
        (*values)[first + 1] = { ValueState::Present, b };
    } else {
        // Not both readable: each on its own says which is missing.
        (*values)[first] = readValue(valueNames[first]);
        (*values)[first + 1] = readValue(valueNames[first + 1]);
    }
}

} // namespace

Value readValue(const char *name)
{
    int32_t number = 0;
    if (readSetting(name, &number, 0) == 0)
        return { ValueState::Present, number };
    // The store reports both the same way; only the key itself can tell.
    return { valueExists(name) ? ValueState::NotDword : ValueState::Absent, 0 };
}

Values readAllValues()
{
    Values values;
    for (std::size_t first : pairStarts)
        readPair(first, &values);
    for (std::size_t i = 4; i < valueCount; ++i)
        values[i] = readValue(valueNames[i]);
    return values;
}

bool parseInt32(const std::string &text, int32_t *value)
{
    const bool negative = !text.empty() && text[0] == '-';
    const std::size_t start = negative ? 1 : 0;
    if (text.size() == start)
        return false;
    const int64_t limit = negative ? int64_t(INT32_MAX) + 1 : INT32_MAX;
    int64_t magnitude = 0;
    for (std::size_t i = start; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > limit)
            return false;
    }
    *value = int32_t(negative ? -magnitude : magnitude);
    return true;
}

std::string valueText(const Value &value)
{
    switch (value.state) {
    case ValueState::Present:
        return std::to_string(value.number);
    case ValueState::Absent:
        return "(absent)";
    case ValueState::NotDword:
        break;
    }
    return "(not a DWORD)";
}

std::string valueJson(const char *name, const Value &value)
{
    // Names and numbers need no escaping.
    std::string json = std::string("{\"name\":\"") + name + "\",\"value\":";
    switch (value.state) {
    case ValueState::Present:
        return json + std::to_string(value.number) + "}";
    case ValueState::Absent:
        return json + "null,\"state\":\"absent\"}";
    case ValueState::NotDword:
        break;
    }
    return json + "null,\"state\":\"not-dword\"}";
}
