// Little-endian fields of the package's blocks and the ZIP format, read from and written to
// byte arrays.
//
// The one place of the byte arithmetic: the stub's code, the builder (through the
// std::string adapters of tools/base/littleendian.h), the tests and the benchmarks all read
// and write little-endian numbers with these. Plain inline functions: the stub's code and its
// restoring code include them, and they compile to single loads and stores there.
#pragma once

inline unsigned short get16(const unsigned char* p) {
    return static_cast<unsigned short>(p[0] | p[1] << 8);
}

inline unsigned get32(const unsigned char* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<unsigned>(p[3]) << 24;
}

// Writes the low 16 bits of value.
inline void set16(unsigned char* p, unsigned value) {
    p[0] = static_cast<unsigned char>(value);
    p[1] = static_cast<unsigned char>(value >> 8);
}

inline void set32(unsigned char* p, unsigned value) {
    set16(p, value);
    set16(p + 2, value >> 16);
}
