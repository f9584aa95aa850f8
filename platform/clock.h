// The engine's view of time zones: the system's zone, local wall-clock times and the
// conversion of file times to local time.
//
// Times are Unix seconds (u32, since 1970-01-01 UTC, unsigned so they reach 2106) or
// FILETIMEs (100-nanosecond intervals since 1601-01-01 UTC, in 64-bit integers). On Windows
// the zone is the system's time-zone information; on Linux it is the process's zone (TZ, or
// the machine's /etc/localtime when TZ is unset).
#pragma once

namespace platform {

// Makes the C library follow the system's own zone for the rest of the run: Windows blanks
// an inherited TZ variable; Linux, where TZ is how a zone is chosen, only re-reads it.
void resettimezone();

// The zone's offsets in minutes, with the Windows sign: UTC = local time + bias + (daylight
// saving in force ? daylightbias : standardbias).
struct ZoneInfo {
    long bias;
    long standardbias;
    long daylightbias;
};

// Fills zone; false when the system has no time-zone information.
bool zoneinfo(ZoneInfo* zone);

// The local wall-clock date and time of an instant, counted back into seconds as if it were
// UTC, and whether daylight saving is in force then. False when the C library refuses the
// value.
bool localwallclock(unsigned seconds, unsigned* wallclock, bool* daylight);

// FileTimeToLocalFileTime: shifts a FILETIME by the offset in force now. False on failure.
bool filetimetolocal(unsigned long long filetime, unsigned long long* local);

// The current date in the user's short date format and the current time in 24-hour form,
// as the user's locale writes them (each cut to its buffer and NUL-terminated). False when
// the system gives neither.
bool localdatetime(char* date, unsigned datesize, char* time, unsigned timesize);

} // namespace platform
