// libFuzzer target: the folder macros with a made-up system (fuzz/entries.h).
#include "fuzz/entries.h"

#include <stddef.h>
#include <stdint.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzentry::foldermacros(data, size);
    return 0;
}
