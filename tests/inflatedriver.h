// In-memory driver for undeflate: input from a byte vector, output collected in a vector.
//
// The engine hands undeflate a record of plain function pointers, so the driver keeps its
// state in one global instance. Input arrives in blocks of `blocksize` bytes, like the
// engine's 8 KB archive reads: the cursor sees one block at a time and readbyte moves to
// the next, so tests can put block boundaries anywhere. Each block is copied into a vector
// of exactly its size, so a read past it is caught by AddressSanitizer.
// Used by the tests, the fuzzers' corpus replay and the benchmark (host and Win32).
#pragma once

#include "engine/inflate.h"

#include <string.h>

#include <string>
#include <vector>

namespace inflatedriver {

struct Decoded {
    int result = 0;
    std::vector<unsigned char> output;
    std::vector<unsigned> flushes;     // byte count of every flushoutput call
    std::vector<std::string> messages; // texts passed to the message callback
    size_t consumed = 0;               // input bytes taken, after the cursor's give-back
    int readbytecalls = 0;
};

struct State {
    const unsigned char* data = nullptr;
    size_t size = 0, offset = 0, blocksize = 8192;
    std::vector<unsigned char> block;
    InputCursor cursor = {nullptr, 0};
    Decoded* run = nullptr;
    int failflushat = -1; // index of the flush that returns failcode, -1 for none
    int failcode = 0;
    bool keepoutput = true;
    int quietlevel = 1;
};
inline State state;
inline unsigned char window[kInflateWindowSize];

inline int readbyte() {
    state.run->readbytecalls++;
    if (state.offset >= state.size) {
        state.cursor.unread = 0;
        return -1;
    }
    size_t n =
        state.size - state.offset < state.blocksize ? state.size - state.offset : state.blocksize;
    state.block.assign(state.data + state.offset, state.data + state.offset + n);
    state.offset += n;
    state.cursor.next = state.block.data() + 1;
    state.cursor.unread = (int)n - 1;
    return state.block[0];
}

inline int flushoutput(unsigned char* data, unsigned n, int flags) {
    Decoded& run = *state.run;
    if ((int)run.flushes.size() == state.failflushat) return state.failcode;
    run.flushes.push_back(n);
    if (state.keepoutput) run.output.insert(run.output.end(), data, data + n);
    return 0;
}

inline void message(const char* text, unsigned length, unsigned flags) {
    state.run->messages.emplace_back(text, length);
}

struct Options {
    bool deflate64 = false;
    size_t blocksize = 8192;
    int quietlevel = 1;
    int failflushat = -1;
    int failcode = 0;
    bool keepoutput = true;
};

// Decodes one stream; the window keeps what earlier runs left in it, as the engine's does.
inline Decoded inflate(const unsigned char* data, size_t size, const Options& options = Options()) {
    Decoded run;
    state.data = data;
    state.size = size;
    state.offset = 0;
    state.blocksize = options.blocksize ? options.blocksize : 1;
    state.block.clear();
    state.cursor = {nullptr, 0};
    state.run = &run;
    state.failflushat = options.failflushat;
    state.failcode = options.failcode;
    state.keepoutput = options.keepoutput;
    state.quietlevel = options.quietlevel;
    InflateHooks hooks = {&state.cursor, readbyte, flushoutput, message, window, &state.quietlevel};
    run.result = undeflate(&hooks, options.deflate64);
    run.consumed = state.offset - (state.cursor.unread > 0 ? (size_t)state.cursor.unread : 0);
    state.run = nullptr;
    return run;
}

inline Decoded inflate(const std::vector<unsigned char>& data, const Options& options = Options()) {
    return inflate(data.data(), data.size(), options);
}

} // namespace inflatedriver
