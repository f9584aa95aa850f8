// Strict UTF-8 decoding and encoding, shared by both implementations of platform/codepage.h
// and by the conversion to UTF-16 at the Win32 boundary.
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
    kReplacementCharacter = 0xFFFD, // what an invalid sequence stands for where one must
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

// Writes the UTF-8 form of the scalar value cp into out (room for kUtf8Longest bytes);
// returns its length.
inline unsigned encodeutf8(unsigned cp, char* out) {
    if (cp < 0x80) {
        out[0] = static_cast<char>(cp);
        return 1;
    }
    unsigned length = cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
    static const unsigned char kLead[kUtf8Longest + 1] = {0, 0, 0xC0, 0xE0, 0xF0};
    for (unsigned i = length - 1; i > 0; --i, cp >>= 6)
        out[i] = static_cast<char>(0x80 | (cp & 0x3F));
    out[0] = static_cast<char>(kLead[length] | cp);
    return length;
}

// The first `length` bytes of text without a sequence that the end cuts short: where a cut
// would leave part of a character behind, the character goes whole.
inline unsigned wholecharacters(const char* text, unsigned length) {
    const unsigned char* in = reinterpret_cast<const unsigned char*>(text);
    unsigned lead = length;
    while (lead > 0 && length - lead < kUtf8Longest && (in[lead - 1] & 0xC0) == 0x80) --lead;
    if (lead == 0) return length;
    unsigned char c = in[lead - 1];
    unsigned need = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 1;
    return length - (lead - 1) < need ? lead - 1 : length;
}

} // namespace platform
