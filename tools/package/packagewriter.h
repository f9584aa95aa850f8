// Assembling a package: stub image, padding, the 32-byte area, text block, options block and
// the archive with offsets that count from the start of the package.
//
//   0            stub image, padded with zeros to 29,968 bytes when it is smaller
//   stub end     32 zero bytes (the area the stub never reads)
//   T            text block; T lies from 30,000 to 95,529, where the stub looks for it
//   T + S        options block (L bytes)
//   T + S + L    the archive
//
// The pieces are plain byte strings so that tests can hand in damaged blocks on purpose.
#pragma once

#include <cstdint>
#include <string>

// Where the parts of a package lie (file offsets).
struct PackageLayout {
    std::uint64_t stubsize = 0;      // the stub image as given
    std::uint64_t padding = 0;       // zero bytes added behind it
    std::uint64_t areaoffset = 0;    // the 32-byte area
    std::uint64_t textoffset = 0;    // T, the marker
    std::uint64_t optionsoffset = 0; // T + S
    std::uint64_t archiveoffset = 0; // T + S + L
};

// A block's whole marker from its stored form (startup/packageblocks.h), for searches and
// messages.
std::string wholemarker(const unsigned char* stored, unsigned size);

// Everything in front of the archive. Refuses a stub larger than 95,497 bytes (its text block
// could not be found) and a stub that holds the text block marker where the stub searches.
std::string packagehead(const std::string& stub, const std::string& textblock,
                        const std::string& optionsblock, PackageLayout* layout = nullptr);

// A whole package around an archive held in memory (offsets counted from its own start or
// from anything in front of it); the archive is checked against the stub's limits and
// rebased to its place in the package.
std::string assemblepackage(const std::string& stub, const std::string& textblock,
                            const std::string& optionsblock, const std::string& archive,
                            PackageLayout* layout = nullptr);
