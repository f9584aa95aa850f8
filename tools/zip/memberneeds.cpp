// What a member needs that the engine does not have (see memberneeds.h).
//
// The method names are those of the PKWARE application note's method table; the short names
// are what a listing's method column shows.
#include "tools/zip/memberneeds.h"

#include "common/zipformat.h"
#include "engine/enginestate.h"
#include "tools/base/littleendian.h"

#include <iterator>

namespace {

struct MethodName {
    unsigned method;
    const char* shortname; // the listing's column
    const char* longname;  // in a reason: "uses <longname> compression"
};

const MethodName kMethodNames[] = {
    {kMethodStored, "stored", "stored"},
    {1, "shrink", "Shrink"},
    {2, "reduce1", "Reduce"},
    {3, "reduce2", "Reduce"},
    {4, "reduce3", "Reduce"},
    {5, "reduce4", "Reduce"},
    {6, "implode", "Implode"},
    {kMethodDeflate, "deflate", "Deflate"},
    {kMethodDeflate64, "deflate64", "Deflate64"},
    {10, "dcl", "PKWARE DCL Implode"},
    {12, "bzip2", "bzip2"},
    {kMethodLzma, "lzma", "LZMA"},
    {16, "cmpsc", "IBM z/OS CMPSC"},
    {18, "terse", "IBM TERSE"},
    {19, "lz77", "IBM LZ77 z"},
    {20, "zstd", "Zstandard"}, // its first number, given up for 93
    {93, "zstd", "Zstandard"},
    {94, "mp3", "MP3"},
    {95, "xz", "xz"},
    {96, "jpeg", "JPEG"},
    {97, "wavpack", "WavPack"},
    {98, "ppmd", "PPMd"},
    {kMethodAes, "aes", "AES"},
};

const MethodName* findmethod(unsigned method) {
    for (const MethodName& m : kMethodNames)
        if (m.method == method) return &m;
    return nullptr;
}

bool findfield(const std::string& extra, unsigned tag, ExtraField* field) {
    return findextrafield(bytesat(extra, 0), static_cast<unsigned>(extra.size()), tag, field);
}

// "AES-256" when the AES field tells the key strength, else "AES".
std::string aesname(const ZipEntry& entry) {
    const unsigned kKeyBits[] = {128, 192, 256}; // of key strengths 1, 2 and 3
    ExtraField field;
    if (!findfield(entry.extra, kExtraAes, &field) || field.size < kAesFieldSize) return "AES";
    unsigned strength = field.data[kAesStrength];
    if (strength == 0 || strength > std::size(kKeyBits)) return "AES";
    return "AES-" + std::to_string(kKeyBits[strength - 1]);
}

std::string encryptionneed(const std::string& cipher, const std::string& program) {
    return "is encrypted with " + cipher + ", which " + program + " does not decrypt";
}

// A field of all ones, or the ZIP64 extra field in either header, means values kept in ZIP64
// records.
bool needszip64(const ZipEntry& entry, const std::string& localextra) {
    ExtraField field;
    return entry.packed == kZip64Marker32 || entry.size == kZip64Marker32 ||
           entry.offset == kZip64Marker32 || entry.disk == kZip64Marker16 ||
           findfield(entry.extra, kExtraZip64, &field) ||
           findfield(localextra, kExtraZip64, &field);
}

std::string version(unsigned v) {
    return std::to_string(v / 10) + "." + std::to_string(v % 10);
}

} // namespace

const char* methodname(unsigned method) {
    const MethodName* m = findmethod(method);
    return m ? m->shortname : "unknown";
}

std::string methodneed(unsigned method, const std::string& program) {
    if (decodesmethod(method)) return "";
    if (method == kMethodAes) return encryptionneed("AES", program);
    const MethodName* m = findmethod(method);
    std::string number = std::to_string(method);
    std::string uses =
        m ? "uses " + std::string(m->longname) + " compression (method " + number + ")"
          : "uses compression method " + number;
    return uses + ", which " + program + " does not extract";
}

std::string unmetneed(const ZipEntry& entry, const std::string& program,
                      const std::string& localextra) {
    if (entry.method == kMethodAes) return encryptionneed(aesname(entry), program);
    if (entry.flags & kFlagStrongEncryption)
        return encryptionneed("PKWARE strong encryption", program);
    if (!decodesmethod(entry.method)) return methodneed(entry.method, program);
    if (needszip64(entry, localextra))
        return "needs ZIP64 (sizes or offsets past 4 GiB), which " + program + " does not read";
    unsigned needed = entry.needed & 0xFF,
             limit = extractversionlimit(entry.needed >> 8, entry.method);
    if (needed > limit)
        return "needs version " + version(needed) + " to extract; " + program + " extracts up to " +
               version(limit);
    return "";
}
