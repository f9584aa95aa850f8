// Restoring the stub's packed code: a small one-shot inflater and the undoing of the
// build's transforms (stub/unpack.h).
//
// This code runs while the rest of the stub's code is still packed, so it may call nothing
// but itself: helpers are local, the little-endian fields are read and written by the static
// inline functions of common/byteorder.h, which keep any copy in this object, and the file is
// compiled with -fno-builtin so that no loop becomes a call of memset or memcpy
// (stub/CMakeLists.txt; the build checks what the object leaves undefined). It is built for
// size, not speed: it decodes Huffman codes one bit at a time, from the code lengths' counts
// alone, and computes the base and extra bits of each length and distance symbol instead of
// keeping tables. A few hundred kilobytes of output take milliseconds.
#include "stub/unpack.h"

#include "common/byteorder.h"

namespace {

enum : unsigned {
    kMaxCodeBits = 15,
    kLiteralLengthCodes = 288, // the fixed code's; a dynamic block may define up to 286
    kDynamicLiteralLimit = 286,
    kDistanceCodes = 30,
    kCodeLengthCodes = 19,
    kEndOfBlock = 256,
    kFirstLength = 257,
    kLengthSymbols = 29, // 257..285; 285 stands for 258
    kLongestMatch = 258,
};

struct HuffmanCode {
    uint16_t counts[kMaxCodeBits + 1];     // codes of each length; counts[0] is unused
    uint16_t symbols[kLiteralLengthCodes]; // symbols in code order
};

struct Inflater {
    const uint8_t* next;
    const uint8_t* end;
    uint32_t held;  // bits not yet used, the next one lowest
    unsigned count; // how many
    bool pastend;   // bits were asked for beyond the input (read as zeros)
    uint8_t* out;
    size_t written;
    size_t limit;
    HuffmanCode literals, distances;
};

// n (at most 16) bits, the first one lowest.
unsigned getbits(Inflater* f, unsigned n) {
    while (f->count < n) {
        unsigned byte = 0;
        if (f->next < f->end)
            byte = *f->next++;
        else
            f->pastend = true;
        f->held |= byte << f->count;
        f->count += 8;
    }
    unsigned value = f->held & ((1u << n) - 1);
    f->held >>= n;
    f->count -= n;
    return value;
}

// The canonical Huffman code with the given code lengths (0: symbol unused). False when
// the lengths ask for more codes than fit; an incomplete code is kept, and its unused bit
// patterns fail in decodesymbol.
bool buildcode(HuffmanCode* code, const uint8_t* lengths, unsigned n) {
    uint16_t offsets[kMaxCodeBits + 1];
    for (unsigned len = 0; len <= kMaxCodeBits; ++len) code->counts[len] = 0;
    for (unsigned s = 0; s < n; ++s) ++code->counts[lengths[s]];
    int left = 1;
    unsigned offset = 0;
    for (unsigned len = 1; len <= kMaxCodeBits; ++len) {
        left = 2 * left - code->counts[len];
        if (left < 0) return false;
        offsets[len] = static_cast<uint16_t>(offset);
        offset += code->counts[len];
    }
    for (unsigned s = 0; s < n; ++s)
        if (lengths[s]) code->symbols[offsets[lengths[s]]++] = static_cast<uint16_t>(s);
    return true;
}

// The next symbol, read one bit at a time: the codes of one length are consecutive
// numbers, starting where the shorter ones ended, doubled. -1 for a pattern with no code.
int decodesymbol(Inflater* f, const HuffmanCode* code) {
    int value = 0, first = 0, index = 0;
    for (unsigned len = 1; len <= kMaxCodeBits; ++len) {
        value |= getbits(f, 1);
        int count = code->counts[len];
        if (value - first < count) return code->symbols[index + value - first];
        index += count;
        first = (first + count) << 1;
        value <<= 1;
    }
    return -1;
}

// A length (groupbits 2, offset 3) or distance (groupbits 1, offset 1) from its symbol
// number: the first two groups stand for themselves, then each group of 2^groupbits
// symbols has one extra bit more than the one before and covers twice its range.
unsigned readspan(Inflater* f, unsigned symbol, unsigned groupbits, unsigned offset) {
    unsigned group = 1u << groupbits;
    if (symbol < 2 * group) return symbol + offset;
    unsigned extra = (symbol >> groupbits) - 1;
    return ((group | (symbol & (group - 1))) << extra) + offset + getbits(f, extra);
}

bool usecodes(Inflater* f, const uint8_t* lengths, unsigned literals, unsigned distances) {
    return buildcode(&f->literals, lengths, literals) &&
           buildcode(&f->distances, lengths + literals, distances);
}

bool fixedcodes(Inflater* f) {
    uint8_t lengths[kLiteralLengthCodes + kDistanceCodes];
    for (unsigned s = 0; s < kLiteralLengthCodes; ++s)
        lengths[s] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
    for (unsigned s = 0; s < kDistanceCodes; ++s) lengths[kLiteralLengthCodes + s] = 5;
    return usecodes(f, lengths, kLiteralLengthCodes, kDistanceCodes);
}

bool dynamiccodes(Inflater* f) {
    static const uint8_t kLengthOrder[kCodeLengthCodes] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                           11, 4,  12, 3, 13, 2, 14, 1, 15};
    unsigned literals = getbits(f, 5) + kFirstLength;
    unsigned distances = getbits(f, 5) + 1;
    unsigned lengthcodes = getbits(f, 4) + 4;
    if (literals > kDynamicLiteralLimit || distances > kDistanceCodes) return false;

