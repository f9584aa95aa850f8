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

// Appends the length field (width bytes) of text; name is the field in messages.
void putlength(std::string& out, const std::string& text, int width, const char* name) {
    unsigned limit = width == kShortLengthSize ? kShortFieldLimit : kLongFieldLimit;
    if (text.size() > limit)
        throw BuildError(std::string("the ") + name + " has " + std::to_string(text.size()) +
                         " bytes; at most " + std::to_string(limit) + " fit");
    if (width == kShortLengthSize)
        out.push_back(static_cast<char>(text.size()));
    else
        put16(out, static_cast<unsigned>(text.size()));
}

} // namespace

std::string encodeoptions(const PackageOptions& fields) {
    if (fields.promptstyle > 0xFFFF)
        throw BuildError("the prompt style " + std::to_string(fields.promptstyle) +
                         " does not fit in 16 bits");
    // The header; L is set below, the reserved word stays 0.
    std::string block(kOptionsHeaderSize, '\0');
    completemarker(bytesat(block, kOptionsMagicOffset), kOptionsMagicStored, kOptionsMagicSize);
    set16(block, kOptionsVersionOffset, kOptionsVersion);
    block[kOptionsFlagsAOffset] = static_cast<char>(fields.flagsa);
    block[kOptionsFlagsBOffset] = static_cast<char>(fields.flagsb);

    putlength(block, fields.title, kShortLengthSize, "title");
    block += fields.title;
    putlength(block, fields.folder, kShortLengthSize, "destination folder");
    block += fields.folder;
    putlength(block, fields.command, kLongLengthSize, "command");
    block += fields.command;
    putlength(block, fields.prompt, kLongLengthSize, "start prompt");
    static_assert(kPromptStyleSize == 2, "the prompt style is a u16");
    put16(block, fields.promptstyle);
    block += fields.prompt;
    putlength(block, fields.about, kLongLengthSize, "about text");
    block += fields.about;
    putlength(block, fields.description, kLongLengthSize, "description text");
    block += fields.description;

    if (block.size() > kOptionsBlockLimit)
        throw BuildError("the options block would be " + std::to_string(block.size()) +
                         " bytes long; its length field holds at most " +
                         std::to_string(kOptionsBlockLimit));
    set16(block, kOptionsLengthOffset, static_cast<unsigned>(block.size()));
    return block;
}
