// The builder's LZMA compression (method 14): liblzma's raw LZMA encoder, one whole stream
// per member, with the zip's LZMA header in front.
//
// Host build only. A member's data is the 4-byte header (liblzma's major and minor version,
// then the properties size, 5), the 5 property bytes (lc, lp and pb in one byte, the
// dictionary size in 4) and the stream, without an end marker: the zip headers hold the
// uncompressed size, so general purpose bit 1 stays clear. The dictionary written is no
// larger than the member needs (its size, at least liblzma's 4 KiB), which bounds both the
// encoder's memory and the buffer the stub allocates to extract it.
#pragma once

#include <cstdint>
#include <string>

struct LzmaSettings {
    int level = 6;                // liblzma's preset, 1 (fastest) to 9 (smallest)
    std::uint32_t dictionary = 0; // 0: the preset's
};

// The smallest dictionary liblzma takes. The largest one a build may ask for is the stub's
// limit (kLzmaDictionaryLimit in engine/lzma.h, checked where the option is read).
const std::uint32_t kLzmaDictionaryMin = 4096;

// The member data of `data`, compressed with LZMA. Safe to call from several threads at
// once. Throws BuildError when liblzma refuses the settings.
std::string lzmamember(const std::string& data, const LzmaSettings& settings);

// The dictionary a member of `size` bytes is written with under these settings.
std::uint32_t lzmadictionary(const LzmaSettings& settings, std::uint64_t size);
