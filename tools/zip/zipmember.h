// A member as the ZIP writer takes it, and the hooks and settings that decide how it becomes
// records: compression, the source of encryption headers, DOS times in UTC, the latest time
// stamp and the password.
//
// Compression and the header source are hooks, so that the library needs no compressor where
// none is available (the Win32 test build) and the host builder plugs libdeflate in; the
// encryption (zipcrypto.h) and the packer (tools/packer/) provide them without depending on
// the writer itself.
#pragma once

#include "common/zipformat.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// One member. Directories have a name ending in '/' and no data.
struct ZipMember {
    std::string name;                  // '/' separators
    std::string data;                  // contents of a file
    std::int64_t mtime = 0;            // modification time, Unix seconds
    std::optional<std::int64_t> atime; // access time, when the source has one
    unsigned dosattributes = 0x20;     // archive bit for files; 0x10 for directories
};

// Compresses in into out (the member data of the writer's method) and returns true; false
// keeps the member stored.
using ZipCompressor = std::function<bool(const std::string& in, std::string& out)>;

// Fills n bytes for the encryption header of the member named name; data is the member's
// uncompressed contents (a derived source may use them, a random one ignores them).
using ZipHeaderSource = std::function<void(unsigned char* bytes, std::size_t n,
                                           const std::string& name, const std::string& data)>;

// How the writer turns members into records. The defaults write what the members say, with
// DOS times in the local time zone and no encryption.
struct ZipWriterSettings {
    ZipCompressor compress;
    unsigned method = kMethodDeflate; // what compress makes: kMethodDeflate or kMethodLzma
    // DOS date and time in UTC rather than local time, so that the bytes do not depend on the
    // time zone of the machine that builds the package.
    bool utcdostimes = false;
    // The latest time stamp written: later modification and access times are set to it
    // (SOURCE_DATE_EPOCH).
    std::optional<std::int64_t> latesttime;
    // Non-empty: every file is encrypted with traditional PKWARE encryption under this
    // password (bytes as the stub compares them, in the package's ANSI code page).
    std::string password;
    ZipHeaderSource headersource; // needed with a password
};

// DOS date (high 16 bits) and time (low 16 bits) of a Unix time in local time (or UTC); two-second
// resolution, rounded down; times before 1980 give 1980-01-01 00:00:00 and after 2107 give
// 2107-12-31 23:59:58.
std::uint32_t dosdatetime(std::int64_t unixtime, bool utc = false);

// CRC-32 of a member's data: zlib's on the host (membercrc_zlib.cpp), the engine's own in the
// Win32 build, which has no zlib (membercrc_engine.cpp).
std::uint32_t membercrc(const std::string& data);
