// libFuzzer target: undeflate. Built twice, for Deflate and (with ORV_FUZZ_DEFLATE64=1) for
// Deflate64.
#include "fuzz/entries.h"

#include <stddef.h>
#include <stdint.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzentry::inflate(data, size, ORV_FUZZ_DEFLATE64 != 0);
    return 0;
}
