// Names of every script through the real stub under Wine. ctest runs this program twice:
// with the system's ANSI code page 1252 and with 932 (Wine takes it from LC_ALL), and on both
// every member comes out with its own name, through "/s /d" and through the dialog, whose
// lists show the names. Also: a destination and a command in folders of such names, members
// that land on one file, a destination deeper than MAX_PATH, the install log, and a name the
// file system refuses.
#include "tests/support/rawzip.h"
#include "tests/support/setuprun.h"

#include "common/zipformat.h"

#include <set>

namespace {

using namespace setuprun;
using Tree = std::map<std::string, std::string>;

// The seven names as a Python writer stores them (bit 11 on all but the plain one), and two
// that only a Unicode path field (0x7075) gives, over stored names of another code page.
const char* const kFlagged[] = {
    "\xE6\x97\xA5\xE6\x9C\xAC.txt",
    "\xE4\xB8\xAD\xE5\x9B\xBD.txt",
    "\xCE\x95\xCE\xBB\xCE\xBB\xCE\xB7\xCE\xBD\xCE\xB9\xCE\xBA\xCE\xAC.txt",
    "\xD0\xA0\xD1\x83\xD1\x81\xD1\x81\xD0\xBA\xD0\xB8\xD0\xB9.txt",
    "emoji\xF0\x9F\x98\x80.txt",
    "caf\xC3\xA9.txt"};
const char kPlain[] = "plain.txt";
const std::pair<const char*, const char*> kByField[] = {
    {"K\xC3\xA4se \xE6\x97\xA5\xE6\x9C\xAC.txt", "K\x84se ??.txt"},
    {"docs/\xCE\xB1\xCE\xB2.txt", "docs/ab.txt"}};

std::string namesarchive() {
    std::vector<rawzip::Member> members;
    for (const char* name : kFlagged) {
        members.push_back(rawzip::file(name, name));
        members.back().flags = kFlagUtf8;
    }
    members.push_back(rawzip::file(kPlain, kPlain));
    for (const auto& [utf8, stored] : kByField) {
        members.push_back(rawzip::file(stored, utf8));
        members.back().extra = rawzip::unicodepathfield(utf8, stored);
    }
    return rawzip::archive(members);
}

Tree expectednames() {
    Tree tree = {{kPlain, kPlain}, {"docs", "<dir>"}};
    for (const char* name : kFlagged) tree[name] = name;
    for (const auto& byfield : kByField) tree[byfield.first] = byfield.first;
    return tree;
}

const std::string kNonAscii = "Ziel \xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC";

class UnicodeNames : public SetupRun {
  protected:
    Package names() {
        Package package;
        package.archive = namesarchive();
        return package;
    }
};

// "/s /d" into a folder of such a name: every member under its own name.
TEST_F(UnicodeNames, EveryNameComesOutSilently) {
    fs::path target = folder / fs::u8path(kNonAscii);
    uitest::Process run(build(names()), "/s /d " + target.u8string());
    EXPECT_EQ(run.waitexit(60000), 0);
    EXPECT_EQ(extracted(target), expectednames());
}

// The dialog's lists show every name as it is, and Extract writes them so.
TEST_F(UnicodeNames, TheDialogShowsAndWritesEveryName) {
    uitest::Process run(build(names()));
    HWND dialog = waitmain(run, "Setup Test");
    ASSERT_NE(dialog, nullptr);
    std::set<std::string> listed;
    for (const std::string& item : uitest::listitems(dialog, IDC_FILELIST_DISPLAY))
        listed.insert(item);
    std::set<std::string> expected;
    for (const auto& [name, contents] : expectednames())
        if (contents != "<dir>") expected.insert(name);
    EXPECT_EQ(listed, expected);
    uitest::click(dialog, IDC_EXTRACT);
    expectbox(run, text(names(), kTextCompleted), "Setup Test", MB_ICONINFORMATION);
    EXPECT_EQ(run.waitexit(), 0);
    EXPECT_EQ(extracted(destination()), expectednames());
}

// A text in this system's ANSI code page, in which a package made for it holds its texts.
std::string ansi(const wchar_t* text) {
    char bytes[256] = "";
    WideCharToMultiByte(CP_ACP, 0, text, -1, bytes, sizeof bytes, nullptr, nullptr);
    return bytes;
}

// The command runs in the destination with parameters of such characters: the package's
// default folder (a macro, then a name in the package's code page, made for this system) and
// a "/d" folder of any script. The package's texts are in its code page; the command line is
// not.
TEST_F(UnicodeNames, TheCommandRunsInAFolderOfAnyName) {
    bool japanese = GetACP() == 932;
    const wchar_t* local = japanese ? L"Ziel \u65E5\u672C" : L"Ziel \u00E9";
    Package package;
    package.options.folder = "%TEMP%\\" + folder.filename().string() + "\\" + ansi(local);
    package.options.command = "{P}\\commandprobe.exe|" + ansi(japanese ? L"\u6570" : L"\u00E4rg");
    package.archive = archiveof({commandprobe()});
    std::string exe = build(package);
    const struct {
        std::string arguments;
        fs::path destination;
    } kRuns[] = {
        {"/s", folder / fs::path(local)},
        {"/s /d " + (folder / fs::u8path(kNonAscii)).u8string(), folder / fs::u8path(kNonAscii)}};
    for (const auto& r : kRuns) {
        SCOPED_TRACE(r.arguments);
        uitest::Process run(exe, r.arguments);
        EXPECT_EQ(run.waitexit(60000), 0);
        fs::path record = r.destination / "probe.txt";
        eventually([&] { return fs::exists(record) && fs::file_size(record) > 0; }, 30000);
        std::string text = readfile(record);
        size_t end = text.find("\r\n");
        ASSERT_NE(end, std::string::npos) << text;
        EXPECT_EQ(text.substr(0, end), japanese ? "\xE6\x95\xB0" : "\xC3\xA4rg");
        std::string where = text.substr(end + 2, text.find("\r\n", end + 2) - end - 2);
        EXPECT_TRUE(fs::equivalent(fs::u8path(where), r.destination)) << where;
    }
}

// Two members that land on one file (names that differ in case only): the second follows
// the overwrite mode of "/s", and the run ends with the folder error and exit code 1.
TEST_F(UnicodeNames, MembersThatLandOnOneFileFailTheRun) {
    Package package;
    package.archive = archiveof(files({{"README.txt", "first"}, {"readme.txt", "second"}}));
    uitest::Process run(build(package), "/s");
    expectbox(run, text(package, kTextFolderError) + "\r\n" + text(package, kTextNotExtracted),
              "Setup Test", MB_ICONERROR);
    EXPECT_EQ(run.waitexit(), 1);
    Tree files = extracted(destination());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files.begin()->second, "second");
}

