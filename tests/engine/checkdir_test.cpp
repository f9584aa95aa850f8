// Directory creation: the extraction root, folder creation and refusal, path length limits
// and 8.3 names, driven through checkdir directly.
#include "tests/support/enginetestkit.h"

#include <gtest/gtest.h>

#include <string.h>

using namespace enginetest;

namespace {

std::vector<Message> messages;

int capture(EngineState*, const char* text, unsigned length, unsigned flags) {
    messages.push_back({std::string(text, length), flags});
    return 0;
}

class Checkdir : public ::testing::Test {
  protected:
    void SetUp() override {
        initengine();
        engine.message = capture;
        messages.clear();
    }
    void TearDown() override { checkdir(nullptr, kDirEnd); }

    // Runs functions 1 to 4 for a member path made of folders and a name.
    int build(const std::vector<std::string>& folders, const std::string& name, std::string* out) {
        std::string stored;
        for (auto& f : folders) stored += f + "/";
        stored += name;
        snprintf(engine.filename, sizeof engine.filename, "%s", stored.c_str());
        engine.namelength = static_cast<unsigned>(stored.size());
        int status = checkdir(nullptr, kDirInit);
        if (status) return status;
        for (auto& f : folders) {
            std::vector<char> component(f.begin(), f.end());
            component.push_back(0);
            status = checkdir(component.data(), kDirAppendDir);
            if (status) return status;
        }
        std::vector<char> last(name.begin(), name.end());
        last.push_back(0);
        status = checkdir(last.data(), kDirAppendName);
        char path[kPathBuffer];
        int get = checkdir(path, kDirGetPath);
        *out = path;
        return status | get;
    }
    TempDir dir;
};

TEST(ShortNames, ConvertsComponents) {
    const std::pair<const char*, const char*> cases[] = {{"my.long.filename.text", "my_long_.tex"},
                                                         {"abcdefgh_ijk", "abcdefgh.ijk"},
                                                         {".profile", "_profile"},
                                                         {"Programs_and_Tools", "Programs.Too"},
                                                         {"readme.first.txt", "readme_f.txt"},
                                                         {"short.c", "short.c"},
                                                         {"a[1]=b+c,d;e", "a_1__b_c.e"},
                                                         {"..", ".."},
                                                         {".", ""},
                                                         {"verylongname", "verylong"},
                                                         {"name .txt", "name_.txt"}};
    for (auto& c : cases) {
        char out[64];
        to83name(c.first, out);
        EXPECT_STREQ(out, c.second) << c.first;
    }
}

TEST_F(Checkdir, RootWithTrailingSeparatorIsKept) {
    std::string root = dir.str() + "/";
    ASSERT_EQ(checkdir(&root[0], kDirSetRoot), kMapReady);
    EXPECT_EQ(std::string(engine.root), dir.str() + "/");
    std::string other = "elsewhere";
    EXPECT_EQ(checkdir(&other[0], kDirSetRoot), kMapReady);
    EXPECT_EQ(std::string(engine.root), dir.str() + "/");
}

TEST_F(Checkdir, DriveRootsAreNotChecked) {
    char bare[] = "Q:";
    ASSERT_EQ(checkdir(bare, kDirSetRoot), kMapReady);
    EXPECT_STREQ(engine.root, "Q:./");
    checkdir(nullptr, kDirEnd);
    char slash[] = "Q:\\";
    ASSERT_EQ(checkdir(slash, kDirSetRoot), kMapReady);
    EXPECT_STREQ(engine.root, "Q:/");
}

TEST_F(Checkdir, RootIsMadeOneLevelOnly) {
    std::string child = dir.str() + "/new";
    EXPECT_EQ(checkdir(&child[0], kDirSetRoot), kMapReady);
    EXPECT_TRUE(fs::is_directory(child));
    checkdir(nullptr, kDirEnd);
    std::string deep = dir.str() + "/a/b";
    EXPECT_EQ(checkdir(&deep[0], kDirSetRoot), kMapError);
    EXPECT_EQ(engine.root, nullptr);
    ASSERT_FALSE(messages.empty());
    EXPECT_NE(messages.back().text.find("cannot create extraction directory"), std::string::npos);
}

TEST_F(Checkdir, FoldersAreMadeOnceAndFlagged) {
    std::string root = dir.str();
    checkdir(&root[0], kDirSetRoot);
    std::string path;
    EXPECT_EQ(build({"one", "two"}, "f.txt", &path), kMapReady);
    EXPECT_EQ(path, root + "/one/two/f.txt");
    EXPECT_EQ(engine.createddir, 1);
    EXPECT_TRUE(fs::is_directory(root + "/one/two"));
    engine.createddir = 0;
    EXPECT_EQ(build({"one", "two"}, "g.txt", &path), kMapReady);
    EXPECT_EQ(engine.createddir, 0);
}

TEST_F(Checkdir, FileInTheWayIsRefused) {
    std::string root = dir.str();
    checkdir(&root[0], kDirSetRoot);
    FILE* f = fopen((root + "/blocker").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fclose(f);
    std::string path;
    EXPECT_EQ(build({"blocker"}, "x.txt", &path), kMapError);
    EXPECT_EQ(engine.longpath, nullptr);
    ASSERT_FALSE(messages.empty());
    EXPECT_NE(messages.back().text.find("exists but is not directory"), std::string::npos);
}

// A path fills the file-name buffer to its last byte and no further: one that needs a byte
// more, also for the last byte of a two-byte character, is refused whole, never cut to a
// name nobody stored.
TEST_F(Checkdir, APathFillsTheBufferAndNoMore) {
    std::string root = dir.str();
    checkdir(&root[0], kDirSetRoot);
    const size_t room = kPathBuffer - 1 - root.size() - 1; // the bytes behind "root/"
    std::string path;
    std::string fits(room - 2, 'n');
    fits += "\xC3\xA9";
    EXPECT_EQ(build({}, fits, &path), kMapReady);
    EXPECT_EQ(path, root + "/" + fits);
    std::string over(room - 1, 'n');
    over += "\xC3\xA9";
    EXPECT_NE(build({}, over, &path) & kMapTooLong, 0);
}

// Folders of a path, each a name the file system takes, that fill `length` bytes with their
// separators.
std::vector<std::string> foldersfilling(size_t length) {
    const size_t kFolder = 200;
    std::vector<std::string> folders;
    while (length > kFolder + 1) {
        folders.push_back(std::string(kFolder, 'd'));
        length -= kFolder + 1;
    }
    folders.push_back(std::string(length, 'e'));
    return folders;
}

std::string joined(const std::vector<std::string>& folders) {
    std::string path;
    for (const std::string& folder : folders) path += folder + "/";
    return path;
}

// A folder path must leave room for a "/" and a name of one byte behind it.
TEST_F(Checkdir, OverlongFolderPathIsRefused) {
    std::string root = dir.str();
    checkdir(&root[0], kDirSetRoot);
    const size_t room = kPathBuffer - 1 - root.size() - 1 - 2;
    std::string path;
    std::vector<std::string> fits = foldersfilling(room);
    EXPECT_EQ(build(fits, "x", &path), kMapReady);
    EXPECT_EQ(path, root + "/" + joined(fits) + "x");
    messages.clear();
    EXPECT_EQ(build(foldersfilling(room + 1), "x", &path), kMapTooLong);
    ASSERT_FALSE(messages.empty());
    EXPECT_NE(messages.back().text.find("path too long"), std::string::npos);
}

TEST_F(Checkdir, FunctionNumbers) {
    EXPECT_EQ(checkdir(nullptr, 6), kMapBadFunction);
    EXPECT_EQ(checkdir(nullptr, 7), kMapBadFunction);
    EXPECT_EQ(checkdir(nullptr, kDirEnd), kMapReady);
    engine.member->volumelabel = true;
    EXPECT_EQ(checkdir(nullptr, kDirInit), kMapVolumeLabel);
    EXPECT_EQ(engine.longpath, nullptr);
}

} // namespace
