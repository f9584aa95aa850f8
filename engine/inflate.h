// Inflate: the decoder of Deflate (method 8) and Deflate64 (method 9) member data.
//
// undeflate decodes one member's compressed data into the engine's 65,536-byte output
// window and hands each full window, and the rest at the end, to the engine's flushoutput.
// Both variants use the whole window; Deflate64 differs only in length code 285 (16 extra
// bits, base 3) and in distance codes 30 and 31 (14 extra bits), which Deflate refuses.
// The tables of the fixed codes are built once per variant and kept until
// releasefixedcodes; dynamic tables live only while their block is decoded.
#pragma once

#include "engine/inputcursor.h"

// What the decoder needs from the engine. The engine keeps one record and passes it to
// every undeflate call.
struct InflateHooks {
    InputCursor* input; // bytes are taken inline while unread > 0 (decrement first)
    int (*readbyte)();  // next byte of the member's compressed data, -1 when exhausted
    // Receives decoded bytes; a nonzero result ends decoding and is returned unchanged.
    int (*flushoutput)(unsigned char* data, unsigned n, int flags);
    // The engine's message stream; used only for the two incomplete-code-set notices.
    void (*message)(const char* text, unsigned length, unsigned flags);
    unsigned char* window; // the engine's 65,536-byte output window
    const int* quietlevel; // messages are sent only when *quietlevel == 0
};

// Results of undeflate; any other nonzero value is flushoutput's own code passed through.
// The engine reports a member whose result is below 50 as damaged.
enum InflateResult {
    kInflateOk = 0, // the final block ended and the last bytes were flushed
    // The data ends before the final block does, or holds something no valid stream holds
    // there: an invalid code, a stored length whose complement does not match, an empty or
    // incomplete code set, a code-length repeat past the list, or a distance that reaches
    // before the member's first byte.
    kInflateTruncatedOrInvalid = 1,
    // A block header that no encoder can write: block type 3 (reserved), or code lengths
    // that over-subscribe their code space.
    kInflateReservedOrOversubscribed = 2,
    kInflateNoMemory = 3, // a decoding table could not be allocated
};

enum {
    kInflateWindowSize = 65536,
    // The input block the engine hands over through the cursor, its archive read unit. The
    // fast decoding loop needs fewer bytes than this in the cursor, so it runs on every
    // whole block; the engine ties its block size to this value.
    kInflateInputBlock = 8192,
    // The bytes past a match's end that a match copy may write while the window has room
    // for them (they are rewritten before they are read, or put back where a distance can
    // reach them). The fast decoding loop copies a match in words only where this much
    // room follows it: five 8-byte words in a 64-bit build, three in a 32-bit one.
    kInflateCopySlack = sizeof(void*) == 8 ? 40 : 24,
    // The window position below which the fast decoding loop starts a round: the literals
    // of one round, three in a 64-bit build and two in a 32-bit one, end at the window's
    // last byte at most. A match it copies in words ends, with the copy slack, inside the
    // window too; one that would not goes through the careful copy.
    kInflateFastWindowLimit = kInflateWindowSize + 1 - (sizeof(void*) == 8 ? 3 : 2),
    // The window position up to which a match of the fast loop is copied in words.
    kInflateFastCopyEnd = kInflateWindowSize - kInflateCopySlack,
};

// Decodes one member; deflate64 selects method 9. Returns an InflateResult or
// flushoutput's nonzero code. What was flushed before a failure stays flushed.
int undeflate(const InflateHooks* hooks, bool deflate64);

// Chooses the fast decoding loop compiled for processors with BMI2 (on, the default where
// the processor has it, on x86-64 only) or the baseline one (off), so that both can be
// compared on one machine. Returns whether the BMI2 loop is now in use.
bool useinflatebmi2(bool on);

// Frees the fixed-code tables of both variants, so that the next run builds them again.
// Returns 0.
int releasefixedcodes();
