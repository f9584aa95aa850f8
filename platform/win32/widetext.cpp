// UTF-8 to UTF-16 and back for the wide Win32 calls. This file contains only Windows code.
//
// Both directions are written out with the strict UTF-8 coder of platform/utf8.h rather than
// left to MultiByteToWideChar: a text that does not fit is cut at a character boundary
// instead of failing whole, and every system converts the same way.
#include "platform/win32/widetext.h"

#include "platform/utf8.h"

#include <windows.h>

#include <stdlib.h>
#include <string.h>

namespace {

enum : unsigned {
    kSurrogateBase = 0x10000, // the first value written as a surrogate pair
    kHighSurrogate = 0xD800,
    kLowSurrogate = 0xDC00,
    kSurrogateBits = 10,
};

// The UTF-16 units of text, written into wide when it is not null; returns their count
// without a NUL. At most `units` units are written.
unsigned utf16of(const char* text, wchar_t* wide, unsigned units) {
    const unsigned char* in = reinterpret_cast<const unsigned char*>(text);
    unsigned available = static_cast<unsigned>(strlen(text)), used = 0;
    while (available > 0) {
        unsigned cp = platform::kReplacementCharacter;
        unsigned n = platform::decodeutf8(in, available, &cp);
        if (n == 0) n = 1;
        in += n;
        available -= n;
        bool pair = cp >= kSurrogateBase;
        if (wide && used + (pair ? 2 : 1) <= units) {
            if (pair) {
                wide[used] = static_cast<wchar_t>(kHighSurrogate +
                                                  ((cp - kSurrogateBase) >> kSurrogateBits));
                wide[used + 1] = static_cast<wchar_t>(kLowSurrogate + (cp & 0x3FF));
            } else {
                wide[used] = static_cast<wchar_t>(cp);
            }
        }
        used += pair ? 2 : 1;
    }
    return used;
}

bool isslash(wchar_t c) {
    return c == L'\\' || c == L'/';
}

} // namespace

namespace platform {

bool towide(const char* text, wchar_t* wide, unsigned units) {
    unsigned used = utf16of(text, wide, units);
    if (used >= units) return false;
    wide[used] = 0;
    return true;
}

wchar_t* widecopy(const char* text) {
    unsigned units = utf16of(text, nullptr, 0) + 1;
    wchar_t* wide = static_cast<wchar_t*>(malloc(units * sizeof(wchar_t)));
    if (wide) towide(text, wide, units);
    return wide;
}

unsigned toutf8(const wchar_t* wide, char* out, unsigned size) {
    unsigned used = 0, whole = 0;
    for (; *wide; ++wide) {
        unsigned cp = *wide;
        if (cp >= kHighSurrogate && cp < kLowSurrogate && wide[1] >= kLowSurrogate &&
            wide[1] <= kSurrogateLast) {
            cp = kSurrogateBase + ((cp - kHighSurrogate) << kSurrogateBits) +
                 (wide[1] - kLowSurrogate);
            ++wide;
        } else if (cp >= kSurrogateFirst && cp <= kSurrogateLast) {
            cp = kReplacementCharacter;
        }
        char bytes[kUtf8Longest];
        unsigned n = encodeutf8(cp, bytes);
        if (used == whole && used + n < size) {
            memcpy(out + used, bytes, n);
            used += n;
        }
        whole += n;
    }
    if (size > 0) out[used] = 0;
    return whole;
}

bool widepath(const char* path, wchar_t* wide) {
    wchar_t given[kWidePath];
    if (!towide(path, given, kWidePath)) return false;
    for (wchar_t* c = given; *c; ++c)
        if (*c == L'/') *c = L'\\';
    size_t length = wcslen(given);
    bool longform = given[0] == L'\\' && given[1] == L'\\' && given[2] == L'?';
    if (length < kClassicPathLimit || longform) {
        memcpy(wide, given, (length + 1) * sizeof(wchar_t));
        return true;
    }
    // The long form is taken as it stands: it is made absolute, with "." and ".." resolved,
    // first. A share's path "\\server\share\..." becomes "\\?\UNC\server\share\...".
    static const wchar_t kLong[] = L"\\\\?\\", kLongShare[] = L"\\\\?\\UNC";
    bool share = isslash(given[0]) && isslash(given[1]);
    const wchar_t* prefix = share ? kLongShare : kLong;
    unsigned skip = share ? 1 : 0; // of the full path's two leading "\", keep one
    size_t prefixlength = wcslen(prefix);
    DWORD full =
        GetFullPathNameW(given, kWidePath - prefixlength, wide + prefixlength - skip, nullptr);
    if (full == 0 || full >= kWidePath - prefixlength) return false;
    memcpy(wide, prefix, prefixlength * sizeof(wchar_t));
    return true;
}

} // namespace platform
