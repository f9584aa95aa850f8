// Names in a double-byte ANSI code page: the Win32 engine under Japanese Shift-JIS (code
// page 932), which ctest starts with LC_ALL=ja_JP.UTF-8 so that Wine takes that code page.
//
// In Shift-JIS the second byte of a character may be 0x5C, the byte of a backslash. The
// engine turns such a stored name into UTF-8 through the code page, character by
// character, so a 0x5C trail byte never splits it into a folder and a file.
#include "tests/support/enginetestkit.h"

#include "engine/nametext.h"
#include "platform/codepage.h"

#include <gtest/gtest.h>
#include <string.h>
#include <windows.h>

using namespace enginetest;

namespace {

TEST(ShiftJisNames, TheProcessRunsInCodePage932) {
    ASSERT_EQ(GetACP(), 932u) << "the test needs Wine's Japanese locale (LC_ALL=ja_JP.UTF-8)";
}

// Stored names in code page 932 become UTF-8 whole: a character whose trail byte is 0x5C
// stays that character, and a lead byte at the end is the code page's default character.
TEST(ShiftJisNames, StoredNamesBecomeUtf8ThroughTheCodePage) {
    const struct {
        const char* stored;
        const char* utf8;
    } kCases[] = {
        {"\x95\x5c.txt", "\xE8\xA1\xA8.txt"},                                 // HYOU, trail 0x5C
        {"\x83\x5c\x83\x74\x83\x67", "\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88"}, // SOFUTO
        {"\xb1\\x", "\xEF\xBD\xB1\\x"}, // a one-byte katakana, then a real backslash
    };
    for (const auto& c : kCases) {
        char out[kNameText];
        platform::ansitoname(c.stored, (unsigned)strlen(c.stored), out, sizeof out);
        EXPECT_EQ(std::string(out), c.utf8) << c.stored;
    }
}

TEST(ShiftJisNames, TrailBackslashBytesStayInTheName) {
    TempDir dir;
    RunRecord run = runengine(fixture("shiftjis.zip"), dir.str());
    EXPECT_EQ(run.result, kResultOk);
    // The engine's list of created files holds the paths in UTF-8, joined with "/".
    std::string root = dir.str() + "/";
    const std::string hyou = "\xE8\xA1\xA8.txt",
                      sofuto = "dir/\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88.txt";
    EXPECT_EQ(run.filelist, (std::vector<std::string>{root + hyou, root + sofuto}));
    EXPECT_EQ(readfile(fs::u8path(root + hyou)), "hyou\n");
    EXPECT_EQ(readfile(fs::u8path(root + sofuto)), "sofuto\n");
    // Nothing was split at the 0x5C bytes: the root holds the file and one folder only.
    std::set<std::string> names;
    for (auto& entry : fs::directory_iterator(dir.path()))
        names.insert(entry.path().filename().u8string());
    EXPECT_EQ(names.size(), 2u);
    EXPECT_EQ(names.count("dir"), 1u);
}

} // namespace
