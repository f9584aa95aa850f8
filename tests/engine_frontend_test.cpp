// orvsfx list, test and extract on Linux, checked against 7-Zip on the stored-member
// archives of the corpus, and their exit codes.
#include "engine_testkit.h"
#include "tools_testutil.h"

#include <gtest/gtest.h>

#include <sstream>
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

// Runs a shell command (its programs under a time limit); returns the exit status and the
// standard output.
Output shell(const std::string& command) {
    Output out;
    FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
    if (!pipe) return out;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.text.append(buffer, got);
    int status = pclose(pipe);
    out.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return out;
}

// Runs orvsfx with arguments, the given answers on standard input, in folder cwd.
Output orvsfx(const std::string& args, const std::string& input = "",
              const std::string& cwd = ".") {
    return shell("cd '" + cwd + "' && printf '" + input + "' | timeout 60 " +
                 std::string(ORV_BINARY_DIR) + "/tools/orvsfx " + args);
}

// name -> "size packed crc" from our list.
std::map<std::string, std::string> ourlist(const std::string& archive) {
    std::map<std::string, std::string> entries;
    std::istringstream lines(orvsfx("list '" + archive + "'").text);
    std::string date, time, size, packed, crc, name;
    while (lines >> date >> time >> size >> packed >> crc && std::getline(lines >> std::ws, name)) {
        if (!name.empty() && name.back() == '/') name.pop_back();
        entries[name] = size + " " + packed + " " + (name.empty() ? "" : crc);
    }
    return entries;
}

// The same from 7zz l -slt (folders have no CRC there; ours show 00000000).
std::map<std::string, std::string> sevenziplist(const std::string& archive) {
    std::map<std::string, std::string> entries;
    std::istringstream lines(shell("timeout 60 7zz l -slt '" + archive + "'").text);
    std::string line, path, size, packed;
    bool started = false;
    while (std::getline(lines, line)) {
        if (line == "----------") started = true;
        if (!started) continue;
        if (line.rfind("Path = ", 0) == 0) path = line.substr(7);
        if (line.rfind("Size = ", 0) == 0) size = line.substr(7);
        if (line.rfind("Packed Size = ", 0) == 0) packed = line.substr(14);
        if (line.rfind("CRC = ", 0) == 0) {
            std::string crc = line.substr(6);
            for (char& c : crc) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
            entries[path] = size + " " + packed + " " + (crc.empty() ? "00000000" : crc);
        }
    }
    return entries;
}

TEST(FrontEnd, ListAgreesWithSevenZip) {
    for (const char* name : kStoredArchives) {
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
    EXPECT_EQ(orvsfx("extract " + target, "n\\n").status, 0);
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
    EXPECT_EQ(orvsfx("extract -d '" + dir.str() + "' '" + fixture("enc_mixed.zip") + "'",
                     "two\\none\\n")
                  .status,
              0);
    EXPECT_EQ(readfile(dir.path() / "top.txt"), "top\n");
}

} // namespace
