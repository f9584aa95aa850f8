// The version resource (RT_VERSION 1): reading its strings and fixed numbers, and writing it
// again with a publisher's names and version.
//
// VS_VERSIONINFO is a tree of blocks, each aligned to 4 bytes:
//   16-bit wLength       the whole block with its children, in bytes
//   16-bit wValueLength  the value's length: bytes for binary values, UTF-16 units for text
//   16-bit wType         0 binary, 1 text
//   UTF-16 key with NUL, zero padding to 4, the value, zero padding to 4, the children.
// The root "VS_VERSION_INFO" holds VS_FIXEDFILEINFO (52 bytes: signature 0xFEEF04BD, then
// the file version at 8 and the product version at 16, each as two 32-bit halves a.b and
// c.d). Its children are "StringFileInfo" with one table per language ("040904E4": language
// 0x0409, code page 1252) of key/value strings, and "VarFileInfo" with "Translation".
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

enum : unsigned {
    kVersionBlockHeader = 6,
    kFixedInfoSize = 52,
    kFixedInfoSignature = 0xFEEF04BD,
    kFixedFileVersion = 8,
    kFixedProductVersion = 16,
    kVersionTextLimit = 256,     // UTF-16 units of one string, without its NUL
    kVersionBlockLimit = 0xFFFF, // wLength is 16 bits
};
// The largest String block (header, longest key of the ones written, the text) fits wLength.
static_assert(kVersionBlockHeader + 2 * 32 + 2 * (kVersionTextLimit + 1) < kVersionBlockLimit,
              "a string block's length fits 16 bits");

struct VersionInfo {
    std::string fixed;                                        // VS_FIXEDFILEINFO, 52 bytes
    std::string table = "040904E4";                           // the string table's key
    std::vector<std::pair<std::string, std::string>> strings; // UTF-8 keys and values
    std::vector<std::uint32_t> translations;                  // language | code page << 16
    const std::string* find(const std::string& key) const;
    void set(const std::string& key, const std::string& value); // replaces or appends
    std::array<unsigned, 4> fileversion() const;
    void setversions(const std::array<unsigned, 4>& version); // file and product version
};

// Decodes the resource's bytes. Throws BuildError(reason) for a block that runs past its
// parent, a missing or wrong VS_FIXEDFILEINFO, or text that is not UTF-16.
VersionInfo readversioninfo(const std::string& data);

// Encodes it; every text must already be checked with checkversiontext.
std::string writeversioninfo(const VersionInfo& info);

// Throws BuildError("<what>: reason") when text (UTF-8) is not valid UTF-8, holds a control
// character, or needs more than kVersionTextLimit UTF-16 units.
void checkversiontext(const std::string& text, const std::string& what);

// "a.b.c.d" with each number from 0 to 65535; throws BuildError("<what>: reason") otherwise.
std::array<unsigned, 4> parsefileversion(const std::string& text, const std::string& what);
