// Deflate streams written bit by bit for the inflate tests: fields in Deflate's bit order,
// Huffman codes from their lengths, stored, fixed and dynamic blocks, so that every stream
// states exactly which rule it exercises. Shared by the tests of both builds and the
// differential tests against zlib.
#pragma once

#include <algorithm>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace deflatewriter {

using Bytes = std::vector<unsigned char>;

// Canonical Huffman codes of a set of lengths.
inline std::vector<unsigned> canonicalcodes(const std::vector<int>& lengths) {
    int count[16] = {0}, next[16] = {0};
    for (int len : lengths) count[len]++;
    count[0] = 0;
    for (int len = 1, code = 0; len < 16; len++) next[len] = code = (code + count[len - 1]) << 1;
    std::vector<unsigned> codes(lengths.size());
    for (size_t s = 0; s < lengths.size(); s++)
        if (lengths[s]) codes[s] = next[lengths[s]]++;
    return codes;
}

// The literal/length lengths of the fixed code.
inline std::vector<int> fixedlengths() {
    std::vector<int> l(288, 8);
    std::fill(l.begin() + 144, l.begin() + 256, 9);
    std::fill(l.begin() + 256, l.begin() + 280, 7);
    return l;
}

struct StreamWriter {
    Bytes bytes;
    unsigned bits = 0; // bits used in the last byte

    // A field of n bits, least significant bit first.
    void put(unsigned value, int n) {
        for (int i = 0; i < n; i++) {
            if (bits == 0) bytes.push_back(0);
            bytes.back() |= ((value >> i) & 1) << bits;
            bits = (bits + 1) % 8;
        }
    }
    // A Huffman code, most significant bit first.
    void code(unsigned code, int len) {
        for (int i = len - 1; i >= 0; i--) put((code >> i) & 1, 1);
    }
    void align() { bits = 0; }

    void header(bool final, int type) {
        put(final, 1);
        put(type, 2);
    }
    void stored(bool final, const Bytes& data) {
        header(final, 0);
        align();
        put((unsigned)data.size(), 16);
        put(~(unsigned)data.size() & 0xFFFF, 16);
        bytes.insert(bytes.end(), data.begin(), data.end());
    }
};

// Writes symbols of a block whose literal/length and distance lengths are known.
struct BlockWriter {
    StreamWriter& w;
    std::vector<int> litlen, distlen;
    std::vector<unsigned> litcode, distcode;

    BlockWriter(StreamWriter& writer, std::vector<int> lit, std::vector<int> dist)
        : w(writer), litlen(std::move(lit)), distlen(std::move(dist)),
          litcode(canonicalcodes(litlen)), distcode(canonicalcodes(distlen)) {}

    void symbol(int s) { w.code(litcode.at(s), litlen.at(s)); }
    void literal(unsigned char c) { symbol(c); }
    void end() { symbol(256); }
    // A match given by its codes and extra-bit values.
    void match(int lengthcode, unsigned lengthextra, int lengthbits, int distcodeindex,
               unsigned distextra, int distbits) {
        symbol(lengthcode);
        w.put(lengthextra, lengthbits);
        w.code(distcode.at(distcodeindex), distlen.at(distcodeindex));
        w.put(distextra, distbits);
    }
};

inline BlockWriter fixedblock(StreamWriter& w, bool final) {
    w.header(final, 1);
    return BlockWriter(w, fixedlengths(), std::vector<int>(32, 5));
}

// A dynamic block header whose code-length code gives every length 0..15 four bits.
inline BlockWriter dynamicblock(StreamWriter& w, bool final, const std::vector<int>& lit,
                                const std::vector<int>& dist) {
    w.header(final, 2);
    w.put((unsigned)lit.size() - 257, 5);
    w.put((unsigned)dist.size() - 1, 5);
    w.put(19 - 4, 4);
    const int order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
    for (int s : order) w.put(s < 16 ? 4 : 0, 3);
    for (int len : lit) w.code(len, 4);
    for (int len : dist) w.code(len, 4);
    return BlockWriter(w, lit, dist);
}

