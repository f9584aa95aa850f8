// Little-endian fields of the package's blocks and the ZIP format, read from and written to
// byte arrays.
//
// The one place of the byte arithmetic: the stub's code and the code that restores it, the
// builder (through the std::string adapters of tools/base/littleendian.h), the tests and the
// benchmarks all read and write little-endian numbers with these. They compile to single
// loads and stores. They are static inline, so that any copy the compiler keeps out of line
// stays in the object that uses it: the restoring code (stub/unpack.cpp) runs before the
// rest of the stub's code is unpacked, and a shared inline copy could be the one the linker
// takes from an object whose code is still packed.
#pragma once

static inline unsigned short get16(const unsigned char* p) {
    return static_cast<unsigned short>(p[0] | p[1] << 8);
}

static inline unsigned get32(const unsigned char* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<unsigned>(p[3]) << 24;
}

// Writes the low 16 bits of value.
static inline void set16(unsigned char* p, unsigned value) {
    p[0] = static_cast<unsigned char>(value);
    p[1] = static_cast<unsigned char>(value >> 8);
}

static inline void set32(unsigned char* p, unsigned value) {
    set16(p, value);
    set16(p + 2, value >> 16);
}
