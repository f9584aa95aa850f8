// Tests of the archive writer: record fields, time stamps, attributes, the compressor hook and
// the limits of the stub, read back with the builder's own reader.
#include "tests/support/zipmembers.h"
#include "tools/base/builderror.h"
#include "tools/base/littleendian.h"
#include "tools/zip/ziplimits.h"
#include "tools/zip/zipreader.h"
#include "tools/zip/zipwriter.h"

#include <gtest/gtest.h>

#include <ctime>

namespace {

std::int64_t localtime(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&t));
}

std::uint32_t dos(unsigned year, unsigned month, unsigned day, unsigned hour, unsigned minute,
                  unsigned second) {
    return (year - 1980) << 25 | month << 21 | day << 16 | hour << 11 | minute << 5 | second / 2;
}

ZipMember file(const std::string& name, const std::string& data) {
    return toolstest::filemember(name, data, localtime(2021, 3, 4, 5, 6, 8));
}

TEST(ZipWriter, DosTimeIsLocalTimeWithTwoSecondSteps) {
    EXPECT_EQ(dosdatetime(localtime(2020, 6, 15, 13, 45, 30)), dos(2020, 6, 15, 13, 45, 30));
    EXPECT_EQ(dosdatetime(localtime(2020, 6, 15, 13, 45, 31)), dos(2020, 6, 15, 13, 45, 30));
    EXPECT_EQ(dosdatetime(localtime(1980, 1, 1, 0, 0, 0)), dos(1980, 1, 1, 0, 0, 0));
    EXPECT_EQ(dosdatetime(localtime(1975, 5, 5, 12, 0, 0)), dos(1980, 1, 1, 0, 0, 0));
}

TEST(ZipWriter, CrcIsTheZipCrc32) {
    EXPECT_EQ(membercrc(""), 0u);
    EXPECT_EQ(membercrc("123456789"), 0xCBF43926u);
}

TEST(ZipWriter, RecordsCarryTheFieldsTheStubReads) {
    ZipMember dir;
    dir.name = "docs/";
    dir.dosattributes = kDosDirectory;
    dir.mtime = localtime(2022, 1, 2, 3, 4, 6);
    ZipMember readonly = file("docs/readme.txt", "hello");
    readonly.dosattributes = kDosArchive | kDosReadOnly;
    std::string zip = writezip({dir, readonly}, 0, "the comment");

    ZipArchive archive = readziparchive(zip);
    ASSERT_EQ(archive.entries.size(), 2u);
    EXPECT_EQ(archive.prefix, 0);
    EXPECT_EQ(archive.start, 0u);
    EXPECT_EQ(archive.comment, "the comment");
    const ZipEntry& d = archive.entries[0];
    const ZipEntry& f = archive.entries[1];
    EXPECT_EQ(d.name, "docs/");
    EXPECT_EQ(d.external, unsigned(kDosDirectory));
    EXPECT_EQ(d.dostime, dos(2022, 1, 2, 3, 4, 6));
    EXPECT_EQ(f.name, "docs/readme.txt");
    EXPECT_EQ(f.madeby, 20u); // 2.0, host 0 (MS-DOS): names in the OEM code page, DOS attributes
    EXPECT_EQ(f.needed, 10u);
    EXPECT_EQ(f.method, unsigned(kMethodStored));
    EXPECT_EQ(f.size, 5u);
    EXPECT_EQ(f.packed, 5u);
    EXPECT_EQ(f.crc, membercrc("hello"));
    EXPECT_EQ(f.external, unsigned(kDosArchive | kDosReadOnly));
    EXPECT_EQ(f.flags, 0u);
    EXPECT_EQ(zip.substr(f.offset + 30 + f.name.size() + 9, 5), "hello");
    EXPECT_NO_THROW(checkforstub(zip, archive));
}

TEST(ZipWriter, ExtendedTimeStampHoldsBothTimesLocallyAndOneCentrally) {
    ZipMember m = file("a.txt", "x");
    m.mtime = 1600000000;
    m.atime = 1700000000;
    std::string zip = writezip({m});
    ZipArchive archive = readziparchive(zip);
    const ZipEntry& e = archive.entries[0];
    ASSERT_EQ(e.extra.size(), 9u);
    EXPECT_EQ(get16(e.extra, 0), 0x5455u);
    EXPECT_EQ(get16(e.extra, 2), 5u);
    EXPECT_EQ(e.extra[4], 3); // the local flags; only the modification time follows
    EXPECT_EQ(get32(e.extra, 5), 1600000000u);

    std::size_t local = e.offset;
    ASSERT_EQ(get16(zip, local + 28), 13u);
    std::string extra = zip.substr(local + 30 + 5, 13);
    EXPECT_EQ(get16(extra, 0), 0x5455u);
    EXPECT_EQ(get16(extra, 2), 9u);
    EXPECT_EQ(extra[4], 3); // modification and access time
    EXPECT_EQ(get32(extra, 5), 1600000000u);
    EXPECT_EQ(get32(extra, 9), 1700000000u);
}

