// Links planted in the destination: whatever the overwrite mode, extraction never creates,
// truncates or writes anything through a symbolic link, dangling or not, in the last
// component or in a folder on the way. On Linux the links are made with symlink(2); under
// Wine, whose CreateSymbolicLink makes nothing, the system's ln makes them, and Wine reports
// them to the program as reparse points.
#include "tests/support/enginetestkit.h"

#include "platform/files.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include "tests/uitest/hostcommand.h"
#endif

using namespace enginetest;

namespace {

#ifdef _WIN32
void rununix(const std::string& command) {
    uitest::HostRun run = uitest::runonhost(command);
    EXPECT_EQ(run.status, 0) << command << "\n" << run.output;
}

void makelink(const fs::path& target, const fs::path& link) {
    rununix("ln -s " + uitest::shellword(uitest::unixpath(target)) + " " +
            uitest::shellword(uitest::unixpath(link)));
}

// The runtime's remove_all would go through a link to a folder as through the folder.
void removelink(const fs::path& link) {
    rununix("rm -f " + uitest::shellword(uitest::unixpath(link)));
}
#else
void makelink(const fs::path& target, const fs::path& link) {
    fs::create_symlink(target, link);
}

void removelink(const fs::path& link) {
    fs::remove(link);
}
#endif

bool islink(const fs::path& path) {
    platform::PathStatus status;
    return platform::linkstatus(path.string().c_str(), &status) == 0 &&
           status.kind == platform::kPathLink;
}

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
// Wine shows a Unix link to a file as the file itself and a dangling link not at all; only
// links to folders reach programs as reparse points. There the engine cannot name such a
// link, so the tests check only what matters most: nothing outside the destination changes.
#ifdef _WIN32
const bool kFileLinksShown = false;
#else
const bool kFileLinksShown = true;
#endif

const Mode kModes[] = {{"ask", kPolicyAsk}, {"-o", kPolicyOverwrite}, {"-n", kPolicyKeep}};

TEST_F(PlantedLink, DanglingLinkAsTheFileIsNotFollowed) {
    makelink(outside / "created.txt", root / "readme.txt");
    for (const Mode& mode : kModes) {
        RunRecord record = run(mode.policy);
        // Where the link is not shown, the file cannot be created over it: the output fails.
        EXPECT_EQ(record.result, kFileLinksShown ? kResultArchiveError : kResultDiskFull)
            << mode.name;
        EXPECT_FALSE(fs::exists(outside / "created.txt")) << mode.name;
        if (kFileLinksShown) {
            EXPECT_TRUE(record.hasfailure(kReasonThroughLink, "readme.txt")) << mode.name;
            EXPECT_TRUE(islink(root / "readme.txt")) << mode.name;
        }
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
    makelink(parent.path() / "victim.txt", root / "exact64k.bin");
    for (const Mode& mode : kModes) {
        RunRecord record = run(mode.policy);
        EXPECT_EQ(readfile(parent.path() / "victim.txt"), "keep me") << mode.name;
        if (!kFileLinksShown) continue;
        EXPECT_EQ(record.result, kResultArchiveError) << mode.name;
        EXPECT_TRUE(record.hasfailure(kReasonThroughLink, "exact64k.bin")) << mode.name;
    }
}

TEST_F(PlantedLink, LinkToAnOutsideFolderIsNotEntered) {
    makelink(outside, root / "dir");
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
    makelink(outside / "made", root / "dir" / "sub");
    for (const Mode& mode : kModes) {
        RunRecord record = run(mode.policy);
        EXPECT_EQ(record.result, kResultArchiveError) << mode.name;
        EXPECT_FALSE(fs::exists(outside / "made")) << mode.name;
        if (kFileLinksShown) {
            EXPECT_TRUE(record.hasfailure(kReasonThroughLink, "dir/sub/empty.txt")) << mode.name;
        }
        EXPECT_EQ(fs::file_size(root / "dir" / "data.bin"), 100000u) << mode.name;
    }
}

// Folders found sound for one member are not looked at again for the next; a run starts
// with none of them known, so a folder turned into a link after a run is found by the next
// run of the same engine.
TEST_F(PlantedLink, AFolderSwappedForALinkBetweenRunsIsNotEntered) {
    ASSERT_EQ(run(kPolicyOverwrite).result, kResultOk);
    fs::rename(root / "dir", parent.path() / "moved");
    makelink(outside, root / "dir");
    RunRecord record = run(kPolicyOverwrite, "stored.zip", false);
    EXPECT_EQ(record.result, kResultArchiveError);
    EXPECT_TRUE(record.hasfailure(kReasonThroughLink, "dir/data.bin"));
    EXPECT_TRUE(record.hasfailure(kReasonThroughLink, "dir/sub/empty.txt"));
}

// siblings.zip enters "dirs" before "dir": a folder whose name begins like a folder looked at
// before is a folder of its own and is looked at.
TEST_F(PlantedLink, ALinkNamedLikeTheStartOfAFolderSeenBeforeIsNotEntered) {
    makelink(outside, root / "dir");
    RunRecord record = run(kPolicyOverwrite, "siblings.zip");
    EXPECT_EQ(record.result, kResultArchiveError);
    EXPECT_TRUE(record.hasfailure(kReasonThroughLink, "dir/two.txt"));
    EXPECT_TRUE(record.hasfailure(kReasonThroughLink, "dir/sub/three.txt"));
    EXPECT_EQ(readfile(root / "dirs" / "one.txt"), "one");
    EXPECT_EQ(readfile(root / "dirs" / "four.txt"), "four");
}

// A folder swapped for a link after the engine looked at it, while it asks about the file
// standing there: the file is neither replaced nor created through the link, and the folder
// below it is not made through it either. stored.zip holds dir/data.bin, then dir/sub/.
class SwappedFolder : public PlantedLink {
  protected:
    // Runs stored.zip over an earlier extraction, swapping root/dir for a link to outside
    // when the engine asks about dir/data.bin.
    RunRecord runswapping() {
        EXPECT_EQ(runengine(fixture("stored.zip"), root.string()).result, kResultOk);
        RunOptions options;
        options.beforeanswer = [this](const std::string& path) {
            if (path.find("data.bin") == std::string::npos || islink(root / "dir")) return;
            fs::rename(root / "dir", parent.path() / "moved");
            makelink(outside, root / "dir");
        };
        return runengine(fixture("stored.zip"), root.string(), options);
    }
};

TEST_F(SwappedFolder, NoFileIsCreatedThroughIt) {
    RunRecord record = runswapping();
    EXPECT_EQ(record.result, kResultArchiveError);
    EXPECT_TRUE(record.hasfailure(kReasonThroughLink, "dir/data.bin"));
    EXPECT_TRUE(record.hasfailure(kReasonThroughLink, "dir/sub/empty.txt"));
    EXPECT_TRUE(fs::is_empty(outside));
    EXPECT_EQ(fs::file_size(root / "exact64k.bin"), 65536u);
}

TEST_F(SwappedFolder, NoFileBehindItIsReplaced) {
    {
        FILE* f = fopen((outside / "data.bin").string().c_str(), "wb");
        ASSERT_NE(f, nullptr);
        fputs("keep me", f);
        fclose(f);
    }
    RunRecord record = runswapping();
    EXPECT_TRUE(record.hasfailure(kReasonThroughLink, "dir/data.bin"));
    EXPECT_EQ(readfile(outside / "data.bin"), "keep me");
    EXPECT_FALSE(fs::exists(outside / "sub"));
    EXPECT_EQ(std::distance(fs::directory_iterator(outside), fs::directory_iterator()), 1);
}

// A link that names the destination itself is the user's choice, not the archive's.
TEST_F(PlantedLink, TheRootMayBeALink) {
    fs::path alias = parent.path() / "alias";
    makelink(root, alias);
    RunRecord record = runengine(fixture("stored.zip"), alias.string());
    EXPECT_EQ(record.result, kResultOk);
    EXPECT_EQ(fs::file_size(root / "exact64k.bin"), 65536u);
    removelink(alias);
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
    makelink(victim, root / "tovictim");
    makelink(outside / "made", root / "dangling");
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
