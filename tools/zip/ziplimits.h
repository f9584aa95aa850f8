// What the builder writes into its archives and checks in others: the stub's limits, on top
// of the ZIP format's facts in common/zipformat.h.
//
// Offsets in the central headers and the end record count from the start of the package
// file, so the stub's dialog finds the directory without looking for where the archive
// begins.
#pragma once

#include "common/zipformat.h"

#include <cstdint>

// The end record's signature as bytes, to look for it inside comments.
inline constexpr char kEndSignatureBytes[] = "PK\x05\x06";

// What the stub's engine accepts and how the builder marks what it writes: names shorter than
// 260 bytes, "version needed to extract" at most 2.1 (kExtractVersion; 6.3 for LZMA), one
// volume, offsets below 2 GiB (the stub seeks with signed 32-bit offsets).
enum : std::uint32_t {
    kNameLimit = 260,
    kVersionStored = 10,
    kVersionDeflate = 20,
    kVersionLzma = 63,
    kVersionMadeBy = 20, // high byte 0: MS-DOS/FAT host, so DOS attributes (UTF-8 names: bit 11)
    kPackageSizeLimit = 0x7FFFFFFF,
};
static_assert(kVersionMadeBy >> 8 == kHostFat, "members are marked as made on a FAT host");
static_assert(unsigned(kVersionDeflate) <= unsigned(kExtractVersion),
              "the engine takes every member the builder writes");
static_assert(unsigned(kVersionLzma) <= unsigned(kExtractVersionLzma),
              "the engine takes the LZMA members the builder writes");
