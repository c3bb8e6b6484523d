// zorvi-settings: the outside side of the picker's settings store. It creates
// the key (the picker never does), shows and sets the values, and follows the
// capture region for other programs. It writes only through the store's
// functions, so nothing it does can leave a value unreadable.
//
// CLI11 parses; every check on an argument happens here, before anything
// looks at the key, so that misuse is always exit status 2.
#include "cli/commands.h"
#include "cli/values.h"
#include "record/record.h"
#include "settings/key.h"
#include "settings/region.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <functional>

namespace {

const char program[] = "zorvi-settings";

// CLI11's own integer conversion also takes hex, octal, '+' and spaces; a
// stored value is plain decimal, so VALUE and N stay strings until
// parseInt32 has accepted them.
CLI::Validator decimalInt32()
{
    return CLI::Validator(
        [](std::string &text) -> std::string {
            int32_t value = 0;
            if (parseInt32(text, &value))
                return {};
            return "'" + text + "' is not a decimal 32-bit integer (-2147483648 to 2147483647)";
        },
        "INT32");
}

// A number from low to high, WHAT naming it in the message.
CLI::Validator decimalRange(int32_t low, int32_t high, const std::string &what)
{
    return CLI::Validator(
        [=](std::string &text) -> std::string {
            int32_t value = 0;
            if (parseInt32(text, &value) && value >= low && value <= high)
                return {};
            return "takes " + what + ", not '" + text + "'";
        },
        "");
}

CLI::Validator regionFormat()
{
    return CLI::Validator(
        [](std::string &format) -> std::string {
            std::string text;
            std::string error;
            return formatRegion(format, Region(), &text, &error) ? std::string() : error;
        },
        "");
}

int32_t toInt32(const std::string &checked)
{
    int32_t value = 0;
    parseInt32(checked, &value);
    return value;
}

const char initHelp[]
    = "Creates the settings key for the current user if it is absent, private to the\n"
      "user (on Linux the folder ${XDG_CONFIG_HOME:-$HOME/.config}/screen-capture-rvk,\n"
      "mode 0700, with any missing parent; on Windows HKEY_CURRENT_USER\\SOFTWARE\\\n"
      "screen-capture-rvk). Prints \"created KEY\" or \"exists KEY\". A key it creates\n"
      "gets show_capture = 1, so that the picker's first start shows its frame.\n"
      "\n"
      "--border N also sets capture_border, unless capture_border is already there:\n"
      "an existing value is never overwritten (a note on stderr says so, exit\n"
      "status 0).\n"
      "\n"
      "Safe to run again and again.";

const char listHelp[] = "Prints the eight values, one per line, the name padded to 16 columns:\n"
                        "\n"
                        "  start_x         100\n"
                        "\n"
                        "A value that is not there shows as (absent); one that is there but not a\n"
                        "32-bit number shows as (not a DWORD). Exit status 1 when there is no key.";

const char getHelp[]
    = "Prints one value as a signed decimal number. Exit status 1 when the value is\n"
      "absent or not a DWORD, 2 when NAME is not one of the eight names.";

const char setHelp[]
    = "Writes one value through the settings store. VALUE is a decimal 32-bit integer\n"
      "(-2147483648 to 2147483647, an optional minus sign and digits, nothing else).\n"
      "Exit status 2 for an unknown NAME or a bad VALUE, 1 when the write fails\n"
      "(there is no key: run zorvi-settings init).";

const char regionHelp[]
    = "Prints the capture region as \"X Y W H\": start_x start_y capture_width\n"
      "capture_height. The region includes the picker's frame; --inner gives what lies\n"
      "inside it, X+B Y+B W-2B H-2B with B the drawn thickness (capture_border when\n"
      "1 to 10, else 2). --format FORMAT prints FORMAT with %x %y %w %h replaced, %g\n"
      "by the geometry WxH+X+Y, %% by a %; any other % is misuse. For example\n"
      "\n"
      "  maim -g \"$(zorvi-settings region --inner --format %g)\" shot.png\n"
      "\n"
      "--follow prints the region once, then again each time it changes, flushed at\n"
      "once, until SIGINT or SIGTERM (exit status 0).\n"
      "\n"
      "Each pair is read whole, never the first value of one write with the second of\n"
      "another: on Linux under the key folder's shared lock, which the picker's pair\n"
      "writes hold exclusively; on Windows by reading until two consecutive reads\n"
      "agree. The position is read first, then the size.\n"
      "Exit status 1 when any of the four is absent or not a DWORD, or --inner leaves\n"
      "nothing inside the frame.";

const char watchHelp[]
    = "Prints \"NAME VALUE\" for each of the eight values, then a line each time a\n"
      "value changes, until interrupted (SIGINT or SIGTERM, exit status 0). With\n"
      "--json each line is {\"name\":\"start_x\",\"value\":100}; a value that is gone\n"
      "has \"value\":null and \"state\":\"absent\" or \"not-dword\". Lines are flushed at\n"
      "once. Pairs show whole and in order. Linux watches the key folder with inotify,\n"
      "Windows the registry's change notification: nothing is polled. Exit status 1\n"
      "when there is no key or it goes away.";

const char recordHelp[]
    = "Records the region inside the frame while the capture flag (open_cam) is 1,\n"
      "until SIGINT or SIGTERM (exit status 0): each time the picker's capture button\n"
      "is switched on, one take, one file. It follows the frame: moving it moves the\n"
      "recording, in the same file. A new size ends the take and starts another once\n"
      "the size has been still for half a second. The width and height are rounded\n"
      "down to even numbers (the encoder needs them even); what lies off the screen is\n"
      "black. A region with no inside waits.\n"
      "\n"
      "Frames are grabbed at N a second (--fps, 30 unless given): from the X server\n"
      "(MIT-SHM when it offers it), or in a Wayland session from the desktop's\n"
      "screen-cast portal, which asks the user once (the permission is kept in\n"
      "$XDG_STATE_HOME/zorvi/screencast-token). There a take records the monitor\n"
      "that holds most of the frame, black where the frame leaves it, until the\n"
      "frame lies wholly on another of the same scale; its file has the monitor's\n"
      "own pixels (more than the frame's inside on a scaled monitor). The pointer\n"
      "is drawn in where it stands (--no-pointer leaves it out); a tick that comes\n"
      "too late makes the picture before last longer, so that a take lasts as long\n"
      "as capture was on. The sound comes from the sound server (PulseAudio, or\n"
      "PipeWire's): --audio desktop (what the desktop plays, the default output's\n"
      "monitor; unless given), mic (the default input), both, or none; without a\n"
      "server the takes are video only, said once. All is encoded in-process,\n"
      "H.264 and Opus in Matroska, which keeps what was written if anything is\n"
      "killed. Files go to\n"
      "DIR, else to the videos folder (XDG_VIDEOS_DIR in user-dirs.dirs, else\n"
      "~/Videos, created when missing), named zorvi-YYYY-MM-DD_HH-MM-SS.mkv; an\n"
      "existing file is never overwritten. A line when a take starts (file, size,\n"
      "place) and one when it is saved (file, seconds, frames, ticks dropped); with\n"
      "--json each is an object with \"event\" \"recording\", \"saved\" or\n"
      "\"failed\". The desktop's notification service shows each take saved or\n"
      "failed, where the session has one.\n"
      "\n"
      "A take whose file cannot be written (a full disk), or whose sharing the\n"
      "desktop refused or stopped, ends with the reason; the next starts when\n"
      "capture is switched on again. While capture is off it sleeps until the key\n"
      "changes. The picker starts one beside itself, with --wait 10: one runs per\n"
      "user session, and --wait lets the one before finish its take first. A take\n"
      "that cannot start (the desktop refused, the folder cannot be written, a\n"
      "frame larger than the screen) is a \"failed\" event with a null file. Exit\n"
      "status 1 when there is no key, another record runs (after the wait), no X\n"
      "display, or in a Wayland session no portal (--on-wayland grabs from XWayland\n"
      "instead, which sees only the X11 windows), each also a notification.\n"
      "\n"
      "On Windows the frames come from the screen through GDI, the takes go to the\n"
      "Videos folder, the key's change notification wakes it, a balloon in the\n"
      "notification area tells each take, and the sound comes through WASAPI\n"
      "(desktop: the default output's loopback; mic: the default capture device). A\n"
      "build without FFmpeg's libraries exits 2.";

} // namespace

