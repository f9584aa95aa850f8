// libFuzzer target: command-line tails and the usage message (fuzz/entries.h).
#include "fuzz/entries.h"

#include <stddef.h>
#include <stdint.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzentry::commandline(data, size);
    return 0;
}
