// Generated test data for the differential tests: runs, text-like repeats, copies from far
// back and noise in random turns, so that a compressor uses every kind of symbol it has.
#pragma once

#include <random>
#include <stddef.h>
#include <vector>

namespace sampledata {

// n bytes from the seed; no piece is longer than longestpiece bytes.
inline std::vector<unsigned char> make(size_t n, unsigned seed, size_t longestpiece) {
    std::mt19937 rnd(seed);
    std::vector<unsigned char> b;
    b.reserve(n);
    while (b.size() < n) {
        size_t len = 1 + rnd() % longestpiece;
        switch (rnd() % 4) {
        case 0:
            for (size_t i = 0; i < len; i++) b.push_back((unsigned char)rnd());
            break;
        case 1:
            b.insert(b.end(), len, (unsigned char)rnd());
            break;
        case 2:
            if (b.size() > len) {
                size_t from = rnd() % (b.size() - len);
                for (size_t i = 0; i < len; i++) b.push_back(b[from + i]);
                break;
            }
            [[fallthrough]];
        default:
            for (size_t i = 0; i < len; i++)
                b.push_back((unsigned char)("etaoin shrdlu"[rnd() % 13]));
        }
    }
    b.resize(n);
    return b;
}

} // namespace sampledata
