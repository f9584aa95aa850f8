// "orvsfx info": shows where the blocks of a package lie, the stub's branding, the blocks'
// checksum, the decoded options and texts, and the archive's entries.
//
// The blocks are found and decoded by the stub's own start-up code (findtextmarker,
// blockchecksum, loaduitexts, decodeoptions), so what info shows is what the stub will see.
// Every problem found is printed as "problem: ..." and makes the exit code 1; info goes on as
// far as the damage allows.
#include "engine/crc32.h"
#include "engine/nametext.h"
#include "startup/optionsblock.h"
#include "startup/textblock.h"
#include "tools/base/builderror.h"
#include "tools/base/fileio.h"
#include "tools/base/littleendian.h"
#include "tools/cli/commands.h"
#include "tools/package/packagewriter.h"
#include "tools/pe/branding.h"
#include "tools/text/encodings.h"
#include "tools/text/texttable.h"
#include "tools/zip/memberneeds.h"
#include "tools/zip/ziplimits.h"
#include "tools/zip/zipreader.h"
#include "tools/zip/zipwriter.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// What info has found so far; any problem makes the exit code 1.
struct Report {
    int problems = 0;
    void problem(const std::string& text) {
        std::printf("problem: %s\n", text.c_str());
        ++problems;
    }
    // Something the stub copes with but the publisher should know; the exit code stays 0.
    void warning(const std::string& text) { std::printf("warning: %s\n", text.c_str()); }
};

// The loaded UiText, released on every path.
struct LoadedTexts {
    ~LoadedTexts() { freeuitexts(); }
};

// The decoded options, in a record made as the stub makes it.
struct DecodedOptions {
    SfxOptions& options;
    DecodedOptions() : options(*makesfxoptions()) {}
    ~DecodedOptions() { releasesfxoptions(&options); }
    DecodedOptions(const DecodedOptions&) = delete;
    DecodedOptions& operator=(const DecodedOptions&) = delete;
};

// The marker's file offset as the stub finds it, or -1.
long locatetextblock(const std::string& package) {
    std::string window(kMarkerSearchBuffer, '\0');
    if (package.size() > kMarkerSearchStart)
        window.replace(0, package.size() - kMarkerSearchStart, package, kMarkerSearchStart,
                       kMarkerSearchBuffer);
    window.resize(kMarkerSearchBuffer);
    long p = findtextmarker(bytesat(window, 0), kMarkerSearchSpan);
    return p < 0 ? -1 : kMarkerSearchStart + p;
}

void showline(const char* name, const std::string& value) {
    std::printf("  %-16s %s\n", name, value.c_str());
}

// A text of the package (decoded into UTF-8, as the stub holds it), escaped like a table
// file.
std::string quoted(const char* text) {
    return "\"" + escapetext(text) + "\"";
}
std::string yesno(bool b) {
    return b ? "yes" : "no";
}

void showoptions(const SfxOptions& o) {
    std::printf("options:\n");
    showline("title", quoted(o.title));
    showline("destfolder", quoted(o.destfolder));
    showline("hascommand", yesno(o.hascommand));
    showline("command", quoted(o.hascommand ? o.command : ""));
    showline("hasstartprompt", yesno(o.hasstartprompt));
    showline("startprompt", quoted(o.startprompt));
    char style[16];
    std::snprintf(style, sizeof style, "0x%04X", o.promptstyle);
    showline("promptstyle", style);
    showline("hasabouttext", yesno(o.hasabouttext));
    showline("abouttext", quoted(o.hasabouttext ? o.abouttext : ""));
    showline("hasinfotext", yesno(o.hasinfotext));
    showline("infotext", quoted(o.hasinfotext ? o.infotext : ""));
    showline("commandoptional", yesno(o.commandoptional));
    showline("selectfiles", yesno(o.selectfiles));
    showline("showoverwrite", yesno(o.showoverwrite));
    showline("overwritemode", o.overwritemode == kOverwriteAlways  ? "8 (overwrite)"
                              : o.overwritemode == kOverwriteNever ? "16 (skip)"
                                                                   : "0 (confirm)");
    showline("cleanafter", yesno(o.cleanafter));
    showline("autoextract", yesno(o.autoextract));
    showline("showdone", yesno(o.showdone));
    showline("infopanel", yesno(o.infopanel));
    showline("noopenwith", yesno(o.noopenwith));
    showline("showcomment", yesno(o.showcomment));
    showline("aboutextra", yesno(o.aboutextra));
    showline("showprogress", yesno(o.showprogress));
    showline("showbanner", yesno(o.showbanner));
    showline("writelog", yesno(o.writelog));
}

