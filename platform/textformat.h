// Formatting text into a fixed buffer with the C library's printf conversions.
//
// The engine's messages and the dialogs' composed texts are formatted here. On Win32 the
// C runtime's own _vsnprintf does the work: the C99 vsnprintf of the MinGW headers is a
// wrapper around it that also counts the length of text that does not fit, which no caller
// needs, and which would add that counting code to the stub.
#pragma once

#include <stdarg.h>

namespace platform {

// Formats into out (size > 0 bytes). The text is cut to at most size - 1 bytes, at a UTF-8
// character boundary, and always ends with a NUL. Returns its length, or -1 when the C
// library reports a failure.
int formatlist(char* out, unsigned size, const char* format, va_list args);

// The same with the values as arguments; returns out.
inline char* formattext(char* out, unsigned size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
inline char* formattext(char* out, unsigned size, const char* format, ...) {
    va_list args;
    va_start(args, format);
    formatlist(out, size, format, args);
    va_end(args);
    return out;
}

} // namespace platform
