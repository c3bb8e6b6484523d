#include "cli/commands.h"
#include "cli/values.h"
#include "cli/watch.h"
#include "settings/frame.h"
#include "settings/key.h"
#include "settings/region.h"
#include "settings/settings.h"

#include <cstdio>

namespace {

const char program[] = "zorvi-settings";

int failure(const std::string &message)
{
    std::fprintf(stderr, "%s: %s\n", program, message.c_str());
    return 1;
}

void printLine(const std::string &line)
{
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
}

// The installer may run again on every upgrade: what the user set wins.
int writeUnlessThere(const char *name, int32_t value)
{
    const Value existing = readValue(name);
    if (existing.state != ValueState::Absent) {
        const std::string found = existing.state == ValueState::Present
            ? std::to_string(existing.number)
            : "there, not a DWORD";
        std::fprintf(stderr, "%s: %s is already %s; left as it is\n", program, name, found.c_str());
        return 0;
    }
    if (writeSetting(name, value) != 0)
        return failure(std::string("cannot write ") + name);
    return 0;
}

// The region as the options ask for it; false with *error when there is none.
bool regionLine(const RegionOptions &options, std::string *line, std::string *error)
{
    Region region;
    if (!readRegion(&region)) {
        *error = "no complete region:";
        for (std::size_t i = 0; i < 4; ++i) {
            const Value value = readValue(valueNames[i]);
            if (value.state != ValueState::Present)
                *error += std::string(" ") + valueNames[i] + " " + valueText(value);
        }
        return false;
    }
    if (options.inner) {
        int32_t border = 0;
        readSetting("capture_border", &border, 0);
        const int32_t thickness = frameThicknessFor(border);
        if (!innerRegion(region, thickness, &region)) {
            *error = "the region " + std::to_string(region.width) + " x "
                + std::to_string(region.height) + " has no inside within its "
                + std::to_string(thickness) + "-pixel frame";
            return false;
        }
    }
    if (options.json)
        *line = regionJson(region);
    else if (!options.format)
        *line = regionText(region);
    else
        return formatRegion(*options.format, region, line, error);
    return true;
}

} // namespace

int missingKey()
{
    const std::string where = keyLocation();
    return failure("no settings key" + (where.empty() ? std::string() : " at " + where)
                   + "; run zorvi-settings init");
}

int runInit(std::optional<int32_t> border)
{
    std::string error;
    int status = 0;
    switch (createKey(&error)) {
    case KeyCreation::Failed:
        return failure("cannot create the settings key: " + error);
    case KeyCreation::Created:
        printLine("created " + keyLocation());
        // The picker's own default hides the frame: a first start would show
        // a bare blue box.
        status = writeUnlessThere("show_capture", 1);
        break;
    case KeyCreation::Existed:
        printLine("exists " + keyLocation());
        break;
    }
    if (border && writeUnlessThere("capture_border", *border) != 0)
        status = 1;
    return status;
}

int runList()
{
    if (!keyExists())
        return missingKey();
    const Values values = readAllValues();
    for (std::size_t i = 0; i < valueCount; ++i)
        std::printf("%-15s %s\n", valueNames[i], valueText(values[i]).c_str());
    return 0;
}

int runGet(const std::string &name)
{
    if (!keyExists())
        return missingKey();
    const Value value = readValue(name.c_str());
    if (value.state != ValueState::Present)
        return failure(name + " is " + valueText(value));
    printLine(std::to_string(value.number));
    return 0;
}

int runSet(const std::string &name, int32_t value)
{
    if (writeSetting(name.c_str(), value) == 0)
        return 0;
    return keyExists() ? failure("cannot write " + name) : missingKey();
}

int runRegion(const RegionOptions &options)
{
    if (!keyExists())
        return missingKey();
    std::string line;
    std::string error;
    if (!regionLine(options, &line, &error))
        return failure(error);
    if (!options.follow) {
        printLine(line);
        return 0;
    }
    // A region that goes missing while followed is told once on stderr; the
    // next whole one prints again.
    std::optional<std::string> shown;
    return watchKey([&] {
        const bool read = regionLine(options, &line, &error);
        const std::string &news = read ? line : error;
        if (shown == news)
            return;
        shown = news;
        if (read) {
            printLine(line);
            // The reader is usually a script re-aiming a capture: at once.
            std::fflush(stdout);
        } else {
            std::fprintf(stderr, "%s: %s\n", program, error.c_str());
        }
    });
}

int runWatch(bool json)
{
    if (!keyExists())
        return missingKey();
    std::optional<Values> shown;
    return watchKey([&] {
        const Values now = readAllValues();
        for (std::size_t i = 0; i < valueCount; ++i) {
            if (shown && (*shown)[i] == now[i])
                continue;
            printLine(json ? valueJson(valueNames[i], now[i])
                           : std::string(valueNames[i]) + ' ' + valueText(now[i]));
        }
        // The reader is usually a pipe: each change must reach it at once.
        std::fflush(stdout);
        shown = now;
    });
}
