// Name text being written into a fixed buffer, shared by both code-page layers: characters
// are appended whole, so a name that does not fit is cut at a character boundary and always
// keeps room for its terminating NUL.
#pragma once

#include <string.h>

namespace platform {

// Name text being written into a buffer of `size` bytes, cut at a character boundary.
struct NameOut {
    char* out;
    unsigned size;
    unsigned used;
};

// Appends one character of n bytes; false when it does not fit with the NUL behind it.
inline bool append(NameOut* name, const char* bytes, unsigned n) {
    if (name->used + n >= name->size) return false;
    memcpy(name->out + name->used, bytes, n);
    name->used += n;
    return true;
}

} // namespace platform
