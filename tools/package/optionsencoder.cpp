// Encoding of the options block: each field after its length, refused when it does not fit.
//
// The builder writes the reserved word as 0 and never sets flag byte B's unused top bit
// through a named option; raw flag bytes pass through unchanged so that tests can build
// every combination the stub must decode.
#include "tools/package/optionsencoder.h"

#include "startup/optionsblock.h"
#include "tools/base/builderror.h"
#include "tools/base/littleendian.h"

namespace {

const char kMagic[] = "MPV2";

// Appends the length field (width bytes) of text; name is the field in messages.
void putlength(std::string& out, const std::string& text, int width, const char* name) {
    unsigned limit = width == 1 ? kShortFieldLimit : kLongFieldLimit;
    if (text.size() > limit)
        throw BuildError(std::string("the ") + name + " has " + std::to_string(text.size()) +
                         " bytes; at most " + std::to_string(limit) + " fit");
    if (width == 1)
        out.push_back(static_cast<char>(text.size()));
    else
        put16(out, static_cast<unsigned>(text.size()));
}

} // namespace

std::string encodeoptions(const PackageOptions& fields) {
    if (fields.promptstyle > 0xFFFF)
        throw BuildError("the prompt style " + std::to_string(fields.promptstyle) +
                         " does not fit in 16 bits");
    std::string block(kMagic, 4);
    put16(block, kOptionsVersion);
    put16(block, 0); // L, set below
    block.push_back(static_cast<char>(fields.flagsa));
    block.push_back(static_cast<char>(fields.flagsb));
    put16(block, 0); // reserved
    static_assert(kOptionsHeaderSize == 12, "magic, version, L, flags and reserved word");

    putlength(block, fields.title, 1, "title");
    block += fields.title;
    putlength(block, fields.folder, 1, "destination folder");
    block += fields.folder;
    putlength(block, fields.command, 2, "command");
    block += fields.command;
    putlength(block, fields.prompt, 2, "start prompt");
    put16(block, fields.promptstyle);
    block += fields.prompt;
    putlength(block, fields.about, 2, "about text");
    block += fields.about;
    putlength(block, fields.description, 2, "description text");
    block += fields.description;

    if (block.size() > kOptionsBlockLimit)
        throw BuildError("the options block would be " + std::to_string(block.size()) +
                         " bytes long; its length field holds at most " +
                         std::to_string(kOptionsBlockLimit));
    set16(block, 6, static_cast<unsigned>(block.size()));
    return block;
}
