// LZMA: the decoder of LZMA member data (method 14).
//
// A member's data is a 4-byte header (the encoder's version, 2 bytes, and the size of the
// properties, 2 bytes, which must be 5), the 5 property bytes (lc, lp and pb in one byte, the
// dictionary size in 4), then the range-coded stream. unlzma decodes it into a dictionary
// buffer and hands the decoded bytes to the engine's flushoutput in blocks of at most
// kLzmaFlushBlock bytes. It uses the same hooks record as the inflater: the input cursor,
// readbyte and flushoutput, and the output window as its dictionary where that is large
// enough; its message callback is not used.
//
// Memory: the dictionary holds at most the member's uncompressed size (no distance reaches
// further back than that), so the buffer is min(dictionary size, uncompressed size). Up to
// the window's 65,536 bytes that is the window; a larger one is allocated once per member,
// and one larger than kLzmaDictionaryLimit is refused before anything is decoded.
#pragma once

#include "engine/inflate.h"

enum {
    kLzmaHeaderBytes = 4,     // version (2 bytes) and properties size (2 bytes)
    kLzmaPropertiesBytes = 5, // lc/lp/pb byte, dictionary size (4 bytes)
    // The largest dictionary buffer the decoder allocates: 64 MiB, the dictionary of the
    // strongest presets of 7-Zip and liblzma. A 32-bit process finds one block of that size
    // in its 2 GiB of address space even late in a run; members that need more are refused.
    kLzmaDictionaryLimit = 64 << 20,
    // Decoded bytes handed to flushoutput at most at once (the window's size, so that the
    // engine's progress reports come as often as with Deflate).
    kLzmaFlushBlock = kInflateWindowSize,
};

// Results of unlzma; any other nonzero value is flushoutput's own code passed through.
enum LzmaResult {
    kLzmaOk = 0, // the stream decoded to the member's size (or ended at its end marker)
    // The data ends before the stream does, or holds what no encoder writes: a first range
    // coder byte other than zero, a distance beyond the bytes decoded so far, a match or
    // anything but the end marker past the member's size, a range coder not at zero at the
    // end.
    kLzmaTruncatedOrInvalid = 1,
    // The header or properties are not LZMA's: a properties size other than 5, a property
    // byte past 224, or lc + lp above 4.
    kLzmaBadHeader = 2,
    kLzmaDictionaryTooLarge = 3, // the buffer would exceed kLzmaDictionaryLimit
    kLzmaNoMemory = 4,           // the dictionary buffer could not be allocated
};

// Decodes one member of `size` uncompressed bytes; endmarker (general purpose bit 1) says
// that the stream ends with an end marker behind those bytes. Returns an LzmaResult or
// flushoutput's nonzero code. What was flushed before a failure stays flushed.
int unlzma(const InflateHooks* hooks, unsigned size, bool endmarker);
