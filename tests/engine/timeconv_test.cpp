// Times and attributes of extracted files: DOS time stamps, extra-field time blocks with
// the 2038 sign rule, the FAT local-time correction and the read-only attribute.
#include "tests/support/enginetestkit.h"

#include "engine/timeconv.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <vector>

using namespace enginetest;

namespace {

const unsigned kJan2020 = 1577880000; // 2020-01-01 12:00:00 UTC
const unsigned kDosSummer = (40u << 25) | (7u << 21) | (1u << 16) | (12u << 11); // 2020-07-01 12:00

struct Times {
    long long modification = -1, access = -1;
    bool readonly = false;
};

Times filetimes(const fs::path& path) {
    Times t;
#ifdef _WIN32
    struct _stat64 st;
    if (_stat64(path.string().c_str(), &st) != 0) return t;
#else
    struct stat st;
    if (stat(path.string().c_str(), &st) != 0) return t;
#endif
    t.modification = st.st_mtime;
    t.access = st.st_atime;
    t.readonly = (st.st_mode & S_IWRITE) == 0;
    return t;
}

// The local calendar fields of an instant, as the C library sees them.
struct tm localfields(long long seconds) {
    time_t t = static_cast<time_t>(seconds);
    struct tm fields = *localtime(&t);
    return fields;
}

void expectlocal(long long seconds, int year, int month, int day, int hour) {
    struct tm f = localfields(seconds);
    EXPECT_EQ(f.tm_year + 1900, year);
    EXPECT_EQ(f.tm_mon + 1, month);
    EXPECT_EQ(f.tm_mday, day);
    EXPECT_EQ(f.tm_hour, hour);
    EXPECT_EQ(f.tm_min, 0);
}

TEST(TimeConversion, FileTimeRoundTripAndClamps) {
    unsigned seconds = 0;
    EXPECT_EQ(unixtofiletime(0), 116444736000000000ull);
    EXPECT_TRUE(filetimetounix(unixtofiletime(kJan2020) + 9999999, &seconds));
    EXPECT_EQ(seconds, kJan2020);
    EXPECT_FALSE(filetimetounix(116444736000000000ull - 1, &seconds));
    EXPECT_EQ(seconds, 0u);
    EXPECT_FALSE(filetimetounix(unixtofiletime(0xFFFFFFFFu) + 10000000, &seconds));
    EXPECT_EQ(seconds, 0xFFFFFFFFu);
    EXPECT_TRUE(filetimetounix(unixtofiletime(0xFFFFFFFFu) + 9999999, &seconds));
    EXPECT_EQ(seconds, 0xFFFFFFFFu);
}

// The seconds of a FILETIME are its ticks since 1970 divided by 10^7, whatever bytes the
// ticks and the remainders of the division hold.
TEST(TimeConversion, FileTimeSecondsAreWholeDivisions) {
    const unsigned long long kEpoch = unixtofiletime(0), kLimit = 10000000ull << 32;
    unsigned long long ticks = 0x0123456789ABCDEFull % kLimit;
    for (int i = 0; i < 1000; ++i) {
        unsigned seconds = 0;
        ASSERT_TRUE(filetimetounix(kEpoch + ticks, &seconds)) << ticks;
        ASSERT_EQ(seconds, ticks / 10000000ull) << ticks;
        ticks = (ticks * 6364136223846793005ull + 1442695040888963407ull) % kLimit;
    }
}

// dostimetounix agrees with the C library's local time of the result.
TEST(TimeConversion, DosTimeIsLocalTime) {
    expectlocal(dostimetounix(kDosSummer), 2020, 7, 1, 12);
    unsigned winter = (43u << 25) | (12u << 21) | (24u << 16) | (18u << 11); // 2023-12-24 18:00
    expectlocal(dostimetounix(winter), 2023, 12, 24, 18);
    unsigned leap = (44u << 25) | (3u << 21) | (1u << 16); // 2024-03-01 00:00
    expectlocal(dostimetounix(leap), 2024, 3, 1, 0);
}

TEST(TimeConversion, DatesFrom2038) {
    unsigned after = (58u << 25) | (6u << 21) | (1u << 16) | (12u << 11); // 2038-06-01
    EXPECT_GT(dostimetounix(after), 0x80000000u);
    unsigned wrapped = (127u << 25) | (12u << 21) | (31u << 16) | (23u << 11); // 2107-12-31
    EXPECT_EQ(dostimetounix(wrapped), 0xFFFFFFFFu);
}

#ifndef _WIN32
class BerlinTime : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("TZ", "Europe/Berlin", 1);
        tzset();
    }
    void TearDown() override {
        unsetenv("TZ");
        unsetenv("ORV_VOLUME");
        tzset();
    }
};

