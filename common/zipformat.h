// The ZIP format as this program reads and writes it: signatures, record layouts, flag and
// attribute bits, host systems, extra-field tags, the one extra-field walker and the windows
// in which the end record is searched.
//
// Records (all fields little-endian; offsets count from the record's first byte, so they
// include its 4-byte signature):
//
//   local header (30 bytes, then name, extra field and the member's data)
//      0 u32 signature "PK\3\4"   4 u16 version needed   6 u16 general flags   8 u16 method
//     10 u32 DOS time/date       14 u32 CRC-32         18 u32 compressed    22 u32 uncompressed
//     26 u16 name length         28 u16 extra length
//   central header (46 bytes, then name, extra field and comment; one per member)
//      0 u32 signature "PK\1\2"   4 u8 version made by    5 u8 host made by
//      6 u8 version needed        7 u8 its host           8 u16 general flags  10 u16 method
//     12 u32 DOS time/date       16 u32 CRC-32         20 u32 compressed    24 u32 uncompressed
//     28 u16 name length         30 u16 extra length   32 u16 comment length
//     34 u16 disk start          36 u16 internal attr  38 u32 external attr
//     42 u32 local header offset
//   end record (22 bytes, then the archive comment; last in the archive)
//      0 u32 signature "PK\5\6"   4 u16 this disk        6 u16 central directory's disk
//      8 u16 entries on this disk 10 u16 entries in all 12 u32 central directory size
//     16 u32 central directory offset                 20 u16 comment length
//   extra field: a sequence of fields, each u16 tag, u16 data size, then the data.
//
// The signature values are for host code. Stub code never compares with them: a constant in
// its code would put a complete signature into its image, where a reader of the package
// could take it for the archive's. It keeps only the tails below and completes them with
// "PK" at run time (completesignature).
//
// Portable and C-style: the stub's code includes it.
#pragma once

enum ZipSignature : unsigned {
    kLocalSignature = 0x04034B50,        // "PK\3\4"
    kCentralSignature = 0x02014B50,      // "PK\1\2"
    kEndSignature = 0x06054B50,          // "PK\5\6"
    kZip64LocatorSignature = 0x07064B50, // "PK\6\7", in front of a ZIP64 archive's end record
};

// A signature is "PK" and two bytes that name the record.
enum { kSignatureLength = 4 };

// The signatures with their first two bytes left zero, as stub code keeps them.
extern const unsigned char kLocalTail[kSignatureLength];
extern const unsigned char kCentralTail[kSignatureLength];
extern const unsigned char kEndTail[kSignatureLength];

// Writes the whole signature of `tail` (kSignatureLength bytes) into signature.
void completesignature(unsigned char* signature, const unsigned char* tail);

enum LocalHeaderLayout {
    kLocalVersionNeeded = 4,
    kLocalFlags = 6,
    kLocalMethod = 8,
    kLocalDosTime = 10,
    kLocalCrc = 14,
    kLocalCompressedSize = 18,
    kLocalUncompressedSize = 22,
    kLocalNameLength = 26,
    kLocalExtraLength = 28,
    kLocalHeaderSize = 30,
};
static_assert(kLocalExtraLength + 2 == kLocalHeaderSize, "the extra length is the last field");

enum CentralHeaderLayout {
    kCentralVersionMadeBy = 4,
    kCentralHostMadeBy = 5,
    kCentralVersionNeeded = 6,
    kCentralHostNeeded = 7,
    kCentralFlags = 8,
    kCentralMethod = 10,
    kCentralDosTime = 12,
    kCentralCrc = 16,
    kCentralCompressedSize = 20,
    kCentralUncompressedSize = 24,
    kCentralNameLength = 28,
    kCentralExtraLength = 30,
    kCentralCommentLength = 32,
    kCentralDiskStart = 34,
    kCentralInternal = 36,
    kCentralExternal = 38,
    kCentralLocalOffset = 42,
    kCentralHeaderSize = 46,
};
static_assert(kCentralLocalOffset + 4 == kCentralHeaderSize, "the offset is the last field");

