// Name text being written into a fixed buffer, shared by both code-page layers: characters
// are appended whole, so a name that does not fit is cut at a character boundary and always
// keeps room for its terminating NUL.
#pragma once

#include "platform/codepage.h"
#include "platform/utf8.h"

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

// UTF-8 of length bytes as name text in out (size bytes): valid sequences as they are, each
// byte the strict decoder refuses as kNameReplacement. Returns the length written.
inline unsigned copyutf8(const char* text, unsigned length, char* out, unsigned size) {
    const unsigned char* in = reinterpret_cast<const unsigned char*>(text);
    NameOut name = {out, size, 0};
    for (unsigned i = 0; i < length && in[i];) {
        unsigned cp = 0;
        unsigned n = decodeutf8(in + i, length - i, &cp);
        static const char kReplacement[] = {kNameReplacement};
        if (!(n ? append(&name, text + i, n) : append(&name, kReplacement, 1))) break;
        i += n ? n : 1;
    }
    out[name.used] = 0;
    return name.used;
}

} // namespace platform
