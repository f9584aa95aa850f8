// Writing a ZIP archive member by member into a stream, with offsets counted from the start
// of the package.
//
// The writer emits each member's local header and data at once and keeps the central
// headers in memory until finish(). Members get DOS date and time (local time, or UTC when
// the settings ask for it) from their modification time, an extended time stamp
// (modification time, and access time when known, in the local header; modification time in
// the central header), DOS attributes in the low byte of the external attributes, and
// "version made by" 2.0 on an MS-DOS host.
// Compression is a hook, so that the library needs no compressor where none is available
// (the Win32 test build) and the host builder plugs libdeflate in. So is the random source
// of encryption headers.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

// One member. Directories have a name ending in '/' and no data.
struct ZipMember {
    std::string name;                  // '/' separators
    std::string data;                  // contents of a file
    std::int64_t mtime = 0;            // modification time, Unix seconds
    std::optional<std::int64_t> atime; // access time, when the source has one
    unsigned dosattributes = 0x20;     // archive bit for files; 0x10 for directories
};

// Compresses in into out (raw Deflate) and returns true; false keeps the member stored.
using ZipCompressor = std::function<bool(const std::string& in, std::string& out)>;

// Fills n bytes for the encryption header of the member named name; data is the member's
// uncompressed contents (a derived source may use them, a random one ignores them).
using ZipHeaderSource = std::function<void(unsigned char* bytes, std::size_t n,
                                           const std::string& name, const std::string& data)>;

// How the writer turns members into records. The defaults write what the members say, with
// DOS times in the local time zone and no encryption.
struct ZipWriterSettings {
    ZipCompressor compress;
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

class ZipWriter {
  public:
    // base is the file offset at which out's current position lies in the package.
    ZipWriter(std::ostream& out, std::uint64_t base, ZipCompressor compress = {});
    ZipWriter(std::ostream& out, std::uint64_t base, ZipWriterSettings settings);

    // Writes a member; refuses names of 260 bytes or more, data of 4 GiB or more and
    // archives that would pass 2 GiB or 65,535 members.
    void add(const ZipMember& member);

    // Like add, with the data already compressed by the caller: packed is its raw Deflate
    // form (kept when it is smaller than the data), or null to store the member.
    void addcompressed(const ZipMember& member, const std::string* packed);

    // A member whose data is written piece by piece behind its local header, so that it
    // never lies in memory as a whole: beginstreamed writes the header with zero CRC and
    // sizes, appendstreamed the stored bytes (raw data for kMethodStored, consecutive pieces
    // of one Deflate stream for kMethodDeflate), endstreamed goes back to fill them in. The
    // output stream must be seekable. Not with encryption, whose header needs the CRC first.
    void beginstreamed(const ZipMember& head, std::uint64_t size, unsigned method);
    void appendstreamed(const std::string& stored);
    void endstreamed(std::uint32_t crc);

    // Writes the central directory and the end record with the archive comment.
    void finish(const std::string& comment = "");

    // Package offset of the next byte to be written.
    std::uint64_t position() const { return position_; }

  private:
    // A member in progress: where its local header lies and what belongs in it.
    struct Streamed {
        ZipMember head;
        std::uint64_t size = 0, stored = 0, headeroffset = 0;
        unsigned method = 0;
    };

    void write(const std::string& bytes);
    void seek(std::uint64_t offset);
    ZipMember clamped(const ZipMember& given) const;
    void writeheaders(const ZipMember& member, unsigned method, bool encrypt, std::uint32_t crc,
                      std::uint64_t stored, std::uint64_t size);
    std::string localheader(const ZipMember& member, unsigned method, bool encrypt,
                            std::uint32_t crc, std::uint64_t stored, std::uint64_t size) const;

    std::ostream& out_;
    std::uint64_t position_;
    std::uint64_t base_;    // the package offset of origin_
    std::streamoff origin_; // the stream position at which the archive starts; -1: none
    ZipWriterSettings settings_;
    std::string central_;
    unsigned count_ = 0;
    std::optional<Streamed> streamed_;
};

// A whole archive from members kept in memory, its offsets counted from base (0: the archive
// on its own). Members are stored unless compress is given.
std::string writezip(const std::vector<ZipMember>& members, std::uint64_t base = 0,
                     const std::string& comment = "", ZipCompressor compress = {});
std::string writezip(const std::vector<ZipMember>& members, std::uint64_t base,
                     const std::string& comment, ZipWriterSettings settings);
