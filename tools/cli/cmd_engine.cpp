// orvsfx list, test and extract: the stub's own zip engine run natively on Linux, so that
// package authors can check a package on their CI before they ship it.
//
// The three commands share one run of the engine and differ only in what they ask of it:
// list chooses no member and records every central entry it is offered; test decodes and
// checks every member without writing (the engine's extract flag 0); extract writes under
// -d DIR, asking on the terminal about existing files unless -o or -n decides. They work on
// packages and plain zip files alike and exit with the engine's result code (list: 0 when
// the directory was read). Encrypted members get the password of -p, then questions on the
// terminal. Names travel through the engine as name text, which is UTF-8 on Linux, and reach
// the terminal as they are, with control characters and invalid bytes escaped; paths and
// patterns on the command line are UTF-8 already and go to the engine unchanged; a folder
// marked only by its DOS attribute is listed with the "/" its name text gets.
//
// Extracted members made on Unix hosts get the permission bits of their stored mode (so
// execute bits survive), never set-user-id or set-group-id bits, and never become links: a
// link is a plain file holding its target, with ordinary permissions. Folders get their mode
// and stored times once the run has written their contents.
//
// Every failure the engine reports (EngineUi::reportfailure) becomes one line
// "orvsfx: ARCHIVE: MEMBER: reason" on standard error; a run that ends badly without any
// reported failure still gets a line with its result code. A member the engine refuses for
// what it needs (a method, AES, ZIP64, a newer version) is named with that need
// (tools/zip/memberneeds.h), and list marks such members behind their names.
#include "common/zipformat.h"
#include "engine/runrequest.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/utf8.h"
#include "tools/base/builderror.h"
#include "tools/cli/commands.h"
#include "tools/text/encodings.h"
#include "tools/zip/memberneeds.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fnmatch.h>
#include <set>
#include <sys/stat.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// The program that names itself in the reasons for refused members.
const char kProgram[] = "orvsfx";

// A folder member created by the run, finished once everything inside it is written.
struct DoneFolder {
    std::string path;
    unsigned mode; // Unix permission bits, or kNoMode
    unsigned long long times[3];
    unsigned timeflags;
};
const unsigned kNoMode = ~0u;

// What a run is for.
enum class Mode { kList, kTest, kExtract };

struct FrontEnd {
    Mode mode = Mode::kExtract;
    std::string archive;
    std::string archiveshown; // the archive as the user named it, for messages
    std::string destination;  // name text (UTF-8)
    OverwritePolicy overwrite = kPolicyAsk;
    std::string password;  // -p, UTF-8 (empty: none)
    bool terminal = false; // progress bar on standard error
    bool askall = false;   // "A" answered: overwrite the rest
    bool asknone = false;  // "N" answered: keep the rest
    unsigned long long total = 0;
    unsigned long long done = 0;
    bool listing = false;              // the first pass, which reads the directory
    unsigned entries = 0;              // central entries the first pass was offered
    ZipEntry offered;                  // the central entry the engine read last
    std::vector<std::string> patterns; // members to extract (empty: all), as typed
    std::vector<bool> matched;
    std::set<std::string> reported; // failure lines already printed (both passes report)
    int worst = 0; // the worst result of a failure the front-end found or was told of
    std::vector<DoneFolder> folders; // folder members created, in order
};

// The terminal form of a name: control characters (C0, DEL and C1) and bytes that are not
// valid UTF-8 come back as "\xHH" (the code point, or the byte), so that a member name
// cannot send commands to the terminal.
std::string shown(const char* name) {
    std::string out;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(name);
    while (*p) {
        unsigned cp = 0;
        unsigned available = static_cast<unsigned>(
            strnlen(reinterpret_cast<const char*>(p), platform::kUtf8Longest));
        unsigned n = platform::decodeutf8(p, available, &cp);
        bool control = n == 0 || cp < 0x20 || (cp >= 0x7F && cp <= 0x9F);
        if (control) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", n ? cp : *p);
            out += escaped;
        } else {
            out.append(reinterpret_cast<const char*>(p), n);
        }
        p += n ? n : 1;
    }
    return out;
}

// One line of any length; false at the end of the input.
bool readline(std::string* line) {
    line->clear();
    int c;
    while ((c = std::fgetc(stdin)) != EOF && c != '\n') line->push_back(static_cast<char>(c));
    if (!line->empty() && line->back() == '\r') line->pop_back();
    return c != EOF || !line->empty();
}

std::string readline() {
    std::string line;
    readline(&line);
    return line;
}

