// 64-bit FNV-1a: a small, fast hash of byte strings, for telling strings apart (not for
// security). Hashes are chained by passing one result as the next call's start.
#pragma once

#include <stddef.h>

enum : unsigned long long {
    kFnvStart = 0xCBF29CE484222325ull, // the offset basis, the hash of no bytes
    kFnvPrime = 0x100000001B3ull,
};

inline unsigned long long fnv1a(unsigned long long hash, const void* bytes, size_t length) {
    const unsigned char* p = static_cast<const unsigned char*>(bytes);
    for (size_t i = 0; i < length; ++i) hash = (hash ^ p[i]) * kFnvPrime;
    return hash;
}
