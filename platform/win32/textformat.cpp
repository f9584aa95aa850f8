// Win32 implementation of platform/textformat.h. This file contains only Windows code.
//
// msvcrt's _vsnprintf stores no NUL when the text fills the buffer or does not fit, and then
// returns the buffer's size or -1; both cases end as the cut text.
#include "platform/textformat.h"

#include "platform/utf8.h"

#include <stdio.h>

namespace platform {

int formatlist(char* out, unsigned size, const char* format, va_list args) {
    int length = _vsnprintf(out, size, format, args);
    if (length >= 0 && static_cast<unsigned>(length) < size) return length;
    unsigned cut = wholecharacters(out, size - 1);
    out[cut] = 0;
    return static_cast<int>(cut);
}

} // namespace platform
