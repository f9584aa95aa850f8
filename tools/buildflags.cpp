// Parsing "orvsfx build": a table of text fields, a table of flag bits, and the remaining
// options; values follow as "--name value" or "--name=value".
//
// Texts given on the command line are taken literally (a folder such as "%temp%\Demo" keeps
// its backslash). The three long texts can also come from a file, whose line ends become
// "\r\n" as the stub's dialogs need.
#include "tools/buildflags.h"

#include "startup/optionsblock.h"
#include "tools/builderror.h"
#include "tools/fileio.h"

#include <sstream>

namespace {

struct TextFlag {
    const char* name;
    std::string PackageOptions::*field;
    bool fromfile; // the "-file" variant exists
    const char* help;
};

const TextFlag kTextFlags[] = {
    {"title", &PackageOptions::title, false, "caption of the setup (at most 255 characters)"},
    {"folder", &PackageOptions::folder, false,
     "default destination folder, may start with %temp% etc. (at most 255)"},
    {"command", &PackageOptions::command, false,
     "program to run after extraction, optionally \"|\" and its parameters"},
    {"prompt", &PackageOptions::prompt, true, "question asked when the setup starts"},
    {"about", &PackageOptions::about, true, "package author's text shown first in the About box"},
    {"description", &PackageOptions::description, true,
     "text of the description panel (see --info-panel)"},
};

struct BitFlag {
    const char* name;
    bool byteb; // flag byte B, else A
    unsigned char mask;
    const char* help;
};

const BitFlag kBitFlags[] = {
    {"command-optional", false, kFlagCommandOptional,
     "let the user skip the command with a ticked check box (needs --command)"},
    {"select-files", false, kFlagSelectFiles, "extract only the files the user selects"},
    {"show-overwrite", false, kFlagShowOverwrite, "show the overwrite-mode choice"},
    {"clean-after", false, kFlagCleanAfter,
     "wait for the command, then delete the extracted files and folders"},
    {"auto-extract", false, kFlagAutoExtract, "start extracting at once, without the dialog"},
    {"no-done-message", false, kFlagNoDoneMessage, "no completion message after success"},
    {"info-panel", true, kFlagInfoPanel, "show the description panel in place of the file list"},
    {"no-open-with", true, kFlagNoOpenWith, "never offer to open the package with an archiver"},
    {"show-comment", true, kFlagShowComment, "show the archive comment when the setup starts"},
    {"no-about-extra", true, kFlagNoAboutExtra, "leave text 64 out of the About box"},
    {"no-progress", true, kFlagNoProgress, "hide the progress window during extraction"},
    {"banner", true, kFlagShowBanner, "show the full-screen banner window behind the setup"},
    {"write-log", true, kFlagWriteLog, "write install.log into the destination folder"},
};

// Message-box style words as the Win32 API defines them.
struct StyleName {
    const char* name;
    unsigned value;
};
const StyleName kStyleNames[] = {
    {"ok", 0x00},    {"okcancel", 0x01}, {"yesnocancel", 0x03}, {"yesno", 0x04},
    {"error", 0x10}, {"question", 0x20}, {"warning", 0x30},     {"information", 0x40},
};
const unsigned kDefaultPromptStyle = 0x24; // yesno + question

unsigned parsenumber(const std::string& text, const std::string& flag, unsigned limit) {
    std::size_t used = 0;
    unsigned long value = 0;
    try {
        value = std::stoul(text, &used, 0);
    } catch (const std::exception&) {
        used = 0;
    }
    if (text.empty() || used != text.size() || text[0] == '-' || value > limit)
        throw UsageError("--" + flag + " needs a number from 0 to " + std::to_string(limit) +
                         ", not \"" + text + "\"");
    return static_cast<unsigned>(value);
}

// "yesno+question", or a number.
unsigned parsestyle(const std::string& text) {
    if (!text.empty() && text[0] >= '0' && text[0] <= '9')
        return parsenumber(text, "prompt-style", 0xFFFF);
    unsigned style = 0;
    std::stringstream parts(text);
    std::string part;
    while (std::getline(parts, part, '+')) {
        bool known = false;
        for (const StyleName& s : kStyleNames)
            if (part == s.name) style |= s.value, known = true;
        if (!known)
            throw UsageError("--prompt-style: unknown style \"" + part +
                             "\" (ok, okcancel, yesno, yesnocancel, error, question, warning, "
                             "information, or a number)");
    }
    return style;
}

// A long text from a file; LF line ends become CRLF and a final line end is dropped.
std::string readtextfile(const std::string& path, const std::string& flag) {
    std::string text;
    for (char c : readfile(path, "the --" + flag)) {
        if (c == '\0') throw BuildError("--" + flag + ": " + path + " contains a NUL byte");
        if (c == '\r') continue;
        if (c == '\n')
            text += "\r\n";
        else
            text.push_back(c);
    }
    while (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0)
        text.resize(text.size() - 2);
    return text;
}

// Reads option values one by one from the argument list.
class ArgReader {
  public:
    explicit ArgReader(const std::vector<std::string>& args) : args_(args) {}
    bool next() {
        if (at_ >= args_.size()) return false;
        const std::string& arg = args_[at_++];
        std::size_t equals = arg.find('=');
        haveinline_ = arg.rfind("--", 0) == 0 && equals != std::string::npos;
        name_ = haveinline_ ? arg.substr(0, equals) : arg;
        inline_ = haveinline_ ? arg.substr(equals + 1) : std::string();
        return true;
    }
    const std::string& name() const { return name_; }
    std::string value() {
        if (haveinline_) return inline_;
        if (at_ >= args_.size()) throw UsageError(name_ + " needs a value");
        return args_[at_++];
    }
    void novalue() const {
        if (haveinline_) throw UsageError(name_ + " takes no value");
    }

