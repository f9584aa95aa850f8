// orvsfx: the package builder and Linux front-end of Orvandel SFX.
//
// The first argument names a subcommand from the table below; everything after it belongs to
// that subcommand. Failures end here as one line "orvsfx: message" on standard error.
#include "resources/version.h"
#include "tools/base/builderror.h"
#include "tools/cli/commands.h"

#include <cstdio>
#include <cstring>
#include <exception>

namespace {

struct Command {
    const char* name;
    int (*run)(const CommandArgs& args);
    const char* summary;
};

const Command kCommands[] = {
    {"build", buildcommand, "make a package from a folder or a ZIP archive"},
    {"info", infocommand, "show the blocks, options, texts and entries of a package"},
    {"list", listcommand, "list the members of a package or zip file"},
    {"test", testcommand, "decode every member and check its CRC, writing nothing"},
    {"extract", extractcommand, "extract a package or zip file under -d DIR"},
};

enum ExitCode { kExitOk = 0, kExitFailed = 1, kExitUsage = 2 };

int printhelp() {
    std::printf("usage: orvsfx COMMAND [arguments]\n\ncommands:\n");
    for (const Command& command : kCommands)
        std::printf("  %-8s %s\n", command.name, command.summary);
    std::printf("  %-8s %s\n", "help", "show this text");
    std::printf("  %-8s %s\n\n", "--version", "show the version");
    std::printf("\"orvsfx COMMAND --help\" describes a command's arguments.\n");
    return kExitOk;
}

int dispatch(int argc, char** argv) {
    if (argc >= 2 && !std::strcmp(argv[1], "--version")) {
        std::printf("orvsfx %s\n", ORV_VERSION_TEXT);
        return kExitOk;
    }
    if (argc < 2 || !std::strcmp(argv[1], "help") || !std::strcmp(argv[1], "--help") ||
        !std::strcmp(argv[1], "-h"))
        return argc < 2 ? (printhelp(), kExitUsage) : printhelp();
    for (const Command& command : kCommands)
        if (!std::strcmp(argv[1], command.name))
            return command.run(CommandArgs(argv + 2, argv + argc));
    throw UsageError(std::string("unknown command \"") + argv[1] + "\"");
}

} // namespace

int main(int argc, char** argv) {
    try {
        return dispatch(argc, argv);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "orvsfx: %s (see \"orvsfx help\")\n", e.what());
        return kExitUsage;
    } catch (const BuildError& e) {
        std::fprintf(stderr, "orvsfx: %s\n", e.what());
        return kExitFailed;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "orvsfx: %s\n", e.what());
        return kExitFailed;
    }
}
