// The terminal help of orvsfx's subcommands, rendered from their CommandDoc.
#include "tools/cli/commanddoc.h"

#include <algorithm>
#include <sstream>

namespace {

const std::size_t kHelpWidth = 96;   // columns of the help text
const std::size_t kOptionField = 25; // the option's column in front of its help
const std::size_t kOptionIndent = 2;

// text's words in lines of at most kHelpWidth columns; the first line starts with lead, the
// others with indent blanks.
std::string wrap(const std::string& text, std::string lead, std::size_t indent) {
    std::string out, line;
    std::istringstream words(text);
    for (std::string word; words >> word;) {
        if (!line.empty() && lead.size() + line.size() + 1 + word.size() > kHelpWidth) {
            out += lead + line + "\n";
            lead = std::string(indent, ' ');
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
    }
    return out + lead + line + "\n";
}

// The paragraphs wrapped, with an empty line in front of each.
std::string paragraphs(const std::string& text) {
    std::string out;
    for (const std::string& paragraph : paragraphsof(text)) out += "\n" + wrap(paragraph, "", 0);
    return out;
}

// One option: its signature in the option column, then its help.
std::string optionline(const OptionDoc& option) {
    std::string signature = std::string(kOptionIndent, ' ') + optionsignature(option);
    std::size_t field = kOptionIndent + kOptionField;
    signature += std::string(signature.size() < field ? field - signature.size() : 1, ' ');
    return wrap(option.help, signature, field);
}

} // namespace

std::vector<std::string> paragraphsof(const std::string& text) {
    std::vector<std::string> out;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = std::min(text.find("\n\n", start), text.size());
        out.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return out;
}

std::string optionsignature(const OptionDoc& option) {
    return (option.alias.empty() ? "" : option.alias + ", ") + option.flag +
           (option.metavar.empty() ? "" : " " + option.metavar);
}

std::string helptext(const std::string& name, const CommandDoc& doc) {
    std::string out;
    for (std::size_t k = 0; k < doc.forms.size(); ++k)
        out +=
            std::string(k ? "       " : "usage: ") + "orvsfx " + name + " " + doc.forms[k] + "\n";
    out += paragraphs(doc.description);
    std::string group;
    for (std::size_t k = 0; k < doc.options.size(); ++k) {
        const OptionDoc& option = doc.options[k];
        if (k == 0 || option.group != group)
            out += "\n" + (option.group.empty() ? "" : option.group + ":\n");
        group = option.group;
        out += optionline(option);
    }
    return out + paragraphs(doc.notes);
}