// A text as the value of a description-file key, which has no escapes: its line breaks become
// continuation lines (indented by four blanks, empty lines kept as they are).
std::string inivalue(const char* text) {
    std::string value = text, out;
    for (std::size_t start = 0;;) {
        std::size_t end = value.find("\r\n", start);
        std::string line = value.substr(start, end == std::string::npos ? end : end - start);
        out += (start == 0 ? "" : line.empty() ? "\n" : "\n    ") + line;
        if (end == std::string::npos) return out;
        start = end + 2;
    }
}

// The options in the words of a description file's [options] section, so that a package can
// be described again from what it holds.
void showoptionwords(const SfxOptions& o, unsigned char flagsa, unsigned char flagsb,
                     const char* defaulttitle) {
    std::printf("options in words ([options] of a description file):\n");
    auto key = [](const char* name, const std::string& value) {
        std::printf("  %s =%s%s\n", name, value.empty() ? "" : " ", value.c_str());
    };
    key("title", std::strcmp(o.title, defaulttitle) ? inivalue(o.title) : "");
    key("folder", inivalue(o.destfolder));
    key("command", o.hascommand ? inivalue(o.command) : "");
    key("prompt", o.hasstartprompt ? inivalue(o.startprompt) : "");
    char style[16];
    std::snprintf(style, sizeof style, "0x%02X", o.promptstyle);
    key("prompt-style", style);
    key("about", o.hasabouttext ? inivalue(o.abouttext) : "");
    key("description", o.hasinfotext ? inivalue(o.infotext) : "");
    key("overwrite", o.overwritemode == kOverwriteAlways  ? "always"
                     : o.overwritemode == kOverwriteNever ? "never"
                                                          : "confirm");
    const struct {
        const char* name;
        bool value;
    } switches[] = {{"command-optional", o.commandoptional},
                    {"select-files", o.selectfiles},
                    {"show-overwrite", o.showoverwrite},
                    {"clean-after", o.cleanafter},
                    {"auto-extract", o.autoextract},
                    {"no-done-message", !o.showdone},
                    {"info-panel", o.infopanel},
                    {"no-open-with", o.noopenwith},
                    {"show-comment", o.showcomment},
                    {"no-about-extra", !o.aboutextra},
                    {"no-progress", !o.showprogress},
                    {"banner", o.showbanner},
                    {"write-log", o.writelog}};
    for (const auto& s : switches) key(s.name, yesno(s.value));
    if ((flagsb & 0x80) || ((flagsa & kFlagOverwriteAlways) && (flagsa & kFlagOverwriteNever)))
        std::printf("  # raw bits beyond these keys: flags A 0x%02X, flags B 0x%02X\n", flagsa,
                    flagsb);
}

void showtexts() {
    std::printf("texts:\n");
    for (int k = 0; k < kTextCount; ++k) std::printf("  %2d %s\n", k, quoted(UiText[k]).c_str());
}

// The UTF-8 name of an entry, when it has one: the name of an Info-ZIP Unicode path extra
// field that the engine takes (unicodepathname), else the stored name under general purpose
// bit 11.
bool utf8name(const ZipEntry& e, std::string* name) {
    if (!buildcrctable()) throw BuildError("out of memory");
    const char* utf8 = nullptr;
    unsigned length = 0;
    if (unicodepathname(e.name.data(), static_cast<unsigned>(e.name.size()), bytesat(e.extra, 0),
                        static_cast<unsigned>(e.extra.size()), &utf8, &length)) {
        name->assign(utf8, length);
        return true;
    }
    if (!(e.flags & kFlagUtf8)) return false;
    *name = e.name;
    return true;
}

