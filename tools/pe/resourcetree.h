// A PE resource section as a flat list of resources, and the section built again from one.
//
// The section starts with a three-level tree of directories: type, then name, then language.
// A directory is 16 bytes (characteristics, time stamp, version, then the counts of named and
// of numbered entries, 16 bits each) followed by its entries, 8 bytes each:
//   name   bit 31 set: offset of a counted UTF-16 name (16-bit length, no NUL); else the id
//   offset bit 31 set: offset of the next level's directory; else of a 16-byte data entry
// All offsets count from the section's start. A data entry holds the data's RVA (an address
// in memory, not in the section), its size, its code page and a reserved field. Named entries
// come first, ordered by their UTF-16 code units, then numbered ones in ascending order; the
// loader searches them in that order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum : unsigned {
    kResourceDirectorySize = 16,
    kResourceEntrySize = 8,
    kResourceDataEntrySize = 16,
    kResourceHighBit = 0x80000000u,
    kResourceLimit = 4096, // resources in one section: the stub has ten
    kResourceDataAlignment = 8,
    kResourceIcon = 3,
    kResourceGroupIcon = 14,
    kResourceVersion = 16,
    kResourceManifest = 24,
};

// A type or a name: a number, or a name (stored in upper case by resource compilers).
struct ResourceKey {
    bool named = false;
    unsigned id = 0;
    std::u16string name;
    static ResourceKey number(unsigned id);
    static ResourceKey text(const std::string& ascii);
    bool operator==(const ResourceKey& other) const {
        return named == other.named && (named ? name == other.name : id == other.id);
    }
    bool operator<(const ResourceKey& other) const; // the loader's order
    std::string shown() const;                      // MNICON, or the number
};

struct Resource {
    ResourceKey type, name;
    unsigned language = 0;
    std::uint32_t codepage = 0;
    std::string data;
    // A resource whose data lies in the image outside the resource section: the stub keeps
    // the data that only its running code reads with its packed code, and restores it into
    // memory at start-up. The file holds none of it, so only its place is kept: the RVA
    // (0 for data in the section) and the size.
    std::uint32_t heldat = 0, heldsize = 0;
};

// The resources of section, which the loader maps at rva. Throws BuildError(reason) for an
// offset or a name outside the section, data that runs across one of its ends, a tree of
// another depth, or more than kResourceLimit resources.
std::vector<Resource> readresources(const std::string& section, std::uint32_t rva);

// The section for resources at rva, in the loader's order.
std::string writeresources(std::vector<Resource> resources, std::uint32_t rva);

// The first resource of that type and name, or nullptr.
Resource* findresource(std::vector<Resource>& resources, const ResourceKey& type,
                       const ResourceKey& name);
const Resource* findresource(const std::vector<Resource>& resources, const ResourceKey& type,
                             const ResourceKey& name);
