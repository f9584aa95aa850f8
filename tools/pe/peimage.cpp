// The PE image reader and the writer that gives a stub a new resource section.
//
// Every offset and size read from the file is checked against the file before it is used:
// the stub is normally our own, but --stub names any file.
#include "tools/pe/peimage.h"

#include "tools/base/builderror.h"
#include "tools/base/littleendian.h"
#include "tools/pe/stubcheck.h"

#include <algorithm>

namespace {

bool poweroftwo(std::uint32_t v) {
    return v != 0 && (v & (v - 1)) == 0;
}

std::uint32_t alignup(std::uint64_t value, std::uint32_t alignment) {
    std::uint64_t aligned = (value + alignment - 1) / alignment * alignment;
    if (aligned > 0xFFFFFFFFu) throw BuildError("the image would pass 4 GiB");
    return static_cast<std::uint32_t>(aligned);
}

// b lies inside the file: [at, at + size).
bool inside(const std::string& image, std::uint64_t at, std::uint64_t size) {
    return at <= image.size() && size <= image.size() - at;
}

PeSection readsection(const std::string& image, std::size_t at) {
    PeSection s;
    s.name = image.substr(at, 8);
    s.name.resize(s.name.find('\0') == std::string::npos ? 8 : s.name.find('\0'));
    s.virtualsize = get32(image, at + 8);
    s.virtualaddress = get32(image, at + 12);
    s.rawsize = get32(image, at + 16);
    s.rawoffset = get32(image, at + 20);
    s.characteristics = get32(image, at + 36);
    return s;
}

void writesection(std::string& image, std::size_t at, const PeSection& s) {
    set32(image, at + 8, s.virtualsize);
    set32(image, at + 12, s.virtualaddress);
    set32(image, at + 16, s.rawsize);
    set32(image, at + 20, s.rawoffset);
}

} // namespace

PeImage readpeimage(const std::string& image) {
    PeImage pe;
    if (!inside(image, 0, kDosLfanewOffset + 4) || image.compare(0, 2, "MZ") != 0)
        throw BuildError("it has no MZ header");
    std::size_t signature = get32(image, kDosLfanewOffset);
    if (!inside(image, signature, kPeSignatureSize + kCoffHeaderSize) ||
        image.compare(signature, kPeSignatureSize, std::string("PE\0\0", 4)) != 0)
        throw BuildError("it has no PE header");
    std::size_t coff = signature + kPeSignatureSize;
    pe.optional = coff + kCoffHeaderSize;
    unsigned optionalsize = get16(image, coff + kCoffOptionalSizeOffset);
    unsigned count = get16(image, coff + 2);
    if (optionalsize < kOptionalDirectories || !inside(image, pe.optional, optionalsize))
        throw BuildError("its optional header is too short for the data directories");
    std::uint32_t directories = get32(image, pe.optional + kOptionalDirectoryCount);
    if (directories <= kDirectoryRelocations ||
        directories > (optionalsize - kOptionalDirectories) / kDirectoryEntrySize)
        throw BuildError(
            "its optional header holds " + std::to_string(directories) +
            " data directories, not 6 to " +
            std::to_string((optionalsize - kOptionalDirectories) / kDirectoryEntrySize));
    for (std::uint32_t k = 0; k < directories * 2; ++k)
        pe.directories.push_back(get32(image, pe.optional + kOptionalDirectories + 4 * k));
    pe.filealignment = get32(image, pe.optional + kOptionalFileAlignment);
    pe.sectionalignment = get32(image, pe.optional + kOptionalSectionAlignment);
    if (!poweroftwo(pe.filealignment) || pe.filealignment < kFileAlignmentMinimum ||
        pe.filealignment > kFileAlignmentMaximum || !poweroftwo(pe.sectionalignment) ||
        pe.sectionalignment < pe.filealignment)
        throw BuildError("its file alignment " + std::to_string(pe.filealignment) +
                         " or section alignment " + std::to_string(pe.sectionalignment) +
                         " is not valid");
    if (count > kSectionLimit)
        throw BuildError("it has " + std::to_string(count) +
                         " sections; the loader takes at most " +
                         std::to_string(int(kSectionLimit)));
    pe.table = pe.optional + optionalsize;
    if (!inside(image, pe.table, std::uint64_t(count) * kSectionHeaderSize))
        throw BuildError("its section table runs past the end of the file");
    for (unsigned i = 0; i < count; ++i) {
        PeSection s = readsection(image, pe.table + i * kSectionHeaderSize);
        if (!inside(image, s.rawoffset, s.rawsize))
            throw BuildError("its section " + s.name + " runs past the end of the file");
        pe.sections.push_back(s);
    }
    return pe;
}

