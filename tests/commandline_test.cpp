// Command line: where the program name ends and the switches begin.
#include "startup/commandline.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string tail(std::string line) {
    std::string copy = line;
    char* start = skipprogramname(&copy[0]);
    return start;
}

} // namespace

TEST(SkipProgramName, QuotedAndUnquotedNames) {
    EXPECT_EQ(tail("\"C:\\Program Files\\setup.exe\" /a /d C:\\x"), "/a /d C:\\x");
    EXPECT_EQ(tail("\"C:\\setup.exe\"/s"), "/s");
    EXPECT_EQ(tail("setup.exe   /s"), "/s");
    EXPECT_EQ(tail("setup.exe"), "");
    EXPECT_EQ(tail("\"setup.exe\""), "");
    EXPECT_EQ(tail(""), "");
}

TEST(SkipProgramName, UnclosedQuoteHandsOverTheWholeLine) {
    EXPECT_EQ(tail("\"C:\\setup.exe /a"), "\"C:\\setup.exe /a");
}

TEST(SkipProgramName, OnlyBlanksSeparate) {
    EXPECT_EQ(tail("setup.exe\t/a /x"), "/x");
    EXPECT_EQ(tail("\"setup.exe\"\t/a"), "\t/a");
}
