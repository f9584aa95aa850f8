// Reading an existing archive's directory, the stub's limits, and rebasing into a package.
//
// The reader trusts nothing: every record is bounds-checked against the data before a field
// is read, so a truncated or damaged file gives a one-line refusal and never a read outside
// the buffer.
#include "tools/zip/zipreader.h"

#include "tools/base/builderror.h"
#include "tools/base/littleendian.h"
#include "tools/zip/memberneeds.h"
#include "tools/zip/ziplimits.h"

#include <algorithm>

namespace {

bool hasbytes(const std::string& data, std::size_t at, std::size_t n) {
    return at <= data.size() && n <= data.size() - at;
}

// Reads the central header at at into entry; returns the position after it, or 0 when the
// header is not there or does not fit below limit.
std::size_t readcentral(const std::string& data, std::size_t at, std::size_t limit,
                        ZipEntry& entry) {
    if (at + kCentralHeaderSize > limit || get32(data, at) != kCentralSignature) return 0;
    std::size_t namelength = get16(data, at + kCentralNameLength);
    std::size_t extralength = get16(data, at + kCentralExtraLength);
    std::size_t commentlength = get16(data, at + kCentralCommentLength);
    std::size_t end = at + kCentralHeaderSize + namelength + extralength + commentlength;
    if (end > limit) return 0;
    entry.madeby = get16(data, at + kCentralVersionMadeBy);
    entry.needed = get16(data, at + kCentralVersionNeeded);
    entry.flags = get16(data, at + kCentralFlags);
    entry.method = get16(data, at + kCentralMethod);
    entry.dostime = get32(data, at + kCentralDosTime);
    entry.crc = get32(data, at + kCentralCrc);
    entry.packed = get32(data, at + kCentralCompressedSize);
    entry.size = get32(data, at + kCentralUncompressedSize);
    entry.disk = get16(data, at + kCentralDiskStart);
    entry.external = get32(data, at + kCentralExternal);
    entry.offset = get32(data, at + kCentralLocalOffset);
    entry.name = data.substr(at + kCentralHeaderSize, namelength);
    entry.extra = data.substr(at + kCentralHeaderSize + namelength, extralength);
    entry.centralat = at;
    return end;
}

// Reads the end record at at and the directory it describes; false when this is not a
// usable end record (a signature inside a comment or inside member data, for instance).
bool readdirectory(const std::string& data, std::size_t at, ZipArchive& archive) {
    archive = ZipArchive();
    unsigned commentlength = get16(data, at + kEndCommentLength);
    if (at + kEndRecordSize + commentlength > data.size()) return false;
    archive.endat = at;
    archive.endsize = kEndRecordSize + commentlength;
    archive.disk = get16(data, at + kEndThisDisk);
    archive.centraldisk = get16(data, at + kEndCentralDisk);
    archive.diskentries = get16(data, at + kEndEntriesOnDisk);
    unsigned total = get16(data, at + kEndEntriesTotal);
    archive.centralsize = get32(data, at + kEndCentralSize);
    archive.centraloffset = get32(data, at + kEndCentralOffset);
    archive.comment = data.substr(at + kEndRecordSize, commentlength);
    archive.zip64 = (at >= kZip64LocatorSize &&
                     get32(data, at - kZip64LocatorSize) == kZip64LocatorSignature) ||
                    total == kZip64Marker16 || archive.centralsize == kZip64Marker32 ||
                    archive.centraloffset == kZip64Marker32;

    if (archive.zip64) return true; // the real values are in the ZIP64 record, refused later
    std::int64_t expected = std::int64_t(archive.centraloffset) + archive.centralsize;
    archive.prefix = std::int64_t(at) - expected;
    if (archive.prefix < 0) return false;
    std::size_t position = archive.centraloffset + static_cast<std::size_t>(archive.prefix);
    for (unsigned i = 0; i < total; ++i) {
        ZipEntry entry;
        position = readcentral(data, position, at, entry);
        if (position == 0) return false;
        archive.entries.push_back(entry);
    }
    return position == at;
}

// The member's local header: present, in front of the directory, its data too; returns its
// extra field.
std::string localextra(const std::string& data, const ZipArchive& archive, const ZipEntry& entry) {
    std::size_t centralat = archive.centraloffset + static_cast<std::size_t>(archive.prefix);
    std::size_t at = entry.offset + static_cast<std::size_t>(archive.prefix);
    if (entry.offset == kZip64Marker32 || !hasbytes(data, at, kLocalHeaderSize) ||
        at + kLocalHeaderSize > centralat || get32(data, at) != kLocalSignature)
        throw BuildError(entry.name + ": no local header where the directory says");
    std::size_t namelength = get16(data, at + kLocalNameLength);
    std::size_t extralength = get16(data, at + kLocalExtraLength);
    std::size_t end = at + kLocalHeaderSize + namelength + extralength;
    if (end > centralat || (entry.packed != kZip64Marker32 && entry.packed > centralat - end))
        throw BuildError(entry.name + ": the member's data runs into the central directory");
    return data.substr(at + kLocalHeaderSize + namelength, extralength);
}

void checkentry(const std::string& data, const ZipArchive& archive, const ZipEntry& entry) {
    const std::string& name = entry.name;
    if (name.size() >= kNameLimit)
        throw BuildError("a member name has " + std::to_string(name.size()) +
                         " bytes; the stub takes at most " + std::to_string(kNameLimit - 1));
    if (entry.disk != 0)
        throw BuildError(name + ": multi-disk archives are not supported by the stub");
    // An offset of all ones is a ZIP64 one: it leads to no local header.
    std::string local = entry.offset == kZip64Marker32 ? "" : localextra(data, archive, entry);
    std::string need = unmetneed(entry, "the stub", local);
    if (!need.empty()) throw BuildError(name + ": " + need);
}

} // namespace

