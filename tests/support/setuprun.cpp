// Packages made in a test and run under Wine (see setuprun.h).
#include "tests/support/setuprun.h"

#include "tests/support/removetree.h"
#include "tools/package/packagewriter.h"
#include "tools/zip/zipcrypto.h"

#include <fstream>
#include <random>
#include <sstream>

namespace setuprun {

namespace {

// Paths compiled in are Linux paths; Wine shows the Linux root as drive Z:.
fs::path hostpath(const char* path) {
    return fs::path(std::string("Z:") + path);
}

std::string stubimage() {
    return readfile(hostpath(ORV_BINARY_DIR) / "stub" / "stub.exe");
}

// The first visible window of the process for which test holds.
template <typename Test>
HWND waitfor(const uitest::Process& run, Test test) {
    HWND found = nullptr;
    eventually([&] {
        for (HWND window : run.windows())
            if (!found && test(window)) found = window;
        return found || !run.running();
    });
    return found;
}

bool isprogress(HWND window) {
    return GetDlgItem(window, IDC_QUESTION_DONTASK) != nullptr;
}

} // namespace

std::string archiveof(const std::vector<ZipMember>& members, const ZipWriterSettings& settings) {
    return writezip(members, 0, "", settings);
}

std::string encrypted(const std::map<std::string, std::string>& contents,
                      const std::string& password) {
    ZipWriterSettings settings;
    settings.password = password;
    settings.headersource = derivedheadersource(password);
    return archiveof(files(contents), settings);
}

ZipMember commandprobe(const std::string& name) {
    ZipMember member;
    member.name = name;
    member.data = readfile(hostpath(ORV_BINARY_DIR) / "tests" / "commandprobe.exe");
    member.mtime = 1700000000;
    EXPECT_FALSE(member.data.empty()) << "the command probe is built beside the tests";
    return member;
}

std::vector<ZipMember> files(const std::map<std::string, std::string>& contents) {
    std::vector<ZipMember> members;
    for (const auto& [name, data] : contents) {
        ZipMember member;
        member.name = name;
        member.data = data;
        member.mtime = 1700000000;
        members.push_back(member);
    }
    return members;
}

std::string readfile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writefile(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary).write(bytes.data(), (std::streamsize)bytes.size());
}

std::map<std::string, std::string> tree(const fs::path& root) {
    std::map<std::string, std::string> found;
    std::error_code error;
    for (auto& entry : fs::recursive_directory_iterator(root, error)) {
        std::string name = entry.path().lexically_relative(root).generic_u8string();
        found[name] = entry.is_directory() ? "<dir>" : readfile(entry.path());
    }
    return found;
}

std::map<std::string, std::string> extracted(const fs::path& destination, bool withlog) {
    std::map<std::string, std::string> found = tree(destination);
    if (!withlog) found.erase("install.log");
    return found;
}

HWND waitmain(const uitest::Process& run, const std::string& caption) {
    return waitfor(run, [&](HWND window) {
        return uitest::windowtext(window) == caption && GetDlgItem(window, IDC_FOLDER) &&
               !isprogress(window) && !uitest::ismessagebox(window);
    });
}

HWND waitprogress(const uitest::Process& run) {
    return waitfor(run, isprogress);
}

bool showsquestion(HWND progress) {
    return uitest::controlvisible(progress, IDC_QUESTION_YES) &&
           !uitest::controlvisible(progress, IDC_CANCEL);
}

HWND waitquestion(const uitest::Process& run) {
    return waitfor(run, [](HWND window) { return isprogress(window) && showsquestion(window); });
}

HWND waitpassword(const uitest::Process& run) {
    return waitfor(run, [](HWND window) {
        HWND field = GetDlgItem(window, IDC_PASSWORD);
        return field && (GetWindowLongA(field, GWL_STYLE) & ES_PASSWORD) && !isprogress(window);
    });
}

HWND waitbrowser(const uitest::Process& run, HWND dialog) {
    return waitfor(run, [&](HWND window) { return window != dialog; });
}

