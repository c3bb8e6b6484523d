// zorvi-settings: the outside side of the picker's settings store. It creates
// the key (the picker never does), shows and sets the values, and follows the
// capture region for other programs. It writes only through the store's
// functions, so nothing it does can leave a value unreadable.
#include "commands.h"

#include <cstdio>

namespace {

void printUsage(std::FILE *stream)
{
    std::fputs("usage: zorvi-settings COMMAND [ARGUMENTS]\n\ncommands:\n", stream);
    for (const Command &command : commands())
        std::fprintf(stream, "  zorvi-settings %s\n", command.synopsis);
    std::fputs("\nzorvi-settings help COMMAND, or COMMAND --help, tells more.\n", stream);
}

int printHelp(const std::string &name)
{
    const Command *command = findCommand(name);
    if (!command) {
        std::fprintf(stderr, "zorvi-settings: unknown command '%s'\n", name.c_str());
        printUsage(stderr);
        return 2;
    }
    std::printf("usage: zorvi-settings %s\n\n%s", command->synopsis, command->help);
    return 0;
}

bool isHelpFlag(const std::string &argument)
{
    return argument == "--help" || argument == "-h";
}

} // namespace

int main(int argc, char *argv[])
{
    const Arguments arguments(argv + 1, argv + argc);
    if (arguments.empty()) {
        printUsage(stderr);
        return 2;
    }
    const std::string &name = arguments[0];
    if (name == "help" || isHelpFlag(name)) {
        if (arguments.size() == 1) {
            printUsage(stdout);
            return 0;
        }
        return printHelp(arguments[1]);
    }
    const Command *command = findCommand(name);
    if (!command) {
        std::fprintf(stderr, "zorvi-settings: unknown command '%s'\n", name.c_str());
        printUsage(stderr);
        return 2;
    }
    const Arguments rest(arguments.begin() + 1, arguments.end());
    for (const std::string &argument : rest) {
        if (isHelpFlag(argument))
            return printHelp(name);
    }
    return command->run(rest);
}
