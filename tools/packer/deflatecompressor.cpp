// libdeflate behind the archive writer's compressor hook, and pieces of one Deflate stream.
//
// A piece that is not the last is decoded again with zlib's inflate, which stops at every
// block boundary (Z_BLOCK) and tells the bit position there and whether the block just ended
// was the final one: the last boundary before the final block is where its header starts
// (its first bit is the final bit to clear), the boundary behind it is the stream's end
// (inflate drops the padding bits only after that stop). The decoding also checks that the piece
// gives back exactly its input length.
#include "tools/packer/deflatecompressor.h"

#include "tools/base/builderror.h"

#include <libdeflate.h>
#include <memory>
#include <zlib.h>

namespace {

using CompressorPointer = std::unique_ptr<libdeflate_compressor, void (*)(libdeflate_compressor*)>;

// This thread's compressor for level, kept from one piece to the next.
libdeflate_compressor* threadcompressor(int level) {
    thread_local int kept = 0;
    thread_local CompressorPointer compressor(nullptr, libdeflate_free_compressor);
    if (!compressor || kept != level) {
        compressor.reset(libdeflate_alloc_compressor(level));
        kept = level;
    }
    if (!compressor) throw BuildError("cannot set up Deflate level " + std::to_string(level));
    return compressor.get();
}

// The stream is made in this thread's scratch buffer, sized for the worst case, and then
// copied out at its own size: a queue of finished pieces then holds what they compressed
// to, not room for what they might have.
std::string wholestream(const std::string& in, int level) {
    libdeflate_compressor* compressor = threadcompressor(level);
    thread_local std::string scratch;
    scratch.resize(libdeflate_deflate_compress_bound(compressor, in.size()));
    std::size_t size = libdeflate_deflate_compress(compressor, in.data(), in.size(), scratch.data(),
                                                   scratch.size());
    if (size == 0) throw BuildError("Deflate compression failed");
    return scratch.substr(0, size);
}

// Bit positions in a Deflate stream, counted from the first byte's lowest bit.
struct StreamBits {
    std::uint64_t finalheader = 0; // where the last block's header starts
    std::uint64_t end = 0;         // just behind the last block
};

// The inflater's bit position: bytes taken, less the bits of the last one it has not used.
std::uint64_t bitposition(const z_stream& z) {
    return std::uint64_t(z.total_in) * 8 - unsigned(z.data_type & 7);
}

StreamBits locatefinalblock(const std::string& stream, std::size_t expected) {
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK) throw BuildError("cannot set up zlib's inflate");
    std::unique_ptr<z_stream, int (*)(z_stream*)> cleanup(&z, inflateEnd);
    const unsigned kScratch = 1u << 16;
    std::unique_ptr<unsigned char[]> scratch(new unsigned char[kScratch]);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stream.data()));
    z.avail_in = static_cast<uInt>(stream.size());
    StreamBits bits;
    for (;;) {
        if (z.avail_out == 0) {
            z.next_out = scratch.get();
            z.avail_out = kScratch;
        }
        int result = inflate(&z, Z_BLOCK);
        if (result == Z_STREAM_END) break;
        if (result != Z_OK && result != Z_BUF_ERROR)
            throw BuildError("a compressed piece does not decode");
        if (result == Z_BUF_ERROR && z.avail_out != 0)
            throw BuildError("a compressed piece ends early");
        // 128: stopped at a block boundary; 64: the block just ended was the final one.
        if ((z.data_type & 128) && !(z.data_type & 64)) bits.finalheader = bitposition(z);
        if ((z.data_type & 128) && (z.data_type & 64)) bits.end = bitposition(z);
    }
    if (z.total_out != expected || z.avail_in != 0)
        throw BuildError("a compressed piece does not give back its data");
    return bits;
}

// Clears the final bit and closes the piece with an empty, non-final stored block.
std::string openpiece(std::string stream, std::size_t length) {
    StreamBits bits = locatefinalblock(stream, length);
    stream[bits.finalheader / 8] &= static_cast<char>(~(1u << (bits.finalheader % 8)));
    // Bits past the end are zero, and the stored block's header (final 0, type 00) is three
    // zero bits: when they fit behind the end in its last byte the padding completes that
    // byte, otherwise they and the padding take one more byte.
    std::size_t used = static_cast<std::size_t>((bits.end + 7) / 8);
    unsigned spare = static_cast<unsigned>(used * 8 - bits.end);
    stream.resize(used);
    if (spare) stream[used - 1] &= static_cast<char>((1u << (8 - spare)) - 1);
    const unsigned kStoredHeaderBits = 3;
    if (spare < kStoredHeaderBits) stream.push_back('\0');
    stream += std::string("\x00\x00\xFF\xFF", 4); // LEN 0, NLEN its complement
    return stream;
}

} // namespace

std::string compresspiece(const std::string& piece, int level, bool last) {
    std::string stream = wholestream(piece, level);
    return last ? stream : openpiece(std::move(stream), piece.size());
}

ZipCompressor deflatecompressor(int level) {
    if (level <= 0) return {};
    threadcompressor(level); // refuses a level libdeflate does not have, before any member
    return [level](const std::string& in, std::string& out) {
        out = wholestream(in, level);
        return true;
    };
}