// A destination of 300 characters and more: the stub takes it to the system in the long form.
TEST_F(UnicodeNames, ADestinationDeeperThanMaxPath) {
    fs::path target = folder;
    for (int i = 0; target.wstring().size() < 300; i++)
        target /= fs::u8path("Ordner " + std::to_string(i) + " \xC3\xA9" + std::string(40, 'x'));
    Package package;
    package.archive = archiveof(files({{"deep.txt", "deep"}, {"sub/deeper.txt", "deeper"}}));
    uitest::Process run(build(package), "/s /d " + target.u8string());
    EXPECT_EQ(run.waitexit(60000), 0);
    for (const char* name : {"deep.txt", "sub\\deeper.txt"}) {
        std::wstring path = L"\\\\?\\" + (target / name).wstring();
        EXPECT_NE(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES) << name;
    }
}

// The install log holds every name whole: UTF-8 behind a byte-order mark, since no ANSI code
// page holds them all.
TEST_F(UnicodeNames, TheInstallLogKeepsEveryName) {
    Package package = names();
    package.options.flagsb = kFlagWriteLog;
    uitest::Process run(build(package), "/s");
    EXPECT_EQ(run.waitexit(60000), 0);
    std::string log = readfile(destination() / "install.log");
    EXPECT_EQ(log.substr(0, 3), "\xEF\xBB\xBF");
    for (const auto& [name, contents] : expectednames()) {
        std::string line =
            (contents == "<dir>" ? "D+" : "F+") + destination().u8string() + "\\" + name + "\r\n";
        for (char& c : line)
            if (c == '/') c = '\\';
        EXPECT_NE(log.find(line), std::string::npos) << name;
    }
}

// Whether the file system here takes a name with "é" (Wine's C locale holds no such character
// and refuses it).
bool takesaccents(const fs::path& folder) {
    std::wstring probe = (folder / fs::u8path("\xC3\xA9.probe")).wstring();
    HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

// A name the file system refuses (ctest runs this test once more under Wine's C locale): the
// run goes on with the other members and ends with the folder error and exit code 1, once its
// message is answered.
TEST_F(UnicodeNames, ANameTheFileSystemRefusesFailsTheRunWithItsReason) {
    if (takesaccents(folder)) GTEST_SKIP() << "this file system takes every name";
    Package package;
    package.archive = archiveof(files({{"caf\xC3\xA9.txt", "coffee"}, {"plain.txt", "plain"}}));
    uitest::Process run(build(package), "/s");
    expectbox(run, text(package, kTextFolderError) + "\r\n" + text(package, kTextNotExtracted),
              "Setup Test", MB_ICONERROR);
    EXPECT_EQ(run.waitexit(), 1);
    EXPECT_EQ(extracted(destination())["plain.txt"], "plain");
}

} // namespace
