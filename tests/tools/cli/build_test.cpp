// Tests of "orvsfx build" for real use: reproducible packages (time zones, copies of the tree,
// SOURCE_DATE_EPOCH), the stub check, and their refusals with their exact messages.
#include "tests/support/orvsfxcli.h"
#include "tools/packer/deflatecompressor.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <utime.h>

namespace {

using namespace toolstest::cli;
using toolstest::TempFolder;

const std::int64_t kEpoch = 1600000000; // 2020-09-13 12:26:40 UTC

class Build : public ::testing::Test {
  protected:
    void SetUp() override {
        toolstest::writebytes(temp / "stub.bin", toolstest::fakestub(12000));
        makesource(temp / "src");
    }
    // A small tree: two files and an empty folder, with times far from any epoch.
    static void makesource(const std::string& root) {
        toolstest::writebytes(root + "/readme.txt", "Read me first.\n");
        std::string big;
        for (int i = 0; i < 5000; ++i) big += "line " + std::to_string(i) + "\n";
        toolstest::writebytes(root + "/docs/big.txt", big);
        toolstest::fs::create_directories(root + "/docs/empty");
    }
    std::string build(const std::string& out, const std::string& args,
                      const std::string& stub = "") {
        return "build --stub " + quote(stub.empty() ? temp / "stub.bin" : stub) + " -o " +
               quote(temp / out) + " " + args;
    }
    std::string bytes(const std::string& name) { return toolstest::readbytes(temp / name); }

