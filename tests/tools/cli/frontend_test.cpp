// orvsfx list, test and extract on Linux, checked against 7-Zip on the stored-member
// archives of the corpus, and their exit codes.
#include "tests/support/enginetestkit.h"
#include "tests/support/rawzip.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <sstream>
#include <vector>
#include <stdio.h>
#include <sys/wait.h>

using namespace enginetest;

namespace {

const char* const kStoredArchives[] = {"stored.zip", "sevenzip_stored.zip",  "bsdtar_stored.zip",
                                       "many.zip",   "package_adjusted.zip", "descriptor.zip"};

struct Output {
    int status = -1;
    std::string text;
};

// Runs a shell command line as it stands; returns the exit status and what it wrote to the
// pipe.
Output capture(const std::string& command) {
    Output out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.text.append(buffer, got);
    int status = pclose(pipe);
    out.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return out;
}

// Runs a shell command (its programs under a time limit); returns the exit status and the
// standard output.
Output shell(const std::string& command) {
    return capture(command + " 2>/dev/null");
}

// Runs orvsfx with arguments, the given answers on standard input, in folder cwd.
Output orvsfx(const std::string& args, const std::string& input = "",
              const std::string& cwd = ".") {
    return shell("cd '" + cwd + "' && printf '" + input + "' | timeout 60 " +
                 std::string(ORV_BINARY_DIR) + "/tools/orvsfx " + args);
}

// name -> "size packed method crc" from our list.
std::map<std::string, std::string> ourlist(const std::string& archive) {
    std::map<std::string, std::string> entries;
    std::istringstream lines(orvsfx("list '" + archive + "'").text);
    std::string date, time, size, packed, method, crc, name;
    while (lines >> date >> time >> size >> packed >> method >> crc &&
           std::getline(lines >> std::ws, name)) {
        if (!name.empty() && name.back() == '/') name.pop_back();
        entries[name] = size + " " + packed + " " + method + " " + (name.empty() ? "" : crc);
    }
    return entries;
}

std::string lowered(std::string text) {
    for (char& c : text) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return text;
}

// The same from 7zz l -slt (folders have no CRC there, ours show 00000000; 7-Zip's method
// names are "Store", "Deflate", "LZMA:20" ..., ours "stored", "deflate", "lzma").
std::map<std::string, std::string> sevenziplist(const std::string& archive) {
    std::map<std::string, std::string> entries;
    std::istringstream lines(shell("timeout 60 7zz l -slt '" + archive + "'").text);
    std::string line, path, size, packed, crc;
    bool started = false;
    while (std::getline(lines, line)) {
        if (line == "----------") started = true;
        if (!started) continue;
        if (line.rfind("Path = ", 0) == 0) path = line.substr(7);
        if (line.rfind("Size = ", 0) == 0) size = line.substr(7);
        if (line.rfind("Packed Size = ", 0) == 0) packed = line.substr(14);
        if (line.rfind("CRC = ", 0) == 0) crc = lowered(line.substr(6));
        if (line.rfind("Method = ", 0) == 0) {
            std::string method = lowered(line.substr(9, line.find_first_of(": ", 9) - 9));
            if (method == "store") method = "stored";
            entries[path] =
                size + " " + packed + " " + method + " " + (crc.empty() ? "00000000" : crc);
        }
    }
    return entries;
}

TEST(FrontEnd, ListAgreesWithSevenZip) {
    std::vector<const char*> archives(std::begin(kStoredArchives), std::end(kStoredArchives));
    archives.insert(archives.end(),
                    {"sevenzip_deflate64.zip", "sevenzip_lzma.zip", "python_lzma.zip"});
    for (const char* name : archives) {
        auto ours = ourlist(fixture(name));
        EXPECT_FALSE(ours.empty()) << name;
        EXPECT_EQ(ours, sevenziplist(fixture(name))) << name;
    }
}

TEST(FrontEnd, ExtractAgreesWithSevenZip) {
    for (const char* name : kStoredArchives) {
        TempDir ours, theirs;
        Output out = orvsfx("extract -d '" + ours.str() + "' '" + fixture(name) + "'");
        EXPECT_EQ(out.status, 0) << name;
        ASSERT_TRUE(sevenzipextract(fixture(name), theirs.path()));
        EXPECT_EQ(readtree(ours.path()), readtree(theirs.path())) << name;
    }
}

TEST(FrontEnd, TestChecksWithoutWriting) {
    TempDir dir;
    auto test = [&](const char* name) {
        return orvsfx("test '" + fixture(name) + "'", "", dir.str()).status;
    };
    for (const char* name : kStoredArchives) EXPECT_EQ(test(name), 0) << name;
    EXPECT_EQ(test("sevenzip_deflate64.zip"), 0);
    EXPECT_EQ(test("sevenzip_lzma.zip"), 0);
    EXPECT_EQ(test("python_lzma.zip"), 0);
    EXPECT_EQ(test("badcrc.zip"), kResultArchiveError);
    EXPECT_TRUE(readtree(dir.path()).empty());
}

TEST(FrontEnd, ExitCodesAreEngineResults) {
    TempDir dir;
    auto extract = [&](const std::string& archive) {
        return orvsfx("extract -o -d '" + dir.str() + "' '" + archive + "'").status;
    };
    EXPECT_EQ(extract(fixture("empty.zip")), kResultWarning);
    EXPECT_EQ(extract(fixture("cutcentral.zip")), kResultEndOfArchive);
    EXPECT_EQ(extract(fixture("foreignsig.zip")), kResultSevereError);
    EXPECT_EQ(extract(dir.str() + "/none.zip"), kResultNotFound);
    EXPECT_EQ(orvsfx("extract '" + fixture("stored.zip") + "'").status, 2); // no -d: usage
}

TEST(FrontEnd, OverwriteChoices) {
    TempDir dir;
    std::string target = "-d '" + dir.str() + "' '" + fixture("semicolon.zip") + "'";
    ASSERT_EQ(orvsfx("extract " + target).status, 0);
    FILE* f = fopen((dir.path() / "a;b").string().c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fputs("mine", f);
    fclose(f);
    EXPECT_EQ(orvsfx("extract -n " + target).status, 0);
    EXPECT_EQ(readfile(dir.path() / "a;b"), "mine");
    // One answer for each of the five existing files.
    EXPECT_EQ(orvsfx("extract " + target, "n\\nn\\nn\\nn\\nn\\n").status, 0);
    EXPECT_EQ(readfile(dir.path() / "a;b"), "mine");
    EXPECT_EQ(orvsfx("extract " + target, "A\\n").status, 0);
    EXPECT_EQ(readfile(dir.path() / "a;b"), "a;b");
}

} // namespace

namespace {

// Packages made by orvsfx build (offsets from the start of the package file) extract to
// the folder they were made from, stored or compressed.
TEST(FrontEnd, BuilderPackagesExtract) {
    TempDir dir;
    fs::path source = dir.path() / "src";
    fs::create_directories(source / "sub");
    std::string text;
    for (int i = 0; i < 3000; ++i) text += "line " + std::to_string(i % 97) + "\n";
    for (auto& file : {std::make_pair(source / "a.txt", std::string("hello\n")),
                       std::make_pair(source / "sub" / "b.txt", text)}) {
        FILE* f = fopen(file.first.string().c_str(), "wb");
        ASSERT_NE(f, nullptr);
        fwrite(file.second.data(), 1, file.second.size(), f);
        fclose(f);
    }
    std::string stub = (dir.path() / "stub.exe").string();
    // A stand-in with the headers of a PE32 GUI program, which the builder checks a stub for.
    toolstest::writebytes(stub, toolstest::fakestub(4000));
    for (const char* level : {"0", "9"}) {
        std::string package = (dir.path() / (std::string("p") + level + ".exe")).string();
        ASSERT_EQ(orvsfx("build --stub '" + stub + "' -o '" + package + "' --level " + level +
                         " '" + source.string() + "'")
                      .status,
                  0);
        EXPECT_EQ(orvsfx("test '" + package + "'").status, 0) << level;
        fs::path out = dir.path() / (std::string("out") + level);
        EXPECT_EQ(orvsfx("extract -d '" + out.string() + "' '" + package + "'").status, 0);
        EXPECT_EQ(readtree(out), readtree(source)) << level;
    }
}

} // namespace

namespace {

TEST(FrontEnd, PasswordsFromOptionAndTerminal) {
    TempDir dir;
    EXPECT_EQ(orvsfx("test -p secret '" + fixture("enc_secret.zip") + "'").status, 0);
    EXPECT_EQ(orvsfx("test '" + fixture("enc_mixed.zip") + "'").status, kResultBadPassword);
    EXPECT_EQ(
        orvsfx("extract -d '" + dir.str() + "' '" + fixture("enc_mixed.zip") + "'", "two\\none\\n")
            .status,
        0);
    EXPECT_EQ(readfile(dir.path() / "top.txt"), "top\n");
}

} // namespace

namespace {

// Runs orvsfx like orvsfx() but returns what it wrote to standard error.
Output orvsfxerrors(const std::string& args, const std::string& input = "") {
    return capture("printf '" + input + "' | timeout 60 " + std::string(ORV_BINARY_DIR) +
                   "/tools/orvsfx " + args + " 2>&1 >/dev/null");
}

std::string line(const std::string& archive, const std::string& rest) {
    return "orvsfx: " + archive + ": " + rest + "\n";
}

TEST(FrontEndReasons, ArchiveThatCannotBeOpenedSaysWhyAndMakesNothing) {
    TempDir dir;
    std::string missing = dir.str() + "/nosuch.zip";
    Output list = orvsfxerrors("list '" + missing + "'");
    EXPECT_EQ(list.status, kResultNotFound);
    EXPECT_EQ(list.text, line(missing, "cannot open: No such file or directory"));
    fs::path out = dir.path() / "out";
    Output extract = orvsfxerrors("extract -d '" + out.string() + "' '" + missing + "'");
    EXPECT_EQ(extract.status, kResultNotFound);
    EXPECT_EQ(extract.text, line(missing, "cannot open: No such file or directory"));
    Output notzip =
        orvsfxerrors("extract -d '" + out.string() + "' '" + fixture("notzip.bin") + "'");
    EXPECT_EQ(notzip.status, kResultArchiveError);
    EXPECT_EQ(notzip.text,
              line(fixture("notzip.bin"), "not a zip archive: no end-of-central-directory record"));
    EXPECT_FALSE(fs::exists(out));
    EXPECT_EQ(orvsfxerrors("list '" + dir.str() + "'").text,
              line(dir.str(), "is a folder, not an archive"));
}

TEST(FrontEndReasons, DamagedMembersAndArchivesGiveOneLineEach) {
    struct Case {
        const char* archive;
        int status;
        const char* text;
    };
    const Case cases[] = {
        {"badcrc.zip", 2, "second.txt: CRC mismatch"},
        {"method12.zip", 1,
         "second.txt: uses bzip2 compression (method 12), which orvsfx does not extract"},
        {"localname.zip", 2,
         "shown.txt: damaged: the local header's name differs from the "
         "central directory's"},
        {"datapast.zip", 2,
         "shown.txt: damaged: the compressed size runs past the central "
         "directory or the end of the file"},
        {"sizemore.zip", 2,
         "shown.txt: size mismatch: the data does not decode to the stored "
         "size"},
        {"commentcut.zip", 1, "truncated: the archive comment runs past the end of the file"},
        {"entrycounts.zip", 2,
         "damaged: the end record's count of entries on this disk differs "
         "from its total"},
        {"cutcentral.zip", 51,
         "truncated: a central directory entry runs past the end of the "
         "file"},
        {"foreignsig.zip", 3,
         "damaged: the central directory holds fewer entries than its end "
         "record says"},
        {"enc_mixed.zip", 82, "docs/guide.txt: wrong password"},
    };
    for (const Case& c : cases) {
        Output test = orvsfxerrors("test '" + fixture(c.archive) + "'");
        EXPECT_EQ(test.status, c.status) << c.archive;
        EXPECT_EQ(test.text.substr(0, test.text.find('\n') + 1), line(fixture(c.archive), c.text))
            << c.archive;
    }
    // A cut comment also fails the listing; a whole one does not.
    EXPECT_EQ(orvsfxerrors("list '" + fixture("commentcut.zip") + "'").status, kResultWarning);
    Output whole = orvsfxerrors("list '" + fixture("commentwhole.zip") + "'");
    EXPECT_EQ(whole.status, 0);
    EXPECT_EQ(whole.text, "");
}

// An output that cannot be had exits with 50 and names why; the other members are extracted.
TEST(FrontEndReasons, OutputThatCannotBeCreatedNamesWhy) {
    TempDir dir;
    fs::create_directories(dir.path() / "readme.txt" / "inside");
    Output folder =
        orvsfxerrors("extract -o -d '" + dir.str() + "' '" + fixture("stored.zip") + "'");
    EXPECT_EQ(folder.status, kResultDiskFull);
    EXPECT_EQ(folder.text, line(fixture("stored.zip"),
                                "readme.txt: a folder stands where the file is to be written"));
    TempDir other;
    Output longname =
        orvsfxerrors("extract -d '" + other.str() + "' '" + fixture("toolong.zip") + "'");
    EXPECT_EQ(longname.status, kResultDiskFull);
    EXPECT_EQ(longname.text, line(fixture("toolong.zip"), std::string(252, 'x') +
                                                              ".txt: the name is too long for the "
                                                              "file system"));
    EXPECT_EQ(readfile(other.path() / "after.txt"), "after");
}

TEST(FrontEndReasons, ExistingFileWithoutAnAnswerIsAnErrorNamingTheSwitches) {
    TempDir dir;
    std::string target = "-d '" + dir.str() + "' '" + fixture("localslash.zip") + "'";
    ASSERT_EQ(orvsfx("extract " + target).status, 0);
    FILE* f = fopen((dir.path() / "dir" / "a.txt").string().c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fputs("mine", f);
    fclose(f);
    Output out = orvsfxerrors("extract " + target + " </dev/null");
    EXPECT_EQ(out.status, kResultWarning);
    EXPECT_EQ(out.text, line(fixture("localslash.zip"),
                             "dir/a.txt: exists; use -o to overwrite existing files or -n to "
                             "keep them"));
    EXPECT_EQ(readfile(dir.path() / "dir" / "a.txt"), "mine");
}

// UTF-8 names reach a UTF-8 terminal as they are; a destination and a pattern typed in
// UTF-8 work without conversion.
TEST(FrontEndReasons, Utf8NamesListAndExtractAsTyped) {
    Output list = orvsfx("list '" + fixture("python_utf8.zip") + "'");
    EXPECT_EQ(list.status, 0);
    EXPECT_NE(list.text.find("  caf\xC3\xA9.txt\n"), std::string::npos) << list.text;
    EXPECT_NE(list.text.find("  \xCE\xB1\xCE\xB2\xCE\xB3.txt\n"), std::string::npos);
    EXPECT_NE(
        list.text.find("  \xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E/\xE6\x96\x87\xE6\x9B\xB8.txt\n"),
        std::string::npos);
    TempDir dir;
    std::string into = dir.str() + "/\xD0\xBF\xD0\xB0\xD0\xBF\xD0\xBA\xD0\xB0";
    Output out = orvsfx("extract -d '" + into + "' '" + fixture("python_utf8.zip") +
                        "' 'Gr\xC3\xBC\xC3\x9F"
                        "e/*'");
    EXPECT_EQ(out.status, 0) << out.text;
    EXPECT_EQ(readtree(into), (std::map<std::string, std::string>{{"Gr\xC3\xBC\xC3\x9F"
                                                                   "e",
                                                                   "<dir>"},
                                                                  {"Gr\xC3\xBC\xC3\x9F"
                                                                   "e/stra\xC3\x9F"
                                                                   "e.txt",
                                                                   "Gr\xC3\xBC\xC3\x9F"
                                                                   "e/stra\xC3\x9F"
                                                                   "e.txt"}}));
    // The stub writes the names as they are: list warns of none.
    Output warnings = orvsfxerrors("list '" + fixture("python_utf8.zip") + "'");
    EXPECT_EQ(warnings.status, 0);
    EXPECT_EQ(warnings.text, "");
    // Invalid bytes of a flagged name were replaced when it was read; the listing shows "_".
    list = orvsfx("list '" + fixture("utf8bad.zip") + "'");
    EXPECT_NE(list.text.find("  bad_.txt\n"), std::string::npos) << list.text;
}

// list shows the name the engine reads. A Unicode path field of version 1 with the stored
// name's CRC-32 gives the name; one with another name's CRC, or of another version, is
// ignored. Nothing is warned of: the stub writes every one of those names as it is.
TEST(FrontEndReasons, ListShowsTheNameTheEngineReads) {
    const std::string alpha = "\xCE\xB1\xCE\xB2\xCE\xB3.txt"; // three Greek letters
    const std::string delta = "\xCE\xB4\xCE\xB5.txt", eta = "\xCE\xB7\xCE\xB8.txt";
    rawzip::Member taken = rawzip::unixmember("plain.txt", "a", 0100644);
    taken.extra = rawzip::unicodepathfield(alpha, "plain.txt");
    rawzip::Member othercrc = rawzip::unixmember(delta, "b", 0100644);
    othercrc.extra = rawzip::unicodepathfield("renamed.txt", "another name");
    rawzip::Member version2 = rawzip::unixmember(eta, "c", 0100644);
    version2.extra = rawzip::unicodepathfield("renamed2.txt", eta, 2);
    TempDir dir;
    std::string archive = savearchive(dir, rawzip::archive({taken, othercrc, version2}));
    Output list = orvsfx("list '" + archive + "'");
    EXPECT_EQ(list.status, 0);
    for (const std::string& name : {alpha, delta, eta})
        EXPECT_NE(list.text.find("  " + name + "\n"), std::string::npos) << list.text;
    EXPECT_EQ(list.text.find("renamed"), std::string::npos) << list.text;
    Output warnings = orvsfxerrors("list '" + archive + "'");
    EXPECT_EQ(warnings.status, 0);
    EXPECT_EQ(warnings.text, "");
}

// Members of a Unix host keep their permission bits (execute included) but never
// set-user-id; a link entry becomes a plain file holding its target, with ordinary
// permissions; folders get their stored times after their contents are written.
TEST(FrontEndReasons, UnixModesAndFolderTimes) {
    TempDir dir;
    Output out = orvsfx("extract -d '" + dir.str() + "' '" + fixture("unix_modes.zip") + "'");
    EXPECT_EQ(out.status, 0) << out.text;
    auto mode = [&dir](const char* name) {
        struct stat st;
        return lstat((dir.path() / name).c_str(), &st) == 0 ? st.st_mode : 0u;
    };
    EXPECT_EQ(mode("bin/run.sh"), S_IFREG | 0755u);
    EXPECT_EQ(mode("bin/setuid"), S_IFREG | 0755u);
    EXPECT_EQ(mode("bin/inner/ro.txt"), S_IFREG | 0444u);
    EXPECT_EQ(mode("plain.txt"), S_IFREG | 0644u);
    EXPECT_EQ(mode("bin/link"), S_IFREG | 0644u);
    EXPECT_EQ(readfile(dir.path() / "bin" / "link"), "/etc/passwd");
    struct stat st;
    ASSERT_EQ(stat((dir.path() / "bin" / "inner").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 1500000000);
    ASSERT_EQ(stat((dir.path() / "bin").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 1400000000);
    EXPECT_EQ(st.st_mode & 07777, 0755u);
}

TEST(FrontEndReasons, ControlCharactersOfNamesAreEscaped) {
    Output list = orvsfx("list '" + fixture("controlnames.zip") + "'");
    EXPECT_EQ(list.status, 0);
    EXPECT_NE(list.text.find("  esc\\x1b[31mred.txt\n"), std::string::npos) << list.text;
    EXPECT_NE(list.text.find("  bell\\x07.txt\n"), std::string::npos);
    // Python stores this name as UTF-8 (C2 9D); its second byte is a C1 control in 1252.
    EXPECT_NE(list.text.find("\\x9d.txt\n"), std::string::npos);
    for (char c : list.text) {
        EXPECT_NE(c, '\x1b');
        EXPECT_NE(c, '\x07');
    }
    EXPECT_EQ(list.text.find("\xC2\x9D"), std::string::npos);
}

TEST(FrontEndReasons, MemberNamesAndPatternsChooseASubset) {
    TempDir dir;
    std::string archive = fixture("stored.zip");
    EXPECT_EQ(orvsfx("extract -d '" + dir.str() + "' '" + archive + "' 'dir/*'").status, 0);
    EXPECT_EQ(readtree(dir.path()).count("readme.txt"), 0u);
    EXPECT_EQ(fs::file_size(dir.path() / "dir" / "data.bin"), 100000u);
    EXPECT_TRUE(fs::exists(dir.path() / "dir" / "sub" / "empty.txt"));
    TempDir other;
    Output out =
        orvsfxerrors("extract -d '" + other.str() + "' '" + archive + "' readme.txt nosuch.txt");
    EXPECT_EQ(out.status, kResultNoneSelected);
    EXPECT_EQ(out.text, line(archive, "nosuch.txt: no member matches"));
    EXPECT_EQ(readtree(other.path()).size(), 1u);
    EXPECT_EQ(readfile(other.path() / "readme.txt").substr(0, 8), "Orvandel");
}

std::string longpassword(size_t length) {
    const char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string text;
    for (size_t i = 0; i < length; ++i) text += kAlphabet[(i * 7 + i / 36) % 36];
    return text;
}

TEST(FrontEndReasons, LongAndUtf8PasswordsFromTheCommandLine) {
    for (size_t length : {81u, 200u}) {
        std::string archive = fixture(("enc_long" + std::to_string(length) + ".zip").c_str());
        EXPECT_EQ(
            orvsfx("test -p " + longpassword(length) + " '" + archive + "' </dev/null").status, 0)
            << length;
    }
    std::string long81 = fixture("enc_long81.zip");
    Output prefix = orvsfxerrors("test -p " + longpassword(80) + " '" + long81 + "' </dev/null");
    EXPECT_EQ(prefix.status, kResultBadPassword);
    EXPECT_EQ(prefix.text, line(long81, "top.txt: wrong password"));
    // Hashed as UTF-8 bytes by bsdtar: the UTF-8 form opens it.
    EXPECT_EQ(orvsfx("test -p 'p\xC3\xA4ssw\xC3\xB6rd\xE2\x82\xAC' '" + fixture("enc_utf8.zip") +
                     "' </dev/null")
                  .status,
              0);
    // No code page 1252 form at all.
    EXPECT_EQ(orvsfx("test -p '\xD0\xBF\xD0\xB0\xD1\x80\xD0\xBE\xD0\xBB\xD1\x8C' '" +
                     fixture("enc_cyrillic.zip") + "' </dev/null")
                  .status,
              0);
    EXPECT_EQ(orvsfx("test -p " + std::string(kPasswordBuffer, 'a') + " '" + long81 + "'").status,
              2);
}

// A member of data.bin with a method and the version needed its writer gives for it.
rawzip::Member methodmember(unsigned method, unsigned versionneeded) {
    rawzip::Member m = rawzip::file("data.bin", "compressed bytes");
    m.method = method;
    m.versionneeded = versionneeded;
    return m;
}

// A member whose sizes live in its ZIP64 field, as ZIP64 writers store one past 4 GiB.
rawzip::Member zip64member() {
    rawzip::Member m = methodmember(kMethodStored, 45);
    m.storedsizes = kZip64Marker32;
    put16(m.extra, kExtraZip64);
    put16(m.extra, 16);
    for (int size = 0; size < 2; ++size) {
        put32(m.extra, 0);
        put32(m.extra, 1); // 4 GiB
    }
    return m;
}

struct Refused {
    rawzip::Member member;
    int status;
    std::string need;
};

std::vector<Refused> refusedmembers() {
    auto extractnot = [](const std::string& method, unsigned number) {
        return "uses " + method + " compression (method " + std::to_string(number) +
               "), which orvsfx does not extract";
    };
    rawzip::Member strong = methodmember(kMethodDeflate, 50);
    strong.flags = kFlagEncrypted | kFlagStrongEncryption;
    const std::string aes = "is encrypted with AES-256, which orvsfx does not decrypt";
    return {
        {methodmember(12, 46), kResultNewerVersion, extractnot("bzip2", 12)},
        {methodmember(93, 63), kResultNewerVersion, extractnot("Zstandard", 93)},
        {methodmember(95, 63), kResultNewerVersion, extractnot("xz", 95)},
        {methodmember(98, 63), kResultNewerVersion, extractnot("PPMd", 98)},
        {methodmember(77, 63), kResultNewerVersion,
         "uses compression method 77, which orvsfx does not extract"},
        // A writer that claims too low a version: refused when the local header is read.
        {methodmember(12, 20), kResultWarning, extractnot("bzip2", 12)},
        {rawzip::aesmember("data.bin", 51), kResultNewerVersion, aes},
        {rawzip::aesmember("data.bin", 20), kResultNewerVersion, aes},
        {strong, kResultNewerVersion,
         "is encrypted with PKWARE strong encryption, which orvsfx does not decrypt"},
        {zip64member(), kResultNewerVersion,
         "needs ZIP64 (sizes or offsets past 4 GiB), which orvsfx does not read"},
        {methodmember(kMethodDeflate, 45), kResultNewerVersion,
         "needs version 4.5 to extract; orvsfx extracts up to 2.1"},
        {methodmember(kMethodLzma, 64), kResultNewerVersion,
         "needs version 6.4 to extract; orvsfx extracts up to 6.3"},
    };
}

// Each member that needs what orvsfx lacks, beside a plain file: test and extract refuse it
// with the words for its need and the engine's code, and never with "wrong password" or a
// password question; extract writes the plain file and nothing of the member, also where the
// method is met only in the local header; list marks the member and lists it with the rest.
TEST(FrontEndReasons, RefusedMembersNameWhatTheyNeed) {
    for (Refused& c : refusedmembers()) {
        const std::string& need = c.need;
        SCOPED_TRACE(need);
        TempDir dir;
        std::string archive =
            savearchive(dir, rawzip::archive({c.member, rawzip::file("plain.txt", "plain")}));
        Output test = orvsfxerrors("test '" + archive + "'");
        EXPECT_EQ(test.status, c.status);
        EXPECT_EQ(test.text, line(archive, "data.bin: " + need));
        fs::path out = dir.path() / "out";
        Output extract = orvsfxerrors("extract -d '" + out.string() + "' '" + archive + "'");
        EXPECT_EQ(extract.status, c.status);
        EXPECT_EQ(extract.text, test.text);
        EXPECT_EQ(readtree(out), (std::map<std::string, std::string>{{"plain.txt", "plain"}}));
        Output list = orvsfx("list '" + archive + "'");
        EXPECT_EQ(list.status, 0);
        EXPECT_NE(list.text.find("  data.bin  [" + need + "]\n"), std::string::npos) << list.text;
        EXPECT_NE(list.text.find("  plain.txt\n"), std::string::npos) << list.text;
    }
}

// A folder that an MS-DOS archiver marks by its attribute alone is listed with its "/" and
// extracted as the folder its member goes into.
TEST(FrontEnd, FolderMarkedByItsAttributeIsAFolder) {
    TempDir dir;
    std::string archive = savearchive(
        dir, rawzip::archive({rawzip::attributefolder("DOCS"), rawzip::file("DOCS/A.TXT", "a")}));
    Output list = orvsfx("list '" + archive + "'");
    EXPECT_EQ(list.status, 0);
    EXPECT_NE(list.text.find("  DOCS/\n"), std::string::npos) << list.text;
    EXPECT_NE(list.text.find("  DOCS/A.TXT\n"), std::string::npos) << list.text;
    fs::path out = dir.path() / "out";
    Output extract = orvsfxerrors("extract -d '" + out.string() + "' '" + archive + "'");
    EXPECT_EQ(extract.status, 0);
    EXPECT_EQ(extract.text, "");
    EXPECT_EQ(readtree(out),
              (std::map<std::string, std::string>{{"DOCS", "<dir>"}, {"DOCS/A.TXT", "a"}}));
}

// What a Unix archive stores as a link, a pipe or a device becomes a plain file (a folder,
// when its name ends in "/") with ordinary permissions; files and folders keep theirs.
TEST(FrontEndReasons, LinksAndOtherSpecialFilesGetOrdinaryPermissions) {
    TempDir dir;
    std::string archive = savearchive(
        dir, rawzip::archive({rawzip::unixmember("link", "/etc/passwd", S_IFLNK | 0777),
                              rawzip::unixmember("pipe", "", S_IFIFO | 0666),
                              rawzip::unixmember("device", "", S_IFCHR | 0666),
                              rawzip::unixmember("linkfolder/", "", S_IFLNK | 0777),
                              rawzip::unixmember("private/", "", S_IFDIR | 0700),
                              rawzip::unixmember("run.sh", "#!/bin/sh\n", S_IFREG | 0750)}));
    fs::path out = dir.path() / "out";
    Output extract = orvsfx("extract -d '" + out.string() + "' '" + archive + "'");
    EXPECT_EQ(extract.status, 0) << extract.text;
    auto mode = [&out](const char* name) {
        struct stat st;
        return lstat((out / name).c_str(), &st) == 0 ? st.st_mode : 0u;
    };
    EXPECT_EQ(mode("link"), S_IFREG | 0644u);
    EXPECT_EQ(readfile(out / "link"), "/etc/passwd");
    EXPECT_EQ(mode("pipe"), S_IFREG | 0644u);
    EXPECT_EQ(mode("device"), S_IFREG | 0644u);
    EXPECT_EQ(mode("linkfolder"), S_IFDIR | 0755u);
    EXPECT_EQ(mode("private"), S_IFDIR | 0700u);
    EXPECT_EQ(mode("run.sh"), S_IFREG | 0750u);
}

} // namespace
