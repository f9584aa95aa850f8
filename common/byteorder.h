// Little-endian fields of the package's blocks and the ZIP format, read from byte arrays.
#pragma once

inline unsigned short get16(const unsigned char* p) {
    return static_cast<unsigned short>(p[0] | p[1] << 8);
}

inline unsigned get32(const unsigned char* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<unsigned>(p[3]) << 24;
}
