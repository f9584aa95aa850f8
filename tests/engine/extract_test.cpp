// Member extraction: CRC checks, unknown methods, data descriptors, overwrite modes,
// progress and cancel, the created-files list, agreement with 7-Zip, and folders that
// archivers of DOS-like systems mark by their attribute alone.
#include "tests/support/enginetestkit.h"
#include "tests/support/rawzip.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>

using namespace enginetest;

namespace {

TEST(MemberExtraction, WrongCrcKeepsFileAndGoesOn) {
    TempDir dir;
    RunRecord run = runengine(fixture("badcrc.zip"), dir.str());
    EXPECT_EQ(run.result, kResultArchiveError);
    EXPECT_EQ(readfile(dir.path() / "second.txt"), "second\nsecond\nsecond\n");
    EXPECT_EQ(readfile(dir.path() / "fourth.txt"), "fourth\n");
    EXPECT_TRUE(run.hasmessage("second.txt"));
}

// A member of a method the engine does not decode writes nothing: no empty file stands in
// for it, and a file of its name keeps what it holds.
TEST(MemberExtraction, UnknownMethodWritesNothing) {
    TempDir dir;
    RunRecord run = runengine(fixture("method12.zip"), dir.str());
    EXPECT_EQ(run.result, kResultWarning);
    EXPECT_FALSE(fs::exists(dir.path() / "second.txt"));
    EXPECT_EQ(readfile(dir.path() / "third.txt"), "third\nthird\nthird\nthird\nthird\n");
    writefile(dir.path() / "second.txt", "kept");
    RunOptions always;
    always.overwrite = kPolicyOverwrite;
    runengine(fixture("method12.zip"), dir.str(), always);
    EXPECT_EQ(readfile(dir.path() / "second.txt"), "kept");
}

TEST(MemberExtraction, DataDescriptorUsesCentralValues) {
    TempDir dir;
    RunRecord run = runengine(fixture("descriptor.zip"), dir.str());
    EXPECT_EQ(run.result, kResultOk);
    std::string expected;
    for (int i = 0; i < 50; ++i) expected += "data descriptor member\n";
    EXPECT_EQ(readfile(dir.path() / "desc.txt"), expected);
    EXPECT_EQ(fs::file_size(dir.path() / "desc2.bin"), 9000u);
}

TEST(MemberExtraction, ProgressOncePerBlockAndBytesCounted) {
    TempDir dir;
    RunRecord run = runengine(fixture("stored.zip"), dir.str());
    ASSERT_EQ(run.result, kResultOk);
    // readme (1 block), data.bin 100,000 bytes (2), exact64k.bin (1 full block, no second).
    EXPECT_EQ(run.progresscalls, 4);
    EXPECT_EQ(run.bytesdone, 460u + 100000u + 65536u);
    EXPECT_EQ(run.filelist.size(), 4u);
    EXPECT_EQ(run.dirlist.size(), 2u);
}

// The clean-up removes the folders listed: one that stood there before is not listed.
TEST(MemberExtraction, OnlyFoldersCreatedAreListed) {
    TempDir dir;
    fs::create_directory(dir.path() / "dir");
    RunRecord run = runengine(fixture("stored.zip"), dir.str());
    ASSERT_EQ(run.result, kResultOk);
    ASSERT_EQ(run.dirlist.size(), 1u);
    EXPECT_EQ(fs::path(run.dirlist[0]).filename(), "sub");
    EXPECT_EQ(fs::file_size(dir.path() / "dir" / "data.bin"), 100000u);
}

// A file that stood there before the run is written again (overwritten) or kept (skipped);
// neither is among the run's new files, which the clean-up of a cancelled run removes.
TEST(MemberExtraction, ReplacedAndSkippedFilesAreNotNew) {
    for (int answer : {1, 0}) {
        TempDir dir;
        { std::ofstream(dir.path() / "readme.txt") << "the user's own"; }
        RunOptions options;
        options.overwriteanswer = answer;
        RunRecord run = runengine(fixture("stored.zip"), dir.str(), options);
        ASSERT_EQ(run.result, kResultOk);
        auto names = [](const std::vector<std::string>& paths) {
            std::set<std::string> result;
            for (const std::string& path : paths) result.insert(fs::path(path).filename().string());
            return result;
        };
        std::set<std::string> written = names(run.filelist), made = names(run.newfilelist);
        EXPECT_EQ(written.count("readme.txt"), answer ? 1u : 0u);
        EXPECT_EQ(made.count("readme.txt"), 0u);
        EXPECT_EQ(made.size(), 3u); // the other three were made by the run
        EXPECT_EQ(run.filelist.size(), run.newfilelist.size() + answer);
    }
}

TEST(MemberExtraction, CancelStopsRunWithEighty) {
    TempDir dir;
    RunOptions options;
    options.cancelatcall = 3; // the last, partial block of data.bin
    RunRecord run = runengine(fixture("stored.zip"), dir.str(), options);
    EXPECT_EQ(run.result, kResultCancelled);
    EXPECT_FALSE(fs::exists(dir.path() / "exact64k.bin"));
}

class Overwrite : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(runengine(fixture("stored.zip"), dir.str()).result, kResultOk);
        FILE* f = fopen((dir.path() / "readme.txt").string().c_str(), "wb");
        ASSERT_NE(f, nullptr);
        fputs("mine", f);
        fclose(f);
    }
    TempDir dir;
};