    uint8_t lengths[kDynamicLiteralLimit + kDistanceCodes];
    for (unsigned i = 0; i < kCodeLengthCodes; ++i) lengths[i] = 0;
    for (unsigned i = 0; i < lengthcodes; ++i) lengths[kLengthOrder[i]] = uint8_t(getbits(f, 3));
    if (!buildcode(&f->literals, lengths, kCodeLengthCodes)) return false;

    unsigned total = literals + distances;
    for (unsigned i = 0; i < total;) {
        int symbol = decodesymbol(f, &f->literals);
        if (symbol < 0) return false;
        if (symbol < 16) {
            lengths[i++] = uint8_t(symbol);
            continue;
        }
        unsigned value = 0, repeat;
        if (symbol == 16) {
            if (i == 0) return false;
            value = lengths[i - 1];
            repeat = 3 + getbits(f, 2);
        } else if (symbol == 17) {
            repeat = 3 + getbits(f, 3);
        } else {
            repeat = 11 + getbits(f, 7);
        }
        if (repeat > total - i) return false;
        while (repeat--) lengths[i++] = uint8_t(value);
    }
    return lengths[kEndOfBlock] != 0 && usecodes(f, lengths, literals, distances);
}

bool storedblock(Inflater* f) {
    getbits(f, f->count & 7); // to the next byte
    unsigned length = getbits(f, 16);
    if (length != (getbits(f, 16) ^ 0xFFFF) || length > f->limit - f->written) return false;
    while (length--) f->out[f->written++] = uint8_t(getbits(f, 8));
    return true;
}

bool codedblock(Inflater* f) {
    for (;;) {
        int symbol = decodesymbol(f, &f->literals);
        if (symbol < 0) return false;
        if (symbol == int(kEndOfBlock)) return true;
        if (symbol < int(kEndOfBlock)) {
            if (f->written == f->limit) return false;
            f->out[f->written++] = uint8_t(symbol);
            continue;
        }
        unsigned lengthsymbol = unsigned(symbol) - kFirstLength;
        if (lengthsymbol >= kLengthSymbols) return false;
        unsigned length =
            lengthsymbol == kLengthSymbols - 1 ? kLongestMatch : readspan(f, lengthsymbol, 2, 3);
        int distancesymbol = decodesymbol(f, &f->distances);
        if (distancesymbol < 0 || distancesymbol >= int(kDistanceCodes)) return false;
        size_t distance = readspan(f, unsigned(distancesymbol), 1, 1);
        if (distance > f->written || length > f->limit - f->written) return false;
        for (; length; --length, ++f->written) f->out[f->written] = f->out[f->written - distance];
    }
}

} // namespace

size_t inflatepacked(const uint8_t* in, size_t inlength, uint8_t* out, size_t outlimit) {
    Inflater f;
    f.next = in;
    f.end = in + inlength;
    f.held = 0;
    f.count = 0;
    f.pastend = false;
    f.out = out;
    f.written = 0;
    f.limit = outlimit;
    unsigned last;
    do {
        last = getbits(&f, 1);
        unsigned type = getbits(&f, 2);
        bool ok = type == 0   ? storedblock(&f)
                  : type == 1 ? fixedcodes(&f) && codedblock(&f)
                  : type == 2 ? dynamiccodes(&f) && codedblock(&f)
                              : false;
        if (!ok || f.pastend) return kInflateFailed;
    } while (!last);
    return f.written;
}

bool restorecode(const uint8_t* unpacked, size_t length, uint8_t* code, size_t codelength,
                 uint32_t delta) {
    if (length < codelength) return false;
    for (size_t i = 0; i < codelength;) {
        uint8_t byte = unpacked[i];
        code[i++] = byte;
        if ((byte == 0xE8 || byte == 0xE9) && codelength - i >= 4) {
            set32(code + i, get32(unpacked + i) - uint32_t(i + 4));
            i += 4;
        }
    }
    const uint8_t* gaps = unpacked + codelength;
    const uint8_t* end = unpacked + length;
    size_t offset = 0;
    while (gaps < end) {
        size_t gap = *gaps++;
        if (gap == kLongGapMark) {
            if (end - gaps < 2) return false;
            gap = get16(gaps);
            gaps += 2;
        }
        offset += gap;
        if (codelength < 4 || offset > codelength - 4) return false;
        set32(code + offset, get32(code + offset) + delta);
    }
    return true;
}
