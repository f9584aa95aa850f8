// CRC-32 of ZIP members, sixteen bytes per step ("slicing by sixteen").
//
// The bitwise definition: for each input byte, crc ^= byte, then eight times
// crc = (crc >> 1) ^ (0xEDB88320 if the low bit was set). table[0][b] is the effect of those
// eight steps on a register holding only b, so one byte costs one lookup:
//     crc = table[0][(crc ^ byte) & 0xff] ^ (crc >> 8).
// table[k][b] is the contribution of byte b after k further zero bytes have been processed
// (table[k][b] = table[0][table[k-1][b] & 0xff] ^ (table[k-1][b] >> 8)). Because the CRC is
// linear, sixteen bytes can then be folded at once: byte j of the block (the first four
// XORed with the register) goes through table[15 - j], and the sixteen lookups are
// independent, so the processor overlaps them instead of waiting on each.
//
// The tables take 16 KB; they are built on the heap for each run rather than stored in
// the stub's image.
#include "engine/crc32.h"

#include <stdlib.h>

namespace {

enum {
    kSlices = 16,        // bytes folded per step, one table each
    kTableEntries = 256, // one entry per byte value
};
const unsigned kPolynomial = 0xEDB88320u; // x^32 + x^26 + ... + 1, bit-reversed

unsigned (*crctables)[kTableEntries]; // kSlices tables; null when not built

unsigned load32(const unsigned char* p) {
    return p[0] | (unsigned)p[1] << 8 | (unsigned)p[2] << 16 | (unsigned)p[3] << 24;
}

// Folds the register and the next twelve bytes through table 15 - j for byte j.
unsigned foldblock(unsigned crc, const unsigned char* p) {
    const unsigned(*t)[kTableEntries] = crctables;
    unsigned a = crc ^ load32(p), b = load32(p + 4), c = load32(p + 8), d = load32(p + 12);
    return t[15][a & 0xff] ^ t[14][(a >> 8) & 0xff] ^ t[13][(a >> 16) & 0xff] ^ t[12][a >> 24] ^
           t[11][b & 0xff] ^ t[10][(b >> 8) & 0xff] ^ t[9][(b >> 16) & 0xff] ^ t[8][b >> 24] ^
           t[7][c & 0xff] ^ t[6][(c >> 8) & 0xff] ^ t[5][(c >> 16) & 0xff] ^ t[4][c >> 24] ^
           t[3][d & 0xff] ^ t[2][(d >> 8) & 0xff] ^ t[1][(d >> 16) & 0xff] ^ t[0][d >> 24];
}

} // namespace

bool buildcrctable() {
    if (crctables) return true;
    crctables = (unsigned(*)[kTableEntries])malloc(sizeof(unsigned) * kSlices * kTableEntries);
    if (!crctables) return false;
    for (unsigned b = 0; b < kTableEntries; b++) {
        unsigned reg = b;
        for (int bit = 0; bit < 8; bit++) reg = (reg >> 1) ^ (kPolynomial & (0u - (reg & 1)));
        crctables[0][b] = reg;
    }
    for (int k = 1; k < kSlices; k++) {
        for (unsigned b = 0; b < kTableEntries; b++) {
            unsigned prev = crctables[k - 1][b];
            crctables[k][b] = crctables[0][prev & 0xff] ^ (prev >> 8);
        }
    }
    return true;
}

void releasecrctable() {
    free(crctables);
    crctables = nullptr;
}

unsigned crcbyte(unsigned reg, unsigned char b) {
    return crctables[0][(reg ^ b) & 0xff] ^ (reg >> 8);
}

unsigned updatecrc(unsigned crc, const unsigned char* data, size_t n) {
    crc = ~crc;
    for (; n >= kSlices; n -= kSlices, data += kSlices) crc = foldblock(crc, data);
    for (; n; n--) crc = crcbyte(crc, *data++);
    return ~crc;
}
