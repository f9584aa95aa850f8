// Links planted in the destination: whatever the overwrite mode, extraction never creates,
// truncates or writes anything through a symbolic link, dangling or not, in the last
// component or in a folder on the way. Linux only: the links are made with symlink(2).
#include "engine_testkit.h"

#include "platform/files.h"

#include <gtest/gtest.h>

using namespace enginetest;

namespace {

// A destination inside a parent folder that also holds an "outside" folder, which the
// planted links point into.
class PlantedLink : public ::testing::Test {
  protected:
    void SetUp() override {
        root = parent.path() / "root";
        outside = parent.path() / "outside";
        fs::create_directory(root);
        fs::create_directory(outside);
    }
    // Runs the archive, by default stored.zip (readme.txt, dir/, dir/data.bin,
    // dir/sub/empty.txt, exact64k.bin), with the overwrite mode and checks that nothing
    // outside the root changed.
    RunRecord run(OverwritePolicy policy, const char* archive = "stored.zip",
                  bool freshengine = true) {
        std::set<std::string> before = scantree(parent.path());
        RunOptions options;
        options.overwrite = policy;
        options.overwriteanswer = 1;
        options.freshengine = freshengine;
        RunRecord record = runengine(fixture(archive), root.string(), options);
        std::set<std::string> after = scantree(parent.path());
        for (const std::string& name : after)
            EXPECT_TRUE(before.count(name) || name.rfind("root/", 0) == 0)
                << "made outside the destination: " << name;
        EXPECT_TRUE(fs::is_empty(outside)) << "written through a link";
        return record;
    }
    TempDir parent;
    fs::path root, outside;
};

struct Mode {
    const char* name;
    OverwritePolicy policy;
};
const Mode kModes[] = {{"ask", kPolicyAsk}, {"-o", kPolicyOverwrite}, {"-n", kPolicyKeep}};

TEST_F(PlantedLink, DanglingLinkAsTheFileIsNotFollowed) {
    fs::create_symlink(outside / "created.txt", root / "readme.txt");
    for (const Mode& mode : kModes) {
        RunRecord record = run(mode.policy);
        EXPECT_EQ(record.result, kResultArchiveError) << mode.name;
        EXPECT_TRUE(record.hasfailure(kReasonThroughLink, "readme.txt")) << mode.name;
        EXPECT_FALSE(fs::exists(outside / "created.txt")) << mode.name;
        EXPECT_TRUE(fs::is_symlink(root / "readme.txt")) << mode.name;
        EXPECT_EQ(record.askcount, 0) << mode.name;
        // The members beside it are still extracted.
        EXPECT_EQ(fs::file_size(root / "exact64k.bin"), 65536u) << mode.name;
    }
}

TEST_F(PlantedLink, LinkToAnOutsideFileIsNeitherTruncatedNorReplaced) {
    {
        FILE* f = fopen((parent.path() / "victim.txt").string().c_str(), "wb");
        ASSERT_NE(f, nullptr);
        fputs("keep me", f);
        fclose(f);
    }
    fs::create_symlink(parent.path() / "victim.txt", root / "exact64k.bin");
    for (const Mode& mode : kModes) {
        RunRecord record = run(mode.policy);
        EXPECT_EQ(record.result, kResultArchiveError) << mode.name;
        EXPECT_TRUE(record.hasfailure(kReasonThroughLink, "exact64k.bin")) << mode.name;
        EXPECT_EQ(readfile(parent.path() / "victim.txt"), "keep me") << mode.name;
    }
}

TEST_F(PlantedLink, LinkToAnOutsideFolderIsNotEntered) {
    fs::create_directory_symlink(outside, root / "dir");
    for (const Mode& mode : kModes) {
        RunRecord record = run(mode.policy);
        EXPECT_EQ(record.result, kResultArchiveError) << mode.name;
        EXPECT_TRUE(record.hasfailure(kReasonThroughLink, "dir/data.bin")) << mode.name;
        EXPECT_TRUE(record.hasfailure(kReasonThroughLink, "dir/sub/empty.txt")) << mode.name;
        EXPECT_TRUE(record.hasmessage("is a link")) << mode.name;
        EXPECT_EQ(fs::file_size(root / "exact64k.bin"), 65536u) << mode.name;
    }
}

TEST_F(PlantedLink, DanglingLinkAsAFolderIsNotCreatedThrough) {
    fs::create_directory(root / "dir");
    fs::create_symlink(outside / "made", root / "dir" / "sub");
    for (const Mode& mode : kModes) {
        RunRecord record = run(mode.policy);
        EXPECT_EQ(record.result, kResultArchiveError) << mode.name;
        EXPECT_TRUE(record.hasfailure(kReasonThroughLink, "dir/sub/empty.txt")) << mode.name;
        EXPECT_FALSE(fs::exists(outside / "made")) << mode.name;
        EXPECT_EQ(fs::file_size(root / "dir" / "data.bin"), 100000u) << mode.name;
    }
}

// Folders found sound for one member are not looked at again for the next; a run starts
// with none of them known, so a folder turned into a link after a run is found by the next
// run of the same engine.
TEST_F(PlantedLink, AFolderSwappedForALinkBetweenRunsIsNotEntered) {
    ASSERT_EQ(run(kPolicyOverwrite).result, kResultOk);
    fs::rename(root / "dir", parent.path() / "moved");
    fs::create_directory_symlink(outside, root / "dir");
    RunRecord record = run(kPolicyOverwrite, "stored.zip", false);
    EXPECT_EQ(record.result, kResultArchiveError);
    EXPECT_TRUE(record.hasfailure(kReasonThroughLink, "dir/data.bin"));
    EXPECT_TRUE(record.hasfailure(kReasonThroughLink, "dir/sub/empty.txt"));
}

// siblings.zip enters "dirs" before "dir": a folder whose name begins like a folder looked at
// before is a folder of its own and is looked at.
TEST_F(PlantedLink, ALinkNamedLikeTheStartOfAFolderSeenBeforeIsNotEntered) {
    fs::create_directory_symlink(outside, root / "dir");
    RunRecord record = run(kPolicyOverwrite, "siblings.zip");
    EXPECT_EQ(record.result, kResultArchiveError);
    EXPECT_TRUE(record.hasfailure(kReasonThroughLink, "dir/two.txt"));
    EXPECT_TRUE(record.hasfailure(kReasonThroughLink, "dir/sub/three.txt"));
    EXPECT_EQ(readfile(root / "dirs" / "one.txt"), "one");
    EXPECT_EQ(readfile(root / "dirs" / "four.txt"), "four");
}

// A link that names the destination itself is the user's choice, not the archive's.
TEST_F(PlantedLink, TheRootMayBeALink) {
    fs::path alias = parent.path() / "alias";
    fs::create_directory_symlink(root, alias);
    RunRecord record = runengine(fixture("stored.zip"), alias.string());
    EXPECT_EQ(record.result, kResultOk);
    EXPECT_EQ(fs::file_size(root / "exact64k.bin"), 65536u);
}

// An ordinary existing file is still overwritten in place when -o says so.
TEST_F(PlantedLink, PlainFilesAreStillReplaced) {
    ASSERT_EQ(run(kPolicyAsk).result, kResultOk);
    RunRecord record = run(kPolicyOverwrite);
    EXPECT_EQ(record.result, kResultOk);
    EXPECT_TRUE(record.failures.empty());
}

// The output file is created only where nothing stands, so a link or file that appears at
// the path after the engine looked at it is neither followed nor truncated.
TEST_F(PlantedLink, AnOutputFileIsCreatedOnlyWhereNothingStands) {
    fs::path victim = parent.path() / "victim.txt";
    {
        FILE* f = fopen(victim.string().c_str(), "wb");
        ASSERT_NE(f, nullptr);
        fputs("keep me", f);
        fclose(f);
    }
    fs::create_symlink(victim, root / "tovictim");
    fs::create_symlink(outside / "made", root / "dangling");
    for (const char* name : {"tovictim", "dangling"}) {
        platform::File* file = platform::createwrite((root / name).string().c_str());
        EXPECT_EQ(file, nullptr) << name;
        platform::closefile(file);
    }
    EXPECT_EQ(readfile(victim), "keep me");
    EXPECT_TRUE(fs::is_empty(outside));
    fs::path plain = root / "plain.txt";
    platform::File* file = platform::createwrite(plain.string().c_str());
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(platform::writefile(file, "new", 3), 3u);
    platform::closefile(file);
    EXPECT_EQ(platform::createwrite(plain.string().c_str()), nullptr);
    EXPECT_EQ(readfile(plain), "new");
}

} // namespace
