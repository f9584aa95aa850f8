// Tests of the shipped text tables and of the keyed table form: every table loads into the
// stub's own decoder with all 66 texts, keeps the English printf conversions, has no
// colliding mnemonics, and says what the product is; broken tables are refused with the
// file, the line and the reason.
#include "startup/textblock.h"
#include "tools/base/builderror.h"
#include "tools/package/packagefile.h"
#include "tools/text/encodings.h"
#include "tools/text/texttable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>

namespace {

std::string refusal(const std::function<void()>& f) {
    try {
        f();
    } catch (const BuildError& e) {
        return e.what();
    }
    return "(accepted)";
}

// A keyed table with text k given as text[k], or "Text k" and the English conversions.
std::string keyedtable(const std::map<int, std::string>& replaced = {}) {
    std::vector<std::string> english = shippedtable("english").texts;
    std::string table = "# orvsfx texts\nlanguage = Test\ncodepage = 1252\n";
    for (int k = 0; k < kTextCount; ++k) {
        std::string text = "Text " + std::to_string(k);
        for (const std::string& p : placeholders(english[k])) text += " %" + p;
        auto r = replaced.find(k);
        table += std::to_string(k) + " = " + (r == replaced.end() ? text : r->second) + "\n";
    }
    return table;
}

TEST(ShippedTexts, FiveLanguagesAreShipped) {
    std::vector<std::string> names = shippedlanguages();
    for (const char* name : {"english", "german", "french", "spanish", "italian"})
        EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << name;
}

TEST(ShippedTexts, EveryTableLoadsIntoTheStubsDecoderWithItsConversions) {
    std::vector<std::string> english = shippedtable("english").texts;
    for (const std::string& name : shippedlanguages()) {
        SCOPED_TRACE(name);
        TextTable table = shippedtable(name);
        ASSERT_EQ(table.texts.size(), std::size_t(kTextCount));
        EXPECT_FALSE(table.language.empty());
        EXPECT_EQ(table.codepage->number, 1252u);
        EXPECT_NO_THROW(checkplaceholders(table));
        std::string body = textblockbody(table.texts);
        ASSERT_EQ(loaduitexts(reinterpret_cast<const unsigned char*>(body.data()), body.size()), 1);
        for (int k = 0; k < kTextCount; ++k) {
            ASSERT_NE(UiText[k], nullptr) << k;
            // The stub holds the package's texts in UTF-8.
            EXPECT_EQ(decodeansi(table.texts[k], *table.codepage), UiText[k]) << k;
            EXPECT_EQ(placeholders(UiText[k]), placeholders(english[k])) << k;
            // Only text 64 is nothing but a line break; everything else says something.
            if (k != 64) {
                EXPECT_GT(std::string(UiText[k]).size(), 1u) << k;
            }
        }
        freeuitexts();
        EXPECT_EQ(table.texts[64], "\r\n");
    }
}

TEST(ShippedTexts, TranslationsAreTranslated) {
    std::vector<std::string> english = shippedtable("english").texts;
    for (const std::string& name : shippedlanguages()) {
        if (name == "english") continue;
        TextTable table = shippedtable(name);
        int same = 0;
        for (int k = 0; k < kTextCount; ++k) same += table.texts[k] == english[k];
        // The same as English: "Orvandel" (19), "\r\n" (64), and a few words such as
        // "&OK" or "Error" that some languages share.
        EXPECT_LE(same, 5) << name;
        EXPECT_NE(table.texts[5], english[5]) << name;
        EXPECT_NE(table.texts[65], english[65]) << name;
    }
}

TEST(ShippedTexts, NoTwoTextsOfOneDialogShareAMnemonic) {
    for (const std::string& name : shippedlanguages()) {
        TextTable table = shippedtable(name);
        std::vector<std::string> collisions = mnemoniccollisions(table.texts, *table.codepage);
        EXPECT_TRUE(collisions.empty()) << name << ": " << collisions.front();
        // Every button and label that had a mnemonic in English has one here too.
        std::vector<std::string> english = shippedtable("english").texts;
        for (int k = 0; k < kTextCount; ++k)
            EXPECT_EQ(english[k].find('&') != std::string::npos,
                      table.texts[k].find('&') != std::string::npos)
                << name << " " << k;
    }
}

TEST(ShippedTexts, TheProductTextsSayWhatThisIs) {
    for (const std::string& name : shippedlanguages()) {
        TextTable table = shippedtable(name);
        for (int k : {0, 22, 63}) {
            EXPECT_NE(table.texts[k].find("Orvandel SFX"), std::string::npos) << name << k;
            for (const char* word : {"example", "http", "www.", "beta", "Beta"})
                EXPECT_EQ(table.texts[k].find(word), std::string::npos) << name << k << word;
        }
    }
}

TEST(ShippedTexts, LanguagesAreFoundByFileOrLanguageNameInAnyCase) {
    EXPECT_EQ(shippedtable("GERMAN").texts[5], "&Entpacken");
    EXPECT_EQ(shippedtable("deutsch").texts[5], "&Entpacken");
    EXPECT_EQ(shippedtable("Français").texts[5], "&Extraire");
    EXPECT_EQ(refusal([] { shippedtable("klingon"); }),
              "no shipped texts for the language \"klingon\" (known: english, french, german, "
              "italian, spanish)");
}

TEST(ShippedTexts, UtfEightIsWrittenInTheCodePage) {
    EXPECT_EQ(shippedtable("german").texts[8], "\xDC&ber"); // Ü in Windows-1252
    EXPECT_EQ(shippedtable("french").texts[65].find("\xAB Extraire \xBB") != std::string::npos,
              true); // « and »
}

TEST(MnemonicCheck, FindsTheLetterWithoutCaseAndIgnoresDoubledAmpersands) {
    std::vector<std::string> texts = shippedtable("english").texts;
    EXPECT_TRUE(mnemoniccollisions(texts, westerncodepage()).empty());
    texts[24] = "&existing files";
    std::vector<std::string> found = mnemoniccollisions(texts, westerncodepage());
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0], "texts 5 and 24 share the mnemonic E in the main dialog");
    texts[24] = "Tom && &Jerry";
    EXPECT_TRUE(mnemoniccollisions(texts, westerncodepage()).empty());
    texts[13] = "\xE4&\xE4"; // ä (a Latin-1 letter) in the progress dialog ...
    texts[29] = "&\xC4";     // ... and Ä
    found = mnemoniccollisions(texts, westerncodepage());
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0], "texts 13 and 29 share the mnemonic \xC3\x84 in the progress dialog and "
                        "its overwrite question");
}

