// Tests of the builder's code pages against the system's conversion: every byte of code
// pages 1252 and 437 shows in the builder the character that the system gives it (the POSIX
// code-page layer's name conversion on Linux, Windows' own conversion under Win32), except
// the five bytes that 1252 leaves unassigned, which the builder holds undefined and so never
// writes.
#include "tools/base/builderror.h"
#include "tools/text/encodings.h"

#include "platform/codepage.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <cstdio>
#include <string>

namespace {

const unsigned char kUnassigned1252[] = {0x81, 0x8D, 0x8F, 0x90, 0x9D};

bool unassigned1252(unsigned b) {
    for (unsigned char u : kUnassigned1252)
        if (u == b) return true;
    return false;
}

// UTF-8 of one character of the Basic Multilingual Plane.
std::string utf8of(unsigned c) {
    return utf16toutf8(std::u16string(1, static_cast<char16_t>(c)));
}

// Byte b of code page `number` (1252 or 437) as the system converts it, in UTF-8.
std::string systemcharacter(unsigned number, unsigned char b) {
    const char in = static_cast<char>(b);
#ifdef _WIN32
    wchar_t c = 0;
    if (MultiByteToWideChar(number, 0, &in, 1, &c, 1) != 1) return "(no conversion)";
    return utf8of(c);
#else
    char out[8];
    unsigned n = number == 437 ? platform::oemtoname(&in, 1, out, sizeof out)
                               : platform::ansitoname(&in, 1, out, sizeof out);
    return std::string(out, n);
#endif
}

std::string refusal(const std::string& text, const CodePage& page) {
    try {
        encodeansi(text, page, "t");
    } catch (const BuildError& e) {
        return e.what();
    }
    return "(accepted)";
}

TEST(CodePageTables, WesternAgreesWithTheSystemButForItsUnassignedBytes) {
    const CodePage& page = westerncodepage();
    for (unsigned b = 0x80; b < 0x100; ++b) {
        std::string byte(1, static_cast<char>(b));
        std::string shown = decodeansi(byte, page);
        if (unassigned1252(b)) {
            EXPECT_EQ(shown, "\xEF\xBF\xBD") << std::hex << b; // undefined: U+FFFD
            EXPECT_EQ(systemcharacter(1252, static_cast<unsigned char>(b)), utf8of(b))
                << std::hex << b; // the system: the C1 control of the same value
        } else {
            EXPECT_EQ(shown, systemcharacter(1252, static_cast<unsigned char>(b))) << std::hex << b;
            EXPECT_EQ(encodeansi(shown, page, "t"), byte) << std::hex << b;
        }
    }
}

TEST(CodePageTables, UnassignedWesternBytesAreNeverWritten) {
    const CodePage& page = westerncodepage();
    for (unsigned char b : kUnassigned1252) {
        char code[8];
        std::snprintf(code, sizeof code, "%04X", b);
        EXPECT_EQ(refusal("a" + utf8of(b), page),
                  "t: character 2, \"" + utf8of(b) + "\" (U+" + code +
                      "), cannot be written in code page 1252 (Windows-1252)");
    }
}

TEST(CodePageTables, OemAgreesWithTheSystem) {
    const CodePage& page = oemcodepage();
    for (unsigned b = 0x80; b < 0x100; ++b) {
        std::string byte(1, static_cast<char>(b));
        EXPECT_EQ(decodeansi(byte, page), systemcharacter(437, static_cast<unsigned char>(b)))
            << std::hex << b;
        EXPECT_EQ(encodeansi(decodeansi(byte, page), page, "t"), byte) << std::hex << b;
    }
}

} // namespace
