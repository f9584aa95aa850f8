// POSIX implementation of platform/codepage.h: code page 1252 as ANSI, 437 as OEM, UTF-8 as
// the file system's encoding and so as name text.
//
// Both code pages are described by the Unicode code point of each byte from 0x80 up, in the
// tables of platform/codepagetables.h, which the builder writes package texts with (bytes
// below 0x80 are ASCII in both). Code page 1252 equals Latin-1 from 0xA0, so only its
// 32 bytes 0x80..0x9F are tabled; its five unassigned bytes map to the C1 control of the
// same value, as Windows does. A conversion looks the code point up in the other table; a
// character the target lacks becomes '?', where Windows would pick a look-alike. Names
// become UTF-8 character by character; the UTF-8 decoder is the strict one of
// platform/utf8.h, and each byte it refuses becomes kNameReplacement.
#include "platform/codepage.h"
#include "platform/codepagetables.h"
#include "platform/nameout.h"

#include "platform/utf8.h"

#include <string.h>

namespace {

using platform::kCodePage1252;
using platform::kCodePage1252Latin1;
using platform::kCodePage437;
using platform::kCodePageTableFirst;

unsigned ansicodepoint(unsigned char c) {
    return c >= kCodePageTableFirst && c < kCodePage1252Latin1
               ? kCodePage1252[c - kCodePageTableFirst]
               : c;
}

unsigned oemcodepoint(unsigned char c) {
    return c >= kCodePageTableFirst ? kCodePage437[c - kCodePageTableFirst] : c;
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

using platform::append;
using platform::NameOut;

// Every byte of a single-byte code page becomes one character of name text.
unsigned singlebytetoname(const char* stored, unsigned length, char* out, unsigned size,
                          unsigned (*codepoint)(unsigned char)) {
    NameOut name = {out, size, 0};
    for (unsigned i = 0; i < length && stored[i]; ++i) {
        char bytes[platform::kUtf8Longest];
        unsigned n = platform::encodeutf8(codepoint(static_cast<unsigned char>(stored[i])), bytes);
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
    return copyutf8(stored, length, out, size);
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

void nametoconsole(char*) {}

bool texttoansi(const char* text, char* out, unsigned size) {
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
