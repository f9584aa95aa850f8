// Tests of reading existing archives: where the archive begins, what the stub cannot extract,
// damaged directories, and the rebasing of offsets into a package.
#include "common/zipformat.h"
#include "tools/base/builderror.h"
#include "tools/base/littleendian.h"
#include "tools/zip/zipreader.h"
#include "tools/zip/zipwriter.h"

#include <gtest/gtest.h>

namespace {

ZipMember file(const std::string& name, const std::string& data) {
    ZipMember m;
    m.name = name;
    m.data = data;
    m.mtime = 1600000000;
    return m;
}

std::string sample() {
    return writezip({file("one.txt", "first"), file("two.txt", "second")});
}

// The refusal message of checkforstub, or "" when the archive is accepted.
std::string refusal(const std::string& zip) {
    try {
        checkforstub(zip, readziparchive(zip));
        return "";
    } catch (const BuildError& e) {
        return e.what();
    }
}

std::size_t endat(const std::string& zip) {
    return zip.rfind("PK\x05\x06");
}

// Checks that every stored offset of an archive at position in data points at its record.
void expectoffsetsvalid(const std::string& data) {
    ZipArchive archive = readziparchive(data);
    EXPECT_EQ(archive.prefix, 0);
    EXPECT_EQ(get32(data, archive.centraloffset), 0x02014B50u);
    for (const ZipEntry& e : archive.entries) EXPECT_EQ(get32(data, e.offset), 0x04034B50u);
}

TEST(ZipReader, FindsAnArchiveBehindOtherData) {
    std::string data = std::string(5000, 'J') + sample();
    ZipArchive archive = readziparchive(data);
    EXPECT_EQ(archive.prefix, 5000);
    EXPECT_EQ(archive.start, 5000u);
    ASSERT_EQ(archive.entries.size(), 2u);
    EXPECT_EQ(archive.entries[1].name, "two.txt");
    EXPECT_EQ(refusal(data), "");
}

TEST(ZipReader, RebasesAnArchiveFromItsOwnStart) {
    std::string zip = sample();
    std::string rebased = rebasearchive(zip, readziparchive(zip), 31000);
    EXPECT_EQ(rebased.size(), zip.size());
    expectoffsetsvalid(std::string(31000, 'S') + rebased);
}

TEST(ZipReader, RebasingDropsDataInFrontAndBehind) {
    std::string data = std::string(777, 'J') + sample() + "trailing bytes";
    std::string rebased = rebasearchive(data, readziparchive(data), 40000);
    EXPECT_EQ(rebased.substr(0, 4), "PK\x03\x04");
    EXPECT_EQ(rebased.size(), sample().size());
    expectoffsetsvalid(std::string(40000, 'S') + rebased);
}

TEST(ZipReader, RebasesAnArchiveWhoseOffsetsAlreadyCountFromItsFileStart) {
    std::string data = std::string(1234, 'J') + writezip({file("a.txt", "aaa")}, 1234);
    ZipArchive archive = readziparchive(data);
    EXPECT_EQ(archive.prefix, 0);
    EXPECT_EQ(archive.start, 1234u);
    expectoffsetsvalid(std::string(50000, 'S') + rebasearchive(data, archive, 50000));
}

TEST(ZipReader, RebasesAnEmptyArchive) {
    std::string zip = writezip({});
    std::string rebased = rebasearchive(zip, readziparchive(zip), 30100);
    ZipArchive archive = readziparchive(std::string(30100, 'S') + rebased);
    EXPECT_EQ(archive.prefix, 0);
    EXPECT_EQ(archive.centraloffset, 30100u);
}

TEST(ZipReader, RefusesZip64) {
    std::string zip = sample();
    std::string withlocator =
        zip.substr(0, endat(zip)) + "PK\x06\x07" + std::string(16, '\0') + zip.substr(endat(zip));
    EXPECT_NE(refusal(withlocator).find("ZIP64"), std::string::npos);
    std::string allones = zip;
    set32(allones, endat(zip) + 16, 0xFFFFFFFF);
    EXPECT_NE(refusal(allones).find("ZIP64"), std::string::npos);
    std::string member = zip;
    set32(member, readziparchive(zip).entries[0].centralat + 24, 0xFFFFFFFF);
    EXPECT_NE(refusal(member).find("ZIP64"), std::string::npos);
}

TEST(ZipReader, RefusesArchivesOfSeveralDisks) {
    for (std::size_t field : {4u, 6u}) {
        std::string zip = sample();
        zip[endat(zip) + field] = 1;
        EXPECT_NE(refusal(zip).find("multi-disk"), std::string::npos) << field;
    }
    std::string zip = sample();
    zip[readziparchive(zip).entries[1].centralat + 34] = 2;
    EXPECT_NE(refusal(zip).find("multi-disk"), std::string::npos);
}

TEST(ZipReader, RefusesUnknownMethodsAndNewerVersions) {
    std::string zip = sample();
    std::size_t central = readziparchive(zip).entries[0].centralat;
    const struct {
        unsigned method;
        const char* reason;
    } refused[] = {
        {1, "uses Shrink compression (method 1), which the stub does not extract"},
        {12, "uses bzip2 compression (method 12), which the stub does not extract"},
        {93, "uses Zstandard compression (method 93), which the stub does not extract"},
        {200, "uses compression method 200, which the stub does not extract"},
        {99, "is encrypted with AES, which the stub does not decrypt"},
    };
    for (const auto& r : refused) {
        std::string patched = zip;
        patched[central + 10] = static_cast<char>(r.method);
        EXPECT_NE(refusal(patched).find(r.reason), std::string::npos) << refusal(patched);
    }
    for (unsigned method : {0u, 8u, 9u, 14u}) {
        std::string patched = zip;
        patched[central + 10] = static_cast<char>(method);
        EXPECT_EQ(refusal(patched), "") << method;
    }
    std::string newer = zip;
    newer[central + 6] = 45;
    EXPECT_NE(refusal(newer).find("needs version 4.5 to extract; the stub extracts up to 2.1"),
              std::string::npos);
    std::string strong = zip;
    strong[central + 8] = kFlagEncrypted | kFlagStrongEncryption;
    EXPECT_NE(refusal(strong).find("is encrypted with PKWARE strong encryption, which the stub "
                                   "does not decrypt"),
              std::string::npos);
    std::string encrypted = zip;
    encrypted[central + 8] = 1; // traditional encryption is fine
    EXPECT_EQ(refusal(encrypted), "");
}

TEST(ZipReader, RefusesACommentThatHidesTheEndRecord) {
    std::string zip = writezip({file("a", "b")}, 0, "abcdefghij");
    std::size_t comment = zip.size() - 10;
    zip.replace(comment + 2, 4, "PK\x05\x06");
    EXPECT_NE(refusal(zip).find("comment"), std::string::npos);
}

TEST(ZipReader, RefusesDamagedArchives) {
    std::string zip = sample();
    EXPECT_THROW(readziparchive("not a zip at all, not a zip at all"), BuildError);
    EXPECT_THROW(readziparchive(""), BuildError);
    EXPECT_THROW(readziparchive(zip.substr(0, zip.size() - 3)), BuildError);
    EXPECT_THROW(readziparchive(zip.substr(40)), BuildError); // central directory cut off
    std::string moved = zip;
    set32(moved, endat(zip) + 16, 3); // taken as a prefix, so no member is where it should be
    EXPECT_NE(refusal(moved).find("no local header"), std::string::npos);

    ZipArchive archive = readziparchive(zip);
    std::string nolocal = zip;
    nolocal[archive.entries[1].offset] = 'X';
    EXPECT_NE(refusal(nolocal).find("no local header"), std::string::npos);
    std::string toolong = zip;
    set32(toolong, archive.entries[0].centralat + 20, 100000);
    EXPECT_NE(refusal(toolong).find("runs into the central directory"), std::string::npos);
    std::string outside = zip;
    set32(outside, archive.entries[0].centralat + 42, 0x7FFFFFF0);
    EXPECT_NE(refusal(outside).find("no local header"), std::string::npos);
}

TEST(ZipReader, RebasingRefusesPackagesPastTwoGigabytes) {
    std::string zip = sample();
    EXPECT_THROW(rebasearchive(zip, readziparchive(zip), 0x7FFFFFF0), BuildError);
}

} // namespace
