// Inflate: Deflate (method 8) and Deflate64 (method 9) decoding into the 65,536-byte window.
//
// Design:
// - One body serves both variants; they differ only in data (the DeflateVariant rows of
//   length code 285 and distance codes 30 and 31). The fast loop is one template whose two
//   instances differ only in what those rows imply: the bit budget of a match and whether
//   the slack behind a match copy must be put back.
// - Codes are decoded through multi-level tables: a first-level table indexed by the next
//   11 (dynamic literal/length), 8 (dynamic distance), 7 or 5 (fixed) bits, and sub-tables
//   for longer codes (engine/codetables.h).
// - Two decoding loops share the tables. The fast loop runs a round (the symbols decoded
//   between two refills of the code lookahead) only while the input buffer holds
//   kFastInputMargin bytes, the most one round reads, and the window has room before its
//   end for the literals of one round. It copies a match itself only when the match and
//   the slack of its word copy end inside the window; a match nearer the end goes through
//   the careful copy, which flushes the full window on the way. It keeps its state in
//   locals, refills a machine-word bit buffer a word at a time without a branch, writes up
//   to three literals per refill, consumes a length's or distance's code and extra bits in
//   one shift, looks up the next code while a match is copied (with a 64-bit buffer mostly
//   before the refill) and copies matches in whole words. On x86-64 it also comes compiled
//   for BMI2, chosen at run time. The careful loop decodes one symbol at a time, taking
//   bytes one by one and calling the engine's readbyte when the buffer is empty; it handles
//   block headers, buffer ends, window flushes and the end of the member.
// - A match copy of the fast loop may write up to kCopySlack bytes past the match's end
//   (still inside the window). Those bytes are later overwritten by the data that belongs
//   there; until then only a distance of more than 65,536 - kCopySlack could reach them.
//   Deflate's distances do not reach so far; in Deflate64 the bytes are saved before the
//   copy and put back after it. A match whose source lies in the window's older part
//   (before the last flush) is copied the same way when the source and the slack behind
//   it end before the window's end; other matches go through the careful copy.
// - A full window is flushed just before the next byte is written into it (and at the end
//   of the member), never right after it filled: whichever loop fills it, the careful path
//   that writes next makes room first. So every flush but the last is exactly one window.
// - A distance that reaches before the member's first byte fails the member. Within the
//   window's current contents (distance up to the position) that cannot happen, so only
//   the match copy for longer distances compares with the count of bytes flushed.
// - Running out of input is noticed when bits are consumed, not when they are looked at:
//   a table lookup near the end may look at zero bits beyond the data, and only a code
//   that really extends past the data fails. So a valid stream whose last codes are
//   shorter than the lookup width still decodes.
// - Bytes the fast loop loaded into the bit buffer but did not use are handed back to the
//   input cursor at the end, so the cursor stops right after the member's last used byte.
#include "engine/inflate.h"

#include "engine/codetables.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

// Words are loaded from the input and the window in little-endian byte order.
#if defined(__BYTE_ORDER__)
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the bit buffer assumes little-endian");
#endif

