// The manual page and the bash completion of orvsfx, from the subcommands' CommandDoc records.
//
// The page is plain man(7) roff: every "-" is written "\-" (a hyphen-minus when rendered, so
// that options can be copied from the page), a backslash "\e", and a line that would start
// with a request character is guarded with "\&". The sections that no subcommand owns (the
// installed files, the environment, the exit codes, examples) are the terms below.
#include "tools/cli/manual.h"

#include "resources/version.h"

#include <algorithm>
#include <map>

namespace {

// A term and its explanation, for the sections written as lists.
struct Term {
    const char* term;
    const char* text;
};

const Term kFiles[] = {
    {"PREFIX/share/orvsfx/stub.exe",
     "The stub that orvsfx build uses when no --stub is given. PREFIX is the folder above the "
     "one holding orvsfx: /usr for the Debian package, the folder it was unpacked to for the "
     "archive. In a build folder, share/orvsfx/stub.exe is a link to the win32 build's stub."},
    {"PREFIX/share/orvsfx/legal.html",
     "The legal notes that the stub carries as a resource and shows from the Legal... item "
     "of its setup dialog's window menu."},
    {"PREFIX/share/doc/orvsfx/",
     "The publisher's guide packaging.md (every option and key of a description file), "
     "command-line.md (how a package runs unattended, its exit codes), the builder's notes "
     "BUILDER.md and an example package with its description file in examples/."},
};

const Term kEnvironment[] = {
    {"SOURCE_DATE_EPOCH",
     "The latest time stamp orvsfx build writes into a package's archive, when "
     "--source-date-epoch is not given: later modification times are clamped to it, so that "
     "the same files give the same package on any day."},
};

const Term kExitStatus[] = {
    {"0", "Success."},
    {"1", "A build failed, or info found a problem in the package."},
    {"2", "The command line was wrong."},
    {"list, test, extract",
     "The zip engine's result code: 0 success, 1 a warning, 2 and up errors."},
};

const Term kExamples[] = {
    {"orvsfx build -o Setup.exe ./payload", "Packs the folder payload with the installed stub."},
    {"orvsfx build --package Setup.ini",
     "Builds the package a description file describes (its paths count from its folder)."},
    {"orvsfx build -o Setup.exe --title \"My Setup\" --folder \"%temp%\\Mine\" "
     "--command \"{P}\\setup.exe\" ./payload",
     "A package that extracts to a temporary folder and runs setup.exe from there."},
    {"orvsfx test Setup.exe", "Decodes every member and checks its CRC, writing nothing."},
    {"orvsfx extract -d out Setup.exe 'docs/*'", "Extracts the members below docs/ under out."},
};

std::string roff(const std::string& text) {
    std::string out;
    for (char c : text) out += c == '-' ? "\\-" : c == '\\' ? "\\e" : std::string(1, c);
    if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out = "\\&" + out;
    return out;
}

std::string bold(const std::string& text) {
    return "\\fB" + roff(text) + "\\fR";
}

// The paragraphs as roff paragraphs; a line end inside one is a blank.
std::string paragraphs(const std::string& text) {
    std::string out;
    for (std::string paragraph : paragraphsof(text)) {
        std::replace(paragraph.begin(), paragraph.end(), '\n', ' ');
        out += ".PP\n" + roff(paragraph) + "\n";
    }
    return out;
}

template <std::size_t N>
std::string termlist(const char* heading, const Term (&terms)[N]) {
    std::string out = std::string(".SH ") + heading + "\n";
    for (const Term& term : terms) out += ".TP\n" + bold(term.term) + "\n" + roff(term.text) + "\n";
    return out;
}

std::string optionitem(const OptionDoc& option) {
    std::string signature = (option.alias.empty() ? "" : bold(option.alias) + ", ") +
                            bold(option.flag) +
                            (option.metavar.empty() ? "" : " \\fI" + roff(option.metavar) + "\\fR");
    return ".TP\n" + signature + "\n" + roff(option.help) + "\n";
}

// The options under their headings (a heading is shown where it changes).
std::string optionlist(const std::vector<OptionDoc>& options) {
    std::string out, group;
    for (const OptionDoc& option : options) {
        if (!option.group.empty() && option.group != group)
            out += ".PP\n" + bold(option.group) + "\n";
        group = option.group;
        out += optionitem(option);
    }
    return out;
}

std::string synopsis(const std::string& name, const CommandDoc& doc) {
    std::string out;
    for (const std::string& form : doc.forms)
        out += ".br\n.B " + roff("orvsfx" + (name.empty() ? "" : " " + name)) + "\n" + roff(form) +
               "\n";
    return out;
}

std::string sentence(std::string text) {
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') text[0] = char(text[0] - 'a' + 'A');
    return text + ".";
}

std::string commandsection(const NamedDoc& command) {
    return ".SS " + roff("orvsfx " + command.name) + "\n" + roff(sentence(command.doc.summary)) +
           "\n" + paragraphs(command.doc.description) + optionlist(command.doc.options) +
           paragraphs(command.doc.notes);
}

// What completing an option's value offers.
enum class ValueKind { kFile, kFolder, kChoice, kNothing };

ValueKind valuekind(const OptionDoc& option) {
    if (!option.choices.empty()) return ValueKind::kChoice;
    if (option.metavar.rfind("FILE", 0) == 0) return ValueKind::kFile;
    if (option.metavar == "FOLDER" || option.metavar == "DIR") return ValueKind::kFolder;
    return ValueKind::kNothing;
}

std::string joined(const std::vector<std::string>& words, const char* separator) {
    std::string out;
    for (const std::string& word : words) out += (out.empty() ? "" : separator) + word;
    return out;
}

// The case branches of one subcommand: its options' values, then its options.
std::string completioncases(const NamedDoc& command) {
    std::map<ValueKind, std::vector<std::string>> patterns;
    std::vector<std::string> flags;
    std::string out;
    for (const OptionDoc& option : command.doc.options) {
        for (const std::string& flag : {option.alias, option.flag}) {
            if (flag.empty()) continue;
            flags.push_back(flag);
            if (option.metavar.empty()) continue;
            std::string pattern = command.name + ":" + flag;
            if (valuekind(option) == ValueKind::kChoice)
                out += "        " + pattern + ") action=-W words=\"" + joined(option.choices, " ") +
                       "\" ;;\n";
            else
                patterns[valuekind(option)].push_back(pattern);
        }
    }
    const std::map<ValueKind, std::string> actions = {{ValueKind::kFile, ";;"},
                                                      {ValueKind::kFolder, "action=-d ;;"},
                                                      {ValueKind::kNothing, "return ;;"}};
    for (const auto& [kind, list] : patterns)
        out += "        " + joined(list, " | ") + ") " + actions.at(kind) + "\n";
    flags.push_back("--help");
    return out + "        " + command.name + ":*) [[ $cur != -* ]] || action=-W words=\"" +
           joined(flags, " ") + "\" ;;\n";
}

} // namespace

