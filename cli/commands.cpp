#include "commands.h"
#include "key.h"
#include "region.h"
#include "settings.h"
#include "values.h"
#include "watch.h"

#include <cstdio>
#include <optional>

namespace {

const char program[] = "zorvi-settings";

int misuse(const std::string &message)
{
    std::fprintf(stderr, "%s: %s\n", program, message.c_str());
    return 2;
}

int failure(const std::string &message)
{
    std::fprintf(stderr, "%s: %s\n", program, message.c_str());
    return 1;
}

int missingKey()
{
    const std::string where = keyLocation();
    return failure("no settings key" + (where.empty() ? std::string() : " at " + where)
                   + "; run zorvi-settings init");
}

void printLine(const std::string &line)
{
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
}

int unknownName(const std::string &name)
{
    return misuse("unknown value name '" + name + "' (one of " + valueNameList() + ")");
}

// The one flag a command may take, if any: whether it was given, or nothing
// (after a message) for any other argument.
std::optional<bool> takeFlag(const Arguments &arguments, const char *flag)
{
    bool given = false;
    for (const std::string &argument : arguments) {
        if (!flag || argument != flag) {
            misuse("unexpected argument '" + argument + "'");
            return std::nullopt;
        }
        given = true;
    }
    return given;
}

bool parseBorder(const std::string &text, int32_t *border)
{
    return parseInt32(text, border) && *border >= 1 && *border <= 10;
}

int writeBorder(int32_t border)
{
    const Value existing = readValue("capture_border");
    if (existing.state != ValueState::Absent) {
        // The installer may run again on every upgrade: what the user set wins.
        const std::string found = existing.state == ValueState::Present
            ? std::to_string(existing.number)
            : "there, not a DWORD";
        std::fprintf(stderr, "%s: capture_border is already %s; left as it is\n", program,
                     found.c_str());
        return 0;
    }
    if (writeSetting("capture_border", border) != 0)
        return failure("cannot write capture_border");
    return 0;
}

int runInit(const Arguments &arguments)
{
    std::optional<int32_t> border;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string &argument = arguments[i];
        std::string text;
        if (argument == "--border") {
            if (i + 1 == arguments.size())
                return misuse("--border needs a frame thickness of 1 to 10 pixels");
            text = arguments[++i];
        } else if (argument.rfind("--border=", 0) == 0) {
            text = argument.substr(9);
        } else {
            return misuse("unexpected argument '" + argument + "' (usage: init [--border N])");
        }
        int32_t value = 0;
        if (!parseBorder(text, &value))
            return misuse("--border takes a frame thickness of 1 to 10 pixels, not '" + text + "'");
        border = value;
    }

    std::string error;
    switch (createKey(&error)) {
    case KeyCreation::Failed:
        return failure("cannot create the settings key: " + error);
    case KeyCreation::Created:
        printLine("created " + keyLocation());
        break;
    case KeyCreation::Existed:
        printLine("exists " + keyLocation());
        break;
    }
    return border ? writeBorder(*border) : 0;
}

int runList(const Arguments &arguments)
{
    if (!takeFlag(arguments, nullptr))
        return 2;
    if (!keyExists())
        return missingKey();
    const Values values = readAllValues();
    for (std::size_t i = 0; i < valueCount; ++i)
        std::printf("%-15s %s\n", valueNames[i], valueText(values[i]).c_str());
    return 0;
}

int runGet(const Arguments &arguments)
{
    if (arguments.size() != 1)
        return misuse("usage: get NAME");
    const std::string &name = arguments[0];
    if (!isValueName(name))
        return unknownName(name);
    if (!keyExists())
        return missingKey();
    const Value value = readValue(name.c_str());
    if (value.state != ValueState::Present)
        return failure(name + " is " + valueText(value));
    printLine(std::to_string(value.number));
    return 0;
}

int runSet(const Arguments &arguments)
{
    if (arguments.size() != 2)
        return misuse("usage: set NAME VALUE");
    const std::string &name = arguments[0];
    if (!isValueName(name))
        return unknownName(name);
    int32_t value = 0;
    if (!parseInt32(arguments[1], &value))
        return misuse("'" + arguments[1]
                      + "' is not a decimal 32-bit integer (-2147483648 to 2147483647)");
    if (writeSetting(name.c_str(), value) == 0)
        return 0;
    return keyExists() ? failure("cannot write " + name) : missingKey();
}

