// libFuzzer target: the setup dialog's file list over an archive file made of the input.
#include "fuzz/entries.h"

#include <stddef.h>
#include <stdint.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzentry::archivelist(data, size);
    return 0;
}
