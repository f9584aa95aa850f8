// orvsfx list, test and extract: the stub's own zip engine run natively on Linux, so that
// package authors can check a package on their CI before they ship it.
//
// The three commands share one run of the engine and differ only in what they ask of it:
// list chooses no member and records every central entry it is offered; test decodes and
// checks every member without writing (the engine's extract flag 0); extract writes under
// -d DIR, asking on the terminal about existing files unless -o or -n decides. They work on
// packages and plain zip files alike and exit with the engine's result code (list: 0 when
// the directory was read). Encrypted members get the password of -p, then questions on the
// terminal. Names travel through the engine in code page 1252 and reach the
// terminal as UTF-8.
#include "engine/runrequest.h"
#include "platform/codepage.h"
#include "tools/builderror.h"
#include "tools/commands.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// What a run is for.
enum class Mode { kList, kTest, kExtract };

struct FrontEnd {
    Mode mode = Mode::kExtract;
    std::string archive;
    std::string destination; // ANSI
    OverwritePolicy overwrite = kPolicyAsk;
    bool terminal = false; // progress bar on standard error
    bool askall = false;   // "A" answered: overwrite the rest
    bool asknone = false;  // "N" answered: keep the rest
    unsigned long long total = 0;
    unsigned done = 0;
    int cancel = 0;
    char text[kSharedTextBuffer] = {};
};
FrontEnd* current = nullptr;

std::string shown(const char* ansi) {
    std::vector<char> out(std::strlen(ansi) * 3 + 1);
    platform::ansitoutf8(ansi, out.data(), static_cast<unsigned>(out.size()));
    return out.data();
}

std::string readline() {
    char line[256];
    if (!std::fgets(line, sizeof line, stdin)) return std::string();
    line[std::strcspn(line, "\r\n")] = 0;
    return line;
}

int askoverwrite(const char* path) {
    if (current->askall) return 1;
    if (current->asknone) return 0;
    std::fprintf(stderr, "\nreplace %s? [y]es, [n]o, [A]ll, [N]one: ", shown(path).c_str());
    std::string answer = readline();
    current->askall = answer == "A";
    current->asknone = answer == "N";
    return answer == "y" || answer == "yes" || current->askall;
}

// Asks on the terminal; without an answer the questions stop for the rest of the run.
void promptpassword(char* buffer, const char* member) {
    std::fprintf(stderr, "\npassword for %s: ", shown(member).c_str());
    std::string answer = readline();
    if (answer.empty() && std::feof(stdin)) answer = "\xAC";
    std::snprintf(buffer, kPasswordBuffer, "%s", answer.c_str());
}

void drawbar(const char* path) {
    const int width = 30;
    unsigned long long total = current->total ? current->total : 1;
    int percent = static_cast<int>(current->done * 100ull / total);
    if (percent > 100) percent = 100;
    int filled = percent * width / 100;
    std::fprintf(stderr, "\r[%s%s] %3d%% %-40.40s", std::string(filled, '#').c_str(),
                 std::string(width - filled, '.').c_str(), percent, shown(path).c_str());
    std::fflush(stderr);
}

int reportprogress(const char* path) {
    if (current->terminal) drawbar(path);
    return 0;
}

// Every entry offered for choice is listed; none is chosen.
int finditem(const char* name) {
    if (current->mode == Mode::kList) {
        const CentralHeader& c = engine.central;
        unsigned date = c.dostime >> 16, time = c.dostime & 0xFFFF;
        std::printf("%04u-%02u-%02u %02u:%02u:%02u %12u %12u %08x  %s\n", (date >> 9) + 1980,
                    (date >> 5) & 15, date & 31, time >> 11, (time >> 5) & 63, (time & 31) * 2,
                    c.uncompressedsize, c.compressedsize, c.crc, shown(name).c_str());
    }
    current->total += engine.central.uncompressedsize;
    return -1;
}

int isselected(int) {
    return 0;
}

void deleteitem(int) {}

int terminalinput(EngineState*, char* answer, unsigned size) {
    std::fprintf(stderr, "\ncontinue? [y/n]: ");
    std::string line = readline();
    std::snprintf(answer, size, "%s", line.c_str());
    return static_cast<int>(std::strlen(answer));
}

