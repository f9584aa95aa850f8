// Tests of the orvsfx program as users run it: build from a folder and from existing
// archives (checked with 7-Zip), info, every option, and every refusal (one line on standard
// error, a non-zero exit, no output file written and none replaced).
//
// Each test works in its own temporary folder; every process runs under timeout(1).
#include "tests/support/orvsfxcli.h"
#include "tests/support/rawzip.h"
#include "tools/base/littleendian.h"
#include "tools/zip/zipreader.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <sys/stat.h>
#include <sys/wait.h>

namespace {

using namespace toolstest::cli;
using toolstest::TempFolder;

class Orvsfx : public ::testing::Test {
  protected:
    void SetUp() override {
        toolstest::writebytes(temp / "stub.bin", toolstest::fakestub(12000));
        toolstest::writebytes(temp / "src/readme.txt", "Read me first.\n");
        std::string big;
        for (int i = 0; i < 20000; ++i) big += "line " + std::to_string(i) + "\n";
        toolstest::writebytes(temp / "src/docs/big.txt", big);
        toolstest::fs::create_directories(temp / "src/docs/empty");
        stub = quote(temp / "stub.bin");
    }
    std::string build(const std::string& out, const std::string& args) {
        return "build --stub " + stub + " -o " + quote(temp / out) + " " + args;
    }
    std::string info(const std::string& package) {
        return orvsfx(temp, "info " + quote(temp / package)).out;
    }

