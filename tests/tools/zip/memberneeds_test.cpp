// The words for what a member needs (tools/zip/memberneeds.cpp): method names, the reason for
// each kind of need, the order in which they are named, and the AES key strength.
#include "tools/zip/memberneeds.h"

#include "common/zipformat.h"
#include "tests/support/rawzip.h"

#include <gtest/gtest.h>

namespace {

const char kProgram[] = "orvsfx";
const char kZip64Need[] = "needs ZIP64 (sizes or offsets past 4 GiB), which orvsfx does not read";

// A member that the engine extracts: stored, version 2.0, made on MS-DOS.
ZipEntry soundentry() {
    ZipEntry e;
    e.name = "a.txt";
    e.needed = 20;
    return e;
}

std::string aesextra(unsigned strength) {
    return rawzip::aesfield(strength, kMethodDeflate);
}

// An AES field cut before its key strength.
std::string shortaesextra() {
    const unsigned kShort = kAesStrength;
    std::string field = aesextra(3);
    field[2] = static_cast<char>(kShort);
    field.resize(kExtraFieldHeader + kShort);
    return field;
}

TEST(MemberNeeds, MethodsHaveTheirListingNames) {
    EXPECT_STREQ(methodname(kMethodStored), "stored");
    EXPECT_STREQ(methodname(kMethodDeflate), "deflate");
    EXPECT_STREQ(methodname(kMethodDeflate64), "deflate64");
    EXPECT_STREQ(methodname(12), "bzip2");
    EXPECT_STREQ(methodname(93), "zstd");
    EXPECT_STREQ(methodname(kMethodAes), "aes");
    EXPECT_STREQ(methodname(7), "unknown");
    EXPECT_STREQ(methodname(200), "unknown");
}

TEST(MemberNeeds, MethodsTheEngineLacksAreNamed) {
    for (unsigned method : {kMethodStored, kMethodDeflate, kMethodDeflate64})
        EXPECT_EQ(methodneed(method, kProgram), "") << method;
    EXPECT_EQ(methodneed(95, kProgram), "uses xz compression (method 95), which orvsfx does "
                                        "not extract");
    EXPECT_EQ(methodneed(98, "the stub"), "uses PPMd compression (method 98), which the stub "
                                          "does not extract");
    EXPECT_EQ(methodneed(11, kProgram), "uses compression method 11, which orvsfx does not "
                                        "extract");
    EXPECT_EQ(methodneed(kMethodAes, kProgram), "is encrypted with AES, which orvsfx does not "
                                                "decrypt");
}

// An encryption is named before the method it hides, a method before ZIP64, ZIP64 before the
// version that comes with it.
TEST(MemberNeeds, TheFirstNeedIsNamed) {
    EXPECT_EQ(unmetneed(soundentry(), kProgram), "");
    ZipEntry e = soundentry();
    e.needed = 63;
    e.method = kMethodAes;
    e.flags = kFlagEncrypted | kFlagStrongEncryption;
    e.extra = aesextra(1);
    e.size = kZip64Marker32;
    EXPECT_EQ(unmetneed(e, kProgram), "is encrypted with AES-128, which orvsfx does not decrypt");
    e.method = 12;
    EXPECT_EQ(unmetneed(e, kProgram),
              "is encrypted with PKWARE strong encryption, which orvsfx does not decrypt");
    e.flags = 0;
    EXPECT_EQ(unmetneed(e, kProgram), methodneed(12, kProgram));
    e.method = kMethodDeflate;
    EXPECT_EQ(unmetneed(e, kProgram), kZip64Need);
    e.size = 1;
    EXPECT_EQ(unmetneed(e, kProgram), "needs version 6.3 to extract; orvsfx extracts up to 2.1");
}

TEST(MemberNeeds, EveryZip64MarkNeedsZip64) {
    std::string field;
    put16(field, kExtraZip64);
    put16(field, 8);
    put32(field, 1);
    put32(field, 0);
    ZipEntry packed = soundentry(), size = packed, offset = packed, disk = packed, extra = packed;
    packed.packed = kZip64Marker32;
    size.size = kZip64Marker32;
    offset.offset = kZip64Marker32;
    disk.disk = kZip64Marker16;
    extra.extra = field;
    for (const ZipEntry& e : {packed, size, offset, disk, extra})
        EXPECT_EQ(unmetneed(e, kProgram), kZip64Need);
    // A writer may keep the field in the local header only.
    EXPECT_EQ(unmetneed(soundentry(), kProgram, field), kZip64Need);
    ZipEntry newer = soundentry();
    newer.needed = 45;
    EXPECT_EQ(unmetneed(newer, kProgram, field), kZip64Need);
}

// The version is checked against the engine's limit, which is higher for OpenVMS entries.
TEST(MemberNeeds, VersionsAboveTheEnginesLimit) {
    ZipEntry e = soundentry();
    e.needed = kExtractVersion;
    EXPECT_EQ(unmetneed(e, kProgram), "");
    e.needed = kExtractVersion + 1;
    EXPECT_EQ(unmetneed(e, kProgram), "needs version 2.2 to extract; orvsfx extracts up to 2.1");
    e.needed = kHostVms << 8 | kExtractVersionVms;
    EXPECT_EQ(unmetneed(e, kProgram), "");
    e.needed = kHostVms << 8 | (kExtractVersionVms + 1);
    EXPECT_EQ(unmetneed(e, kProgram), "needs version 4.3 to extract; orvsfx extracts up to 4.2");
}

TEST(MemberNeeds, AesKeyStrengthFromItsField) {
    ZipEntry e = soundentry();
    e.method = kMethodAes;
    const struct {
        std::string extra;
        const char* cipher;
    } cases[] = {{aesextra(1), "AES-128"},
                 {aesextra(2), "AES-192"},
                 {aesextra(3), "AES-256"},
                 {aesextra(0), "AES"},
                 {aesextra(4), "AES"},
                 {shortaesextra(), "AES"},
                 {"", "AES"}};
    for (const auto& c : cases) {
        e.extra = c.extra;
        EXPECT_EQ(unmetneed(e, kProgram),
                  std::string("is encrypted with ") + c.cipher + ", which orvsfx does not decrypt");
    }
}

} // namespace
