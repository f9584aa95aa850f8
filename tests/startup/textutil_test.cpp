// Text helpers: case-blind search, token replacement with capacity and merging, prefixing.
#include "startup/textutil.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

struct Replaced {
    int result;
    std::string text;
};

Replaced replace(const std::string& text, const char* token, const char* replacement,
                 size_t capacity, bool merge = false) {
    char buffer[256];
    std::strcpy(buffer, text.c_str());
    int result = replacetoken(buffer, token, replacement, capacity, merge);
    return {result, buffer};
}

} // namespace

TEST(FindNoCase, FindsIgnoringCaseInsideTheCallersText) {
    char command[] = "rundll32 setupapi,InstallHinfSection 132 setup.inf";
    EXPECT_EQ(findnocase(command, ".INF"), command + std::strlen(command) - 4);
    EXPECT_EQ(findnocase(command, "RUNDLL"), command);
    EXPECT_EQ(findnocase(command, ".reg"), nullptr);
}

// Case is folded for ASCII letters only: bytes from 0x80 up match only themselves, whatever
// letters they stand for in a code page.
TEST(FindNoCase, FoldsTheCaseOfAsciiLettersOnly) {
    char text[] = "Caf\xE9 [z]";
    EXPECT_EQ(findnocase(text, "CAF\xE9 [Z]"), text);
    EXPECT_EQ(findnocase(text, "caf\xC9"), nullptr);
    EXPECT_EQ(findnocase(text, "{"), nullptr); // '[' + 0x20 is '{': no letter, no folding
}

TEST(ReplaceToken, CapacityDecidesWhetherTheTextChanges) {
    // "%x%/y" with "abcd": result "abcd/y" needs 7 characters with its NUL.
    EXPECT_EQ(replace("%x%/y", "%X%", "abcd", 7).result, -1);
    EXPECT_EQ(replace("%x%/y", "%X%", "abcd", 7).text, "abcd/y");
    Replaced tooSmall = replace("%x%/y", "%x%", "abcd", 6);
    EXPECT_EQ(tooSmall.result, 7);
    EXPECT_EQ(tooSmall.text, "%x%/y");
}

TEST(ReplaceToken, EveryOccurrenceAndEmptyReplacement) {
    EXPECT_EQ(replace("a{P}b{p}c", "{P}", "", 64).text, "abc");
    EXPECT_EQ(replace("xx", "x", "xx", 64).text, "xxxx"); // no rescanning of inserted text
    EXPECT_EQ(replace("none", "%temp%", "C:\\", 64).text, "none");
}

TEST(ReplaceToken, MergeDropsARepeatedLastCharacter) {
    EXPECT_EQ(replace("%temp%\\x", "%temp%", "C:\\Temp\\", 64, true).text, "C:\\Temp\\x");
    // Once shortened, later occurrences use the shortened replacement too.
    EXPECT_EQ(replace("%t%\\a;%t%b", "%t%", "D:\\", 64, true).text, "D:\\a;D:b");
    EXPECT_EQ(replace("%t%a;%t%\\b", "%t%", "D:\\", 64, true).text, "D:\\a;D:\\b");
    EXPECT_EQ(replace("%temp%\\x", "%temp%", "C:\\Temp\\", 64, false).text, "C:\\Temp\\\\x");
}

TEST(PrependText, InsertsInPlace) {
    char buffer[32] = "file.txt";
    EXPECT_STREQ(prependtext(buffer, "C:\\dir\\"), "C:\\dir\\file.txt");
    EXPECT_STREQ(prependtext(buffer, ""), "C:\\dir\\file.txt");
}
