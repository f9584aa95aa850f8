// Shared tools of the engine tests (see enginetestkit.h).
#include "tests/support/enginetestkit.h"

#include "common/stringlists.h"
#include "engine/messagehook.h"
#include "tests/support/removetree.h"

#include <fstream>
#include <random>
#include <sstream>
#include <stdlib.h>
#include <string.h>

namespace enginetest {

namespace {

// The run in progress: the context of the engine's user-interface calls.
struct ActiveRun {
    const RunOptions* options;
    RunRecord* record;
    std::vector<std::string> items;
    std::set<int> selected;
};

ActiveRun* activerun(void* context) {
    return static_cast<ActiveRun*>(context);
}

int askoverwrite(void* context, const char* path, const char*) {
    ActiveRun* active = activerun(context);
    ++active->record->askcount;
    if (active->options->beforeanswer) active->options->beforeanswer(path);
    return active->options->overwriteanswer;
}

void promptpassword(void* context, char* buffer, const char*) {
    ActiveRun* active = activerun(context);
    size_t n = static_cast<size_t>(active->record->passwordprompts++);
    const std::vector<std::string>& answers = active->options->passwords;
    std::string answer =
        n < answers.size() ? answers[n] : std::string(1, static_cast<char>(kPasswordCancelMarker));
    snprintf(buffer, kPasswordBuffer, "%s", answer.c_str());
}

int reportprogress(void* context, const char*, unsigned long long bytesdone) {
    ActiveRun* active = activerun(context);
    active->record->bytesdone = bytesdone;
    int call = ++active->record->progresscalls;
    return active->options->cancelatcall == call;
}

bool beginsnocase(const std::string& item, const char* text) {
    size_t n = strlen(text);
    if (item.size() < n) return false;
    for (size_t i = 0; i < n; ++i)
        if (tolower(static_cast<unsigned char>(item[i])) !=
            tolower(static_cast<unsigned char>(text[i])))
            return false;
    return true;
}

int finditem(void* context, const char* text) {
    ActiveRun* active = activerun(context);
    active->record->lookups.push_back(text);
    for (size_t i = 0; i < active->items.size(); ++i)
        if (beginsnocase(active->items[i], text)) return static_cast<int>(i);
    return -1;
}

int isselected(void* context, int item) {
    return activerun(context)->selected.count(item) ? 1 : 0;
}

void deleteitem(void* context, int item) {
    ActiveRun* active = activerun(context);
    active->items.erase(active->items.begin() + item);
    std::set<int> moved;
    for (int s : active->selected)
        if (s != item) moved.insert(s > item ? s - 1 : s);
    active->selected = moved;
}

void recordfailure(void* context, int reason, int result, const char* member, int syserror) {
    activerun(context)->record->failures.push_back(
        {reason, result, member ? member : "", syserror});
}

void capture(void* context, const char* text, unsigned length, unsigned flags) {
    activerun(context)->record->messages.push_back({std::string(text, length), flags});
}

const EngineUi kScriptedUi = {
    askoverwrite, promptpassword, nullptr,  nullptr,    reportprogress, recordfailure,
    nullptr,      nullptr,        finditem, isselected, deleteitem,
};

std::vector<std::string> listitems(int handle) {
    std::vector<std::string> out;
    for (int i = 0; i < listcount(handle); ++i) {
        char buffer[1024];
        listget(handle, i, buffer, sizeof buffer);
        out.push_back(buffer);
    }
    return out;
}

// Win32 programs run under Wine see the Linux file system as drive Z:.
std::string hostpath(const std::string& path) {
#ifdef _WIN32
    if (!path.empty() && path[0] == '/') return "Z:" + path;
#endif
    return path;
}

} // namespace

std::string fixture(const char* name) {
    return hostpath(std::string(ORV_ENGINE_FIXTURES) + "/" + name);
}

TempDir::TempDir() {
    std::random_device seed;
    std::mt19937 random(seed());
    for (;;) {
        path_ = fs::temp_directory_path() / ("orv_engine_" + std::to_string(random()));
        std::error_code error;
        if (fs::create_directory(path_, error)) break;
    }
}

TempDir::~TempDir() {
    testsupport::removetree(path_);
}

bool RunRecord::hasmessage(const std::string& part) const {
    for (const Message& m : messages)
        if (m.text.find(part) != std::string::npos) return true;
    return false;
}

RunRecord runengine(const std::string& archive, const std::string& destination,
                    const RunOptions& options) {
    RunRecord record;
    ActiveRun run;
    run.options = &options;
    run.record = &record;
    run.items = options.items;
    run.selected = options.selected;

    listinit();
    RunRequest request =
        runrequest(archive.c_str(), destination.empty() ? nullptr : destination.c_str(),
                   kRunExtract, &kScriptedUi, &run);
    request.selection = options.extractall ? kRunAll : kRunSelected;
    request.overwrite = options.overwrite;
    request.password = options.password.c_str();
    request.dirlist = listcreate();
    request.filelist = listcreate();
    request.newfilelist = listcreate();
    if (options.freshengine) initengine();
    setmessagehook(capture, &run, 1);
    record.result = runarchive(&request);

    record.items = run.items;
    record.dirlist = listitems(request.dirlist);
    record.filelist = listitems(request.filelist);
    record.newfilelist = listitems(request.newfilelist);
    listfreeall();
    return record;
}

bool RunRecord::hasfailure(int reason, const std::string& member) const {
    for (const Failure& f : failures)
        if (f.reason == reason && (member.empty() || f.member == member)) return true;
    return false;
}

std::set<std::string> scantree(const fs::path& folder) {
    std::set<std::string> names;
    for (auto& entry : fs::recursive_directory_iterator(folder))
        names.insert(entry.path().lexically_relative(folder).generic_u8string());
    return names;
}

ContainedRun runcontained(const std::string& archive, const RunOptions& options) {
    TempDir parent;
    fs::path root = parent.path() / "root";
    fs::create_directory(root);
    std::set<std::string> before = scantree(parent.path());
    ContainedRun run;
    run.record = runengine(archive, root.u8string(), options);
    for (const std::string& name : scantree(parent.path()))
        if (!before.count(name) && name.rfind("root/", 0) != 0) run.outside.push_back(name);
    run.tree = readtree(root);
    return run;
}

std::map<std::string, std::string> readtree(const fs::path& root) {
    std::map<std::string, std::string> tree;
    for (auto& entry : fs::recursive_directory_iterator(root)) {
        std::string name = entry.path().lexically_relative(root).generic_u8string();
        tree[name] = entry.is_directory() ? "<dir>" : readfile(entry.path());
    }
    return tree;
}

std::string readfile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void writefile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string savearchive(const TempDir& folder, const std::string& bytes) {
    fs::path path = folder.path() / "archive.zip";
    writefile(path, bytes);
    return path.u8string();
}

bool sevenzipextract(const std::string& archive, const fs::path& into) {
#ifdef _WIN32
    (void)archive;
    (void)into;
    return false;
#else
    std::string command =
        "timeout 60 7zz x -y -o'" + into.string() + "' '" + archive + "' >/dev/null";
    return system(command.c_str()) == 0;
#endif
}

} // namespace enginetest
