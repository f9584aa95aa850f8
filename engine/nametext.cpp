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
#include "engine/enginestate.h"

#include "common/byteorder.h"
#include "engine/crc32.h"

#include <string.h>

namespace {

enum UnicodePathField {
    kUnicodePathTag = 0x7075,
    kUnicodePathVersion = 1,
    kBlockHeader = 4,      // tag and data length
    kUnicodePathFixed = 5, // version and CRC-32 in front of the name
};

// Finds a usable Unicode path field of name; false when there is none.
bool unicodepath(const StoredName& name, const char** utf8, unsigned* length) {
    if (name.cut || !name.extra) return false;
    const unsigned char* p = name.extra;
    unsigned left = name.extralength;
    while (left >= kBlockHeader) {
        unsigned tag = get16(p), size = get16(p + 2);
        if (size > left - kBlockHeader) return false;
        const unsigned char* data = p + kBlockHeader;
        if (tag == kUnicodePathTag && size >= kUnicodePathFixed && data[0] == kUnicodePathVersion &&
            size - kUnicodePathFixed < kNameBuffer &&
            get32(data + 1) ==
                updatecrc(0, reinterpret_cast<const unsigned char*>(name.bytes), name.length)) {
            *utf8 = reinterpret_cast<const char*>(data + kUnicodePathFixed);
            *length = size - kUnicodePathFixed;
            return true;
        }
        p = data + size;
        left -= kBlockHeader + size;
    }
    return false;
}

} // namespace

unsigned nametext(const StoredName& name, char* out, unsigned size) {
    const char* utf8 = nullptr;
    unsigned length = 0;
    if (unicodepath(name, &utf8, &length)) return platform::utf8toname(utf8, length, out, size);
    if (name.flags & kFlagUtf8) return platform::utf8toname(name.bytes, name.length, out, size);
    if (name.fromoem) return platform::oemtoname(name.bytes, name.length, out, size);
    return platform::unmarkedtoname(name.bytes, name.length, out, size);
}
