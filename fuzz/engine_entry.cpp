// Fuzz entry for the whole engine: the input is written as an archive file and extracted
// with extractarchive into a fresh folder, so that the end record search, the central
// directory, local headers, name mapping, decryption and both inflate variants all see
// hostile data. Checks:
// - the run ends with one of the engine's result codes;
// - nothing is created outside the destination folder (its parent holds only the archive
//   and the destination afterwards).
// The first byte of the input chooses the password the prompt gives (none, a fixed ASCII
// one, or "skip"), the rest is the archive.
#include "engine/runrequest.h"
#include "fuzz/entries.h"
#include "common/stringlists.h"

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

// The answers of one run: the input's first byte chooses the password answer.
struct FuzzUi {
    unsigned char passwordchoice;
    int cancel;
    unsigned long long bytesdone;
    char text[kSharedTextBuffer];
};

int askoverwrite(void*, const char*) {
    return 1;
}
void promptpassword(void* context, char* buffer, const char*) {
    static const char kSkip[] = {static_cast<char>(kPasswordSkipMarker), 0};
    static const char* const answers[] = {"", "secret", kSkip};
    strcpy(buffer, answers[static_cast<FuzzUi*>(context)->passwordchoice % 3]);
}
int reportprogress(void*, const char*) {
    return 0;
}
int finditem(void*, const char*) {
    return -1;
}
int isselected(void*, int) {
    return 0;
}
void deleteitem(void*, int) {}
int quietmessage(EngineState*, const char*, unsigned, unsigned) {
    return 0;
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
    FuzzUi answers = {};
    answers.passwordchoice = data[0];
    RunFolder folder;
    fs::path archive = folder.root / "archive.zip", destination = folder.root / "dest";
    {
        std::ofstream f(archive, std::ios::binary);
        f.write((const char*)data + 1, (std::streamsize)(size - 1));
    }
    fs::create_directory(destination);

    listinit();
    EngineUi ui = {};
    ui.context = &answers;
    ui.askoverwrite = askoverwrite;
    ui.promptpassword = promptpassword;
    ui.reportprogress = reportprogress;
    ui.finditem = finditem;
    ui.isselected = isselected;
    ui.deleteitem = deleteitem;
    ui.cancel = &answers.cancel;
    ui.bytesdone = &answers.bytesdone;
    ui.text = answers.text;
    ui.textsize = sizeof answers.text;
    ui.dirlist = listcreate();
    ui.filelist = listcreate();

    std::string archivepath = archive.string(), destinationpath = destination.string();
    RunRequest request = {};
    request.archivepath = archivepath.c_str();
    request.destination = destinationpath.c_str();
    request.action = kRunExtract;
    request.selection = kRunAll;
    request.overwrite = kPolicyOverwrite;
    request.quietlevel = 1;
    request.ui = &ui;
    request.message = quietmessage;
    initengine();
    int result = runarchive(&request);
    listfreeall();

    check(knownresult(result));
    for (const auto& entry : fs::directory_iterator(folder.root))
        check(entry.path() == archive || entry.path() == destination);
}
