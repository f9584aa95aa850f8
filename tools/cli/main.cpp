// orvsfx: the package builder and Linux front-end of Orvandel SFX.
//
// The first argument names a subcommand from the table below; everything after it belongs to
// that subcommand. Failures end here as one line "orvsfx: message" on standard error.
#include "tools/base/builderror.h"
#include "tools/cli/buildflags.h"
#include "tools/cli/commands.h"
#include "tools/cli/manual.h"
#include "tools/cli/version.h"

#include <cstdio>
#include <cstring>
#include <exception>

namespace {

int helpcommand(const CommandArgs& args);

CommandDoc helpdoc() {
    return {"show this text, the manual page or the shell completion",
            {"[--manual | --completion]"},
            "",
            {{"--manual", "", "print the manual page orvsfx(1) in roff (man -l FILE reads it)"},
             {"--completion", "", "print the bash completion script"}}};
}

struct Command {
    const char* name;
    int (*run)(const CommandArgs& args);
    CommandDoc (*doc)(); // its help, its page in the manual and its completion
};

const Command kCommands[] = {
    {"build", buildcommand, builddoc},       {"info", infocommand, infodoc},
    {"list", listcommand, listdoc},          {"test", testcommand, testdoc},
    {"extract", extractcommand, extractdoc}, {"help", helpcommand, helpdoc},
};

CommandDoc programdoc() {
    return {"make self-extracting packages for 32-bit Windows, and list, test and extract them",
            {"COMMAND [arguments]"},
            "orvsfx builds packages of Orvandel SFX on Linux. A package is one Windows program: "
            "the stub, a block of the texts its dialogs show, a block of options and a ZIP "
            "archive. Run on Windows, it shows a setup dialog, extracts the archive with its own "
            "zip engine and can run a program afterwards; with /s it extracts unattended.\n\n"
            "orvsfx list, test and extract run the stub's zip engine natively, on packages and "
            "on plain zip files, so that a package can be checked before it ships. "
            "\"orvsfx COMMAND --help\" describes a command's arguments.",
            {{"--version", "", "print the versions of orvsfx, of its stub and of its libraries"},
             {"--help", "", "the same as orvsfx help"}}};
}

std::vector<NamedDoc> commanddocs() {
    std::vector<NamedDoc> docs;
    for (const Command& command : kCommands) docs.push_back({command.name, command.doc()});
    return docs;
}

enum ExitCode { kExitOk = 0, kExitFailed = 1, kExitUsage = 2 };

int printhelp() {
    std::printf("usage: orvsfx COMMAND [arguments]\n\ncommands:\n");
    for (const Command& command : kCommands)
        std::printf("  %-10s %s\n", command.name, command.doc().summary.c_str());
    for (const OptionDoc& option : programdoc().options)
        std::printf("  %-10s %s\n", option.flag.c_str(), option.help.c_str());
    std::printf("\n\"orvsfx COMMAND --help\" describes a command's arguments.\n");
    return kExitOk;
}

int helpcommand(const CommandArgs& args) {
    if (args.empty()) return printhelp();
    if (args.size() == 1 && args[0] == "--manual")
        std::fputs(manualpage(programdoc(), commanddocs()).c_str(), stdout);
    else if (args.size() == 1 && args[0] == "--completion")
        std::fputs(bashcompletion(programdoc(), commanddocs()).c_str(), stdout);
    else if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h"))
        std::fputs(helptext("help", helpdoc()).c_str(), stdout);
    else
        throw UsageError("help takes --manual or --completion");
    return kExitOk;
}

int dispatch(int argc, char** argv) {
    if (argc < 2) return printhelp(), kExitUsage;
    if (!std::strcmp(argv[1], "--version")) {
        std::fputs(versionreport().c_str(), stdout);
        return kExitOk;
    }
    if (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) return printhelp();
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
