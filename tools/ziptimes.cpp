// Clamping an archive's time stamps in place: DOS times and the time extra fields.
#include "tools/ziptimes.h"

#include "tools/littleendian.h"
#include "tools/zipformat.h"
#include "tools/zipwriter.h"

namespace {

const std::uint64_t kFiletimeUnixOffset = 11644473600ull; // seconds from 1601 to 1970
const std::uint64_t kFiletimeTicks = 10000000ull;         // 100-ns ticks per second

void clampunix32(std::string& data, std::size_t at, std::int64_t latest) {
    if (static_cast<std::int64_t>(get32(data, at)) > latest)
        set32(data, at, static_cast<std::uint32_t>(latest));
}

void clampfiletime(std::string& data, std::size_t at, std::int64_t latest) {
    std::uint64_t value = get32(data, at) | std::uint64_t(get32(data, at + 4)) << 32;
    std::uint64_t limit = (std::uint64_t(latest) + kFiletimeUnixOffset) * kFiletimeTicks;
    if (value <= limit) return;
    set32(data, at, static_cast<std::uint32_t>(limit));
    set32(data, at + 4, static_cast<std::uint32_t>(limit >> 32));
}

// The NTFS field: 4 reserved bytes, then attributes as tag, size, data.
void clampntfs(std::string& data, std::size_t at, std::size_t size, std::int64_t latest) {
    for (std::size_t pos = 4; pos + 4 <= size;) {
        unsigned tag = get16(data, at + pos), length = get16(data, at + pos + 2);
        if (pos + 4 + length > size) return;
        if (tag == kNtfsTimesTag && length >= kNtfsTimesSize)
            for (int i = 0; i < 3; ++i) clampfiletime(data, at + pos + 4 + 8 * i, latest);
        pos += 4 + length;
    }
}

// Walks the extra field of size bytes at at; a field cut short ends the walk.
void clampextra(std::string& data, std::size_t at, std::size_t size, std::int64_t latest) {
    for (std::size_t pos = 0; pos + 4 <= size;) {
        unsigned tag = get16(data, at + pos), length = get16(data, at + pos + 2);
        std::size_t body = at + pos + 4;
        if (pos + 4 + length > size) return;
        if (tag == kExtendedTimeTag && length >= 1) {
            unsigned flags = static_cast<unsigned char>(data[body]);
            std::size_t time = 1;
            for (unsigned bit = 0; bit < 3; ++bit)
                if ((flags & (1u << bit)) && time + 4 <= length) {
                    clampunix32(data, body + time, latest);
                    time += 4;
                }
        } else if (tag == kExtraOldUnixTag && length >= 8) {
            clampunix32(data, body, latest);
            clampunix32(data, body + 4, latest);
        } else if (tag == kExtraNtfsTag) {
            clampntfs(data, body, length, latest);
        }
        pos += 4 + length;
    }
}

void clampdostime(std::string& data, std::size_t at, std::uint32_t latest) {
    std::uint32_t stored = get16(data, at) | std::uint32_t(get16(data, at + 2)) << 16;
    if (stored <= latest) return;
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
            clampdostime(data, e.centralat + 12, latestdos);
            clampdostime(data, local + 10, latestdos);
        }
        std::size_t cname = get16(data, e.centralat + 28), cextra = get16(data, e.centralat + 30);
        clampextra(data, e.centralat + kCentralHeaderSize + cname, cextra, latest);
        std::size_t lname = get16(data, local + 26), lextra = get16(data, local + 28);
        if (local + kLocalHeaderSize + lname + lextra > data.size()) continue;
        clampextra(data, local + kLocalHeaderSize + lname, lextra, latest);
    }
    return kept;
}