int resourcesection(const PeImage& pe) {
    std::uint32_t rva = pe.directoryrva(kDirectoryResources);
    if (rva == 0) return -1;
    for (std::size_t i = 0; i < pe.sections.size(); ++i)
        if (pe.sections[i].virtualaddress == rva) {
            if (pe.directorysize(kDirectoryResources) > pe.sections[i].virtualsize)
                throw BuildError("its resource directory is larger than its section");
            return static_cast<int>(i);
        }
    throw BuildError("its resource directory does not begin a section");
}

std::string sectionbytes(const std::string& image, const PeSection& section) {
    std::uint32_t size =
        section.virtualsize == 0 ? section.rawsize : std::min(section.rawsize, section.virtualsize);
    return image.substr(section.rawoffset, size);
}

std::string replaceresources(const std::string& image, const PeImage& pe,
                             const std::string& resources) {
    int r = resourcesection(pe);
    if (r < 0) throw BuildError("it has no resources");
    if (pe.directoryrva(kDirectoryCertificates) != 0)
        throw BuildError("it is signed; brand the stub before signing it");
    const PeSection& last = pe.sections.back();
    if (image.size() != std::uint64_t(last.rawoffset) + last.rawsize)
        throw BuildError("its last section does not end the file");
    std::vector<PeSection> sections = pe.sections;
    // Everything in front of the section is copied as it is; nothing of it may lie behind.
    bool infront = pe.table + sections.size() * kSectionHeaderSize <= sections[r].rawoffset;
    for (int i = 0; i < r; ++i)
        infront = infront && (sections[i].rawsize == 0 ||
                              std::uint64_t(sections[i].rawoffset) + sections[i].rawsize <=
                                  sections[r].rawoffset);
    if (!infront)
        throw BuildError("its headers and the sections before its resource section do not all "
                         "lie in front of it in the file");
    for (std::size_t i = r + 1; i < sections.size(); ++i)
        if (sections[i].virtualaddress != pe.directoryrva(kDirectoryRelocations) ||
            sections[i].rawoffset < sections[i - 1].rawoffset + sections[i - 1].rawsize)
            throw BuildError("its resource section is followed by " + sections[i].name +
                             ", which cannot move");

    PeSection& rsrc = sections[r];
    std::string out = image.substr(0, rsrc.rawoffset);
    rsrc.virtualsize = static_cast<std::uint32_t>(resources.size());
    rsrc.rawsize = alignup(resources.size(), pe.filealignment);
    out += resources;
    out.resize(out.size() + rsrc.rawsize - resources.size(), '\0');
    std::vector<std::uint32_t> directories = pe.directories;
    directories[kDirectoryResources * 2 + 1] = rsrc.virtualsize;
    for (std::size_t i = r + 1; i < sections.size(); ++i) {
        PeSection& s = sections[i];
        std::string raw = image.substr(s.rawoffset, s.rawsize);
        s.rawoffset = static_cast<std::uint32_t>(out.size());
        std::uint32_t moved = alignup(std::uint64_t(sections[i - 1].virtualaddress) +
                                          std::max(sections[i - 1].virtualsize, 1u),
                                      pe.sectionalignment);
        directories[kDirectoryRelocations * 2] = moved;
        s.virtualaddress = moved;
        out += raw;
    }

    std::uint32_t initialized = 0;
    for (std::size_t i = 0; i < sections.size(); ++i) {
        writesection(out, pe.table + i * kSectionHeaderSize, sections[i]);
        if (sections[i].characteristics & kSectionInitializedData)
            initialized += sections[i].rawsize;
    }
    for (std::size_t k = 0; k < directories.size(); ++k)
        set32(out, pe.optional + kOptionalDirectories + 4 * k, directories[k]);
    set32(out, pe.optional + kOptionalInitializedSize, initialized);
    set32(out, pe.optional + kOptionalImageSize,
          alignup(std::uint64_t(sections.back().virtualaddress) + sections.back().virtualsize,
                  pe.sectionalignment));
    // A linker that wrote no checksum is followed; otherwise the checksum is brought up to date.
    if (get32(image, pe.optional + kOptionalChecksum) != 0)
        set32(out, pe.optional + kOptionalChecksum,
              pechecksum(out, pe.optional + kOptionalChecksum));
    return out;
}

std::uint32_t pechecksum(const std::string& image, std::size_t checksumat) {
    std::string counted = image;
    if (checksumat + 4 <= counted.size()) set32(counted, checksumat, 0);
    if (counted.size() % 2) counted.push_back('\0');
    std::uint64_t sum = 0;
    for (std::size_t at = 0; at < counted.size(); at += 2) {
        sum += get16(counted, at);
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    return static_cast<std::uint32_t>(sum + image.size());
}