// Literal/length lengths: the given symbols get the given lengths, all others 0.
inline std::vector<int> lengths(size_t n, std::initializer_list<std::pair<int, int>> set) {
    std::vector<int> l(n, 0);
    for (auto [symbol, len] : set) l.at(symbol) = len;
    return l;
}

inline Bytes text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

inline Bytes pattern(size_t n, unsigned seed) {
    Bytes b(n);
    for (size_t i = 0; i < n; i++) {
        seed = seed * 1103515245 + 12345;
        b[i] = (unsigned char)(seed >> 16);
    }
    return b;
}

// A member whose first symbols after a stored block are two literals and a 258-byte match:
// the stored block leaves the window position at `position` (at most 65,535), then one
// dynamic block holds the literals 'a' and 'b', a match of 258 bytes at distance 2 and
// `tail` literals. Deflate64 writes the length as code 285 with 16 extra bits of 255.
// *expected receives the decoded bytes, made by copying the match byte by byte.
inline Bytes windowedgestream(unsigned position, bool deflate64, unsigned tail, Bytes* expected) {
    Bytes stored = pattern(position, position);
    *expected = stored;
    StreamWriter w;
    w.stored(false, stored);
    std::vector<int> lit(286, 8); // 254 literals of 8 bits, four symbols of 9 bits
    lit[254] = lit[255] = lit[256] = lit[285] = 9;
    std::fill(lit.begin() + 257, lit.begin() + 285, 0);
    BlockWriter b = dynamicblock(w, true, lit, lengths(2, {{0, 1}, {1, 1}}));
    b.literal('a');
    b.literal('b');
    if (deflate64)
        b.match(285, 255, 16, 1, 0, 0);
    else
        b.match(285, 0, 0, 1, 0, 0);
    expected->insert(expected->end(), {'a', 'b'});
    for (int i = 0; i < 258; i++) expected->push_back((*expected)[expected->size() - 2]);
    for (unsigned char c : pattern(tail, tail)) {
        b.literal(c);
        expected->push_back(c);
    }
    b.end();
    return w.bytes;
}

// The distance code, extra-bit value and extra-bit count of a distance; codes 30 and 31
// are those of Deflate64. False for a distance outside 1..65,536.
inline bool distancecode(unsigned distance, int* code, unsigned* extra, int* bits) {
    unsigned base = 1;
    for (int c = 0; c < 32; c++) {
        int width = c < 4 ? 0 : c / 2 - 1;
        if (distance < base + (1u << width)) {
            *code = c;
            *extra = distance - base;
            *bits = width;
            return distance >= 1;
        }
        base += 1u << width;
    }
    return false;
}

// `produced` bytes in stored blocks, then a fixed block with a 3-byte match at `distance`
// and 64 literals, enough input after the match for the fast loop to decode it. *expected
// receives the decoded bytes when the distance is valid.
inline Bytes matchafter(size_t produced, unsigned distance, Bytes* expected) {
    Bytes history = pattern(produced, (unsigned)produced);
    StreamWriter w;
    for (size_t at = 0; at < produced || at == 0; at += 40000) {
        size_t end = std::min(produced, at + 40000);
        w.stored(false, Bytes(history.begin() + at, history.begin() + end));
    }
    BlockWriter b = fixedblock(w, true);
    int code, bits;
    unsigned extra;
    if (!distancecode(distance, &code, &extra, &bits)) return Bytes();
    b.match(257, 0, 0, code, extra, bits);
    Bytes tail = pattern(64, distance);
    for (unsigned char c : tail) b.literal(c);
    b.end();
    *expected = history;
    for (int i = 0; i < 3 && distance <= produced; i++)
        expected->push_back((*expected)[expected->size() - distance]);
    expected->insert(expected->end(), tail.begin(), tail.end());
    return w.bytes;
}

} // namespace deflatewriter
