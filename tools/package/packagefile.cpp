// Splitting a package description file into sections, keys and values.
#include "tools/package/packagefile.h"

#include "tools/base/builderror.h"
#include "tools/base/fileio.h"

#include <filesystem>

namespace {

const char kBlanks[] = " \t";

std::string trim(const std::string& text) {
    std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

} // namespace

PackageFile parsepackagefile(const std::string& content, const std::string& name) {
    PackageFile file;
    file.path = name;
    std::string section;
    int blanks = 0; // empty lines since the last line of a value, kept if a continuation follows
    bool invalue = false;
    int number = 0;
    for (std::size_t start = 0; start < content.size();) {
        std::size_t end = content.find('\n', start);
        if (end == std::string::npos) end = content.size();
        std::string line = content.substr(start, end - start);
        start = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::string where = name + ":" + std::to_string(number) + ": ";
        if (line.find('\0') != std::string::npos) throw BuildError(where + "a NUL byte");
        std::string text = trim(line);
        if (text.empty()) {
            ++blanks;
            continue;
        }
        bool indented = line[0] == ' ' || line[0] == '\t';
        if (indented && text[0] != '#' && text[0] != ';') {
            if (!invalue)
                throw BuildError(where + "an indented line continues a value, but no key comes "
                                         "before it");
            PackageEntry& entry = file.entries.back();
            for (; blanks > 0; --blanks) entry.value += "\r\n";
            entry.value += (entry.value.empty() && !entry.spans ? "" : "\r\n") + text;
            entry.spans = true;
            continue;
        }
        blanks = 0;
        if (text[0] == '#' || text[0] == ';') continue;
        invalue = false;
        if (text[0] == '[') {
            if (text.back() != ']' || text.size() < 3)
                throw BuildError(where + "a section name is written [name]");
            section = trim(text.substr(1, text.size() - 2));
            continue;
        }
        std::size_t equals = text.find('=');
        if (equals == std::string::npos || trim(text.substr(0, equals)).empty())
            throw BuildError(where + "expected \"key = value\", a [section] or a comment, not \"" +
                             text + "\"");
        if (section.empty())
            throw BuildError(where + "\"" + trim(text.substr(0, equals)) +
                             "\" comes before the first [section]");
        PackageEntry entry;
        entry.section = section;
        entry.key = trim(text.substr(0, equals));
        entry.value = trim(text.substr(equals + 1));
        entry.line = number;
        file.entries.push_back(entry);
        invalue = true;
    }
    return file;
}

PackageFile loadpackagefile(const std::string& path) {
    PackageFile file = parsepackagefile(readfile(path, "the package file"), path);
    std::filesystem::path folder = std::filesystem::path(path).parent_path();
    file.folder = folder.empty() ? "." : folder.string();
    return file;
}