    TempFolder temp;
};

// Sets the modification time of every file below root to t.
void touchtree(const std::string& root, std::int64_t t) {
    for (const auto& entry : toolstest::fs::recursive_directory_iterator(root)) {
        struct utimbuf times = {static_cast<time_t>(t), static_cast<time_t>(t)};
        utime(entry.path().c_str(), &times);
    }
    struct utimbuf times = {static_cast<time_t>(t), static_cast<time_t>(t)};
    utime(root.c_str(), &times);
}

TEST_F(Build, SameTreeUnderTwoTimeZonesGivesTheSameBytes) {
    touchtree(temp / "src", 1700000000);
    std::string src = quote(temp / "src");
    ASSERT_EQ(shell(temp, "env -u SOURCE_DATE_EPOCH TZ=UTC " + quote(kOrvsfx) + " " +
                              build("utc.exe", src))
                  .status,
              0);
    ASSERT_EQ(shell(temp, "env -u SOURCE_DATE_EPOCH TZ=Pacific/Auckland " + quote(kOrvsfx) + " " +
                              build("nz.exe", src))
                  .status,
              0);
    ASSERT_EQ(shell(temp, "env -u SOURCE_DATE_EPOCH TZ=America/Los_Angeles " + quote(kOrvsfx) +
                              " " + build("la.exe", src))
                  .status,
              0);
    EXPECT_FALSE(bytes("utc.exe").empty());
    EXPECT_EQ(bytes("utc.exe"), bytes("nz.exe"));
    EXPECT_EQ(bytes("utc.exe"), bytes("la.exe"));
    // DOS times are written in UTC: 1700000000 is 2023-11-14 22:13:20 UTC.
    Outcome info = orvsfx(temp, "info " + quote(temp / "nz.exe"));
    EXPECT_NE(info.out.find("2023-11-14 22:13:20"), std::string::npos) << info.out;
}

TEST_F(Build, TwoCopiesOfTheTreeAtOtherPathsGiveTheSameBytes) {
    // A copy that keeps the times gives the same package without any clamp.
    toolstest::fs::create_directories(temp / "elsewhere");
    ASSERT_EQ(
        shell(temp, "cp -a " + quote(temp / "src") + " " + quote(temp / "elsewhere/copy")).status,
        0);
    ASSERT_EQ(orvsfx(temp, build("a.exe", quote(temp / "src"))).status, 0);
    ASSERT_EQ(orvsfx(temp, build("b.exe", quote(temp / "elsewhere/copy"))).status, 0);
    EXPECT_EQ(bytes("a.exe"), bytes("b.exe"));

    // A copy with fresh times differs, until SOURCE_DATE_EPOCH clamps both.
    touchtree(temp / "src", 1700000000);
    makesource(temp / "fresh/tree");
    touchtree(temp / "fresh/tree", 1750000000);
    std::string epoch = "env SOURCE_DATE_EPOCH=" + std::to_string(kEpoch) + " ";
    ASSERT_EQ(
        shell(temp, epoch + quote(kOrvsfx) + " " + build("c.exe", quote(temp / "src"))).status, 0);
    ASSERT_EQ(shell(temp, epoch + quote(kOrvsfx) + " " + build("d.exe", quote(temp / "fresh/tree")))
                  .status,
              0);
    EXPECT_EQ(bytes("c.exe"), bytes("d.exe"));
    ASSERT_EQ(orvsfx(temp, build("e.exe", quote(temp / "fresh/tree"))).status, 0);
    EXPECT_NE(bytes("c.exe"), bytes("e.exe"));
}

// A file of two pieces and a bit, beside the small ones, so that a streamed member and whole
// ones are compressed side by side.
TEST_F(Build, OneThreadAndSeveralGiveTheSameBytes) {
    std::string big;
    for (long long i = 0; big.size() <= 2 * kCompressPiece; ++i)
        big += "record " + std::to_string(i * 7919 % 100003) + "\n";
    toolstest::writebytes(temp / "src/big.txt", big);
    std::string src = quote(temp / "src");
    ASSERT_EQ(orvsfx(temp, build("one.exe", "--threads 1 " + src)).status, 0);
    ASSERT_EQ(orvsfx(temp, build("three.exe", "--threads 3 " + src)).status, 0);
    ASSERT_EQ(orvsfx(temp, build("default.exe", src)).status, 0);
    EXPECT_FALSE(bytes("one.exe").empty());
    EXPECT_EQ(bytes("one.exe"), bytes("three.exe"));
    EXPECT_EQ(bytes("one.exe"), bytes("default.exe"));
    if (!have("7zz")) return;
    ASSERT_EQ(sevenzipextract(temp, "three.exe").status, 0);
    EXPECT_EQ(toolstest::readbytes(temp / "out/big.txt"), big);
}

// An LZMA package of the tree, a file larger than a Deflate piece and an incompressible one:
// 7-Zip, bsdtar and the engine all extract the folder from it; the incompressible file is
// stored, the others are LZMA members needing version 6.3, each one stream however large.
TEST_F(Build, LzmaPackagesExtractWithSevenZipBsdtarAndTheEngine) {
    std::string big;
    for (long long i = 0; big.size() <= kCompressPiece + 1000; ++i)
        big += "record " + std::to_string(i * 7919 % 100003) + "\n";
    toolstest::writebytes(temp / "src/big.txt", big);
    std::string noise;
    for (unsigned x = 1; noise.size() < 50000; x = x * 1103515245 + 12345)
        noise.push_back(static_cast<char>(x >> 23));
    toolstest::writebytes(temp / "src/noise.bin", noise);
    std::string src = quote(temp / "src");
    ASSERT_EQ(orvsfx(temp, build("lzma.exe", "--method lzma --level 9 " + src)).status, 0);
    ASSERT_EQ(orvsfx(temp, build("deflate.exe", src)).status, 0);
    EXPECT_LT(bytes("lzma.exe").size(), bytes("deflate.exe").size());
    Outcome info = orvsfx(temp, "info " + quote(temp / "lzma.exe"));
    auto entry = [&](const std::string& name) { // the entry's line, from its method on
        std::size_t end = info.out.find("  " + name + "\n");
        return end == std::string::npos ? "" : info.out.substr(info.out.rfind('\n', end) + 3);
    };
    EXPECT_EQ(entry("big.txt").rfind("lzma ", 0), 0u) << info.out;
    EXPECT_EQ(entry("noise.bin").rfind("stored ", 0), 0u) << info.out;
    EXPECT_EQ(orvsfx(temp, "test " + quote(temp / "lzma.exe")).status, 0);
    ASSERT_EQ(orvsfx(temp, "extract -d " + quote(temp / "engine") + " " + quote(temp / "lzma.exe"))
                  .status,
              0);
    EXPECT_EQ(shell(temp, "diff -r " + src + " " + quote(temp / "engine")).status, 0);
    if (!have("7zz") || !have("bsdtar")) GTEST_SKIP() << "7zz or bsdtar is not installed";
    ASSERT_EQ(sevenzipextract(temp, "lzma.exe").status, 0);
    EXPECT_EQ(shell(temp, "diff -r " + src + " " + quote(temp / "out")).status, 0);
    toolstest::fs::create_directories(temp / "bsdtar");
    ASSERT_EQ(
        shell(temp, "bsdtar -xf " + quote(temp / "lzma.exe") + " -C " + quote(temp / "bsdtar"))
            .status,
        0);
    EXPECT_EQ(shell(temp, "diff -r " + src + " " + quote(temp / "bsdtar")).status, 0);
    Outcome list = shell(temp, "7zz l -slt " + quote(temp / "lzma.exe"));
    EXPECT_NE(list.out.find("Method = LZMA"), std::string::npos) << list.out;
}

// The method, its levels and the dictionary: values outside them are refused.
TEST_F(Build, LzmaSettingsOutsideTheirRangesAreRefused) {
    const struct {
        const char* flags;
        const char* message;
    } cases[] = {
        {"--method zstd", "--method takes deflate or lzma, not \"zstd\""},
        {"--method lzma --level 10", "--level with --method lzma takes 0 to 9"},
        {"--method lzma --dictionary 3k", "--dictionary needs a size from 4k to 64m, not \"3k\""},
        {"--method lzma --dictionary 65m", "--dictionary needs a size from 4k to 64m, not \"65m\""},
        {"--dictionary 1m", "--dictionary is for --method lzma"},
    };
    for (const auto& c : cases) {
        expectmessage(
            orvsfx(temp, build("x.exe", std::string(c.flags) + " " + quote(temp / "src"))), 2,
            std::string(c.message) + " (see \"orvsfx help\")");
        EXPECT_FALSE(toolstest::fs::exists(temp / "x.exe"));
    }
    for (const char* edge : {"--dictionary 4k", "--dictionary 64m", "--dictionary 4096"})
        EXPECT_EQ(orvsfx(temp, build("x.exe", std::string("--method lzma ") + edge + " " +
                                                  quote(temp / "src")))
                      .status,
                  0)
            << edge;
}

TEST_F(Build, AThreadCountAboveTheLimitIsRefused) {
    expectmessage(orvsfx(temp, build("x.exe", "--threads 65 " + quote(temp / "src"))), 2,
                  "--threads needs a number from 0 to 64, not \"65\" (see \"orvsfx help\")");
    EXPECT_FALSE(toolstest::fs::exists(temp / "x.exe"));
}

TEST_F(Build, TheEpochClampsDosAndExtendedTimesOnlyWhenLater) {
    touchtree(temp / "src", 1700000000);
    ASSERT_EQ(orvsfx(temp, build("clamped.exe", "--source-date-epoch " + std::to_string(kEpoch) +
                                                    " " + quote(temp / "src")))
                  .status,
              0);
    Outcome info = orvsfx(temp, "info " + quote(temp / "clamped.exe"));
    EXPECT_NE(info.out.find("2020-09-13 12:26:40"), std::string::npos) << info.out;
    EXPECT_EQ(info.out.find("2023-11-14"), std::string::npos) << info.out;
    if (have("7zz")) {
        ASSERT_EQ(sevenzipextract(temp, "clamped.exe").status, 0);
        struct stat extracted;
        ASSERT_EQ(stat((temp / "out/docs/big.txt").c_str(), &extracted), 0);
        EXPECT_EQ(extracted.st_mtime, kEpoch); // from the clamped extended time stamp
    }
    // Times before the epoch stay as they are; the flag wins over the environment.
    touchtree(temp / "src", 1500000000); // 2017-07-14 02:40:00 UTC
    ASSERT_EQ(shell(temp, "env SOURCE_DATE_EPOCH=1 " + quote(kOrvsfx) + " " +
                              build("early.exe", "--source-date-epoch=" + std::to_string(kEpoch) +
                                                     " " + quote(temp / "src")))
                  .status,
              0);
    info = orvsfx(temp, "info " + quote(temp / "early.exe"));
    EXPECT_NE(info.out.find("2017-07-14 02:40:00"), std::string::npos) << info.out;
}

TEST_F(Build, BadEpochsAreRefused) {
    expectmessage(orvsfx(temp, build("x.exe", "--source-date-epoch 12x " + quote(temp / "src"))), 2,
                  "--source-date-epoch needs seconds since 1970 (decimal digits), not \"12x\" "
                  "(see \"orvsfx help\")");
    expectmessage(shell(temp, "env SOURCE_DATE_EPOCH=-5 " + quote(kOrvsfx) + " " +
                                  build("x.exe", quote(temp / "src"))),
                  2,
                  "SOURCE_DATE_EPOCH needs seconds since 1970 (decimal digits), not \"-5\" "
                  "(see \"orvsfx help\")");
    EXPECT_FALSE(toolstest::fs::exists(temp / "x.exe"));
}

TEST_F(Build, ArchivesCopiedWithFromZipAreClampedToo) {
    if (!have("python3") || !have("7zz")) GTEST_SKIP() << "python3 or 7zz is not installed";
    python(temp, temp / "late.zip",
           "import struct\n"
           "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
           "    i = zipfile.ZipInfo('late.txt', (2030, 1, 2, 3, 4, 6))\n"
           "    i.extra = struct.pack('<HHBI', 0x5455, 5, 1, 1900000000)\n"
           "    z.writestr(i, 'later')\n"
           "    z.writestr(zipfile.ZipInfo('early.txt', (2001, 2, 3, 4, 5, 6)), 'earlier')\n");
    ASSERT_EQ(orvsfx(temp, build("late.exe", "--source-date-epoch " + std::to_string(kEpoch) +
                                                 " --from-zip " + quote(temp / "late.zip")))
                  .status,
              0);
    Outcome info = orvsfx(temp, "info " + quote(temp / "late.exe"));
    EXPECT_EQ(info.out.find("2030-01-02"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("2020-09-13 12:26:40"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("2001-02-03 04:05:06"), std::string::npos) << info.out;
    EXPECT_EQ(shell(temp, "7zz t " + quote(temp / "late.exe")).status, 0);
    ASSERT_EQ(sevenzipextract(temp, "late.exe").status, 0);
    struct stat extracted;
    ASSERT_EQ(stat((temp / "out/late.txt").c_str(), &extracted), 0);
    EXPECT_EQ(extracted.st_mtime, kEpoch);
}

TEST_F(Build, TheStubMustBeAPe32GuiProgramForI386) {
    struct Case {
        const char* name;
        std::string image;
        std::string reason;
    };
    toolstest::StubHeaders amd64, pe32plus, console, shortoptional;
    amd64.machine = 0x8664;
    pe32plus.magic = 0x20B;
    console.subsystem = 3;
    shortoptional.optionalsize = 60;
    std::string nope = toolstest::fakestub(12000);
    nope[0x80] = 'N';
    std::string faroff = toolstest::fakestub(12000);
    faroff[0x3D] = 0x7F; // e_lfanew 0x7F80
    const Case cases[] = {
        {"text.txt", "just some text, long enough to be read as a header if it were one\n",
         "it has no MZ header"},
        {"nope.exe", nope, "there is no PE signature at 0x80"},
        {"far.exe", faroff, "its PE header offset 0x7F80 lies outside the file"},
        {"amd64.exe", toolstest::fakestub(12000, amd64), "its machine is 0x8664, not i386 (0x14C)"},
        {"plus.exe", toolstest::fakestub(12000, pe32plus),
         "its optional header magic is 0x20B, not PE32 (0x10B)"},
        {"console.exe", toolstest::fakestub(12000, console),
         "its subsystem is 3 (console), not 2 (Windows GUI)"},
        {"short.exe", toolstest::fakestub(12000, shortoptional),
         "its optional header is too short (60 bytes) to hold the subsystem"},
    };
    for (const Case& c : cases) {
        toolstest::writebytes(temp / c.name, c.image);
        expectmessage(orvsfx(temp, build("p.exe", quote(temp / "src"), temp / c.name)), 1,
                      "the stub " + (temp / c.name) +
                          " is not a PE32 GUI program for i386: " + c.reason);
    }
    toolstest::writebytes(temp / "huge.exe", toolstest::fakestub(95498));
    expectmessage(orvsfx(temp, build("p.exe", quote(temp / "src"), temp / "huge.exe")), 1,
                  "the stub " + (temp / "huge.exe") +
                      " has 95498 bytes; at most 95497 leave its text block where the stub can "
                      "find it");
    EXPECT_FALSE(toolstest::fs::exists(temp / "p.exe"));
}

} // namespace
