// Fuzz entry for unlzma: decodes member data with a stated size, input blocks and end-marker
// flag taken from the input's first bytes, and checks what every run must satisfy:
// - the result is 0, 1 or 2 (no dictionary here reaches the limit, memory does not run out);
// - every flush is at most kLzmaFlushBlock bytes, they add up to the decoded bytes, and a
//   decoded member holds at most its stated size (fewer only when its end marker came first);
// - where liblzma decodes the same data to the stated size, unlzma gives the same bytes,
//   unless the member's flag asks for an end marker that liblzma found optional, or unlzma's
//   buffer is smaller than liblzma's dictionary (a stated dictionary below the size and above
//   the window, which liblzma rounds up);
// - where unlzma decodes the data to its size, liblzma decodes it to the same bytes.
// liblzma allocates the whole stated dictionary, so it is given the data with a dictionary
// of at most the stated size (at least 4 KiB), which no distance within that size notices.
#include "fuzz/entries.h"
#include "tests/support/inflatedriver.h"
#include "tests/support/lzmaoracle.h"

#include <vector>

namespace {

void check(bool condition) {
    if (!condition) __builtin_trap();
}

enum {
    kControlBytes = 5, // input block, flags, stated size (3 bytes)
    kSizeLimit = 1 << 20,
    kFlagEndMarker = 1,
};
const uint32_t kSmallestDictionary = 4096; // liblzma's

uint32_t stateddictionary(const unsigned char* member, size_t n) {
    if (n < kLzmaHeaderBytes + kLzmaPropertiesBytes) return 0;
    const unsigned char* d = member + kLzmaHeaderBytes + 1;
    return d[0] | d[1] << 8 | d[2] << 16 | (uint32_t)d[3] << 24;
}

} // namespace

void fuzzentry::lzma(const unsigned char* data, size_t size) {
    if (size < kControlBytes) return;
    inflatedriver::Options o;
    o.blocksize = data[0] < 128 ? 1 + data[0] : inflatedriver::kInputBlock;
    bool endmarker = (data[1] & kFlagEndMarker) != 0;
    unsigned stated = (data[2] | data[3] << 8 | data[4] << 16) % (kSizeLimit + 1);
    const unsigned char* member = data + kControlBytes;
    size_t n = size - kControlBytes;
    inflatedriver::Decoded run = inflatedriver::unlzma(member, n, stated, endmarker, o);
    check(run.result >= kLzmaOk && run.result <= kLzmaBadHeader);
    size_t flushed = 0;
    for (unsigned f : run.flushes) {
        check(f <= kLzmaFlushBlock);
        flushed += f;
    }
    check(flushed == run.produced && run.output.size() == run.produced);
    check(run.produced <= stated && run.consumed <= n);
    uint32_t dictionary = stateddictionary(member, n);
    std::vector<unsigned char> bounded(member, member + n), reference;
    if (dictionary > stated && n >= kLzmaHeaderBytes + kLzmaPropertiesBytes) {
        uint32_t small = stated > kSmallestDictionary ? stated : kSmallestDictionary;
        for (int i = 0; i < 4; i++)
            bounded[kLzmaHeaderBytes + 1 + i] = (unsigned char)(small >> (8 * i));
    }
    bool theirs = lzmaoracle::decode(bounded.data(), n, stated, &reference);
    bool ours = run.result == kLzmaOk && run.produced == stated;
    bool comparable = dictionary >= stated || stated <= kInflateWindowSize;
    if (theirs && !endmarker && comparable) check(ours && run.output == reference);
    if (ours) check(theirs && run.output == reference);
}
