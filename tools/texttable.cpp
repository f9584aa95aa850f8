// The table of 66 user-interface texts: parsing the escaped table file and making the block.
//
// The checksum comes from the stub's own blockchecksum, so a package that the builder writes
// is verified by exactly the code that will verify it at run time.
#include "tools/texttable.h"

#include "startup/textblock.h"
#include "tools/builderror.h"
#include "tools/fileio.h"
#include "tools/littleendian.h"

namespace {

// The standard table as bytes, generated at build time from tools/texts/english.txt.
const char kEnglishTable[] = {
#include "englishtexts.inc"
};

static_assert(sizeof kTextMarker - 1 + 4 + 4 == kTextHeaderSize, "marker, length and checksum");

int hexdigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Decodes one line of the table; where names the line for error messages.
std::string unescapeline(const std::string& line, const std::string& where) {
    std::string text;
    for (std::size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (c == '\0') throw BuildError(where + ": a text cannot contain a NUL byte");
        if (c != '\\') {
            text.push_back(c);
            continue;
        }
        char e = i + 1 < line.size() ? line[++i] : '\0';
        switch (e) {
        case 'r':
            text.push_back('\r');
            break;
        case 'n':
            text.push_back('\n');
            break;
        case 't':
            text.push_back('\t');
            break;
        case '"':
            text.push_back('"');
            break;
        case '\\':
            text.push_back('\\');
            break;
        case 'x': {
            int high = i + 1 < line.size() ? hexdigit(line[i + 1]) : -1;
            int low = i + 2 < line.size() ? hexdigit(line[i + 2]) : -1;
            if (high < 0 || low < 0 || high * 16 + low == 0)
                throw BuildError(where + ": \\x needs two hex digits that are not 00");
            text.push_back(static_cast<char>(high * 16 + low));
            i += 2;
            break;
        }
        default:
            throw BuildError(where + ": unknown escape \\" + std::string(1, e) +
                             " (known: \\r \\n \\t \\\" \\\\ \\xHH)");
        }
    }
    return text;
}

} // namespace

std::vector<std::string> parsetexttable(const std::string& content, const std::string& name) {
    std::vector<std::string> texts;
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t end = content.find('\n', start);
        if (end == std::string::npos) end = content.size();
        std::string line = content.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        texts.push_back(unescapeline(line, name + ":" + std::to_string(texts.size() + 1)));
        start = end + 1;
    }
    if (texts.size() != kTextCount)
        throw BuildError(name + ": a text table needs exactly " + std::to_string(kTextCount) +
                         " texts, one per line; this one has " + std::to_string(texts.size()));
    return texts;
}

std::vector<std::string> loadtexttable(const std::string& path) {
    return parsetexttable(readfile(path, "the text table"), path);
}

std::vector<std::string> defaulttexttable() {
    return parsetexttable(std::string(kEnglishTable, sizeof kEnglishTable), "english.txt");
}

std::string escapetext(const std::string& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        default:
            if (byte < 0x20 || byte == 0x7F) {
                out += "\\x";
                out.push_back(kHex[byte >> 4]);
                out.push_back(kHex[byte & 15]);
            } else {
                out.push_back(c);
            }
        }
    }
    return out;
}

std::string textblockbody(const std::vector<std::string>& texts) {
    if (texts.size() != kTextCount)
        throw BuildError("a text table needs exactly " + std::to_string(kTextCount) +
                         " texts, not " + std::to_string(texts.size()));
    std::string body;
    for (std::size_t k = 0; k < texts.size(); ++k) {
        if (texts[k].find('\0') != std::string::npos)
            throw BuildError("text " + std::to_string(k) + " contains a NUL byte");
        body += texts[k];
        body.push_back('\0');
    }
    return body;
}

std::string encodetextblock(const std::string& body) {
    std::string block(kTextMarker, sizeof kTextMarker - 1);
    put32(block, static_cast<std::uint32_t>(kTextHeaderSize + body.size()));
    put32(block, blockchecksum(reinterpret_cast<const unsigned char*>(body.data()), body.size()));
    return block + body;
}
