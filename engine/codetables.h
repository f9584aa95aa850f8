// Decoding tables of canonical Huffman codes, as Deflate and Deflate64 use them.
//
// A code set is decoded through multi-level tables: a first-level table indexed by the next
// few input bits (its width is requested by the caller), and sub-tables for codes longer
// than that. Codes arrive least significant bit first, so every table is indexed by the
// bit-reversed code. All tables of one code set live in one heap block; the first-level
// table starts it, and a link entry gives the position of its sub-table in the block.
//
// A CodeEntry is one 32-bit word:
//   bits 0..7    input bits this entry consumes at its table level: the code's bits there,
//                and for a length or distance also its extra bits, which follow the code,
//                so that one shift of the bit buffer consumes both
//   bits 8..15   operation: 0..16  a length or distance base with that many extra bits
//                           31     end of block
//                           33..48 link to a sub-table indexed by (operation - 32) bits
//                           99     invalid code (unused by an incomplete set, or a code
//                                  whose row the caller marks invalid)
//                           128    literal byte (or code-length symbol): the only
//                                  operation with bit 7 set, so that the decoder's most
//                                  frequent test looks at one bit (bit 15 of the entry)
//   bits 16..31  value: the literal or symbol, the base, or for a link the index of the
//                sub-table's first entry within the code set's block
#pragma once

#include <stdint.h>

typedef uint32_t CodeEntry;

enum Operation : unsigned {
    kOpMaxExtra = 16, // operations 0..16 carry a base and extra bits
    kOpEndOfBlock = 31,
    kOpLink = 32, // a link is kOpLink + sub-table width
    kOpInvalid = 99,
    kOpLiteral = 0x80,
};
static_assert(kOpInvalid > kOpMaxExtra, "invalid rows must not look like extra bits");

enum {
    kMaxCodeBits = 15, // Deflate code lengths are 0..15
    kEndOfBlockSymbol = 256,
};
static_assert(kOpLink > kOpEndOfBlock && kOpLink + kMaxCodeBits < kOpInvalid,
              "links lie between the end code and the invalid code");
static_assert((kOpLiteral & (kOpLiteral - 1)) == 0 && kOpInvalid < kOpLiteral && kOpLiteral <= 0xFF,
              "the literal operation is one bit that no other operation has");

inline unsigned entrybits(CodeEntry e) {
    return e & 0xFF;
}
inline unsigned entryop(CodeEntry e) {
    return (e >> 8) & 0xFF;
}
// The extra bits of a length or distance entry, zero for every other entry.
inline unsigned extrabits(CodeEntry e) {
    return entryop(e) <= kOpMaxExtra ? entryop(e) : 0;
}
// The bits of the code itself at the entry's table level.
inline unsigned codebits(CodeEntry e) {
    return entrybits(e) - extrabits(e);
}
inline unsigned entryvalue(CodeEntry e) {
    return e >> 16;
}
inline bool isliteral(CodeEntry e) {
    return (e & kOpLiteral << 8) != 0;
}
inline bool islink(CodeEntry e) {
    return entryop(e) > kOpLink && entryop(e) < kOpInvalid;
}
inline unsigned lowmask(unsigned n) {
    return (1u << n) - 1;
}

// Results of makecodetables.
enum BuildResult {
    kBuildComplete = 0,   // also an empty set, and a single 1-bit code
    kBuildIncomplete = 1, // some codes unused; their slots hold kOpInvalid
    kBuildOversubscribed = 2,
    kBuildNoMemory = 3,
};

// Builds the decoding tables of the n code lengths (0 = symbol unused) into *table: one heap
// block, null for a set without codes. Symbols below `simple` become literals (256: end of
// block); symbol s >= simple takes base and extra bits from row s - simple of `bases` and
// `extra`. *bits is the requested first-level width on entry and the width used on return:
// clamped to the lengths present, and for a literal/length set (n > 256) cut at the end
// code's length so that the end code never needs bits beyond itself. Returns a BuildResult;
// kBuildIncomplete only when the longest code has more than one bit.
int makecodetables(const unsigned char* lengths, unsigned n, unsigned simple,
                   const unsigned short* bases, const unsigned char* extra, CodeEntry** table,
                   unsigned* bits);

// Frees the tables of one code set; a null table is allowed.
void freecodetables(CodeEntry* table);
