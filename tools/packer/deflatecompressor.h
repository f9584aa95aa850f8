// The builder's Deflate compression: libdeflate behind the archive writer's compressor hook,
// and the piecewise form that lets large members be compressed in bounded memory.
//
// Host build only; the Win32 build of the package-writing library stores members.
//
// Pieces: libdeflate compresses whole buffers only, each into a complete Deflate stream whose
// last block carries the final bit. A member larger than one piece is cut into pieces of
// kCompressPiece bytes; every piece but the last is compressed on its own, then its final bit
// is cleared and it is ended with an empty stored block (3 header bits, padding to the byte,
// LEN 0 and NLEN 0xFFFF), which leaves the stream byte-aligned and open. The pieces laid end
// to end are then one valid Deflate stream. Each piece starts without the previous one's
// window, which costs a few hundred bytes per piece at most.
#pragma once

#include "tools/zip/zipmember.h"

#include <cstddef>
#include <string>

// The size of the pieces in which a member's data is read and compressed. Members up to
// this size are one piece (compressed as a whole, exactly as deflatecompressor does).
const std::size_t kCompressPiece = std::size_t(4) << 20;

// A compressor at level 1 (fastest) to 12 (smallest); level 0 gives none (members stored).
ZipCompressor deflatecompressor(int level);

// Compresses one piece at level 1 to 12 (see above): the last piece of a member ends the
// Deflate stream, any other leaves it open and byte-aligned. Safe to call from several
// threads at once (each thread keeps its own compressor).
std::string compresspiece(const std::string& piece, int level, bool last);
