// Fuzz entry for undeflate: decodes the input in Deflate or Deflate64 with input blocks of
// a size taken from the first byte, and checks what every stream must satisfy:
// - the result is 0, 1 or 2 (memory does not run out here);
// - every flush is a part of the window, never longer than it; every flush but the last is
//   a whole 65,536-byte window, the last one (the rest, or a window) at most that;
// - a decoded member ends with a flush, and the flushes add up to the decoded bytes;
// - a Deflate stream that zlib decodes completely decodes to the same bytes, except for
//   the one rule in which this decoder is stricter than zlib (no distance codes at all
//   while length codes are declared, reported as "(incomplete d-tree)  ");
// - a Deflate stream that zlib refuses for a distance reaching before its first byte fails;
// - where the processor has BMI2, the fast loop compiled for it gives the same result, output
//   and input consumed as the baseline loop.
#include "fuzz/entries.h"
#include "tests/support/inflatedriver.h"

#include <string.h>
#include <zlib.h>

#include <vector>

namespace {

enum ZlibOutcome { kZlibDecoded, kZlibTooFarBack, kZlibOther };

// zlib's raw inflate of the whole input: decoded when the stream ends properly.
ZlibOutcome zlibinflate(const unsigned char* data, size_t size, std::vector<unsigned char>* out) {
    z_stream z = {};
    if (inflateInit2(&z, -15) != Z_OK) return kZlibOther;
    z.next_in = const_cast<unsigned char*>(data);
    z.avail_in = (uInt)size;
    unsigned char buffer[1 << 16];
    int r;
    do {
        z.next_out = buffer;
        z.avail_out = sizeof buffer;
        r = ::inflate(&z, Z_NO_FLUSH);
        out->insert(out->end(), buffer, buffer + (sizeof buffer - z.avail_out));
    } while (r == Z_OK && out->size() < (64u << 20));
    bool toofar = r == Z_DATA_ERROR && z.msg && strcmp(z.msg, "invalid distance too far back") == 0;
    inflateEnd(&z);
    return r == Z_STREAM_END ? kZlibDecoded : toofar ? kZlibTooFarBack : kZlibOther;
}

void check(bool condition) {
    if (!condition) __builtin_trap();
}

} // namespace

void fuzzentry::inflate(const unsigned char* data, size_t size, bool deflate64) {
    if (size < 1) return;
    inflatedriver::Options o;
    o.deflate64 = deflate64;
    o.blocksize = data[0] < 128 ? 1 + data[0] : inflatedriver::kInputBlock;
    o.quietlevel = 0;
    inflatedriver::Decoded run = inflatedriver::inflate(data + 1, size - 1, o);
    if (useinflatebmi2(true)) { // that run took the BMI2 loop: the baseline one must agree
        useinflatebmi2(false);
        inflatedriver::Decoded baseline = inflatedriver::inflate(data + 1, size - 1, o);
        useinflatebmi2(true);
        check(baseline.result == run.result && baseline.output == run.output &&
              baseline.consumed == run.consumed && baseline.flushes == run.flushes);
    }
    check(run.result >= kInflateOk && run.result <= kInflateReservedOrOversubscribed);
    size_t flushed = 0;
    for (size_t i = 0; i < run.flushes.size(); i++) {
        bool last = i + 1 == run.flushes.size();
        check(last ? run.flushes[i] <= kInflateWindowSize : run.flushes[i] == kInflateWindowSize);
        flushed += run.flushes[i];
    }
    check(run.result != kInflateOk || !run.flushes.empty());
    check(flushed == run.produced && run.output.size() == run.produced);
    check(run.consumed <= size - 1);
    if (!deflate64) {
        std::vector<unsigned char> expected;
        bool stricter = !run.messages.empty() && run.messages.back() == "(incomplete d-tree)  ";
        ZlibOutcome z = zlibinflate(data + 1, size - 1, &expected);
        if (z == kZlibDecoded && !stricter)
            check(run.result == kInflateOk && run.output == expected);
        if (z == kZlibTooFarBack) check(run.result != kInflateOk);
    }
    releasefixedcodes();
}
