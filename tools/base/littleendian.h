// Little-endian numbers in byte strings, as every field of a package stores them.
//
// The builder keeps blocks and archives in std::string (bytes, not text); these helpers append
// fields to one and read them back at an offset the caller has already checked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

inline void put16(std::string& out, unsigned value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

inline void put32(std::string& out, std::uint32_t value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

inline unsigned get16(const std::string& in, std::size_t at) {
    return static_cast<unsigned char>(in[at]) | static_cast<unsigned char>(in[at + 1]) << 8;
}

inline std::uint32_t get32(const std::string& in, std::size_t at) {
    return get16(in, at) | static_cast<std::uint32_t>(get16(in, at + 2)) << 16;
}

// Overwrites a field in place (used when offsets are rebased).
inline void set32(std::string& out, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}
