// Code pages and the UTF-8 conversion with positions in its refusals.
//
// The code pages' characters are the tables of platform/codepagetables.h, with which the
// POSIX code-page layer converts names too; here they become the builder's CodePage form.
#include "tools/text/encodings.h"

#include "platform/codepagetables.h"
#include "platform/utf8.h"

#include "tools/base/builderror.h"

#include <cstdio>

namespace {

// Windows-1252: 0x80..0x9F hold typographic characters, 0xA0..0xFF are Latin-1. The shared
// table gives its five unassigned bytes the C1 control of their own value, as Windows
// converts them; here they are undefined, so that no text is written with them.
constexpr CodePage makewestern() {
    CodePage page{1252, "Windows-1252", {}};
    for (unsigned b = platform::kCodePageTableFirst; b < 0x100; ++b) {
        unsigned c = b < platform::kCodePage1252Latin1
                         ? platform::kCodePage1252[b - platform::kCodePageTableFirst]
                         : b;
        page.upper[b - platform::kCodePageTableFirst] = platform::isc1control(c) ? 0 : char32_t(c);
    }
    return page;
}
constexpr CodePage kWestern = makewestern();
static_assert(kWestern.upper[0xE9 - 0x80] == 0xE9, "0xA0..0xFF are Latin-1");
static_assert(kWestern.upper[0x81 - 0x80] == 0 && kWestern.upper[0x8D - 0x80] == 0 &&
                  kWestern.upper[0x8F - 0x80] == 0 && kWestern.upper[0x90 - 0x80] == 0 &&
                  kWestern.upper[0x9D - 0x80] == 0,
              "the unassigned bytes are undefined");

// Code page 437, the OEM code page of Western Windows: the stub reads member names of DOS
// hosts in it. Not a package code page (texts are ANSI), only for showing names.
constexpr CodePage makeoem() {
    CodePage page{437, "OEM United States", {}};
    for (unsigned i = 0; i < 128; ++i) page.upper[i] = platform::kCodePage437[i];
    return page;
}
constexpr CodePage kOem = makeoem();

const CodePage* const kCodePages[] = {&kWestern};

// Decodes one UTF-8 sequence at text[at] with the engine's strict decoder; returns its
// length, or 0 when it is invalid.
std::size_t decodeutf8(const std::string& text, std::size_t at, char32_t& c) {
    unsigned value = 0;
    unsigned length = platform::decodeutf8(reinterpret_cast<const unsigned char*>(text.data()) + at,
                                           static_cast<unsigned>(text.size() - at), &value);
    c = value;
    return length;
}

void appendutf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | c >> 6));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | c >> 12));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | c >> 18));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

} // namespace

const CodePage* findcodepage(unsigned number) {
    for (const CodePage* page : kCodePages)
        if (page->number == number) return page;
    return nullptr;
}

const CodePage& westerncodepage() {
    return kWestern;
}

const CodePage& oemcodepage() {
    return kOem;
}

std::vector<char32_t> decodeutf8text(const std::string& text, const std::string& what) {
    std::vector<char32_t> characters;
    for (std::size_t at = 0; at < text.size();) {
        char32_t c = 0;
        std::size_t length = decodeutf8(text, at, c);
        if (length == 0)
            throw BuildError(what + ": character " + std::to_string(characters.size() + 1) +
                             " is not valid UTF-8");
        characters.push_back(c);
        at += length;
    }
    return characters;
}

std::string utf16toutf8(const std::u16string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        bool high = c >= 0xD800 && c < 0xDC00;
        if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        else if (c >= 0xD800 && c < 0xE000)
            c = 0xFFFD;
        appendutf8(out, c);
    }
    return out;
}

std::string encodeansi(const std::string& text, const CodePage& page, const std::string& what) {
    decodeutf8text(text, what); // refuses invalid UTF-8 with its position
    std::string out;
    std::size_t character = 0;
    for (std::size_t at = 0; at < text.size();) {
        ++character;
        char32_t c = 0;
        std::size_t length = decodeutf8(text, at, c);
        int byte = c < 0x80 ? int(c) : -1;
        for (int i = 0; byte < 0 && i < 128; ++i)
            if (page.upper[i] == c) byte = 0x80 + i;
        if (byte < 0) {
            char code[16];
            std::snprintf(code, sizeof code, "U+%04X", unsigned(c));
            throw BuildError(what + ": character " + std::to_string(character) + ", \"" +
                             text.substr(at, length) + "\" (" + code +
                             "), cannot be written in code page " + std::to_string(page.number) +
                             " (" + page.name + ")");
        }
        out.push_back(static_cast<char>(byte));
        at += length;
    }
    return out;
}

std::string decodeansi(const std::string& bytes, const CodePage& page) {
    std::string out;
    for (char b : bytes) {
        auto byte = static_cast<unsigned char>(b);
        char32_t c = byte < 0x80 ? byte : page.upper[byte - 0x80];
        appendutf8(out, c ? c : 0xFFFD);
    }
    return out;
}