// The name as the stub writes it: a UTF-8 name as it is, any other as stored; a folder
// marked only by its attributes with the "/" the engine gives it.
std::string stubform(const ZipEntry& e) {
    std::string utf8;
    std::string name = utf8name(e, &utf8) ? utf8 : e.name;
    MemberOrigin origin = {e.madeby & 0xFF, e.madeby >> 8, e.external,
                           e.packed == 0 && e.size == 0};
    std::string::size_type length = name.size();
    name.resize(length + 2); // room for the mark and its NUL
    name.resize(markfolder(origin, &name[0], static_cast<unsigned>(length)));
    return name;
}

// The mark behind an entry's name: what it needs that the stub lacks, else whether it is
// encrypted.
std::string entrymark(const ZipEntry& e) {
    std::string need = unmetneed(e, "the stub");
    if (!need.empty()) return "  [" + need + "]";
    return (e.flags & kFlagEncrypted) ? "  (encrypted)" : "";
}

void showentries(const ZipArchive& archive) {
    std::printf("entries:\n  %-9s %10s %10s %-8s %-19s %-4s %10s  %s\n", "method", "size", "packed",
                "crc", "modified (DOS)", "attr", "offset", "name");
    for (const ZipEntry& e : archive.entries) {
        unsigned date = e.dostime >> 16, time = e.dostime & 0xFFFF;
        char when[32];
        std::snprintf(when, sizeof when, "%04u-%02u-%02u %02u:%02u:%02u", 1980 + (date >> 9),
                      (date >> 5) & 15, date & 31, time >> 11, (time >> 5) & 63, (time & 31) * 2);
        char attributes[6] = "-----";
        const char kLetters[] = "RHSDA"; // read-only, hidden, system, directory, archive
        const unsigned kBits[] = {kDosReadOnly, kDosHidden, kDosSystem, kDosDirectory, kDosArchive};
        for (int i = 0; i < 5; ++i)
            if (e.external & kBits[i]) attributes[i] = kLetters[i];
        std::printf("  %-9s %10u %10u %08x %-19s %-5s %10u  %s%s\n", methodname(e.method),
                    unsigned(e.size), unsigned(e.packed), unsigned(e.crc), when, attributes,
                    unsigned(e.offset), escapetext(stubform(e)).c_str(), entrymark(e).c_str());
    }
    if (!archive.comment.empty())
        std::printf("comment: %s\n", quoted(archive.comment.c_str()).c_str());
}

// Names the stub shows or writes otherwise than they are stored, and names close to the
// limits of Windows paths.
void warnaboutnames(const ZipArchive& archive, Report& report) {
    const std::size_t kLongName = 200; // leaves 59 bytes of MAX_PATH for the destination
    for (const ZipEntry& e : archive.entries) {
        std::string shown = "\"" + escapetext(e.name) + "\"";
        bool ascii = true;
        for (char c : e.name) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
        std::string utf8;
        if (!utf8name(e, &utf8) && !ascii && (e.madeby >> 8) == kHostFat)
            report.warning(shown +
                           " is not plain ASCII: the stub reads names of DOS hosts in "
                           "code page 437 and shows \"" +
                           decodeansi(e.name, oemcodepage()) + "\"");
        std::size_t bad = e.name.find_first_of("<>:\"|?*\\");
        for (std::size_t i = 0; i < e.name.size() && bad == std::string::npos; ++i)
            if (static_cast<unsigned char>(e.name[i]) < 0x20) bad = i;
        if (bad != std::string::npos)
            report.warning(shown + " holds a character that Windows does not allow in names (" +
                           escapetext(e.name.substr(bad, 1)) + "); the stub changes it");
        if (!e.name.empty() && e.name[0] == '/')
            report.warning(shown + " is an absolute path; the stub extracts it below the "
                                   "destination folder");
        if (("/" + e.name + "/").find("/../") != std::string::npos)
            report.warning(shown + " climbs out of its folder with \"..\"; the stub changes it");
        if (e.name.size() > kLongName)
            report.warning(shown.substr(0, 40) + "...\" has " + std::to_string(e.name.size()) +
                           " bytes: with a destination folder of more than " +
                           std::to_string(259 - e.name.size()) +
                           " bytes its path passes the 259 bytes Windows allows");
    }
}

