// Name mapping: stored names become safe paths under the extraction root. The traversal
// corpus checks that nothing is ever created outside the root, in both builds.
#include "platform/codepage.h"
#include "tests/support/enginetestkit.h"
#include "tests/support/rawzip.h"

#include <string.h>

#include <gtest/gtest.h>

using namespace enginetest;

namespace {

using Tree = std::map<std::string, std::string>;

// Every path under folder (relative, "/"-separated), folders included.
std::set<std::string> scan(const fs::path& folder) {
    std::set<std::string> names;
    for (auto& entry : fs::recursive_directory_iterator(folder))
        names.insert(entry.path().lexically_relative(folder).generic_string());
    return names;
}

std::set<std::string> names(const Tree& tree) {
    std::set<std::string> out;
    for (auto& item : tree) out.insert(item.first);
    return out;
}

TEST(NameMapping, TraversalCorpusStaysInsideRoot) {
    TempDir outer;
    fs::path root = outer.path() / "root";
    fs::create_directory(root);
    fs::create_directory(outer.path() / "sibling");
    std::set<std::string> before = scan(outer.path());
    RunRecord run = runengine(fixture("traversal.zip"), root.string());
    EXPECT_EQ(run.result, kResultArchiveError);

    std::set<std::string> after = scan(outer.path());
    for (const std::string& name : after)
        EXPECT_TRUE(before.count(name) || name.rfind("root/", 0) == 0) << "outside: " << name;
    for (const char* absolute : {"/abs09.txt", "/abs10.txt", "/abs11.txt", "/tmp/evil21.txt",
                                 "C:/evil12.txt", "C:/evil18.txt", "C:evil13.txt"})
        EXPECT_FALSE(fs::exists(absolute)) << absolute;

    Tree tree = readtree(root);
    std::set<std::string> expected = {"evil01.txt",
                                      "evil02.txt",
                                      "evil03.txt",
                                      "evil04.txt",
                                      "a",
                                      "a/evil05.txt",
                                      "a/evil06.txt",
                                      "evil07.txt",
                                      "evil08.txt",
                                      "abs09.txt",
                                      "abs10.txt",
                                      "abs11.txt",
                                      "C_",
                                      "C_/evil12.txt",
                                      "C_evil13.txt",
                                      "server",
                                      "server/share",
                                      "server/share/evil14.txt",
                                      "evil15.txt",
                                      "x",
                                      "x/evil16.txt",
                                      "evil17.txt",
                                      "C_/evil18.txt",
                                      "sub",
                                      "_con",
                                      "_nul.txt",
                                      "_aux",
                                      "_aux/evil19.txt",
                                      "_com1",
                                      "_lpt1.txt",
                                      "ok",
                                      "ok/evil20.txt",
                                      "tmp",
                                      "tmp/evil21.txt",
                                      "evil22.txt"};
    EXPECT_EQ(names(tree), expected);
    EXPECT_EQ(tree["a/evil06.txt"], "payload a\\..\\..\\evil06.txt");
    EXPECT_EQ(tree["server/share/evil14.txt"], "payload \\\\server\\share\\evil14.txt");
    EXPECT_TRUE(run.hasmessage("conversion of .. failed"));
    for (const std::string& file : run.filelist)
        EXPECT_EQ(file.rfind(root.string(), 0), 0u) << file;
}

TEST(NameMapping, DeviceNamesGetUnderscore) {
    TempDir dir;
    EXPECT_EQ(runengine(fixture("devices.zip"), dir.str()).result, kResultOk);
    EXPECT_EQ(
        names(readtree(dir.path())),
        (std::set<std::string>{"_con", "_nul.txt", "_aux", "_aux/readme", "_com1.log", "_LPT1",
                               "_Prn.tar.gz", "dir", "dir/_nul", "console.txt", "com10.txt"}));
    EXPECT_EQ(readfile(dir.path() / "_aux" / "readme"), "aux/readme");
}

// COM0, LPT0 and the ports numbered with superscript one to three (code page 1252 bytes
// 0xB9, 0xB2, 0xB3) are devices too, with or without an extension; longer names are not.
// The names are checked in the engine's own list of created files, which holds them as
// name text (ANSI on Win32, UTF-8 on POSIX).
TEST(NameMapping, ZeroAndSuperscriptPortsGetUnderscore) {
    TempDir outer;
    fs::path root = outer.path() / "root";
    fs::create_directory(root);
    std::set<std::string> before = scantree(outer.path());
    RunRecord run = runengine(fixture("devices1252.zip"), root.string());
    EXPECT_EQ(run.result, kResultOk);
    std::set<std::string> created;
    for (const std::string& path : run.filelist) {
        ASSERT_EQ(path.rfind(root.string() + "/", 0), 0u) << path;
        created.insert(path.substr(root.string().size() + 1));
    }
    std::set<std::string> expected;
    for (const char* ansi : {"_COM0", "_lpt0.txt", "_COM\xB9", "_com\xB2.log", "_COM\xB3",
                             "_LPT\xB9", "_lpt\xB2.txt", "_LPT\xB3",
                             "COM\xB9"
                             "0",
                             "xCOM\xB9", "COM0x"}) {
        char text[64];
        platform::ansitoname(ansi, static_cast<unsigned>(strlen(ansi)), text, sizeof text);
        expected.insert(text);
    }
    EXPECT_EQ(created, expected);
    for (const std::string& name : scantree(outer.path()))
        EXPECT_TRUE(before.count(name) || name.rfind("root/", 0) == 0) << "outside: " << name;
}

TEST(NameMapping, VersionSuffixesAreCut) {
    TempDir dir;
    EXPECT_EQ(runengine(fixture("semicolon.zip"), dir.str()).result, kResultOk);
    Tree tree = readtree(dir.path());
    EXPECT_EQ(names(tree), (std::set<std::string>{"notes.txt", "file", "notes;b2", "a;b", "ver;1",
                                                  "ver;1/x.txt"}));
    EXPECT_EQ(tree["notes.txt"], "notes.txt;12");
}

TEST(NameMapping, ForbiddenCharactersAndDotComponents) {
    TempDir dir;
    EXPECT_EQ(runengine(fixture("chars.zip"), dir.str()).result, kResultOk);
    EXPECT_EQ(names(readtree(dir.path())),
              (std::set<std::string>{"what_.txt", "a_b", "x_y", "tabname.txt", "q_uote___.txt",
                                     "my file.txt", "a", "a/b.txt", "x.txt", "dir", "dir/sub",
                                     "dir/sub/back.txt"}));
}

#ifndef _WIN32
// The POSIX layer reports an 8.3-only volume on request, so the short names and the space
// rule run on Linux too.
TEST(NameMapping, ShortNameVolume) {
    TempDir dir;
    setenv("ORV_VOLUME", "8.3", 1);
    RunRecord run = runengine(fixture("volume83.zip"), dir.str());
    unsetenv("ORV_VOLUME");
    EXPECT_EQ(run.result, kResultOk);
    EXPECT_EQ(names(readtree(dir.path())),
              (std::set<std::string>{"Programs.Too", "Programs.Too/readme_f.txt", "_profile",
                                     "my_file.txt"}));
}
#endif

} // namespace

