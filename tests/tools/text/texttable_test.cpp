// Tests of the text table and the text block: table files, escapes, the standard English
// table, and the checksum the stub verifies (sign extension included).
#include "startup/textblock.h"
#include "tools/base/builderror.h"
#include "tools/base/littleendian.h"
#include "tools/text/texttable.h"

#include <gtest/gtest.h>

namespace {

std::string table(const std::vector<std::string>& lines) {
    std::string content;
    for (const std::string& line : lines) content += line + "\n";
    return content;
}

std::vector<std::string> numberedlines(std::size_t count) {
    std::vector<std::string> lines;
    for (std::size_t k = 0; k < count; ++k) lines.push_back("text " + std::to_string(k));
    return lines;
}

std::uint32_t checksumfield(const std::string& body) {
    return get32(encodetextblock(body), 9);
}

TEST(TextTable, ParsesSixtySixLinesWithEscapes) {
    auto lines = numberedlines(66);
    lines[2] = "a\\r\\nb\\t\\\"q\\\"\\\\";
    lines[3] = "";
    lines[4] = "caf\\xE9";
    auto texts = readtexttable(table(lines), "t.txt").texts;
    ASSERT_EQ(texts.size(), 66u);
    EXPECT_EQ(texts[0], "text 0");
    EXPECT_EQ(texts[2], "a\r\nb\t\"q\"\\");
    EXPECT_EQ(texts[3], "");
    EXPECT_EQ(texts[4], "caf\xE9");
    EXPECT_EQ(texts[65], "text 65");
}

TEST(TextTable, ReadsWindowsLineEndsAndAMissingFinalLineBreak) {
    std::string content;
    for (const std::string& line : numberedlines(66)) content += line + "\r\n";
    EXPECT_EQ(readtexttable(content, "t").texts[65], "text 65");
    content = table(numberedlines(66));
    content.pop_back();
    EXPECT_EQ(readtexttable(content, "t").texts[65], "text 65");
}

TEST(TextTable, RefusesAWrongNumberOfTexts) {
    for (std::size_t count : {0u, 1u, 65u, 67u}) {
        try {
            readtexttable(table(numberedlines(count)), "short.txt");
            ADD_FAILURE() << count << " texts accepted";
        } catch (const BuildError& e) {
            EXPECT_NE(std::string(e.what()).find("exactly 66"), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find("short.txt"), std::string::npos);
        }
    }
    EXPECT_THROW(textblockbody(std::vector<std::string>(65)), BuildError);
}

TEST(TextTable, RefusesBadEscapesAndNulBytesNamingTheLine) {
    const char* bad[] = {"x\\q", "trailing\\", "\\x0", "\\x00", "\\xZZ"};
    for (const char* text : bad) {
        auto lines = numberedlines(66);
        lines[9] = text;
        try {
            readtexttable(table(lines), "bad.txt");
            ADD_FAILURE() << text << " accepted";
        } catch (const BuildError& e) {
            EXPECT_NE(std::string(e.what()).find("bad.txt:10"), std::string::npos) << e.what();
        }
    }
    auto lines = numberedlines(66);
    lines[0] = std::string("a\0b", 3);
    EXPECT_THROW(readtexttable(table(lines), "nul.txt"), BuildError);
    std::vector<std::string> texts(66);
    texts[5] = std::string("a\0b", 3);
    EXPECT_THROW(textblockbody(texts), BuildError);
}

TEST(TextTable, EscapeAndParseAreInverse) {
    std::string all;
    for (int c = 1; c < 256; ++c) all.push_back(static_cast<char>(c));
    std::vector<std::string> lines(66, escapetext(all));
    for (const std::string& text : readtexttable(table(lines), "t").texts) EXPECT_EQ(text, all);
}

TEST(TextTable, StandardEnglishTableHasTheProductTexts) {
    auto texts = shippedtable("english").texts;
    ASSERT_EQ(texts.size(), 66u);
    EXPECT_EQ(texts[3], "Please wait, initialising. . .");
    EXPECT_EQ(texts[18], "Self-Extracting Archive");
    EXPECT_EQ(texts[22], "Created with Orvandel SFX");        // the stub adds the link's target
    EXPECT_EQ(texts[24], "Existing Files - Overwrite &Mode"); // "&E" is the Extract button's
    EXPECT_EQ(texts[28], "This file exists.  Overwrite?");
    EXPECT_EQ(texts[31], "Incorrect MPV version for this stub [internal error].  Try to download "
                         "this file again.");
    EXPECT_EQ(texts[43], "Fatal Internal Error\r\nAn unknown error has occured");
    EXPECT_EQ(texts[64], "\r\n");
    EXPECT_EQ(
        texts[65].rfind("To extract the files contained in this archive click \"Extract\". ", 0),
        0u);
    EXPECT_NE(texts[65].find("exist. \r\n\r\nYou can"), std::string::npos);
    for (int k : {0, 63}) {
        EXPECT_NE(texts[k].find("Orvandel"), std::string::npos) << k;
        EXPECT_EQ(texts[k].find('%'), std::string::npos) << k; // 63 is a printf argument
    }
    EXPECT_NE(texts[63].find("2026"), std::string::npos);
    // What the product is, with no placeholder address and no pre-release warning.
    for (int k : {0, 22, 63}) {
        EXPECT_NE(texts[k].find("Orvandel SFX"), std::string::npos) << k;
        for (const char* word : {"example", "http", "beta", "Beta"})
            EXPECT_EQ(texts[k].find(word), std::string::npos) << k << " " << word;
    }
}

TEST(TextBlock, ChecksumExtendsTheSignOfEachLane) {
    EXPECT_EQ(checksumfield(""), 0u);
    EXPECT_EQ(checksumfield("abc"), 0x61626300u);
    EXPECT_EQ(checksumfield(std::string("\x00\x80", 2)), 0xFF800000u);
    EXPECT_EQ(checksumfield(std::string("\x00\x00\x00\x80", 4)), 0xFFFFFF80u);
    EXPECT_EQ(checksumfield(std::string("\x80\x00\x00\x00", 4)), 0x80000000u);
    // Lanes cancel by XOR: "abcdabcd" is all zero.
    EXPECT_EQ(checksumfield("abcdabcd"), 0u);
}

TEST(TextBlock, HeaderCarriesMarkerLengthAndChecksumAndTheStubLoadsTheBody) {
    auto texts = shippedtable("english").texts;
    std::string body = textblockbody(texts);
    std::string block = encodetextblock(body);
    EXPECT_EQ(block.substr(0, 5), "{SLF}");
    EXPECT_EQ(get32(block, 5), block.size());
    EXPECT_EQ(block.size(), kTextHeaderSize + body.size());
    EXPECT_EQ(get32(block, 9),
              blockchecksum(reinterpret_cast<const unsigned char*>(body.data()), body.size()));
    ASSERT_EQ(loaduitexts(reinterpret_cast<const unsigned char*>(body.data()), body.size()), 1);
    for (int k = 0; k < kTextCount; ++k) EXPECT_EQ(texts[k], UiText[k]) << k;
    freeuitexts();
}

} // namespace
