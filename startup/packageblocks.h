// The two blocks a package carries behind the stub, as the stub reads them and the builder
// writes them: their layouts and the markers that open them.
//
// A package is the stub's image, a 32-byte area the stub never reads, the text block, the
// options block and the ZIP archive. Blocks (all numbers little-endian; offsets count from the
// block's first byte, so they include its marker; texts carry no NUL unless said):
//
//   text block (13 bytes, then the body; S bytes in all)
//      0 5 bytes marker "{SLF}"   5 u32 S, the whole block's length   9 u32 the body's checksum
//     13 the body: the 66 texts in text-number order, each ended by a NUL; bytes after the
//        66th text are ignored (and covered by the checksum, blockchecksum of textblock.h)
//   options block (12 bytes, then the fields; L bytes in all)
//      0 4 bytes magic "MPV2"     4 u16 version (3)      6 u16 L, the whole block's length
//      8 u8 flag byte A           9 u8 flag byte B      10 u16 reserved (0)
//     12 u8 LT, then LT bytes of title        u8 LF, then LF bytes of destination folder
//        u16 LC, then LC bytes of command     u16 LP, u16 prompt style, LP bytes of prompt
//        u16 LA, then LA bytes of about text  u16 LD, then LD bytes of description text
//      L the archive's first two bytes, "PK" (or "MS"), read with the block
//
// The markers are spelled out above for the reader only. Code never holds one whole: the stub
// finds its text block by searching its own file for the marker, which must not find the
// stub, and a reader of a package could take a stray magic in the stub for the options block.
// So code keeps each with its first byte one lower (kTextMarkerStored, kOptionsMagicStored)
// and completes it where it compares with one or writes one (completemarker); the builder
// writes its blocks from the same stored forms.
//
// Portable and C-style: the stub's code includes it.
#pragma once

enum BlockMarkerSizes {
    kTextMarkerSize = 5,
    kOptionsMagicSize = 4,
};

// The markers with their first byte one lower.
extern const unsigned char kTextMarkerStored[kTextMarkerSize];
extern const unsigned char kOptionsMagicStored[kOptionsMagicSize];

// Writes the whole marker of size bytes, from its stored form, into marker.
void completemarker(unsigned char* marker, const unsigned char* stored, unsigned size);

enum TextBlockLayout {
    kTextMarkerOffset = 0,
    kTextLengthOffset = 5,
    kTextChecksumOffset = 9,
    kTextHeaderSize = 13,
};
static_assert(kTextMarkerOffset + kTextMarkerSize == kTextLengthOffset, "S follows the marker");
static_assert(kTextLengthOffset + 4 == kTextChecksumOffset, "S is a u32");
static_assert(kTextChecksumOffset + 4 == kTextHeaderSize, "the checksum is the last field");

enum OptionsBlockLayout {
    kOptionsMagicOffset = 0,
    kOptionsVersionOffset = 4,
    kOptionsLengthOffset = 6,
    kOptionsFlagsAOffset = 8,
    kOptionsFlagsBOffset = 9,
    kOptionsReservedOffset = 10,
    kOptionsHeaderSize = 12,
};
static_assert(kOptionsMagicOffset + kOptionsMagicSize == kOptionsVersionOffset,
              "the version follows the magic");
static_assert(kOptionsVersionOffset + 2 == kOptionsLengthOffset, "the version is a u16");
static_assert(kOptionsLengthOffset + 2 == kOptionsFlagsAOffset, "L is a u16");
static_assert(kOptionsFlagsAOffset + 1 == kOptionsFlagsBOffset, "the flag bytes are adjacent");
static_assert(kOptionsFlagsBOffset + 1 == kOptionsReservedOffset, "the reserved word follows");
static_assert(kOptionsReservedOffset + 2 == kOptionsHeaderSize, "the reserved word ends it");

// The fields behind the header: the widths of their lengths and of the prompt style, the
// block's length when every text is empty, and the archive's bytes read with the block.
enum OptionsFields {
    kOptionsVersion = 3,
    kShortLengthSize = 1, // LT and LF
    kLongLengthSize = 2,  // LC, LP, LA and LD
    kPromptStyleSize = 2,
    kOptionsFixedSize =
        kOptionsHeaderSize + 2 * kShortLengthSize + 4 * kLongLengthSize + kPromptStyleSize,
    kArchiveLeadSize = 2,
};
static_assert(kOptionsFixedSize + 53 + 6 == 83, "53-char title and \"%temp%\" make 83 bytes");
