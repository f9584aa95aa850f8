// CRC-32 of ZIP members, computed in six interleaved lanes of 32-bit words.
//
// The bitwise definition: for each input byte, crc ^= byte, then eight times
// crc = (crc >> 1) ^ (0xEDB88320 if the low bit was set). shift[0][b] is the effect of those
// eight steps on a register holding only b, so one byte costs one lookup:
//     crc = shift[0][(crc ^ byte) & 0xff] ^ (crc >> 8).
// The CRC is linear: the register after some data is the XOR of the contributions of every
// byte, and the contribution of a byte b followed by k zero bytes is a table of b alone
// (shift[k][b], built by running shift[k-1][b] through one more zero byte).
//
// A table-driven CRC that folds one word per step waits on every step for the previous
// one. Here the data is cut into rounds of kLanes words; lane j takes word j of every round
// and keeps its own register, as if all bytes of the other lanes were zero. A lane folds its
// word (XORed into its register) through the tables of "byte k of the word, followed by
// kRoundBytes - 1 - k zeros", which moves the register one round on, to where the lane's
// next word begins. The lanes do not depend on each other, so the processor works on all
// six at once. The last whole round is not folded that way: there the lanes are merged in
// data order, since at word j of that round the true register is the running CRC XOR lane
// j's register, and each word is finished with the ordinary tables of "byte k followed by
// 3 - k zeros". The bytes after the last whole round go one at a time.
//
// Eight tables (8 KB) are used; they are built on the heap for each run rather than stored
// in the stub's image.
#include "engine/crc32.h"

#include <stdlib.h>

namespace {

enum {
    kTableEntries = 256, // one entry per byte value
    kWordBytes = 4,
    kLanes = 6,
    kRoundBytes = kLanes * kWordBytes,
    kTables = 2 * kWordBytes, // finishing tables, then lane tables
};
const unsigned kPolynomial = 0xEDB88320u; // x^32 + x^26 + ... + 1, bit-reversed

// crctables[k] for k < 4: a byte followed by k zero bytes (crctables[0] is the classic
// byte table). crctables[4 + k]: a byte followed by kRoundBytes - 4 + k zero bytes.
unsigned (*crctables)[kTableEntries];

unsigned load32(const unsigned char* p) {
    return p[0] | (unsigned)p[1] << 8 | (unsigned)p[2] << 16 | (unsigned)p[3] << 24;
}

// Folds word v through tables base + 3 (its first byte) down to base + 0 (its last byte).
unsigned foldword(unsigned v, int base) {
    const unsigned(*t)[kTableEntries] = crctables + base;
    return t[3][v & 0xff] ^ t[2][(v >> 8) & 0xff] ^ t[1][(v >> 16) & 0xff] ^ t[0][v >> 24];
}

// Runs whole rounds of the lanes over the data; returns the register after them and
// advances *data and *n past them. Needs at least one round.
unsigned lanes(unsigned crc, const unsigned char** data, size_t* n) {
    const unsigned char* p = *data;
    size_t rounds = *n / kRoundBytes;
    unsigned lane[kLanes] = {crc};
    for (size_t r = 1; r < rounds; r++, p += kRoundBytes)
        for (int j = 0; j < kLanes; j++)
            lane[j] = foldword(lane[j] ^ load32(p + j * kWordBytes), kWordBytes);
    crc = 0;
    for (int j = 0; j < kLanes; j++) crc = foldword(crc ^ lane[j] ^ load32(p + j * kWordBytes), 0);
    *data = p + kRoundBytes;
    *n -= rounds * kRoundBytes;
    return crc;
}

} // namespace

bool buildcrctable() {
    if (crctables) return true;
    crctables = (unsigned(*)[kTableEntries])malloc(sizeof(unsigned) * kTables * kTableEntries);
    if (!crctables) return false;
    for (unsigned b = 0; b < kTableEntries; b++) {
        unsigned reg = b;
        for (int bit = 0; bit < 8; bit++) reg = (reg >> 1) ^ (kPolynomial & (0u - (reg & 1)));
        crctables[0][b] = reg;
    }
    for (unsigned b = 0; b < kTableEntries; b++) {
        unsigned reg = crctables[0][b];
        for (int zeros = 1; zeros < kRoundBytes; zeros++) {
            reg = crctables[0][reg & 0xff] ^ (reg >> 8);
            if (zeros < kWordBytes) crctables[zeros][b] = reg;
            if (zeros >= kRoundBytes - kWordBytes)
                crctables[zeros - (kRoundBytes - 2 * kWordBytes)][b] = reg;
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
    if (n >= 2 * kRoundBytes) crc = lanes(crc, &data, &n);
    for (; n; n--) crc = crcbyte(crc, *data++);
    return ~crc;
}