// Prints one failure line, once per run of the command.
void printfailure(FrontEnd* frontend, const std::string& subject, const std::string& reason,
                  int result) {
    if (result > frontend->worst) frontend->worst = result;
    std::string line = "orvsfx: " + frontend->archiveshown + ": ";
    if (!subject.empty()) line += subject + ": ";
    line += reason;
    if (!frontend->reported.insert(line).second) return;
    if (frontend->terminal) std::fprintf(stderr, "\n");
    std::fprintf(stderr, "%s\n", line.c_str());
}

int askreplace(void* context, const char* path, const char* member) {
    FrontEnd* frontend = static_cast<FrontEnd*>(context);
    if (frontend->askall) return 1;
    if (frontend->asknone) return 0;
    // Answers may come from a pipe; the question is only shown on a terminal.
    if (isatty(STDIN_FILENO))
        std::fprintf(stderr, "\nreplace %s? [y]es, [n]o, [A]ll, [N]one: ", shown(path).c_str());
    std::string answer;
    if (!readline(&answer)) {
        // No one to ask: an existing file must not be skipped without a word.
        printfailure(frontend, shown(member),
                     "exists; use -o to overwrite existing files or -n to keep them",
                     kResultWarning);
        return 0;
    }
    frontend->askall = answer == "A";
    frontend->asknone = answer == "N";
    return answer == "y" || answer == "yes" || frontend->askall;
}

// Asks on the terminal; without an answer the questions stop for the rest of the run.
void askpassword(void*, char* buffer, const char* member) {
    if (isatty(STDIN_FILENO)) std::fprintf(stderr, "\npassword for %s: ", shown(member).c_str());
    std::string answer;
    if (!readline(&answer)) answer = std::string(1, static_cast<char>(kPasswordCancelMarker));
    std::snprintf(buffer, kPasswordBuffer, "%s", answer.c_str());
}

// A yes-or-no question on the terminal; no answer is no.
int askyes(const std::string& question) {
    std::fprintf(stderr, "\n%s [y/n]: ", question.c_str());
    std::string answer = readline();
    return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
}

int askgoon(void*, const char* path) {
    return askyes("the disk is full writing " + shown(path) + "; go on with the next member?");
}

int askanyway(void*, const char* member) {
    return askyes(shown(member) + " asks for a newer version of its system; extract it anyway?");
}

struct ReasonText {
    int reason;
    const char* text;
    bool syserror; // the detail is a system error code to explain
};

const ReasonText kReasons[] = {
    {kReasonCannotOpen, "cannot open", true},
    {kReasonArchiveIsFolder, "is a folder, not an archive", false},
    {kReasonNoEndRecord, "not a zip archive: no end-of-central-directory record", false},
    {kReasonEndRecordCut, "truncated: the end-of-central-directory record is cut short", false},
    {kReasonCentralPastEnd, "truncated: the central directory ends past the end of the file",
     false},
    {kReasonCentralOverlap, "damaged: the central directory runs into its end record", false},
    {kReasonCommentPastEnd, "truncated: the archive comment runs past the end of the file", false},
    {kReasonEntryCounts,
     "damaged: the end record's count of entries on this disk differs from its total", false},
    {kReasonCentralMissing, "damaged: no central directory where the end record says", false},
    {kReasonCentralCut, "truncated: a central directory entry runs past the end of the file",
     false},
    {kReasonFewerEntries,
     "damaged: the central directory holds fewer entries than its end record says", false},
    {kReasonLocalMissing, "damaged: no local header where the central directory says", false},
    {kReasonLocalCut, "truncated: the local header runs past the end of the file", false},
    {kReasonNameMismatch, "damaged: the local header's name differs from the central directory's",
     false},
    {kReasonDataPastEnd,
     "damaged: the compressed size runs past the central directory or the end of the file", false},
    {kReasonWrongPassword, "wrong password", false},
    {kReasonNoMemory, "out of memory", false},
    {kReasonAbsolutePath, "leading '/' removed from the name", false},
    {kReasonBadName, "the name does not convert to a file name", false},
    {kReasonVolumeLabel, "volume label, not extracted", false},
    {kReasonThroughLink, "the path goes through a symbolic link; nothing written", false},
    {kReasonFileInTheWay, "a file stands where a folder is needed", false},
    {kReasonFolderInTheWay, "a folder stands where the file is to be written", false},
    {kReasonCannotMakeFolder, "cannot create a folder", true},
    {kReasonPathTooLong, "the output path is too long", false},
    {kReasonNameTooLong, "the name is too long for the file system", false},
    {kReasonCannotCreate, "cannot create the file", true},
    {kReasonCannotReplace, "cannot replace the existing file", true},
    {kReasonDiskFull, "the disk is full", false},
    {kReasonInflate, "invalid Deflate data", false},
    {kReasonLzma, "invalid LZMA data", false},
    {kReasonLzmaHeader, "invalid LZMA header: not LZMA properties this program reads", false},
    {kReasonDictionary, "the LZMA dictionary is larger than the 64 MiB the engine allocates",
     false},
    {kReasonSizeMismatch, "size mismatch: the data does not decode to the stored size", false},
    {kReasonCrc, "CRC mismatch", false},
    {kReasonDestination, "cannot create the extraction folder", true},
    {kReasonOffsetsCorrected, "damaged: the archive's offsets are wrong and were corrected", false},
    {kReasonEmpty, "the archive has no members", false},
    {kReasonSameFile, "an earlier member of this run made the same file", false},
};

