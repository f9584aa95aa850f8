// The engine's inflater driven from memory for speed measurements.
//
// Input is handed out in the engine's own 8 KB blocks through the input cursor and
// readbyte, output is flushed in 64 KB windows into a caller's buffer, exactly as in an
// extraction run, but without files. Shared by the host benchmark and the Win32 speed program.
#pragma once

#include "engine/inflate.h"

#include <string.h>

#include <algorithm>
#include <vector>

namespace benchdriver {

using Bytes = std::vector<unsigned char>;
const size_t kInputBlock = 8192;

struct Target {
    const Bytes* input;
    size_t offset;
    unsigned char* out;
    size_t produced, capacity;
    InputCursor cursor;
    unsigned char block[kInputBlock];
};
inline Target target;
inline unsigned char window[kInflateWindowSize];

inline int readbyte() {
    if (target.offset >= target.input->size()) {
        target.cursor.unread = 0;
        return -1;
    }
    size_t n = std::min(kInputBlock, target.input->size() - target.offset);
    memcpy(target.block, target.input->data() + target.offset, n);
    target.offset += n;
    target.cursor.next = target.block + 1;
    target.cursor.unread = (int)n - 1;
    return target.block[0];
}

inline int flushoutput(unsigned char* data, unsigned n, int) {
    if (target.produced + n > target.capacity) return 50;
    memcpy(target.out + target.produced, data, n);
    target.produced += n;
    return 0;
}

inline void message(const char*, unsigned, unsigned) {}

// Decodes one stream into out; returns the bytes produced, or 0 when decoding failed.
inline size_t inflate(const Bytes& in, Bytes& out, bool deflate64) {
    target.input = &in;
    target.offset = 0;
    target.out = out.data();
    target.produced = 0;
    target.capacity = out.size();
    target.cursor = {target.block, 0};
    int quiet = 1;
    InflateHooks hooks = {&target.cursor, readbyte, flushoutput, message, window, &quiet};
    int result = undeflate(&hooks, deflate64);
    releasefixedcodes();
    return result == kInflateOk ? target.produced : 0;
}

} // namespace benchdriver
