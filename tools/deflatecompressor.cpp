// libdeflate behind the archive writer's compressor hook.
//
// One compressor object is shared by all members of a build; it is freed with the last copy
// of the hook.
#include "tools/deflatecompressor.h"

#include "tools/builderror.h"

#include <libdeflate.h>
#include <memory>

ZipCompressor deflatecompressor(int level) {
    if (level <= 0) return {};
    std::shared_ptr<libdeflate_compressor> compressor(libdeflate_alloc_compressor(level),
                                                      libdeflate_free_compressor);
    if (!compressor) throw BuildError("cannot set up Deflate level " + std::to_string(level));
    return [compressor](const std::string& in, std::string& out) {
        out.resize(libdeflate_deflate_compress_bound(compressor.get(), in.size()));
        std::size_t size = libdeflate_deflate_compress(compressor.get(), in.data(), in.size(),
                                                       out.data(), out.size());
        out.resize(size);
        return size != 0;
    };
}
