// Archive opening: the end-record search, prefixlength for both offset conventions, and the
// result codes of archives that cannot be walked.
#include "tests/support/enginetestkit.h"

#include <gtest/gtest.h>

using namespace enginetest;

namespace {

const std::map<std::string, std::string> kStoredTree = [] {
    TempDir dir;
    RunRecord run = runengine(fixture("stored.zip"), dir.str());
    return run.result == 0 ? readtree(dir.path()) : std::map<std::string, std::string>();
}();

TEST(ArchiveOpening, PlainArchiveExtractsEveryMember) {
    ASSERT_FALSE(kStoredTree.empty());
    EXPECT_EQ(kStoredTree.count("readme.txt"), 1u);
    EXPECT_EQ(kStoredTree.at("dir"), "<dir>");
    EXPECT_EQ(kStoredTree.at("dir/data.bin").size(), 100000u);
    EXPECT_EQ(kStoredTree.at("dir/sub/empty.txt"), "");
    EXPECT_EQ(kStoredTree.at("exact64k.bin").size(), 65536u);
}

// Offsets from the archive's own start behind 5,000 bytes of other data: prefixlength
// absorbs the prefix, no message, result 0.
TEST(ArchiveOpening, ArchiveBehindDataWithOwnOffsets) {
    TempDir dir;
    RunRecord run = runengine(fixture("prefixed.zip"), dir.str());
    EXPECT_EQ(run.result, kResultOk);
    EXPECT_EQ(readtree(dir.path()), kStoredTree);
    for (const Message& m : run.messages) EXPECT_EQ(m.flags & 1u, 0u) << m.text;
}

// Offsets counted from the start of the file, as a package is laid out: result 0.
TEST(ArchiveOpening, PackageOffsetsFromFileStart) {
    TempDir dir;
    RunRecord run = runengine(fixture("package_adjusted.zip"), dir.str());
    EXPECT_EQ(run.result, kResultOk);
    EXPECT_EQ(readtree(dir.path()), kStoredTree);
}

// Adjusted offsets while the end record stands 100 bytes further than expected: the
// central directory is found only without the prefix, result 2, members still extracted.
TEST(ArchiveOpening, AlreadyAdjustedOffsetsGiveTwo) {
    TempDir dir;
    RunRecord run = runengine(fixture("adjusted_gap.zip"), dir.str());
    EXPECT_EQ(run.result, kResultArchiveError);
    EXPECT_EQ(readtree(dir.path()), kStoredTree);
}

TEST(ArchiveOpening, EmptyArchiveGivesOne) {
    TempDir dir;
    EXPECT_EQ(runengine(fixture("empty.zip"), dir.str()).result, kResultWarning);
    EXPECT_TRUE(readtree(dir.path()).empty());
}

TEST(ArchiveOpening, EndRecordAcrossBlockBoundaryIsFound) {
    TempDir dir;
    EXPECT_EQ(runengine(fixture("straddle.zip"), dir.str()).result, kResultOk);
    EXPECT_EQ(readfile(dir.path() / "s.txt"), "straddle");
}

// The signature starts 3, 2 and 1 bytes before an 8,192-byte boundary (completed from the
// hold area behind the earlier block) and right at it.
TEST(ArchiveOpening, EndSignatureAtEveryPositionAroundABlockBoundary) {
    for (int start : {8189, 8190, 8191, 8192}) {
        TempDir dir;
        std::string name = "endsig" + std::to_string(start) + ".zip";
        EXPECT_EQ(runengine(fixture(name.c_str()), dir.str()).result, kResultOk) << start;
        EXPECT_EQ(readfile(dir.path() / "s.txt"), "straddle") << start;
    }
}

TEST(ArchiveOpening, LongestCommentStillFindsRecord) {
    TempDir dir;
    EXPECT_EQ(runengine(fixture("longcomment.zip"), dir.str()).result, kResultOk);
    EXPECT_EQ(readfile(dir.path() / "c.txt"), "comment");
}

TEST(ArchiveOpening, FileWithoutEndRecordGivesTwoAndNamesIt) {
    TempDir dir;
    RunRecord run = runengine(fixture("notzip.bin"), dir.str());
    EXPECT_EQ(run.result, kResultArchiveError);
    EXPECT_TRUE(run.hasmessage(fixture("notzip.bin")));
    EXPECT_TRUE(readtree(dir.path()).empty());
}

TEST(ArchiveOpening, MissingArchiveOrFolderGivesNine) {
    TempDir dir;
    EXPECT_EQ(runengine((dir.path() / "absent.zip").string(), dir.str()).result, kResultNotFound);
    EXPECT_EQ(runengine(dir.str(), (dir.path() / "out").string()).result, kResultNotFound);
}

TEST(ArchiveOpening, LocalOffsetBeforeFileStartGivesThree) {
    TempDir dir;
    RunRecord run = runengine(fixture("badoffset.zip"), dir.str());
    EXPECT_EQ(run.result, kResultSevereError);
    EXPECT_FALSE(fs::exists(dir.path() / "first.txt"));
    EXPECT_EQ(readfile(dir.path() / "fourth.txt"), "fourth\n");
}

// Small files are read whole; 8,193 bytes have a 1-byte tail that is not read.
TEST(ArchiveOpening, SearchOverSmallAndUnevenFiles) {
    TempDir dir;
    for (size_t size : {0u, 21u, 8192u, 8193u, 8211u}) {
        fs::path file = dir.path() / ("f" + std::to_string(size));
        std::string content(size, 'x');
        FILE* f = fopen(file.string().c_str(), "wb");
        ASSERT_NE(f, nullptr);
        fwrite(content.data(), 1, content.size(), f);
        fclose(f);
        EXPECT_EQ(runengine(file.string(), (dir.path() / "out").string()).result,
                  kResultArchiveError)
            << size;
    }
}

TEST(ArchiveOpening, MissingDestinationParentEndsRun) {
    TempDir dir;
    RunRecord run = runengine(fixture("stored.zip"), (dir.path() / "no" / "such").string());
    EXPECT_EQ(run.result, kResultArchiveError);
    EXPECT_TRUE(run.hasmessage("cannot create extraction directory"));
    EXPECT_FALSE(fs::exists(dir.path() / "no"));
}

TEST(ArchiveOpening, SecondRunStartsClean) {
    TempDir first, second;
    EXPECT_EQ(runengine(fixture("stored.zip"), first.str()).result, kResultOk);
    EXPECT_EQ(runengine(fixture("stored.zip"), second.str()).result, kResultOk);
    EXPECT_EQ(readtree(second.path()), kStoredTree);
}

} // namespace