  private:
    const std::vector<std::string>& args_;
    std::size_t at_ = 0;
    std::string name_, inline_;
    bool haveinline_ = false;
};

bool parsetextflag(ArgReader& reader, BuildRequest& request) {
    for (const TextFlag& flag : kTextFlags) {
        std::string name = std::string("--") + flag.name;
        if (reader.name() == name) {
            request.options.*flag.field = reader.value();
            return true;
        }
        if (flag.fromfile && reader.name() == name + "-file") {
            request.options.*flag.field = readtextfile(reader.value(), name.substr(2) + "-file");
            return true;
        }
    }
    return false;
}

bool parsebitflag(ArgReader& reader, BuildRequest& request) {
    for (const BitFlag& flag : kBitFlags) {
        if (reader.name() != std::string("--") + flag.name) continue;
        reader.novalue();
        (flag.byteb ? request.options.flagsb : request.options.flagsa) |= flag.mask;
        return true;
    }
    return false;
}

void parseoverwrite(const std::string& mode, PackageOptions& options) {
    options.flagsa &= static_cast<unsigned char>(~(kFlagOverwriteAlways | kFlagOverwriteNever));
    if (mode == "always")
        options.flagsa |= kFlagOverwriteAlways;
    else if (mode == "never")
        options.flagsa |= kFlagOverwriteNever;
    else if (mode != "confirm")
        throw UsageError("--overwrite takes confirm, always or never, not \"" + mode + "\"");
}

// The options that are neither text fields nor flag bits; false for an unknown one.
bool parseother(ArgReader& reader, BuildRequest& request) {
    const std::string& name = reader.name();
    if (name == "--stub")
        request.stub = reader.value();
    else if (name == "-o" || name == "--output")
        request.output = reader.value();
    else if (name == "--texts")
        request.texts = reader.value();
    else if (name == "--from-zip")
        request.fromzip = reader.value();
    else if (name == "--comment")
        request.comment = reader.value();
    else if (name == "--level")
        request.level = static_cast<int>(parsenumber(reader.value(), "level", 12));
    else if (name == "--overwrite")
        parseoverwrite(reader.value(), request.options);
    else if (name == "--prompt-style") {
        request.options.promptstyle = parsestyle(reader.value());
        request.promptstyleset = true;
    } else if (name == "--flags-a")
        request.options.flagsa |= parsenumber(reader.value(), "flags-a", 255);
    else if (name == "--flags-b")
        request.options.flagsb |= parsenumber(reader.value(), "flags-b", 255);
    else if (name == "-h" || name == "--help") {
        reader.novalue();
        request.help = true;
    } else
        return false;
    return true;
}

void checkrequest(const BuildRequest& request) {
    if (request.stub.empty()) throw UsageError("build needs --stub FILE");
    if (request.output.empty()) throw UsageError("build needs -o OUTPUT");
    if (request.folder.empty() == request.fromzip.empty())
        throw UsageError("build needs either a FOLDER or --from-zip FILE, and not both");
    if (!request.fromzip.empty() && !request.comment.empty())
        throw UsageError("--comment is for folder builds; an existing archive keeps its comment");
    if ((request.options.flagsa & kFlagCommandOptional) && request.options.command.empty())
        throw UsageError("--command-optional needs --command");
}

} // namespace