enum EndRecordLayout {
    kEndThisDisk = 4,
    kEndCentralDisk = 6,
    kEndEntriesOnDisk = 8,
    kEndEntriesTotal = 10,
    kEndCentralSize = 12,
    kEndCentralOffset = 16,
    kEndCommentLength = 20,
    kEndRecordSize = 22,
    kZip64LocatorSize = 20, // the ZIP64 locator in front of the end record
};
static_assert(kEndCommentLength + 2 == kEndRecordSize, "the comment length is the last field");

// Limits of the 16-bit fields: name, extra field and comment lengths, entry counts.
enum ZipFieldLimits {
    kFieldLengthLimit = 0xFFFF,
    kCommentLimit = kFieldLengthLimit,
    kExtraLimit = kFieldLengthLimit,
    kEntryLimit = 0xFFFF,
};

// A 32-bit size or offset of all ones, or a 16-bit count of all ones, stands for a value
// kept in the ZIP64 records.
enum ZipSixtyFourMarkers : unsigned {
    kZip64Marker16 = 0xFFFF,
    kZip64Marker32 = 0xFFFFFFFF,
};

// Where the end record is searched, counted back from the end of the file. The engine
// searches the last 66,000 bytes. The setup dialog's file list reads the last 65,557: an
// end record with the longest comment, so a record whose comment ends the file is found,
// and nothing may be appended behind the archive (a signature of the package) beyond what
// the comment leaves of that window.
enum EndSearchWindows {
    kEngineEndWindow = 66000,
    kDialogEndWindow = kEndRecordSize + kCommentLimit,
};
static_assert(kDialogEndWindow == 65557, "the dialog reads the record and the longest comment");
static_assert(kEngineEndWindow > kDialogEndWindow, "the engine finds every record the dialog does");

// Compression methods the engine extracts, and the mark of WinZip AES encryption, which stands
// in the method field of an encrypted member (its real method lies in the 0x9901 field).
enum ZipMethod : unsigned {
    kMethodStored = 0,
    kMethodDeflate = 8,
    kMethodDeflate64 = 9,
    kMethodLzma = 14,
    kMethodAes = 99,
};

// The highest "version needed to extract" that the engine takes: 2.1, Deflate64 and
// traditional encryption. An entry whose version-needed host byte is OpenVMS's is taken up to
// 4.2 when the user agrees. An LZMA member needs 6.3, the version that brought the method.
enum ExtractVersion : unsigned {
    kExtractVersion = 21,
    kExtractVersionVms = 42,
    kExtractVersionLzma = 63,
};

// General purpose flag bits.
enum ZipFlags : unsigned {
    kFlagEncrypted = 0x0001,
    kFlagLzmaEndMarker = 0x0002,  // an LZMA member's stream ends with an end marker
    kFlagDataDescriptor = 0x0008, // CRC and sizes follow the data; the header's are zero
    kFlagStrongEncryption = 0x0040,
    kFlagUtf8 = 0x0800, // the name (and comment) is UTF-8
};

// Internal attribute bits.
enum ZipInternal : unsigned { kInternalText = 0x0001 };

// DOS attribute bits, kept in the low byte of the external attributes.
enum DosAttributes : unsigned {
    kDosReadOnly = 0x01,
    kDosHidden = 0x02,
    kDosSystem = 0x04,
    kDosVolumeLabel = 0x08,
    kDosDirectory = 0x10,
    kDosArchive = 0x20,
    kDosAttributeBits = 0xFF, // the part of the external attributes they take
};

