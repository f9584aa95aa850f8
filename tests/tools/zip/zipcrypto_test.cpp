// Tests of traditional PKWARE encryption as the writer applies it: members that decrypt with
// their password only, the key stream, derived header sources and a password without one.
#include "engine/crc32.h"
#include "tests/support/zipmembers.h"
#include "tools/base/builderror.h"
#include "tools/base/littleendian.h"
#include "tools/zip/zipcrypto.h"
#include "tools/zip/ziplimits.h"
#include "tools/zip/zipreader.h"
#include "tools/zip/zipwriter.h"

#include <gtest/gtest.h>

namespace {

// A counting source: byte i of member k is k * 16 + i, so every header differs.
ZipHeaderSource countingsource() {
    auto members = std::make_shared<unsigned>(0);
    return [members](unsigned char* bytes, std::size_t n, const std::string&, const std::string&) {
        for (std::size_t i = 0; i < n; ++i)
            bytes[i] = static_cast<unsigned char>(*members * 16 + i);
        ++*members;
    };
}

std::string datapart(const std::string& zip, const ZipEntry& e) {
    std::size_t at =
        e.offset + kLocalHeaderSize + get16(zip, e.offset + 26) + get16(zip, e.offset + 28);
    return zip.substr(at, e.packed);
}

TEST(ZipCrypto, EncryptedMembersDecryptWithThePasswordOnly) {
    ZipWriterSettings settings;
    settings.password = "secret";
    settings.headersource = countingsource();
    ZipMember folder = toolstest::filemember("dir/", "", 1600000000);
    folder.dosattributes = kDosDirectory;
    std::string zip =
        writezip({folder, toolstest::filemember("dir/a.txt", "attack at dawn", 1600000000)}, 0, "",
                 settings);
    ZipArchive a = readziparchive(zip);
    EXPECT_EQ(a.entries[0].flags, 0u); // a folder has nothing to encrypt
    const ZipEntry& e = a.entries[1];
    EXPECT_EQ(e.flags & kFlagEncrypted, unsigned(kFlagEncrypted));
    EXPECT_EQ(e.needed, 20u);
    EXPECT_EQ(e.packed, 14u + kCryptHeaderSize);
    EXPECT_EQ(get16(zip, e.offset + 6), unsigned(kFlagEncrypted)); // the local flags agree
    std::string encrypted = datapart(zip, e), plain;
    EXPECT_EQ(encrypted.find("attack"), std::string::npos);
    ASSERT_TRUE(decryptmember(encrypted, "secret", e.crc, plain));
    EXPECT_EQ(plain, "attack at dawn");
    EXPECT_NO_THROW(checkforstub(zip, a));
}

TEST(ZipCrypto, TheFirstKeystreamByteComesFromTheInitialThirdKey) {
    // No password: the third key is still 0x34567890, so t = 0x7892 and the first keystream
    // byte is (t * (t ^ 1)) >> 8 & 0xFF = 0xAB; the first header byte 0x00 encrypts to it.
    const unsigned char zero[kCryptHeaderRandom] = {};
    std::string once = encryptmember("", "", zero, 0);
    ASSERT_EQ(once.size(), 12u);
    EXPECT_EQ(static_cast<unsigned char>(once[0]), 0xABu);
    EXPECT_EQ(once, encryptmember("", "", zero, 0));
    std::string plain = "left over";
    EXPECT_TRUE(decryptmember(once, "", 0, plain));
    EXPECT_TRUE(plain.empty());
    EXPECT_FALSE(decryptmember(once, "", 0x01000000, plain)); // the check byte differs
}

TEST(ZipCrypto, DerivedHeadersRepeatForTheSameInputsAndDifferOtherwise) {
    ZipHeaderSource derived = derivedheadersource("pw");
    unsigned char a[11], b[11], c[11], d[11];
    derived(a, 11, "name", "data");
    derived(b, 11, "name", "data");
    derived(c, 11, "name", "datA");
    derivedheadersource("pW")(d, 11, "name", "data");
    EXPECT_EQ(std::string(a, a + 11), std::string(b, b + 11));
    EXPECT_NE(std::string(a, a + 11), std::string(c, c + 11));
    EXPECT_NE(std::string(a, a + 11), std::string(d, d + 11));
}

TEST(ZipCrypto, APasswordWithoutAHeaderSourceIsRefused) {
    ZipWriterSettings settings;
    settings.password = "x";
    EXPECT_THROW(writezip({toolstest::filemember("a", "x", 0)}, 0, "", settings), BuildError);
}

// The cipher steps through the engine's CRC tables, which an engine run frees when it ends;
// encrypting and decrypting afterwards builds them again.
TEST(ZipCrypto, MembersAreEncryptedAfterAnEngineRunFreedTheCrcTables) {
    const unsigned char zero[kCryptHeaderRandom] = {};
    std::string before = encryptmember("some data", "pw", zero, 0x12000000u);
    releasecrctable();
    std::string after = encryptmember("some data", "pw", zero, 0x12000000u);
    EXPECT_EQ(after, before);
    releasecrctable();
    std::string plain;
    EXPECT_TRUE(decryptmember(after, "pw", 0x12000000u, plain));
    EXPECT_EQ(plain, "some data");
}

} // namespace