// A central header the engine has read, as the builder's reader keeps one.
ZipEntry zipentry(const CentralHeader& c, const unsigned char* extra, unsigned extralength) {
    ZipEntry entry;
    entry.madeby = c.versionmadeby | c.hostmadeby << 8;
    entry.needed = c.versionneeded | c.hostneeded << 8;
    entry.flags = c.flags;
    entry.method = c.method;
    entry.dostime = c.dostime;
    entry.crc = c.crc;
    entry.packed = c.compressedsize;
    entry.size = c.uncompressedsize;
    entry.disk = c.diskstart;
    entry.external = c.external;
    entry.offset = c.localoffset;
    if (extra) entry.extra.assign(reinterpret_cast<const char*>(extra), extralength);
    return entry;
}

// The words for a refused member: what it needs, from the central entry the engine refused
// it for right after reading it, or from the method it met in the local header (detail).
std::string needtext(const FrontEnd* frontend, int reason, int detail) {
    if (reason == kReasonMethod) return methodneed(static_cast<unsigned>(detail), kProgram);
    std::string need = unmetneed(frontend->offered, kProgram);
    return need.empty() ? "needs a newer version to extract" : need;
}

void printreason(void* context, int reason, int result, const char* member, int detail) {
    FrontEnd* frontend = static_cast<FrontEnd*>(context);
    std::string text = "failed (reason " + std::to_string(reason) + ")";
    for (const ReasonText& r : kReasons) {
        if (r.reason != reason) continue;
        text = r.text;
        if (r.syserror && detail != 0) text += std::string(": ") + std::strerror(detail);
    }
    if (reason == kReasonNewerVersion || reason == kReasonMethod)
        text = needtext(frontend, reason, detail);
    printfailure(frontend, member ? shown(member) : std::string(), text, result);
}

void drawbar(const FrontEnd* frontend, const char* path) {
    const int width = 30;
    unsigned long long total = frontend->total ? frontend->total : 1;
    int percent = static_cast<int>(frontend->done * 100ull / total);
    if (percent > 100) percent = 100;
    int filled = percent * width / 100;
    std::fprintf(stderr, "\r[%s%s] %3d%% %-40.40s", std::string(filled, '#').c_str(),
                 std::string(width - filled, '.').c_str(), percent, shown(path).c_str());
    std::fflush(stderr);
}

int showprogress(void* context, const char* path, unsigned long long bytesdone) {
    FrontEnd* frontend = static_cast<FrontEnd*>(context);
    frontend->done = bytesdone;
    if (frontend->terminal) drawbar(frontend, path);
    return 0;
}

bool matches(const std::string& pattern, const char* name) {
    // A pattern naming a folder chooses everything below it.
    return fnmatch(pattern.c_str(), name, 0) == 0 ||
           fnmatch((pattern + "/*").c_str(), name, 0) == 0;
}

// The extraction pass with member names: a member is chosen (item 0, selected) when one of
// the patterns matches its central name.
int choosemember(FrontEnd* frontend, const char* name) {
    int item = -1;
    for (size_t i = 0; i < frontend->patterns.size(); ++i) {
        if (!matches(frontend->patterns[i], name)) continue;
        frontend->matched[i] = true;
        item = 0;
    }
    return item;
}