int runRegion(const Arguments &arguments)
{
    const std::optional<bool> json = takeFlag(arguments, "--json");
    if (!json)
        return 2;
    if (!keyExists())
        return missingKey();
    Region region;
    if (!readRegion(&region)) {
        std::string missing;
        for (std::size_t i = 0; i < 4; ++i) {
            const Value value = readValue(valueNames[i]);
            if (value.state != ValueState::Present)
                missing += std::string(" ") + valueNames[i] + " " + valueText(value);
        }
        return failure("no complete region:" + missing);
    }
    printLine(*json ? regionJson(region) : regionText(region));
    return 0;
}

int runWatch(const Arguments &arguments)
{
    const std::optional<bool> json = takeFlag(arguments, "--json");
    if (!json)
        return 2;
    if (!keyExists())
        return missingKey();
    std::optional<Values> shown;
    return watchKey([&] {
        const Values now = readAllValues();
        for (std::size_t i = 0; i < valueCount; ++i) {
            if (shown && (*shown)[i] == now[i])
                continue;
            printLine(*json ? valueJson(valueNames[i], now[i])
                            : std::string(valueNames[i]) + ' ' + valueText(now[i]));
        }
        // The reader is usually a pipe: each change must reach it at once.
        std::fflush(stdout);
        shown = now;
    });
}

const char initHelp[]
    = "Creates the settings key for the current user if it is absent, private to the\n"
      "user (on Linux the folder ${XDG_CONFIG_HOME:-$HOME/.config}/screen-capture-rvk,\n"
      "mode 0700, with any missing parent; on Windows HKEY_CURRENT_USER\\SOFTWARE\\\n"
      "screen-capture-rvk). Prints \"created KEY\" or \"exists KEY\".\n"
      "\n"
      "  --border N  also set capture_border, the frame thickness in pixels (1 to 10),\n"
      "              unless capture_border is already there: an existing value is\n"
      "              never overwritten (a note on stderr says so, exit status 0).\n"
      "\n"
      "Safe to run again and again.\n";

const char listHelp[]
    = "Prints the eight values, one per line, the name padded to 16 columns:\n"
      "\n"
      "  start_x         100\n"
      "\n"
      "A value that is not there shows as (absent); one that is there but not a\n"
      "32-bit number shows as (not a DWORD). Exit status 1 when there is no key.\n";

const char getHelp[]
    = "Prints one value as a signed decimal number. Exit status 1 when the value is\n"
      "absent or not a DWORD, 2 when NAME is not one of the eight names.\n";

const char setHelp[]
    = "Writes one value through the settings store. VALUE is a decimal 32-bit integer\n"
      "(-2147483648 to 2147483647, an optional minus sign and digits, nothing else).\n"
      "Exit status 2 for an unknown NAME or a bad VALUE, 1 when the write fails\n"
      "(there is no key: run zorvi-settings init).\n";

const char regionHelp[]
    = "Prints the capture region as \"X Y W H\": start_x start_y capture_width\n"
      "capture_height. With --json: {\"x\":X,\"y\":Y,\"width\":W,\"height\":H}.\n"
      "\n"
      "Each pair is read whole, never the first value of one write with the second of\n"
      "another: on Linux under the key folder's shared lock, which the picker's pair\n"
      "writes hold exclusively; on Windows by reading until two consecutive reads\n"
      "agree. The position is read first, then the size.\n"
      "Exit status 1 when any of the four is absent or not a DWORD.\n";

const char watchHelp[]
    = "Prints \"NAME VALUE\" for each of the eight values, then a line each time a\n"
      "value changes, until interrupted (SIGINT or SIGTERM, exit status 0). With\n"
      "--json each line is {\"name\":\"start_x\",\"value\":100}; a value that is gone\n"
      "has \"value\":null and \"state\":\"absent\" or \"not-dword\". Lines are flushed at\n"
      "once. Pairs show whole and in order. Linux watches the key folder with inotify;\n"
      "Windows polls every 50 ms. Exit status 1 when there is no key or it goes away.\n";

} // namespace

const std::vector<Command> &commands()
{
    static const std::vector<Command> table = {
        { "init", "init [--border N]", initHelp, runInit },
        { "list", "list", listHelp, runList },
        { "get", "get NAME", getHelp, runGet },
        { "set", "set NAME VALUE", setHelp, runSet },
        { "region", "region [--json]", regionHelp, runRegion },
        { "watch", "watch [--json]", watchHelp, runWatch },
    };
    return table;
}

const Command *findCommand(const std::string &name)
{
    for (const Command &command : commands()) {
        if (name == command.name)
            return &command;
    }
    return nullptr;
}
