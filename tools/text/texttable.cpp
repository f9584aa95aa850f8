// The table of 66 user-interface texts: parsing the escaped table file and making the block.
//
// The checksum comes from the stub's own blockchecksum, so a package that the builder writes
// is verified by exactly the code that will verify it at run time.
#include "tools/text/texttable.h"

#include "startup/textblock.h"
#include "tools/base/builderror.h"
#include "tools/base/fileio.h"
#include "tools/base/littleendian.h"
#include "tools/text/encodings.h"

#include <algorithm>
#include <cctype>

namespace {

struct ShippedTable {
    const char* name; // file name in tools/text/texts without ".txt"
    const unsigned char* bytes;
    std::size_t size;
};

// The shipped tables as bytes, generated at build time from tools/text/texts/*.txt.
#include "shippedtexts.inc"

const char kKeyedHeader[] = "# orvsfx texts";

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

std::string trimblanks(const std::string& text) {
    std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::vector<std::string> splitlines(const std::string& content) {
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < content.size();) {
        std::size_t end = content.find('\n', start);
        if (end == std::string::npos) end = content.size();
        std::string line = content.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

bool isnumber(const std::string& text) {
    return !text.empty() && text.size() <= 3 &&
           text.find_first_not_of("0123456789") == std::string::npos;
}

// The keyed form: header keys first (in any place), then each text converted from UTF-8.
TextTable readkeyed(const std::vector<std::string>& lines, const std::string& name) {
    struct Entry {
        std::string value;
        int line;
    };
    TextTable table;
    table.name = name;
    table.codepage = &westerncodepage();
    std::map<int, Entry> entries;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        std::string where = name + ":" + std::to_string(i + 1);
        std::string line = trimblanks(lines[i]);
        if (line.empty() || line[0] == '#') continue;
        if (line.find('\0') != std::string::npos)
            throw BuildError(where + ": a text cannot contain a NUL byte");
        std::size_t equals = line.find('=');
        if (equals == std::string::npos)
            throw BuildError(where + ": expected \"key = text\" or a comment");
        std::string key = trimblanks(line.substr(0, equals));
        std::string value = trimblanks(line.substr(equals + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"' &&
            value[value.size() - 2] != '\\')
            value = value.substr(1, value.size() - 2);
        if (key == "language") {
            table.language = value;
        } else if (key == "codepage") {
            bool digits = !value.empty() && value.size() <= 5 &&
                          value.find_first_not_of("0123456789") == std::string::npos;
            table.codepage = digits ? findcodepage(unsigned(std::stoul(value))) : nullptr;
            if (!table.codepage)
                throw BuildError(where + ": code page \"" + value +
                                 "\" is not one the builder knows (1252)");
        } else if (isnumber(key) && std::stoi(key) < kTextCount) {
            int k = std::stoi(key);
            if (entries.count(k))
                throw BuildError(where + ": text " + key + " is given twice (first on line " +
                                 std::to_string(entries[k].line) + ")");
            entries[k] = {value, int(i + 1)};
        } else {
            throw BuildError(where + ": unknown key \"" + key +
                             "\" (language, codepage, or a text number from 0 to 65)");
        }
    }
    for (int k = 0; k < kTextCount; ++k) {
        auto entry = entries.find(k);
        if (entry == entries.end())
            throw BuildError(name + ": text " + std::to_string(k) + " is missing");
        std::string where = name + ":" + std::to_string(entry->second.line);
        // Escapes are ASCII, so the code page conversion leaves them for unescapeline.
        std::string bytes =
            encodeansi(entry->second.value, *table.codepage, where + ": text " + std::to_string(k));
        table.texts.push_back(unescapeline(bytes, where));
    }
    return table;
}

// Mnemonic letters compare without case; Latin-1 letters fold like ASCII ones.
unsigned char foldcase(unsigned char c) {
    if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 'a' + 'A');
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 0x20);
    return c;
}

// The letter after a single "&", or 0.
unsigned char mnemonic(const std::string& text) {
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != '&') continue;
        if (text[i + 1] == '&') {
            ++i;
            continue;
        }
        return foldcase(static_cast<unsigned char>(text[i + 1]));
    }
    return 0;
}

