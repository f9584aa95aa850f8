// liblzma's raw LZMA encoder behind the member format of zip's method 14.
#include "tools/packer/lzmacompressor.h"

#include "tools/base/builderror.h"

#include <lzma.h>

namespace {

enum {
    kHeaderBytes = 4,     // version (2 bytes), properties size (2 bytes)
    kPropertiesBytes = 5, // lc/lp/pb byte, dictionary size (4 bytes)
};

lzma_options_lzma presetoptions(int level) {
    lzma_options_lzma options;
    if (level < 1 || level > 9 || lzma_lzma_preset(&options, static_cast<std::uint32_t>(level)))
        throw BuildError("LZMA has no level " + std::to_string(level) + " (1 to 9)");
    return options;
}

std::string memberheader(const lzma_options_lzma& options) {
    std::string header;
    header.push_back(static_cast<char>(LZMA_VERSION_MAJOR));
    header.push_back(static_cast<char>(LZMA_VERSION_MINOR));
    header.push_back(static_cast<char>(kPropertiesBytes));
    header.push_back('\0');
    header.push_back(static_cast<char>((options.pb * 5 + options.lp) * 9 + options.lc));
    for (int i = 0; i < 4; ++i) header.push_back(static_cast<char>(options.dict_size >> (8 * i)));
    return header;
}

} // namespace

std::uint32_t lzmadictionary(const LzmaSettings& settings, std::uint64_t size) {
    std::uint32_t dictionary =
        settings.dictionary ? settings.dictionary : presetoptions(settings.level).dict_size;
    if (size < dictionary) dictionary = static_cast<std::uint32_t>(size);
    return dictionary < kLzmaDictionaryMin ? kLzmaDictionaryMin : dictionary;
}

std::string lzmamember(const std::string& data, const LzmaSettings& settings) {
    lzma_options_lzma options = presetoptions(settings.level);
    options.dict_size = lzmadictionary(settings, data.size());
    options.ext_flags = 0; // no end marker
    lzma_filter filters[] = {{LZMA_FILTER_LZMA1EXT, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    std::string out = memberheader(options);
    static_assert(kHeaderBytes + kPropertiesBytes == 9, "the member data's fixed part");
    std::size_t written = out.size();
    // liblzma's bound for an .xz stream of the data holds its raw LZMA stream as well.
    out.resize(written + lzma_stream_buffer_bound(data.size()));
    lzma_ret r = lzma_raw_buffer_encode(
        filters, nullptr, reinterpret_cast<const std::uint8_t*>(data.data()), data.size(),
        reinterpret_cast<std::uint8_t*>(out.data()), &written, out.size());
    if (r != LZMA_OK)
        throw BuildError("LZMA compression failed (liblzma error " +
                         std::to_string(static_cast<int>(r)) + ")");
    out.resize(written);
    return out;
}
