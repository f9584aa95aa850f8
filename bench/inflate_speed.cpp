// Throughput of undeflate alone, for builds without zlib: the i686 stub's code measured under
// Wine, and the same program on the host for comparison.
//
// Decodes a raw Deflate or Deflate64 stream the given number of times with the engine's
// 8 KB input blocks and 64 KB flushes (through the tests' in-memory driver,
// tests/support/inflatedriver.h), checks the result against the original, and prints the median
// MB/s of decompressed data.
//
// Usage: inflate_speed <8|9> <stream file> <original file> [repetitions]
#include "tests/support/inflatedriver.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

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
        auto start = std::chrono::steady_clock::now();
        size_t produced = inflatedriver::inflateinto(stream, out, deflate64);
        std::chrono::duration<double> s = std::chrono::steady_clock::now() - start;
        if (produced != original.size() ||
            memcmp(out.data(), original.data(), original.size()) != 0) {
            fprintf(stderr, "decoding failed or gave other bytes\n");
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
