// Encoding of the options block (version 3) from a plain record of the package's options.
//
// The layout is startup/packageblocks.h's, written without padding; L counts the whole block,
// so the archive's "PK" lies at L. The flag bits are the ones startup/optionsblock.h names;
// decodeoptions there reads this block back.
#pragma once

#include "startup/packageblocks.h"

#include <cstdint>
#include <string>

struct PackageOptions {
    std::string title;        // empty: the stub shows text 18 as the caption
    std::string folder;       // default destination folder, may start with a folder macro
    std::string command;      // program, optionally "|" and its parameters
    std::string prompt;       // start-up question; empty for none
    unsigned promptstyle = 0; // message-box style word of the prompt
    std::string about;        // package author's text of the About box
    std::string description;  // text of the description panel
    unsigned char flagsa = 0;
    unsigned char flagsb = 0;
};

// Largest lengths of the fields: the title and folder have a one-byte length (and fill the
// stub's 256-character buffers with their NUL), the others two bytes; L itself is 16-bit.
enum : unsigned {
    kShortFieldLimit = 255,
    kLongFieldLimit = 65535,
    kOptionsBlockLimit = 65535,
};
static_assert(kShortFieldLimit == (1u << 8 * kShortLengthSize) - 1, "LT and LF are one byte");
static_assert(kLongFieldLimit == (1u << 8 * kLongLengthSize) - 1, "the other lengths are u16");

// The options block holding fields; refuses a field or a whole block that is too long, and a style
// word above 16 bits.
std::string encodeoptions(const PackageOptions& fields);
