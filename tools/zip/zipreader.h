// Reading an existing ZIP archive's directory, checking it against the stub's limits, and
// copying it into a package with its offsets rebased.
//
// An archive is found by its end record, the last one in the file whose comment ends at or
// before the end of the file and whose central directory is where the record says. Anything
// in front of the archive is allowed: prefix, the distance between where the directory lies
// and where the record says it lies, is added to every stored offset (0 when the offsets
// already count from the start of the file, as in a package).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One central-directory entry, with its fields as stored.
struct ZipEntry {
    std::string name;
    unsigned madeby = 0; // version made by (low byte) and host (high byte)
    unsigned needed = 0; // version needed to extract (low byte) and its host byte
    unsigned flags = 0;  // general-purpose flags
    unsigned method = 0;
    std::uint32_t dostime = 0; // DOS date (high 16 bits) and time (low 16 bits)
    std::uint32_t crc = 0;
    std::uint32_t packed = 0;
    std::uint32_t size = 0;
    unsigned disk = 0; // disk on which the member starts
    std::uint32_t external = 0;
    std::uint32_t offset = 0;  // local-header offset as stored
    std::string extra;         // central extra field
    std::size_t centralat = 0; // file position of the central header
};

struct ZipArchive {
    std::vector<ZipEntry> entries;
    std::size_t endat = 0;           // file position of the end record
    std::size_t endsize = 0;         // end record and comment
    unsigned disk = 0;               // number of this disk
    unsigned centraldisk = 0;        // disk where the central directory starts
    unsigned diskentries = 0;        // entries on this disk
    std::uint32_t centraloffset = 0; // as stored
    std::uint32_t centralsize = 0;
    std::int64_t prefix = 0; // file position = stored offset + prefix
    std::string comment;
    bool zip64 = false;    // a ZIP64 end locator or ZIP64 values are present
    std::size_t start = 0; // file position of the archive's first record
};

// Reads the directory of the archive held in data; refuses a file with no usable end record,
// a directory that is not where the record says, or entries that run past it.
ZipArchive readziparchive(const std::string& data);

// Refuses, with the reason, what the stub cannot extract: ZIP64, several disks, names of 260
// bytes or more, compression methods other than stored, Deflate and Deflate64, AES or strong
// encryption, members that need a version above 2.1 (tools/zip/memberneeds.h names each), a
// comment that hides the end record; and members whose local header is missing or whose data
// runs into the directory.
void checkforstub(const std::string& data, const ZipArchive& archive);

// The archive's bytes from its first record to the end of its comment, with every
// local-header offset and the directory offset rebased so that they count from the start of
// a package in which the archive begins at position.
std::string rebasearchive(const std::string& data, const ZipArchive& archive,
                          std::uint64_t position);
