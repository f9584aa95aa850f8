// CRC-32 of member data in the Win32 build, from the engine's own tables (no zlib there).
#include "tools/zip/zipmember.h"

#include "engine/crc32.h"
#include "tools/base/builderror.h"

std::uint32_t membercrc(const std::string& data) {
    if (!buildcrctable()) throw BuildError("out of memory");
    return updatecrc(0, reinterpret_cast<const unsigned char*>(data.data()), data.size());
}
