// In-memory driver for undeflate and unlzma: input from memory, output collected in a vector or
// copied into a caller's buffer. Used by the tests, the fuzzers and their corpus replay, and
// the benchmarks (the host benchmark and the speed program of both builds).
//
// The engine hands undeflate a record of plain function pointers, so the driver keeps its
// state in one global instance. Input arrives in blocks of `blocksize` bytes, like the
// engine's 8 KB archive reads: the cursor sees one block at a time and readbyte moves to
// the next, so tests can put block boundaries anywhere. Each block is a heap block of
// exactly its size, and so is the window, so that AddressSanitizer catches a read past a
// block or a write past the window (globals defined in headers get no guard zones).
// Every flush is recorded; one of undeflate's that is not a part of the window is refused, so
// the callers' checks see it without the copy reading past the window (unlzma flushes from
// its dictionary, which is the window or a buffer of its own).
#pragma once

#include "engine/inflate.h"
#include "engine/lzma.h"

#include <string.h>

#include <memory>
#include <string>
#include <vector>

namespace inflatedriver {

// Results of the driver's flushoutput besides 0, passed through by undeflate.
enum DriverResult {
    kOutputFull = 50,   // the caller's output buffer has no room, as a full disk
    kFlushOutside = 90, // a flush that reaches outside the window
};

enum { kInputBlock = kInflateInputBlock }; // the engine's archive read unit

struct Decoded {
    int result = 0;
    std::vector<unsigned char> output; // when collected (Options::keepoutput, no buffer)
    size_t produced = 0;               // bytes flushed, collected or not
    std::vector<unsigned> flushes;     // byte count of every flushoutput call
    std::vector<std::string> messages; // texts passed to the message callback
    size_t consumed = 0;               // input bytes taken, after the cursor's give-back
    int readbytecalls = 0;
};

struct Options {
    bool deflate64 = false;
    size_t blocksize = kInputBlock;
    int quietlevel = 1;
    int failflushat = -1; // index of the flush that returns failcode, -1 for none
    int failcode = 0;
    bool keepoutput = true;
    unsigned char* buffer = nullptr; // when set, output is copied here instead of collected
    size_t capacity = 0;             // size of buffer; a flush past it gives kOutputFull
    bool windowonly = true;          // refuse flushes from outside the window (undeflate)
};

struct State {
    const unsigned char* data = nullptr;
    size_t size = 0, offset = 0;
    Options options;
    std::vector<unsigned char> block;
    InputCursor cursor = {nullptr, 0};
    Decoded* run = nullptr;
    int quietlevel = 1;
    std::unique_ptr<unsigned char[]> window{new unsigned char[kInflateWindowSize]()};
};
inline State state;

inline int readbyte() {
    state.run->readbytecalls++;
    if (state.offset >= state.size) {
        state.cursor.unread = 0;
        return -1;
    }
    size_t left = state.size - state.offset, blocksize = state.options.blocksize;
    size_t n = left < blocksize ? left : blocksize;
    // A new heap block every time: assigning into the old one would keep its larger capacity.
    std::vector<unsigned char>(state.data + state.offset, state.data + state.offset + n)
        .swap(state.block);
    state.offset += n;
    state.cursor.next = state.block.data() + 1;
    state.cursor.unread = (int)n - 1;
    return state.block[0];
}

inline int flushoutput(unsigned char* data, unsigned n, int /*flags*/) {
    Decoded& run = *state.run;
    const Options& o = state.options;
    if ((int)run.flushes.size() == o.failflushat) return o.failcode;
    run.flushes.push_back(n);
    if (o.windowonly && (data != state.window.get() || n > kInflateWindowSize))
        return kFlushOutside;
    if (o.buffer) {
        if (n > o.capacity - run.produced) return kOutputFull;
        memcpy(o.buffer + run.produced, data, n);
    } else if (o.keepoutput) {
        run.output.insert(run.output.end(), data, data + n);
    }
    run.produced += n;
    return 0;
}

inline void message(const char* text, unsigned length, unsigned /*flags*/) {
    state.run->messages.emplace_back(text, length);
}

// Runs one decoder over the data; the window keeps what earlier runs left in it, as the
// engine's does.
template <typename Decode>
Decoded drive(const unsigned char* data, size_t size, const Options& options, Decode decode) {
    Decoded run;
    state.data = data;
    state.size = size;
    state.offset = 0;
    state.options = options;
    if (!state.options.blocksize) state.options.blocksize = 1;
    state.block.clear();
    state.cursor = {nullptr, 0};
    state.run = &run;
    state.quietlevel = options.quietlevel;
    InflateHooks hooks = {&state.cursor, readbyte,           flushoutput,
                          message,       state.window.get(), &state.quietlevel};
    run.result = decode(&hooks);
    run.consumed = state.offset - (state.cursor.unread > 0 ? (size_t)state.cursor.unread : 0);
    state.run = nullptr;
    return run;
}

inline Decoded inflate(const unsigned char* data, size_t size, const Options& options = Options()) {
    return drive(data, size, options,
                 [&](const InflateHooks* hooks) { return undeflate(hooks, options.deflate64); });
}

// Decodes one LZMA member's data (header, properties, stream) of `unpacked` bytes.
inline Decoded unlzma(const unsigned char* data, size_t size, unsigned unpacked, bool endmarker,
                      Options options = Options()) {
    options.windowonly = false;
    return drive(data, size, options,
                 [&](const InflateHooks* hooks) { return ::unlzma(hooks, unpacked, endmarker); });
}

inline Decoded inflate(const std::vector<unsigned char>& data, const Options& options = Options()) {
    return inflate(data.data(), data.size(), options);
}

// Decodes one stream into `out` as an extraction does (8 KB input blocks, whole windows
// copied out), then frees the fixed-code tables so that every run builds them as the first
// member of a run does. Returns the bytes produced, or 0 when decoding failed.
inline size_t inflateinto(const std::vector<unsigned char>& in, std::vector<unsigned char>& out,
                          bool deflate64) {
    Options o;
    o.deflate64 = deflate64;
    o.buffer = out.data();
    o.capacity = out.size();
    Decoded run = inflate(in, o);
    releasefixedcodes();
    return run.result == kInflateOk ? run.produced : 0;
}

} // namespace inflatedriver