TEST_F(Overwrite, AskSkipLeavesFileUntouched) {
    RunOptions options;
    options.overwriteanswer = 0;
    RunRecord run = runengine(fixture("stored.zip"), dir.str(), options);
    EXPECT_EQ(run.result, kResultOk);
    EXPECT_EQ(run.askcount, 4);
    EXPECT_EQ(readfile(dir.path() / "readme.txt"), "mine");
}

TEST_F(Overwrite, AskYesReplaces) {
    RunRecord run = runengine(fixture("stored.zip"), dir.str());
    EXPECT_EQ(run.askcount, 4);
    EXPECT_EQ(readfile(dir.path() / "readme.txt").substr(0, 8), "Orvandel");
}

TEST_F(Overwrite, NeverAndAlways) {
    RunOptions never;
    never.overwrite = kPolicyKeep;
    RunRecord run = runengine(fixture("stored.zip"), dir.str(), never);
    EXPECT_EQ(run.askcount, 0);
    EXPECT_EQ(readfile(dir.path() / "readme.txt"), "mine");
    RunOptions always;
    always.overwrite = kPolicyOverwrite;
    run = runengine(fixture("stored.zip"), dir.str(), always);
    EXPECT_EQ(run.askcount, 0);
    EXPECT_EQ(readfile(dir.path() / "readme.txt").substr(0, 8), "Orvandel");
}

TEST_F(Overwrite, ReadOnlyFileIsReplaced) {
    fs::permissions(dir.path() / "readme.txt", fs::perms::owner_write, fs::perm_options::remove);
    RunOptions always;
    always.overwrite = kPolicyOverwrite;
    EXPECT_EQ(runengine(fixture("stored.zip"), dir.str(), always).result, kResultOk);
    EXPECT_EQ(readfile(dir.path() / "readme.txt").substr(0, 8), "Orvandel");
}

TEST(MemberExtraction, FileInTheWayOfFolderSkipsMembers) {
    TempDir dir;
    FILE* f = fopen((dir.path() / "dir").string().c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fclose(f);
    RunRecord run = runengine(fixture("stored.zip"), dir.str());
    EXPECT_EQ(run.result, kResultArchiveError);
    EXPECT_TRUE(run.hasmessage("exists but is not directory"));
    EXPECT_TRUE(fs::exists(dir.path() / "exact64k.bin"));
}

#ifndef _WIN32
// Every stored-member archive of the corpus extracts to the same tree as 7-Zip makes.
TEST(MemberExtraction, AgreesWithSevenZip) {
    for (const char* name : {"stored.zip", "sevenzip_stored.zip", "bsdtar_stored.zip", "many.zip",
                             "package_adjusted.zip", "descriptor.zip", "times.zip"}) {
        TempDir ours, theirs;
        EXPECT_EQ(runengine(fixture(name), ours.str()).result, kResultOk) << name;
        ASSERT_TRUE(sevenzipextract(fixture(name), theirs.path())) << name;
        EXPECT_EQ(readtree(ours.path()), readtree(theirs.path())) << name;
    }
}
#endif

} // namespace

namespace {

// Deflate, Deflate64 and LZMA members made by 7-Zip give the same files as its stored members.
TEST(MemberExtraction, CompressedMembersMatchStored) {
    TempDir stored;
    ASSERT_EQ(runengine(fixture("sevenzip_stored.zip"), stored.str()).result, kResultOk);
    auto expected = readtree(stored.path());
    for (const char* name :
         {"sevenzip_deflate.zip", "sevenzip_deflate64.zip", "sevenzip_lzma.zip"}) {
        TempDir dir;
        EXPECT_EQ(runengine(fixture(name), dir.str()).result, kResultOk) << name;
        EXPECT_EQ(readtree(dir.path()), expected) << name;
    }
}

} // namespace

