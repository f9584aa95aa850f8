// liblzma as the reference for the LZMA decoder (host only): it encodes zip LZMA member data
// (header, properties, raw stream) and decodes such data with a known size, so that the
// tests, the fuzzer and the benchmark compare unlzma with it on the same streams.
#pragma once

#include <lzma.h>

#include <stdint.h>
#include <stdlib.h>

#include <algorithm>
#include <vector>

namespace lzmaoracle {

using Bytes = std::vector<unsigned char>;

struct Encoding {
    uint32_t preset = 6;     // liblzma's preset 0 to 9
    uint32_t dictionary = 0; // 0: the preset's
    unsigned lc = 3, lp = 0, pb = 2;
    bool endmarker = false; // write the end marker (the member's general purpose bit 1)
};

// The member data of `data`: the zip's 4-byte LZMA header and 5 property bytes, then the
// stream; empty when liblzma refuses.
inline Bytes encode(const Bytes& data, const Encoding& e = Encoding()) {
    lzma_options_lzma options;
    if (lzma_lzma_preset(&options, e.preset)) return {};
    if (e.dictionary) options.dict_size = e.dictionary;
    options.lc = e.lc;
    options.lp = e.lp;
    options.pb = e.pb;
    options.ext_flags = e.endmarker ? LZMA_LZMA1EXT_ALLOW_EOPM : 0;
    lzma_filter filters[] = {{LZMA_FILTER_LZMA1EXT, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    Bytes out(9 + data.size() + data.size() / 2 + 4096);
    size_t written = 9;
    if (lzma_raw_buffer_encode(filters, nullptr, data.data(), data.size(), out.data(), &written,
                               out.size()) != LZMA_OK)
        return {};
    out.resize(written);
    unsigned char header[9] = {LZMA_VERSION_MAJOR, LZMA_VERSION_MINOR, 5, 0,
                               (unsigned char)((options.pb * 5 + options.lp) * 9 + options.lc)};
    for (int i = 0; i < 4; i++) header[5 + i] = (unsigned char)(options.dict_size >> (8 * i));
    std::copy(header, header + 9, out.begin());
    return out;
}

// liblzma's decoding of member data into out[0..size), with or without an end marker behind
// those bytes; false when it refuses the data or the header.
inline bool decodeinto(const unsigned char* member, size_t n, unsigned char* out, uint64_t size) {
    if (n < 9 || member[2] != 5 || member[3] != 0) return false;
    lzma_filter filter = {LZMA_FILTER_LZMA1EXT, nullptr};
    if (lzma_properties_decode(&filter, nullptr, member + 4, 5) != LZMA_OK) return false;
    lzma_options_lzma* options = static_cast<lzma_options_lzma*>(filter.options);
    options->ext_flags = LZMA_LZMA1EXT_ALLOW_EOPM;
    lzma_set_ext_size(*options, size);
    lzma_filter filters[] = {filter, {LZMA_VLI_UNKNOWN, nullptr}};
    lzma_stream stream = LZMA_STREAM_INIT;
    bool ok = lzma_raw_decoder(&stream, filters) == LZMA_OK;
    if (ok) {
        stream.next_in = member + 9;
        stream.avail_in = n - 9;
        stream.next_out = out;
        stream.avail_out = size_t(size);
        lzma_ret r = lzma_code(&stream, LZMA_FINISH);
        ok = r == LZMA_STREAM_END && stream.total_out == size;
    }
    lzma_end(&stream);
    free(options);
    return ok;
}

// The same into a vector of `size` bytes.
inline bool decode(const unsigned char* member, size_t n, uint64_t size, Bytes* out) {
    out->assign(size_t(size), 0);
    return decodeinto(member, n, out->data(), size);
}

} // namespace lzmaoracle
