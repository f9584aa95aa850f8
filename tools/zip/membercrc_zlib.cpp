// CRC-32 of member data on the host, from zlib (the Win32 build uses the engine's instead).
#include "tools/zip/zipmember.h"

#include <zlib.h>

std::uint32_t membercrc(const std::string& data) {
    uLong crc = crc32(0L, Z_NULL, 0);
    const auto* next = reinterpret_cast<const Bytef*>(data.data());
    for (std::size_t left = data.size(); left > 0;) {
        uInt chunk = left > 0x40000000 ? 0x40000000u : static_cast<uInt>(left);
        crc = crc32(crc, next, chunk);
        next += chunk;
        left -= chunk;
    }
    return static_cast<std::uint32_t>(crc);
}
