// The install log's exact bytes, its path inside the destination folder, and what it does
// with entries and paths that do not fit.
#include "setup/installlog.h"

#include "common/stringlists.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace {

namespace fs = std::filesystem;

class InstallLogTest : public ::testing::Test {
  protected:
    fs::path folder;
    int files = 0, dirs = 0;

    void SetUp() override {
        std::random_device seed;
        folder = fs::temp_directory_path() / ("orv_installlog_" + std::to_string(seed()));
        fs::create_directories(folder);
        listinit();
        files = listcreate();
        dirs = listcreate();
    }
    void TearDown() override {
        listfreeall();
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }

    std::string read(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    int write(const std::string& destination) {
        InstallLog log = {destination.c_str(), "Demo Package", "31.12.2026",
                          "23:59:58",          files,          dirs};
        return writeinstalllog(&log);
    }
    std::string destination() const { return folder.string(); }
};

TEST_F(InstallLogTest, ListsFilesThenFoldersNewestFirstBetweenHeaderAndTrailer) {
    listadd(dirs, "C:/Target/");
    listadd(dirs, "C:/Target/docs");
    listadd(files, "C:/Target/readme.txt");
    listadd(files, "C:/Target/docs/guide.txt");
    ASSERT_EQ(write(destination() + "/"), 1);
    EXPECT_EQ(read(folder / "install.log"), "Brundimar Archive Install Log\r\n:\r\n"
                                            "Demo Package\r\n"
                                            "31.12.2026 23:59:58\r\n"
                                            "4\r\n:\r\n"
                                            "F+C:\\Target\\docs\\guide.txt\r\n"
                                            "F+C:\\Target\\readme.txt\r\n"
                                            "D+C:\\Target\\docs\r\n"
                                            "D+C:\\Target\\\r\n"
                                            ":\r\nEnd.\r\n");
}

// The log keeps the ANSI code page (1252 here) while that holds every character, and turns
// whole to UTF-8 behind a byte-order mark as soon as a name needs it: never a lossy form.
TEST_F(InstallLogTest, TheLogIsInTheAnsiCodePageUnlessANameNeedsUtf8) {
    const struct {
        const char* entry;
        std::string expected; // the entry's line
        bool bom;
    } kCases[] = {
        {"C:/Ziel/caf\xC3\xA9.txt", "F+C:\\Ziel\\caf\xE9.txt\r\n", false},
        {"C:/Ziel/\xE6\x97\xA5\xE6\x9C\xAC.txt", "F+C:\\Ziel\\\xE6\x97\xA5\xE6\x9C\xAC.txt\r\n",
         true},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.entry);
        listfreeall();
        listinit();
        files = listcreate();
        dirs = listcreate();
        listadd(files, c.entry);
        ASSERT_EQ(write(destination()), 1);
        std::string log = read(folder / "install.log");
        EXPECT_EQ(log.compare(0, 3, "\xEF\xBB\xBF") == 0, c.bom);
        EXPECT_NE(log.find(c.expected), std::string::npos) << log;
    }
}

TEST_F(InstallLogTest, ARunThatCreatedNothingCountsZero) {
    ASSERT_EQ(write(destination()), 1);
    EXPECT_EQ(read(folder / "install.log"), "Brundimar Archive Install Log\r\n:\r\nDemo Package\r\n"
                                            "31.12.2026 23:59:58\r\n0\r\n:\r\n:\r\nEnd.\r\n");
}

TEST_F(InstallLogTest, EmptyEntriesAreCountedButGetNoLine) {
    listadd(files, "");
    listadd(files, "a.txt");
    ASSERT_EQ(write(destination()), 1);
    std::string log = read(folder / "install.log");
    EXPECT_NE(log.find("\r\n2\r\n:\r\nF+a.txt\r\n:\r\nEnd.\r\n"), std::string::npos) << log;
}

TEST_F(InstallLogTest, AnOlderLogIsReplaced) {
    std::ofstream(folder / "install.log") << std::string(5000, 'x');
    ASSERT_EQ(write(destination()), 1);
    EXPECT_EQ(read(folder / "install.log").find('x'), std::string::npos);
}

TEST_F(InstallLogTest, TheDestinationsSeparatorsDoNotDoubleTheLogsOwn) {
    for (std::string end : {"", "/", "\\"}) {
        fs::remove(folder / "install.log");
#ifdef _WIN32
        ASSERT_EQ(write(destination() + end), 1) << end;
        EXPECT_TRUE(fs::exists(folder / "install.log")) << end;
#else
        // A "\" names no folder on Linux: the log lands beside it, named with the "\".
        if (end == "\\") continue;
        ASSERT_EQ(write(destination() + end), 1) << end;
        EXPECT_TRUE(fs::exists(folder / "install.log")) << end;
#endif
    }
}

TEST_F(InstallLogTest, LongEntriesAreCutAtTheLineBuffer) {
    std::string longentry(kInstallLogPath + 100, 'e');
    listadd(files, longentry.c_str());
    ASSERT_EQ(write(destination()), 1);
    std::string log = read(folder / "install.log");
    std::string line = "F+" + std::string(kInstallLogPath - 1, 'e') + "\r\n";
    EXPECT_NE(log.find(line), std::string::npos);
}

TEST_F(InstallLogTest, AMissingFolderOrAPathThatDoesNotFitWritesNothing) {
    EXPECT_EQ(write((folder / "missing").string()), 0);
    EXPECT_FALSE(fs::exists(folder / "missing"));
    // The path with its separator and "install.log" must fit the path buffer exactly.
    std::string fits = std::string(kInstallLogPath - 1 - 12, 'd');
    std::string toolong = fits + "d";
    EXPECT_EQ(write(toolong), 0);
}

} // namespace
