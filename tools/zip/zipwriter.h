// Writing a ZIP archive member by member into a stream, with offsets counted from the start
// of the package.
//
// The writer emits each member's local header and data at once and keeps the central
// headers in memory until finish(). Members get DOS date and time (local time, or UTC when
// the settings ask for it) from their modification time, an extended time stamp
// (modification time, and access time when known, in the local header; modification time in
// the central header), DOS attributes in the low byte of the external attributes, and
// "version made by" 2.0 on an MS-DOS host.
// How members become records is set by ZipWriterSettings (zipmember.h).
#pragma once

#include "common/zipformat.h"
#include "tools/zip/zipmember.h"

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

class ZipWriter {
  public:
    // base is the file offset at which out's current position lies in the package.
    ZipWriter(std::ostream& out, std::uint64_t base, ZipCompressor compress = {});
    ZipWriter(std::ostream& out, std::uint64_t base, ZipWriterSettings settings);

    // Writes a member; refuses names of 260 bytes or more, data of 4 GiB or more and
    // archives that would pass 2 GiB or 65,535 members.
    void add(const ZipMember& member);

    // Like add, with the data already compressed by the caller: packed is its member data
    // of method (raw Deflate, or LZMA's header, properties and stream), kept when it is
    // smaller than the data, or null to store the member.
    void addcompressed(const ZipMember& member, const std::string* packed,
                       unsigned method = kMethodDeflate);

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
