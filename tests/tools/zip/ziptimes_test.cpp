// Tests of the time clamp of existing archives (SOURCE_DATE_EPOCH): DOS times and the time
// extra fields, and the DOS time an encrypted member checks its password with.
#include "tests/support/zipmembers.h"
#include "tools/base/littleendian.h"
#include "tools/zip/ziplimits.h"
#include "tools/zip/zipreader.h"
#include "tools/zip/ziptimes.h"
#include "tools/zip/zipwriter.h"

#include <gtest/gtest.h>

namespace {

TEST(ZipTimes, ClampsDosTimesAndExtraFieldsOfAnExistingArchive) {
    ZipMember late = toolstest::filemember("late", "x", 1700000000);
    late.atime = 1800000000;
    std::string zip = writezip({late, toolstest::filemember("early", "y", 1400000000)});
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
    std::string zip = writezip({toolstest::filemember("a", "x", 1700000000)});
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

} // namespace
