// Archives written field by field in tests, for members that no writer of this project makes:
// any host, version, method, flags, attributes and extra field, as archivers of other systems
// store them.
//
// A member's data is stored as given, whatever method its headers name, and its CRC-32 is
// the data's; sizes are the data's unless the member asks for others (the ZIP64 markers).
// Offsets count from the start of the archive.
#pragma once

#include "common/zipformat.h"
#include "tools/base/littleendian.h"
#include "tools/zip/zipwriter.h"

#include <optional>
#include <string>
#include <vector>

namespace rawzip {

struct Member {
    std::string name;
    std::string data;
    unsigned method = kMethodStored;
    unsigned flags = 0;
    unsigned versionneeded = 20;
    unsigned versionmadeby = 20;
    unsigned host = kHostFat;
    std::uint32_t external = kDosArchive;
    std::string extra;                        // the same in both headers
    std::optional<std::uint32_t> storedsizes; // both sizes as the headers give them
};

// A file of an MS-DOS archiver.
inline Member file(const std::string& name, const std::string& data) {
    Member m;
    m.name = name;
    m.data = data;
    return m;
}

// A Unix member: the mode (file type and permissions) in the high 16 bits.
inline Member unixmember(const std::string& name, const std::string& data, unsigned mode) {
    Member m;
    m.name = name;
    m.data = data;
    m.host = kHostUnix;
    m.versionmadeby = 30;
    m.external = mode << 16;
    return m;
}

// A folder as MS-DOS archivers store it: no "/" behind the name, the folder attribute, no data.
inline Member attributefolder(const std::string& name, unsigned host = kHostFat) {
    Member m;
    m.name = name;
    m.host = host;
    m.external = kDosDirectory;
    return m;
}

// The WinZip AES field (0x9901): vendor version 2, "AE", the key strength (1 to 3 for AES-128
// to AES-256) and the method of the data under the encryption.
inline std::string aesfield(unsigned strength, unsigned method) {
    std::string field;
    put16(field, kExtraAes);
    put16(field, kAesFieldSize);
    put16(field, 2);
    field += "AE";
    field += static_cast<char>(strength);
    put16(field, method);
    return field;
}

// An AES-256 member of Deflate data, with the version needed that its writer gave.
inline Member aesmember(const std::string& name, unsigned versionneeded) {
    Member m = file(name, std::string(40, 'e'));
    m.method = kMethodAes;
    m.flags = kFlagEncrypted;
    m.versionneeded = versionneeded;
    m.extra = aesfield(3, kMethodDeflate);
    return m;
}

// An Info-ZIP Unicode path field (0x7075) naming `stored` as utf8: the CRC-32 of stored, the
// given version (1 is the only one readers take).
inline std::string unicodepathfield(const std::string& utf8, const std::string& stored,
                                    unsigned version = kUnicodePathVersion) {
    std::string field;
    put16(field, kExtraUnicodePath);
    put16(field, static_cast<unsigned>(kUnicodePathFixed + utf8.size()));
    field += static_cast<char>(version);
    put32(field, membercrc(stored));
    return field + utf8;
}

// The fields from the version needed to the extra length, which both headers share.
inline std::string sharedfields(const Member& m) {
    std::string h;
    std::uint32_t size = m.storedsizes ? *m.storedsizes : static_cast<std::uint32_t>(m.data.size());
    put16(h, m.versionneeded);
    put16(h, m.flags);
    put16(h, m.method);
    put32(h, 0x50210000); // 2020-01-01 00:00:00
    put32(h, membercrc(m.data));
    put32(h, size);
    put32(h, size);
    put16(h, static_cast<unsigned>(m.name.size()));
    put16(h, static_cast<unsigned>(m.extra.size()));
    return h;
}

// The end record of a directory of one disk and its comment.
inline std::string endrecord(unsigned entries, std::size_t centralsize, std::uint32_t centralat,
                             const std::string& comment = "") {
    std::string end;
    put32(end, kEndSignature);
    put16(end, 0); // this disk
    put16(end, 0); // the central directory's disk
    put16(end, entries);
    put16(end, entries);
    put32(end, static_cast<std::uint32_t>(centralsize));
    put32(end, centralat);
    put16(end, static_cast<unsigned>(comment.size()));
    return end + comment;
}

inline std::string archive(const std::vector<Member>& members) {
    std::string out, central;
    for (const Member& m : members) {
        std::uint32_t offset = static_cast<std::uint32_t>(out.size());
        put32(out, kLocalSignature);
        out += sharedfields(m) + m.name + m.extra + m.data;
        put32(central, kCentralSignature);
        central += static_cast<char>(m.versionmadeby);
        central += static_cast<char>(m.host);
        central += sharedfields(m);
        put16(central, 0); // comment length
        put16(central, 0); // disk start
        put16(central, 0); // internal attributes
        put32(central, m.external);
        put32(central, offset);
        central += m.name + m.extra;
    }
    std::uint32_t centralat = static_cast<std::uint32_t>(out.size());
    return out + central +
           endrecord(static_cast<unsigned>(members.size()), central.size(), centralat);
}

} // namespace rawzip