// The texts that the stub puts into one dialog at the same time.
struct Dialog {
    const char* name;
    std::vector<int> texts;
};
const Dialog kDialogs[] = {
    {"the main dialog", {5, 6, 7, 8, 11, 20, 21, 24, 25, 26, 27}},
    {"the progress dialog and its overwrite question", {6, 13, 14, 29}},
    {"the password dialog", {6, 9, 10}},
    {"the folder dialog", {6, 9, 12}},
    {"the new-folder dialog", {6, 9, 17}},
};

} // namespace

TextTable readtexttable(const std::string& content, const std::string& name) {
    std::vector<std::string> lines = splitlines(content);
    if (!lines.empty() && trimblanks(lines[0]) == kKeyedHeader) return readkeyed(lines, name);
    TextTable table;
    table.name = name;
    table.codepage = &westerncodepage();
    std::vector<std::string>& texts = table.texts;
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
    return table;
}

TextTable loadtable(const std::string& path) {
    return readtexttable(readfile(path, "the text table"), path);
}

std::vector<std::string> shippedlanguages() {
    std::vector<std::string> names;
    for (const ShippedTable& t : kShippedTables) names.push_back(t.name);
    return names;
}

TextTable shippedtable(const std::string& language) {
    auto lower = [](std::string s) {
        for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return s;
    };
    std::string known;
    for (const ShippedTable& t : kShippedTables) {
        std::string content(reinterpret_cast<const char*>(t.bytes), t.size);
        TextTable table = readtexttable(content, std::string(t.name) + ".txt");
        if (lower(language) == t.name || lower(language) == lower(table.language)) return table;
        known += (known.empty() ? "" : ", ") + std::string(t.name);
    }
    throw BuildError("no shipped texts for the language \"" + language + "\" (known: " + known +
                     ")");
}

std::vector<std::string> placeholders(const std::string& text) {
    std::vector<std::string> found;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') continue;
        if (i + 1 < text.size() && text[i + 1] == '%') {
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        while (j < text.size() && std::string("-+ #0").find(text[j]) != std::string::npos) ++j;
        while (j < text.size() && (std::isdigit(static_cast<unsigned char>(text[j])) ||
                                   text[j] == '*' || text[j] == '.'))
            ++j;
        std::string length;
        while (j < text.size() && std::string("hlLqjzt").find(text[j]) != std::string::npos)
            length.push_back(text[j++]);
        char conversion = j < text.size() ? text[j] : '?';
        if (conversion == 'i') conversion = 'd';
        std::string word = text.substr(i + 1, j - i - 1);
        // Flags and widths change the look, not the argument: only length and kind count,
        // but a "*" takes an argument of its own.
        for (char c : word)
            if (c == '*') found.push_back("*");
        found.push_back(length + conversion);
        i = j;
    }
    return found;
}

void checkplaceholders(const TextTable& table) {
    static const std::vector<std::string> english = shippedtable("english").texts;
    auto join = [](const std::vector<std::string>& words) {
        std::string text;
        for (const std::string& w : words) text += (text.empty() ? "%" : " %") + w;
        return text.empty() ? std::string("none") : text;
    };
    for (int k = 0; k < kTextCount; ++k) {
        std::vector<std::string> want = placeholders(english[k]);
        std::vector<std::string> have = placeholders(table.texts[k]);
        if (want != have)
            throw BuildError(table.name + ": text " + std::to_string(k) + " has the printf " +
                             "conversions " + join(have) + " where the English text has " +
                             join(want));
    }
}

std::vector<std::string> mnemoniccollisions(const std::vector<std::string>& texts,
                                            const CodePage& page) {
    std::vector<std::string> found;
    for (const Dialog& dialog : kDialogs)
        for (std::size_t a = 0; a < dialog.texts.size(); ++a)
            for (std::size_t b = a + 1; b < dialog.texts.size(); ++b) {
                int x = dialog.texts[a], y = dialog.texts[b];
                unsigned char m = mnemonic(texts[x]);
                if (m == 0 || m != mnemonic(texts[y])) continue;
                found.push_back("texts " + std::to_string(x) + " and " + std::to_string(y) +
                                " share the mnemonic " + decodeansi(std::string(1, char(m)), page) +
                                " in " + dialog.name);
            }
    return found;
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
    std::string block(kTextHeaderSize, '\0');
    completemarker(bytesat(block, kTextMarkerOffset), kTextMarkerStored, kTextMarkerSize);
    set32(block, kTextLengthOffset, static_cast<std::uint32_t>(kTextHeaderSize + body.size()));
    set32(block, kTextChecksumOffset, blockchecksum(bytesat(body, 0), body.size()));
    return block + body;
}
