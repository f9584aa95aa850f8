// Conversions between DOS date/time, Unix seconds and FILETIME, the FAT local-time
// correction and the reading of extra-field time stamps.
//
// Extra-field blocks (u16 tag, u16 data length, data; little-endian):
//   0x5455 "UT"  u8 flags (bit 0 modification, 1 access, 2 creation present), then a u32 for
//                each present time in that order; the central copy holds only the first.
//   0x5855 "UX"  u32 access, u32 modification, optional u16 user and group ids.
//   0x000D Unix  the same first 8 bytes as 0x5855.
//   0x7855 "Ux"  u16 user and group ids only; makes older-style time stamps count as absent.
// A 0x5455 block always wins; 0x5855 and 0x000D count only before the first 0x5455 or
// 0x7855 block, and the last of them wins.
//   0x000A NTFS  u32 reserved, then attributes (u16 tag, u16 size, data); attribute 1 holds
//                u64 modification, access and creation FILETIMEs (size 24). Read by
//                ntfstimes, used only where exttimes gives no modification time.
//
// The sign rule: a stored time with bit 31 set is taken as a time after 2038-01-19 only
// when the member's DOS date/time is 2038-01-18 or later; otherwise it is invalid.
#include "engine/timeconv.h"

#include "common/byteorder.h"
#include "common/zipformat.h"

#include "platform/clock.h"
#include "platform/filetime.h"

namespace {

const unsigned kTicksPerSecond = platform::kFiletimeTicksPerSecond;
const unsigned long long kUnixEpochTicks = platform::kFiletimeUnixEpoch;
const unsigned kFirstDosSecond = 315532800; // 1980-01-01 00:00:00

// Days before each month in a common year.
const unsigned short kDaysBefore[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};

static_assert(kTicksPerSecond < 1u << 24, "a remainder and one more byte fit 32 bits");

// Whole seconds of a tick count whose high 32 bits are below kTicksPerSecond (a quotient
// below 2^32), by long division a byte at a time: a remainder stays below kTicksPerSecond,
// so with the next byte behind it the dividend fits 32 bits. A 64-bit division would make
// the 32-bit build call a run-time helper of the compiler's.
unsigned wholeseconds(unsigned long long ticks) {
    unsigned remainder = static_cast<unsigned>(ticks >> 32), quotient = 0;
    for (int shift = 24; shift >= 0; shift -= 8) {
        unsigned dividend = remainder << 8 | (static_cast<unsigned>(ticks >> shift) & 0xFF);
        quotient = quotient << 8 | dividend / kTicksPerSecond;
        remainder = dividend % kTicksPerSecond;
    }
    return quotient;
}

// The 0x5455 block's flag byte marks its times with the engine's time flags.
static_assert(unsigned(kTimeModification) == kExtendedTimeHasMtime &&
                  unsigned(kTimeAccess) == kExtendedTimeHasAtime &&
                  unsigned(kTimeCreation) == kExtendedTimeHasCtime,
              "a block's flags are time flags");

bool signaccepted(unsigned time, unsigned dostime) {
    return (time & 0x80000000u) == 0 || dostime >= kDos2038;
}

// State of one exttimes scan.
struct TimeScan {
    unsigned flags;
    bool newstyle; // a 0x5455 or 0x7855 block was seen
    bool negative; // a time with bit 31 set was accepted
};

// Reads an optional u32 time at *pos of a 0x5455 block into *slot; clears `bit` when the
// block is too short or the value is refused by the sign rule.
void readoptional(const unsigned char* data, unsigned length, unsigned* pos, unsigned bit,
                  unsigned* slot, TimeScan* scan) {
    if (!(scan->flags & bit)) return;
    if (*pos + 4 > length) {
        scan->flags &= ~bit;
        return;
    }
    unsigned t = get32(data + *pos);
    *pos += 4;
    if ((t & 0x80000000u) && !scan->negative)
        scan->flags &= ~bit;
    else
        *slot = t;
}

void extendedtimestamp(const unsigned char* data, unsigned length, bool central, unsigned dostime,
                       ExtTimes* times, TimeScan* scan) {
    scan->flags &= ~static_cast<unsigned>(kTimeAll);
    scan->newstyle = true;
    if (length < 1) return;
    scan->flags |= data[0];
    unsigned pos = 1;
    if (scan->flags & kTimeModification) {
        if (pos + 4 <= length) {
            unsigned t = get32(data + pos);
            pos += 4;
            if (!signaccepted(t, dostime)) {
                scan->flags &= ~static_cast<unsigned>(kTimeAll);
                return;
            }
            if (t & 0x80000000u) scan->negative = true;
            times->modification = t;
        } else {
            scan->flags &= ~static_cast<unsigned>(kTimeModification);
        }
    }
    if (central) return;
    readoptional(data, length, &pos, kTimeAccess, &times->access, scan);
    readoptional(data, length, &pos, kTimeCreation, &times->creation, scan);
}

void unixblock(const unsigned char* data, unsigned length, unsigned dostime, ExtTimes* times,
               TimeScan* scan) {
    if (length < kUnixTimesSize || scan->newstyle) return;
    scan->flags |= kTimeModification | kTimeAccess;
    unsigned modification = get32(data + kUnixModificationTime);
    if (!signaccepted(modification, dostime))
        scan->flags &= ~static_cast<unsigned>(kTimeAll);
    else if (modification & 0x80000000u)
        scan->negative = true;
    times->modification = modification;
    unsigned access = get32(data + kUnixAccessTime);
    if ((access & 0x80000000u) && !scan->negative && (scan->flags & kTimeAll))
        scan->flags &= ~static_cast<unsigned>(kTimeAccess);
    else
        times->access = access;
}

// The times attribute of an NTFS block: three FILETIMEs.
unsigned ntfsattribute(const unsigned char* t, NtfsTimes* times) {
    unsigned long long* slots[3] = {&times->modification, &times->access, &times->creation};
    const unsigned bits[3] = {kTimeModification, kTimeAccess, kTimeCreation};
    unsigned flags = 0;
    for (int i = 0; i < 3; ++i) {
        *slots[i] = get32(t + 8 * i) | static_cast<unsigned long long>(get32(t + 8 * i + 4)) << 32;
        if (*slots[i]) flags |= bits[i];
    }
    return flags;
}

} // namespace

