// UTF-8 member names: the conversions of stored names into name text, and runs over archives
// from Python's zipfile, 7-Zip, bsdtar and the Info-ZIP Unicode path field, over invalid
// UTF-8 and over traversal spelled with overlong forms and look-alikes.
//
// Name text is UTF-8 on POSIX and the ANSI code page (1252 under the test set-up) on Win32,
// so each expectation says what both systems write; runs that compare with 7-Zip's output
// need 7zz and are host only.
#include "engine/nametext.h"
#include "engine/crc32.h"
#include "platform/codepage.h"
#include "tests/support/enginetestkit.h"
#include "tests/support/rawzip.h"

#include <string.h>

#include <gtest/gtest.h>

using namespace enginetest;

namespace {

std::string fromutf8(const std::string& stored, unsigned size = kNameText) {
    std::vector<char> out(size);
    unsigned n =
        platform::utf8toname(stored.data(), static_cast<unsigned>(stored.size()), out.data(), size);
    EXPECT_EQ(n, strlen(out.data()));
    return std::string(out.data(), n);
}

std::string fromoem(const std::string& stored, unsigned size = kNameText) {
    std::vector<char> out(size);
    unsigned n =
        platform::oemtoname(stored.data(), static_cast<unsigned>(stored.size()), out.data(), size);
    return std::string(out.data(), n);
}

// Name text is UTF-8 on both systems: Latin, Greek, Cyrillic and CJK letters and characters
// beyond the Basic Multilingual Plane (U+1F600) all keep their identity.
TEST(NameText, Utf8NamesStayAsTheyAre) {
    for (const char* name : {"caf\xC3\xA9 Gr\xC3\xBC\xC3\x9F"
                             "e.txt",
                             "\xCE\xB1\xCE\xB2/\xD0\xB4\xE6\x97\xA5.txt", "\xF0\x9F\x98\x80.txt"})
        EXPECT_EQ(fromutf8(name), name);
}

// Every byte the strict decoder refuses becomes one "_", so no sequence can become a
// separator or a dot that its bytes did not show.
TEST(NameText, InvalidUtf8BecomesUnderscoresByteByByte) {
    EXPECT_EQ(fromutf8("bad\xFF.txt"), "bad_.txt");
    EXPECT_EQ(fromutf8("a\xC0\xAF"
                       "b"),
              "a__b");                                   // overlong "/"
    EXPECT_EQ(fromutf8("\xC0\xAE\xC0\xAE/x"), "____/x"); // overlong ".."
    EXPECT_EQ(fromutf8("\xE0\x80\xAE"
                       "x"),
              "___x"); // three-byte overlong "."
    EXPECT_EQ(fromutf8("\xF0\x80\x80\xAF"
                       "x"),
              "____x");                                   // four-byte overlong "/"
    EXPECT_EQ(fromutf8("s\xED\xA0\x80.txt"), "s___.txt"); // UTF-16 surrogate
    EXPECT_EQ(fromutf8("\xF4\x90\x80\x80"
                       "x"),
              "____x");                          // beyond U+10FFFF
    EXPECT_EQ(fromutf8("\x80x"), "_x");          // stray continuation
    EXPECT_EQ(fromutf8("cut\xE2\x82"), "cut__"); // cut by the name's end
    // The stored length ends the name, even inside a sequence that continues behind it.
    EXPECT_EQ(fromutf8(std::string("\xC3\xA9", 1)), "_");
}

// FULLWIDTH FULL STOP and SOLIDUS look like "./" but are letters of their own: kept as they
// are, never turned into "." or "/".
TEST(NameText, LookAlikesNeverBecomeSeparatorsOrDots) {
    std::string fullwidth = "\xEF\xBC\x8E\xEF\xBC\x8E\xEF\xBC\x8F"
                            "x";
    EXPECT_EQ(fromutf8(fullwidth), fullwidth);
    std::string text =
        fromutf8(fullwidth + "\xE2\x80\xA4\xE2\x88\x95"); // one dot leader, division slash
    EXPECT_EQ(text.find_first_of("/\\"), std::string::npos);
    EXPECT_EQ(text.find(".."), std::string::npos);
}

// The output is cut at a character boundary, never inside a sequence; kNameText holds the
// largest growth of the longest stored name and the "/" of a folder mark.
TEST(NameText, OutputBoundsCutWholeCharacters) {
    EXPECT_EQ(fromutf8("\xCE\xB1\xCE\xB2\xCE\xB3", 4), "\xCE\xB1");
    EXPECT_EQ(fromutf8("\xCE\xB1\xCE\xB2\xCE\xB3", 5), "\xCE\xB1\xCE\xB2");
    EXPECT_EQ(fromutf8("abc", 1), "");
    const unsigned kLargest = kNameText - kFolderMark; // the largest growth and a NUL
    std::string boxes(kNameBuffer - 1, '\xB0');        // OEM light shade, three bytes of UTF-8
    std::string whole = fromoem(boxes, kLargest);
    EXPECT_EQ(whole.size(), static_cast<size_t>(kLargest - 1));
    std::string cut = fromoem(boxes, kLargest - 1);
    EXPECT_EQ(cut.size(), static_cast<size_t>(kLargest - 4));
}

// The central name text of stored as a member of origin.
std::string membertext(const std::string& stored, const MemberOrigin& origin) {
    StoredName name = {stored.data(), static_cast<unsigned>(stored.size()), false, 0, nullptr, 0};
    char out[kNameText];
    unsigned length = membernametext(name, origin, kCentralName, out);
    EXPECT_EQ(length, strlen(out));
    return std::string(out, length);
}

// A folder marked only by its attribute gets a "/"; so does the longest name, grown to the
// largest name text, without losing a character for it.
TEST(NameText, FoldersMarkedByTheirAttributeEndInASlash) {
    const MemberOrigin dosfolder = {20, kHostFat, kDosDirectory, true};
    EXPECT_TRUE(isattributefolder(dosfolder));
    EXPECT_EQ(membertext("DOCS", dosfolder), "DOCS/");
    EXPECT_EQ(membertext("DOCS/", dosfolder), "DOCS/");
    EXPECT_EQ(membertext("DOCS\\", dosfolder), "DOCS\\");
    EXPECT_EQ(membertext("", dosfolder), "");
    MemberOrigin withdata = dosfolder, unixhost = dosfolder, file = dosfolder;
    withdata.nodata = false;
    unixhost.host = kHostUnix;
    file.external = kDosArchive;
    for (const MemberOrigin& notfolder : {withdata, unixhost, file}) {
        EXPECT_FALSE(isattributefolder(notfolder));
        EXPECT_EQ(membertext("DOCS", notfolder), "DOCS");
    }
    std::string boxes(kNameBuffer - 1, '\xB0');
    std::string marked = membertext(boxes, dosfolder);
    EXPECT_LT(marked.size(), static_cast<size_t>(kNameText));
    EXPECT_EQ(marked, fromoem(boxes) + "/");
}

// Whether a name is read as UTF-8, as the conversion reports it: under bit 11, or from a
// Unicode path field of version 1 whose CRC-32 is the stored name's; never from a field of
// another version or name, nor for a cut name.
TEST(NameText, Utf8DecisionFollowsTheUnicodePathFieldsChecks) {
    ASSERT_TRUE(buildcrctable());
    const MemberOrigin unixhost = {30, kHostUnix, 0100644u << 16, false};
    const std::string stored = "plain.txt";
    auto readasutf8 = [&](const std::string& extra, unsigned flags, bool cut) {
        StoredName name = {stored.data(),
                           static_cast<unsigned>(stored.size()),
                           cut,
                           flags,
                           reinterpret_cast<const unsigned char*>(extra.data()),
                           static_cast<unsigned>(extra.size())};
        char out[kNameText];
        bool first = true, second = false; // set either way, whatever they held
        membernametext(name, unixhost, kCentralName, out, &first);
        membernametext(name, unixhost, kCentralName, out, &second);
        EXPECT_EQ(first, second);
        return first;
    };
    EXPECT_TRUE(readasutf8(rawzip::unicodepathfield("x.txt", stored), 0, false));
    EXPECT_FALSE(readasutf8(rawzip::unicodepathfield("x.txt", "another name"), 0, false));
    EXPECT_FALSE(readasutf8(rawzip::unicodepathfield("x.txt", stored, 2), 0, false));
    EXPECT_FALSE(readasutf8(rawzip::unicodepathfield("x.txt", stored), 0, true));
    EXPECT_TRUE(readasutf8("", kFlagUtf8, false));
    EXPECT_FALSE(readasutf8("", 0, false));

    // The field's name as unicodepathname gives it, for whole stored names only.
    auto fieldname = [](const std::string& name, const std::string& extra) {
        const char* utf8 = nullptr;
        unsigned length = 0;
        bool found = unicodepathname(name.data(), static_cast<unsigned>(name.size()),
                                     reinterpret_cast<const unsigned char*>(extra.data()),
                                     static_cast<unsigned>(extra.size()), &utf8, &length);
        return found ? std::string(utf8, length) : std::string("(none)");
    };
    std::string timestamp("\x55\x54\x05\x00\x01\x00\x00\x00\x00", 9); // a field in front
    EXPECT_EQ(fieldname(stored, timestamp + rawzip::unicodepathfield("\xCE\xB1.txt", stored)),
              "\xCE\xB1.txt");
    EXPECT_EQ(fieldname(stored, rawzip::unicodepathfield("a", "b")), "(none)");
    std::string longest(kNameBuffer - 1, 'n'), longer(kNameBuffer, 'n');
    EXPECT_EQ(fieldname(longest, rawzip::unicodepathfield("short.txt", longest)), "short.txt");
    EXPECT_EQ(fieldname(longer, rawzip::unicodepathfield("short.txt", longer)), "(none)");
    EXPECT_EQ(fieldname(stored, rawzip::unicodepathfield(std::string(kNameBuffer, 'u'), stored)),
              "(none)");
    releasecrctable();
}

#ifndef _WIN32

// Natively the names come out as 7-Zip writes them.
TEST(Utf8Archives, NamesEqualSevenZipsOutput) {
    for (const char* name : {"python_utf8.zip", "sevenzip_utf8.zip", "bsdtar_utf8.zip"}) {
        SCOPED_TRACE(name);
        TempDir ours, theirs;
        RunRecord run = runengine(fixture(name), ours.str());
        EXPECT_EQ(run.result, kResultOk);
        ASSERT_TRUE(sevenzipextract(fixture(name), theirs.path()));
        std::map<std::string, std::string> tree = readtree(ours.path());
        EXPECT_EQ(tree, readtree(theirs.path()));
        EXPECT_EQ(tree.count("caf\xC3\xA9.txt"), 1u);
        EXPECT_EQ(tree.count("\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E/\xE6\x96\x87\xE6\x9B\xB8.txt"),
                  1u);
    }
}

// Unmarked names of a Unix host are taken as they stand: the UTF-8 that Linux writers store
// without bit 11 comes out as 7-Zip writes it, and a name that is not UTF-8 is read as code
// page 1252 rather than dropped.
TEST(Utf8Archives, UnmarkedUnixNamesAreTakenAsTheyStand) {
    TempDir ours, theirs;
    RunRecord run = runengine(fixture("unix_unmarked.zip"), ours.str());
    EXPECT_EQ(run.result, kResultOk);
    ASSERT_TRUE(sevenzipextract(fixture("unix_unmarked.zip"), theirs.path()));
    std::map<std::string, std::string> tree = readtree(ours.path());
    EXPECT_EQ(tree.count("caf\xC3\xA9.txt"), 1u);
    EXPECT_EQ(tree.count("\xCE\xB1\xCE\xB2\xCE\xB3.txt"), 1u);
    EXPECT_EQ(tree.count("old-latin\xC3\xA9.txt"), 1u);
    std::map<std::string, std::string> sevenzip = readtree(theirs.path());
    for (const auto& entry : sevenzip) {
        if (entry.first.find("old-latin") != std::string::npos) continue;
        EXPECT_EQ(tree.count(entry.first), 1u) << entry.first;
    }
}

// A 0x7075 field replaces the stored name only in version 1 with the stored name's CRC; its
// name passes the same safety rules as any other.
TEST(Utf8Archives, UnicodePathFieldReplacesTheStoredNameWhenItsCrcMatches) {
    ContainedRun run = runcontained(fixture("infozip_unicode.zip"));
    EXPECT_EQ(run.record.result, kResultOk);
    EXPECT_TRUE(run.outside.empty()) << run.outside.front();
    EXPECT_EQ(run.tree,
              (std::map<std::string, std::string>{{"caf\xC3\xA9.txt", "caf\xE9.txt"},
                                                  {"\xCE\xB1\xCE\xB2\xCE\xB3.txt", "???.txt"},
                                                  {"plain.txt", "plain.txt"},
                                                  {"ver2.txt", "ver2.txt"},
                                                  {"escaped.txt", "dots.txt"}}));
}

// Invalid UTF-8 in flagged names: nothing crashes, nothing lands outside the destination,
// and every refused byte is one "_".
TEST(Utf8Archives, InvalidAndOverlongNamesStayInsideWithUnderscores) {
    ContainedRun run = runcontained(fixture("utf8bad.zip"));
    EXPECT_EQ(run.record.result, kResultOk);
    EXPECT_TRUE(run.outside.empty()) << run.outside.front();
    std::set<std::string> names;
    for (const auto& entry : run.tree) names.insert(entry.first);
    EXPECT_EQ(names, (std::set<std::string>{"bad_.txt", "cut__", "a__b.txt", "____", "____/____",
                                            "____/____/evil1.txt", "_________evil2.txt", "s___.txt",
                                            "\xEF\xBC\x8E\xEF\xBC\x8E\xEF\xBC\x8F"
                                            "evil3.txt",
                                            "____x.txt"}));
}

// The local header decides the name that is written, the central one the name that is
// listed: when their encodings disagree the names differ and the member is refused.
TEST(Utf8Archives, LocalAndCentralFlagsMustAgree) {
    ContainedRun run = runcontained(fixture("utf8localflag.zip"));
    EXPECT_EQ(run.record.result, kResultArchiveError);
    EXPECT_TRUE(run.record.hasfailure(kReasonNameMismatch, "caf_.txt"));
    EXPECT_EQ(run.tree.count("caf_.txt") + run.tree.count("caf\xC3\xA9.txt"), 0u);
    EXPECT_EQ(run.tree.count("\xCE\xB1\xCE\xB2\xCE\xB3.txt"), 1u);
    EXPECT_TRUE(run.outside.empty());
}

// The longest stored name of a DOS host, made of characters that grow to three bytes each.
TEST(Utf8Archives, LongestOemNameGrowsWithoutBeingCut) {
    TempDir dir;
    RunRecord run = runengine(fixture("oem259.zip"), dir.str());
    std::string box = "\xE2\x96\x91";
    std::string folder;
    for (int i = 0; i < 60; ++i) folder += box;
    EXPECT_EQ(readfile(dir.path() / folder / folder / std::string(137, 'x')), "oem edge");
    EXPECT_EQ(run.result, kResultOk);
}

#endif

} // namespace
