// Clamping an archive's time stamps in place: DOS times and the time extra fields.
#include "tools/zip/ziptimes.h"

#include "tools/base/littleendian.h"
#include "tools/zip/ziplimits.h"
#include "tools/zip/zipmember.h"

#include "platform/filetime.h"

namespace {

void clampunix32(std::string& data, std::size_t at, std::int64_t latest) {
    if (static_cast<std::int64_t>(get32(data, at)) > latest)
        set32(data, at, static_cast<std::uint32_t>(latest));
}

void clampfiletime(std::string& data, std::size_t at, std::int64_t latest) {
    std::uint64_t value = get32(data, at) | std::uint64_t(get32(data, at + 4)) << 32;
    std::uint64_t limit = (std::uint64_t(latest) + platform::kFiletimeUnixEpochSeconds) *
                          platform::kFiletimeTicksPerSecond;
    if (value <= limit) return;
    set32(data, at, static_cast<std::uint32_t>(limit));
    set32(data, at + 4, static_cast<std::uint32_t>(limit >> 32));
}

// The position in data of a field's first data byte.
std::size_t position(const std::string& data, const ExtraField& field) {
    return static_cast<std::size_t>(field.data - bytesat(data, 0));
}

// The NTFS field: reserved bytes, then attributes laid out as extra fields.
void clampntfs(std::string& data, const ExtraField& ntfs, std::int64_t latest) {
    if (ntfs.size < kNtfsReserved) return;
    ExtraCursor walk = {ntfs.data + kNtfsReserved, ntfs.size - kNtfsReserved};
    ExtraField attribute;
    while (nextextrafield(&walk, &attribute))
        if (attribute.tag == kNtfsTimesTag && attribute.size >= kNtfsTimesSize)
            for (int i = 0; i < 3; ++i)
                clampfiletime(data, position(data, attribute) + 8 * i, latest);
}

// The extended time stamp: a flag byte, then a time for each flag while the field lasts.
void clampextendedtime(std::string& data, const ExtraField& field, std::int64_t latest) {
    if (field.size < 1) return;
    std::size_t time = 1;
    for (unsigned bit = 0; bit < 3; ++bit)
        if ((field.data[0] & (1u << bit)) && time + 4 <= field.size) {
            clampunix32(data, position(data, field) + time, latest);
            time += 4;
        }
}

// Walks the extra field of size bytes at at.
void clampextra(std::string& data, std::size_t at, std::size_t size, std::int64_t latest) {
    ExtraCursor walk = {bytesat(data, at), static_cast<unsigned>(size)};
    ExtraField field;
    while (nextextrafield(&walk, &field)) {
        if (field.tag == kExtraExtendedTime) {
            clampextendedtime(data, field, latest);
        } else if (field.tag == kExtraOldUnix && field.size >= kUnixTimesSize) {
            clampunix32(data, position(data, field) + kUnixAccessTime, latest);
            clampunix32(data, position(data, field) + kUnixModificationTime, latest);
        } else if (field.tag == kExtraNtfs) {
            clampntfs(data, field, latest);
        }
    }
}

void clampdostime(std::string& data, std::size_t at, std::uint32_t latest) {
    if (get32(data, at) <= latest) return;
    set32(data, at, latest);
}

} // namespace

std::size_t clamparchivetimes(std::string& data, const ZipArchive& archive, std::int64_t latest) {
    std::uint32_t latestdos = dosdatetime(latest, true);
    // DOS headers keep the time in the low 16 bits and the date in the high ones, which
    // orders them like the times they stand for.
    std::size_t kept = 0;
    for (const ZipEntry& e : archive.entries) {
        std::size_t local = static_cast<std::size_t>(e.offset + archive.prefix);
        if (local + kLocalHeaderSize > data.size()) continue; // checkforstub refuses these
        bool timecheck = (e.flags & kFlagEncrypted) && (e.flags & kFlagDataDescriptor);
        if (timecheck)
            ++kept;
        else {
            clampdostime(data, e.centralat + kCentralDosTime, latestdos);
            clampdostime(data, local + kLocalDosTime, latestdos);
        }
        std::size_t cname = get16(data, e.centralat + kCentralNameLength);
        std::size_t cextra = get16(data, e.centralat + kCentralExtraLength);
        clampextra(data, e.centralat + kCentralHeaderSize + cname, cextra, latest);
        std::size_t lname = get16(data, local + kLocalNameLength);
        std::size_t lextra = get16(data, local + kLocalExtraLength);
        if (local + kLocalHeaderSize + lname + lextra > data.size()) continue;
        clampextra(data, local + kLocalHeaderSize + lname, lextra, latest);
    }
    return kept;
}