// Every entry is kept for the reasons of a refusal; in the first pass each one is counted,
// and listed for list.
void noteentry(void* context, const char* name, const CentralHeader* c, const unsigned char* extra,
               unsigned extralength) {
    FrontEnd* frontend = static_cast<FrontEnd*>(context);
    frontend->offered = zipentry(*c, extra, extralength);
    if (!frontend->listing) return;
    ++frontend->entries;
    frontend->total += c->uncompressedsize;
    if (frontend->mode != Mode::kList) return;
    unsigned date = c->dostime >> 16, time = c->dostime & 0xFFFF;
    std::string need = unmetneed(frontend->offered, kProgram);
    std::printf("%04u-%02u-%02u %02u:%02u:%02u %12u %12u %-9s %08x  %s%s\n", (date >> 9) + 1980,
                (date >> 5) & 15, date & 31, time >> 11, (time >> 5) & 63, (time & 31) * 2,
                c->uncompressedsize, c->compressedsize, methodname(c->method), c->crc,
                shown(name).c_str(), need.empty() ? "" : ("  [" + need + "]").c_str());
}

// The first pass chooses no member.
int matchpattern(void* context, const char* name) {
    FrontEnd* frontend = static_cast<FrontEnd*>(context);
    return frontend->listing ? -1 : choosemember(frontend, name);
}

int alwayschosen(void*, int) {
    return 1;
}

void nothingtodelete(void*, int) {}

// Members made on Unix hosts keep their mode in the high 16 bits of the external
// attributes. Only the permission bits are given: never set-user-id, set-group-id or sticky,
// and never a file type. The engine writes a link (or a device or pipe) entry as a plain file
// of its data, a link's being its target; such a file gets ordinary permissions, not the
// link's 0777, so that no archive makes world-writable executables that way.
unsigned unixpermissions(unsigned host, unsigned external, bool folder) {
    const unsigned kPermissions = 0777, kOrdinaryFile = 0644, kOrdinaryFolder = 0755;
    unsigned mode = external >> 16;
    if (host != kHostUnix || mode == 0) return kNoMode;
    unsigned type = mode & S_IFMT;
    bool sametype = type == 0 || type == (folder ? S_IFDIR : S_IFREG); // as what is written
    if (!sametype) return folder ? kOrdinaryFolder : kOrdinaryFile;
    return mode & kPermissions;
}

void finishmember(void* context, const char* path, int folder, unsigned host, unsigned external,
                  const unsigned long long* times, unsigned timeflags) {
    FrontEnd* frontend = static_cast<FrontEnd*>(context);
    unsigned mode = unixpermissions(host, external, folder != 0);
    if (folder) {
        // A folder's mode and times wait for its contents: a read-only folder could not
        // take them, and every file written inside would change its time.
        frontend->folders.push_back({path, mode, {times[0], times[1], times[2]}, timeflags});
        return;
    }
    if (mode != kNoMode) chmod(path, mode);
}

// Gives the folders their modes and stored times, innermost (latest created) first.
void finishfolders(FrontEnd& frontend) {
    for (auto f = frontend.folders.rbegin(); f != frontend.folders.rend(); ++f) {
        if (f->mode != kNoMode) chmod(f->path.c_str(), f->mode);
        platform::File* folder = platform::opentimes(f->path.c_str());
        if (!folder) continue;
        platform::setfiletimes(folder, nullptr,
                               (f->timeflags & kTimeAccess) ? &f->times[1] : nullptr,
                               (f->timeflags & kTimeModification) ? &f->times[0] : nullptr);
        platform::closefile(folder);
    }
    frontend.folders.clear();
}

const EngineUi kTerminalUi = {
    askreplace,   askpassword, askgoon,      askanyway,    showprogress,    printreason,
    finishmember, noteentry,   matchpattern, alwayschosen, nothingtodelete,
};

// Runs the engine once; a selection from a list that chooses nothing walks the directory.
int runengine(FrontEnd& frontend, RunSelection selection, RunAction action) {
    const char* destination = frontend.destination.empty() ? nullptr : frontend.destination.c_str();
    RunRequest request =
        runrequest(frontend.archive.c_str(), destination, action, &kTerminalUi, &frontend);
    request.selection = selection;
    request.overwrite = frontend.overwrite;
    request.password = frontend.password.c_str();
    initengine();
    int result = runarchive(&request);
    finishfolders(frontend);
    if (frontend.terminal && selection == kRunAll) std::fprintf(stderr, "\n");
    return result;
}

const char kEngineResult[] =
    "The exit code is the engine's result code (0 success, 1 warning, 2 and up errors).";
const char kMemberPatterns[] =
    "MEMBER is a name or shell pattern (*, ?, [...]; * also matches /); a folder's name "
    "chooses everything below it.";

OptionDoc passwordoption() {
    return {"-p", "PASSWORD", "first password tried for encrypted members"};
}

void usage(const char* command) {
    CommandDoc doc = !std::strcmp(command, "extract") ? extractdoc()
                     : !std::strcmp(command, "test")  ? testdoc()
                                                      : listdoc();
    std::fputs(helptext(command, doc).c_str(), stdout);
}