TEST(Placeholders, CountOrderAndKindOfConversions) {
    EXPECT_EQ(placeholders("disk %i of %s, 100%% done"), (std::vector<std::string>{"d", "s"}));
    EXPECT_EQ(placeholders("%-10s %5.2f %ld %*d"),
              (std::vector<std::string>{"s", "f", "ld", "*", "d"}));
    EXPECT_TRUE(placeholders("no conversions").empty());
    EXPECT_EQ(placeholders("%d"), placeholders("%i"));
}

TEST(Placeholders, ATableWithOtherConversionsIsRefused) {
    const struct {
        int text;
        const char* value;
        const char* reason;
    } cases[] = {
        {11, "Open with", "text 11 has the printf conversions none where the English text has %s"},
        {2, "Disk %i lacks %s",
         "text 2 has the printf conversions %d %s where the English text has %s %d"},
        {50, "Password for %d",
         "text 50 has the printf conversions %d where the English text "
         "has %s"},
        {5, "&Go %s", "text 5 has the printf conversions %s where the English text has none"},
    };
    for (const auto& c : cases) {
        TextTable table = readtexttable(keyedtable({{c.text, c.value}}), "t.txt");
        EXPECT_EQ(refusal([&] { checkplaceholders(table); }), std::string("t.txt: ") + c.reason);
    }
    EXPECT_NO_THROW(checkplaceholders(readtexttable(keyedtable(), "t.txt")));
}

TEST(KeyedTable, CommentsQuotesAndEscapes) {
    TextTable table = readtexttable(
        keyedtable({{45, "\"Now: \""}, {3, "  caf\xC3\xA9 \\r\\n\\x81  "}, {4, "\"q\\\"\""}}),
        "t.txt");
    EXPECT_EQ(table.language, "Test");
    EXPECT_EQ(table.texts[45], "Now: ");
    EXPECT_EQ(table.texts[3], "caf\xE9 \r\n\x81");
    EXPECT_EQ(table.texts[4], "q\"");
    EXPECT_EQ(table.texts[0], "Text 0");
}

