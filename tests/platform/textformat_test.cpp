// platform::formatlist: the text is cut to its buffer, always ended, and its kept length is
// returned; the C library's own way of reporting a cut (a count past the buffer, or -1)
// never reaches the caller.
#include "platform/textformat.h"

#include <gtest/gtest.h>

#include <string.h>

namespace {

int format(char* out, unsigned size, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int length = platform::formatlist(out, size, format, args);
    va_end(args);
    return length;
}

TEST(FormatList, ReturnsTheLengthOfWhatFits) {
    char out[8];
    EXPECT_EQ(format(out, sizeof out, "%s=%d", "ab", 42), 5);
    EXPECT_STREQ(out, "ab=42");
    EXPECT_EQ(format(out, sizeof out, "%s", ""), 0);
    EXPECT_STREQ(out, "");
}

TEST(FormatList, CutsAtTheBufferAndEndsTheText) {
    char out[8];
    memset(out, 'x', sizeof out);
    EXPECT_EQ(format(out, sizeof out, "%s", "abcdefg"), 7); // fills the buffer exactly
    EXPECT_STREQ(out, "abcdefg");
    memset(out, 'x', sizeof out);
    EXPECT_EQ(format(out, sizeof out, "%s", "abcdefgh"), 7); // one byte too long
    EXPECT_STREQ(out, "abcdefg");
    EXPECT_EQ(format(out, sizeof out, "%-12s|", "ab"), 7);
    EXPECT_STREQ(out, "ab     ");
    EXPECT_EQ(format(out, 1, "%s", "abc"), 0);
    EXPECT_STREQ(out, "");
}

} // namespace
