// The table of 66 user-interface texts and the text block the builder makes from it.
//
// A table file comes in one of two forms. Both use these escapes in a text:
//   \r  \n  \t  \"  \\  and  \xHH (two hex digits, not 00; a byte of the code page as is)
// Any other backslash sequence is refused, as is a raw NUL. A line break inside a text must be
// written as \r\n. A carriage return before a file's line break is dropped, so tables saved
// with Windows line ends read the same.
//
// The plain form: one text per line, in text-number order, exactly 66 lines (the final line
// break is optional); an empty line is an empty text; no comments; bytes are taken as they
// are, in the package's code page.
//
// The keyed form begins with the line "# orvsfx texts" and is UTF-8:
//   # comment lines, and empty lines, anywhere
//   language = German           the language's name as a translator writes it
//   codepage = 1252             the ANSI code page the texts are written in
//   5 = &Entpacken              text 5; every number from 0 to 65 exactly once
//   48 = "ausführen "           quotes keep blanks at the ends (else they are trimmed)
// The shipped tables (tools/text/texts/*.txt, compiled into the builder) are keyed, with a comment
// above each text saying where the stub shows it.
//
// The text block (startup/packageblocks.h) is its marker, the block length S and blockchecksum
// of the body, then the body: each text followed by one NUL byte.
#pragma once

#include <map>
#include <string>
#include <vector>

struct CodePage;

// A loaded table: the 66 texts in its code page.
struct TextTable {
    std::vector<std::string> texts;
    const CodePage* codepage = nullptr;
    std::string language; // empty for a plain table
    std::string name;     // the file or shipped table, for messages
};

// Parses a table file's contents in either form; name is used in error messages
// ("FILE:LINE: ..."). A plain table is in Windows-1252.
TextTable readtexttable(const std::string& content, const std::string& name);

// Reads and parses a table file.
TextTable loadtable(const std::string& path);

// A table compiled into the builder, by the file name of tools/text/texts (english, german,
// ...) or by its language name in any letter case; refuses an unknown name, listing the
// known. The standard table, and every package's default, is shippedtable("english").
TextTable shippedtable(const std::string& language);

// The names of the shipped tables.
std::vector<std::string> shippedlanguages();

// The printf conversions of a text, one word each ("s", "d" for both %d and %i, "ld" ...);
// "%%" is no conversion.
std::vector<std::string> placeholders(const std::string& text);

// Refuses a table whose texts differ from the English ones in their printf conversions
// (number, order or kind); the message names the table and the text.
void checkplaceholders(const TextTable& table);

// Pairs of texts shown in one dialog whose "&" mnemonics are the same letter, each as
// "texts 5 and 24 share the mnemonic E in the main dialog".
std::vector<std::string> mnemoniccollisions(const std::vector<std::string>& texts,
                                            const CodePage& page);

// Writes a text in the table's escaped form (also used by "info" to show texts on one line).
std::string escapetext(const std::string& text);

// The body of a text block: the 66 texts, each ended by a NUL. Refuses any other count and
// texts that contain a NUL.
std::string textblockbody(const std::vector<std::string>& texts);

// A whole text block around a body: marker, length, checksum and the body unchanged. The body
// may be anything (tests build damaged blocks with it).
std::string encodetextblock(const std::string& body);
