// LZMA decoding (method 14) into a dictionary buffer that the engine's flushoutput drains.
//
// Design:
// - The range decoder normalizes after every bit, as the encoder does, so a stream is used
//   up to its last byte and no further: running out of input fails the member, it never
//   reads past the cursor's buffer. Its hot state (range, code, input pointer and end) is a
//   local record of the symbol loop, which compilers keep in registers; the careful part,
//   taking the next input block from readbyte, is one call out of the inline bit decoder.
//   Past the end of the data the decoder reads zeros and stops at the next symbol.
// - The probabilities are one fixed record (Model) sized by the format's worst cases: 16
//   position states, 4 length states and lc + lp at most kMaxLiteralBits. Only the literal
//   coders that lc and lp select are initialised per member.
// - The dictionary is circular. The symbol loop decodes until the write position reaches a
//   stop: the buffer's end, one flush block past the last flush, or the member's size. A
//   match that crosses the stop is cut there and its rest copied first on the next round,
//   so no write passes the stop. A distance is checked against the bytes the buffer holds
//   (all decoded bytes until the buffer wraps, then the whole buffer) before it is used.
// - After the member's size, a stream marked with an end marker must decode to exactly that
//   marker; one without must end there, its range coder at zero.
#include "engine/lzma.h"

#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

namespace {

typedef uint16_t Prob;

enum {
    kProbBits = 11, // probabilities of a zero bit, in units of 2^-11
    kProbOne = 1 << kProbBits,
    kProbInit = kProbOne / 2,
    kMoveBits = 5, // adaptation speed
    kTopValue = 1 << 24,
    kCoderInitBytes = 5, // a zero byte, then the code's 4 bytes

    kStates = 12,
    kLiteralStates = 7, // states below this follow a literal
    kPosBitsMax = 4,
    kPosStatesMax = 1 << kPosBitsMax,
    kLiteralCoderSize = 0x300, // a plain tree (256) and the two matched trees (512)
    kMaxLiteralBits = 4,       // lc + lp
    kLiteralCoders = 1 << kMaxLiteralBits,
    kMaxLc = 8,
    kMaxLp = 4,
    kMaxPb = 4,
    // The property byte is lc + 9 * (lp + 5 * pb).
    kPropertyLimit = (kMaxLc + 1) * (kMaxLp + 1) * (kMaxPb + 1),

    kLowBits = 3,
    kMidBits = 3,
    kHighBits = 8,
    kLowSymbols = 1 << kLowBits,
    kMidSymbols = 1 << kMidBits,
    kHighSymbols = 1 << kHighBits,
    kMatchMin = 2,
    kMatchMax = kMatchMin + kLowSymbols + kMidSymbols + kHighSymbols - 1,

