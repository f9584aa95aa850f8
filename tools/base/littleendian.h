// Little-endian numbers in byte strings, as every field of a package stores them.
//
// The builder keeps blocks and archives in std::string (bytes, not text); these helpers append
// fields to one and read them back at an offset the caller has already checked. They only
// adapt std::string to the byte-array readers and writers of common/byteorder.h, which hold
// the byte order for the stub and the builder alike.
#pragma once

#include "common/byteorder.h"

#include <cstddef>
#include <cstdint>
#include <string>

inline const unsigned char* bytesat(const std::string& in, std::size_t at) {
    return reinterpret_cast<const unsigned char*>(in.data()) + at;
}

inline unsigned char* bytesat(std::string& out, std::size_t at) {
    return reinterpret_cast<unsigned char*>(&out[at]);
}

inline void put16(std::string& out, unsigned value) {
    out.resize(out.size() + 2);
    set16(bytesat(out, out.size() - 2), value);
}

inline void put32(std::string& out, std::uint32_t value) {
    out.resize(out.size() + 4);
    set32(bytesat(out, out.size() - 4), value);
}

inline unsigned get16(const std::string& in, std::size_t at) {
    return get16(bytesat(in, at));
}

inline std::uint32_t get32(const std::string& in, std::size_t at) {
    return get32(bytesat(in, at));
}

// Overwrite fields in place (used when offsets are rebased).
inline void set16(std::string& out, std::size_t at, unsigned value) {
    set16(bytesat(out, at), value);
}

inline void set32(std::string& out, std::size_t at, std::uint32_t value) {
    set32(bytesat(out, at), value);
}
