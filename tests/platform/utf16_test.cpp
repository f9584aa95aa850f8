// The conversion at the Win32 boundary (platform/utf16.h), on every system: UTF-8 to UTF-16
// and back keeps every character, replaces what is not text, and cuts between characters;
// on Win32 also the paths the wide file calls get (platform/win32/widetext.h).
#include "platform/utf16.h"

#include <gtest/gtest.h>

#include <string>

#ifdef _WIN32
#include "platform/win32/widetext.h"

#include <windows.h>
#endif

namespace {

std::u16string toutf16(const std::string& text, unsigned units = 64) {
    std::u16string out(units, u'#');
    unsigned whole = platform::utf8toutf16(text.data(), unsigned(text.size()), &out[0], units);
    out.resize(whole < units ? whole : units);
    return out;
}

std::string fromutf16(const std::u16string& text, unsigned size = 64) {
    std::string out(size, '#');
    platform::utf16toutf8(text.c_str(), &out[0], size);
    return out.c_str();
}

// The names a zip may hold, with characters of every width, survive the way there and back.
TEST(Utf16, EveryCharacterGoesThereAndBack) {
    const struct {
        const char* utf8;
        std::u16string utf16;
    } kCases[] = {
        {"plain.txt", u"plain.txt"},
        {"caf\xC3\xA9.txt", u"caf\u00E9.txt"},
        {"\xE6\x97\xA5\xE6\x9C\xAC.txt", u"\u65E5\u672C.txt"},
        {"\xCE\x95\xCE\xBB.txt", u"\u0395\u03BB.txt"},
        {"emoji\xF0\x9F\x98\x80.txt", u"emoji\U0001F600.txt"}, // a surrogate pair
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(toutf16(c.utf8), c.utf16) << c.utf8;
        EXPECT_EQ(fromutf16(c.utf16), c.utf8) << c.utf8;
    }
}

// Bytes that are not UTF-8 and surrogates without their partner become U+FFFD, one each;
// nothing becomes an ASCII character it did not show.
TEST(Utf16, WhatIsNotTextBecomesTheReplacementCharacter) {
    EXPECT_EQ(toutf16("a\xC0\xAF"
                      "b"),
              u"a\uFFFD\uFFFDb");
    EXPECT_EQ(toutf16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(fromutf16(std::u16string(u"x") + char16_t(0xD83D) + u"y"), "x\xEF\xBF\xBDy");
    EXPECT_EQ(fromutf16(std::u16string(1, char16_t(0xDE00))), "\xEF\xBF\xBD");
}

// A text that does not fit is cut between characters (a pair goes whole or not at all); the
// whole length is still reported, so the caller knows it was cut.
TEST(Utf16, ATextIsCutBetweenCharacters) {
    const std::string emoji = "ab\xF0\x9F\x98\x80";
    char16_t units[3];
    EXPECT_EQ(platform::utf8toutf16(emoji.data(), unsigned(emoji.size()), units, 3), 4u);
    EXPECT_EQ(std::u16string(units, 2), u"ab");
    char out[5];
    EXPECT_EQ(platform::utf16toutf8(u"ab\u65E5", out, sizeof out), 5u);
    EXPECT_STREQ(out, "ab");
    char whole[6];
    EXPECT_EQ(platform::utf16toutf8(u"ab\u65E5", whole, sizeof whole), 5u);
    EXPECT_STREQ(whole, "ab\xE6\x97\xA5");
}

#ifdef _WIN32
// The wide file calls take "\" separators, and a path of MAX_PATH - 12 units or more in the
// long form, made absolute.
TEST(WidePath, LongPathsTakeTheLongForm) {
    wchar_t wide[platform::kWidePath];
    ASSERT_TRUE(platform::widepath("C:/a/b\xC3\xA9", wide));
    EXPECT_EQ(std::wstring(wide), L"C:\\a\\b\u00E9");
    std::string deep = "C:/" + std::string(platform::kClassicPathLimit - 3, 'd');
    ASSERT_TRUE(platform::widepath(deep.c_str(), wide));
    EXPECT_EQ(std::wstring(wide),
              L"\\\\?\\C:\\" + std::wstring(platform::kClassicPathLimit - 3, L'd'));
    std::string share = "\\\\server\\share\\" + std::string(platform::kClassicPathLimit, 's');
    ASSERT_TRUE(platform::widepath(share.c_str(), wide));
    EXPECT_EQ(std::wstring(wide),
              L"\\\\?\\UNC\\server\\share\\" + std::wstring(platform::kClassicPathLimit, L's'));
    // A relative path is made absolute against the current folder, "." and ".." resolved.
    std::string relative = "x/../" + std::string(platform::kClassicPathLimit, 'r');
    ASSERT_TRUE(platform::widepath(relative.c_str(), wide));
    wchar_t current[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, current);
    std::wstring expected = std::wstring(L"\\\\?\\") + current;
    if (expected.back() != L'\\') expected += L'\\';
    EXPECT_EQ(std::wstring(wide), expected + std::wstring(platform::kClassicPathLimit, L'r'));
    EXPECT_FALSE(platform::widepath(std::string(platform::kWidePath, 'x').c_str(), wide));
}
#endif

} // namespace