    kLengthStates = 4, // distance models, by match length 2, 3, 4 and longer
    kSlotBits = 6,
    kFirstModelSlot = 4, // slots below it are the distance itself
    kEndModelSlot = 14,  // slots from it up take direct bits and the align bits
    kFullDistances = 1 << (kEndModelSlot >> 1),
    kAlignBits = 4,
    // The reverse trees of slots 4 to 13 share one array, indexed from 1.
    kSpecialProbs = 1 + kFullDistances - kEndModelSlot,
};
// Matches of at least this many bytes, apart from their source, are copied by memcpy.
const uint32_t kCallCopy = 32;
// The distance (less one) that marks the end of the stream.
const uint32_t kEndMarkerDistance = 0xFFFFFFFF;
static_assert(kMatchMax == 273, "the longest match");
static_assert(kPropertyLimit == 225, "property bytes 0 to 224");

// The state after each kind of symbol: states below kLiteralStates follow a literal, the
// others a match (7), a repeated distance (8), a short repeat (9) or either after a match
// (10, 11).
unsigned afterliteral(unsigned state) {
    return state < 4 ? 0 : state < 10 ? state - 3 : state - 6;
}
unsigned aftermatch(unsigned state) {
    return state < kLiteralStates ? 7 : 10;
}
unsigned afterrep(unsigned state) {
    return state < kLiteralStates ? 8 : 11;
}
unsigned aftershortrep(unsigned state) {
    return state < kLiteralStates ? 9 : 11;
}

// The first distance of a slot; the slot's extra bits are added to it.
constexpr uint32_t slotbase(unsigned slot) {
    return (2u | (slot & 1)) << ((slot >> 1) - 1);
}
// The highest index of the special array that a modelled slot's reverse tree reads.
constexpr uint32_t lastspecialindex() {
    uint32_t last = 0;
    for (unsigned slot = kFirstModelSlot; slot < kEndModelSlot; slot++) {
        uint32_t index = slotbase(slot) - slot + (1u << ((slot >> 1) - 1)) - 1;
        if (index > last) last = index;
    }
    return last;
}
static_assert(lastspecialindex() < kSpecialProbs, "the modelled slots' trees fit their array");
static_assert(slotbase(kEndModelSlot) == kFullDistances, "slot 14 starts the direct distances");

struct LengthModel {
    Prob choice, choice2;
    Prob low[kPosStatesMax][kLowSymbols];
    Prob mid[kPosStatesMax][kMidSymbols];
    Prob high[kHighSymbols];
};

// Every probability of a stream; the literal coders come last, so that those not used by a
// member's lc and lp are not initialised.
struct Model {
    Prob ismatch[kStates][kPosStatesMax];
    Prob isrep[kStates], isrepg0[kStates], isrepg1[kStates], isrepg2[kStates];
    Prob isrep0long[kStates][kPosStatesMax];
    Prob slot[kLengthStates][1 << kSlotBits];
    Prob special[kSpecialProbs];
    Prob align[1 << kAlignBits];
    LengthModel matchlength, replength;
    Prob literal[kLiteralCoders][kLiteralCoderSize];
};
Model model;

// The range decoder's state, a local of the symbol loop.
struct Coder {
    uint32_t range, code;
    const unsigned char* in;  // next byte of the cursor's buffer
    const unsigned char* end; // end of the cursor's buffer
    bool exhausted;           // the member's data ran out
};

struct Decoder {
    const InflateHooks* hooks;
    Coder coder;
    unsigned char* dict;
    uint32_t dictsize;
    uint32_t pos;     // next write position in dict
    uint32_t flushed; // dict[flushed..pos) is decoded but not yet flushed
    uint32_t lapbase; // decoded bytes in front of dict[0] (a multiple of dictsize)
    bool wrapped;     // the whole buffer holds decoded bytes
    uint32_t rep[4];  // the last four distances less one, rep[0] the latest
    unsigned state;
    unsigned pending; // bytes of the last match still to copy
    unsigned lc, lp, lpmask, pbmask;
    bool ended; // the end marker was decoded
};

// Takes the next byte outside the symbol loop: -1 when the member's data has ended.
int takebyte(const InflateHooks* hooks) {
    InputCursor* cursor = hooks->input;
    if (--cursor->unread >= 0) return *cursor->next++;
    return hooks->readbyte();
}

// The next input block, through readbyte: its first byte, or -1 at the end of the data.
__attribute__((noinline)) int refill(const InflateHooks* hooks) {
    hooks->input->unread = 0;
    int b = hooks->readbyte();
    if (hooks->input->unread < 0) hooks->input->unread = 0;
    return b;
}

#define LZMA_INLINE inline __attribute__((always_inline))

LZMA_INLINE void normalize(Coder& c, const InflateHooks* hooks) {
    if (c.range >= kTopValue) return;
    unsigned b;
    if (c.in != c.end) {
        b = *c.in++;
    } else {
        int got = refill(hooks);
        c.in = hooks->input->next;
        c.end = c.in + hooks->input->unread;
        c.exhausted |= got < 0;
        b = got < 0 ? 0 : (unsigned)got;
    }
    c.range <<= 8;
    c.code = (c.code << 8) | b;
}

LZMA_INLINE unsigned bit(Coder& c, const InflateHooks* hooks, Prob* p) {
    uint32_t bound = (c.range >> kProbBits) * *p;
    unsigned b;
    if (c.code < bound) {
        c.range = bound;
        *p = (Prob)(*p + ((kProbOne - *p) >> kMoveBits));
        b = 0;
    } else {
        c.range -= bound;
        c.code -= bound;
        *p = (Prob)(*p - (*p >> kMoveBits));
        b = 1;
    }
    normalize(c, hooks);
    return b;
}

// A symbol of n bits, highest first, through a tree of probabilities indexed from 1.
LZMA_INLINE unsigned bittree(Coder& c, const InflateHooks* hooks, Prob* probs, unsigned n) {
    unsigned s = 1;
    for (unsigned i = 0; i < n; i++) s = (s << 1) | bit(c, hooks, probs + s);
    return s - (1u << n);
}

// A symbol of n bits, lowest first.
LZMA_INLINE unsigned reversetree(Coder& c, const InflateHooks* hooks, Prob* probs, unsigned n) {
    unsigned s = 1, value = 0;
    for (unsigned i = 0; i < n; i++) {
        unsigned b = bit(c, hooks, probs + s);
        s = (s << 1) | b;
        value |= b << i;
    }
    return value;
}

// n bits of even probability, highest first.
LZMA_INLINE uint32_t directbits(Coder& c, const InflateHooks* hooks, unsigned n) {
    uint32_t value = 0;
    do {
        c.range >>= 1;
        uint32_t b = c.code >= c.range;
        c.code -= c.range & (0u - b);
        value = (value << 1) | b;
        normalize(c, hooks);
    } while (--n);
    return value;
}

// A match length less kMatchMin.
LZMA_INLINE unsigned length(Coder& c, const InflateHooks* hooks, LengthModel* m,
                            unsigned posstate) {
    if (!bit(c, hooks, &m->choice)) return bittree(c, hooks, m->low[posstate], kLowBits);
    if (!bit(c, hooks, &m->choice2))
        return kLowSymbols + bittree(c, hooks, m->mid[posstate], kMidBits);
    return kLowSymbols + kMidSymbols + bittree(c, hooks, m->high, kHighBits);
}

// A match distance less one, for a length less kMatchMin of len, or kEndMarkerDistance.
LZMA_INLINE uint32_t distance(Coder& c, const InflateHooks* hooks, unsigned len) {
    unsigned lengthstate = len < kLengthStates - 1 ? len : kLengthStates - 1;
    unsigned slot = bittree(c, hooks, model.slot[lengthstate], kSlotBits);
    if (slot < kFirstModelSlot) return slot;
    unsigned extrabits = (slot >> 1) - 1;
    uint32_t base = slotbase(slot);
    if (slot < kEndModelSlot)
        return base + reversetree(c, hooks, model.special + base - slot, extrabits);
    base += directbits(c, hooks, extrabits - kAlignBits) << kAlignBits;
    return base + reversetree(c, hooks, model.align, kAlignBits);
}

// The buffer position distance bytes back from pos (distance at most the bytes it holds).
LZMA_INLINE uint32_t back(uint32_t pos, uint32_t distance, uint32_t size) {
    return pos >= distance ? pos - distance : pos + size - distance;
}

// Copies n bytes to dict[pos] from distance bytes back, byte by byte where the source
// overlaps the destination (a distance shorter than n repeats the recent bytes) or wraps, and
// for matches shorter than kCallCopy, most of them, whose copy costs less than a call.
LZMA_INLINE void copymatch(unsigned char* dict, uint32_t size, uint32_t pos, uint32_t distance,
                           uint32_t n) {
    uint32_t src = back(pos, distance, size);
    unsigned char* out = dict + pos;
    if (src < pos) {
        const unsigned char* from = dict + src;
        if (n <= distance && n >= kCallCopy) {
            memcpy(out, from, n);
        } else {
            for (uint32_t i = 0; i < n; i++) out[i] = from[i];
        }
        return;
    }
    for (; n; n--) {
        *out++ = dict[src++];
        if (src == size) src = 0;
    }
}

LZMA_INLINE unsigned literal(Coder& c, const InflateHooks* hooks, Prob* probs) {
    return bittree(c, hooks, probs, 8);
}

// A literal after a match: while its bits agree with the byte at the latest distance, they
// are coded with the trees of that byte's bits (0x100 and 0x200 up).
LZMA_INLINE unsigned matchedliteral(Coder& c, const InflateHooks* hooks, Prob* probs,
                                    unsigned matchbyte) {
    unsigned s = 1;
    do {
        unsigned matchbit = (matchbyte >> 7) & 1;
        matchbyte <<= 1;
        unsigned b = bit(c, hooks, probs + ((1 + matchbit) << 8) + s);
        s = (s << 1) | b;
        if (b != matchbit) {
            while (s < 0x100) s = (s << 1) | bit(c, hooks, probs + s);
            break;
        }
    } while (s < 0x100);
    return s & 0xFF;
}

// Decodes symbols until the write position reaches stop, the end marker or a failure; with
// once, exactly one symbol (pos == stop then: a match copies nothing and stays pending).
int decodesymbols(Decoder* d, uint32_t stop, bool once) {
    const InflateHooks* hooks = d->hooks;
    Coder c = d->coder;
    unsigned char* const dict = d->dict;
    const uint32_t size = d->dictsize;
    uint32_t pos = d->pos;
    unsigned state = d->state;
    uint32_t rep0 = d->rep[0], rep1 = d->rep[1], rep2 = d->rep[2], rep3 = d->rep[3];
    const unsigned lc = d->lc, lpmask = d->lpmask, pbmask = d->pbmask;
    const uint32_t lapbase = d->lapbase;
    const bool wrapped = d->wrapped;
    unsigned pending = d->pending;
    int result = kLzmaOk;
    if (pending) {
        uint32_t n = pending < stop - pos ? pending : stop - pos;
        copymatch(dict, size, pos, rep0 + 1, n);
        pos += n;
        pending -= n;
    }
    while ((pos < stop || once) && !c.exhausted) {
        once = false;
        uint32_t total = lapbase + pos;
        unsigned posstate = total & pbmask;
        uint32_t held = wrapped ? size : pos; // bytes a distance may reach
        if (!bit(c, hooks, &model.ismatch[state][posstate])) {
            unsigned previous = pos ? dict[pos - 1] : held ? dict[size - 1] : 0;
            Prob* probs = model.literal[((total & lpmask) << lc) + (previous >> (8 - lc))];
            unsigned byte = state < kLiteralStates
                                ? literal(c, hooks, probs)
                                : matchedliteral(c, hooks, probs, dict[back(pos, rep0 + 1, size)]);
            dict[pos++] = (unsigned char)byte;
            state = afterliteral(state);
            continue;
        }
        unsigned len;
        if (!bit(c, hooks, &model.isrep[state])) {
            len = length(c, hooks, &model.matchlength, posstate);
            uint32_t dist = distance(c, hooks, len);
            if (dist == kEndMarkerDistance) {
                d->ended = true;
                break;
            }
            rep3 = rep2;
            rep2 = rep1;
            rep1 = rep0;
            rep0 = dist;
            state = aftermatch(state);
        } else {
            if (!bit(c, hooks, &model.isrepg0[state])) {
                if (!bit(c, hooks, &model.isrep0long[state][posstate])) { // one byte at rep0
                    if (rep0 >= held) {
                        result = kLzmaTruncatedOrInvalid;
                        break;
                    }
                    dict[pos] = dict[back(pos, rep0 + 1, size)];
                    pos++;
                    state = aftershortrep(state);
                    continue;
                }
            } else {
                uint32_t dist;
                if (!bit(c, hooks, &model.isrepg1[state])) {
                    dist = rep1;
                } else {
                    if (!bit(c, hooks, &model.isrepg2[state])) {
                        dist = rep2;
                    } else {
                        dist = rep3;
                        rep3 = rep2;
                    }
                    rep2 = rep1;
                }
                rep1 = rep0;
                rep0 = dist;
            }
            len = length(c, hooks, &model.replength, posstate);
            state = afterrep(state);
        }
        if (rep0 >= held) {
            result = kLzmaTruncatedOrInvalid;
            break;
        }
        len += kMatchMin;
        uint32_t n = len < stop - pos ? len : stop - pos;
        copymatch(dict, size, pos, rep0 + 1, n);
        pos += n;
        pending = len - n;
    }
    d->coder = c;
    d->pending = pending;
    d->pos = pos;
    d->state = state;
    d->rep[0] = rep0;
    d->rep[1] = rep1;
    d->rep[2] = rep2;
    d->rep[3] = rep3;
    return result;
}

// Hands dict[flushed..pos) to flushoutput; a full buffer starts over at its first byte.
int flush(Decoder* d) {
    int r = d->pos > d->flushed
                ? d->hooks->flushoutput(d->dict + d->flushed, d->pos - d->flushed, 0)
                : 0;
    d->flushed = d->pos;
    if (d->pos == d->dictsize) {
        d->lapbase += d->dictsize;
        d->pos = d->flushed = 0;
        d->wrapped = true;
    }
    return r;
}

// Reads the header and properties; sets lc, lp and pb and returns the dictionary size, or
// sets *result.
uint32_t readproperties(Decoder* d, int* result) {
    unsigned char h[kLzmaHeaderBytes + kLzmaPropertiesBytes];
    for (unsigned i = 0; i < sizeof h; i++) {
        int b = takebyte(d->hooks);
        if (b < 0) {
            *result = kLzmaTruncatedOrInvalid;
            return 0;
        }
        h[i] = (unsigned char)b;
    }
    const unsigned char* p = h + kLzmaHeaderBytes;
    unsigned propertiessize = h[2] | h[3] << 8;
    unsigned lc = p[0] % (kMaxLc + 1), lp = p[0] / (kMaxLc + 1) % (kMaxLp + 1);
    unsigned pb = p[0] / ((kMaxLc + 1) * (kMaxLp + 1));
    if (propertiessize != kLzmaPropertiesBytes || p[0] >= kPropertyLimit ||
        lc + lp > kMaxLiteralBits) {
        *result = kLzmaBadHeader;
        return 0;
    }
    d->lc = lc;
    d->lp = lp;
    d->lpmask = (1u << lp) - 1;
    d->pbmask = (1u << pb) - 1;
    return p[1] | p[2] << 8 | p[3] << 16 | (uint32_t)p[4] << 24;
}

// Chooses the buffer: the window where min(dictionary, size) fits it, else an allocation.
int setbuffer(Decoder* d, uint32_t dictionary, uint32_t size) {
    uint32_t need = dictionary < size ? dictionary : size;
    if (need <= kInflateWindowSize) {
        d->dict = d->hooks->window;
        d->dictsize = kInflateWindowSize;
        return kLzmaOk;
    }
    if (need > kLzmaDictionaryLimit) return kLzmaDictionaryTooLarge;
    d->dict = (unsigned char*)malloc(need);
    d->dictsize = need;
    return d->dict ? kLzmaOk : kLzmaNoMemory;
}

void initmodel(unsigned literalbits) {
    Prob* p = (Prob*)&model;
    size_t count =
        offsetof(Model, literal) / sizeof(Prob) + ((size_t)kLiteralCoderSize << literalbits);
    for (size_t i = 0; i < count; i++) p[i] = kProbInit;
}

// The first byte of the range coder is always zero; the next four are the code.
int startcoder(Decoder* d) {
    uint32_t code = 0;
    for (unsigned i = 0; i < kCoderInitBytes; i++) {
        int b = takebyte(d->hooks);
        if (b < 0) return kLzmaTruncatedOrInvalid;
        if (i == 0 && b != 0) return kLzmaTruncatedOrInvalid;
        code = (code << 8) | (unsigned)b;
    }
    InputCursor* cursor = d->hooks->input;
    if (cursor->unread < 0) cursor->unread = 0;
    d->coder.range = 0xFFFFFFFF;
    d->coder.code = code;
    d->coder.in = cursor->next;
    d->coder.end = cursor->next + cursor->unread;
    return kLzmaOk;
}

// Decodes the member's bytes up to size, flushing as the buffer fills.
int decodebody(Decoder* d, uint32_t size) {
    for (;;) {
        uint32_t remaining = size - (d->lapbase + d->pos);
        if (remaining == 0 || d->ended) return kLzmaOk;
        uint32_t stop =
            d->dictsize - d->flushed > kLzmaFlushBlock ? d->flushed + kLzmaFlushBlock : d->dictsize;
        if (stop - d->pos > remaining) stop = d->pos + remaining;
        int r = decodesymbols(d, stop, false);
        if (r == kLzmaOk && d->coder.exhausted) r = kLzmaTruncatedOrInvalid;
        if (r) return r;
        if (d->pos == d->dictsize || d->pos - d->flushed >= kLzmaFlushBlock) {
            r = flush(d);
            if (r) return r;
        }
    }
}

// What must follow the member's last byte: the end marker where the member says so or the
// range coder is not at zero, nothing otherwise (a match may not reach past the size); the
// range coder ends at zero.
int decodeend(Decoder* d, bool endmarker) {
    if (!d->ended && d->pending) return kLzmaTruncatedOrInvalid;
    // Writers that know the size may still end the stream with a marker and leave bit 1
    // clear: a range coder not at zero there must be followed by the marker.
    if (!d->ended && (endmarker || d->coder.code != 0)) {
        if (d->pos == d->dictsize) { // the marker's symbol must find room for a literal
            int r = flush(d);
            if (r) return r;
        }
        int r = decodesymbols(d, d->pos, true);
        if (r || !d->ended || d->coder.exhausted) return kLzmaTruncatedOrInvalid;
    }
    return d->coder.code == 0 ? kLzmaOk : kLzmaTruncatedOrInvalid;
}

int decodestream(Decoder* d, uint32_t size, bool endmarker) {
    int r = startcoder(d);
    if (r == kLzmaOk) r = decodebody(d, size);
    if (r == kLzmaOk) r = decodeend(d, endmarker);
    InputCursor* cursor = d->hooks->input;
    cursor->next = (unsigned char*)d->coder.in;
    cursor->unread = (int)(d->coder.end - d->coder.in);
    if (r) return r;
    return d->hooks->flushoutput(d->dict + d->flushed, d->pos - d->flushed, 0);
}

} // namespace

int unlzma(const InflateHooks* hooks, unsigned size, bool endmarker) {
    Decoder d;
    memset(&d, 0, sizeof d);
    d.hooks = hooks;
    int r = kLzmaOk;
    uint32_t dictionary = readproperties(&d, &r);
    if (r) return r;
    r = setbuffer(&d, dictionary, size);
    if (r) return r;
    initmodel(d.lc + d.lp);
    r = decodestream(&d, size, endmarker);
    if (d.dict != hooks->window) free(d.dict);
    return r;
}
