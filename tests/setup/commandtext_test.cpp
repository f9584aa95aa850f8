// The after-extraction command as the shell gets it: tokens, the split at '|', the verb and
// the working folder, and texts that do not fit their buffers.
#include "setup/commandtext.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const char kModule[] = "C:\\Downloads\\demo.exe";

PreparedCommand prepare(const std::string& command, const std::string& destination = "C:/Apps/",
                        const std::string& current = "C:\\Work\\Build") {
    PreparedCommand out;
    EXPECT_TRUE(
        preparecommand(command.c_str(), destination.c_str(), current.c_str(), kModule, &out));
    return out;
}

TEST(PrepareCommand, DestinationTokenWithParameters) {
    for (const char* command : {"{P}\\setup.exe|/s", "{p}setup.exe|/s", "><setup.exe|/s"}) {
        PreparedCommand c = prepare(command);
        EXPECT_STREQ(c.file, "C:\\Apps\\setup.exe") << command;
        EXPECT_STREQ(c.parameters, "/s");
        EXPECT_STREQ(c.folder, "C:\\Apps");
        EXPECT_EQ(c.verb, nullptr);
    }
}

TEST(PrepareCommand, CurrentAndParentFolders) {
    EXPECT_STREQ(prepare("..\\tool.exe").file, "C:\\Work\\tool.exe");
    EXPECT_STREQ(prepare(".\\tool.exe").file, "C:\\Work\\Build\\tool.exe");
    // A parent token is not read as a current-folder token.
    EXPECT_STREQ(prepare("..\\a .\\b").file, "C:\\Work\\a C:\\Work\\Build\\b");
    // Directly under a drive root the parent is the root.
    EXPECT_STREQ(prepare("..\\x.exe", "C:/Apps/", "C:\\Work\\").file, "C:\\x.exe");
    EXPECT_STREQ(prepare("..\\x.exe", "C:/Apps/", "C:\\").file, "C:\\x.exe");
}

TEST(PrepareCommand, ProgramTokensWithoutMerging) {
    EXPECT_STREQ(prepare("{S}\\readme.txt").file, "C:\\Downloads\\readme.txt");
    EXPECT_STREQ(prepare("notepad.exe|{S}").parameters, "C:\\Downloads\\demo.exe");
    EXPECT_STREQ(prepare("{s}\\\\x").file, "C:\\Downloads\\\\x"); // no merging: both kept
}

TEST(PrepareCommand, VerbFollowsTheFileNamesType) {
    EXPECT_STREQ(prepare("{P}driver.INF").verb, "Install");
    EXPECT_STREQ(prepare("{P}settings.reg").verb, "Merge");
    EXPECT_STREQ(prepare("{P}setup.inf.reg").verb, "Install");
    EXPECT_EQ(prepare("notepad.exe|notes.inf").verb, nullptr); // parameters do not count
}

TEST(PrepareCommand, WorkingFolderKeepsADriveRootsSeparator) {
    EXPECT_STREQ(prepare("x.exe", "C:\\").folder, "C:\\");
    EXPECT_STREQ(prepare("x.exe", "C:").folder, "C:\\");
    EXPECT_STREQ(prepare("x.exe", "D:/Target/Sub").folder, "D:\\Target\\Sub");
}

TEST(PrepareCommand, OnlyTheFirstBarSplits) {
    PreparedCommand c = prepare("run.exe|a|b");
    EXPECT_STREQ(c.file, "run.exe");
    EXPECT_STREQ(c.parameters, "a|b");
    EXPECT_STREQ(prepare("run.exe|").parameters, "");
}

// The command holds 511 characters, the parameters 255: longer texts are cut there, and a
// replacement that would not fit leaves its token in place.
TEST(PrepareCommand, LongTextsAreCutAtTheirBuffers) {
    std::string parameters(kParameterBuffer, 'p');
    PreparedCommand c = prepare("x.exe|" + parameters);
    EXPECT_EQ(std::string(c.parameters), parameters.substr(0, kParameterBuffer - 1));

    std::string file(kCommandBuffer + 40, 'f');
    EXPECT_EQ(std::string(prepare(file).file), file.substr(0, kCommandBuffer - 1));

    std::string nearlyfull = "{P}" + std::string(kCommandBuffer - 1 - 3, 'n');
    ASSERT_EQ(nearlyfull.size(), size_t(kCommandBuffer - 1));
    EXPECT_EQ(std::string(prepare(nearlyfull).file), nearlyfull);
    // With room for exactly the replacement the token is replaced.
    std::string fitting = "{P}" + std::string(kCommandBuffer - 1 - 8, 'n');
    EXPECT_EQ(std::string(prepare(fitting).file), "C:\\Apps\\" + fitting.substr(3));
}

TEST(PrepareCommand, LongestDestinationStillEndsWithItsSeparator) {
    std::string destination = "C:\\" + std::string(kCommandFolder - 5, 'd');
    ASSERT_EQ(destination.size(), size_t(kCommandFolder - 2));
    PreparedCommand c = prepare("{P}x.exe", destination);
    EXPECT_EQ(std::string(c.file), destination + "\\x.exe");
    EXPECT_EQ(std::string(c.folder), destination);
}

} // namespace
