// The FILETIME clock: 100-nanosecond ticks since 1601-01-01 00:00 UTC, and where the Unix
// clock (seconds since 1970-01-01 00:00 UTC) starts on it.
//
// The one place of these numbers: the POSIX file and clock layers, the engine's time
// conversions and the builder's time clamping all include it. Constants only, no code, so
// it costs the stub nothing; the tick rate is an unsigned int, which the engine's 32-bit
// division relies on.
#pragma once

namespace platform {

// FILETIME ticks in one second.
const unsigned kFiletimeTicksPerSecond = 10000000;

// Seconds from 1601-01-01 to 1970-01-01.
const unsigned long long kFiletimeUnixEpochSeconds = 11644473600ull;

// 1970-01-01 00:00 UTC as a FILETIME.
const unsigned long long kFiletimeUnixEpoch = kFiletimeUnixEpochSeconds * kFiletimeTicksPerSecond;

static_assert(kFiletimeTicksPerSecond * 100ull == 1000000000ull, "a tick is 100 nanoseconds");
// 369 years of 365 days, and a leap day in each fourth year but 1700, 1800 and 1900.
static_assert(kFiletimeUnixEpochSeconds == (369ull * 365 + 369 / 4 - 3) * 86400,
              "the days from 1601 to 1970");
static_assert(kFiletimeUnixEpoch / kFiletimeTicksPerSecond == kFiletimeUnixEpochSeconds,
              "1970 as ticks does not overflow");

} // namespace platform