// -p: held in UTF-8 as typed; the engine tries its code-page forms too.
void setpassword(FrontEnd* frontend, const std::string& text) {
    if (text.size() >= kPasswordBuffer)
        throw UsageError("the password is longer than " + std::to_string(kPasswordBuffer - 1) +
                         " bytes");
    frontend->password = text;
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
            setpassword(frontend, args[++i]);
        else if (frontend->mode == Mode::kExtract && a == "-d" && i + 1 < args.size())
            frontend->destination = args[++i];
        else if (a.empty() || a[0] == '-' ||
                 (!frontend->archive.empty() && frontend->mode == Mode::kList))
            throw UsageError("unexpected argument \"" + a + "\"");
        else if (frontend->archive.empty())
            frontend->archive = a, frontend->archiveshown = a;
        else
            frontend->patterns.push_back(a);
    }
    if (frontend->archive.empty()) throw UsageError(std::string(command) + " needs a PACKAGE");
    if (frontend->mode == Mode::kExtract && frontend->destination.empty())
        throw UsageError("extract needs -d DIR");
    frontend->matched.assign(frontend->patterns.size(), false);
    return true;
}

// The exit code: the engine's result, raised by the failures the front-end found itself;
// a failing run that reported nothing gets a line of its own.
int finish(FrontEnd& frontend, int result) {
    for (size_t i = 0; i < frontend.patterns.size(); ++i)
        if (!frontend.matched[i])
            printfailure(&frontend, shown(frontend.patterns[i].c_str()), "no member matches",
                         kResultNoneSelected);
    if (result == kResultNoneSelected && frontend.reported.empty())
        printfailure(&frontend, "", "no member was chosen", result);
    if (result < frontend.worst) result = frontend.worst;
    if (result != kResultOk && frontend.reported.empty())
        printfailure(&frontend, "", "failed with result " + std::to_string(result), result);
    return result;
}

int run(const CommandArgs& args, Mode mode, const char* command) {
    FrontEnd frontend;
    frontend.mode = mode;
    if (!parse(args, command, &frontend)) return 0;
    // The first pass reads the directory: the listing, or the total for the progress bar.
    frontend.listing = true;
    int listed = runengine(frontend, kRunSelected, kRunTest);
    frontend.listing = false;
    if (mode == Mode::kList) return finish(frontend, listed == kResultNoneSelected ? 0 : listed);
    // An archive that cannot be opened or read at all gets no destination folder.
    if (listed == kResultNotFound || (frontend.entries == 0 && listed > kResultWarning))
        return finish(frontend, listed);
    frontend.terminal = isatty(STDERR_FILENO) != 0;
    int result = runengine(frontend, frontend.patterns.empty() ? kRunAll : kRunSelected,
                           mode == Mode::kExtract ? kRunExtract : kRunTest);
    if (mode == Mode::kTest && result == kResultOk && frontend.worst == 0)
        std::printf("No errors detected.\n");
    return finish(frontend, result);
}

} // namespace

CommandDoc listdoc() {
    return {
        "list the members of a package or zip file",
        {"PACKAGE"},
        "Prints one line per central entry: date, time, size, packed size, method, CRC and name. A "
        "member the engine will not extract is marked with what it needs.",
        {},
        kEngineResult};
}

CommandDoc testdoc() {
    return {"decode every member and check its CRC, writing nothing",
            {"[-p PASSWORD] PACKAGE [MEMBER...]"},
            std::string("Decodes every member, or the members chosen, and checks sizes and CRCs; "
                        "prints \"No errors detected.\" when all is well. ") +
                kMemberPatterns,
            {passwordoption()},
            kEngineResult};
}

CommandDoc extractdoc() {
    return {"extract a package or zip file under -d DIR",
            {"[-o | -n] [-p PASSWORD] -d DIR PACKAGE [MEMBER...]"},
            std::string("Extracts every member, or the members chosen, under DIR; nothing is "
                        "written outside it. Without -o or -n, existing files are asked about "
                        "on the terminal. ") +
                kMemberPatterns,
            {{"-d", "DIR", "extract under DIR (made if missing; its parent must exist)"},
             {"-o", "", "overwrite existing files without asking"},
             {"-n", "", "never overwrite existing files"},
             passwordoption()},
            kEngineResult};
}

int listcommand(const CommandArgs& args) {
    return run(args, Mode::kList, "list");
}

int testcommand(const CommandArgs& args) {
    return run(args, Mode::kTest, "test");
}

int extractcommand(const CommandArgs& args) {
    return run(args, Mode::kExtract, "extract");
}
