// POSIX implementation of platform/codepage.h: code page 1252 as ANSI, 437 as OEM, UTF-8 as
// the file system's encoding and so as name text.
//
// Both code pages are described by the Unicode code point of each byte from 0x80 up
// (bytes below 0x80 are ASCII in both). Code page 1252 equals Latin-1 from 0xA0, so only its
// 32 bytes 0x80..0x9F need a table; its five unassigned bytes map to the C1 control of the
// same value, as Windows does. A conversion looks the code point up in the other table; a
// character the target lacks becomes '?', where Windows would pick a look-alike. Names
// become UTF-8 character by character; the UTF-8 decoder is the strict one of
// platform/utf8.h, and each byte it refuses becomes kNameReplacement.
#include "platform/codepage.h"
#include "platform/nameout.h"

#include "platform/utf8.h"

#include <string.h>

namespace {

// Code points of code page 437, bytes 0x80..0xFF.
const unsigned short kOem437[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF,
    0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA,
    0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557,
    0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559,
    0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4,
    0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

// Code points of code page 1252, bytes 0x80..0x9F (0xA0..0xFF are the same numbers).
const unsigned short kAnsi1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

unsigned ansicodepoint(unsigned char c) {
    return c >= 0x80 && c < 0xA0 ? kAnsi1252[c - 0x80] : c;
}

unsigned oemcodepoint(unsigned char c) {
    return c >= 0x80 ? kOem437[c - 0x80] : c;
}

// The byte whose code point under `codepoint` is cp, or '?' when there is none.
unsigned char findbyte(unsigned cp, unsigned (*codepoint)(unsigned char)) {
    if (cp < 0x80) return static_cast<unsigned char>(cp);
    for (unsigned b = 0x80; b < 0x100; ++b)
        if (codepoint(static_cast<unsigned char>(b)) == cp) return static_cast<unsigned char>(b);
    return '?';
}

void convert(char* text, unsigned (*from)(unsigned char), unsigned (*to)(unsigned char)) {
    for (; *text; ++text) {
        unsigned char c = static_cast<unsigned char>(*text);
        if (c >= 0x80) *text = static_cast<char>(findbyte(from(c), to));
    }
}

// Writes the UTF-8 form of cp (at most U+FFFF) into out; returns its length.
unsigned encodeutf8(unsigned cp, char* out) {
    if (cp < 0x80) {
        out[0] = static_cast<char>(cp);
        return 1;
    }
    if (cp < 0x800) {
        out[0] = static_cast<char>(0xC0 | (cp >> 6));
        out[1] = static_cast<char>(0x80 | (cp & 0x3F));
        return 2;
    }
    out[0] = static_cast<char>(0xE0 | (cp >> 12));
    out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (cp & 0x3F));
    return 3;
}

using platform::append;
using platform::NameOut;

// Every byte of a single-byte code page becomes one character of name text.
unsigned singlebytetoname(const char* stored, unsigned length, char* out, unsigned size,
                          unsigned (*codepoint)(unsigned char)) {
    NameOut name = {out, size, 0};
    for (unsigned i = 0; i < length && stored[i]; ++i) {
        char bytes[3];
        unsigned n = encodeutf8(codepoint(static_cast<unsigned char>(stored[i])), bytes);
        if (!append(&name, bytes, n)) break;
    }
    out[name.used] = 0;
    return name.used;
}

} // namespace

namespace platform {

void oemtoansi(char* text) {
    convert(text, oemcodepoint, ansicodepoint);
}

void ansitooem(char* text) {
    convert(text, ansicodepoint, oemcodepoint);
}

unsigned utf8toname(const char* stored, unsigned length, char* out, unsigned size) {
    const unsigned char* in = reinterpret_cast<const unsigned char*>(stored);
    NameOut name = {out, size, 0};
    unsigned i = 0;
    while (i < length && in[i]) {
        unsigned cp = 0;
        unsigned n = decodeutf8(in + i, length - i, &cp);
        bool fits = n ? append(&name, stored + i, n) : append(&name, "_", 1);
        if (!fits) break;
        i += n ? n : 1;
    }
    out[name.used] = 0;
    return name.used;
}

unsigned oemtoname(const char* stored, unsigned length, char* out, unsigned size) {
    return singlebytetoname(stored, length, out, size, oemcodepoint);
}

unsigned ansitoname(const char* stored, unsigned length, char* out, unsigned size) {
    return singlebytetoname(stored, length, out, size, ansicodepoint);
}

unsigned unmarkedtoname(const char* stored, unsigned length, char* out, unsigned size) {
    const unsigned char* in = reinterpret_cast<const unsigned char*>(stored);
    unsigned i = 0, cp = 0;
    for (unsigned n = 1; i < length && in[i] && n; i += n) n = decodeutf8(in + i, length - i, &cp);
    bool allutf8 = i >= length || !in[i];
    return allutf8 ? utf8toname(stored, length, out, size) : ansitoname(stored, length, out, size);
}

unsigned namecharlength(const char* text) {
    unsigned cp = 0;
    unsigned n = decodeutf8(reinterpret_cast<const unsigned char*>(text),
                            static_cast<unsigned>(strnlen(text, kUtf8Longest)), &cp);
    return n ? n : 1;
}

void nametoconsole(char*) {}

bool utf8toansi(const char* text, char* out, unsigned size) {
    const unsigned char* in = reinterpret_cast<const unsigned char*>(text);
    unsigned used = 0;
    while (*in) {
        unsigned cp = 0;
        unsigned length = decodeutf8(
            in, static_cast<unsigned>(strnlen(reinterpret_cast<const char*>(in), kUtf8Longest)),
            &cp);
        unsigned char b = length ? findbyte(cp, ansicodepoint) : '?';
        if (length == 0 || (b == '?' && cp != '?') || used + 1 >= size) return false;
        out[used++] = static_cast<char>(b);
        in += length;
    }
    if (used >= size) return false;
    out[used] = 0;
    return true;
}

} // namespace platform
