// CRC-32 of ZIP members (reflected polynomial 0xEDB88320, initial value and final XOR all
// ones), computed with carry-less multiplication where the processor has it and with
// tables otherwise.
//
// The tables (8 x 256 words) are built on the heap at the start of a run and released at
// its end, so that the stub's image carries no 8 KB of constants.
#pragma once

#include <stddef.h>

// Builds the tables if they are not built yet. Returns false when memory runs out.
bool buildcrctable();

// Chooses between the carry-less-multiply path (on, the default that buildcrctable sets
// when the processor supports it) and the table path alone (off), so that both can be
// compared on one machine. Returns whether the carry-less-multiply path is now in use;
// it is never used where the processor lacks it. Call after buildcrctable.
bool usecrcfolding(bool on);

// Frees the tables; updatecrc and crcbyte must not be called again before buildcrctable.
void releasecrctable();

// Continues a CRC over n more bytes, with zlib's conventions: updatecrc(0, p, 0) == 0, and
// updatecrc(updatecrc(0, a, na), b, nb) is the CRC of a followed by b.
unsigned updatecrc(unsigned crc, const unsigned char* data, size_t n);

// One raw table step, table[(reg ^ b) & 0xff] ^ (reg >> 8), without the inversions; the
// key update of the traditional PKWARE cipher uses it.
unsigned crcbyte(unsigned reg, unsigned char b);