namespace {

enum {
    kMaxLitLenSymbols = 288, // HLIT reaches 288
    kMaxDistSymbols = 32,    // HDIST reaches 32
    kCodeLengthSymbols = 19,
    // First-level widths. Dynamic tables are wide enough that nearly every code of a
    // literal/length or distance set is found with one lookup, the sub-tables serving only
    // the rare long codes; the fixed literal/length table is cut at its 7-bit end code.
    kDynamicLitBits = 11,
    kDynamicDistBits = 8,
    kFixedLitBits = 7,
    kFixedDistBits = 5,
    kCodeLengthBits = 7,
    kWindowMask = kInflateWindowSize - 1,
    kMaxFastLength = 258, // longest match the fast loop copies itself
};

// ---- Variants -----------------------------------------------------------------------
//
// Rows of the length table are codes 257..287, rows of the distance table codes 0..31;
// an extra-bits value of kOpInvalid makes the code invalid.

const unsigned short kLengthBase[2][31] = {
    {3,  4,  5,  6,  7,  8,  9,  10,  11,  13,  15,  17,  19,  23, 27, 31,
     35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258, 0,  0},
    {3,  4,  5,  6,  7,  8,  9,  10,  11,  13,  15,  17,  19, 23, 27, 31,
     35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 3,  0,  0},
};
// clang-format off
constexpr unsigned char kLengthExtra[2][31] = {
    {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2,
     3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0, kOpInvalid, kOpInvalid},
    {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2,
     3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 16, kOpInvalid, kOpInvalid},
};
// clang-format on
const unsigned short kDistanceBase[32] = {
    1,   2,   3,   4,   5,    7,    9,    13,   17,   25,   33,   49,    65,    97,    129,   193,
    257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577, 32769, 49153,
};
// clang-format off
constexpr unsigned char kDistanceExtra[2][32] = {
    {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6,
     7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13, kOpInvalid, kOpInvalid},
    {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6,
     7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13, 14, 14},
};
// clang-format on
static_assert(kOpInvalid <= 0xFF, "the extra-bits tables hold the invalid-code marker");

// The fixed-code tables of one variant, built at its first fixed block and kept until
// releasefixedcodes.
struct FixedCodes {
    CodeEntry* lit;
    unsigned litbits;
    CodeEntry* dist;
    unsigned distbits;
};
FixedCodes fixedcache[2];

// What differs between Deflate and Deflate64: the rows of length code 285 and distance
// codes 30 and 31, and the cache of fixed-code tables.
struct DeflateVariant {
    const unsigned short* lengthbase;
    const unsigned char* lengthextra;
    const unsigned char* distanceextra;
    FixedCodes* fixed;
};
const DeflateVariant kDeflate = {kLengthBase[0], kLengthExtra[0], kDistanceExtra[0],
                                 &fixedcache[0]};
const DeflateVariant kDeflate64 = {kLengthBase[1], kLengthExtra[1], kDistanceExtra[1],
                                   &fixedcache[1]};

// ---- Decoder state and careful input ------------------------------------------------

// The most extra bits a valid row of an extra-bits table has; invalid rows do not count.
constexpr unsigned maxextra(const unsigned char* row, unsigned n) {
    unsigned most = 0;
    for (unsigned i = 0; i < n; i++)
        if (row[i] != kOpInvalid && row[i] > most) most = row[i];
    return most;
}

// The bit buffer is a machine word: 64 bits on the host, 32 bits in the i686 stub.
typedef uintptr_t BitWord;
enum {
    kWordBytes = sizeof(BitWord),
    kWordBits = 8 * kWordBytes,
    // A refill leaves at least this many valid bits.
    kRefilledBits = kWordBits - 8,
    // First-level literals the fast loop writes between two refills: three from a 64-bit
    // buffer, two from a 32-bit one.
    kFastLiterals = kWordBits == 64 ? 3 : 2,
    // Match copies of a distance of at least one word move 8-byte words: kCopyHead words at
    // once, which covers most matches without a loop, then one word at a time. A 32-bit
    // build moves a word in two halves, so its head is shorter.
    kCopyWord = 8,
    kCopyHead = kInflateCopySlack / kCopyWord,
    kMinMatch = 3,
    // The bytes past a match's end that its word copy may write: the head over a match of
    // the shortest length, or less than one word after a longer one. They are saved and put
    // back where a distance can reach them (Deflate64).
    kCopySlack = kInflateCopySlack,
    // A round starts only at a window position below this, so that its literals end at the
    // window's last byte at most, and a full window is always flushed by the careful path.
    kFastWindowLimit = kInflateFastWindowLimit,
    // A match of the fast loop is copied in words only when it ends at or below this, so
    // that the copy and its slack stay inside the window; others take the careful copy.
    kFastCopyEnd = kInflateFastCopyEnd,
    // Refills on the longest path through a round (a match from a 32-bit buffer): before the
    // length's extra bits, the distance code and the distance's extra bits, and the
    // refill that ends the round.
    kFastRefillsPerRound = 4,
    // A refill loads one word at the input pointer and advances it by whole bytes it filled.
    kRefillAdvance = kWordBytes - 1,
    // The fast loop keeps its count of valid bits in the low byte of a wider counter.
    kCountMask = 0xFF,
    // The most bytes one round reads from where it starts: every refill's advance, and the
    // word the last of them loads.
    kFastInputMargin = kFastRefillsPerRound * kRefillAdvance + kWordBytes,
    // The farthest distance of Deflate; Deflate64 reaches the whole window.
    kMaxDeflateDistance = 32768,
};
static_assert(kFastWindowLimit - 1 + kFastLiterals == kInflateWindowSize,
              "a round that starts just below the limit ends its literals at the window's end");
static_assert(kFastCopyEnd + kCopySlack == kInflateWindowSize,
              "a word copy ending at the copy end writes its slack up to the window's end");
static_assert(kWordBits <= kCountMask && (kWordBytes == 4 || kWordBytes == 8),
              "the valid bits fit the counter's low byte, and whole bytes of them are counted "
              "by the bits from bit 3 up below kWordBits");
static_assert(kCopySlack >= kCopyHead * kCopyWord - kMinMatch && kCopySlack >= kCopyWord - 1,
              "the slack covers what the head and the word loop write past a match");
static_assert(kCopySlack % kCopyWord == 0, "the slack is saved and put back in whole words");
static_assert(kMaxDeflateDistance + kCopySlack <= kInflateWindowSize,
              "no Deflate distance reaches the slack ahead of the position");
static_assert(static_cast<int>(kFastInputMargin) < static_cast<int>(kInflateInputBlock),
              "the fast loop must run on a whole input block of the engine");
static_assert(static_cast<int>(kRefilledBits) >= static_cast<int>(kMaxCodeBits) &&
                  static_cast<int>(kRefilledBits) >= static_cast<int>(kDynamicLitBits),
              "a refilled buffer must hold a whole code and the lookup bits of the next one");
// First-level literal/length tables are at most kDynamicLitBits wide: a complete set of at
// most 288 codes has a code of 8 bits or fewer, so the width is never raised above that.
static_assert(kFastLiterals * kDynamicLitBits <= kRefilledBits,
              "the literals between two refills come from one refilled buffer");
// Whether the code after the literals between two refills can be looked up from what is
// left of the refilled bits.
constexpr bool kLookupAfterLiterals = (kFastLiterals + 1) * kDynamicLitBits <= kRefilledBits;
// Whether the code after a match is looked up before the refill when the bits left hold a
// first-level code: a 64-bit buffer mostly has them, a 32-bit one mostly does not, and
// there the early lookup would only have to be repeated.
constexpr bool kLookupBeforeRefill = kWordBits == 64;

// What the fast loop's bit budget and copies depend on in a variant: its largest extra-bit
// counts, and whether its distances reach the slack ahead of the position.
template <bool Deflate64>
struct FastRows {
    static constexpr unsigned kMaxLengthExtra = maxextra(kLengthExtra[Deflate64], 31);
    static constexpr unsigned kMaxDistanceExtra = maxextra(kDistanceExtra[Deflate64], 32);
    static constexpr bool kRestoreSlack = Deflate64;
    // Whether a match may be longer than the fast loop copies itself (Deflate64's code 285).
    static constexpr bool kLongMatches = Deflate64;
    // Whether a length entry's bits, its code's bits at the entry's level and the extra
    // bits, can exceed a refilled buffer (Deflate64's 16 extra bits in a 32-bit buffer):
    // then the code's bits are consumed first and the extra bits after a refill.
    static constexpr bool kSplitLengthExtra = kRefilledBits < kDynamicLitBits + kMaxLengthExtra;
    // Whether the bits of a match, from its length code on, need refills on the way.
    static constexpr bool kRefillForLengthExtra = kRefilledBits < kMaxCodeBits + kMaxLengthExtra;
    static constexpr bool kRefillForDistance =
        kRefilledBits < kMaxCodeBits + kMaxLengthExtra + kMaxCodeBits;
    static constexpr bool kRefillForDistanceExtra =
        kRefilledBits < 2 * kMaxCodeBits + kMaxLengthExtra + kMaxDistanceExtra;
};
// A distance entry's bits, code and extra bits at its level, always fit a refilled buffer.
static_assert(static_cast<int>(kRefilledBits) >=
                  static_cast<int>(kDynamicDistBits) + FastRows<true>::kMaxDistanceExtra,
              "a distance entry's bits fit a refilled buffer");
static_assert(FastRows<false>::kMaxLengthExtra == 5 && FastRows<true>::kMaxLengthExtra == 16,
              "length extra bits of the two variants");
static_assert(FastRows<false>::kMaxDistanceExtra == 13 && FastRows<true>::kMaxDistanceExtra == 14,
              "distance extra bits of the two variants");

struct Inflater {
    const InflateHooks* hooks;
    unsigned char* window;
    unsigned pos;         // next window position; 65,536 when full and not yet flushed
    uint64_t flushed;     // bytes of this member flushed so far
    BitWord bitbuf;       // valid bits from bit 0 up; zero above them
    unsigned bitcount;    // valid bits, including padbits
    unsigned padbits;     // zero bits added at the top after the input ran out
    bool exhausted;       // readbyte has reported the end of the member's data
    unsigned inlinebytes; // bytes taken from the cursor since the last readbyte call
    const DeflateVariant* variant;
};

int nextbyte(Inflater* z) {
    InputCursor* cursor = z->hooks->input;
    if (--cursor->unread >= 0) {
        z->inlinebytes++;
        return *cursor->next++;
    }
    z->inlinebytes = 0;
    return z->hooks->readbyte();
}

// Makes n bits visible; past the end of the data the missing bits read as zero.
void needbits(Inflater* z, unsigned n) {
    while (z->bitcount < n) {
        int b = z->exhausted ? -1 : nextbyte(z);
        if (b < 0) {
            z->exhausted = true;
            z->padbits += 8;
            b = 0;
        }
        z->bitbuf |= (BitWord)b << z->bitcount;
        z->bitcount += 8;
    }
}

// Consumes n visible bits; false when they reach past the end of the data.
bool dropbits(Inflater* z, unsigned n) {
    if (n > z->bitcount - z->padbits) return false;
    z->bitbuf >>= n;
    z->bitcount -= n;
    return true;
}

bool getbits(Inflater* z, unsigned n, unsigned* value) {
    needbits(z, n);
    *value = (unsigned)z->bitbuf & lowmask(n);
    return dropbits(z, n);
}

// Decodes one entry of a code set bit by bit. Returns kInflateOk with *entry set, or
// kInflateTruncatedOrInvalid for an invalid code or one that runs past the data.
int decodeentry(Inflater* z, const CodeEntry* set, unsigned bits, CodeEntry* entry) {
    needbits(z, bits);
    CodeEntry e = set[z->bitbuf & lowmask(bits)];
    while (islink(e)) {
        if (!dropbits(z, entrybits(e))) return kInflateTruncatedOrInvalid;
        unsigned width = entryop(e) - kOpLink;
        needbits(z, width);
        e = set[entryvalue(e) + (z->bitbuf & lowmask(width))];
    }
    if (entryop(e) == kOpInvalid || !dropbits(z, codebits(e))) return kInflateTruncatedOrInvalid;
    *entry = e;
    return kInflateOk;
}

// Gives unused whole bytes of the bit buffer back to the cursor, as far as they came from
// the cursor's current buffer.
void givebackbytes(Inflater* z) {
    unsigned spare = (z->bitcount - z->padbits) / 8;
    if (spare > z->inlinebytes) spare = z->inlinebytes;
    InputCursor* cursor = z->hooks->input;
    if (cursor->unread < 0) cursor->unread = 0;
    cursor->next -= spare;
    cursor->unread += (int)spare;
}

// ---- Output -------------------------------------------------------------------------

int flushwindow(Inflater* z) {
    z->pos = 0;
    z->flushed += kInflateWindowSize;
    return z->hooks->flushoutput(z->window, kInflateWindowSize, 0);
}

// Flushes a full window before the next byte goes into it. Returns kInflateOk or
// flushoutput's code.
int makeroom(Inflater* z) {
    return z->pos == kInflateWindowSize ? flushwindow(z) : kInflateOk;
}

int putbyte(Inflater* z, unsigned char b) {
    int r = makeroom(z);
    if (r) return r;
    z->window[z->pos++] = b;
    return kInflateOk;
}

uint64_t load64(const unsigned char* p) {
    uint64_t v;
    memcpy(&v, p, sizeof v);
    return v;
}
void store64(unsigned char* p, uint64_t v) {
    memcpy(p, &v, sizeof v);
}

uint32_t load32(const unsigned char* p) {
    uint32_t v;
    memcpy(&v, p, sizeof v);
    return v;
}
void store32(unsigned char* p, uint32_t v) {
    memcpy(p, &v, sizeof v);
}

// Copies n bytes from distance bytes back where every word read is already final: the
// source lies at least 8 bytes back, or wholly behind the destination.
void copywords(unsigned char* dst, unsigned distance, unsigned n) {
    const unsigned char* src = dst - distance;
    if (n >= 8) {
        unsigned char* end = dst + n;
        for (; dst + 8 <= end; dst += 8, src += 8) store64(dst, load64(src));
        store64(end - 8, load64(end - 8 - distance)); // the last bytes, overlapping
    } else if (n >= 4) {
        uint32_t last = load32(src + n - 4);
        store32(dst, load32(src));
        store32(dst + n - 4, last);
    } else {
        while (n--) *dst++ = *src++;
    }
}

// Copies n bytes forward from distance bytes back, so that a distance shorter than n
// repeats the recent bytes. Writes exactly n bytes: the window ahead of the position still
// holds data that a Deflate64 distance may reach. Inlined into the fast loop, where a call
// per match costs more than the copy of a short one.
inline __attribute__((always_inline)) void copyback(unsigned char* dst, unsigned distance,
                                                    unsigned n) {
    if (distance >= 8 || distance >= n) {
        copywords(dst, distance, n);
    } else if (distance == 1 && n >= 8) {
        uint64_t fill = dst[-1] * 0x0101010101010101ull;
        unsigned char* end = dst + n;
        for (; dst + 8 <= end; dst += 8) store64(dst, fill);
        store64(end - 8, fill);
    } else if (n >= 16) {
        // Repeat the pattern for eight bytes; from then on the bytes repeat every multiple
        // of the distance as well, and the first multiple of at least 8 allows word copies.
        for (int i = 0; i < 8; i++) dst[i] = dst[i - (int)distance];
        unsigned period = (8 + distance - 1) / distance * distance;
        copywords(dst + 8, period, n - 8);
    } else {
        for (const unsigned char* src = dst - distance; n; n--) *dst++ = *src++;
    }
}

// Copies a match of the fast loop in whole words: length at most kMaxFastLength, kCopySlack
// bytes of window behind the match, and a source at least a word behind the destination
// (its words are final when read) or anywhere ahead of it with kCopySlack bytes of window
// behind its end (a source from before the last flush, whose words the copy does not
// change before it reads them). The copy may write into the slack; where a distance can
// reach those bytes (RestoreSlack), they are saved before and put back after.
template <bool RestoreSlack>
inline __attribute__((always_inline)) void copyfast(unsigned char* dst, const unsigned char* src,
                                                    unsigned length) {
    unsigned char* end = dst + length;
    uint64_t slack[kCopySlack / kCopyWord];
    if (RestoreSlack)
        for (unsigned i = 0; i < kCopySlack / kCopyWord; i++)
            slack[i] = load64(end + i * kCopyWord);
    for (unsigned i = 0; i < kCopyHead; i++)
        store64(dst + i * kCopyWord, load64(src + i * kCopyWord));
    if (length > kCopyHead * kCopyWord) {
        dst += kCopyHead * kCopyWord;
        src += kCopyHead * kCopyWord;
        do {
            store64(dst, load64(src));
            dst += kCopyWord;
            src += kCopyWord;
        } while (dst < end);
    }
    if (RestoreSlack)
        for (unsigned i = 0; i < kCopySlack / kCopyWord; i++)
            store64(end + i * kCopyWord, slack[i]);
}

// Copies a match of any length through the window: the source wraps modulo 65,536 and a
// full window is flushed before more is written. Returns kInflateOk, flushoutput's code, or
// kInflateTruncatedOrInvalid for a distance reaching before the member's first byte.
int copymatch(Inflater* z, unsigned length, unsigned distance) {
    if (distance > z->pos && distance - z->pos > z->flushed) return kInflateTruncatedOrInvalid;
    unsigned src = (z->pos - distance) & kWindowMask;
    while (length) {
        int r = makeroom(z);
        if (r) return r;
        unsigned pos = z->pos, chunk = kInflateWindowSize - (src > pos ? src : pos);
        if (chunk > length) chunk = length;
        // A distance of 65,536 (source and position equal) finds the bytes already in place.
        if (pos - src >= chunk) // no overlap, or a source ahead of the position
            memmove(z->window + pos, z->window + src, chunk);
        else if (src != pos)
            copyback(z->window + pos, pos - src, chunk);
        z->pos += chunk;
        src = (src + chunk) & kWindowMask;
        length -= chunk;
    }
    return kInflateOk;
}

// ---- Symbol decoding ----------------------------------------------------------------

struct BlockCodes {
    const CodeEntry* lit;
    const CodeEntry* dist;
    unsigned litbits, distbits;
};

// Reads the extra bits of a length or distance entry and adds them to its base.
bool readbase(Inflater* z, CodeEntry e, unsigned* value) {
    unsigned extra;
    if (!getbits(z, entryop(e), &extra)) return false;
    *value = entryvalue(e) + extra;
    return true;
}

// Decodes one symbol with byte-by-byte input and carries it out.
int carefulsymbol(Inflater* z, const BlockCodes* codes, bool* endofblock) {
    CodeEntry e;
    int r = decodeentry(z, codes->lit, codes->litbits, &e);
    if (r) return r;
    if (entryop(e) == kOpLiteral) return putbyte(z, (unsigned char)entryvalue(e));
    if (entryop(e) == kOpEndOfBlock) {
        *endofblock = true;
        return kInflateOk;
    }
    unsigned length, distance;
    if (!readbase(z, e, &length)) return kInflateTruncatedOrInvalid;
    r = decodeentry(z, codes->dist, codes->distbits, &e);
    if (r) return r;
    if (!readbase(z, e, &distance)) return kInflateTruncatedOrInvalid;
    return copymatch(z, length, distance);
}

// The masks of 0..kOpMaxExtra low bits, for the extra bits of lengths and distances: an and
// with a table row is one instruction where computing the mask takes three.
struct ExtraMasks {
    unsigned mask[kOpMaxExtra + 1];
    constexpr ExtraMasks() : mask() {
        for (unsigned n = 0; n <= kOpMaxExtra; n++) mask[n] = (1u << n) - 1;
    }
};
constexpr ExtraMasks kExtraMasks;
static_assert(kExtraMasks.mask[kOpMaxExtra] == 0xFFFF, "the last mask covers 16 extra bits");

// The bit-buffer primitives of the fast loop, on local copies of the state. The count of
// valid bits is the low byte of `count`: an entry is consumed by subtracting the whole entry,
// whose bit count is its low byte (engine/codetables.h), and the fields above only borrow
// into the bits above that byte, which nothing reads. That saves taking the byte apart.
struct FastBits {
    BitWord buf;
    unsigned count;
    const unsigned char* in;

