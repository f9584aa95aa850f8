// Code page tables and the UTF-8 conversion with positions in its refusals.
#include "tools/text/encodings.h"

#include "platform/utf8.h"

#include "tools/base/builderror.h"

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

// Code page 437, the OEM code page of Western Windows: the stub reads member names of DOS
// hosts in it. Not a package code page (texts are ANSI), only for showing names.
constexpr CodePage kOem = {
    437,
    "OEM United States",
    {
        0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8,
        0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2,
        0x00FB, 0x00F9, 0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1,
        0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD,
        0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562,
        0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534,
        0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560,
        0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
        0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x03B1, 0x00DF, 0x0393,
        0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6,
        0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248, 0x00B0,
        0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
    }};

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

std::string stubname(const std::string& utf8, const CodePage& page, std::string* lost) {
    std::string out;
    lost->clear();
    for (std::size_t at = 0; at < utf8.size();) {
        char32_t c = 0;
        std::size_t length = decodeutf8(utf8, at, c);
        bool held = length != 0 && c < 0x80;
        for (int i = 0; length != 0 && !held && i < 128; ++i) held = page.upper[i] == c;
        if (held) {
            out.append(utf8, at, length);
        } else {
            out.push_back('_');
            appendutf8(*lost, length ? c : 0xFFFD);
        }
        at += length ? length : 1;
    }
    return out;
}
