// Name text of stored member names: which encoding a stored name is in, and its conversion
// into the engine's name text (platform/codepage.h) once, when it is read.
//
// Three marks decide, in this order:
// 1. An Info-ZIP Unicode path extra field (tag 0x7075) of version 1 whose CRC-32 equals the
//    CRC-32 of the stored name: its UTF-8 name replaces the stored one. A field with another
//    version or CRC (the name was changed by a tool that did not know the field) is ignored,
//    and so is one whose name is longer than the engine takes (kNameBuffer - 1 bytes) or
//    that belongs to a stored name that had to be cut (its CRC cannot be checked).
//      0 u16 tag 0x7075   2 u16 data length   4 u8 version (1)   5 u32 CRC-32 of the name
//      9 the UTF-8 name, data length - 5 bytes
// 2. General purpose bit 11: the stored name is UTF-8.
// 3. Otherwise the host's rule: OEM text for DOS-like hosts; the rest as they stand, which on
//    POSIX means UTF-8 when the bytes are valid UTF-8 (platform/codepage.h).
// Invalid UTF-8 never stops a name: each refused byte becomes "_" (platform/utf8.h).
//
// A volume label of a DOS-like host is stored as an 8.3 name; its dot is dropped, so that
// the label's eleven characters stand together. A folder marked only by its attributes gets
// the trailing "/" that other writers store (nametext.h).
#include "engine/nametext.h"

#include "common/ascii.h"
#include "common/byteorder.h"
#include "common/zipformat.h"
#include "engine/crc32.h"

#include <string.h>

namespace {

enum { kLabelDot = 8 }; // where an 8.3 volume label keeps its dot

// Finds a usable Unicode path field of name; false when there is none. Inlined into the
// conversion, which the stub calls for every name (unicodepathname is for the front-ends).
inline __attribute__((always_inline)) bool unicodepath(const StoredName& name, const char** utf8,
                                                       unsigned* length) {
    if (name.cut) return false;
    ExtraCursor walk = {name.extra, name.extralength};
    ExtraField field;
    while (nextextrafield(&walk, &field)) {
        if (field.tag == kExtraUnicodePath && field.size >= kUnicodePathFixed &&
            field.data[0] == kUnicodePathVersion && field.size - kUnicodePathFixed < kNameBuffer &&
            get32(field.data + kUnicodePathCrc) ==
                updatecrc(0, reinterpret_cast<const unsigned char*>(name.bytes), name.length)) {
            *utf8 = reinterpret_cast<const char*>(field.data + kUnicodePathFixed);
            *length = field.size - kUnicodePathFixed;
            return true;
        }
    }
    return false;
}

// The host's rule: true when the member's names are OEM text. FAT-host names of versions
// 2.5, 2.6 and 4.0 are ANSI in local headers, and in central ones when the member carries
// host attributes in the high bits of its external attributes.
bool oemname(const MemberOrigin& origin, NameHeader header) {
    unsigned made = origin.version;
    if (origin.host == kHostFat) {
        bool hostattributes = (origin.external >> 16) != 0;
        return !((header == kLocalName || hostattributes) &&
                 (made == 25 || made == 26 || made == 40));
    }
    return origin.host == kHostHpfs || (origin.host == kHostNtfs && made == 50);
}

// The name converted into out, which has room for size bytes; *utf8name tells whether it was
// read as UTF-8.
unsigned nametext(const StoredName& name, bool fromoem, char* out, unsigned size, bool* utf8name) {
    const char* utf8 = nullptr;
    unsigned length = 0;
    *utf8name = true;
    if (unicodepath(name, &utf8, &length)) return platform::utf8toname(utf8, length, out, size);
    if (name.flags & kFlagUtf8) return platform::utf8toname(name.bytes, name.length, out, size);
    *utf8name = false;
    if (fromoem) return platform::oemtoname(name.bytes, name.length, out, size);
    return platform::unmarkedtoname(name.bytes, name.length, out, size);
}

bool dosattributehost(unsigned host) {
    return host == kHostFat || host == kHostAtari || host == kHostHpfs || host == kHostNtfs ||
           host == kHostVfat;
}

} // namespace

bool unicodepathname(const char* stored, unsigned length, const unsigned char* extra,
                     unsigned extralength, const char** utf8, unsigned* utf8length) {
    StoredName name = {stored, length, length >= kNameBuffer, 0, extra, extralength};
    return unicodepath(name, utf8, utf8length);
}

bool isvolumelabel(const MemberOrigin& origin) {
    bool labelhost = origin.host == kHostFat || origin.host == kHostAtari ||
                     origin.host == kHostHpfs || origin.host == kHostNtfs;
    return (origin.external & kDosVolumeLabel) && labelhost;
}

bool isattributefolder(const MemberOrigin& origin) {
    return dosattributehost(origin.host) && (origin.external & kDosDirectory) && origin.nodata;
}

unsigned markfolder(const MemberOrigin& origin, char* text, unsigned length) {
    if (!isattributefolder(origin) || length == 0 || isseparator(text[length - 1])) return length;
    text[length++] = '/';
    text[length] = 0;
    return length;
}

unsigned membernametext(const StoredName& name, const MemberOrigin& origin, NameHeader header,
                        char* out, bool* utf8name) {
    bool utf8 = false;
    unsigned length = nametext(name, oemname(origin, header), out, kNameText - kFolderMark, &utf8);
    if (utf8name) *utf8name = utf8;
    if (isvolumelabel(origin) && length > kLabelDot && out[kLabelDot] == '.') {
        memmove(out + kLabelDot, out + kLabelDot + 1, length - kLabelDot);
        --length;
    }
    return markfolder(origin, out, length);
}