    unsigned valid() const { return count & kCountMask; }
    // Loads a word at `in`; afterwards at least kWordBits - 8 bits are valid. Bits above
    // the valid ones are those of the following input bytes, so loading them again is
    // harmless. The shift count needs no mask: the valid bits are fewer than kWordBits.
    void refill() {
        BitWord word;
        memcpy(&word, in, sizeof word);
        buf |= word << (count & (kWordBits - 1));
        in += kRefillAdvance - ((count >> 3) & (kWordBytes - 1));
        count |= kWordBits - 8;
    }
    void ensure(unsigned n) {
        if (valid() < n) refill();
    }
    void drop(unsigned n) {
        buf >>= n;
        count -= n;
    }
    // Consumes the bits of an entry.
    void dropentry(CodeEntry e) {
        buf >>= entrybits(e);
        count -= e;
    }
    // Consumes a length or distance entry with op extra bits, code and extra bits in one
    // shift, and returns the extra bits: those behind the code.
    unsigned takeentry(CodeEntry e, unsigned op) {
        BitWord saved = buf;
        dropentry(e);
        return (unsigned)(saved >> (entrybits(e) - op)) & kExtraMasks.mask[op];
    }
    // Takes the n extra bits of a length or distance, n at most kOpMaxExtra.
    unsigned take(unsigned n) {
        unsigned v = (unsigned)buf & kExtraMasks.mask[n];
        drop(n);
        return v;
    }
    // Follows links from a first-level entry to the final entry; the caller has made sure
    // that a whole code is visible.
    CodeEntry resolve(const CodeEntry* set, CodeEntry e) {
        while (islink(e)) {
            dropentry(e);
            e = set[entryvalue(e) + (buf & lowmask(entryop(e) - kOpLink))];
        }
        return e;
    }
};

// Decodes symbols while the cursor holds kFastInputMargin bytes and a round ends before the
// window's end. Every round starts with a refilled buffer and the entry of the next code
// looked up. Returns kInflateOk (also when it stops early) or a failure.
template <bool Deflate64>
inline __attribute__((always_inline)) int fastsymbols(Inflater* z, const BlockCodes* codes,
                                                      bool* endofblock) {
    typedef FastRows<Deflate64> Rows;
    InputCursor* cursor = z->hooks->input;
    if (z->exhausted || cursor->unread < kFastInputMargin) return kInflateOk;
    FastBits b = {z->bitbuf, z->bitcount, cursor->next};
    const unsigned char* inlimit = cursor->next + (cursor->unread - kFastInputMargin);
    const CodeEntry *lit = codes->lit, *dist = codes->dist;
    const BitWord litmask = lowmask(codes->litbits), distmask = lowmask(codes->distbits);
    unsigned char* const window = z->window;
    unsigned char* const outlimit = window + kFastWindowLimit;
    unsigned char* out = window + z->pos;
    int result = kInflateOk;
    b.refill();
    CodeEntry e = lit[b.buf & litmask];
    for (;;) {
        if (b.in > inlimit) break;
        if (out >= outlimit) break;
        if (isliteral(e)) {
            b.dropentry(e);
            *out++ = (unsigned char)entryvalue(e);
            e = lit[b.buf & litmask];
            if (isliteral(e)) {
                b.dropentry(e);
                *out++ = (unsigned char)entryvalue(e);
                e = lit[b.buf & litmask];
                if (kFastLiterals == 3 && isliteral(e)) {
                    b.dropentry(e);
                    *out++ = (unsigned char)entryvalue(e);
                    e = lit[b.buf & litmask];
                }
            }
            // A 64-bit buffer still held the bits of that last lookup; a 32-bit one may not.
            b.refill();
            if (!kLookupAfterLiterals) e = lit[b.buf & litmask];
            continue;
        }
        unsigned op = entryop(e);
        if (op > kOpMaxExtra) { // a link, the end code or an invalid code
            e = b.resolve(lit, e);
            op = entryop(e);
        }
        if (op > kOpMaxExtra) {
            if (op == kOpLiteral) { // a literal of a sub-table
                b.dropentry(e);
                *out++ = (unsigned char)entryvalue(e);
                b.refill();
                e = lit[b.buf & litmask];
                continue;
            }
            if (op == kOpEndOfBlock) {
                b.dropentry(e);
                *endofblock = true;
            } else {
                result = kInflateTruncatedOrInvalid;
            }
            break;
        }
        unsigned length = entryvalue(e);
        if (Rows::kSplitLengthExtra) {
            b.drop(entrybits(e) - op);
            b.ensure(op);
            length += b.take(op);
        } else {
            if (Rows::kRefillForLengthExtra) b.ensure(entrybits(e));
            length += b.takeentry(e, op);
        }
        if (Rows::kRefillForDistance) b.ensure(kMaxCodeBits);
        e = dist[b.buf & distmask];
        op = entryop(e);
        if (op > kOpMaxExtra) { // a link or an invalid code
            e = b.resolve(dist, e);
            op = entryop(e);
            if (op > kOpMaxExtra) {
                result = kInflateTruncatedOrInvalid;
                break;
            }
        }
        if (Rows::kRefillForDistanceExtra) b.ensure(entrybits(e));
        unsigned distance = entryvalue(e) + b.takeentry(e, op);
        // The next code's entry is looked up before the copy, so that the two overlap, and
        // with a 64-bit buffer mostly before the refill too: a refill adds bits only above
        // the valid ones, so when those hold a first-level code the entry is already right.
        bool looked = kLookupBeforeRefill && b.valid() >= kDynamicLitBits;
        if (kLookupBeforeRefill) e = lit[b.buf & litmask];
        b.refill();
        if (!looked) e = lit[b.buf & litmask];
        unsigned pos = (unsigned)(out - window);
        if ((!Rows::kLongMatches || length <= kMaxFastLength) && pos + length <= kFastCopyEnd) {
            if (distance <= pos) {
                if (distance < kCopyWord)
                    copyback(out, distance, length);
                else
                    copyfast<Rows::kRestoreSlack>(out, out - distance, length);
                out += length;
                continue;
            }
            // A source in the window's older part, from before the last flush: copied the
            // same way when the match does not reach before the member's first byte and
            // the source with the copy's slack ends before the window's end.
            unsigned src = pos + kInflateWindowSize - distance;
            if (distance - pos <= z->flushed && src + length + kCopySlack <= kInflateWindowSize) {
                copyfast<Rows::kRestoreSlack>(out, window + src, length);
                out += length;
                continue;
            }
        }
        z->pos = pos;
        result = copymatch(z, length, distance);
        out = window + z->pos;
        if (result) break;
    }
    z->pos = (unsigned)(out - window);
    z->bitcount = b.valid();
    z->bitbuf = b.buf & (((BitWord)1 << z->bitcount) - 1);
    unsigned taken = (unsigned)(b.in - cursor->next);
    z->inlinebytes += taken;
    cursor->unread -= (int)taken;
    cursor->next += taken;
    return result;
}

// The fast loop of a variant, compiled for the baseline processor and on x86-64 also for
// processors with BMI2, whose shifts by a register count tie up neither the count register
// nor the flags: the fast loop is a chain of such shifts. The 32-bit stub keeps the one
// instance, for its size.
template <bool Deflate64>
int fastsymbolsbaseline(Inflater* z, const BlockCodes* codes, bool* endofblock) {
    return fastsymbols<Deflate64>(z, codes, endofblock);
}
#if defined(__x86_64__)
template <bool Deflate64>
__attribute__((target("bmi2"))) int fastsymbolsbmi2(Inflater* z, const BlockCodes* codes,
                                                    bool* endofblock) {
    return fastsymbols<Deflate64>(z, codes, endofblock);
}
#endif

typedef int (*FastLoop)(Inflater*, const BlockCodes*, bool*);

// Set by useinflatebmi2(false), so that tests compare both instances on one machine.
bool bmi2declined;

bool bmi2available() {
#if defined(__x86_64__)
    return __builtin_cpu_supports("bmi2");
#else
    return false;
#endif
}

FastLoop fastloop(bool deflate64) {
#if defined(__x86_64__)
    if (!bmi2declined && bmi2available())
        return deflate64 ? fastsymbolsbmi2<true> : fastsymbolsbmi2<false>;
#endif
    return deflate64 ? fastsymbolsbaseline<true> : fastsymbolsbaseline<false>;
}

// Decodes the symbols of one block up to its end code.
int decodesymbols(Inflater* z, const BlockCodes* codes) {
    bool endofblock = false;
    FastLoop fast = fastloop(z->variant == &kDeflate64);
    for (;;) {
        int r = fast(z, codes, &endofblock);
        if (r || endofblock) return r;
        r = carefulsymbol(z, codes, &endofblock);
        if (r || endofblock) return r;
    }
}

// ---- Blocks -------------------------------------------------------------------------

int storedblock(Inflater* z) {
    unsigned length, complement;
    if (!dropbits(z, z->bitcount % 8) || !getbits(z, 16, &length) || !getbits(z, 16, &complement) ||
        length != (~complement & 0xFFFF))
        return kInflateTruncatedOrInvalid;
    InputCursor* cursor = z->hooks->input;
    while (length) {
        int r = makeroom(z);
        if (r) return r;
        if (z->bitcount - z->padbits >= 8 || z->exhausted || cursor->unread <= 0) {
            unsigned b;
            if (!getbits(z, 8, &b)) return kInflateTruncatedOrInvalid;
            z->window[z->pos++] = (unsigned char)b;
            length--;
        } else { // straight from the input buffer
            unsigned n = (unsigned)cursor->unread;
            if (n > length) n = length;
            if (n > kInflateWindowSize - z->pos) n = kInflateWindowSize - z->pos;
            memcpy(z->window + z->pos, cursor->next, n);
            cursor->next += n;
            cursor->unread -= (int)n;
            z->inlinebytes += n;
            z->pos += n;
            length -= n;
        }
    }
    return kInflateOk;
}

int fixedblock(Inflater* z) {
    FixedCodes* cache = z->variant->fixed;
    if (!cache->lit) {
        unsigned char lengths[kMaxLitLenSymbols];
        memset(lengths, 8, 144);
        memset(lengths + 144, 9, 256 - 144);
        memset(lengths + 256, 7, 280 - 256);
        memset(lengths + 280, 8, kMaxLitLenSymbols - 280);
        cache->litbits = kFixedLitBits;
        int r = makecodetables(lengths, kMaxLitLenSymbols, kEndOfBlockSymbol + 1,
                               z->variant->lengthbase, z->variant->lengthextra, &cache->lit,
                               &cache->litbits);
        if (r) return r;
        memset(lengths, 5, kMaxDistSymbols);
        cache->distbits = kFixedDistBits;
        r = makecodetables(lengths, kMaxDistSymbols, 0, kDistanceBase, z->variant->distanceextra,
                           &cache->dist, &cache->distbits);
        if (r > kBuildIncomplete) {
            freecodetables(cache->lit);
            *cache = FixedCodes();
            return r;
        }
    }
    BlockCodes codes = {cache->lit, cache->dist, cache->litbits, cache->distbits};
    return decodesymbols(z, &codes);
}

// Sends one of the two notices about a code set without enough codes.
void notice(const Inflater* z, const char* text, unsigned length) {
    enum { kNoticeFlags = 1 };
    if (*z->hooks->quietlevel == 0) z->hooks->message(text, length, kNoticeFlags);
}
const char kIncompleteLit[] = "(incomplete l-tree)  ";
const char kIncompleteDist[] = "(incomplete d-tree)  ";
static_assert(sizeof kIncompleteLit - 1 == 21 && sizeof kIncompleteDist - 1 == 21,
              "the notices are 21 characters long");

// Reads the code-length code of a dynamic block and builds its table.
int readcodelengthcode(Inflater* z, unsigned count, CodeEntry** table, unsigned* bits) {
    static const unsigned char kOrder[kCodeLengthSymbols] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                             11, 4,  12, 3, 13, 2, 14, 1, 15};
    unsigned char lengths[kCodeLengthSymbols] = {0};
    for (unsigned i = 0; i < count; i++) {
        unsigned v;
        if (!getbits(z, 3, &v)) return kInflateTruncatedOrInvalid;
        lengths[kOrder[i]] = (unsigned char)v;
    }
    *bits = kCodeLengthBits;
    int r = makecodetables(lengths, kCodeLengthSymbols, kCodeLengthSymbols, nullptr, nullptr, table,
                           bits);
    if (r == kBuildIncomplete || (r == kBuildComplete && *bits == 0)) {
        freecodetables(*table);
        return kInflateTruncatedOrInvalid;
    }
    return r;
}

