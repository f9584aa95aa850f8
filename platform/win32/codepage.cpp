// Win32 implementation of platform/codepage.h. This file contains only Windows code.
//
// Name text is UTF-8, as on POSIX. A UTF-8 name is checked with the strict decoder of
// platform/utf8.h (shared with POSIX); an OEM or ANSI name goes through the system's own
// table of that code page (MultiByteToWideChar) to UTF-16 and on to UTF-8, so every byte
// keeps the character the code page gives it.
#include "platform/codepage.h"
#include "platform/nameout.h"

#include "platform/utf8.h"
#include "platform/win32/widetext.h"

#include <stdlib.h>
#include <string.h>
#include <windows.h>

namespace {

// The bytes of text up to its first NUL, at most length.
unsigned storedlength(const char* text, unsigned length) {
    const void* nul = memchr(text, 0, length);
    return nul ? static_cast<unsigned>(static_cast<const char*>(nul) - text) : length;
}

// Stored text of a code page as name text, through UTF-16. A double-byte character cut by
// the end of the text becomes the code page's default character.
unsigned codepagetoname(unsigned codepage, const char* stored, unsigned length, char* out,
                        unsigned size) {
    length = storedlength(stored, length);
    out[0] = 0;
    int units = MultiByteToWideChar(codepage, 0, stored, static_cast<int>(length), nullptr, 0);
    wchar_t* wide = static_cast<wchar_t*>(malloc((units + 1) * sizeof(wchar_t)));
    if (!wide) return 0;
    units = MultiByteToWideChar(codepage, 0, stored, static_cast<int>(length), wide, units);
    wide[units > 0 ? units : 0] = 0;
    platform::toutf8(wide, out, size);
    free(wide);
    return static_cast<unsigned>(strlen(out));
}

// UTF-8 text as the bytes of a code page (CP_ACP or CP_OEMCP), without best-fit look-alikes;
// false when a character has no form there or out (size bytes) is too small. A system whose
// code page is UTF-8 takes neither the flag nor the question about defaults for it.
bool texttocodepage(unsigned codepage, const char* text, char* out, unsigned size) {
    wchar_t* wide = platform::widecopy(text);
    if (!wide) return false;
    BOOL defaulted = FALSE;
    bool utf8 = (codepage == CP_ACP ? GetACP() : GetOEMCP()) == CP_UTF8;
    int n = WideCharToMultiByte(codepage, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, wide, -1, out,
                                static_cast<int>(size), nullptr, utf8 ? nullptr : &defaulted);
    free(wide);
    return n > 0 && !defaulted;
}

} // namespace

namespace platform {

unsigned utf8toname(const char* stored, unsigned length, char* out, unsigned size) {
    return copyutf8(stored, storedlength(stored, length), out, size);
}

unsigned oemtoname(const char* stored, unsigned length, char* out, unsigned size) {
    return codepagetoname(CP_OEMCP, stored, length, out, size);
}

unsigned ansitoname(const char* stored, unsigned length, char* out, unsigned size) {
    return codepagetoname(CP_ACP, stored, length, out, size);
}

unsigned unmarkedtoname(const char* stored, unsigned length, char* out, unsigned size) {
    return ansitoname(stored, length, out, size);
}

void nametoconsole(char* text) {
    // Where the OEM code page cannot hold a character, the UTF-8 text stays as it is.
    char* oem = static_cast<char*>(malloc(strlen(text) + 1));
    if (oem && texttocodepage(CP_OEMCP, text, oem, static_cast<unsigned>(strlen(text) + 1)))
        strcpy(text, oem);
    free(oem);
}

void oemtoansi(char* text) {
    OemToCharBuffA(text, text, static_cast<DWORD>(strlen(text)));
}

void ansitooem(char* text) {
    CharToOemA(text, text);
}

bool texttoansi(const char* text, char* out, unsigned size) {
    return texttocodepage(CP_ACP, text, out, size);
}

} // namespace platform
