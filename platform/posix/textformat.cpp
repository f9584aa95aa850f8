// POSIX implementation of platform/textformat.h: the C library's vsnprintf, whose count of
// a text that does not fit is brought down to the length kept.
#include "platform/textformat.h"

#include "platform/utf8.h"

#include <stdio.h>

namespace platform {

int formatlist(char* out, unsigned size, const char* format, va_list args) {
    int length = vsnprintf(out, size, format, args);
    if (length < 0) out[0] = 0;
    if (length < 0 || static_cast<unsigned>(length) < size) return length;
    unsigned cut = wholecharacters(out, size - 1);
    out[cut] = 0;
    return static_cast<int>(cut);
}

} // namespace platform
