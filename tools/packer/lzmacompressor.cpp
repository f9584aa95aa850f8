// liblzma's raw LZMA encoder behind the member format of zip's method 14.
#include "tools/packer/lzmacompressor.h"

#include "tools/base/builderror.h"

#include <lzma.h>
#include <memory>

namespace {

enum {
    kHeaderBytes = 4,     // version (2 bytes), properties size (2 bytes)
    kPropertiesBytes = 5, // lc/lp/pb byte, dictionary size (4 bytes)
    kGrowth = 4096,       // output room added beyond half the input each round
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
    lzma_stream stream = LZMA_STREAM_INIT;
    lzma_ret r = lzma_raw_encoder(&stream, filters);
    std::unique_ptr<lzma_stream, void (*)(lzma_stream*)> cleanup(&stream, lzma_end);
    std::string out = memberheader(options);
    stream.next_in = reinterpret_cast<const std::uint8_t*>(data.data());
    stream.avail_in = data.size();
    // The output grows as needed: data that does not shrink may grow a little, and is then
    // stored by the writer.
    while (r == LZMA_OK) {
        std::size_t used = out.size();
        out.resize(used + data.size() / 2 + kGrowth);
        stream.next_out = reinterpret_cast<std::uint8_t*>(out.data() + used);
        stream.avail_out = out.size() - used;
        r = lzma_code(&stream, LZMA_FINISH);
        out.resize(out.size() - stream.avail_out);
    }
    if (r != LZMA_STREAM_END)
        throw BuildError("LZMA compression failed (liblzma error " +
                         std::to_string(static_cast<int>(r)) + ")");
    return out;
}
