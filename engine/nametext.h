// Member names as the engine holds them: a stored name turned into name text by the rules of
// the member's header and host.
//
// The member loop and the setup dialog's file list share this conversion, so that the list
// shows exactly the names the engine extracts (and looks up in the list). Both read a name
// the same way: at most kNameBuffer - 1 bytes are kept and the rest is skipped (`cut`), and
// the extra field behind it is read before it is converted, because a Unicode path field
// there may replace it. Name text (platform/codepage.h) grows to at most kNameText bytes,
// the "/" that a folder marked by its attributes gets included.
#pragma once

#include "common/pathlimits.h"
#include "platform/codepage.h"

enum NameSizes {
    kNameBuffer = 260, // a stored name: at most 259 bytes kept, and a NUL
    kFolderMark = 1,   // the "/" that markfolder may put behind a name
    // A stored name as name text: its largest growth, a folder mark and a NUL.
    kNameText = (kNameBuffer - 1) * platform::kNameGrowth + kFolderMark + 1,
};

// A stored name and what decides its encoding.
struct StoredName {
    const char* bytes;          // as stored; need not end in a NUL
    unsigned length;            // bytes kept
    bool cut;                   // bytes were cut off behind them
    unsigned flags;             // the header's general purpose flags
    const unsigned char* extra; // the same header's extra field (may hold 0x7075)
    unsigned extralength;
};

// Who made a member and what it holds, as its central header says: it decides whether the
// member's names are OEM text and whether the member is a volume label or a folder.
struct MemberOrigin {
    unsigned version;  // version made by
    unsigned host;     // host system made by
    unsigned external; // external attributes
    bool nodata;       // compressed and uncompressed size are both 0
};

// The header a name was read from: the OEM rule differs between them for some versions.
enum NameHeader { kCentralName = 0, kLocalName = 1 };

// The bytes of a stored name of `length` bytes that the engine keeps; the rest is skipped.
inline unsigned keptnamelength(unsigned length) {
    return length < kNameBuffer ? length : kNameBuffer - 1;
}

// A member with the volume-label attribute, made on a host that has volume labels.
bool isvolumelabel(const MemberOrigin& origin);

// The folder rule. An entry is a folder when its name ends in a separator, or when it is
// marked as one by its attributes alone: made on a DOS-like host, with the DOS folder
// attribute and no data (archivers of MS-DOS store folders so, without the "/"). The name
// text of such an entry gets the "/" it lacks (markfolder), so every reader of name text (the
// name mapping, the setup dialog's list, orvsfx) tells a folder by its trailing separator.
// DOS-like hosts are those whose external attributes carry the DOS attribute byte: FAT
// (MS-DOS, OS/2, Windows), Atari ST, OS/2 HPFS, NTFS and VFAT.
bool isattributefolder(const MemberOrigin& origin);

// Puts "/" behind text (length bytes; room for one more and a NUL) when origin marks a folder
// by its attributes and the name does not end in a separator yet. Returns the new length.
unsigned markfolder(const MemberOrigin& origin, char* text, unsigned length);

// The UTF-8 name that an Info-ZIP Unicode path field (0x7075) in extra gives a stored name of
// `length` bytes, when the field is one the engine takes: version 1, the CRC-32 of the stored
// name, a name of at most kNameBuffer - 1 bytes; a stored name longer than the engine keeps
// has none. The name lies in extra. The CRC tables must be built (engine/crc32.h).
bool unicodepathname(const char* stored, unsigned length, const unsigned char* extra,
                     unsigned extralength, const char** utf8, unsigned* utf8length);

// The name text of a stored name read from `header` into out (kNameText bytes): the UTF-8
// name of a matching Unicode path extra field, else the stored bytes as UTF-8 (flag bit 11),
// as OEM text (the host's rule), or as the system takes unmarked names; a volume label then
// loses the dot behind its eighth character, and a folder marked by its attributes gains a
// "/" (markfolder). Returns its length; *utf8name, when asked for, tells whether the name was
// read as UTF-8 (from the field or under bit 11). For a central name this is the name the
// member loop offers to the file list, extracts to and reports, and the name the setup
// dialog's list shows.
unsigned membernametext(const StoredName& name, const MemberOrigin& origin, NameHeader header,
                        char* out, bool* utf8name = nullptr);
