// The table of 66 user-interface texts and the text block the builder makes from it.
//
// A table file holds one text per line, in text-number order, exactly 66 lines (the final
// line break is optional). A line is the text itself, with these escapes:
//   \r  \n  \t  \"  \\  and  \xHH (two hex digits, not 00)
// Any other backslash sequence is refused, as is a raw NUL. A line break inside a text must be
// written as \r\n; an empty line is an empty text. A carriage return before a file's line
// break is dropped, so tables saved with Windows line ends read the same. There are no
// comments. The standard English table is compiled into the builder from tools/texts/english.txt.
//
// The text block is the marker "{SLF}", the block length S and blockchecksum of the body
// (both 32-bit little-endian), then the body: each text followed by one NUL byte.
#pragma once

#include <string>
#include <vector>

// The marker that opens a text block (the stub keeps it altered in its own image).
inline constexpr char kTextMarker[] = "{SLF}";

// Parses a table file's contents; name is used in error messages ("FILE:LINE: ...").
std::vector<std::string> parsetexttable(const std::string& content, const std::string& name);

// Reads and parses a table file.
std::vector<std::string> loadtexttable(const std::string& path);

// The standard English table compiled into the builder.
std::vector<std::string> defaulttexttable();

// Writes a text in the table's escaped form (also used by "info" to show texts on one line).
std::string escapetext(const std::string& text);

// The body of a text block: the 66 texts, each ended by a NUL. Refuses any other count and
// texts that contain a NUL.
std::string textblockbody(const std::vector<std::string>& texts);

// A whole text block around a body: marker, length, checksum and the body unchanged. The body
// may be anything (tests build damaged blocks with it).
std::string encodetextblock(const std::string& body);
