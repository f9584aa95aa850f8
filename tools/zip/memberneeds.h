// What a member needs that the engine does not have, in words: compression methods by name,
// AES and PKWARE strong encryption, ZIP64 and a newer version to extract.
//
// The engine refuses such members with a result code alone (81 for what the central
// directory shows as needing a newer version or AES, 1 for a method it meets in a local
// header without that) and carries no texts for them, so that the stub stays small. orvsfx
// list, test and extract name the reason from the member's central header here, and so do
// orvsfx info and the builder's check of an archive it is given. Each reason is a phrase that
// follows the member's name and names the program that lacks the feature ("orvsfx" or "the
// stub", which share the engine): "uses bzip2 compression (method 12), which orvsfx does not
// extract".
#pragma once

#include "tools/zip/zipreader.h"

#include <string>

// The short name of a compression method as a listing shows it ("deflate", "bzip2"), or
// "unknown" for a method number this program knows no name for.
const char* methodname(unsigned method);

// Why a member compressed with method cannot be extracted by program; empty for the methods
// the engine extracts.
std::string methodneed(unsigned method, const std::string& program);

// Why entry cannot be extracted by program, as far as its central header and localextra (its
// local header's extra field, where a writer may keep the only ZIP64 field) tell: AES or
// strong encryption, a compression method the engine lacks, ZIP64 values or records, or a
// version needed above what the engine takes (checked in that order, so an encrypted member
// names its encryption before the method that the encryption hides, and ZIP64 comes before
// the version it needs). Empty when nothing there stops it.
std::string unmetneed(const ZipEntry& entry, const std::string& program,
                      const std::string& localextra = std::string());
