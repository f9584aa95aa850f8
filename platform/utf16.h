// UTF-8 to UTF-16 and back, as the Win32 boundary converts every text (platform/win32/
// widetext.h). Portable, so that the conversion is tested and fuzzed on every system.
//
// Both directions use the strict UTF-8 coder of platform/utf8.h: every byte it refuses
// becomes U+FFFD, and so does an unpaired surrogate on the way back, so a text never
// decodes to an ASCII character that its units did not hold. A text that does not fit is cut
// at a character boundary.
//
// UTF-16 of a scalar value: below U+10000 one unit; above, a high surrogate (U+D800 plus the
// value's upper ten bits, after subtracting 0x10000) and a low one (U+DC00 plus the lower ten).
#pragma once

#include "platform/utf8.h"

namespace platform {

enum Utf16Limits : unsigned {
    kSurrogatePairBase = 0x10000, // the first value written as a surrogate pair
    kHighSurrogateFirst = 0xD800,
    kLowSurrogateFirst = 0xDC00,
    kSurrogateBits = 10,
    kSurrogateMask = (1u << kSurrogateBits) - 1,
};
static_assert(kLowSurrogateFirst - kHighSurrogateFirst == 1u << kSurrogateBits,
              "high surrogates span ten bits below the low ones");

// The UTF-16 units of the length bytes of UTF-8 at text, written into out (units of room)
// as far as whole characters fit; returns the count of the whole text's units (no NUL).
inline unsigned utf8toutf16(const char* text, unsigned length, char16_t* out, unsigned units) {
    const unsigned char* in = reinterpret_cast<const unsigned char*>(text);
    unsigned used = 0;
    bool full = false;
    while (length > 0) {
        unsigned cp = kReplacementCharacter;
        unsigned n = decodeutf8(in, length, &cp);
        if (n == 0) n = 1;
        in += n;
        length -= n;
        unsigned need = cp >= kSurrogatePairBase ? 2 : 1;
        full = full || used + need > units;
        if (!full && need == 2) {
            out[used] = static_cast<char16_t>(kHighSurrogateFirst +
                                              ((cp - kSurrogatePairBase) >> kSurrogateBits));
            out[used + 1] = static_cast<char16_t>(kLowSurrogateFirst + (cp & kSurrogateMask));
        } else if (!full) {
            out[used] = static_cast<char16_t>(cp);
        }
        used += need;
    }
    return used;
}

// The NUL-terminated UTF-16 text as UTF-8 into out (size bytes, at least 1), cut at a
// character boundary and NUL-terminated; returns the length of the whole text in UTF-8,
// which fitted when it is below size.
inline unsigned utf16toutf8(const char16_t* text, char* out, unsigned size) {
    unsigned used = 0, whole = 0;
    for (; *text; ++text) {
        unsigned cp = *text;
        bool high = cp >= kHighSurrogateFirst && cp < kLowSurrogateFirst;
        bool lowfollows = text[1] >= kLowSurrogateFirst && text[1] <= kSurrogateLast;
        if (high && lowfollows) {
            cp = kSurrogatePairBase + ((cp - kHighSurrogateFirst) << kSurrogateBits) +
                 (text[1] - kLowSurrogateFirst);
            ++text;
        } else if (cp >= kSurrogateFirst && cp <= kSurrogateLast) {
            cp = kReplacementCharacter;
        }
        char bytes[kUtf8Longest];
        unsigned n = encodeutf8(cp, bytes);
        if (used == whole && used + n < size) {
            for (unsigned i = 0; i < n; ++i) out[used + i] = bytes[i];
            used += n;
        }
        whole += n;
    }
    out[used] = 0;
    return whole;
}

} // namespace platform
