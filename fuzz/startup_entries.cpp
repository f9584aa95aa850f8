// Fuzz entries for the start-up decoders of the package's text block and options block.
#include "fuzz/entries.h"
#include "startup/optionsblock.h"
#include "startup/textblock.h"

#include <stdlib.h>
#include <string.h>

#include <vector>

namespace {

void check(bool condition) {
    if (!condition) __builtin_trap();
}

} // namespace

void fuzzentry::textblock(const unsigned char* data, size_t size) {
    // The marker search may look 4 bytes past its span.
    size_t span = size > 4 ? size - 4 : 0;
    long at = findtextmarker(data, span);
    check(at == -1 || (at >= 0 && (size_t)at < span && memcmp(data + at, "{SLF}", 5) == 0));
    blockchecksum(data, size);
    // Texts are copied from a buffer of exactly the body's size.
    std::vector<unsigned char> body(data, data + size);
    int loaded = loaduitexts(body.data(), body.size());
    check(loaded == 1 || loaded == -1 || loaded == -2);
    if (loaded == 1)
        for (int i = 0; i < kTextCount; i++) check(UiText[i] != nullptr);
    freeuitexts();
}

void fuzzentry::optionsblock(const unsigned char* data, size_t size) {
    std::vector<unsigned char> block(data, data + size);
    SfxOptions* made = makesfxoptions();
    check(made != nullptr);
    SfxOptions& options = *made;
    OptionsStatus status = decodeoptions(block.data(), block.size(), &options, "Default title");
    check(status == kOptionsOk || status == kOptionsNoMemory || status == kOptionsBadVersion ||
          status == kOptionsInvalid);
    check(memchr(options.title, 0, sizeof options.title) != nullptr);
    check(memchr(options.destfolder, 0, sizeof options.destfolder) != nullptr);
    optionsblocklength(block.data(), block.size());
    releasesfxoptions(made);
}