BuildRequest parsebuildflags(const std::vector<std::string>& args) {
    BuildRequest request;
    ArgReader reader(args);
    while (reader.next()) {
        if (parsetextflag(reader, request) || parsebitflag(reader, request) ||
            parseother(reader, request))
            continue;
        if (reader.name().empty() || reader.name()[0] == '-')
            throw UsageError("unknown option " + reader.name());
        if (!request.folder.empty())
            throw UsageError("one folder only; \"" + reader.name() + "\" is a second one");
        request.folder = reader.name();
    }
    if (request.help) return request;
    if (!request.promptstyleset && !request.options.prompt.empty())
        request.options.promptstyle = kDefaultPromptStyle;
    checkrequest(request);
    return request;
}

// One option of the help: the option in a 23-column field, then what it does.
void helpline(std::ostream& out, const std::string& option, const std::string& text) {
    out << "  " << option << std::string(option.size() < 22 ? 23 - option.size() : 1, ' ') << text
        << "\n";
}

std::string buildhelp() {
    std::ostringstream out;
    out << "usage: orvsfx build --stub STUB -o OUTPUT [options] (FOLDER | --from-zip ZIP)\n\n"
           "Makes a package: the stub, the text block, the options block and a ZIP archive,\n"
           "either written from FOLDER or copied from ZIP with its offsets rebased.\n\n";
    helpline(out, "--stub FILE", "the stub executable");
    helpline(out, "-o, --output FILE",
             "the package to write (replaced only when the build succeeds)");
    helpline(out, "--from-zip FILE", "pack an existing archive instead of a folder");
    helpline(out, "--level N", "0 stores, 1 to 12 compress with Deflate (default 6)");
    helpline(out, "--comment TEXT", "archive comment (folder builds)");
    helpline(out, "--texts FILE", "the 66 interface texts (default: standard English)");
    out << "\nOptions block texts:\n";
    for (const TextFlag& flag : kTextFlags) {
        helpline(out, std::string("--") + flag.name + " TEXT", flag.help);
        if (flag.fromfile)
            helpline(out, std::string("--") + flag.name + "-file FILE",
                     "the same from a file (line ends become CR LF)");
    }
    helpline(out, "--prompt-style STYLE", "message-box style of the prompt: a number, or names");
    helpline(out, "", "joined by '+': ok okcancel yesno yesnocancel error question");
    helpline(out, "", "warning information (default with a prompt: yesno+question)");
    out << "\nFlags:\n";
    helpline(out, "--overwrite MODE", "existing files: confirm (default), always or never");
    for (const BitFlag& flag : kBitFlags) helpline(out, std::string("--") + flag.name, flag.help);
    helpline(out, "--flags-a N", "OR raw bits into flag byte A (0 to 255)");
    helpline(out, "--flags-b N", "OR raw bits into flag byte B (0 to 255)");
    return out.str();
}
