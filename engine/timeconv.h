// Time forms of the engine and their conversions: DOS date/time, Unix seconds, FILETIME.
//
// - DOS date/time: u32, date in the high 16 bits (years since 1980 in bits 25..31, month
//   21..24, day 16..20), time in the low 16 (hours 11..15, minutes 5..10, seconds / 2 in
//   0..4); local time, 2-second resolution.
// - Unix time: u32 seconds since 1970-01-01 UTC, unsigned so that it reaches 2106-02-07.
// - FILETIME: u64 count of 100-nanosecond intervals since 1601-01-01 UTC.
// The time-zone rules are those of platform/clock.h, fixed at the start of each run.
#pragma once

// Times read from extra fields, in this order.
struct ExtTimes {
    unsigned access;
    unsigned modification;
    unsigned creation;
};

// Time flags: which times are valid. Higher bits of a block's own flag byte are ignored.
enum TimeFlags {
    kTimeModification = 1,
    kTimeAccess = 2,
    kTimeCreation = 4,
    kTimeAll = 7,
};

// The first DOS date/time that can stand for an instant after 2038-01-19 03:14:07 UTC.
const unsigned kDos2038 = 0x74320000;

// Seconds since 1970 of a DOS date/time in the system's zone; 0xFFFFFFFF when a date from
// 2038-01-18 on would wrap below the year 2029.
unsigned dostimetounix(unsigned dostime);

// FILETIME of Unix seconds.
unsigned long long unixtofiletime(unsigned seconds);

// Unix seconds of a FILETIME; false when it had to be clamped to 0 or 0xFFFFFFFF.
bool filetimetounix(unsigned long long filetime, unsigned* seconds);

// The local wall-clock time of an instant counted as if it were UTC; unchanged when the C
// library refuses it.
unsigned localseconds(unsigned seconds);

// Corrects ft (= unixtofiletime(seconds)) for a volume that stores local time and converts
// with today's offset, so that it shows the member's wall-clock time of that date.
void fatadjust(unsigned seconds, unsigned long long* ft);

// Reads the time stamps of an extra field into times; returns the time flags. `central`
// limits the 0x5455 block to its modification time; `dostime` decides whether a stored time
// with bit 31 set means a date after 2038.
unsigned exttimes(const unsigned char* field, unsigned length, bool central, unsigned dostime,
                  ExtTimes* times);

// The three FILETIMEs of an NTFS extra-field block (tag 0x000A, attribute 1), which keep
// 100-nanosecond precision; a time stored as 0 counts as absent. Returns the time flags.
struct NtfsTimes {
    unsigned long long modification, access, creation;
};
unsigned ntfstimes(const unsigned char* field, unsigned length, NtfsTimes* times);