// The stub's branding: its icon's images, version strings and execution level.
void showbranding(const std::string& package, Report& report) {
    BrandingInfo info;
    try {
        info = readbranding(package);
    } catch (const BuildError& e) {
        // The stub runs without its branding being readable here; the publisher should know.
        report.warning(std::string("the stub's branding cannot be read: ") + e.what());
        return;
    }
    if (!info.hasresources) {
        std::printf("branding         none (the stub has no resources)\n");
        return;
    }
    std::printf("branding:\n");
    std::string icon;
    for (const IconImage& m : info.icon)
        icon += (icon.empty() ? "" : ", ") + std::to_string(m.width) + "x" +
                std::to_string(m.height) + " " + std::to_string(m.bitcount) + "-bit" +
                (m.png ? " PNG" : "") + " (" + std::to_string(m.data.size()) + " bytes)";
    showline("icon", info.icon.empty() ? "none (no MNICON)" : icon);
    if (info.hasversion) {
        const auto& v = info.fileversion;
        showline("version", std::to_string(v[0]) + "." + std::to_string(v[1]) + "." +
                                std::to_string(v[2]) + "." + std::to_string(v[3]));
        for (const auto& [key, value] : info.strings)
            showline(key.c_str(), "\"" + escapetext(value) + "\"");
    }
    showline("executionlevel",
             info.executionlevel.empty() ? "none (no manifest)" : info.executionlevel);
}

// The archive behind the options block: entries, and whether its offsets count from the
// start of the package as the stub's dialog expects.
void showarchive(const std::string& package, std::size_t at, Report& report) {
    ZipArchive archive;
    try {
        archive = readziparchive(package);
    } catch (const BuildError& e) {
        report.problem(std::string("archive: ") + e.what() + " in the last " +
                       std::to_string(kDialogEndWindow) +
                       " bytes, where the stub's dialog looks for it (a signature added later "
                       "may have pushed it out)");
        return;
    }
    std::printf("archive          %zu (%zu bytes), %zu entries, offsets %s\n", at,
                package.size() - at, archive.entries.size(),
                archive.prefix == 0
                    ? "from the start of the package"
                    : ("need " + std::to_string(archive.prefix) + " added").c_str());
    std::size_t end = archive.endat + archive.endsize;
    std::size_t room = kDialogEndWindow - archive.endsize;
    if (end < package.size())
        std::printf("after archive    %zu bytes (an Authenticode signature, if the package is "
                    "signed); the dialog finds the end record up to %zu bytes behind it\n",
                    package.size() - end, room);
    else
        std::printf("signature room   %zu bytes (the end record and comment take %zu of the last "
                    "%u)\n",
                    room, archive.endsize, unsigned(kDialogEndWindow));
    if (archive.start != at)
        report.problem("the archive begins at " + std::to_string(archive.start) + ", not at " +
                       std::to_string(at));
    if (archive.prefix != 0)
        report.problem("the archive's offsets do not count from the start of the package");
    try {
        checkforstub(package, archive);
    } catch (const BuildError& e) {
        report.problem(e.what());
    }
    showentries(archive);
    warnaboutnames(archive, report);
}

