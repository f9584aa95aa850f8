// Shared tools of the engine tests: fixture archives, temporary folders, a scripted user
// interface and a run of the engine that records what it did.
#pragma once

#include "engine/runrequest.h"

#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace enginetest {

namespace fs = std::filesystem;

// Full path of an archive made by tests/data/engine/makefixtures.py.
std::string fixture(const char* name);

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& path() const { return path_; }
    std::string str() const { return path_.u8string(); }

  private:
    fs::path path_;
};

// What the scripted user interface answers.
struct RunOptions {
    bool extractall = true;
    OverwritePolicy overwrite = kPolicyAsk;
    int overwriteanswer = 1; // askoverwrite's answer
    // Called by askoverwrite with the output path before it answers: a test's way to change
    // the destination after the engine looked at it and before it writes.
    std::function<void(const std::string&)> beforeanswer;
    int cancelatcall = 0;           // reportprogress cancels at this call (1-based)
    std::vector<std::string> items; // file list 301
    std::set<int> selected;         // selected items of it
    // The first password tried (empty: none), then the answers of the password question, in
    // order; when they run out it is cancelled.
    std::string password;
    std::vector<std::string> passwords;
    // Clear the engine before the run; false runs it again as it is, as a program that starts
    // the engine once and extracts more than once does.
    bool freshengine = true;
};

struct Message {
    std::string text;
    unsigned flags;
};

// One call of EngineUi::reportfailure.
struct Failure {
    int reason;
    int result;
    std::string member; // empty for the archive as a whole
    int syserror;
};

// What one run did.
struct RunRecord {
    int result = -1;
    std::vector<Message> messages;
    int askcount = 0;
    int passwordprompts = 0;
    int progresscalls = 0;
    unsigned long long bytesdone = 0;     // as the last progress report gave it
    std::vector<std::string> items;       // file list 301 after the run
    std::vector<std::string> lookups;     // texts the engine looked up in it (finditem), in order
    std::vector<std::string> dirlist;     // folders the engine made
    std::vector<std::string> filelist;    // every output file written
    std::vector<std::string> newfilelist; // those made where no file stood before
    std::vector<Failure> failures;
    bool hasmessage(const std::string& part) const;
    // True when reason was reported (for member, when one is given).
    bool hasfailure(int reason, const std::string& member = "") const;
};

// Runs extractarchive on archive into destination (empty: no destination).
RunRecord runengine(const std::string& archive, const std::string& destination,
                    const RunOptions& options = RunOptions());

// Every file and folder under root: relative path with "/" -> contents ("<dir>" for folders).
std::map<std::string, std::string> readtree(const fs::path& root);

std::string readfile(const fs::path& path);
void writefile(const fs::path& path, const std::string& bytes);

// Writes an archive's bytes as "archive.zip" into folder; returns its path.
std::string savearchive(const TempDir& folder, const std::string& bytes);

// Every path under folder (relative, "/"-separated), folders and links included: taken
// before and after a run, it shows whatever the run made outside the destination.
std::set<std::string> scantree(const fs::path& folder);

// A run into a fresh destination "root" inside a fresh parent folder, with the parent
// scanned before and after.
struct ContainedRun {
    RunRecord record;
    std::map<std::string, std::string> tree; // the destination afterwards
    std::vector<std::string> outside;        // paths the run made beside the destination
};
ContainedRun runcontained(const std::string& archive, const RunOptions& options = RunOptions());

// Contents of an archive's members as Python's zipfile or 7-Zip stored them: the tree that
// 7zz x makes of it (host only; empty on Win32).
bool sevenzipextract(const std::string& archive, const fs::path& into);

} // namespace enginetest
