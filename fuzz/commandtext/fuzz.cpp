// libFuzzer target: the after-extraction command's preparation (fuzz/entries.h).
#include "fuzz/entries.h"

#include <stddef.h>
#include <stdint.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzentry::commandtext(data, size);
    return 0;
}
