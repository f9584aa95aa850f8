// libFuzzer target: the options block decoder.
#include "fuzz/entries.h"

#include <stddef.h>
#include <stdint.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzentry::optionsblock(data, size);
    return 0;
}