// The options block at at, decoded with the stub's decoder; returns the archive's offset.
std::size_t showoptionsblock(const std::string& package, std::size_t at, Report& report) {
    std::size_t available = package.size() - at;
    unsigned length = optionsblocklength(bytesat(package, at), available);
    if (length == 0) {
        report.problem("no options block (\"" +
                       wholemarker(kOptionsMagicStored, kOptionsMagicSize) +
                       "\") behind the text block");
        return 0;
    }
    unsigned char flagsa = static_cast<unsigned char>(package[at + kOptionsFlagsAOffset]);
    unsigned char flagsb = static_cast<unsigned char>(package[at + kOptionsFlagsBOffset]);
    std::printf("options block    %zu (%u bytes), version %u, flags A 0x%02X, flags B 0x%02X\n", at,
                length, get16(package, at + kOptionsVersionOffset), flagsa, flagsb);
    DecodedOptions decoded;
    OptionsStatus status =
        decodeoptions(bytesat(package, at), available, &decoded.options, UiText[kTextDefaultTitle]);
    if (status != kOptionsOk) {
        report.problem("the stub refuses the options block with text " +
                       std::to_string(int(status)) + ": " +
                       (UiText[status] ? quoted(UiText[status]) : std::string()));
        return 0;
    }
    showoptions(decoded.options);
    showoptionwords(decoded.options, flagsa, flagsb, UiText[kTextDefaultTitle]);
    return at + length;
}

// The text block at marker: header, checksum, texts (loaded into UiText); returns the
// options block's offset, or 0.
std::size_t showtextblock(const std::string& package, std::size_t marker, Report& report) {
    if (package.size() - marker < kTextHeaderSize) {
        report.problem("the text block header is cut off");
        return 0;
    }
    std::uint32_t size = get32(package, marker + kTextLengthOffset);
    std::uint32_t sum = get32(package, marker + kTextChecksumOffset);
    if (size < kTextHeaderSize || size > package.size() - marker) {
        report.problem("the text block length " + std::to_string(size) + " does not fit the file");
        return 0;
    }
    unsigned actual =
        blockchecksum(bytesat(package, marker + kTextHeaderSize), size - kTextHeaderSize);
    std::printf("text block       %zu (%u bytes), checksum 0x%08X, %s\n", marker, unsigned(size),
                unsigned(sum), actual == sum ? "matches" : "DOES NOT MATCH");
    if (actual != sum) {
        char text[80];
        std::snprintf(text, sizeof text, "the body's checksum is 0x%08X", actual);
        report.problem(text);
    }
    int loaded = loaduitexts(bytesat(package, marker + kTextHeaderSize), size - kTextHeaderSize);
    if (loaded != 1) {
        report.problem(loaded == -2 ? "the 66 texts run past the end of the text block"
                                    : "out of memory");
        return 0;
    }
    return marker + size;
}

} // namespace

CommandDoc infodoc() {
    return {"show the blocks, options, texts and entries of a package",
            {"PACKAGE"},
            "Shows where the blocks of PACKAGE lie, the stub's branding, the text block's "
            "checksum, the decoded options and texts, and the archive's entries. Exits with 1 "
            "when something is wrong."};
}

int infocommand(const CommandArgs& args) {
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        std::fputs(helptext("info", infodoc()).c_str(), stdout);
        return 0;
    }
    if (args.size() != 1 || args[0].empty() || args[0][0] == '-')
        throw UsageError("info needs one PACKAGE");
    std::string package = readfile(args[0], "the package");
    Report report;
    LoadedTexts texts;
    std::printf("package          %s (%zu bytes)\n", args[0].c_str(), package.size());
    long marker = locatetextblock(package);
    if (marker < 0) {
        report.problem("no text block marker between offsets 30000 and 95529");
        return 1;
    }
    std::printf("stub image       0 (%ld bytes, padding included)\n", marker - kPaddingAreaSize);
    showbranding(package, report);
    // The stub finds its text block only up to 95,529 and seeks with signed 32-bit offsets.
    const long kCloseToWindowEnd = 1024;
    if (kMarkerLastOffset - marker < kCloseToWindowEnd)
        report.warning("the text block lies " + std::to_string(kMarkerLastOffset - marker) +
                       " bytes before the end of the window the stub searches (95529)");
    if (package.size() > kPackageSizeLimit)
        report.problem("the package has more than 2 GiB, which the stub cannot seek in");
    std::size_t options = showtextblock(package, static_cast<std::size_t>(marker), report);
    std::size_t archive = options ? showoptionsblock(package, options, report) : 0;
    if (archive) showarchive(package, archive, report);
    if (options) showtexts();
    return report.problems ? 1 : 0;
}