// Decodes `total` code lengths with the code-length table; repeats may cross from the
// literal/length lengths into the distance lengths.
int readlengths(Inflater* z, const CodeEntry* table, unsigned bits, unsigned char* lengths,
                unsigned total) {
    unsigned i = 0, previous = 0;
    while (i < total) {
        CodeEntry e;
        int r = decodeentry(z, table, bits, &e);
        if (r) return r;
        unsigned symbol = entryvalue(e), repeat, extra;
        if (symbol < 16) {
            lengths[i++] = (unsigned char)(previous = symbol);
            continue;
        }
        if (symbol == 16) {
            if (!getbits(z, 2, &extra)) return kInflateTruncatedOrInvalid;
            repeat = 3 + extra;
        } else {
            if (!getbits(z, symbol == 17 ? 3 : 7, &extra)) return kInflateTruncatedOrInvalid;
            repeat = (symbol == 17 ? 3 : 11) + extra;
            previous = 0;
        }
        if (repeat > total - i) return kInflateTruncatedOrInvalid;
        memset(lengths + i, (int)previous, repeat);
        i += repeat;
    }
    return kInflateOk;
}

// Builds the literal/length and distance tables of a dynamic block from its lengths.
int dynamictables(Inflater* z, const unsigned char* lengths, unsigned hlit, unsigned hdist,
                  BlockCodes* codes, CodeEntry** lit, CodeEntry** dist) {
    codes->litbits = kDynamicLitBits;
    int r = makecodetables(lengths, hlit, kEndOfBlockSymbol + 1, z->variant->lengthbase,
                           z->variant->lengthextra, lit, &codes->litbits);
    if (r == kBuildIncomplete || (r == kBuildComplete && codes->litbits == 0)) {
        notice(z, kIncompleteLit, sizeof kIncompleteLit - 1);
        freecodetables(*lit);
        return kInflateTruncatedOrInvalid;
    }
    if (r) return r;
    codes->distbits = kDynamicDistBits;
    r = makecodetables(lengths + hlit, hdist, 0, kDistanceBase, z->variant->distanceextra, dist,
                       &codes->distbits);
    if (r == kBuildIncomplete) r = kBuildComplete; // unused distance codes are harmless
    if (r == kBuildComplete && codes->distbits == 0 && hlit > kEndOfBlockSymbol + 1) {
        notice(z, kIncompleteDist, sizeof kIncompleteDist - 1);
        r = kInflateTruncatedOrInvalid;
    }
    if (r) {
        freecodetables(*dist);
        freecodetables(*lit);
        return r;
    }
    codes->lit = *lit;
    codes->dist = *dist;
    return kInflateOk;
}