TEST(ZipWriter, TimesOutsideThirtyTwoBitsLeaveOnlyTheDosTime) {
    ZipMember m = file("old.txt", "x");
    m.mtime = -86400;
    ZipArchive archive = readziparchive(writezip({m}));
    EXPECT_TRUE(archive.entries[0].extra.empty());
    EXPECT_EQ(archive.entries[0].dostime, dos(1980, 1, 1, 0, 0, 0));
}

TEST(ZipWriter, CompressorHookIsUsedOnlyWhenItPays) {
    auto shrinking = [](const std::string&, std::string& out) {
        out = "zz";
        return true;
    };
    auto growing = [](const std::string& in, std::string& out) {
        out = in + in;
        return true;
    };
    auto declining = [](const std::string&, std::string&) { return false; };
    ZipArchive small = readziparchive(writezip({file("a", "abcdef")}, 0, "", shrinking));
    EXPECT_EQ(small.entries[0].method, unsigned(kMethodDeflate));
    EXPECT_EQ(small.entries[0].needed, 20u);
    EXPECT_EQ(small.entries[0].packed, 2u);
    EXPECT_EQ(small.entries[0].size, 6u);
    EXPECT_EQ(small.entries[0].crc, membercrc("abcdef"));
    for (ZipCompressor hook : {ZipCompressor(growing), ZipCompressor(declining)}) {
        ZipArchive stored = readziparchive(writezip({file("a", "abcdef")}, 0, "", hook));
        EXPECT_EQ(stored.entries[0].method, unsigned(kMethodStored));
        EXPECT_EQ(stored.entries[0].packed, 6u);
    }
}

TEST(ZipWriter, OffsetsCountFromTheGivenBase) {
    std::string zip = writezip({file("a", "1"), file("b", "22")}, 40000);
    EXPECT_THROW(readziparchive(zip), BuildError); // offsets past the file: not usable alone
    ZipArchive placed = readziparchive(std::string(40000, '\0') + zip);
    EXPECT_EQ(placed.prefix, 0);
    EXPECT_EQ(placed.start, 40000u);
}

TEST(ZipWriter, RefusesWhatTheStubCannotRead) {
    EXPECT_NO_THROW(writezip({file(std::string(259, 'n'), "x")}));
    EXPECT_THROW(writezip({file(std::string(260, 'n'), "x")}), BuildError);
    EXPECT_THROW(writezip({file("", "x")}), BuildError);
    EXPECT_THROW(writezip({file("a", "x")}, 0x7FFFFFF0), BuildError);
    EXPECT_THROW(writezip({file("a", "x")}, 0, std::string(65536, 'c')), BuildError);
    EXPECT_THROW(writezip({file("a", "x")}, 0, std::string("xxPK\x05\x06yy", 8)), BuildError);
}

TEST(ZipWriter, EmptyArchiveIsJustTheEndRecord) {
    std::string zip = writezip({});
    EXPECT_EQ(zip.size(), 22u);
    ZipArchive archive = readziparchive(zip);
    EXPECT_TRUE(archive.entries.empty());
    EXPECT_EQ(archive.centralsize, 0u);
}

TEST(ZipWriterSettings, UtcDosTimesDoNotDependOnTheZone) {
    EXPECT_EQ(dosdatetime(1600000000, true),
              (40u << 25) | (9u << 21) | (13u << 16) | (12u << 11) | (26u << 5) | 20u);
    ZipWriterSettings settings;
    settings.utcdostimes = true;
    ZipArchive a =
        readziparchive(writezip({toolstest::filemember("a", "x", 1600000000)}, 0, "", settings));
    EXPECT_EQ(a.entries[0].dostime, dosdatetime(1600000000, true));
}

TEST(ZipWriterSettings, TheLatestTimeClampsModificationAndAccessTimes) {
    ZipWriterSettings settings;
    settings.latesttime = 1500000000;
    ZipMember late = toolstest::filemember("late", "x", 1600000000);
    late.atime = 1700000000;
    ZipMember early = toolstest::filemember("early", "y", 1400000000);
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

} // namespace
