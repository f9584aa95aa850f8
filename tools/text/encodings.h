// The ANSI code pages a package's texts are written in, and the conversion from UTF-8.
//
// Everything a publisher gives (titles, folders, prompts, texts, passwords, tables) is UTF-8;
// the stub shows 8-bit text in the Windows ANSI code page, so the builder converts it and
// refuses a character the code page cannot hold, naming its position. A code page is a table
// of the characters of bytes 0x80 to 0xFF (bytes below 0x80 are ASCII in all of them); 0
// marks a byte the code page leaves undefined.
#pragma once

#include <string>
#include <vector>

struct CodePage {
    unsigned number;     // 1252
    const char* name;    // "Windows-1252"
    char32_t upper[128]; // characters of bytes 0x80..0xFF; 0 = undefined
};

// The code page with this number, or nullptr.
const CodePage* findcodepage(unsigned number);

// The code page of the Western European languages, and the default of every package.
const CodePage& westerncodepage();

// Code page 437, in which the stub reads the names of members from DOS hosts.
const CodePage& oemcodepage();

// text (UTF-8) in the code page. Refuses invalid UTF-8 and characters the code page cannot
// hold with "<what>: character N ..." (N counts characters from 1 within text).
std::string encodeansi(const std::string& text, const CodePage& page, const std::string& what);

// The inverse for display: bytes of the code page as UTF-8; undefined bytes become U+FFFD.
std::string decodeansi(const std::string& bytes, const CodePage& page);

// text (UTF-8) as its characters; refuses invalid UTF-8 with "<what>: character N is not
// valid UTF-8". Version resources hold UTF-16, into which every character fits.
std::vector<char32_t> decodeutf8text(const std::string& text, const std::string& what);

// UTF-16 (version resources) as UTF-8; an unpaired surrogate becomes U+FFFD.
std::string utf16toutf8(const std::u16string& text);
