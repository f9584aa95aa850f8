// Win32 implementation of platform/clock.h. This file contains only Windows code.
//
// The zone is the system's time-zone information; TZ is blanked so that the C runtime's
// local time follows it too.
#include "platform/clock.h"

#include "platform/win32/widetext.h"

#include <stdlib.h>
#include <time.h>
#include <windows.h>

namespace {

// Days from 1970-01-01 to the given civil date (proleptic Gregorian; month 1..12). The year
// is an int, as struct tm holds it: a division of a 64-bit one would make the 32-bit build
// call a run-time helper of the compiler's.
long long daysfromcivil(int year, unsigned month, unsigned day) {
    year -= month <= 2;
    int era = (year >= 0 ? year : year - 399) / 400;
    unsigned yoe = static_cast<unsigned>(year - era * 400);
    unsigned doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097LL + doe - 719468;
}

} // namespace

namespace platform {

void resettimezone() {
    _putenv("TZ=");
    _tzset();
}

bool zoneinfo(ZoneInfo* zone) {
    TIME_ZONE_INFORMATION info;
    if (GetTimeZoneInformation(&info) == TIME_ZONE_ID_INVALID) return false;
    zone->bias = info.Bias;
    zone->standardbias = info.StandardBias;
    zone->daylightbias = info.DaylightBias;
    return true;
}

bool localwallclock(unsigned seconds, unsigned* wallclock, bool* daylight) {
    __time64_t t = seconds;
    struct tm* local = _localtime64(&t);
    if (!local) return false;
    long long days = daysfromcivil(local->tm_year + 1900, local->tm_mon + 1, local->tm_mday);
    *wallclock = static_cast<unsigned>(days * 86400 + local->tm_hour * 3600 + local->tm_min * 60 +
                                       local->tm_sec);
    *daylight = local->tm_isdst > 0;
    return true;
}

bool filetimetolocal(unsigned long long filetime, unsigned long long* local) {
    FILETIME in, out;
    in.dwLowDateTime = static_cast<DWORD>(filetime);
    in.dwHighDateTime = static_cast<DWORD>(filetime >> 32);
    if (!FileTimeToLocalFileTime(&in, &out)) return false;
    *local = (static_cast<unsigned long long>(out.dwHighDateTime) << 32) | out.dwLowDateTime;
    return true;
}

// GetDateFormatW and GetTimeFormatW return 0 when the buffer is too small; a text that does
// not fit, here or in UTF-8, is then left empty rather than cut at an unknown place.
bool localdatetime(char* date, unsigned datesize, char* time, unsigned timesize) {
    enum { kLongest = 80 }; // the longest date or time a locale writes
    wchar_t widedate[kLongest], widetime[kLongest];
    bool dated = GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, widedate,
                                kLongest) > 0 &&
                 toutf8(widedate, date, datesize) < datesize;
    bool timed = GetTimeFormatW(LOCALE_USER_DEFAULT, TIME_FORCE24HOURFORMAT, nullptr, nullptr,
                                widetime, kLongest) > 0 &&
                 toutf8(widetime, time, timesize) < timesize;
    if (!dated && datesize > 0) date[0] = 0;
    if (!timed && timesize > 0) time[0] = 0;
    return dated || timed;
}

} // namespace platform
