// Engine messages: the default message routine's line handling and printable names.
#include "tests/support/enginetestkit.h"

#include <gtest/gtest.h>

#include <stdio.h>
#ifdef _WIN32
#include <io.h>
#define dup _dup
#define dup2 _dup2
#define fileno _fileno
#else
#include <unistd.h>
#endif

using namespace enginetest;

namespace {

// Runs body with standard error sent to a file; returns what was written.
template <typename Body>
std::string capturestderr(Body body) {
    TempDir dir;
    std::string file = (dir.path() / "err.txt").string();
    fflush(stderr);
    int saved = dup(fileno(stderr));
    FILE* sink = fopen(file.c_str(), "wb");
    dup2(fileno(sink), fileno(stderr));
    body();
    fflush(stderr);
    dup2(saved, fileno(stderr));
    fclose(sink);
    return readfile(file);
}

TEST(MessageOut, FreshLineOnlyAfterOpenLine) {
    initengine();
    std::string out = capturestderr([] {
        messageout(&engine, "open", 4, kMsgWarn);
        messageout(&engine, "next\n", 5, kMsgErrorFreshLine);
        messageout(&engine, "again\n", 6, kMsgErrorFreshLine);
    });
    EXPECT_EQ(out, "open\nnext\nagain\n");
    EXPECT_EQ(engine.atlinestart, 1);
}

TEST(MessageOut, LineEndAppended) {
    initengine();
    std::string out = capturestderr([] {
        messageout(&engine, "text", 4, 0x41);
        messageout(&engine, "", 0, 0x41);
    });
    EXPECT_EQ(out, "text\n");
}

TEST(PrintableName, ControlBytesShownWithCaret) {
    char buffer[kPrintableName];
    EXPECT_STREQ(printablename("a\tb\x01", buffer), "a^Ib^A");
    EXPECT_STREQ(printablename("plain.txt", buffer), "plain.txt");
}

} // namespace
