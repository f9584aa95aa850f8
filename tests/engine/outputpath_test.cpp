// Output paths: the extraction root, folder creation and refusal, path length limits and
// 8.3 names, driven through the path steps directly.
#include "engine/messagehook.h"
#include "tests/support/enginetestkit.h"

#include <gtest/gtest.h>

#include <string.h>

using namespace enginetest;

namespace {

std::vector<Message> messages;

void capture(void*, const char* text, unsigned length, unsigned flags) {
    messages.push_back({std::string(text, length), flags});
}

class OutputPath : public ::testing::Test {
  protected:
    void SetUp() override {
        initengine();
        setmessagehook(capture, nullptr, 1);
        messages.clear();
    }
    void TearDown() override { forgetroot(); }

    // Runs the steps of a member path made of folders and a name.
    int build(const std::vector<std::string>& folders, const std::string& name, std::string* out) {
        std::string stored;
        for (auto& f : folders) stored += f + "/";
        stored += name;
        snprintf(engine.filename, sizeof engine.filename, "%s", stored.c_str());
        engine.namelength = static_cast<unsigned>(stored.size());
        int status = startpath();
        if (status) return status;
        for (auto& f : folders) {
            std::vector<char> component(f.begin(), f.end());
            component.push_back(0);
            status = appendfolder(component.data());
            if (status) return status;
        }
        std::vector<char> last(name.begin(), name.end());
        last.push_back(0);
        status = appendname(last.data());
        char path[kPathBuffer];
        int get = takepath(path);
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

TEST_F(OutputPath, RootWithTrailingSeparatorIsKept) {
    std::string root = dir.str() + "/";
    ASSERT_EQ(setroot(root.c_str()), kMapReady);
    EXPECT_EQ(std::string(engine.root), dir.str() + "/");
    std::string other = "elsewhere";
    EXPECT_EQ(setroot(other.c_str()), kMapReady);
    EXPECT_EQ(std::string(engine.root), dir.str() + "/");
}

TEST_F(OutputPath, DriveRootsAreNotChecked) {
    char bare[] = "Q:";
    ASSERT_EQ(setroot(bare), kMapReady);
    EXPECT_STREQ(engine.root, "Q:./");
    forgetroot();
    char slash[] = "Q:\\";
    ASSERT_EQ(setroot(slash), kMapReady);
    EXPECT_STREQ(engine.root, "Q:/");
}

TEST_F(OutputPath, RootIsMadeOneLevelOnly) {
    std::string child = dir.str() + "/new";
    EXPECT_EQ(setroot(child.c_str()), kMapReady);
    EXPECT_TRUE(fs::is_directory(child));
    forgetroot();
    std::string deep = dir.str() + "/a/b";
    EXPECT_EQ(setroot(deep.c_str()), kMapError);
    EXPECT_EQ(engine.root, nullptr);
    ASSERT_FALSE(messages.empty());
    EXPECT_NE(messages.back().text.find("cannot create extraction directory"), std::string::npos);
}

TEST_F(OutputPath, FoldersAreMadeOnceAndFlagged) {
    std::string root = dir.str();
    setroot(root.c_str());
    std::string path;
    EXPECT_EQ(build({"one", "two"}, "f.txt", &path), kMapReady);
    EXPECT_EQ(path, root + "/one/two/f.txt");
    EXPECT_EQ(engine.createddir, 1);
    EXPECT_TRUE(fs::is_directory(root + "/one/two"));
    engine.createddir = 0;
    EXPECT_EQ(build({"one", "two"}, "g.txt", &path), kMapReady);
    EXPECT_EQ(engine.createddir, 0);
}

TEST_F(OutputPath, FileInTheWayIsRefused) {
    std::string root = dir.str();
    setroot(root.c_str());
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
TEST_F(OutputPath, APathFillsTheBufferAndNoMore) {
    std::string root = dir.str();
    setroot(root.c_str());
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
TEST_F(OutputPath, OverlongFolderPathIsRefused) {
    std::string root = dir.str();
    setroot(root.c_str());
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

TEST_F(OutputPath, AVolumeLabelGetsNoPath) {
    engine.member->volumelabel = true;
    EXPECT_EQ(startpath(), kMapVolumeLabel);
    EXPECT_EQ(engine.longpath, nullptr);
}

} // namespace
