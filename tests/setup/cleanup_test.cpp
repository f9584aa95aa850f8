// The clean-up after a cancelled run or a self-cleaning package: it removes the files the
// run made inside the destination and the folders it made, and never anything else.
#include "setup/cleanup.h"

#include "common/stringlists.h"
#include "tests/support/enginetestkit.h"
#include "tools/zip/zipwriter.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace enginetest;

namespace {

std::string normalised(const std::string& path, size_t size = kCleanupPath) {
    std::vector<char> out(size);
    return normalisepath(path.c_str(), out.data(), size) ? std::string(out.data()) : "<refused>";
}

TEST(NormalisePath, UnifiesSeparatorsAndResolvesDots) {
    EXPECT_EQ(normalised("C:\\Apps\\.\\Demo\\..\\Tool\\x.exe"), "C:/Apps/Tool/x.exe");
    EXPECT_EQ(normalised("/tmp//dest/./sub/"), "/tmp/dest/sub");
    EXPECT_EQ(normalised("C:\\"), "C:/");
    EXPECT_EQ(normalised("C:\\a\\.."), "C:/");
    EXPECT_EQ(normalised("dest/a/../b"), "dest/b");
    EXPECT_EQ(normalised("C:rel\\x"), "C:rel/x");
}

TEST(NormalisePath, RefusesClimbingAboveTheRootAndResultsThatDoNotFit) {
    EXPECT_EQ(normalised("C:\\.."), "<refused>");
    EXPECT_EQ(normalised("/a/../../etc/passwd"), "<refused>");
    EXPECT_EQ(normalised("dest/../../x"), "<refused>");
    // "/abc" needs 5 bytes with its NUL: it fits 5 exactly and not 4.
    EXPECT_EQ(normalised("/abc", 5), "/abc");
    EXPECT_EQ(normalised("/abc", 4), "<refused>");
}

TEST(PathInside, OnlyWhatLiesBelowTheFolder) {
    EXPECT_TRUE(pathinside("C:/Dest/readme.txt", "C:\\Dest\\"));
    EXPECT_TRUE(pathinside("c:\\dest\\SUB\\a.txt", "C:/DEST"));
    EXPECT_TRUE(pathinside("C:/x.txt", "C:\\"));
    EXPECT_FALSE(pathinside("C:/Dest", "C:/Dest/"));           // the folder itself
    EXPECT_FALSE(pathinside("C:/Dest/", "C:/Dest"));           // the folder itself
    EXPECT_FALSE(pathinside("C:/Destination/x", "C:/Dest"));   // a sibling with a longer name
    EXPECT_FALSE(pathinside("C:/Dest/../x.txt", "C:/Dest/"));  // climbs out
    EXPECT_FALSE(pathinside("C:/Dest/a/../../x", "C:/Dest/")); // climbs out deeper
    EXPECT_FALSE(pathinside("D:/Dest/x", "C:/Dest/"));         // another drive
    EXPECT_FALSE(pathinside("C:/x/../../y", "C:/"));           // above the root
}

class Cleanup : public ::testing::Test {
  protected:
    TempDir parent;
    fs::path destination = parent.path() / "dest";
    fs::path outside = parent.path() / "outside.txt";
    int files = 0, folders = 0;

    void SetUp() override {
        fs::create_directory(destination);
        write(outside, "the user's file beside the destination");
        listinit();
        files = listcreate();
        folders = listcreate();
    }
    void TearDown() override { listfreeall(); }

    static void write(const fs::path& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    void add(int list, const std::vector<std::string>& paths) {
        for (const std::string& path : paths) listadd(list, path.c_str());
    }
    void clean() { removeextracted((destination.string() + "/").c_str(), files, folders); }
};

TEST_F(Cleanup, RemovesListedFilesThenFoldersLastMadeFirst) {
    fs::create_directories(destination / "a" / "b");
    write(destination / "a" / "b" / "one.txt", "1");
    write(destination / "two.txt", "2");
    add(files, {(destination / "a/b/one.txt").string(), (destination / "two.txt").string()});
    add(folders, {(destination / "a").string(), (destination / "a/b").string()});
    clean();
    EXPECT_TRUE(fs::is_empty(destination));
    EXPECT_TRUE(fs::exists(outside));
}

TEST_F(Cleanup, NeverDeletesOutsideTheDestination) {
    add(files, {destination.string() + "/../outside.txt", outside.string(),
                destination.string() + "/sub/../../outside.txt"});
    clean();
    EXPECT_EQ(readfile(outside), "the user's file beside the destination");
}

TEST_F(Cleanup, FolderHoldingSomethingStaysAndAnEntryTooLongIsSkipped) {
    fs::create_directory(destination / "docs");
    write(destination / "docs" / "notes.txt", "kept");
    write(destination / "made.txt", "made");
    add(folders, {(destination / "docs").string()});
    // Cut to the buffer, this entry would name made.txt; whole, it names nothing that exists.
    std::string made = (destination / "made.txt").string();
    std::string longentry = made + std::string(kCleanupPath - made.size(), 'x');
    ASSERT_EQ(longentry.size(), size_t(kCleanupPath));
    add(files, {longentry});
    clean();
    EXPECT_EQ(readfile(destination / "docs" / "notes.txt"), "kept");
    EXPECT_EQ(readfile(destination / "made.txt"), "made");
}

TEST_F(Cleanup, ReadOnlyFileMadeByTheRunGoes) {
    fs::path file = destination / "locked.txt";
    write(file, "r");
    fs::permissions(file, fs::perms::owner_read);
    add(files, {file.string()});
    clean();
    EXPECT_FALSE(fs::exists(file));
}

ZipMember member(const std::string& name, const std::string& data) {
    ZipMember m;
    m.name = name;
    m.data = data;
    m.mtime = 1600000000;
    return m;
}

// A run over a crafted archive, then the clean-up with the lists the engine filled: names
// that climb out, a member the user's own file stands in the way of (skipped), names that
// differ only in case, the same name twice. Afterwards the destination holds the user's file
// alone and nothing beside it changed.
TEST_F(Cleanup, AfterARunOverACraftedArchiveOnlyTheUsersFilesRemain) {
    write(destination / "keep.txt", "the user's own");
    std::string archive = (parent.path() / "crafted.zip").string();
    write(archive, writezip({member("../outside.txt", "replaced?"), member("keep.txt", "new"),
                             member("Keep.TXT", "case"), member("sub/deep/a.txt", "a"),
                             member("dup.txt", "first"), member("dup.txt", "second"),
                             member("..\\..\\outside.txt", "again?")}));
    RunOptions options;
    options.overwriteanswer = 0; // keep what stands there
    RunRecord run = runengine(archive, destination.string() + "/", options);
    ASSERT_FALSE(run.newfilelist.empty());
    listinit();
    files = listcreate();
    folders = listcreate();
    add(files, run.newfilelist);
    add(folders, run.dirlist);
    clean();
    EXPECT_EQ(readfile(outside), "the user's file beside the destination");
    std::set<std::string> expected = {"keep.txt"};
    EXPECT_EQ(scantree(destination), expected);
    EXPECT_EQ(readfile(destination / "keep.txt"), "the user's own");
    EXPECT_EQ(scantree(parent.path()),
              (std::set<std::string>{"crafted.zip", "dest", "dest/keep.txt", "outside.txt"}));
}

} // namespace
