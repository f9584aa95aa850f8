// Tests of the writer's settings: UTC DOS times, the latest-time clamp, traditional
// encryption with its header sources, the clamp of existing archives, and the stub check.
#include "tools/builderror.h"
#include "tools/littleendian.h"
#include "tools/stubcheck.h"
#include "tools/zipcrypto.h"
#include "tools/zipformat.h"
#include "tools/zipreader.h"
#include "tools/ziptimes.h"
#include "tools/zipwriter.h"
#include "tools_testutil.h"

#include <gtest/gtest.h>

namespace {

ZipMember file(const std::string& name, const std::string& data, std::int64_t mtime) {
    ZipMember m;
    m.name = name;
    m.data = data;
    m.mtime = mtime;
    return m;
}

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

TEST(ZipWriterSettings, UtcDosTimesDoNotDependOnTheZone) {
    EXPECT_EQ(dosdatetime(1600000000, true),
              (40u << 25) | (9u << 21) | (13u << 16) | (12u << 11) | (26u << 5) | 20u);
    ZipWriterSettings settings;
    settings.utcdostimes = true;
    ZipArchive a = readziparchive(writezip({file("a", "x", 1600000000)}, 0, "", settings));
    EXPECT_EQ(a.entries[0].dostime, dosdatetime(1600000000, true));
}

TEST(ZipWriterSettings, TheLatestTimeClampsModificationAndAccessTimes) {
    ZipWriterSettings settings;
    settings.latesttime = 1500000000;
    ZipMember late = file("late", "x", 1600000000);
    late.atime = 1700000000;
    ZipMember early = file("early", "y", 1400000000);
    std::string zip = writezip({late, early}, 0, "", settings);
    ZipArchive a = readziparchive(zip);
    EXPECT_EQ(a.entries[0].dostime, dosdatetime(1500000000));
    EXPECT_EQ(get32(a.entries[0].extra, 5), 1500000000u);
    std::size_t localextra = a.entries[0].offset + kLocalHeaderSize + 4;
    EXPECT_EQ(get32(zip, localextra + 5), 1500000000u); // modification time
    EXPECT_EQ(get32(zip, localextra + 9), 1500000000u); // access time
    EXPECT_EQ(a.entries[1].dostime, dosdatetime(1400000000));
    EXPECT_EQ(get32(a.entries[1].extra, 5), 1400000000u);
}

TEST(ZipCrypto, EncryptedMembersDecryptWithThePasswordOnly) {
    ZipWriterSettings settings;
    settings.password = "secret";
    settings.headersource = countingsource();
    ZipMember folder = file("dir/", "", 1600000000);
    folder.dosattributes = kDosDirectory;
    std::string zip =
        writezip({folder, file("dir/a.txt", "attack at dawn", 1600000000)}, 0, "", settings);
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
    EXPECT_THROW(writezip({file("a", "x", 0)}, 0, "", settings), BuildError);
}

TEST(ZipTimes, ClampsDosTimesAndExtraFieldsOfAnExistingArchive) {
    ZipMember late = file("late", "x", 1700000000);
    late.atime = 1800000000;
    std::string zip = writezip({late, file("early", "y", 1400000000)});
    ZipArchive before = readziparchive(zip);
    EXPECT_EQ(clamparchivetimes(zip, before, 1600000000), 0u);
    ZipArchive after = readziparchive(zip);
    EXPECT_EQ(after.entries[0].dostime, dosdatetime(1600000000, true));
    EXPECT_EQ(get32(after.entries[0].extra, 5), 1600000000u);
    std::size_t localextra = after.entries[0].offset + kLocalHeaderSize + 4;
    EXPECT_EQ(get32(zip, after.entries[0].offset + 10), dosdatetime(1600000000, true));
    EXPECT_EQ(get32(zip, localextra + 5), 1600000000u);
    EXPECT_EQ(get32(zip, localextra + 9), 1600000000u);
    EXPECT_EQ(after.entries[1].dostime, before.entries[1].dostime);
    EXPECT_EQ(get32(after.entries[1].extra, 5), 1400000000u);
}

TEST(ZipTimes, KeepsTheDosTimeThatAnEncryptedMemberChecksItsPasswordWith) {
    std::string zip = writezip({file("a", "x", 1700000000)});
    set32(zip, 6, kFlagEncrypted | kFlagDataDescriptor); // local flags (and method 0)
    ZipArchive archive = readziparchive(zip);
    std::size_t central = archive.entries[0].centralat;
    zip[central + 8] = static_cast<char>(kFlagEncrypted | kFlagDataDescriptor);
    archive = readziparchive(zip);
    std::uint32_t dostime = archive.entries[0].dostime;
    EXPECT_EQ(clamparchivetimes(zip, archive, 1600000000), 1u);
    EXPECT_EQ(readziparchive(zip).entries[0].dostime, dostime);
    EXPECT_EQ(get32(readziparchive(zip).entries[0].extra, 5), 1600000000u);
}

TEST(StubCheck, AcceptsAPe32GuiImageAndNamesWhatIsWrongOtherwise) {
    EXPECT_NO_THROW(checkstubimage(toolstest::fakestub(12000), "s.exe"));
    toolstest::StubHeaders console;
    console.subsystem = 3;
    try {
        checkstubimage(toolstest::fakestub(12000, console), "c.exe");
        ADD_FAILURE() << "a console program was taken as a stub";
    } catch (const BuildError& e) {
        EXPECT_STREQ(e.what(), "the stub c.exe is not a PE32 GUI program for i386: its subsystem "
                               "is 3 (console), not 2 (Windows GUI)");
    }
    EXPECT_THROW(checkstubimage("MZ", "tiny.exe"), BuildError);
    std::string cut = toolstest::fakestub(12000).substr(0, 0x90); // COFF header cut short
    EXPECT_THROW(checkstubimage(cut, "cut.exe"), BuildError);
    std::string nooptional = toolstest::fakestub(12000).substr(0, 0xA0);
    EXPECT_THROW(checkstubimage(nooptional, "opt.exe"), BuildError);
}

} // namespace