TEST_F(BerlinTime, DaylightSavingRules) {
    EXPECT_EQ(dostimetounix(kDosSummer), 1593597600u); // 10:00 UTC, CEST
    unsigned january = (40u << 25) | (1u << 21) | (1u << 16) | (12u << 11);
    EXPECT_EQ(dostimetounix(january), 1577876400u); // 11:00 UTC, CET
    EXPECT_EQ(localseconds(1593597600u), 1593604800u);
}

// A summer date on a FAT-like volume shows its own wall-clock time whatever today's offset:
// the stored instant is that wall-clock time converted with the offset in force now.
TEST_F(BerlinTime, FatVolumeKeepsWallClock) {
    TempDir ntfs, fat;
    ASSERT_EQ(runengine(fixture("times.zip"), ntfs.str()).result, kResultOk);
    setenv("ORV_VOLUME", "fat", 1);
    ASSERT_EQ(runengine(fixture("times.zip"), fat.str()).result, kResultOk);
    EXPECT_EQ(filetimes(ntfs.path() / "nodos.txt").modification, 1593597600);
    time_t now = time(nullptr);
    long offset = localtime(&now)->tm_gmtoff;
    const long long wallclock = 1593604800; // 2020-07-01 12:00 counted as UTC
    EXPECT_EQ(filetimes(fat.path() / "nodos.txt").modification, wallclock - offset);
    EXPECT_EQ(filetimes(fat.path() / "utall.txt").modification, kJan2020 + 3600 - offset);
}
#endif

TEST(ExtraFieldTimes, BlockRules) {
    unsigned char ut[] = {0x55, 0x54, 13, 0, 7, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0};
    ExtTimes t = {};
    EXPECT_EQ(exttimes(ut, sizeof ut, false, kDosSummer, &t) & kTimeAll, 7u);
    EXPECT_EQ(t.modification, 1u);
    EXPECT_EQ(t.access, 2u);
    EXPECT_EQ(t.creation, 3u);
    // In the central directory only the modification time is read.
    t = {};
    EXPECT_EQ(exttimes(ut, sizeof ut, true, kDosSummer, &t) & kTimeAll, 7u);
    EXPECT_EQ(t.access, 0u);
    // A block running past the field ends the scan; earlier times stay.
    unsigned char overrun[] = {0x55, 0x54, 5, 0, 1, 9, 0, 0, 0, 0x55, 0x58, 40, 0, 1, 2};
    t = {};
    EXPECT_EQ(exttimes(overrun, sizeof overrun, false, kDosSummer, &t) & kTimeAll, 1u);
    EXPECT_EQ(t.modification, 9u);
    EXPECT_EQ(exttimes(nullptr, 0, false, kDosSummer, &t), 0u);
}

class ExtractedTimes : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir = new TempDir;
        result = runengine(fixture("times.zip"), dir->str()).result;
    }
    static void TearDownTestSuite() { delete dir; }
    static Times of(const char* name) { return filetimes(dir->path() / name); }
    static TempDir* dir;
    static int result;
};
TempDir* ExtractedTimes::dir = nullptr;
int ExtractedTimes::result = -1;

TEST_F(ExtractedTimes, DosTimeWithoutExtraField) {
    ASSERT_EQ(result, kResultOk);
    Times t = of("nodos.txt");
    expectlocal(t.modification, 2020, 7, 1, 12);
    EXPECT_EQ(t.access, t.modification);
}

TEST_F(ExtractedTimes, ExtendedTimestamp) {
    EXPECT_EQ(of("utall.txt").modification, kJan2020);
    EXPECT_EQ(of("utall.txt").access, kJan2020 + 100);
    // Access time alone: the DOS time serves for both.
    expectlocal(of("utaccess.txt").modification, 2020, 7, 1, 12);
    EXPECT_EQ(of("utaccess.txt").access, of("utaccess.txt").modification);
}

TEST_F(ExtractedTimes, SignRule) {
    expectlocal(of("utneg2020.txt").modification, 2020, 7, 1, 12);
    EXPECT_EQ(of("utneg2038.txt").modification, 0x80001000LL);
    EXPECT_EQ(of("utneg2038.txt").access, 0x80002000LL);
}

TEST_F(ExtractedTimes, OlderBlocks) {
    EXPECT_EQ(of("utthenux.txt").modification, kJan2020);
    expectlocal(of("uxfirst.txt").modification, 2020, 7, 1, 12);
    EXPECT_EQ(of("uxonly.txt").modification, kJan2020 + 9);
    EXPECT_EQ(of("uxonly.txt").access, kJan2020 + 7);
    EXPECT_EQ(of("unix000d.txt").modification, kJan2020 + 13);
    EXPECT_EQ(of("unix000d.txt").access, kJan2020 + 11);
    EXPECT_EQ(of("overrun.txt").modification, kJan2020 + 300);
}

