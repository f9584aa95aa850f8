// libFuzzer target: unlzma, checked against liblzma.
#include "fuzz/entries.h"

#include <stddef.h>
#include <stdint.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzentry::lzma(data, size);
    return 0;
}