unsigned dostimetounix(unsigned v) {
    unsigned y = ((v >> 25) & 127) + 10;
    int m = static_cast<int>((v >> 21) & 15) - 1;
    long long d = static_cast<long long>((v >> 16) & 31) - 1;
    // Months outside 1..12 come only from damaged headers; they count as January here.
    unsigned monthindex = m >= 0 && m < 12 ? static_cast<unsigned>(m) : 0;
    long long days = 365LL * y + ((y + 1969) / 4 - 492) + kDaysBefore[monthindex];
    unsigned year = 1970 + y;
    if (monthindex > 1 && year % 4 == 0 && year != 2100) ++days;
    long long seconds =
        (days + d) * 86400 + ((v >> 11) & 31) * 3600LL + ((v >> 5) & 63) * 60LL + 2LL * (v & 31);
    platform::ZoneInfo zone;
    if (platform::zoneinfo(&zone)) {
        seconds += zone.bias * 60LL;
        unsigned wallclock;
        bool daylight = false;
        platform::localwallclock(static_cast<unsigned>(seconds), &wallclock, &daylight);
        seconds += (daylight ? zone.daylightbias : zone.standardbias) * 60LL;
    }
    unsigned result = static_cast<unsigned>(seconds);
    if (v >= kDos2038 && result < 0x70000000u) result = 0xFFFFFFFFu;
    return result;
}

unsigned long long unixtofiletime(unsigned seconds) {
    return static_cast<unsigned long long>(seconds) * kTicksPerSecond + kUnixEpochTicks;
}

bool filetimetounix(unsigned long long filetime, unsigned* seconds) {
    if (filetime < kUnixEpochTicks) {
        *seconds = 0;
        return false;
    }
    unsigned long long ticks = filetime - kUnixEpochTicks;
    // 2^32 seconds and more: the ticks above their low 32 bits make a whole second or more.
    if ((ticks >> 32) >= kTicksPerSecond) {
        *seconds = 0xFFFFFFFFu;
        return false;
    }
    *seconds = wholeseconds(ticks);
    return true;
}

unsigned localseconds(unsigned seconds) {
    unsigned wallclock;
    bool daylight;
    return platform::localwallclock(seconds, &wallclock, &daylight) ? wallclock : seconds;
}

void fatadjust(unsigned seconds, unsigned long long* ft) {
    unsigned local = localseconds(seconds);
    if (local < kFirstDosSecond) local = kFirstDosSecond;
    unsigned long long wall = unixtofiletime(local);
    unsigned long long now;
    if (!platform::filetimetolocal(*ft, &now)) return;
    *ft = *ft + (wall - now);
}

unsigned exttimes(const unsigned char* field, unsigned length, bool central, unsigned dostime,
                  ExtTimes* times) {
    TimeScan scan = {0, false, false};
    ExtraCursor walk = {field, length};
    ExtraField block;
    while (nextextrafield(&walk, &block)) {
        if (block.tag == kExtraExtendedTime) {
            extendedtimestamp(block.data, block.size, central, dostime, times, &scan);
        } else if (block.tag == kExtraOldUnix || block.tag == kExtraUnix) {
            unixblock(block.data, block.size, dostime, times, &scan);
        } else if (block.tag == kExtraUnixIds && !scan.newstyle) {
            scan.flags &= ~static_cast<unsigned>(kTimeAll);
            scan.newstyle = true;
        }
    }
    return scan.flags;
}

unsigned ntfstimes(const unsigned char* field, unsigned length, NtfsTimes* times) {
    ExtraCursor walk = {field, length};
    ExtraField block;
    while (nextextrafield(&walk, &block)) {
        if (block.tag != kExtraNtfs || block.size < kNtfsReserved) continue;
        ExtraCursor attributes = {block.data + kNtfsReserved, block.size - kNtfsReserved};
        ExtraField attribute;
        while (nextextrafield(&attributes, &attribute))
            if (attribute.tag == kNtfsTimesTag && attribute.size >= kNtfsTimesSize)
                return ntfsattribute(attribute.data, times);
    }
    return 0;
}
