// Strict UTF-8 decoding, shared by both implementations of platform/codepage.h.
//
// A sequence is accepted only in its shortest form and only for a scalar value: overlong
// forms (C0 AF for "/", E0 80 AE for "."), UTF-16 surrogates (U+D800..U+DFFF), values above
// U+10FFFF, stray continuation bytes and sequences cut by the end of the text are invalid.
// So no byte sequence can decode to an ASCII character that its bytes did not show, and a
// name's separators and dots are exactly the ASCII bytes "/", "\" and "." it holds.
//
// Lead byte    length  value bits  smallest value
// 0xxxxxxx     1       7           0
// 110xxxxx     2       11          U+0080
// 1110xxxx     3       16          U+0800
// 11110xxx     4       21          U+10000
#pragma once

namespace platform {

enum Utf8Limits {
    kUtf8Longest = 4,         // bytes of the longest sequence
    kUnicodeLast = 0x10FFFF,  // the last scalar value
    kSurrogateFirst = 0xD800, // UTF-16 surrogates, not characters
    kSurrogateLast = 0xDFFF,
};

// Decodes the sequence at text (available bytes, at least 1); returns its length and puts
// its value into *codepoint, or returns 0 when the bytes there do not start a valid
// sequence (then one byte is to be replaced and skipped).
inline unsigned decodeutf8(const unsigned char* text, unsigned available, unsigned* codepoint) {
    static const unsigned kSmallest[kUtf8Longest + 1] = {0, 0, 0x80, 0x800, 0x10000};
    unsigned char c = text[0];
    unsigned length = c < 0x80             ? 1
                      : (c & 0xE0) == 0xC0 ? 2
                      : (c & 0xF0) == 0xE0 ? 3
                      : (c & 0xF8) == 0xF0 ? 4
                                           : 0;
    if (length == 0 || length > available) return 0;
    unsigned value = length == 1 ? c : c & (0x7Fu >> length);
    for (unsigned i = 1; i < length; ++i) {
        if ((text[i] & 0xC0) != 0x80) return 0;
        value = (value << 6) | (text[i] & 0x3Fu);
    }
    if (value < kSmallest[length] || value > kUnicodeLast) return 0;
    if (value >= kSurrogateFirst && value <= kSurrogateLast) return 0;
    *codepoint = value;
    return length;
}

} // namespace platform