namespace {

using Tree = std::map<std::string, std::string>;

// Archives whose headers disagree with each other or with the file: the member that lies
// fails with 2 and a reason and is not written; the others are extracted.
TEST(UntrustedMembers, LocalNameDifferentFromTheCentralNameIsRefused) {
    ContainedRun run = runcontained(fixture("localname.zip"));
    EXPECT_EQ(run.record.result, kResultArchiveError);
    EXPECT_TRUE(run.record.hasfailure(kReasonNameMismatch, "shown.txt"));
    EXPECT_EQ(run.tree, (Tree{{"first.txt", "first\n"},
                              {"third.txt", "third\nthird\nthird\n"
                                            "third\nthird\n"}}));
    EXPECT_TRUE(run.outside.empty());
}

TEST(UntrustedMembers, NamesThatDifferOnlyInTheSeparatorAgree) {
    ContainedRun run = runcontained(fixture("localslash.zip"));
    EXPECT_EQ(run.record.result, kResultOk);
    EXPECT_TRUE(run.record.failures.empty());
    EXPECT_EQ(run.tree, (Tree{{"dir", "<dir>"}, {"dir/a.txt", "slash\n"}}));
}

TEST(UntrustedMembers, CompressedSizePastTheCentralDirectoryIsRefused) {
    ContainedRun run = runcontained(fixture("datapast.zip"));
    EXPECT_EQ(run.record.result, kResultArchiveError);
    EXPECT_TRUE(run.record.hasfailure(kReasonDataPastEnd, "shown.txt"));
    EXPECT_EQ(run.tree.count("shown.txt"), 0u);
    EXPECT_EQ(run.tree["third.txt"], "third\nthird\nthird\nthird\nthird\n");
    EXPECT_TRUE(run.outside.empty());
}

// The last member's data may end exactly at the central directory (every sound archive),
// not one byte later.
TEST(UntrustedMembers, DataMayEndExactlyAtTheCentralDirectory) {
    ContainedRun sound = runcontained(fixture("localslash.zip"));
    EXPECT_EQ(sound.record.result, kResultOk);
    ContainedRun one = runcontained(fixture("datapastone.zip"));
    EXPECT_EQ(one.record.result, kResultArchiveError);
    EXPECT_TRUE(one.record.hasfailure(kReasonDataPastEnd, "third.txt"));
    EXPECT_EQ(one.tree, (Tree{{"first.txt", "first\n"}, {"shown.txt", "the listed member\n"}}));
}

TEST(UntrustedMembers, UncompressedSizeThatDisagreesWithTheDataFails) {
    ContainedRun run = runcontained(fixture("sizemore.zip"));
    EXPECT_EQ(run.record.result, kResultArchiveError);
    EXPECT_TRUE(run.record.hasfailure(kReasonSizeMismatch, "shown.txt"));
    EXPECT_FALSE(run.record.hasfailure(kReasonCrc));
    EXPECT_EQ(run.tree["third.txt"], "third\nthird\nthird\nthird\nthird\n");
}

// Files longer than one window are given their length before they are written and cut
// back to what was written; shorter ones are not. Either way a file is exactly as long as
// its decoded data, also when the stored length claims more or less.
TEST(UntrustedMembers, FilesAreAsLongAsTheirDataOnBothSidesOfThePresizeLength) {
    ContainedRun run = runcontained(fixture("presized.zip"));
    EXPECT_EQ(run.record.result, kResultArchiveError);
    EXPECT_TRUE(run.record.hasfailure(kReasonSizeMismatch, "claimsmore.bin"));
    EXPECT_TRUE(run.record.hasfailure(kReasonSizeMismatch, "claimsless.bin"));
    EXPECT_FALSE(run.record.hasfailure(kReasonSizeMismatch, "window.bin"));
    EXPECT_FALSE(run.record.hasfailure(kReasonSizeMismatch, "window1.bin"));
    EXPECT_EQ(run.tree["window.bin"].size(), 65536u);
    EXPECT_EQ(run.tree["window1.bin"].size(), 65537u);
    EXPECT_EQ(run.tree["claimsmore.bin"].size(), 70000u);
    EXPECT_EQ(run.tree["claimsless.bin"].size(), 70000u);
    EXPECT_EQ(run.tree["window1.bin"].substr(65504), run.tree["claimsmore.bin"].substr(65504, 33));
    EXPECT_TRUE(run.outside.empty());
}

// Archives that peers accept keep extracting without any reported failure: data in front,
// data descriptors, empty members, other writers.
TEST(UntrustedMembers, SoundArchivesReportNothing) {
    for (const char* name :
         {"stored.zip", "prefixed.zip", "package_adjusted.zip", "descriptor.zip",
          "sevenzip_deflate.zip", "sevenzip_deflate64.zip", "bsdtar_stored.zip", "many.zip",
          "longcomment.zip", "sevenzip_lzma.zip", "python_lzma.zip"}) {
        ContainedRun run = runcontained(fixture(name));
        EXPECT_EQ(run.record.result, kResultOk) << name;
        EXPECT_TRUE(run.record.failures.empty()) << name;
        EXPECT_TRUE(run.outside.empty()) << name;
    }
}

// An LZMA member that cannot be decoded fails with its reason; the member behind it is
// extracted.
TEST(UntrustedMembers, DamagedLzmaMembersNameTheirReason) {
    const struct {
        const char* archive;
        int reason;
    } cases[] = {
        {"lzma_badprops.zip", kReasonLzmaHeader},
        {"lzma_bigdict.zip", kReasonDictionary},
        {"lzma_cut.zip", kReasonLzma},
    };
    ContainedRun good = runcontained(fixture("python_lzma.zip"));
    ASSERT_EQ(good.record.result, kResultOk);
    std::string blob = good.tree["blob.bin"];
    ASSERT_EQ(blob.size(), 100000u);
    for (const auto& c : cases) {
        ContainedRun run = runcontained(fixture(c.archive));
        EXPECT_EQ(run.record.result, kResultArchiveError) << c.archive;
        EXPECT_TRUE(run.record.hasfailure(c.reason, "text.txt")) << c.archive;
        EXPECT_EQ(run.tree["blob.bin"], blob) << c.archive;
    }
}

// An output that cannot be had fails the member with 50, the run goes on.
TEST(UntrustedMembers, FolderInTheWayOfAFileFailsWithItsReason) {
    TempDir dir;
    fs::create_directories(dir.path() / "readme.txt" / "inside");
    RunOptions always;
    always.overwrite = kPolicyOverwrite;
    RunRecord run = runengine(fixture("stored.zip"), dir.str(), always);
    EXPECT_EQ(run.result, kResultDiskFull);
    EXPECT_TRUE(run.hasfailure(kReasonFolderInTheWay, "readme.txt"));
    EXPECT_TRUE(fs::exists(dir.path() / "readme.txt" / "inside"));
    EXPECT_EQ(fs::file_size(dir.path() / "exact64k.bin"), 65536u);
}

TEST(UntrustedMembers, EveryFailureNamesItsReason) {
    struct Case {
        const char* archive;
        int reason;
        const char* member;
    };
    const Case cases[] = {{"badcrc.zip", kReasonCrc, "second.txt"},
                          {"method12.zip", kReasonMethod, "second.txt"},
                          {"version45.zip", kReasonNewerVersion, "third.txt"},
                          {"badoffset.zip", kReasonLocalMissing, "first.txt"},
                          {"cutcentral.zip", kReasonCentralCut, ""},
                          {"foreignsig.zip", kReasonFewerEntries, ""},
                          {"notzip.bin", kReasonNoEndRecord, ""},
                          {"empty.zip", kReasonEmpty, ""}};
    for (const Case& c : cases) {
        ContainedRun run = runcontained(fixture(c.archive));
        EXPECT_NE(run.record.result, kResultOk) << c.archive;
        EXPECT_TRUE(run.record.hasfailure(c.reason, c.member)) << c.archive;
        EXPECT_TRUE(run.outside.empty()) << c.archive;
    }
}

using Tree = std::map<std::string, std::string>;

// A folder entry without "/" of each DOS-like host holds the member behind it, and the member
// in front of it too; nothing lands beside the destination.
TEST(AttributeFolders, HoldTheirMembers) {
    for (unsigned host : {kHostFat, kHostAtari, kHostHpfs, kHostNtfs, kHostVfat}) {
        SCOPED_TRACE(host);
        TempDir source;
        std::string archive = savearchive(
            source, rawzip::archive(
                        {rawzip::attributefolder("DOCS", host), rawzip::file("DOCS/A.TXT", "a"),
                         rawzip::file("LATE/B.TXT", "b"), rawzip::attributefolder("LATE", host)}));
        ContainedRun run = runcontained(archive);
        EXPECT_EQ(run.record.result, kResultOk);
        EXPECT_TRUE(run.record.failures.empty());
        EXPECT_EQ(
            run.tree,
            (Tree{{"DOCS", "<dir>"}, {"DOCS/A.TXT", "a"}, {"LATE", "<dir>"}, {"LATE/B.TXT", "b"}}));
        EXPECT_EQ(run.record.dirlist.size(), 2u);
        EXPECT_TRUE(run.outside.empty());
    }
}

// The attribute alone does not make a folder: an entry with data, or one of a host that is
// not DOS-like, stays a file.
TEST(AttributeFolders, AreEmptyEntriesOfDosLikeHostsOnly) {
    TempDir source;
    rawzip::Member withdata = rawzip::attributefolder("DATA");
    withdata.data = "data";
    rawzip::Member unixhost = rawzip::attributefolder("UNIX", kHostUnix);
    std::string archive = savearchive(source, rawzip::archive({withdata, unixhost}));
    ContainedRun run = runcontained(archive);
    EXPECT_EQ(run.record.result, kResultOk);
    EXPECT_EQ(run.tree, (Tree{{"DATA", "data"}, {"UNIX", ""}}));
    EXPECT_TRUE(run.outside.empty());
}

} // namespace
