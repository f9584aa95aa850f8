// Engine messages: the printable form of member names.
#include "tests/support/enginetestkit.h"

#include <gtest/gtest.h>

TEST(PrintableName, ControlBytesShownWithCaret) {
    char buffer[kPrintableName];
    EXPECT_STREQ(printablename("a\tb\x01", buffer), "a^Ib^A");
    EXPECT_STREQ(printablename("plain.txt", buffer), "plain.txt");
}