int main(int argc, char *argv[])
{
    CLI::App app("Creates, shows, sets and follows the settings of the zorvi region picker.",
                 program);
    app.get_formatter()->label("Usage", "usage");
    app.set_version_flag("--version", std::string(program) + " " + ZORVI_VERSION + "\n" ZORVI_LICENCE,
                         "print the version and exit");
    // At most one command; none is handled below, so that a word that is no
    // command is named as unexpected rather than reported as a missing one.
    app.require_subcommand(0, 1);
    std::function<int()> run;

    std::string border;
    CLI::App *init = app.add_subcommand("init", "create the settings key if it is absent");
    CLI::Option *borderOption
        = init->add_option("--border", border, "also set capture_border (1 to 10) if absent")
              ->type_name("N")
              ->check(decimalRange(1, 10, "a frame thickness of 1 to 10 pixels"));
    init->footer(initHelp)->callback([&] {
        run = [&] {
            return runInit(borderOption->count() ? std::optional(toInt32(border)) : std::nullopt);
        };
    });

    app.add_subcommand("list", "show the eight values")->footer(listHelp)->callback([&] {
        run = runList;
    });

    const std::vector<std::string> names(valueNames.begin(), valueNames.end());
    std::string name;
    CLI::App *get = app.add_subcommand("get", "show one value")->footer(getHelp);
    get->add_option("NAME", name)->required()->check(CLI::IsMember(names));
    get->callback([&] { run = [&] { return runGet(name); }; });

    std::string value;
    CLI::App *set = app.add_subcommand("set", "write one value")->footer(setHelp);
    set->add_option("NAME", name)->required()->check(CLI::IsMember(names));
    set->add_option("VALUE", value)->required()->check(decimalInt32());
    set->callback([&] { run = [&] { return runSet(name, toInt32(value)); }; });

    RegionOptions regionOptions;
    CLI::App *region = app.add_subcommand("region", "show the capture region")->footer(regionHelp);
    CLI::Option *json = region->add_flag("--json", regionOptions.json, "print it as JSON");
    std::string format;
    CLI::Option *formatOption
        = region->add_option("--format", format, "print FORMAT with %x %y %w %h %g %% replaced")
              ->type_name("FORMAT")
              ->check(regionFormat())
              ->excludes(json);
    region->add_flag("--inner", regionOptions.inner, "the rectangle inside the frame");
    region->add_flag("--follow", regionOptions.follow, "print it again on every change");
    region->callback([&] {
        if (formatOption->count())
            regionOptions.format = format;
        run = [&] { return runRegion(regionOptions); };
    });

    bool watchJson = false;
    CLI::App *watch = app.add_subcommand("watch", "follow every value")->footer(watchHelp);
    watch->add_flag("--json", watchJson, "one JSON object per line");
    watch->callback([&] { run = [&] { return runWatch(watchJson); }; });

    RecordOptions recordOptions;
    std::string fps;
    std::string folder;
    std::string wait;
    CLI::App *record
        = app.add_subcommand("record", "record the region while capture is on")->footer(recordHelp);
    CLI::Option *fpsOption = record->add_option("--fps", fps, "frames a second (1 to 120)")
                                 ->type_name("N")
                                 ->check(decimalRange(1, 120, "1 to 120 frames a second"));
    CLI::Option *dirOption
        = record->add_option("--dir", folder, "the folder for the files")->type_name("DIR");
    record->add_flag("--json", recordOptions.json, "one JSON object per line");
    record->add_flag("--on-wayland", recordOptions.onWayland,
                     "grab from XWayland in a Wayland session (X11 windows only)");
    record
        ->add_option("--audio", recordOptions.sound,
                     "the sound: desktop (unless given), mic, both, none")
        ->type_name("SOURCE")
        ->check(CLI::IsMember({ "desktop", "mic", "both", "none" }));
    bool noPointer = false;
    record->add_flag("--no-pointer", noPointer, "leave the pointer out of the takes");
    CLI::Option *waitOption
        = record->add_option("--wait", wait, "wait up to S seconds for another record to end")
              ->type_name("S")
              ->check(decimalRange(0, 60, "0 to 60 seconds"));
    record->callback([&] {
        if (fpsOption->count())
            recordOptions.fps = toInt32(fps);
        if (waitOption->count())
            recordOptions.waitSeconds = toInt32(wait);
        if (dirOption->count())
            recordOptions.folder = folder;
        recordOptions.pointer = !noPointer;
        run = [&] { return keyExists() ? runRecord(recordOptions) : missingKey(); };
    });

    std::vector<std::string> commandNames;
    for (const CLI::App *command : app.get_subcommands({}))
        commandNames.push_back(command->get_name());
    std::string helpName;
    CLI::App *help = app.add_subcommand("help", "tell more about a command");
    help->add_option("COMMAND", helpName)->check(CLI::IsMember(commandNames));
    help->callback([&] {
        run = [&] {
            // Not App::help(): it would describe the help command itself.
            const CLI::App *about = helpName.empty() ? &app : app.get_subcommand(helpName);
            const std::string title = std::string(program) + (about == &app ? "" : " " + helpName);
            std::fputs(
                app.get_formatter()->make_help(about, title, CLI::AppFormatMode::Normal).c_str(),
                stdout);
            return 0;
        };
    });
    app.footer("zorvi-settings help COMMAND, or COMMAND --help, tells more.");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError &error) {
        if (error.get_exit_code() == 0) // --help
            return app.exit(error);
        std::fprintf(stderr, "%s: %s\n", program, error.what());
        const std::vector<CLI::App *> given = app.get_subcommands();
        if (given.empty())
            std::fputs(app.help().c_str(), stderr);
        else
            std::fprintf(stderr, "%s %s --help tells more.\n", program,
                         given.front()->get_name().c_str());
        return 2;
    }
    if (!run) {
        std::fprintf(stderr, "%s: a command is required\n", program);
        std::fputs(app.help().c_str(), stderr);
        return 2;
    }
    return run();
}