int dynamicblock(Inflater* z) {
    unsigned hlit, hdist, hclen;
    if (!getbits(z, 5, &hlit) || !getbits(z, 5, &hdist) || !getbits(z, 4, &hclen))
        return kInflateTruncatedOrInvalid;
    hlit += 257;
    hdist += 1;
    CodeEntry* cltable;
    unsigned clbits;
    int r = readcodelengthcode(z, hclen + 4, &cltable, &clbits);
    if (r) return r;
    unsigned char lengths[kMaxLitLenSymbols + kMaxDistSymbols];
    r = readlengths(z, cltable, clbits, lengths, hlit + hdist);
    freecodetables(cltable);
    if (r) return r;
    BlockCodes codes;
    CodeEntry *lit, *dist;
    r = dynamictables(z, lengths, hlit, hdist, &codes, &lit, &dist);
    if (r) return r;
    r = decodesymbols(z, &codes);
    freecodetables(lit);
    freecodetables(dist);
    return r;
}

// Decodes one block; *final receives its final-block flag.
int nextblock(Inflater* z, bool* final) {
    enum BlockType { kStored = 0, kFixed = 1, kDynamic = 2 };
    unsigned flag, type;
    if (!getbits(z, 1, &flag) || !getbits(z, 2, &type)) return kInflateTruncatedOrInvalid;
    *final = flag != 0;
    switch (type) {
    case kStored:
        return storedblock(z);
    case kFixed:
        return fixedblock(z);
    case kDynamic:
        return dynamicblock(z);
    default:
        return kInflateReservedOrOversubscribed;
    }
}

} // namespace

int undeflate(const InflateHooks* hooks, bool deflate64) {
    Inflater z;
    memset(&z, 0, sizeof z);
    z.hooks = hooks;
    z.window = hooks->window;
    z.variant = deflate64 ? &kDeflate64 : &kDeflate;
    bool final = false;
    int r;
    do r = nextblock(&z, &final);
    while (r == kInflateOk && !final);
    givebackbytes(&z);
    if (r) return r;
    // A full window goes out whole, then the rest (possibly nothing) as the last flush.
    r = makeroom(&z);
    if (r) return r;
    return hooks->flushoutput(z.window, z.pos, 0);
}

int releasefixedcodes() {
    for (FixedCodes& cache : fixedcache) {
        freecodetables(cache.lit);
        freecodetables(cache.dist);
        cache = FixedCodes();
    }
    return 0;
}

bool useinflatebmi2(bool on) {
    bmi2declined = !on;
    return on && bmi2available();
}