    TempFolder temp;
    std::string stub;
};

TEST_F(Orvsfx, HelpListsCommandsAndEveryBuildOption) {
    Outcome help = orvsfx(temp, "help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("build"), std::string::npos);
    EXPECT_NE(help.out.find("info"), std::string::npos);
    Outcome buildhelp = orvsfx(temp, "build --help");
    EXPECT_EQ(buildhelp.status, 0);
    for (const char* option : {"--stub",
                               "--texts",
                               "--level",
                               "--from-zip",
                               "--title",
                               "--folder",
                               "--command",
                               "--prompt",
                               "--prompt-style",
                               "--about",
                               "--description",
                               "--overwrite",
                               "--command-optional",
                               "--select-files",
                               "--show-overwrite",
                               "--clean-after",
                               "--auto-extract",
                               "--no-done-message",
                               "--info-panel",
                               "--no-open-with",
                               "--show-comment",
                               "--no-about-extra",
                               "--no-progress",
                               "--banner",
                               "--write-log",
                               "--flags-a",
                               "--flags-b"})
        EXPECT_NE(buildhelp.out.find(option), std::string::npos) << option;
}

TEST_F(Orvsfx, UsageErrorsExitWithTwo) {
    expectrefused(orvsfx(temp, "frobnicate"), 2, "unknown command");
    expectrefused(orvsfx(temp, build("p.exe", "")), 2, "FOLDER");
    expectrefused(orvsfx(temp, build("p.exe", "--bogus src")), 2, "unknown option --bogus");
    expectrefused(orvsfx(temp, build("p.exe", "--level 13 src")), 2, "--level");
    expectrefused(orvsfx(temp, build("p.exe", "--overwrite=maybe src")), 2, "--overwrite");
    expectrefused(orvsfx(temp, build("p.exe", "--command-optional src")), 2, "--command");
    expectrefused(orvsfx(temp, "info"), 2, "PACKAGE");
    EXPECT_FALSE(toolstest::fs::exists(temp / "p.exe"));
}

TEST_F(Orvsfx, PackageFromAFolderPassesSevenZipAndExtractsTheSameFiles) {
    if (!have("7zz")) GTEST_SKIP() << "7zz is not installed";
    chmod((temp / "src/readme.txt").c_str(), 0444);
    Outcome made = orvsfx(temp, build("demo.exe", "--level 9 --title Demo " + quote(temp / "src")));
    ASSERT_EQ(made.status, 0) << made.err;
    Outcome test = shell(temp, "7zz t " + quote(temp / "demo.exe"));
    EXPECT_EQ(test.status, 0) << test.out;
    EXPECT_NE(test.out.find("Everything is Ok"), std::string::npos);
    Outcome unpack = sevenzipextract(temp, "demo.exe");
    ASSERT_EQ(unpack.status, 0) << unpack.out;
    EXPECT_EQ(toolstest::readbytes(temp / "out/readme.txt"), "Read me first.\n");
    EXPECT_EQ(toolstest::readbytes(temp / "out/docs/big.txt"),
              toolstest::readbytes(temp / "src/docs/big.txt"));
    EXPECT_TRUE(toolstest::fs::is_directory(temp / "out/docs/empty"));
    struct stat original, extracted;
    stat((temp / "src/docs/big.txt").c_str(), &original);
    stat((temp / "out/docs/big.txt").c_str(), &extracted);
    EXPECT_EQ(original.st_mtime, extracted.st_mtime); // from the extended time stamp
    chmod((temp / "src/readme.txt").c_str(), 0644);
}

TEST_F(Orvsfx, InfoShowsLayoutChecksumEntriesAndTexts) {
    ASSERT_EQ(orvsfx(temp, build("demo.exe", quote(temp / "src"))).status, 0);
    Outcome run = orvsfx(temp, "info " + quote(temp / "demo.exe"));
    EXPECT_EQ(run.status, 0) << run.out;
    const std::string& out = run.out;
    EXPECT_NE(out.find("stub image       0 (29968 bytes"), std::string::npos) << out;
    EXPECT_NE(out.find("text block       30000 ("), std::string::npos) << out;
    EXPECT_NE(out.find("matches"), std::string::npos);
    EXPECT_NE(out.find("offsets from the start of the package"), std::string::npos);
    EXPECT_NE(out.find("deflate"), std::string::npos); // the big file compresses at level 6
    for (const char* name : {" readme.txt", " docs/", " docs/big.txt", " docs/empty/"})
        EXPECT_NE(out.find(name), std::string::npos) << name;
    EXPECT_NE(out.find("  22 \"Created with Orvandel SFX\""), std::string::npos);
    EXPECT_EQ(out.find("problem:"), std::string::npos);
}

TEST_F(Orvsfx, EveryOptionReachesTheDecodedOptions) {
    toolstest::writebytes(temp / "about.txt", "Line one\nLine two\n");
    Outcome made =
        orvsfx(temp, build("all.exe", "--title 'My Setup' --folder '%temp%\\Mine' --command "
                                      "'setup.exe|/q' --prompt 'Go on?' --about-file " +
                                          quote(temp / "about.txt") +
                                          " --description=Described --overwrite never "
                                          "--command-optional --select-files --show-overwrite "
                                          "--clean-after --auto-extract --no-done-message "
                                          "--info-panel --no-open-with --show-comment "
                                          "--no-about-extra --no-progress --banner --write-log " +
                                          quote(temp / "src")));
    ASSERT_EQ(made.status, 0) << made.err;
    std::string out = info("all.exe");
    for (const char* line : {"title            \"My Setup\"",
                             "destfolder       \"%temp%\\\\Mine\"",
                             "command          \"setup.exe|/q\"",
                             "startprompt      \"Go on?\"",
                             "promptstyle      0x0024",
                             "abouttext        \"Line one\\r\\nLine two\"",
                             "infotext         \"Described\"",
                             "overwritemode    16 (skip)",
                             "commandoptional  yes",
                             "selectfiles      yes",
                             "showoverwrite    yes",
                             "cleanafter       yes",
                             "autoextract      yes",
                             "showdone         no",
                             "infopanel        yes",
                             "noopenwith       yes",
                             "showcomment      yes",
                             "aboutextra       no",
                             "showprogress     no",
                             "showbanner       yes",
                             "writelog         yes",
                             "flags A 0xF7",
                             "flags B 0x7F"})
        EXPECT_NE(out.find(line), std::string::npos) << line << "\n" << out;

    ASSERT_EQ(orvsfx(temp, build("none.exe", quote(temp / "src"))).status, 0);
    out = info("none.exe");
    for (const char* line : {"title            \"Self-Extracting Archive\"", "showdone         yes",
                             "aboutextra       yes", "showprogress     yes", "selectfiles      no",
                             "overwritemode    0 (confirm)", "flags A 0x00", "flags B 0x00"})
        EXPECT_NE(out.find(line), std::string::npos) << line;
}

TEST_F(Orvsfx, RawFlagBytesAndPromptStyles) {
    ASSERT_EQ(orvsfx(temp, build("raw.exe", "--flags-a 0x18 --flags-b=128 --prompt Q "
                                            "--prompt-style okcancel+warning " +
                                                quote(temp / "src")))
                  .status,
              0);
    std::string out = info("raw.exe");
    EXPECT_NE(out.find("overwritemode    8 (overwrite)"), std::string::npos) << out;
    EXPECT_NE(out.find("flags B 0x80"), std::string::npos);
    EXPECT_NE(out.find("promptstyle      0x0031"), std::string::npos);
    expectrefused(orvsfx(temp, build("bad.exe", "--prompt-style sideways src")), 2, "sideways");
    expectrefused(orvsfx(temp, build("bad.exe", "--flags-a 256 src")), 2, "--flags-a");
}

// A folder's non-ASCII names are written as UTF-8 with bit 11 (ASCII names without it),
// and the package extracts to the same names; info shows what the stub writes on a
// Windows-1252 system.
TEST_F(Orvsfx, NonAsciiNamesRoundTripAsUtf8) {
    const std::string names[] = {"plain.txt", "caf\xC3\xA9.txt", "\xCE\xB1\xCE\xB2.txt",
                                 "\xE6\x97\xA5\xE6\x9C\xAC/\xD0\xB4.txt"};
    for (const std::string& name : names) toolstest::writebytes(temp / ("src/" + name), name);
    Outcome made = orvsfx(temp, build("utf8.exe", quote(temp / "src")));
    ASSERT_EQ(made.status, 0) << made.err;
    std::string package = toolstest::readbytes(temp / "utf8.exe");
    for (const std::string& name : names) {
        // General purpose flags sit 6 bytes into the local header, 8 into the central one.
        size_t local = package.find("PK\x03\x04");
        bool found = false;
        for (; local != std::string::npos; local = package.find("PK\x03\x04", local + 1)) {
            if (package.compare(local + 30, name.size(), name) != 0) continue;
            unsigned flags = get16(package, local + 6);
            EXPECT_EQ((flags & 0x800) != 0, name != "plain.txt") << name;
            found = true;
        }
        EXPECT_TRUE(found) << name;
    }
    Outcome extracted =
        orvsfx(temp, "extract -d " + quote(temp / "out") + " " + quote(temp / "utf8.exe"));
    ASSERT_EQ(extracted.status, 0) << extracted.err;
    for (const std::string& name : names)
        EXPECT_EQ(toolstest::readbytes(temp / ("out/" + name)), name) << name;
    std::string out = info("utf8.exe");
    // The stub writes every name as it is: nothing to warn of.
    EXPECT_NE(out.find("  caf\xC3\xA9.txt\n"), std::string::npos) << out;
    EXPECT_NE(out.find("  \xCE\xB1\xCE\xB2.txt\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("warning: \"\xCE\xB1"), std::string::npos) << out;
}

// Names go as UTF-8, which the stub writes whatever the system's code page: no name is
// warned of.
TEST_F(Orvsfx, LevelZeroStoresTheCommentIsKeptAndNoNameIsWarnedOf) {
    toolstest::writebytes(temp / "src/caf\xC3\xA9.txt", "coffee");
    toolstest::writebytes(temp / "src/\xCE\xB1\xCE\xB2.txt", "greek");
    Outcome made = orvsfx(
        temp, build("stored.exe", "--level 0 --comment 'Hello there' " + quote(temp / "src")));
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_EQ(made.err.find("caf\xC3\xA9.txt"), std::string::npos) << made.err;
    EXPECT_EQ(made.err.find("\xCE\xB1\xCE\xB2.txt"), std::string::npos) << made.err;
    std::string out = info("stored.exe");
    EXPECT_EQ(out.find("deflate"), std::string::npos) << out;
    EXPECT_NE(out.find("stored"), std::string::npos);
    EXPECT_NE(out.find("comment: \"Hello there\""), std::string::npos) << out;
}

TEST_F(Orvsfx, LengthLimitsAreEnforced) {
    std::string title255(255, 't'), title256(256, 't');
    ASSERT_EQ(
        orvsfx(temp, build("ok.exe", "--title " + title255 + " " + quote(temp / "src"))).status, 0);
    EXPECT_NE(info("ok.exe").find(title255), std::string::npos);
    expectrefused(
        orvsfx(temp, build("long.exe", "--title " + title256 + " " + quote(temp / "src"))), 1,
        "title");
    expectrefused(
        orvsfx(temp, build("long.exe", "--folder " + title256 + " " + quote(temp / "src"))), 1,
        "destination folder");
    EXPECT_FALSE(toolstest::fs::exists(temp / "long.exe"));
}

TEST_F(Orvsfx, TextTablesAreTakenOrRefused) {
    std::string table;
    // The printf conversions of the English texts stay: %i in 1, %s %i in 2, %s in 11 and 50.
    const std::map<int, std::string> conversions = {
        {1, " %i"}, {2, " %s %i"}, {11, " %s"}, {50, " %s"}};
    for (int k = 0; k < 66; ++k)
        table += "Text " + std::to_string(k) + (k == 5 ? "\\t&Go" : "") +
                 (conversions.count(k) ? conversions.at(k) : "") + "\n";
    toolstest::writebytes(temp / "texts.txt", table);
    ASSERT_EQ(orvsfx(temp, build("t.exe", "--texts " + quote(temp / "texts.txt") + " " +
                                              quote(temp / "src")))
                  .status,
              0);
    std::string out = info("t.exe");
    EXPECT_NE(out.find("   5 \"Text 5\\t&Go\""), std::string::npos) << out;
    EXPECT_NE(out.find("title            \"Text 18\""), std::string::npos); // the default title

    toolstest::writebytes(temp / "short.txt", table.substr(0, table.rfind("Text 65")));
    expectrefused(orvsfx(temp, build("t2.exe", "--texts " + quote(temp / "short.txt") + " " +
                                                   quote(temp / "src"))),
                  1, "exactly 66");
    EXPECT_FALSE(toolstest::fs::exists(temp / "t2.exe"));
}

TEST_F(Orvsfx, StubSizesArePaddedOrRefused) {
    toolstest::writebytes(temp / "big.bin", toolstest::fakestub(95497));
    ASSERT_EQ(orvsfx(temp, "build --stub " + quote(temp / "big.bin") + " -o " +
                               quote(temp / "b.exe") + " " + quote(temp / "src"))
                  .status,
              0);
    std::string out = info("b.exe");
    EXPECT_NE(out.find("text block       95529 ("), std::string::npos);
    EXPECT_NE(out.find("warning: the text block lies 0 bytes before the end of the window the "
                       "stub searches (95529)"),
              std::string::npos)
        << out;

    toolstest::writebytes(temp / "huge.bin", toolstest::fakestub(95498));
    toolstest::writebytes(temp / "keep.exe", "an older package");
    expectrefused(orvsfx(temp, "build --stub " + quote(temp / "huge.bin") + " -o " +
                                   quote(temp / "keep.exe") + " " + quote(temp / "src")),
                  1, "95497");
    EXPECT_EQ(toolstest::readbytes(temp / "keep.exe"), "an older package");
    EXPECT_FALSE(toolstest::fs::exists(temp / "keep.exe.partial"));
}

TEST_F(Orvsfx, RefusesToOverwriteItsInputsOrPackItsOwnOutput) {
    expectrefused(orvsfx(temp, build("stub.bin", quote(temp / "src"))), 1,
                  "would replace the input");
    EXPECT_EQ(toolstest::readbytes(temp / "stub.bin"), toolstest::fakestub(12000));
    expectrefused(orvsfx(temp, build("src/inside.exe", quote(temp / "src"))), 1,
                  "inside the folder");
    EXPECT_FALSE(toolstest::fs::exists(temp / "src/inside.exe"));
    expectrefused(orvsfx(temp, build("x.exe", quote(temp / "missing"))), 1, "not a folder");
    expectrefused(orvsfx(temp, "build --stub " + quote(temp / "nostub") + " -o " +
                                   quote(temp / "x.exe") + " " + quote(temp / "src")),
                  1, "cannot read the stub");
}

TEST_F(Orvsfx, PackageFromZipFilesPassesSevenZipWithRebasedOffsets) {
    if (!have("7zz") || !have("python3")) GTEST_SKIP() << "7zz or python3 is not installed";
    python(temp, temp / "py.zip",
           "with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:\n"
           "    z.writestr('a.txt', 'alpha ' * 1000)\n"
           "    z.writestr('dir/b.txt', 'beta')\n"
           "    z.comment = b'made by python'\n");
    // The same archive with data in front: its offsets count from the archive's own start.
    toolstest::writebytes(temp / "prefixed.zip",
                          std::string(3333, 'J') + toolstest::readbytes(temp / "py.zip"));
    ASSERT_EQ(shell(temp, "7zz a -tzip -mm=Deflate64 " + quote(temp / "7z.zip") + " " +
                              quote(temp / "src/docs"))
                  .status,
              0);

    for (const char* source : {"py.zip", "prefixed.zip", "7z.zip"}) {
        std::string package = std::string(source) + ".exe";
        Outcome made = orvsfx(temp, build(package, "--from-zip " + quote(temp / source)));
        ASSERT_EQ(made.status, 0) << source << ": " << made.err;
        Outcome test = shell(temp, "7zz t " + quote(temp / package));
        EXPECT_EQ(test.status, 0) << source << "\n" << test.out;
        Outcome shown = orvsfx(temp, "info " + quote(temp / package));
        EXPECT_EQ(shown.status, 0) << shown.out;
        EXPECT_NE(shown.out.find("offsets from the start of the package"), std::string::npos)
            << shown.out;
        EXPECT_EQ(shown.out.find("problem:"), std::string::npos) << shown.out;
    }
    EXPECT_NE(info("py.zip.exe").find("comment: \"made by python\""), std::string::npos);
    EXPECT_NE(info("7z.zip.exe").find("deflate64"), std::string::npos);
    // A package is itself an archive whose offsets count from the file start.
    ASSERT_EQ(orvsfx(temp, build("again.exe", "--from-zip " + quote(temp / "py.zip.exe"))).status,
              0);
    EXPECT_EQ(shell(temp, "7zz t " + quote(temp / "again.exe")).status, 0);
}

TEST_F(Orvsfx, RefusesArchivesTheStubCannotExtract) {
    if (!have("python3")) GTEST_SKIP() << "python3 is not installed";
    python(temp, temp / "zip64.zip",
           "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
           "    with z.open('big.bin', 'w', force_zip64=True) as f: f.write(b'x')\n");
    python(temp, temp / "many.zip",
           "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
           "    for i in range(65536): z.writestr('%05d' % i, b'')\n");
    python(temp, temp / "long.zip",
           "with zipfile.ZipFile(sys.argv[1], 'w') as z: z.writestr('n' * 260, b'x')\n");
    python(
        temp, temp / "bzip2.zip",
        "with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_BZIP2) as z: z.writestr('a', b'x')\n");
    python(temp, temp / "disk.zip",
           "with zipfile.ZipFile(sys.argv[1], 'w') as z: z.writestr('a', b'x')\n"
           "data = bytearray(open(sys.argv[1], 'rb').read())\n"
           "end = data.rfind(b'PK\\x05\\x06'); data[end + 4] = 1\n"
           "open(sys.argv[1], 'wb').write(data)\n");
    toolstest::writebytes(temp / "text.zip", "this is not an archive");
    const struct {
        const char* file;
        const char* reason;
    } cases[] = {{"zip64.zip", "ZIP64"},     {"many.zip", "ZIP64"},
                 {"long.zip", "260"},        {"bzip2.zip", "uses bzip2 compression (method 12)"},
                 {"disk.zip", "multi-disk"}, {"text.zip", "not a ZIP archive"}};
    for (const auto& c : cases) {
        std::string package = std::string(c.file) + ".exe";
        expectrefused(orvsfx(temp, build(package, "--from-zip " + quote(temp / c.file))), 1,
                      c.reason);
        EXPECT_FALSE(toolstest::fs::exists(temp / package)) << c.file;
        EXPECT_FALSE(toolstest::fs::exists(temp / (package + ".partial"))) << c.file;
    }
}

TEST_F(Orvsfx, InfoReportsDamage) {
    ASSERT_EQ(orvsfx(temp, build("demo.exe", quote(temp / "src"))).status, 0);
    std::string package = toolstest::readbytes(temp / "demo.exe");
    std::string damaged = package;
    damaged[30020] ^= 1;
    toolstest::writebytes(temp / "sum.exe", damaged);
    Outcome sum = orvsfx(temp, "info " + quote(temp / "sum.exe"));
    EXPECT_EQ(sum.status, 1);
    EXPECT_NE(sum.out.find("DOES NOT MATCH"), std::string::npos) << sum.out;
    damaged = package.substr(0, package.size() - 10);
    toolstest::writebytes(temp / "cut.exe", damaged);
    Outcome cut = orvsfx(temp, "info " + quote(temp / "cut.exe"));
    EXPECT_EQ(cut.status, 1);
    EXPECT_NE(cut.out.find("problem: archive"), std::string::npos) << cut.out;
    toolstest::writebytes(temp / "short.exe", package.substr(0, 20000));
    Outcome none = orvsfx(temp, "info " + quote(temp / "short.exe"));
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.out.find("no text block marker"), std::string::npos);
}

// info shows a folder that its attribute alone marks with the "/" the stub gives it, and marks
// each member the stub does not extract with what it needs (the builder refuses such members,
// so the package is changed behind it), besides the problem.
TEST_F(Orvsfx, InfoMarksAttributeFoldersAndMembersTheStubCannotExtract) {
    rawzip::Member aes = rawzip::file("AES.BIN", "aes");
    aes.extra = rawzip::aesfield(3, kMethodStored);
    toolstest::writebytes(temp / "dos.zip", rawzip::archive({rawzip::attributefolder("DOCS"),
                                                             rawzip::file("DOCS/A.TXT", "a"), aes,
                                                             rawzip::file("DATA.BIN", "data")}));
    ASSERT_EQ(orvsfx(temp, build("dos.exe", "--from-zip " + quote(temp / "dos.zip"))).status, 0);
    std::string package = toolstest::readbytes(temp / "dos.exe");
    const std::map<std::string, unsigned> methods = {{"AES.BIN", kMethodAes}, {"DATA.BIN", 12}};
    for (const ZipEntry& e : readziparchive(package).entries)
        if (methods.count(e.name)) package[e.centralat + kCentralMethod] = char(methods.at(e.name));
    toolstest::writebytes(temp / "dos.exe", package);
    Outcome run = orvsfx(temp, "info " + quote(temp / "dos.exe"));
    EXPECT_EQ(run.status, 1);
    const std::string aesneed = "is encrypted with AES-256, which the stub does not decrypt";
    for (const std::string& line : std::vector<std::string>{
             "  DOCS/\n", "  DOCS/A.TXT\n", "  AES.BIN  [" + aesneed + "]\n",
             "  DATA.BIN  [uses bzip2 compression (method 12), which the stub does not extract]\n",
             "\n  aes  ", "\n  bzip2  ", "problem: AES.BIN: " + aesneed + "\n"})
        EXPECT_NE(run.out.find(line), std::string::npos) << line << run.out;
}

} // namespace
