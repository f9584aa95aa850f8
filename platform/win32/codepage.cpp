// Win32 implementation of platform/codepage.h. This file contains only Windows code.
//
// Name text is the ANSI code page of the system (CP_ACP). A UTF-8 name is decoded here with
// the strict decoder of platform/utf8.h, one character at a time, and each character goes to
// the ANSI code page through WideCharToMultiByte with "_" as its default character and no
// best-fit mapping: a character the code page lacks becomes "_", never a look-alike. A
// character outside ASCII that would still come out as one ASCII byte becomes "_" too, so
// no conversion makes a separator or a dot out of something else.
#include "platform/codepage.h"
#include "platform/nameout.h"

#include "platform/utf8.h"

#include <string.h>
#include <windows.h>

namespace {

// The most ANSI bytes one character becomes (4 where the ANSI code page is UTF-8).
enum { kAnsiLongest = platform::kUtf8Longest };

using platform::append;
using platform::NameOut;

// The ANSI form of one Unicode scalar value into bytes; returns its length.
unsigned ansiform(unsigned cp, char* bytes) {
    WCHAR wide[2];
    int units = 1;
    if (cp >= 0x10000) {
        wide[0] = static_cast<WCHAR>(0xD800 + ((cp - 0x10000) >> 10));
        wide[1] = static_cast<WCHAR>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        units = 2;
    } else {
        wide[0] = static_cast<WCHAR>(cp);
    }
    BOOL defaulted = FALSE;
    // A system whose ANSI code page is UTF-8 holds every character and takes neither a
    // default character nor the best-fit flag.
    bool utf8 = GetACP() == CP_UTF8;
    int n = WideCharToMultiByte(CP_ACP, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, wide, units, bytes,
                                kAnsiLongest, utf8 ? nullptr : "_", utf8 ? nullptr : &defaulted);
    bool ascii = n == 1 && static_cast<unsigned char>(bytes[0]) < 0x80;
    if (n <= 0 || defaulted || (cp >= 0x80 && ascii)) {
        bytes[0] = platform::kNameReplacement;
        return 1;
    }
    return static_cast<unsigned>(n);
}

// Which bytes lead a two-byte character in the ANSI code page, read from the system once:
// names are walked character by character several times per member, and asking the system
// about every byte (IsDBCSLeadByte) cost a call into it for each. Every first caller fills
// the same values, and `ready` is published only after the table.
struct LeadBytes {
    bool ready;
    bool lead[256];
};
LeadBytes leadbytes;

bool isleadbyte(unsigned char byte) {
    if (!__atomic_load_n(&leadbytes.ready, __ATOMIC_ACQUIRE)) {
        CPINFO info;
        if (GetCPInfo(CP_ACP, &info))
            for (unsigned i = 0; i + 1 < MAX_LEADBYTES && info.LeadByte[i]; i += 2)
                for (unsigned b = info.LeadByte[i]; b <= info.LeadByte[i + 1]; b++)
                    leadbytes.lead[b] = true;
        __atomic_store_n(&leadbytes.ready, true, __ATOMIC_RELEASE);
    }
    return leadbytes.lead[byte];
}

// The bytes of text up to its first NUL, at most length.
unsigned storedlength(const char* text, unsigned length) {
    const void* nul = memchr(text, 0, length);
    return nul ? static_cast<unsigned>(static_cast<const char*>(nul) - text) : length;
}

} // namespace

namespace platform {

unsigned utf8toname(const char* stored, unsigned length, char* out, unsigned size) {
    const unsigned char* in = reinterpret_cast<const unsigned char*>(stored);
    length = storedlength(stored, length);
    NameOut name = {out, size, 0};
    unsigned i = 0;
    while (i < length) {
        unsigned cp = 0;
        unsigned n = decodeutf8(in + i, length - i, &cp);
        char bytes[kAnsiLongest];
        unsigned put = 1;
        if (n == 0)
            bytes[0] = kNameReplacement;
        else
            put = ansiform(cp, bytes);
        if (!append(&name, bytes, put)) break;
        i += n ? n : 1;
    }
    out[name.used] = 0;
    return name.used;
}

unsigned oemtoname(const char* stored, unsigned length, char* out, unsigned size) {
    unsigned n = ansitoname(stored, length, out, size);
    OemToCharBuffA(out, out, n);
    return n;
}

unsigned ansitoname(const char* stored, unsigned length, char* out, unsigned size) {
    length = storedlength(stored, length);
    NameOut name = {out, size, 0};
    for (unsigned i = 0; i < length;) {
        unsigned n = isleadbyte(static_cast<unsigned char>(stored[i])) && i + 1 < length ? 2 : 1;
        if (!append(&name, stored + i, n)) break;
        i += n;
    }
    out[name.used] = 0;
    return name.used;
}

unsigned unmarkedtoname(const char* stored, unsigned length, char* out, unsigned size) {
    return ansitoname(stored, length, out, size);
}

unsigned namecharlength(const char* text) {
    return isleadbyte(static_cast<unsigned char>(text[0])) && text[1] ? 2 : 1;
}

void nametoconsole(char* text) {
    CharToOemA(text, text);
}

void oemtoansi(char* text) {
    OemToCharBuffA(text, text, static_cast<DWORD>(strlen(text)));
}

void ansitooem(char* text) {
    CharToOemA(text, text);
}

namespace {

bool copytext(const char* text, char* out, unsigned size) {
    size_t length = strlen(text);
    if (length >= size) return false;
    memcpy(out, text, length + 1);
    return true;
}

} // namespace

bool utf8toansi(const char* text, char* out, unsigned size) {
    return copytext(text, out, size);
}

} // namespace platform
