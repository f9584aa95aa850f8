// libFuzzer target: the text block decoders (marker search, checksum, the 66 texts).
#include "fuzz/entries.h"

#include <stddef.h>
#include <stdint.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzentry::textblock(data, size);
    return 0;
}
