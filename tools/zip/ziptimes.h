// Clamping the time stamps of an existing archive to a latest time (SOURCE_DATE_EPOCH), so
// that a package copied from an archive is as reproducible as one written from a folder.
//
// Every place an archive keeps a time is clamped, in the local and the central headers:
//   the DOS date and time         compared with the latest time's DOS form in UTC
//   0x5455 extended time stamp    modification, access and creation time (Unix seconds)
//   0x5855 old Unix extra field   access and modification time (Unix seconds)
//   0x000A NTFS extra field       attribute 1: modification, access, creation (FILETIME)
// One exception: an encrypted member with a data descriptor uses the high byte of its DOS
// time as the password check byte, so its DOS time is kept (and the member is counted).
#pragma once

#include "tools/zip/zipreader.h"

#include <cstdint>
#include <string>

// Clamps the times of archive (read from data) in place; returns the number of members whose
// DOS time had to be kept.
std::size_t clamparchivetimes(std::string& data, const ZipArchive& archive, std::int64_t latest);