namespace {

// End records that lie about the file: a comment cut short only warns (the members may be
// whole), differing entry counts are an error, a central directory that would end past
// the end of the file too.
TEST(EndRecordChecks, CommentRunningPastTheEndWarns) {
    ContainedRun cut = runcontained(fixture("commentcut.zip"));
    EXPECT_EQ(cut.record.result, kResultWarning);
    EXPECT_TRUE(cut.record.hasfailure(kReasonCommentPastEnd));
    EXPECT_EQ(cut.tree.size(), 3u);
    // The same comment with its last byte present is sound.
    ContainedRun whole = runcontained(fixture("commentwhole.zip"));
    EXPECT_EQ(whole.record.result, kResultOk);
    EXPECT_TRUE(whole.record.failures.empty());
    EXPECT_EQ(whole.tree, cut.tree);
}

TEST(EndRecordChecks, EntryCountsThatDifferAreAnError) {
    ContainedRun run = runcontained(fixture("entrycounts.zip"));
    EXPECT_EQ(run.record.result, kResultArchiveError);
    EXPECT_TRUE(run.record.hasfailure(kReasonEntryCounts));
    EXPECT_EQ(run.tree.size(), 3u);
}

TEST(EndRecordChecks, CentralDirectoryEndingPastTheFileIsReported) {
    ContainedRun run = runcontained(fixture("centralpast.zip"));
    EXPECT_GE(run.record.result, kResultArchiveError);
    EXPECT_TRUE(run.record.hasfailure(kReasonCentralPastEnd));
    EXPECT_TRUE(run.outside.empty());
}

} // namespace
