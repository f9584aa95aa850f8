// Names in a double-byte ANSI code page: the Win32 engine under Japanese Shift-JIS (code
// page 932), which ctest starts with LC_ALL=ja_JP.UTF-8 so that Wine takes that code page.
//
// In Shift-JIS the second byte of a character may be 0x5C, the byte of a backslash. A name
// walked byte by byte would split there into a folder and a file; walked by characters it
// stays one name.
#include "tests/support/enginetestkit.h"

#include "platform/codepage.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <windows.h>

using namespace enginetest;

namespace {

// The contents of a file named in the ANSI code page ("" when it cannot be opened).
std::string readansi(const std::string& path) {
    std::string contents;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return contents;
    char buffer[256];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) contents.append(buffer, n);
    fclose(f);
    return contents;
}

TEST(ShiftJisNames, TheProcessRunsInCodePage932) {
    ASSERT_EQ(GetACP(), 932u) << "the test needs Wine's Japanese locale (LC_ALL=ja_JP.UTF-8)";
}

TEST(ShiftJisNames, LeadBytesStartTwoByteCharacters) {
    EXPECT_EQ(platform::namecharlength("\x95\x5c"), 2u); // one character ending in 0x5C
    EXPECT_EQ(platform::namecharlength("\x81\x40"), 2u); // the lowest lead byte
    EXPECT_EQ(platform::namecharlength("\xfc\x40"), 2u); // the highest
    EXPECT_EQ(platform::namecharlength("\x80\x5c"), 1u); // below the first lead range
    EXPECT_EQ(platform::namecharlength("\xa0\x5c"), 1u); // between the two ranges
    EXPECT_EQ(platform::namecharlength("\xb1\x5c"), 1u); // a one-byte katakana
    EXPECT_EQ(platform::namecharlength("\x95"), 1u);     // a lead byte at the end
    EXPECT_EQ(platform::namecharlength("\\x"), 1u);
    for (unsigned b = 0; b < 256; b++) {
        const char text[] = {static_cast<char>(b), 'x', 0};
        EXPECT_EQ(platform::namecharlength(text), IsDBCSLeadByte(static_cast<BYTE>(b)) ? 2u : 1u)
            << "byte " << b;
    }
}

TEST(ShiftJisNames, TrailBackslashBytesStayInTheName) {
    TempDir dir;
    RunRecord run = runengine(fixture("shiftjis.zip"), dir.str());
    EXPECT_EQ(run.result, kResultOk);
    // The engine's list of created files holds the paths as ANSI text, joined with "/".
    std::string root = dir.str() + "/";
    const std::string hyou = "\x95\x5c.txt", sofuto = "dir/\x83\x5c\x83\x74\x83\x67.txt";
    EXPECT_EQ(run.filelist, (std::vector<std::string>{root + hyou, root + sofuto}));
    EXPECT_EQ(readansi(root + hyou), "hyou\n");
    EXPECT_EQ(readansi(root + sofuto), "sofuto\n");
    // Nothing was split at the 0x5C bytes: the root holds the file and one folder only.
    std::set<std::string> names;
    for (auto& entry : fs::directory_iterator(dir.path()))
        names.insert(entry.path().filename().u8string());
    EXPECT_EQ(names.size(), 2u);
    EXPECT_EQ(names.count("dir"), 1u);
}

} // namespace
