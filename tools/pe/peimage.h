// Reading a PE32 image's section table and writing the image again with a new resource
// section: what the builder needs to change a stub's resources before blocks are appended.
//
// The header fields used, as offsets from the optional header's start (PE32):
//   8   SizeOfInitializedData    the raw sizes of all initialised-data sections
//   32  SectionAlignment         virtual addresses are multiples of it
//   36  FileAlignment            raw offsets and raw sizes are multiples of it
//   56  SizeOfImage              the last section's end in memory, section-aligned
//   60  SizeOfHeaders            headers and section table, file-aligned
//   64  CheckSum                 0, or the PE checksum of the whole file
//   92  NumberOfRvaAndSizes      data directories that follow at 96, 8 bytes each
// Each 40-byte section header holds its name (8), VirtualSize (8), VirtualAddress (12),
// SizeOfRawData (16), PointerToRawData (20) and Characteristics (36).
//
// The resource section may grow only when nothing behind it in memory depends on its place:
// every section after it must be the base relocation table, which the loader finds through
// its data directory and which may therefore move. A linker puts .reloc last, behind .rsrc.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum : unsigned {
    kOptionalInitializedSize = 8,
    kOptionalSectionAlignment = 32,
    kOptionalFileAlignment = 36,
    kOptionalImageSize = 56,
    kOptionalHeadersSize = 60,
    kOptionalChecksum = 64,
    kOptionalDirectoryCount = 92,
    kOptionalDirectories = 96,
    kDirectoryEntrySize = 8,
    kDirectoryResources = 2,
    kDirectoryCertificates = 4,
    kDirectoryRelocations = 5,
    kSectionHeaderSize = 40,
    kSectionLimit = 96, // the most sections the Windows loader accepts
    kSectionInitializedData = 0x40,
    kFileAlignmentMinimum = 512,
    kFileAlignmentMaximum = 65536,
};
static_assert(kOptionalChecksum + 4 == 68, "the checksum lies just before the subsystem");
static_assert(kOptionalDirectoryCount + 4 == kOptionalDirectories, "directories follow the count");

struct PeSection {
    std::string name;
    std::uint32_t virtualsize = 0, virtualaddress = 0, rawsize = 0, rawoffset = 0;
    std::uint32_t characteristics = 0;
};

struct PeImage {
    std::size_t optional = 0; // file offset of the optional header
    std::size_t table = 0;    // file offset of the section table
    std::uint32_t filealignment = 0, sectionalignment = 0;
    std::vector<PeSection> sections;
    std::vector<std::uint32_t> directories; // RVA and size of each data directory, in pairs
    std::uint32_t directoryrva(unsigned k) const {
        return k * 2 < directories.size() ? directories[k * 2] : 0;
    }
    std::uint32_t directorysize(unsigned k) const {
        return k * 2 + 1 < directories.size() ? directories[k * 2 + 1] : 0;
    }
};

// The section table of image; bytes behind the last section (a package's blocks) are
// allowed. Throws BuildError(reason) for headers or sections outside the file.
PeImage readpeimage(const std::string& image);

// Index of the section that holds the resource directory, which must begin at its start;
// -1 when the image has no resources. Throws BuildError(reason) when it lies elsewhere.
int resourcesection(const PeImage& pe);

// The bytes the file holds for a section: its raw data, cut at its virtual size (the zeros
// the loader adds behind the raw data hold no resources a linker writes).
std::string sectionbytes(const std::string& image, const PeSection& section);

// image with its resource section replaced by resources (built for the section's unchanged
// virtual address). Later sections move, and the sizes, directories and checksum follow.
// Throws BuildError(reason) for a layout that cannot be changed safely.
std::string replaceresources(const std::string& image, const PeImage& pe,
                             const std::string& resources);

// The PE checksum of image, whose CheckSum field lies at checksumat: 16-bit words summed with
// end-around carry (the field counted as zero), plus the file's length.
std::uint32_t pechecksum(const std::string& image, std::size_t checksumat);
