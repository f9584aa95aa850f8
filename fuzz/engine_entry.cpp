// Fuzz entry for the whole engine: the input is written as an archive file and extracted
// with extractarchive into a fresh folder, so that the end record search, the central
// directory, local headers, name mapping, decryption and both inflate variants all see
// hostile data. Checks:
// - the run ends with one of the engine's result codes;
// - nothing is created outside the destination folder (its parent holds only the archive
//   and the destination afterwards);
// - every path the engine reports creating lies below the destination, is valid UTF-8 that
//   the conversion of the Win32 boundary (platform/utf16.h) carries there and back unchanged,
//   and holds below the destination no component that a name check refuses (empty, dots
//   only, ending in a dot or space, or with a character Windows forbids).
// The first byte of the input chooses the password the prompt gives (none, a fixed ASCII
// one, or "skip"), the rest is the archive.
#include "engine/runrequest.h"
#include "fuzz/entries.h"
#include "common/stringlists.h"
#include "platform/utf16.h"

#include <stdlib.h>
#include <string.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

void check(bool condition) {
    if (!condition) __builtin_trap();
}

// The password answer, chosen by the input's first byte (the context).
void promptpassword(void* context, char* buffer, const char*) {
    static const char kSkip[] = {static_cast<char>(kPasswordSkipMarker), 0};
    static const char* const answers[] = {"", "secret", kSkip};
    strcpy(buffer, answers[*static_cast<const unsigned char*>(context) % 3]);
}

// Existing files are overwritten without a question; nothing else is asked.
EngineUi fuzzui() {
    EngineUi ui = {};
    ui.promptpassword = promptpassword;
    return ui;
}

// Whether path (UTF-8) survives the way to UTF-16 and back byte for byte.
bool convertsbothways(const std::string& path) {
    std::u16string wide(path.size() + 1, u'\0');
    unsigned units =
        platform::utf8toutf16(path.data(), unsigned(path.size()), &wide[0], unsigned(wide.size()));
    if (units >= wide.size()) return false;
    wide[units] = 0;
    std::string back(path.size() * platform::kUtf8Longest + 1, '\0');
    unsigned length = platform::utf16toutf8(wide.c_str(), &back[0], unsigned(back.size()));
    return length == path.size() && back.compare(0, length, path) == 0;
}

// Whether a component of an output path is one that the name mapping lets through.
bool allowedcomponent(const std::string& component) {
    if (component.find_first_not_of(". ") == std::string::npos) return false;
    char last = component.back();
    if (last == '.' || last == ' ') return false;
    for (unsigned char c : component)
        if (c < 32 || strchr("*?:<>|\"\\", c)) return false;
    return true;
}

// Every file the engine reports creating, as the front ends keep them.
void checkcreated(int list, const std::string& destination) {
    for (int i = 0, n = listcount(list); i < n; ++i) {
        char path[kPathBuffer];
        if (listget(list, i, path, sizeof path) < 1) continue;
        std::string created = path;
        check(created.compare(0, destination.size(), destination) == 0);
        check(convertsbothways(created));
        std::string below = created.substr(destination.size());
        for (size_t start = 0, end; start < below.size(); start = end + 1) {
            end = below.find('/', start);
            if (end == std::string::npos) end = below.size();
            if (end > start) check(allowedcomponent(below.substr(start, end - start)));
        }
    }
}

bool knownresult(int r) {
    const int codes[] = {0, 1, 2, 3, 4, 6, 9, 11, 50, 51, 80, 81, 82};
    for (int c : codes)
        if (r == c) return true;
    return false;
}

// A folder of its own for every run, removed afterwards.
struct RunFolder {
    fs::path root;
    RunFolder() {
        char pattern[] = "/tmp/orv_fuzz_engine_XXXXXX";
        root = mkdtemp(pattern);
    }
    ~RunFolder() {
        std::error_code error;
        for (auto& entry : fs::recursive_directory_iterator(root, error))
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, error);
        fs::remove_all(root, error);
    }
};

} // namespace

void fuzzentry::engine(const unsigned char* data, size_t size) {
    if (size < 1) return;
    unsigned char passwordchoice = data[0];
    RunFolder folder;
    fs::path archive = folder.root / "archive.zip", destination = folder.root / "dest";
    {
        std::ofstream f(archive, std::ios::binary);
        f.write((const char*)data + 1, (std::streamsize)(size - 1));
    }
    fs::create_directory(destination);

    listinit();
    std::string archivepath = archive.string(), destinationpath = destination.string();
    const EngineUi ui = fuzzui();
    RunRequest request =
        runrequest(archivepath.c_str(), destinationpath.c_str(), kRunExtract, &ui, &passwordchoice);
    request.overwrite = kPolicyOverwrite;
    request.filelist = listcreate();
    initengine();
    int result = runarchive(&request);
    checkcreated(request.filelist, destinationpath + "/");
    listfreeall();

    check(knownresult(result));
    for (const auto& entry : fs::directory_iterator(folder.root))
        check(entry.path() == archive || entry.path() == destination);
}