ZipArchive readziparchive(const std::string& data) {
    if (data.size() < kEndRecordSize) throw BuildError("not a ZIP archive: the file is too short");
    std::size_t lowest = data.size() > kDialogEndWindow ? data.size() - kDialogEndWindow : 0;
    ZipArchive archive;
    bool seen = false;
    bool found = false;
    for (std::size_t at = data.size() - kEndRecordSize + 1; !found && at-- > lowest;) {
        if (get32(data, at) != kEndSignature) continue;
        seen = true;
        found = readdirectory(data, at, archive);
    }
    if (!found && !seen) throw BuildError("not a ZIP archive: no end-of-central-directory record");
    if (!found)
        throw BuildError("damaged ZIP archive: its central directory is not where the end "
                         "record says, or is truncated");
    archive.start = archive.centraloffset + static_cast<std::size_t>(archive.prefix);
    for (const ZipEntry& entry : archive.entries)
        archive.start = std::min<std::size_t>(
            archive.start, entry.offset + static_cast<std::size_t>(archive.prefix));
    return archive;
}

void checkforstub(const std::string& data, const ZipArchive& archive) {
    if (archive.zip64) throw BuildError("ZIP64 archives are not supported by the stub");
    if (archive.disk != 0 || archive.centraldisk != 0 ||
        archive.diskentries != archive.entries.size())
        throw BuildError("multi-disk (spanned or split) archives are not supported by the stub");
    if (archive.comment.find(kEndSignatureBytes) != std::string::npos)
        throw BuildError("the archive comment contains an end-record signature (PK 5 6), which "
                         "would hide the real end record from the stub");
    for (const ZipEntry& entry : archive.entries) checkentry(data, archive, entry);
}

std::string rebasearchive(const std::string& data, const ZipArchive& archive,
                          std::uint64_t position) {
    std::size_t end = archive.endat + archive.endsize;
    std::string out = data.substr(archive.start, end - archive.start);
    if (position + out.size() > kPackageSizeLimit)
        throw BuildError("the package would pass 2 GiB, which the stub cannot address");
    // stored offset + prefix is the file position; minus start is the position in out.
    std::int64_t shift = archive.prefix - std::int64_t(archive.start) + std::int64_t(position);
    for (const ZipEntry& entry : archive.entries)
        set32(out, entry.centralat - archive.start + kCentralLocalOffset,
              static_cast<std::uint32_t>(entry.offset + shift));
    set32(out, archive.endat - archive.start + kEndCentralOffset,
          static_cast<std::uint32_t>(archive.centraloffset + shift));
    return out;
}