TEST(KeyedTable, RefusalsNameTheLine) {
    std::string table = keyedtable();
    auto without = [&](int k) {
        std::string marker = "\n" + std::to_string(k) + " = ";
        std::size_t at = table.find(marker);
        return table.substr(0, at + 1) + table.substr(table.find('\n', at + 1) + 1);
    };
    EXPECT_EQ(refusal([&] { readtexttable(without(17), "t.txt"); }), "t.txt: text 17 is missing");
    EXPECT_EQ(refusal([&] { readtexttable(table + "17 = again\n", "t.txt"); }),
              "t.txt:70: text 17 is given twice (first on line 21)");
    EXPECT_EQ(refusal([&] { readtexttable(table + "66 = more\n", "t.txt"); }),
              "t.txt:70: unknown key \"66\" (language, codepage, or a text number from 0 to 65)");
    EXPECT_EQ(refusal([&] { readtexttable(table + "just words\n", "t.txt"); }),
              "t.txt:70: expected \"key = text\" or a comment");
    std::string other = table;
    other.replace(other.find("codepage = 1252"), 15, "codepage = 1250");
    EXPECT_EQ(refusal([&] { readtexttable(other, "t.txt"); }),
              "t.txt:3: code page \"1250\" is not one the builder knows (1252)");
    EXPECT_EQ(refusal([&] {
                  readtexttable(keyedtable({{30, "Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87"}}), "pl.txt");
              }),
              "pl.txt:34: text 30: character 3, \"\xC5\xBC\" (U+017C), cannot be written in code "
              "page 1252 (Windows-1252)");
    EXPECT_EQ(refusal([&] {
                  readtexttable(keyedtable({{30, "bad \xFF byte"}}), "u.txt");
              }),
              "u.txt:34: text 30: character 5 is not valid UTF-8");
    EXPECT_EQ(refusal([&] {
                  readtexttable(keyedtable({{9, "x\\q"}}), "e.txt");
              }),
              "e.txt:13: unknown escape \\q (known: \\r \\n \\t \\\" \\\\ \\xHH)");
}

TEST(CodePage, WindowsTwelveFiftyTwoBothWays) {
    const CodePage& page = westerncodepage();
    EXPECT_EQ(encodeansi("\xE2\x82\xAC \xC5\x93 \xC3\xBF", page, "t"), "\x80 \x9C \xFF");
    EXPECT_EQ(decodeansi("\x80 \x9C \xFF", page), "\xE2\x82\xAC \xC5\x93 \xC3\xBF");
    EXPECT_EQ(decodeansi("\x81", page), "\xEF\xBF\xBD"); // undefined: U+FFFD
    for (const char* invalid : {"\xC0\x80", "\xED\xA0\x80", "\xE2\x82", "\x80"})
        EXPECT_EQ(refusal([&] { encodeansi(std::string("ab") + invalid, page, "t"); }),
                  "t: character 3 is not valid UTF-8")
            << invalid;
    EXPECT_EQ(findcodepage(1252), &page);
    EXPECT_EQ(findcodepage(437), nullptr);
}

TEST(PackageFile, SectionsKeysAndValuesThatSpanLines) {
    PackageFile file = parsepackagefile("# a comment\n"
                                        "; another\n"
                                        "[package]\n"
                                        "stub = ../stub.exe  \n"
                                        "\n"
                                        "[options]\n"
                                        "title=  Demo = Setup\n"
                                        "about = First\n"
                                        "    second\n"
                                        "\n"
                                        "\tfourth\n"
                                        "\n"
                                        "description =\n"
                                        "  only line\n",
                                        "p.ini");
    ASSERT_EQ(file.entries.size(), 4u);
    EXPECT_EQ(file.entries[0].section, "package");
    EXPECT_EQ(file.entries[0].key, "stub");
    EXPECT_EQ(file.entries[0].value, "../stub.exe");
    EXPECT_EQ(file.entries[0].line, 4);
    EXPECT_EQ(file.entries[1].value, "Demo = Setup");
    EXPECT_FALSE(file.entries[1].spans);
    EXPECT_EQ(file.entries[2].value, "First\r\nsecond\r\n\r\nfourth");
    EXPECT_TRUE(file.entries[2].spans);
    EXPECT_EQ(file.entries[3].value, "only line");
    EXPECT_EQ(file.entries[3].line, 13);
}

TEST(PackageFile, RefusalsNameTheLine) {
    EXPECT_EQ(refusal([] { parsepackagefile("title = x\n", "p.ini"); }),
              "p.ini:1: \"title\" comes before the first [section]");
    EXPECT_EQ(refusal([] { parsepackagefile("  indented\n", "p.ini"); }),
              "p.ini:1: an indented line continues a value, but no key comes before it");
    EXPECT_EQ(refusal([] { parsepackagefile("[options]\njust words\n", "p.ini"); }),
              "p.ini:2: expected \"key = value\", a [section] or a comment, not \"just words\"");
    EXPECT_EQ(refusal([] { parsepackagefile("[options\n", "p.ini"); }),
              "p.ini:1: a section name is written [name]");
    EXPECT_EQ(refusal([] { parsepackagefile("[options]\n = x\n", "p.ini"); }),
              "p.ini:2: an indented line continues a value, but no key comes before it");
    EXPECT_EQ(refusal([] { parsepackagefile("[options]\n= x\n", "p.ini"); }),
              "p.ini:2: expected \"key = value\", a [section] or a comment, not \"= x\"");
}

} // namespace