std::string manualpage(const CommandDoc& program, const std::vector<NamedDoc>& commands) {
    std::string page = ".\\\" orvsfx(1), written by \"orvsfx help --manual\" from the tables "
                       "that print its help.\n"
                       ".TH ORVSFX 1 \"\" \"orvsfx " ORV_VERSION_TEXT "\" \"User Commands\"\n"
                       ".nh\n.ad l\n"
                       ".SH NAME\norvsfx \\- " +
                       roff(program.summary) + "\n.SH SYNOPSIS\n";
    for (const NamedDoc& command : commands) page += synopsis(command.name, command.doc);
    page += synopsis("", program) + ".SH DESCRIPTION\n" + paragraphs(program.description) +
            ".SH OPTIONS\n" + optionlist(program.options) + ".SH COMMANDS\n";
    for (const NamedDoc& command : commands) page += commandsection(command);
    return page + termlist("FILES", kFiles) + termlist("ENVIRONMENT", kEnvironment) +
           termlist("EXIT STATUS", kExitStatus) + termlist("EXAMPLES", kExamples) +
           ".SH SEE ALSO\n" + bold("wine") + "(1), " + bold("osslsigncode") + "(1)\n";
}

std::string bashcompletion(const CommandDoc& program, const std::vector<NamedDoc>& commands) {
    std::vector<std::string> first;
    for (const NamedDoc& command : commands) first.push_back(command.name);
    for (const OptionDoc& option : program.options) first.push_back(option.flag);
    std::string script =
        "# bash completion of orvsfx(1), written by \"orvsfx help --completion\" from the "
        "tables\n# that print its help.\n"
        "_orvsfx() {\n"
        "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}\n"
        "    local action=-f words=\"\"\n"
        "    if [ \"$COMP_CWORD\" -eq 1 ]; then\n"
        "        action=-W words=\"" +
        joined(first, " ") +
        "\"\n"
        "    else\n"
        "        case ${COMP_WORDS[1]}:$prev in\n";
    for (const NamedDoc& command : commands) script += completioncases(command);
    return script + "        esac\n"
                    "    fi\n"
                    "    if [ \"$action\" = -W ]; then\n"
                    "        mapfile -t COMPREPLY < <(compgen -W \"$words\" -- \"$cur\")\n"
                    "    else\n"
                    "        compopt -o filenames 2>/dev/null\n"
                    "        mapfile -t COMPREPLY < <(compgen \"$action\" -- \"$cur\")\n"
                    "    fi\n"
                    "}\n"
                    "complete -F _orvsfx orvsfx\n";
}
