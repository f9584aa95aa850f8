// Code page tables and the UTF-8 conversion with positions in its refusals.
#include "tools/codepage.h"

#include "tools/builderror.h"

#include <cstdio>

namespace {

// Windows-1252: 0x80..0x9F hold typographic characters, 0xA0..0xFF are Latin-1.
constexpr CodePage makewestern() {
    CodePage page{1252, "Windows-1252", {}};
    const char32_t c1[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                             0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                             0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                             0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    for (int i = 0; i < 32; ++i) page.upper[i] = c1[i];
    for (int i = 32; i < 128; ++i) page.upper[i] = char32_t(0x80 + i);
    return page;
}
constexpr CodePage kWestern = makewestern();
static_assert(kWestern.upper[0xE9 - 0x80] == 0xE9, "0xA0..0xFF are Latin-1");

const CodePage* const kCodePages[] = {&kWestern};

// Decodes one UTF-8 sequence at text[at]; returns its length, or 0 when it is invalid.
std::size_t decodeutf8(const std::string& text, std::size_t at, char32_t& c) {
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned lead = byte(at);
    std::size_t length = lead < 0x80    ? 1
                         : lead >= 0xF0 ? 4
                         : lead >= 0xE0 ? 3
                         : lead >= 0xC2 ? 2
                                        : 0;
    if (length == 0 || lead >= 0xF5 || at + length > text.size()) return 0;
    c = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) return 0;
        c = c << 6 | (byte(at + i) & 0x3F);
    }
    static const char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kSmallest[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
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

std::string encodeansi(const std::string& text, const CodePage& page, const std::string& what) {
    std::string out;
    std::size_t character = 0;
    for (std::size_t at = 0; at < text.size();) {
        ++character;
        char32_t c = 0;
        std::size_t length = decodeutf8(text, at, c);
        if (length == 0)
            throw BuildError(what + ": character " + std::to_string(character) +
                             " is not valid UTF-8");
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
