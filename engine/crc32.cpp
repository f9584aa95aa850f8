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
//
// On x86 processors with PCLMULQDQ (checked with CPUID when the tables are built) inputs of
// 64 bytes or more are folded with carry-less multiplication instead. Read as polynomials
// over GF(2), with the first bit of the data as the highest power, the register after the
// data is M(x) * x^32 mod P, so any block may be replaced by a shorter one congruent to it
// mod P. A 16-byte block R at D bits before the end contributes R * x^D. Loaded little-endian
// into an XMM register, R is H * x^64 + L, H being its first (low) eight bytes and L its
// last (high) eight, so R * x^D == H * (x^(D+64) mod P) + L * (x^D mod P): two 64 x 32-bit
// products of at most 96 bits, which fold R onto the block D bits later. In this bit order
// a carry-less product of two 64-bit values comes out multiplied by an extra x (its 127
// bits sit at the low end of the 128), so the constants are x^(D+63) and x^(D-1) mod P,
// each stored with the coefficient of x^i at bit 63 - i. Four registers run 64 bytes
// (D = 512) apart so that the multiplications overlap; they are then folded into one with
// D = 128, which also takes the remaining whole 16-byte blocks. The last register is
// congruent to the whole data, so its CRC from a zero register, four table word steps,
// is the result; the running CRC enters by being XORed into the first four bytes, which is
// what starting the register with it does. The bytes after the last whole block go through
// the tables.
#include "engine/crc32.h"

#include "common/byteorder.h"

#include <stdlib.h>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#include <emmintrin.h>
#include <smmintrin.h>
#include <wmmintrin.h>
#define ORV_CRC_FOLDING 1
#else
#define ORV_CRC_FOLDING 0
#endif

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
            lane[j] = foldword(lane[j] ^ get32(p + j * kWordBytes), kWordBytes);
    crc = 0;
    for (int j = 0; j < kLanes; j++) crc = foldword(crc ^ lane[j] ^ get32(p + j * kWordBytes), 0);
    *data = p + kRoundBytes;
    *n -= rounds * kRoundBytes;
    return crc;
}

#if ORV_CRC_FOLDING

// Folding constants from x^e mod P (see the note at the top): low half multiplies a
// register's first eight bytes, high half its last eight.
const unsigned long long kFold512[2] = {0x653d982200000000ull, 0xcad38e8f00000000ull};
const unsigned long long kFold128[2] = {0x65673b4600000000ull, 0x9ba54c6f00000000ull};

// Whether folding is available on this processor, and whether it is to be used.
bool foldingsupported;
bool foldingenabled;

bool cpuhasfolding() {
    unsigned a, b, c, d;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
    return (c & bit_PCLMUL) && (c & bit_SSE4_1) && (d & bit_SSE2);
}

// The 32-bit Windows stack is only 4-byte aligned, and spilled XMM registers need 16.
#if defined(__i386__)
#define ORV_ALIGN_STACK __attribute__((force_align_arg_pointer))
#else
#define ORV_ALIGN_STACK
#endif

__attribute__((target("pclmul,sse4.1"))) inline __m128i fold(__m128i r, __m128i k) {
    return _mm_xor_si128(_mm_clmulepi64_si128(r, k, 0x00), _mm_clmulepi64_si128(r, k, 0x11));
}

__attribute__((target("pclmul,sse4.1"))) inline __m128i load128(const unsigned char* p) {
    return _mm_loadu_si128((const __m128i*)p);
}

// Folds the whole 16-byte blocks of the data; returns the register after them and advances
// *data and *n past them. Needs at least 64 bytes.
__attribute__((target("pclmul,sse4.1"))) ORV_ALIGN_STACK unsigned
foldblocks(unsigned crc, const unsigned char** data, size_t* n) {
    const unsigned char* p = *data;
    size_t left = *n;
    __m128i k = load128((const unsigned char*)kFold512);
    __m128i a0 = _mm_xor_si128(load128(p), _mm_cvtsi32_si128((int)crc));
    __m128i a1 = load128(p + 16), a2 = load128(p + 32), a3 = load128(p + 48);
    for (p += 64, left -= 64; left >= 64; p += 64, left -= 64) {
        a0 = _mm_xor_si128(fold(a0, k), load128(p));
        a1 = _mm_xor_si128(fold(a1, k), load128(p + 16));
        a2 = _mm_xor_si128(fold(a2, k), load128(p + 32));
        a3 = _mm_xor_si128(fold(a3, k), load128(p + 48));
    }
    k = load128((const unsigned char*)kFold128);
    a0 = _mm_xor_si128(fold(a0, k), a1);
    a0 = _mm_xor_si128(fold(a0, k), a2);
    a0 = _mm_xor_si128(fold(a0, k), a3);
    for (; left >= 16; p += 16, left -= 16) a0 = _mm_xor_si128(fold(a0, k), load128(p));
    unsigned char last[16];
    _mm_storeu_si128((__m128i*)last, a0);
    crc = 0;
    for (int j = 0; j < 16; j += kWordBytes) crc = foldword(crc ^ get32(last + j), 0);
    *data = p;
    *n = left;
    return crc;
}

#endif

} // namespace

bool usecrcfolding(bool on) {
#if ORV_CRC_FOLDING
    foldingenabled = on && foldingsupported;
    return foldingenabled;
#else
    return false;
#endif
}

bool buildcrctable() {
    if (crctables) return true;
    crctables = (unsigned(*)[kTableEntries])malloc(sizeof(unsigned) * kTables * kTableEntries);
    if (!crctables) return false;
#if ORV_CRC_FOLDING
    foldingsupported = foldingenabled = cpuhasfolding();
#endif
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
#if ORV_CRC_FOLDING
    if (foldingenabled && n >= 64) crc = foldblocks(crc, &data, &n);
#endif
    if (n >= 2 * kRoundBytes) crc = lanes(crc, &data, &n);
    for (; n; n--) crc = crcbyte(crc, *data++);
    return ~crc;
}
