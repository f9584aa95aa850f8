// UTF-8 to UTF-16 and back for the wide Win32 calls. This file contains only Windows code.
//
// The conversion itself is the portable one of platform/utf16.h (Windows' wchar_t is a UTF-16
// unit), rather than MultiByteToWideChar: a text that does not fit is cut at a character
// boundary instead of failing whole, and every system converts the same way.
#include "platform/win32/widetext.h"

#include "platform/utf16.h"

#include <windows.h>

#include <stdlib.h>
#include <string.h>

static_assert(sizeof(wchar_t) == sizeof(char16_t), "a wide character is a UTF-16 unit");

namespace {

// The units of text in wide (units of room) as far as they fit; their whole count.
unsigned utf16of(const char* text, wchar_t* wide, unsigned units) {
    return platform::utf8toutf16(text, static_cast<unsigned>(strlen(text)),
                                 reinterpret_cast<char16_t*>(wide), wide ? units : 0);
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

int widemessagebox(HWND owner, const char* text, const char* caption, unsigned style) {
    wchar_t* widetext = widecopy(text);
    wchar_t* widecaption = widecopy(caption);
    int answer = MessageBoxW(owner, widetext ? widetext : L"", widecaption, style);
    free(widetext);
    free(widecaption);
    return answer;
}

unsigned toutf8(const wchar_t* wide, char* out, unsigned size) {
    return utf16toutf8(reinterpret_cast<const char16_t*>(wide), out, size);
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
