// The member loop: batches of 64, choice through the file list, list trimming, the entry
// checks and the run's final result.
#include "tests/support/enginetestkit.h"

#include <gtest/gtest.h>

using namespace enginetest;

namespace {

TEST(MemberLoop, MoreThanOneBatch) {
    TempDir dir;
    RunRecord run = runengine(fixture("many.zip"), dir.str());
    EXPECT_EQ(run.result, kResultOk);
    auto tree = readtree(dir.path());
    EXPECT_EQ(tree.size(), 151u); // the folder and 150 members
    for (int i : {0, 63, 64, 127, 128, 149}) {
        char name[32];
        snprintf(name, sizeof name, "many/f%03d.txt", i);
        std::string line = "member " + std::to_string(i) + "\n";
        std::string expected;
        for (int k = 0; k < i % 7 + 1; ++k) expected += line;
        EXPECT_EQ(tree[name], expected) << name;
    }
    EXPECT_EQ(run.filelist.size(), 150u);
}

TEST(MemberLoop, ListChoosesMembersAndIsTrimmed) {
    TempDir dir;
    RunOptions options;
    options.extractall = false;
    options.items = {"readme.txt", "exact64k.bin", "dir/data.bin"};
    options.selected = {0, 2};
    RunRecord run = runengine(fixture("stored.zip"), dir.str(), options);
    EXPECT_EQ(run.result, kResultOk);
    EXPECT_TRUE(fs::exists(dir.path() / "readme.txt"));
    EXPECT_TRUE(fs::exists(dir.path() / "dir" / "data.bin"));
    EXPECT_FALSE(fs::exists(dir.path() / "exact64k.bin"));
    EXPECT_FALSE(fs::exists(dir.path() / "dir" / "sub"));
    // Only the item of the last member handled in the batch is removed.
    EXPECT_EQ(run.items, (std::vector<std::string>{"readme.txt", "exact64k.bin"}));
}

// The setup hands the engine its destination with a trailing "/": the item is still the
// member's name, not the name without its first character.
TEST(MemberLoop, ADestinationEndingInASeparatorTrimsTheSameItem) {
    TempDir dir;
    RunOptions options;
    options.extractall = false;
    options.items = {"readme.txt", "exact64k.bin", "dir/data.bin", "ir/data.bin"};
    options.selected = {0, 2};
    RunRecord run = runengine(fixture("stored.zip"), dir.str() + "/", options);
    EXPECT_EQ(run.result, kResultOk);
    EXPECT_EQ(run.items, (std::vector<std::string>{"readme.txt", "exact64k.bin", "ir/data.bin"}));
}

TEST(MemberLoop, NothingSelectedGivesEleven) {
    TempDir dir;
    RunOptions options;
    options.extractall = false;
    options.items = {"readme.txt"};
    EXPECT_EQ(runengine(fixture("stored.zip"), dir.str(), options).result, kResultNoneSelected);
    EXPECT_TRUE(readtree(dir.path()).empty());
}

TEST(MemberLoop, NewerVersionIsRefusedWithEightyOne) {
    TempDir dir;
    RunRecord run = runengine(fixture("version45.zip"), dir.str());
    EXPECT_EQ(run.result, kResultNewerVersion);
    EXPECT_FALSE(fs::exists(dir.path() / "third.txt"));
    EXPECT_EQ(readfile(dir.path() / "fourth.txt"), "fourth\n");
}

// Host byte 2 asks whether to go on; without a "y" the member is refused, and with every
// existing file overwritten anyway nobody is asked.
TEST(MemberLoop, VersionOfHostTwoNeedsConsent) {
    TempDir asked, always;
    EXPECT_EQ(runengine(fixture("versionhost2.zip"), asked.str()).result, kResultNewerVersion);
    EXPECT_FALSE(fs::exists(asked.path() / "third.txt"));
    RunOptions options;
    options.overwrite = kPolicyOverwrite;
    EXPECT_EQ(runengine(fixture("versionhost2.zip"), always.str(), options).result, kResultOk);
    EXPECT_TRUE(fs::exists(always.path() / "third.txt"));
}

TEST(MemberLoop, ForeignSignatureMidwayGivesThree) {
    TempDir dir;
    RunRecord run = runengine(fixture("foreignsig.zip"), dir.str());
    EXPECT_EQ(run.result, kResultSevereError);
    EXPECT_EQ(readfile(dir.path() / "first.txt"), "first\n");
    EXPECT_TRUE(fs::exists(dir.path() / "second.txt"));
    EXPECT_FALSE(fs::exists(dir.path() / "third.txt"));
}

TEST(MemberLoop, DirectoryCutShortGivesFiftyOne) {
    TempDir dir;
    RunRecord run = runengine(fixture("cutcentral.zip"), dir.str());
    EXPECT_EQ(run.result, kResultEndOfArchive);
    EXPECT_EQ(readfile(dir.path() / "third.txt"), "third\nthird\nthird\nthird\nthird\n");
    EXPECT_FALSE(fs::exists(dir.path() / "fourth.txt"));
}

// A 301-byte name is cut to 259 bytes; the member is still extracted and the result is 1.
TEST(MemberLoop, OverlongNameIsCut) {
    TempDir dir;
    RunRecord run = runengine(fixture("longname.zip"), dir.str());
    std::string cut = "longdir/" + std::string(200, 'n') + "/" + std::string(50, 'f');
    EXPECT_GE(run.result, kResultWarning);
    EXPECT_TRUE(run.hasmessage("[ " + cut.substr(0, 20)));
    EXPECT_EQ(readfile(dir.path() / "after.txt"), "after");
#ifndef _WIN32
    EXPECT_EQ(run.result, kResultWarning);
    EXPECT_EQ(readfile(dir.path() / cut), "long name");
#endif
}

// 259 bytes is the longest name kept whole; 260 bytes loses its last byte with a warning.
TEST(MemberLoop, NameLengthEdge) {
    std::string kept = std::string(100, 'd') + "/" + std::string(158, 'f');
    TempDir whole;
    RunRecord run = runengine(fixture("name259.zip"), whole.str());
    EXPECT_FALSE(run.hasmessage("[ "));
#ifndef _WIN32
    EXPECT_EQ(run.result, kResultOk);
    EXPECT_EQ(readfile(whole.path() / kept), "edge");
#endif
    TempDir cut;
    run = runengine(fixture("name260.zip"), cut.str());
    EXPECT_TRUE(run.hasmessage("[ " + kept.substr(0, 20)));
    EXPECT_GE(run.result, kResultWarning);
#ifndef _WIN32
    EXPECT_EQ(run.result, kResultWarning);
    EXPECT_EQ(readfile(cut.path() / kept), "edge");
#endif
}

} // namespace
