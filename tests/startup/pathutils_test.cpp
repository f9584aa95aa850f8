// Path utilities: components, parents, display abbreviation and recursive folder creation.
#include "common/stringlists.h"
#include "startup/pathutils.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

std::string last(const char* path) {
    char out[kPathMax + 1];
    lastcomponent(path, out);
    return out;
}
std::string parent(const char* path) {
    char out[kPathMax + 1];
    parentfolder(path, out);
    return out;
}
std::string shortened(std::string path) {
    char buffer[512];
    path.copy(buffer, path.size());
    buffer[path.size()] = 0;
    return shortenpath(buffer);
}

} // namespace

TEST(PathUtils, SeparatorConversionCoversLongPaths) {
    std::string path;
    for (int i = 0; i < 40; i++) path += "dir/";
    char buffer[256];
    path.copy(buffer, path.size());
    buffer[path.size()] = 0;
    EXPECT_EQ(std::string(slashestoback(buffer)).find('/'), std::string::npos);
    EXPECT_EQ(std::string(backtoslashes(buffer)), path);
}

TEST(PathUtils, LastComponent) {
    EXPECT_EQ(last("C:\\Temp\\SETUP.EXE"), "SETUP.EXE");
    EXPECT_EQ(last("SETUP.EXE"), "SETUP.EXE");
    EXPECT_EQ(last("C:"), "");
    EXPECT_EQ(last("dir/sub/name.txt"), "name.txt");
}

TEST(PathUtils, ParentFolder) {
    EXPECT_EQ(parent("C:\\A\\B"), "C:\\A");
    EXPECT_EQ(parent("C:\\A"), "C:"); // the drive, never created by makefolderpath
    EXPECT_EQ(parent("C:A"), "C");
    EXPECT_EQ(parent("ab:\\c"), "ab:\\"); // a separator right behind a ':' at 2 is kept
    EXPECT_EQ(parent("abc"), "abc");      // three characters without ':'
    EXPECT_EQ(parent("name"), "name");    // nothing to split at
    EXPECT_EQ(parent("\\x"), "\\x");      // a separator at position 0 does not count
    EXPECT_EQ(parent("a/b/c"), "a/b");
}

TEST(PathUtils, ShortenPathForDisplay) {
    EXPECT_EQ(shortened("C:\\Program Files\\Example\\Sub\\readme.txt"),
              "C:\\Pro..\\Exa..\\Sub\\readme.txt");
    EXPECT_EQ(shortened("C:\\Temp\\readme.txt"), "C:\\Temp\\readme.txt");
    EXPECT_EQ(shortened("C:\\a\\b\\c\\d\\e.txt"), "C:\\a\\b\\c\\d\\e.txt"); // short parts kept
    EXPECT_EQ(shortened("C:\\Temp\\a-rather-long-name.txt"), "C:\\Temp\\a-rather-long-name.txt");
    EXPECT_EQ(shortened("C:\\Documents\\Projects\\a-rather-long-name.txt"),
              "C:\\Doc..\\Projects\\a-rather-long-name.txt");
    EXPECT_EQ(shortened("abc"), "abc");
    EXPECT_EQ(shortened("no-separators-at-all"), "no-separators-at-all");
    EXPECT_EQ(shortenpath(nullptr), nullptr);
}

class MakeFolderPath : public ::testing::Test {
  protected:
    fs::path root;
    int list = 0;
    void SetUp() override {
        root = fs::temp_directory_path() /
               ("orv_mfp_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        fs::create_directories(root);
        listinit();
        list = listcreate();
    }
    void TearDown() override {
        listfreeall();
        fs::remove_all(root);
    }
    std::string item(int position) {
        char buffer[kPathMax + 1];
        listget(list, position, buffer, sizeof buffer);
        return buffer;
    }
};

TEST_F(MakeFolderPath, CreatesMissingParentsOutermostFirst) {
    std::string a = root.string() + "\\A";
    std::string b = a + "\\B";
    char folder[256];
    (b + "\\").copy(folder, b.size() + 1);
    folder[b.size() + 1] = 0;
    EXPECT_EQ(makefolderpath(folder, list), 0);
    EXPECT_EQ(std::string(folder), b); // trailing separator removed in place
    ASSERT_EQ(listcount(list), 2);
    EXPECT_EQ(item(0), a);
    EXPECT_EQ(item(1), b);
    EXPECT_TRUE(pathexists(b.c_str()));

    makefolderpath(folder, list); // existing: nothing added
    EXPECT_EQ(listcount(list), 2);
}

// 255 characters is the longest folder made; 256 is refused before anything is created.
TEST_F(MakeFolderPath, FolderLengthEdge) {
    for (size_t length : {size_t(255), size_t(256)}) {
        std::string prefix = root.string() + "\\e" + std::to_string(length) + "_";
        std::string path = prefix + std::string(length - prefix.size(), 'x');
        ASSERT_EQ(path.size(), length);
        char folder[kPathMax];
        path.copy(folder, path.size());
        folder[path.size()] = 0;
        int before = listcount(list);
        if (length < kShortPathBuffer) {
            EXPECT_EQ(makefolderpath(folder, list), 0);
            EXPECT_TRUE(pathexists(folder));
            EXPECT_EQ(item(listcount(list) - 1), path);
        } else {
            EXPECT_EQ(makefolderpath(folder, list), -1);
            EXPECT_FALSE(pathexists(folder));
            EXPECT_EQ(listcount(list), before);
        }
    }
}

TEST_F(MakeFolderPath, OverlongFolderIsRefused) {
    std::string longpath = root.string() + "\\" + std::string(300, 'x');
    char folder[400];
    longpath.copy(folder, longpath.size());
    folder[longpath.size()] = 0;
    EXPECT_EQ(makefolderpath(folder, list), -1);
    EXPECT_EQ(listcount(list), 0);
}
