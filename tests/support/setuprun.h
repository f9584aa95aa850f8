// Packages made in a test and run under Wine: the real stub, its dialogs found and driven
// through the UI test library.
#pragma once

#include "tests/uitest/uitest.h"

#include "resources/resource.h"
#include "startup/optionsblock.h"
#include "startup/textblock.h"
#include "tools/package/optionsencoder.h"
#include "tools/text/texttable.h"
#include "tools/zip/zipwriter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace setuprun {

namespace fs = std::filesystem;

// What goes into a package: its texts, options and archive.
struct Package {
    std::vector<std::string> texts = shippedtable("english").texts;
    PackageOptions options;
    std::string archive; // a whole ZIP archive, offsets from its own start
    // Changes the assembled package's bytes (a damage behind the blocks); archivestart is
    // the archive's offset in them.
    void (*damage)(std::string& bytes, size_t archivestart) = nullptr;
};

// A stored archive of these members (names with "/", a trailing "/" makes a folder).
std::string archiveof(const std::vector<ZipMember>& members,
                      const ZipWriterSettings& settings = {});

// The program test packages run as their after-extraction command (tests/uitest/commandprobe),
// as a member named name.
ZipMember commandprobe(const std::string& name = "commandprobe.exe");

// An archive of these files encrypted with password by the builder's encryption.
std::string encrypted(const std::map<std::string, std::string>& contents,
                      const std::string& password);

// Members named name -> contents, all files.
std::vector<ZipMember> files(const std::map<std::string, std::string>& contents);

std::string readfile(const fs::path& path);
void writefile(const fs::path& path, const std::string& bytes);

// Every file and folder under root: relative UTF-8 path with "/" -> contents ("<dir>" for
// folders).
std::map<std::string, std::string> tree(const fs::path& root);

// The dialogs of a running package. Each waits up to the UI library's default timeout and
// returns null when the window does not come (or the package ended).
HWND waitmain(const uitest::Process& run, const std::string& caption);
HWND waitprogress(const uitest::Process& run); // the progress dialog, visible
HWND waitquestion(const uitest::Process& run); // the progress dialog asking about a file
HWND waitpassword(const uitest::Process& run);
// The folder browser the main dialog's "..." opens: the package's visible window other than
// the main dialog.
HWND waitbrowser(const uitest::Process& run, HWND dialog);

// The progress dialog's layout: question (Yes and No shown) or progress (Cancel shown).
bool showsquestion(HWND progress);

// Waits for a message box, checks what it shows and answers it with the button answer.
void expectbox(const uitest::Process& run, const std::string& text, const std::string& caption,
               unsigned icon, int answer = IDOK);

// A package's text with its placeholder filled, as a translator reads it.
std::string filled(std::string text, const std::string& value);

// Waits up to timeout milliseconds until condition() holds; returns whether it did.
template <typename Condition>
bool eventually(Condition condition, int timeout = uitest::kDefaultTimeout) {
    for (int waited = 0; waited <= timeout; waited += 50) {
        if (condition()) return true;
        Sleep(50);
    }
    return false;
}

// Waits until the main dialog has entered its failed state (Extract and the rest disabled,
// Cancel usable).
bool waitfailedstate(HWND dialog);

// A key pressed in a window of another program (the message goes through its queue).
void presskey(HWND window, int key);

// A registry value a test sets in the prefix, put back as it was afterwards: when key did not
// exist, the key created (below root, an ancestor of key or key itself) is deleted with
// everything in it; else the value's earlier text is restored, or the value deleted.
class RegistryValue {
  public:
    RegistryValue(HKEY root, const std::string& key, const std::string& name,
                  const std::string& value, const std::string& created);
    ~RegistryValue();
    RegistryValue(const RegistryValue&) = delete;
    RegistryValue& operator=(const RegistryValue&) = delete;

  private:
    HKEY root_;
    std::string key_, name_, created_, previous_;
    bool keyexisted_ = false, valueexisted_ = false;
};

// The test's current folder, which the packages it starts inherit, for a while.
class CurrentFolder {
  public:
    explicit CurrentFolder(const fs::path& folder) : previous_(fs::current_path()) {
        fs::current_path(folder);
    }
    ~CurrentFolder() { fs::current_path(previous_); }

  private:
    fs::path previous_;
};

// A folder of the test's own, with the package, its destination and what the test puts there;
// removed with everything in it afterwards.
class SetupRun : public ::testing::Test {
  protected:
    fs::path folder;

    void SetUp() override;
    void TearDown() override;

    // The folder the packages of this test extract to (not made in advance).
    fs::path destination() const { return folder / "dest"; }

    // Writes the package and returns its path. The options' folder defaults to destination().
    std::string build(Package package, const std::string& name = "setup.exe");

    // A package's text of a role.
    static const std::string& text(const Package& package, UiTextId id) {
        return package.texts[id];
    }
};

// The destination's files afterwards, with the install log left out when it is asked for.
std::map<std::string, std::string> extracted(const fs::path& destination, bool withlog = false);

} // namespace setuprun
