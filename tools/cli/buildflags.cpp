// Parsing the settings of "orvsfx build" from the command line and a description file.
//
// One table lists every option: its flag ("--title", values as "--title TEXT" or
// "--title=TEXT"), its key in a description file and the section the key belongs in, and the
// function that takes its value. Switches take no value on the command line ("--banner"), or
// yes/no after "=" ("--banner=no", to turn off what a file turns on); in a file they take
// yes/no, true/false, on/off or 1/0. Texts given on the command line are taken literally (a
// folder such as "%temp%\Demo" keeps its backslash). The three long texts can also come from
// a file, whose line ends become "\r\n" as the stub's dialogs need.
#include "tools/cli/buildflags.h"
#include "tools/cli/commands.h"

#include "common/zipformat.h"
#include "engine/lzma.h"
#include "startup/optionsblock.h"
#include "startup/textblock.h"
#include "tools/base/builderror.h"
#include "tools/base/fileio.h"
#include "tools/package/packagefile.h"
#include "tools/packer/lzmacompressor.h"
#include "tools/pe/versioninfo.h"
#include "tools/text/encodings.h"
#include "tools/text/texttable.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>

namespace fs = std::filesystem;

namespace {

// Why a value is refused; the caller puts where in front (a flag, or a file and line).
struct ValueError : std::runtime_error {
    explicit ValueError(const std::string& message) : std::runtime_error(message) {}
};

enum class Section { kPackage, kOptions, kBranding, kCommandLine };

// The most compressing threads a build may ask for; each holds two pieces of input.
const unsigned kThreadLimit = 64;

// The highest level of each method: libdeflate's 12, liblzma's preset 9.
const unsigned kDeflateLevelLimit = 12;
const unsigned kLzmaLevelLimit = 9;

// The dictionaries a build may ask for: from liblzma's smallest to the largest buffer the
// stub allocates when it extracts.
const std::uint32_t kDictionaryLimit = kLzmaDictionaryLimit;
static_assert(kLzmaDictionaryMin <= kDictionaryLimit, "some dictionary is allowed");

const char* sectionname(Section s) {
    return s == Section::kPackage    ? "package"
           : s == Section::kOptions  ? "options"
           : s == Section::kBranding ? "branding"
                                     : "";
}

// Where a value comes from: its name as the user wrote it, and for a description file the
// folder that relative paths start from and the line.
struct Where {
    std::string name; // "--level" or "level"
    std::string folder;
    std::string file;
    int line = 0;
    bool fromfile() const { return !file.empty(); }
};

Where onthecommandline(const std::string& name) {
    Where where;
    where.name = name;
    return where;
}

struct Option;
using Choices = std::vector<std::string>;
using Apply = void (*)(const Option& option, BuildRequest& request, const std::string& value,
                       const Where& where);

struct Option {
    const char* name = nullptr; // flag without "--", and key
    Section section = Section::kCommandLine;
    const char* metavar = nullptr; // nullptr: a switch
    const char* help = nullptr;
    Apply apply = nullptr;
    const char* group = nullptr; // options that set the same thing (a flag overrides them all)
    bool spans = false;          // may span lines in a file
    std::string PackageOptions::*text = nullptr; // a text field
    std::string Branding::*brandtext = nullptr;  // a version string
    const char* field = nullptr;                 // the text field in messages
    unsigned char mask = 0;                      // a flag bit
    bool byteb = false;
    Choices (*choices)() = nullptr; // the values it takes, for the shell completion
    const char* samegroup() const { return group ? group : name; }
};

unsigned parsenumber(const std::string& text, const std::string& name, unsigned limit) {
    std::size_t used = 0;
    unsigned long value = 0;
    try {
        value = std::stoul(text, &used, 0);
    } catch (const std::exception&) {
        used = 0;
    }
    if (text.empty() || used != text.size() || text[0] == '-' || value > limit)
        throw ValueError(name + " needs a number from 0 to " + std::to_string(limit) + ", not \"" +
                         text + "\"");
    return static_cast<unsigned>(value);
}

// Seconds since 1970 as SOURCE_DATE_EPOCH writes them: decimal digits only.
std::int64_t parseepoch(const std::string& text, const std::string& name) {
    bool digits = !text.empty() && text.size() <= 12 &&
                  text.find_first_not_of("0123456789") == std::string::npos;
    if (!digits)
        throw ValueError(name + " needs seconds since 1970 (decimal digits), not \"" + text + "\"");
    return std::stoll(text);
}

bool parseswitch(const std::string& text, const std::string& name) {
    for (const char* yes : {"yes", "true", "on", "1"})
        if (text == yes) return true;
    for (const char* no : {"no", "false", "off", "0"})
        if (text == no) return false;
    throw ValueError(name + " takes yes or no, not \"" + text + "\"");
}

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

// "yesno+question", or a number.
unsigned parsestyle(const std::string& text, const std::string& name) {
    if (!text.empty() && text[0] >= '0' && text[0] <= '9') return parsenumber(text, name, 0xFFFF);
    unsigned style = 0;
    std::stringstream parts(text);
    std::string part;
    while (std::getline(parts, part, '+')) {
        bool known = false;
        for (const StyleName& s : kStyleNames)
            if (part == s.name) style |= s.value, known = true;
        if (!known)
            throw ValueError(name + ": unknown style \"" + part +
                             "\" (ok, okcancel, yesno, yesnocancel, error, question, warning, "
                             "information, or a number)");
    }
    return style;
}

// A long text from a file; LF line ends become CRLF and a final line end is dropped.
std::string readtextfile(const std::string& path, const std::string& name) {
    std::string text;
    for (char c : readfile(path, "the " + name)) {
        if (c == '\0') throw BuildError(name + ": " + path + " contains a NUL byte");
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

// A path from a file is relative to the file's folder; one that must exist is checked there,
// so that the message can name the line.
std::string resolve(const std::string& value, const Where& where, const char* what, bool input) {
    if (value.empty()) throw ValueError(where.name + " needs a file name");
    if (!where.fromfile()) return value;
    fs::path path =
        fs::path(value).is_absolute() ? fs::path(value) : where.folder / fs::path(value);
    std::error_code error;
    if (input && !fs::exists(path, error))
        throw ValueError(std::string("cannot find ") + what + " " + path.string());
    return path.string();
}

void origin(BuildRequest& request, const std::string& field, const Where& where) {
    if (where.fromfile())
        request.origins[field] = {where.file, where.line, false};
    else
        request.origins.erase(field);
}

void applytext(const Option& o, BuildRequest& r, const std::string& v, const Where& w) {
    r.options.*o.text = v;
    origin(r, o.field, w);
}
void applytextfile(const Option& o, BuildRequest& r, const std::string& v, const Where& w) {
    std::string path = resolve(v, w, "the text file", true);
    r.options.*o.text = readtextfile(path, o.name);
    r.origins[o.field] = {path, 1, true};
}
void applybit(const Option& o, BuildRequest& r, const std::string& v, const Where& w) {
    unsigned char& byte = o.byteb ? r.options.flagsb : r.options.flagsa;
    if (parseswitch(v, w.name))
        byte |= o.mask;
    else
        byte &= static_cast<unsigned char>(~o.mask);
}
void applyoverwrite(const Option&, BuildRequest& r, const std::string& v, const Where& w) {
    r.options.flagsa &= static_cast<unsigned char>(~(kFlagOverwriteAlways | kFlagOverwriteNever));
    if (v == "always")
        r.options.flagsa |= kFlagOverwriteAlways;
    else if (v == "never")
        r.options.flagsa |= kFlagOverwriteNever;
    else if (v != "confirm")
        throw ValueError(w.name + " takes confirm, always or never, not \"" + v + "\"");
}
void applystyle(const Option&, BuildRequest& r, const std::string& v, const Where& w) {
    r.options.promptstyle = parsestyle(v, w.name);
    r.promptstyleset = true;
}
void applystub(const Option&, BuildRequest& r, const std::string& v, const Where& w) {
    r.stub = resolve(v, w, "the stub", true);
}
void applyoutput(const Option&, BuildRequest& r, const std::string& v, const Where& w) {
    r.output = resolve(v, w, "the output", false);
}
void applysource(const Option&, BuildRequest& r, const std::string& v, const Where& w) {
    if (!r.folder.empty() && !w.fromfile())
        throw UsageError("one folder only; \"" + v + "\" is a second one");
    r.folder = resolve(v, w, "the folder", true);
}
void applyfromzip(const Option&, BuildRequest& r, const std::string& v, const Where& w) {
    r.fromzip = resolve(v, w, "the archive", true);
}
void applytexts(const Option&, BuildRequest& r, const std::string& v, const Where& w) {
    r.texts = resolve(v, w, "the text table", true);
}
void applylanguage(const Option&, BuildRequest& r, const std::string& v, const Where& w) {
    if (v.empty()) throw ValueError(w.name + " needs a language name");
    r.language = v;
}
void applycomment(const Option&, BuildRequest& r, const std::string& v, const Where& w) {
    r.comment = v;
    origin(r, "comment", w);
}
void applylevel(const Option&, BuildRequest& r, const std::string& v, const Where& w) {
    r.level = static_cast<int>(parsenumber(v, w.name, kDeflateLevelLimit));
}
void applymethod(const Option&, BuildRequest& r, const std::string& v, const Where& w) {
    if (v == "deflate")
        r.method = kMethodDeflate;
    else if (v == "lzma")
        r.method = kMethodLzma;
    else
        throw ValueError(w.name + " takes deflate or lzma, not \"" + v + "\"");
}
// Bytes, or KiB and MiB with a k or m behind the number ("64m").
void applydictionary(const Option&, BuildRequest& r, const std::string& v, const Where& w) {
    char unit = v.empty() ? '\0' : static_cast<char>(std::tolower(v.back()));
    unsigned shift = unit == 'k' ? 10 : unit == 'm' ? 20 : 0;
    std::string digits = shift ? v.substr(0, v.size() - 1) : v;
    std::uint64_t bytes = std::uint64_t(parsenumber(digits, w.name, kDictionaryLimit)) << shift;
    if (bytes < kLzmaDictionaryMin || bytes > kDictionaryLimit)
        throw ValueError(w.name + " needs a size from 4k to " +
                         std::to_string(kDictionaryLimit >> 20) + "m, not \"" + v + "\"");
    r.dictionary = static_cast<std::uint32_t>(bytes);
}
void applythreads(const Option&, BuildRequest& r, const std::string& v, const Where& w) {
    r.threads = static_cast<unsigned>(parsenumber(v, w.name, kThreadLimit));
}
void applyepoch(const Option&, BuildRequest& r, const std::string& v, const Where& w) {
    r.sourcedateepoch = parseepoch(v, w.name);
}
void applysignature(const Option&, BuildRequest& r, const std::string& v, const Where& w) {
    r.signaturesize = parsenumber(v, w.name, 65535);
}
void applypassword(const Option&, BuildRequest& r, const std::string& v, const Where& w) {
    if (v.empty()) throw ValueError(w.name + " needs a password");
    r.password = v;
    origin(r, "password", w);
}
void applyderived(const Option&, BuildRequest& r, const std::string& v, const Where& w) {
    r.derivedheaders = parseswitch(v, w.name);
}
void applypackage(const Option&, BuildRequest& r, const std::string& v, const Where&) {
    r.package = v;
}
void applyrawa(const Option&, BuildRequest& r, const std::string& v, const Where& w) {
    r.options.flagsa |= parsenumber(v, w.name, 255);
}
void applyrawb(const Option&, BuildRequest& r, const std::string& v, const Where& w) {
    r.options.flagsb |= parsenumber(v, w.name, 255);
}

// The branding checks throw BuildError; on the command line a bad value is a usage error.
template <typename Check>
void checked(Check check) {
    try {
        check();
    } catch (const BuildError& e) {
        throw ValueError(e.what());
    }
}

void applyicon(const Option&, BuildRequest& r, const std::string& v, const Where& w) {
    r.branding.icon = resolve(v, w, "the icon", true);
}
void applyversiontext(const Option& o, BuildRequest& r, const std::string& v, const Where& w) {
    if (v.empty()) throw ValueError(w.name + " needs a text");
    checked([&] { checkversiontext(v, w.name); });
    r.branding.*o.brandtext = v;
}
void applyfileversion(const Option&, BuildRequest& r, const std::string& v, const Where& w) {
    checked([&] { parsefileversion(v, w.name); });
    r.branding.fileversion = v;
}
void applyexecutionlevel(const Option&, BuildRequest& r, const std::string& v, const Where& w) {
    checked([&] { checkexecutionlevel(v, w.name); });
    r.branding.executionlevel = v;
}

// One text of the table for this package: "N=TEXT" on the command line, "N = TEXT" in the
// file's [texts] section.
void settext(BuildRequest& r, const std::string& number, const std::string& text, const Where& w) {
    bool digits = !number.empty() && number.size() <= 2 &&
                  number.find_first_not_of("0123456789") == std::string::npos;
    if (!digits || std::stoi(number) >= kTextCount)
        throw ValueError(w.name + " needs a text number from 0 to 65, not \"" + number + "\"");
    int k = std::stoi(number);
    r.textoverrides[k] = text;
    origin(r, "text " + std::to_string(k), w);
}
void applytextoverride(const Option&, BuildRequest& r, const std::string& v, const Where& w) {
    std::size_t equals = v.find('=');
    if (equals == std::string::npos) throw ValueError(w.name + " takes N=TEXT, not \"" + v + "\"");
    settext(r, v.substr(0, equals), v.substr(equals + 1), w);
}

Option value(const char* name, Section section, const char* metavar, const char* help, Apply apply,
             const char* group = nullptr) {
    Option o;
    o.name = name;
    o.section = section;
    o.metavar = metavar;
    o.help = help;
    o.apply = apply;
    o.group = group;
    return o;
}

Option text(const char* name, std::string PackageOptions::*field, const char* what,
            const char* help, bool spans) {
    Option o = value(name, Section::kOptions, "TEXT", help, applytext);
    o.text = field;
    o.field = what;
    o.spans = spans;
    return o;
}
Option textfile(const char* name, const char* group, std::string PackageOptions::*field,
                const char* what) {
    Option o = value(name, Section::kOptions, "FILE",
                     "the same from a UTF-8 file (line ends: CR LF)", applytextfile, group);
    o.text = field;
    o.field = what;
    return o;
}
Option versiontext(const char* name, std::string Branding::*field, const char* help) {
    Option o = value(name, Section::kBranding, "TEXT", help, applyversiontext);
    o.brandtext = field;
    return o;
}
Option bit(const char* name, bool byteb, unsigned char mask, const char* help) {
    Option o = value(name, Section::kOptions, nullptr, help, applybit);
    o.mask = mask;
    o.byteb = byteb;
    return o;
}

const std::vector<Option>& options() {
    static const std::vector<Option> table = [] {
        using P = PackageOptions;
        std::vector<Option> t;
        t.push_back(value("stub", Section::kPackage, "FILE",
                          "the stub executable (default: the one installed with orvsfx)",
                          applystub));
        t.push_back(value("output", Section::kPackage, "FILE",
                          "the package to write (replaced only when the build succeeds)",
                          applyoutput));
        t.push_back(value("source", Section::kPackage, "FOLDER",
                          "the folder to pack (on the command line: the last argument)",
                          applysource, "source"));
        t.push_back(value("from-zip", Section::kPackage, "FILE",
                          "pack an existing archive instead of a folder", applyfromzip, "source"));
        t.push_back(value("method", Section::kPackage, "METHOD",
                          "deflate (default: fastest to build and to extract) or lzma (smaller "
                          "packages, slower to build and to extract)",
                          applymethod));
        t.push_back(value("level", Section::kPackage, "N",
                          "0 stores; 1 to 12 with Deflate, 1 to 9 with LZMA (default 6)",
                          applylevel));
        t.push_back(value("dictionary", Section::kPackage, "SIZE",
                          "LZMA's dictionary, 4k to 64m (default: the level's, 8m at 6; a "
                          "member's is no larger than the member)",
                          applydictionary));
        t.push_back(value("threads", Section::kPackage, "N",
                          "threads that compress members (default 0: one per processor); the "
                          "package's bytes do not depend on it",
                          applythreads));
        Option language = value("language", Section::kPackage, "NAME",
                                "the shipped interface texts: english (default), german, "
                                "french, spanish, italian",
                                applylanguage, "table");
        language.choices = shippedlanguages;
        t.push_back(language);
        t.push_back(value("texts", Section::kPackage, "FILE",
                          "a table of the 66 interface texts instead", applytexts, "table"));
        Option comment = value("comment", Section::kPackage, "TEXT",
                               "archive comment (folder builds)", applycomment);
        comment.spans = true;
        t.push_back(comment);
        t.push_back(value("source-date-epoch", Section::kPackage, "N",
                          "latest time stamp written, seconds since 1970 (default: the "
                          "environment's SOURCE_DATE_EPOCH, if set)",
                          applyepoch));
        t.push_back(value("signature-size", Section::kPackage, "N",
                          "size of the Authenticode signature the package will get, in bytes "
                          "(default 16384; 0: not to be signed); warns when the archive comment "
                          "leaves less room",
                          applysignature));
        t.push_back(value("password", Section::kPackage, "TEXT",
                          "encrypt every file (traditional PKWARE encryption)", applypassword));
        t.push_back(value("reproducible-encryption", Section::kPackage, nullptr,
                          "derive the encryption headers from the inputs instead of the "
                          "system's random source (same inputs, same bytes)",
                          applyderived));

        t.push_back(text("title", &P::title, "the title",
                         "caption of the setup (at most 255 bytes)", false));
        t.push_back(text("folder", &P::folder, "the destination folder",
                         "default destination folder, may start with %temp% etc. (at most 255 "
                         "bytes)",
                         false));
        t.push_back(text("command", &P::command, "the command",
                         "program to run after extraction, optionally \"|\" and its parameters",
                         false));
        t.push_back(text("prompt", &P::prompt, "the start prompt",
                         "question asked when the setup starts", true));
        t.push_back(textfile("prompt-file", "prompt", &P::prompt, "the start prompt"));
        t.push_back(value("prompt-style", Section::kOptions, "STYLE",
                          "message-box style of the prompt: a number, or names joined by '+': "
                          "ok okcancel yesno yesnocancel error question warning information "
                          "(default with a prompt: yesno+question)",
                          applystyle));
        t.push_back(text("about", &P::about, "the about text",
                         "package author's text shown first in the About box", true));
        t.push_back(textfile("about-file", "about", &P::about, "the about text"));
        t.push_back(text("description", &P::description, "the description text",
                         "text of the description panel (see info-panel)", true));
        t.push_back(
            textfile("description-file", "description", &P::description, "the description text"));
        t.push_back(value("overwrite", Section::kOptions, "MODE",
                          "existing files: confirm (default), always or never", applyoverwrite));
        t.push_back(bit("command-optional", false, kFlagCommandOptional,
                        "let the user skip the command with a ticked check box (needs command)"));
        t.push_back(bit("select-files", false, kFlagSelectFiles,
                        "extract only the files the user selects"));
        t.push_back(
            bit("show-overwrite", false, kFlagShowOverwrite, "show the overwrite-mode choice"));
        t.push_back(bit("clean-after", false, kFlagCleanAfter,
                        "wait for the command, then delete the extracted files and folders"));
        t.push_back(bit("auto-extract", false, kFlagAutoExtract,
                        "start extracting at once, without the dialog"));
        t.push_back(bit("no-done-message", false, kFlagNoDoneMessage,
                        "no completion message after success"));
        t.push_back(bit("info-panel", true, kFlagInfoPanel,
                        "show the description panel in place of the file list"));
        t.push_back(bit("no-open-with", true, kFlagNoOpenWith,
                        "never offer to open the package with an archiver"));
        t.push_back(bit("show-comment", true, kFlagShowComment,
                        "show the archive comment when the setup starts"));
        t.push_back(
            bit("no-about-extra", true, kFlagNoAboutExtra, "leave text 64 out of the About box"));
        t.push_back(bit("no-progress", true, kFlagNoProgress,
                        "hide the progress window during extraction"));
        t.push_back(bit("banner", true, kFlagShowBanner,
                        "show the full-screen banner window behind the setup"));
        t.push_back(
            bit("write-log", true, kFlagWriteLog, "write install.log into the destination folder"));

        t.push_back(value("icon", Section::kBranding, "FILE.ico",
                          "the package's icon, in place of the stub's (MNICON): bitmap or PNG "
                          "images",
                          applyicon));
        t.push_back(versiontext("product-name", &Branding::productname,
                                "ProductName of the version information (UTF-8)"));
        t.push_back(versiontext("company", &Branding::company, "CompanyName"));
        t.push_back(value("file-version", Section::kBranding, "A.B.C.D",
                          "FileVersion and ProductVersion, texts and numbers (each 0 to 65535)",
                          applyfileversion));
        t.push_back(versiontext("file-description", &Branding::filedescription,
                                "FileDescription (Explorer shows it as the program's name)"));
        t.push_back(versiontext("copyright", &Branding::copyright, "LegalCopyright"));
        t.push_back(value("execution-level", Section::kBranding, "LEVEL",
                          "the manifest's execution level: asInvoker (the stub's), "
                          "requireAdministrator or highestAvailable",
                          applyexecutionlevel));

        t.push_back(value("package", Section::kCommandLine, "FILE",
                          "read the settings from a description file first", applypackage));
        t.push_back(value("text", Section::kCommandLine, "N=TEXT",
                          "this package's own text N (in a file: N = TEXT in [texts])",
                          applytextoverride));
        t.push_back(value("flags-a", Section::kCommandLine, "N",
                          "OR raw bits into flag byte A (0 to 255; tests)", applyrawa));
        t.push_back(value("flags-b", Section::kCommandLine, "N",
                          "OR raw bits into flag byte B (0 to 255; tests)", applyrawb));
        return t;
    }();
    return table;
}

const Option* findoption(const std::string& name) {
    for (const Option& o : options())
        if (name == o.name) return &o;
    return nullptr;
}

// One setting from the command line, before it is applied.
struct Setting {
    const Option* option;
    std::string value;
    Where where;
};

std::vector<Setting> readcommandline(const std::vector<std::string>& args, bool& help) {
    std::vector<Setting> settings;
    for (std::size_t at = 0; at < args.size();) {
        const std::string& arg = args[at++];
        if (arg == "-h" || arg == "--help") {
            help = true;
            continue;
        }
        if (arg.empty() || arg[0] != '-') {
            settings.push_back({findoption("source"), arg, onthecommandline("the folder")});
            continue;
        }
        std::size_t equals = arg.find('=');
        bool inlinevalue = arg.rfind("--", 0) == 0 && equals != std::string::npos;
        std::string flag = inlinevalue ? arg.substr(0, equals) : arg;
        const Option* option = flag == "-o"               ? findoption("output")
                               : flag.rfind("--", 0) == 0 ? findoption(flag.substr(2))
                                                          : nullptr;
        if (!option) throw UsageError("unknown option " + flag);
        std::string value;
        if (inlinevalue)
            value = arg.substr(equals + 1);
        else if (!option->metavar)
            value = "yes";
        else if (at < args.size())
            value = args[at++];
        else
            throw UsageError(flag + " needs a value");
        settings.push_back({option, value, onthecommandline(flag)});
    }
    return settings;
}

void applycommandline(BuildRequest& request, const Setting& s) {
    try {
        s.option->apply(*s.option, request, s.value, s.where);
    } catch (const ValueError& e) {
        throw UsageError(e.what());
    }
}

// The [texts] section: text numbers as keys.
void applytextsection(BuildRequest& request, const PackageEntry& entry, const Where& where) {
    settext(request, entry.key, entry.value, where);
}

void applyfile(BuildRequest& request, const PackageFile& file,
               const std::set<std::string>& overridden) {
    std::map<std::string, int> seen; // group -> line
    for (const PackageEntry& entry : file.entries) {
        std::string at = file.path + ":" + std::to_string(entry.line) + ": ";
        Where where{entry.key, file.folder, file.path, entry.line};
        try {
            if (entry.section == "texts") {
                std::string group = "text " + entry.key;
                if (seen.count(group))
                    throw ValueError("text " + entry.key + " is given twice (first on line " +
                                     std::to_string(seen[group]) + ")");
                seen[group] = entry.line;
                applytextsection(request, entry, where);
                continue;
            }
            if (entry.section != "package" && entry.section != "options" &&
                entry.section != "branding")
                throw ValueError("unknown section [" + entry.section +
                                 "]; the sections are [package], [options], [branding] and "
                                 "[texts]");
            const Option* option = findoption(entry.key);
            if (!option || option->section == Section::kCommandLine)
                throw ValueError("unknown key \"" + entry.key + "\" in [" + entry.section + "]");
            if (entry.section != sectionname(option->section))
                throw ValueError("\"" + entry.key + "\" belongs in [" +
                                 sectionname(option->section) + "], not [" + entry.section + "]");
            if (entry.spans && !option->spans)
                throw ValueError("\"" + entry.key +
                                 "\" takes one line; only prompt, about, description, comment "
                                 "and [texts] may span lines");
            auto first = seen.find(option->samegroup());
            if (first != seen.end())
                throw ValueError("\"" + entry.key + "\" sets what line " +
                                 std::to_string(first->second) + " has set already");
            seen[option->samegroup()] = entry.line;
            if (overridden.count(option->samegroup())) continue; // the command line wins
            option->apply(*option, request, entry.value, where);
        } catch (const std::runtime_error& e) {
            throw BuildError(at + e.what());
        }
    }
}

void checkrequest(const BuildRequest& request) {
    if (request.output.empty()) throw UsageError("build needs -o OUTPUT");
    if (request.folder.empty() == request.fromzip.empty())
        throw UsageError("build needs either a FOLDER or --from-zip FILE, and not both");
    if (!request.fromzip.empty() && !request.comment.empty())
        throw UsageError("--comment is for folder builds; an existing archive keeps its comment");
    if ((request.options.flagsa & kFlagCommandOptional) && request.options.command.empty())
        throw UsageError("--command-optional needs --command");
    if (!request.language.empty() && !request.texts.empty())
        throw UsageError("--language and --texts both choose the interface texts; give one");
    if (!request.fromzip.empty() && !request.password.empty())
        throw UsageError("--password is for folder builds; an existing archive keeps its own "
                         "encryption");
    if (request.derivedheaders && request.password.empty())
        throw UsageError("--reproducible-encryption needs --password");
    if (request.method == kMethodLzma && request.level > static_cast<int>(kLzmaLevelLimit))
        throw UsageError("--level with --method lzma takes 0 to " +
                         std::to_string(kLzmaLevelLimit));
    if (request.dictionary && request.method != kMethodLzma)
        throw UsageError("--dictionary is for --method lzma");
}

// The text of field, from where it came, in the code page.
std::string encodefield(const BuildRequest& request, const std::string& field,
                        const std::string& text, const CodePage& page) {
    auto origin = request.origins.find(field);
    if (origin == request.origins.end()) return encodeansi(text, page, field);
    const BuildRequest::Origin& o = origin->second;
    if (!o.perline)
        return encodeansi(text, page, o.file + ":" + std::to_string(o.line) + ": " + field);
    std::string out;
    int line = o.line;
    for (std::size_t start = 0;; ++line) {
        std::size_t end = text.find("\r\n", start);
        out += encodeansi(text.substr(start, end - start), page,
                          o.file + ":" + std::to_string(line) + ": " + field);
        if (end == std::string::npos) break;
        out += "\r\n";
        start = end + 2;
    }
    return out;
}

} // namespace

BuildRequest parsebuildflags(const std::vector<std::string>& args) {
    BuildRequest request;
    std::vector<Setting> settings = readcommandline(args, request.help);
    if (request.help) return request;
    std::set<std::string> overridden;
    for (const Setting& s : settings) {
        overridden.insert(s.option->samegroup());
        if (s.option->name == std::string("package")) applycommandline(request, s);
    }
    if (!request.package.empty()) applyfile(request, loadpackagefile(request.package), overridden);
    // The command line's folder replaces the file's, so a second one is counted afresh.
    if (overridden.count("source")) request.folder.clear(), request.fromzip.clear();
    for (const Setting& s : settings)
        if (s.option->name != std::string("package")) applycommandline(request, s);
    if (!request.sourcedateepoch)
        if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH"); epoch && *epoch) try {
                request.sourcedateepoch = parseepoch(epoch, "SOURCE_DATE_EPOCH");
            } catch (const ValueError& e) {
                throw UsageError(e.what());
            }
    if (!request.promptstyleset && !request.options.prompt.empty())
        request.options.promptstyle = kDefaultPromptStyle;
    checkrequest(request);
    return request;
}

void encoderequest(BuildRequest& request, const CodePage& page) {
    PackageOptions& o = request.options;
    for (const Option& option : options())
        if (option.text && option.metavar == std::string("TEXT"))
            o.*option.text = encodefield(request, option.field, o.*option.text, page);
    request.comment = encodefield(request, "the archive comment", request.comment, page);
    request.password = encodefield(request, "the password", request.password, page);
    for (auto& [k, text] : request.textoverrides)
        text = encodefield(request, "text " + std::to_string(k), text, page);
}

// The heading an option of this section is listed under.
std::string sectionheading(Section section) {
    return section == Section::kCommandLine ? std::string("Command line only")
                                            : std::string("[") + sectionname(section) + "]";
}

CommandDoc builddoc() {
    CommandDoc doc;
    doc.summary = "make a package from a folder or a ZIP archive";
    doc.forms = {"[--package FILE.ini] [--stub STUB] -o OUTPUT [options] FOLDER",
                 "[--package FILE.ini] [--stub STUB] -o OUTPUT [options] --from-zip ZIP"};
    doc.description =
        "Makes a package: the stub, the text block, the options block and a ZIP archive, either "
        "written from FOLDER or copied from ZIP with its offsets rebased. Without --stub the "
        "installed stub is used, PREFIX/share/orvsfx/stub.exe beside PREFIX/bin/orvsfx. Every "
        "option is also a key of a description file (--package), in the section shown; options "
        "given here override the file. Texts are UTF-8.";
    for (Section section :
         {Section::kPackage, Section::kOptions, Section::kBranding, Section::kCommandLine})
        for (const Option& o : options()) {
            if (o.section != section) continue;
            OptionDoc option{std::string("--") + o.name, o.metavar ? o.metavar : "", o.help};
            option.group = sectionheading(section);
            if (o.choices) option.choices = o.choices();
            if (o.name == std::string("output")) option.alias = "-o";
            doc.options.push_back(option);
        }
    doc.notes = "Switches take =yes or =no on the command line (--banner=no) and yes or no in a "
                "file. In a file, indented lines continue the value above (prompt, about, "
                "description, comment, [texts]); they are joined with CR LF.";
    return doc;
}
