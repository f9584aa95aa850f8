// Reading and writing VS_VERSIONINFO.
//
// The reader walks the block tree generically and then picks out the parts the builder
// knows; blocks it does not know (a second string table, other Var entries) are not kept,
// since the builder writes one language. Every length is checked against the block around it.
#include "tools/pe/versioninfo.h"

#include "tools/base/builderror.h"
#include "tools/base/littleendian.h"
#include "tools/text/encodings.h"

namespace {

const int kVersionDepth = 4; // root, StringFileInfo/VarFileInfo, table/Var, String
const unsigned kTypeBinary = 0, kTypeText = 1;

struct Block {
    std::u16string key;
    unsigned type = 0;
    std::string value;
    std::vector<Block> children;
};

std::size_t align4(std::size_t at) {
    return (at + 3) & ~std::size_t(3);
}

std::u16string widen(const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

// The block at at, which must end by end.
Block readblock(const std::string& data, std::size_t at, std::size_t end, int depth) {
    if (end - at < kVersionBlockHeader) throw BuildError("a version block is cut off");
    std::size_t length = get16(data, at);
    if (length < kVersionBlockHeader || length > end - at)
        throw BuildError("a version block's length " + std::to_string(length) +
                         " does not fit the block around it");
    end = at + length;
    Block block;
    std::size_t valuelength = get16(data, at + 2);
    block.type = get16(data, at + 4);
    std::size_t pos = at + kVersionBlockHeader;
    for (;; pos += 2) {
        if (end - pos < 2) throw BuildError("a version block's key has no end");
        char16_t c = static_cast<char16_t>(get16(data, pos));
        if (c == 0) break;
        block.key.push_back(c);
    }
    pos = std::min(align4(pos + 2), end);
    std::size_t valuesize = block.type == kTypeText ? 2 * valuelength : valuelength;
    if (block.type == kTypeText) valuesize = std::min(valuesize, end - pos);
    if (valuesize > end - pos)
        throw BuildError("the value of version block \"" + utf16toutf8(block.key) +
                         "\" runs past its block");
    block.value = data.substr(pos, valuesize);
    pos = align4(pos + valuesize);
    while (depth + 1 < kVersionDepth && pos < end && end - pos >= kVersionBlockHeader) {
        block.children.push_back(readblock(data, pos, end, depth + 1));
        pos = align4(pos + get16(data, pos));
    }
    return block;
}

std::u16string text(const std::string& value) {
    std::u16string out;
    for (std::size_t at = 0; at + 1 < value.size(); at += 2) {
        char16_t c = static_cast<char16_t>(get16(value, at));
        if (c == 0) break;
        out.push_back(c);
    }
    return out;
}

std::string utf16bytes(const std::string& utf8) {
    std::string out;
    for (char32_t c : decodeutf8text(utf8, "a version text")) {
        if (c >= 0x10000) {
            put16(out, 0xD800 + ((c - 0x10000) >> 10));
            put16(out, 0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            put16(out, c);
        }
    }
    return out;
}

void pad4(std::string& out) {
    out.resize(align4(out.size()), '\0');
}

// A block: header, key, value, children; valuelength as the header counts it.
std::string writeblock(const std::string& key, unsigned type, const std::string& value,
                       std::size_t valuelength, const std::vector<std::string>& children) {
    std::string out(kVersionBlockHeader, '\0');
    out += utf16bytes(key);
    put16(out, 0);
    pad4(out);
    out += value;
    for (const std::string& child : children) {
        pad4(out);
        out += child;
    }
    if (out.size() > kVersionBlockLimit) throw BuildError("the version resource is too large");
    set32(out, 0, static_cast<std::uint32_t>(out.size() | valuelength << 16));
    out[4] = static_cast<char>(type);
    return out;
}

std::uint32_t half(unsigned high, unsigned low) {
    return static_cast<std::uint32_t>(high) << 16 | low;
}

} // namespace

const std::string* VersionInfo::find(const std::string& key) const {
    for (const auto& [k, v] : strings)
        if (k == key) return &v;
    return nullptr;
}

void VersionInfo::set(const std::string& key, const std::string& value) {
    for (auto& [k, v] : strings)
        if (k == key) {
            v = value;
            return;
        }
    strings.emplace_back(key, value);
}

std::array<unsigned, 4> VersionInfo::fileversion() const {
    std::uint32_t ms = get32(fixed, kFixedFileVersion), ls = get32(fixed, kFixedFileVersion + 4);
    return {ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF};
}

void VersionInfo::setversions(const std::array<unsigned, 4>& v) {
    for (unsigned at : {unsigned(kFixedFileVersion), unsigned(kFixedProductVersion)}) {
        set32(fixed, at, half(v[0], v[1]));
        set32(fixed, at + 4, half(v[2], v[3]));
    }
}

VersionInfo readversioninfo(const std::string& data) {
    Block root = readblock(data, 0, data.size(), 0);
    if (root.key != widen("VS_VERSION_INFO") || root.value.size() < kFixedInfoSize ||
        get32(root.value, 0) != kFixedInfoSignature)
        throw BuildError("the version resource has no VS_FIXEDFILEINFO");
    VersionInfo info;
    info.fixed = root.value.substr(0, kFixedInfoSize);
    for (const Block& child : root.children) {
        if (child.key == widen("StringFileInfo") && !child.children.empty()) {
            const Block& table = child.children.front();
            info.table = utf16toutf8(table.key);
            for (const Block& s : table.children)
                info.strings.emplace_back(utf16toutf8(s.key), utf16toutf8(text(s.value)));
        }
        if (child.key == widen("VarFileInfo"))
            for (const Block& var : child.children)
                for (std::size_t at = 0;
                     var.key == widen("Translation") && at + 4 <= var.value.size(); at += 4)
                    info.translations.push_back(get32(var.value, at));
    }
    return info;
}

std::string writeversioninfo(const VersionInfo& info) {
    std::vector<std::string> strings;
    for (const auto& [key, value] : info.strings) {
        std::string utf16 = utf16bytes(value);
        put16(utf16, 0);
        strings.push_back(writeblock(key, kTypeText, utf16, utf16.size() / 2, {}));
    }
    std::string table = writeblock(info.table, kTypeText, "", 0, strings);
    std::string translations;
    for (std::uint32_t t : info.translations) put32(translations, t);
    std::string var = writeblock("Translation", kTypeBinary, translations, translations.size(), {});
    return writeblock("VS_VERSION_INFO", kTypeBinary, info.fixed, kFixedInfoSize,
                      {writeblock("StringFileInfo", kTypeText, "", 0, {table}),
                       writeblock("VarFileInfo", kTypeText, "", 0, {var})});
}

void checkversiontext(const std::string& text, const std::string& what) {
    std::vector<char32_t> characters = decodeutf8text(text, what);
    std::size_t units = 0;
    for (std::size_t i = 0; i < characters.size(); ++i) {
        if (characters[i] < 0x20 || characters[i] == 0x7F)
            throw BuildError(what + ": character " + std::to_string(i + 1) +
                             " is a control character");
        units += characters[i] >= 0x10000 ? 2 : 1;
    }
    if (units > kVersionTextLimit)
        throw BuildError(what + " has " + std::to_string(units) + " UTF-16 characters; at most " +
                         std::to_string(int(kVersionTextLimit)) + " fit the version resource");
}

std::array<unsigned, 4> parsefileversion(const std::string& text, const std::string& what) {
    std::array<unsigned, 4> version{};
    std::size_t at = 0;
    for (int part = 0; part < 4; ++part) {
        std::size_t end = part < 3 ? text.find('.', at) : text.size();
        std::string number = end == std::string::npos ? std::string() : text.substr(at, end - at);
        bool digits = !number.empty() && number.size() <= 5 &&
                      number.find_first_not_of("0123456789") == std::string::npos;
        if (!digits || std::stoul(number) > 0xFFFF)
            throw BuildError(what + " needs four numbers from 0 to 65535 as a.b.c.d, not \"" +
                             text + "\"");
        version[part] = static_cast<unsigned>(std::stoul(number));
        at = end + 1;
    }
    return version;
}
