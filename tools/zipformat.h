// The parts of the ZIP format that the builder writes and checks, and the stub's limits.
//
// Records (all little-endian):
//   local header      30 bytes + name + extra, then the member's data
//   central header    46 bytes + name + extra + comment, one per member, after all data
//   end record        22 bytes + comment, last in the archive
// Offsets in the central headers and the end record count from the start of the package
// file, so the stub's dialog finds the directory without looking for where the archive
// begins.
#pragma once

#include <cstdint>

enum : std::uint32_t {
    kLocalSignature = 0x04034B50,        // "PK\3\4"
    kCentralSignature = 0x02014B50,      // "PK\1\2"
    kEndSignature = 0x06054B50,          // "PK\5\6"
    kZip64LocatorSignature = 0x07064B50, // "PK\6\7", in front of a ZIP64 archive's end record
};

// The end record's signature as bytes, to look for it inside comments.
inline constexpr char kEndSignatureBytes[] = "PK\x05\x06";

enum : unsigned {
    kLocalHeaderSize = 30,
    kCentralHeaderSize = 46,
    kEndRecordSize = 22,
    kZip64LocatorSize = 20,
    kCommentLimit = 65535,
    kEntryLimit = 65535, // entries counted by the end record's 16-bit fields
};

// Compression methods the stub extracts.
enum ZipMethod : unsigned { kMethodStored = 0, kMethodDeflate = 8, kMethodDeflate64 = 9 };

// What the stub's engine accepts and how the builder marks what it writes: names shorter than
// 260 bytes, "version needed to extract" at most 2.1, one volume, offsets below 2 GiB (the
// stub seeks with signed 32-bit offsets).
enum : std::uint32_t {
    kNameLimit = 260,
    kVersionNeededLimit = 21,
    kVersionStored = 10,
    kVersionDeflate = 20,
    kVersionMadeBy = 20, // high byte 0: MS-DOS/FAT host, so DOS attributes (UTF-8 names: bit 11)
    kPackageSizeLimit = 0x7FFFFFFF,
};

// General-purpose flag bits the builder looks at.
enum : unsigned {
    kFlagEncrypted = 0x0001,
    kFlagDataDescriptor = 0x0008,
    kFlagUtf8 = 0x0800, // the name (and comment) is UTF-8
};

// DOS attribute bits kept in the low byte of the external attributes.
enum : unsigned {
    kDosReadOnly = 0x01,
    kDosDirectory = 0x10,
    kDosArchive = 0x20,
};

// The extended time stamp extra field: tag, then a flag byte (bit 0 modification time, bit 1
// access time) and a 32-bit Unix time for each present time; the central copy holds only the
// modification time.
enum : unsigned {
    kExtendedTimeTag = 0x5455,
    kExtendedTimeHasMtime = 0x01,
    kExtendedTimeHasAtime = 0x02,
};
