// Throughput of undeflate alone, for builds without zlib: the i686 stub's code measured under
// Wine, and the same program on the host for comparison.
//
// Decodes a raw Deflate or Deflate64 stream the given number of times with the engine's
// 8 KB input blocks and 64 KB flushes, checks the result against the original, and prints
// the median MB/s of decompressed data.
//
// Usage: inflate_speed <8|9> <stream file> <original file> [repetitions]
#include "engine/inflate.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;
const size_t kInputBlock = 8192;

struct Target {
    const Bytes* input;
    size_t offset;
    Bytes* out;
    size_t produced;
    InputCursor cursor;
    unsigned char block[kInputBlock];
};
Target target;
unsigned char window[kInflateWindowSize];

int speedreadbyte() {
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

int speedflush(unsigned char* data, unsigned n, int) {
    if (target.produced + n > target.out->size()) return 50;
    memcpy(target.out->data() + target.produced, data, n);
    target.produced += n;
    return 0;
}

void speedmessage(const char*, unsigned, unsigned) {}

bool readfile(const char* path, Bytes* data) {
    FILE* f = fopen(path, "rb");
    if (!f) return false;
    unsigned char buf[1 << 16];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) data->insert(data->end(), buf, buf + n);
    fclose(f);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        fprintf(stderr, "usage: inflate_speed <8|9> <stream> <original> [repetitions]\n");
        return 2;
    }
    bool deflate64 = atoi(argv[1]) == 9;
    int repetitions = argc > 4 ? atoi(argv[4]) : 5;
    Bytes stream, original;
    if (!readfile(argv[2], &stream) || !readfile(argv[3], &original)) {
        fprintf(stderr, "cannot read the input files\n");
        return 2;
    }
    Bytes out(original.size());
    std::vector<double> rates;
    for (int i = 0; i < repetitions; i++) {
        target.input = &stream;
        target.offset = 0;
        target.out = &out;
        target.produced = 0;
        target.cursor = {target.block, 0};
        int quiet = 1;
        InflateHooks hooks = {&target.cursor, speedreadbyte, speedflush,
                              speedmessage,   window,        &quiet};
        auto start = std::chrono::steady_clock::now();
        int r = undeflate(&hooks, deflate64);
        std::chrono::duration<double> s = std::chrono::steady_clock::now() - start;
        releasefixedcodes();
        if (r != kInflateOk || target.produced != original.size() ||
            memcmp(out.data(), original.data(), original.size()) != 0) {
            fprintf(stderr, "decoding failed (result %d)\n", r);
            return 1;
        }
        rates.push_back((double)original.size() / 1e6 / s.count());
    }
    std::sort(rates.begin(), rates.end());
    printf("%s: %.1f MB in, %.1f MB out, median of %d runs: %.1f MB/s\n",
           deflate64 ? "Deflate64" : "Deflate", stream.size() / 1e6, original.size() / 1e6,
           repetitions, rates[rates.size() / 2]);
    return 0;
}