// Runs the engine once; a selection from a list that chooses nothing walks the directory.
int runengine(FrontEnd& frontend, RunSelection selection, RunAction action) {
    EngineUi ui = {};
    ui.askoverwrite = askoverwrite;
    ui.promptpassword = promptpassword;
    ui.reportprogress = reportprogress;
    ui.finditem = finditem;
    ui.isselected = isselected;
    ui.deleteitem = deleteitem;
    ui.cancel = &frontend.cancel;
    ui.bytesdone = &frontend.done;
    ui.text = frontend.text;
    ui.textsize = sizeof frontend.text;
    RunRequest request = {};
    request.archivepath = frontend.archive.c_str();
    request.destination = frontend.destination.empty() ? nullptr : frontend.destination.c_str();
    request.action = action;
    request.selection = selection;
    request.overwrite = frontend.overwrite;
    request.quietlevel = 1;
    request.ui = &ui;
    request.input = terminalinput;
    initengine();
    current = &frontend;
    int result = runarchive(&request);
    current = nullptr;
    if (frontend.terminal && selection == kRunAll) std::fprintf(stderr, "\n");
    return result;
}

std::string toansi(const std::string& text, const char* what) {
    std::vector<char> out(text.size() + 1);
    if (!platform::utf8toansi(text.c_str(), out.data(), static_cast<unsigned>(out.size())))
        throw UsageError(std::string(what) + " \"" + text +
                         "\" has characters outside code page 1252");
    return out.data();
}

void usage(const char* command) {
    if (!std::strcmp(command, "extract"))
        std::printf("usage: orvsfx extract [-o | -n] [-p PASSWORD] -d DIR PACKAGE\n"
                    "  -d DIR       extract under DIR (made if missing; its parent must exist)\n"
                    "  -o           overwrite existing files without asking\n"
                    "  -n           never overwrite existing files\n"
                    "  -p PASSWORD  first password tried for encrypted members\n");
    else if (!std::strcmp(command, "test"))
        std::printf("usage: orvsfx test [-p PASSWORD] PACKAGE\n");
    else
        std::printf("usage: orvsfx %s PACKAGE\n", command);
    std::printf("The exit code is the engine's result code (0 success, 1 warning, 2 and up "
                "errors).\n");
}

// Parses the arguments; false when help was asked for.
bool parse(const CommandArgs& args, const char* command, FrontEnd* frontend) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-h" || a == "--help") return usage(command), false;
        if (frontend->mode == Mode::kExtract && (a == "-o" || a == "-n")) {
            OverwritePolicy policy = a == "-o" ? kPolicyOverwrite : kPolicyKeep;
            if (frontend->overwrite != kPolicyAsk && frontend->overwrite != policy)
                throw UsageError("-o and -n exclude each other");
            frontend->overwrite = policy;
        } else if (frontend->mode != Mode::kList && a == "-p" && i + 1 < args.size())
            std::snprintf(presetpassword, sizeof presetpassword, "%s",
                          toansi(args[++i], "password").c_str());
        else if (frontend->mode == Mode::kExtract && a == "-d" && i + 1 < args.size())
            frontend->destination = toansi(args[++i], "folder");
        else if (a.empty() || a[0] == '-' || !frontend->archive.empty())
            throw UsageError("unexpected argument \"" + a + "\"");
        else
            frontend->archive = toansi(a, "file name");
    }
    if (frontend->archive.empty()) throw UsageError(std::string(command) + " needs a PACKAGE");
    if (frontend->mode == Mode::kExtract && frontend->destination.empty())
        throw UsageError("extract needs -d DIR");
    return true;
}

int run(const CommandArgs& args, Mode mode, const char* command) {
    FrontEnd frontend;
    frontend.mode = mode;
    if (!parse(args, command, &frontend)) return 0;
    // The first pass reads the directory: the listing, or the total for the progress bar.
    int listed = runengine(frontend, kRunSelected, kRunTest);
    if (mode == Mode::kList) return listed == kResultNoneSelected ? kResultOk : listed;
    if (listed == kResultNotFound) return listed;
    frontend.terminal = isatty(STDERR_FILENO) != 0;
    int result = runengine(frontend, kRunAll, mode == Mode::kExtract ? kRunExtract : kRunTest);
    if (mode == Mode::kTest && result == kResultOk) std::printf("No errors detected.\n");
    return result;
}

} // namespace

int listcommand(const CommandArgs& args) {
    return run(args, Mode::kList, "list");
}

int testcommand(const CommandArgs& args) {
    return run(args, Mode::kTest, "test");
}

int extractcommand(const CommandArgs& args) {
    return run(args, Mode::kExtract, "extract");
}
