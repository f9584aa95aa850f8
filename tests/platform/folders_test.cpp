// The Linux folder lookups of platform/folders.h: what they find, and the length rule at a
// buffer that is too small.
#include "platform/folders.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <string>

namespace {

// Sets TMPDIR for one test and puts the old value back.
class TempDirectory {
  public:
    explicit TempDirectory(const char* value) {
        const char* old = getenv("TMPDIR");
        hadold = old != nullptr;
        if (hadold) oldvalue = old;
        setenv("TMPDIR", value, 1);
    }
    ~TempDirectory() {
        if (hadold)
            setenv("TMPDIR", oldvalue.c_str(), 1);
        else
            unsetenv("TMPDIR");
    }

  private:
    bool hadold;
    std::string oldvalue;
};

TEST(PosixFolders, TempFolderIsTmpdirOrTmp) {
    char out[64];
    {
        TempDirectory set("/var/tmp");
        EXPECT_EQ(platform::tempfolder(out, sizeof out), 8u);
        EXPECT_STREQ(out, "/var/tmp");
    }
    TempDirectory empty("");
    EXPECT_EQ(platform::tempfolder(out, sizeof out), 4u);
    EXPECT_STREQ(out, "/tmp");
}

TEST(PosixFolders, ATooSmallBufferGetsTheLengthOnly) {
    TempDirectory set("/var/tmp");
    char out[16] = "unused";
    EXPECT_EQ(platform::tempfolder(out, 8), 8u);
    EXPECT_STREQ(out, "unused");
    EXPECT_EQ(platform::tempfolder(out, 9), 8u);
    EXPECT_STREQ(out, "/var/tmp");
}

TEST(PosixFolders, CurrentFolderIsGetcwds) {
    char expected[4096];
    ASSERT_NE(getcwd(expected, sizeof expected), nullptr);
    char out[4096];
    unsigned length = platform::currentfolder(out, sizeof out);
    EXPECT_EQ(length, std::string(expected).size());
    EXPECT_STREQ(out, expected);
    EXPECT_EQ(platform::currentfolder(out, length), length); // no room for the NUL
}

TEST(PosixFolders, UniqueTempNameIsFreeAndInTheFolder) {
    char folder[] = "/tmp/orvfoldersXXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    char out[256];
    unsigned length = platform::uniquetempname(folder, "SFX", out, sizeof out);
    std::string name(out, length);
    EXPECT_EQ(name.substr(0, std::string(folder).size() + 4), std::string(folder) + "/SFX");
    EXPECT_NE(access(out, F_OK), 0);
    EXPECT_EQ(rmdir(folder), 0); // nothing was left in it
}

TEST(PosixFolders, WindowsFoldersAndTheRegistryAreNotThere) {
    char out[256];
    EXPECT_EQ(platform::windowsfolder(out, sizeof out), 0u);
    EXPECT_EQ(platform::systemfolder(out, sizeof out), 0u);
    EXPECT_EQ(platform::specialfolder(platform::kFolderDocuments, out, sizeof out), 0u);
    EXPECT_EQ(
        platform::registryvalue(platform::kRegistryLocalMachine, "SOFTWARE", "x", out, sizeof out),
        0u);
}

} // namespace
