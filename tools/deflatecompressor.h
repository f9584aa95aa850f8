// The builder's Deflate compression: libdeflate behind the archive writer's compressor hook.
//
// Host build only; the Win32 build of the package-writing library stores members.
#pragma once

#include "tools/zipwriter.h"

// A compressor at level 1 (fastest) to 12 (smallest); level 0 gives none (members stored).
ZipCompressor deflatecompressor(int level);