void expectbox(const uitest::Process& run, const std::string& text, const std::string& caption,
               unsigned icon, int answer) {
    HWND box = run.waitmessagebox();
    ASSERT_NE(box, nullptr) << "no message box for " << text;
    uitest::MessageBoxContent shown = uitest::readmessagebox(box);
    EXPECT_EQ(shown.text, text);
    EXPECT_EQ(shown.caption, caption);
    EXPECT_EQ(shown.icon, icon);
    uitest::answermessagebox(box, answer);
    uitest::waitgone(box);
}

std::string filled(std::string text, const std::string& value) {
    size_t at = text.find("%s");
    return at == std::string::npos ? text : text.replace(at, 2, value);
}

bool waitfailedstate(HWND dialog) {
    // The dialog disables its controls one by one, Extract first and the command's check box
    // last; a test that looks at them from its own process must wait for the last one.
    return eventually([&] {
        return !uitest::controlenabled(dialog, IDC_EXTRACT) &&
               !uitest::controlenabled(dialog, IDC_RUNCOMMAND) &&
               uitest::controlenabled(dialog, IDC_CANCEL) &&
               uitest::controlvisible(dialog, IDC_FILELIST_CHOICE);
    });
}

void presskey(HWND window, int key) {
    HWND focus = window;
    DWORD thread = GetWindowThreadProcessId(window, nullptr);
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (GetGUIThreadInfo(thread, &info) && info.hwndFocus) focus = info.hwndFocus;
    PostMessageA(focus, WM_KEYDOWN, key, 1);
    PostMessageA(focus, WM_KEYUP, key, 0xC0000001);
}

RegistryValue::RegistryValue(HKEY root, const std::string& key, const std::string& name,
                             const std::string& value, const std::string& created)
    : root_(root), key_(key), name_(name), created_(created) {
    HKEY opened;
    keyexisted_ = RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &opened) == ERROR_SUCCESS;
    if (keyexisted_) {
        char text[1024];
        DWORD size = sizeof text - 1, type = 0;
        valueexisted_ = RegQueryValueExA(opened, name.c_str(), nullptr, &type, (BYTE*)text,
                                         &size) == ERROR_SUCCESS &&
                        type == REG_SZ;
        if (valueexisted_) previous_.assign(text, size && !text[size - 1] ? size - 1 : size);
        RegCloseKey(opened);
    }
    EXPECT_EQ(
        RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &opened, nullptr),
        ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(opened, name.c_str(), 0, REG_SZ, (const BYTE*)value.c_str(),
                             DWORD(value.size() + 1)),
              ERROR_SUCCESS);
    RegCloseKey(opened);
}

RegistryValue::~RegistryValue() {
    if (!keyexisted_) {
        RegDeleteTreeA(root_, created_.c_str());
        return;
    }
    HKEY opened;
    if (RegOpenKeyExA(root_, key_.c_str(), 0, KEY_WRITE, &opened) != ERROR_SUCCESS) return;
    if (valueexisted_)
        RegSetValueExA(opened, name_.c_str(), 0, REG_SZ, (const BYTE*)previous_.c_str(),
                       DWORD(previous_.size() + 1));
    else
        RegDeleteValueA(opened, name_.c_str());
    RegCloseKey(opened);
}

void SetupRun::SetUp() {
    std::random_device seed;
    folder = fs::temp_directory_path() / ("orv_setup_" + std::to_string(seed()));
    fs::create_directories(folder);
}

void SetupRun::TearDown() {
    testsupport::removetree(folder);
}

std::string SetupRun::build(Package package, const std::string& name) {
    if (package.options.folder.empty()) package.options.folder = destination().string();
    if (package.options.title.empty()) package.options.title = "Setup Test";
    if (package.archive.empty()) package.archive = archiveof(files({{"readme.txt", "hello"}}));
    PackageLayout layout;
    std::string bytes = assemblepackage(stubimage(), encodetextblock(textblockbody(package.texts)),
                                        encodeoptions(package.options), package.archive, &layout);
    if (package.damage) package.damage(bytes, layout.archiveoffset);
    fs::path path = folder / name;
    writefile(path, bytes);
    return path.string();
}

} // namespace setuprun