TEST_F(ExtractedTimes, ReadOnlyAttributeAndTimes) {
    Times t = of("readonly.txt");
    EXPECT_TRUE(t.readonly);
    EXPECT_EQ(t.modification, kJan2020);
    EXPECT_EQ(readfile(dir->path() / "readonly.txt"), "attributes 0x21");
}

// The times are set after the last write and after the presized file is cut back to its
// length, either of which would otherwise make the modification time the moment of writing.
TEST_F(ExtractedTimes, FileLongerThanTheWindowKeepsItsTimes) {
    Times t = of("large.txt");
    EXPECT_EQ(t.modification, kJan2020 + 400);
    EXPECT_EQ(t.access, kJan2020 + 500);
    EXPECT_TRUE(t.readonly);
    std::string content = readfile(dir->path() / "large.txt");
    ASSERT_EQ(content.size(), 255000u);
    EXPECT_EQ(content.substr(content.size() - 51),
              "line 004999 of a member written in several flushes\n");
}

} // namespace

namespace {

// An NTFS block (0x000A): reserved u32, then attribute 1 of `size` bytes with three FILETIMEs.
std::vector<unsigned char> ntfsblock(unsigned long long m, unsigned long long a,
                                     unsigned long long c, unsigned size = 24) {
    std::vector<unsigned char> b;
    auto put = [&b](unsigned long long v, int n) {
        for (int i = 0; i < n; ++i) b.push_back(static_cast<unsigned char>(v >> (8 * i)));
    };
    put(0x000A, 2);
    put(4 + 4 + size, 2);
    put(0, 4);
    put(1, 2);
    put(size, 2);
    put(m, 8);
    put(a, 8);
    put(c, 8);
    b.resize(4 + 4 + 4 + size);
    return b;
}

TEST(ExtraFieldTimes, NtfsBlockKeepsHundredNanoseconds) {
    const unsigned long long m = 132223104001234567ull, a = m + 10, c = m - 10;
    std::vector<unsigned char> field = {0x55, 0x70, 2, 0, 'x', 'y'}; // a foreign block first
    std::vector<unsigned char> ntfs = ntfsblock(m, a, c);
    field.insert(field.end(), ntfs.begin(), ntfs.end());
    NtfsTimes t = {0, 0, 0};
    EXPECT_EQ(ntfstimes(field.data(), static_cast<unsigned>(field.size()), &t), unsigned(kTimeAll));
    EXPECT_EQ(t.modification, m);
    EXPECT_EQ(t.access, a);
    EXPECT_EQ(t.creation, c);
    // A time stored as 0 is absent.
    ntfs = ntfsblock(m, 0, 0);
    EXPECT_EQ(ntfstimes(ntfs.data(), static_cast<unsigned>(ntfs.size()), &t),
              unsigned(kTimeModification));
    // An attribute too short for three times, or a block cut by the end of the field, gives none.
    ntfs = ntfsblock(m, a, c, 16);
    EXPECT_EQ(ntfstimes(ntfs.data(), static_cast<unsigned>(ntfs.size()), &t), 0u);
    ntfs = ntfsblock(m, a, c);
    EXPECT_EQ(ntfstimes(ntfs.data(), static_cast<unsigned>(ntfs.size() - 1), &t), 0u);
    EXPECT_EQ(ntfstimes(nullptr, 0, &t), 0u);
}

#ifndef _WIN32
// 7-Zip writes only NTFS times: the engine gives its files the same exact times 7-Zip does.
TEST(ExtraFieldTimes, SevenZipTimesAreExact) {
    TempDir ours, theirs;
    RunRecord run = runengine(fixture("sevenzip_stored.zip"), ours.str());
    ASSERT_EQ(run.result, kResultOk);
    ASSERT_TRUE(sevenzipextract(fixture("sevenzip_stored.zip"), theirs.path()));
    for (const char* name : {"top.txt", "docs/guide.txt", "docs/deep/blob.bin"}) {
        struct stat a, b;
        ASSERT_EQ(stat((ours.path() / name).c_str(), &a), 0) << name;
        ASSERT_EQ(stat((theirs.path() / name).c_str(), &b), 0) << name;
        EXPECT_EQ(a.st_mtim.tv_sec, b.st_mtim.tv_sec) << name;
        EXPECT_EQ(a.st_mtim.tv_nsec, b.st_mtim.tv_nsec) << name;
    }
}
#endif

} // namespace