// Host systems of "version made by" and "version needed" that the program tells apart, in
// Info-ZIP's numbering (which puts NTFS at 11). Hosts above kHostLastKnown count as one.
enum ZipHost : unsigned {
    kHostFat = 0,   // MS-DOS, OS/2 and Windows on FAT
    kHostVms = 2,   // OpenVMS
    kHostUnix = 3,  // the mode lies in the high 16 bits of the external attributes
    kHostAtari = 5, // Atari ST
    kHostHpfs = 6,  // OS/2 HPFS
    kHostNtfs = 11, // Windows NTFS
    kHostVfat = 14, // Windows 95 and later on FAT with long names
    kHostLastKnown = 18,
    kHostOther = kHostLastKnown + 1,
};

// The highest version needed to extract that the engine takes from an entry whose
// version-needed host byte is hostneeded and whose method is method.
inline unsigned extractversionlimit(unsigned hostneeded, unsigned method) {
    if (method == kMethodLzma) return kExtractVersionLzma;
    return hostneeded == kHostVms ? kExtractVersionVms : kExtractVersion;
}

// Extra-field tags.
enum ExtraTag : unsigned {
    kExtraZip64 = 0x0001,
    kExtraNtfs = 0x000A,         // NTFS times, below
    kExtraUnix = 0x000D,         // PKWARE Unix: access and modification time first
    kExtraExtendedTime = 0x5455, // "UT", below
    kExtraOldUnix = 0x5855,      // Info-ZIP "UX": access and modification time, then ids
    kExtraUnicodePath = 0x7075,  // Info-ZIP Unicode path, below
    kExtraUnixIds = 0x7855,      // Info-ZIP "Ux": user and group ids only
    kExtraAes = 0x9901,          // WinZip AES encryption
};

// The extended time stamp (0x5455): a flag byte, then a u32 Unix time for each time it
// marks, in this order; a central copy holds only the modification time.
enum ExtendedTime : unsigned {
    kExtendedTimeHasMtime = 0x01,
    kExtendedTimeHasAtime = 0x02,
    kExtendedTimeHasCtime = 0x04,
};

// The PKWARE Unix field (0x000D) and Info-ZIP's "UX" field (0x5855) begin with the u32 Unix
// access and modification times.
enum UnixTimesField {
    kUnixAccessTime = 0,
    kUnixModificationTime = 4,
    kUnixTimesSize = 8,
};

// The NTFS field (0x000A): 4 reserved bytes, then attributes laid out as the fields of an
// extra field (u16 tag, u16 size, data); attribute 1 holds the u64 modification, access
// and creation FILETIMEs.
enum NtfsField {
    kNtfsReserved = 4,
    kNtfsTimesTag = 0x0001,
    kNtfsTimesSize = 24,
};

// The Unicode path field (0x7075): u8 version (1), u32 CRC-32 of the stored name, then the
// UTF-8 name.
enum UnicodePathField {
    kUnicodePathVersion = 1,
    kUnicodePathCrc = 1,   // offset in the field's data
    kUnicodePathFixed = 5, // version and CRC-32 in front of the name
};

// The WinZip AES field (0x9901): u16 vendor version, the two letters "AE", u8 key strength
// (1, 2 or 3 for AES-128, -192 or -256), then the u16 compression method of the data.
enum AesField {
    kAesStrength = 4, // offset in the field's data
    kAesFieldSize = 7,
};

// One field of an extra field.
struct ExtraField {
    unsigned tag;
    const unsigned char* data;
    unsigned size;
};

// A walk over the fields of an extra field, or over an NTFS field's attributes, which are
// laid out the same way. Start it as {extra, length}; extra may be null when length is 0.
struct ExtraCursor {
    const unsigned char* next;
    unsigned left;
};
enum { kExtraFieldHeader = 4 }; // tag and data size

// The next field of the walk into field; false at the end. A field whose data runs past
// the bytes left ends the walk, and so do fewer bytes than a field's tag and size.
bool nextextrafield(ExtraCursor* cursor, ExtraField* field);

// The first field tagged `tag` into field; false when there is none before the walk ends.
bool findextrafield(const unsigned char* extra, unsigned length, unsigned tag, ExtraField* field);
