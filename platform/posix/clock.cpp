// POSIX implementation of platform/clock.h.
//
// The zone is the C library's: TZ when set (tests set it to a named zone such as
// Europe/Berlin), otherwise the machine's /etc/localtime. Windows blanks TZ so that its C
// library follows the system's zone; here TZ already is the system's way of naming the zone,
// so it is only re-read. The Windows-style biases are derived from the offsets in force on
// 1 January and 1 July of the current year: the smaller is standard time, the larger (if
// different) daylight-saving time.
#include "platform/clock.h"

#include "platform/filetime.h"

#include <time.h>

namespace {

// Offset of local time from UTC in seconds at instant t (east positive).
long offsetat(time_t t) {
    struct tm local;
    if (!localtime_r(&t, &local)) return 0;
    return local.tm_gmtoff;
}

// An instant in the given month (0-based) of the current year.
time_t thisyear(int month) {
    time_t now = time(nullptr);
    struct tm date;
    gmtime_r(&now, &date);
    date.tm_mon = month;
    date.tm_mday = 1;
    date.tm_hour = 12;
    return timegm(&date);
}

} // namespace

namespace platform {

void resettimezone() {
    tzset();
}

bool zoneinfo(ZoneInfo* zone) {
    long january = offsetat(thisyear(0));
    long july = offsetat(thisyear(6));
    long standard = january < july ? january : july;
    long daylight = january < july ? july : january;
    zone->bias = -standard / 60;
    zone->standardbias = 0;
    zone->daylightbias = -(daylight - standard) / 60;
    return true;
}

bool localwallclock(unsigned seconds, unsigned* wallclock, bool* daylight) {
    time_t t = static_cast<time_t>(seconds);
    struct tm local;
    if (!localtime_r(&t, &local)) return false;
    *daylight = local.tm_isdst > 0; // read first: timegm rewrites the record
    *wallclock = static_cast<unsigned>(timegm(&local));
    return true;
}

bool filetimetolocal(unsigned long long filetime, unsigned long long* local) {
    long offset = offsetat(time(nullptr));
    *local = filetime + static_cast<unsigned long long>(static_cast<long long>(offset)) *
                            platform::kFiletimeTicksPerSecond;
    return true;
}

bool localdatetime(char* date, unsigned datesize, char* time, unsigned timesize) {
    time_t now = ::time(nullptr);
    struct tm local;
    if (!localtime_r(&now, &local)) return false;
    if (strftime(date, datesize, "%x", &local) == 0 && datesize > 0) date[0] = 0;
    if (strftime(time, timesize, "%H:%M:%S", &local) == 0 && timesize > 0) time[0] = 0;
    return true;
}

} // namespace platform