namespace {

// Every check of a name holds the same beside characters of any script: devices, dot
// components, drive and share forms, forbidden characters and the dots and spaces that end
// a component. The names are UTF-8 (bit 11), written through the system's wide calls on
// Win32.
TEST(NameMapping, NameChecksHoldBesideAnyCharacter) {
    const std::string nihon = "\xE6\x97\xA5\xE6\x9C\xAC", greek = "\xCE\x95\xCE\xBB",
                      e = "\xC3\xA9";
    const struct {
        std::string stored, written;
    } kCases[] = {
        {nihon + "/CON.txt", nihon + "/_CON.txt"},
        {"CON." + nihon, "_CON." + nihon},
        {greek + "/COM\xC2\xB9." + e, greek + "/_COM\xC2\xB9." + e},
        {e + "/../" + nihon + "1.txt", e + "/" + nihon + "1.txt"},
        {"../../" + greek + "2.txt", greek + "2.txt"},
        {"C:" + nihon + "3.txt", "C_" + nihon + "3.txt"},
        {"\\\\server\\share\\" + e + "4.txt", "server/share/" + e + "4.txt"},
        {nihon + "5. .", nihon + "5"},
        {"dir " + e + ". /x.txt", "dir " + e + "/x.txt"},
        {nihon + "?<" + e + ">.txt", nihon + "__" + e + "_.txt"},
    };
    std::vector<rawzip::Member> members;
    for (const auto& c : kCases) {
        rawzip::Member member = rawzip::file(c.stored, c.stored);
        member.flags = kFlagUtf8;
        members.push_back(member);
    }
    TempDir folder;
    ContainedRun run = runcontained(savearchive(folder, rawzip::archive(members)));
    EXPECT_TRUE(run.outside.empty());
    for (const auto& c : kCases) EXPECT_EQ(run.tree[c.written], c.stored) << c.stored;
}

} // namespace
