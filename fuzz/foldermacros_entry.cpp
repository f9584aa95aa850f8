// Fuzz entry for the folder macros: the input is the folder and what a made-up system answers.
//
// Input: fields separated by NUL bytes, in the order of Field below: the folder (cut to 255
// characters), then the values of the lookups, each possibly too long for any buffer; a
// missing or empty field is a lookup that fails. The registry answers the one value for every
// key. The first byte of the flags field says (bit 0) whether a path ending in ".exe" exists.
//
// Checks on every output, beyond the sanitizers (the folder is a heap block of exactly
// kFolderBuffer bytes, and a lookup fills the caller's whole buffer when its value does not
// fit, so a wrong size shows):
// - the result ends with a NUL inside the buffer, and a second run gives the same result;
// - a folder without any macro is unchanged; an empty one or "." is the current folder;
// - a substitution gives the current folder, the value alone, or the text in front of the
//   first occurrence followed by the value (its '\' possibly dropped);
// - a registry request (also %PROG%'s) gives the current folder, or a front part of the
//   registry value, followed by '\' and the text behind the request's last '|' when it has one;
// - the unique name is asked for in the temporary folder with the prefix "SFX".
#include "fuzz/entries.h"
#include "common/pathlimits.h"
#include "startup/foldermacros.h"

#include <string.h>

#include <string>
#include <vector>

namespace {

enum Field {
    kFolder,
    kTemp,
    kWindows,
    kSystem,
    kCurrent,
    kModule,
    kFonts,
    kDesktop,
    kDocuments,
    kUnique,
    kRegistry,
    kFlags,
    kFieldCount
};

std::vector<std::string> fields;

void check(bool condition) {
    if (!condition) __builtin_trap();
}

unsigned answer(Field field, char* out, unsigned size) {
    const std::string& value = fields[field];
    if (value.size() < size) return platform::copyvalue(value.c_str(), out, size);
    memset(out, '#', size);
    return (unsigned)value.size();
}

unsigned faketemp(char* out, unsigned size) {
    return answer(kTemp, out, size);
}
unsigned fakewindows(char* out, unsigned size) {
    return answer(kWindows, out, size);
}
unsigned fakesystem(char* out, unsigned size) {
    return answer(kSystem, out, size);
}
unsigned fakecurrent(char* out, unsigned size) {
    return answer(kCurrent, out, size);
}
unsigned fakemodule(char* out, unsigned size) {
    unsigned length = answer(kModule, out, size);
    return length < size ? length : 0;
}
unsigned fakespecial(platform::SpecialFolder id, char* out, unsigned size) {
    Field field = id == platform::kFolderFonts     ? kFonts
                  : id == platform::kFolderDesktop ? kDesktop
                                                   : kDocuments;
    return answer(field, out, size);
}
unsigned fakeunique(const char* folder, const char* prefix, char* out, unsigned size) {
    check(fields[kTemp] == folder && strcmp(prefix, "SFX") == 0);
    return answer(kUnique, out, size);
}
unsigned fakeregistry(platform::RegistryRoot, const char*, const char* name, char* out,
                      unsigned size) {
    check(strchr(name, '\\') == nullptr);
    return answer(kRegistry, out, size);
}
bool fakeexists(const char*) {
    return !fields[kFlags].empty() && (fields[kFlags][0] & 1);
}

const FolderLookups kFakeLookups = {faketemp,   fakewindows,  fakesystem, fakecurrent, fakespecial,
                                    fakeunique, fakeregistry, fakemodule, fakeexists};

std::string upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = (char)(c - 'a' + 'A');
    return text;
}

std::string expand(const std::string& folder) {
    std::vector<char> buffer(kFolderBuffer);
    memcpy(buffer.data(), folder.c_str(), folder.size() + 1);
    expandfoldermacrosusing(buffer.data(), &kFakeLookups);
    check(memchr(buffer.data(), 0, buffer.size()) != nullptr);
    return buffer.data();
}

std::string currentresult() {
    const std::string& current = fields[kCurrent];
    return current.size() < kFolderBuffer ? current : "";
}

std::string withseparator(std::string folder) {
    if (folder.empty() || folder.back() != '\\') folder += '\\';
    return folder;
}

bool startswith(const std::string& text, const std::string& front) {
    return text.compare(0, front.size(), front) == 0;
}

void checkregistry(const std::string& result, const std::string& request) {
    if (result == currentresult()) return;
    size_t bar = request.rfind('|');
    if (bar == std::string::npos) {
        check(startswith(fields[kRegistry], result));
        return;
    }
    std::string more = request.substr(bar + 1);
    check(result.size() > more.size() &&
          result.compare(result.size() - more.size(), more.size(), more) == 0);
    std::string front = result.substr(0, result.size() - more.size());
    check(front.back() == '\\');
    check(startswith(fields[kRegistry], front) ||
          startswith(fields[kRegistry], front.substr(0, front.size() - 1)));
}

// value is empty where its lookup fails.
void checksubstitution(const std::string& result, const std::string& folder, size_t at,
                       const std::string& value) {
    std::string full = withseparator(value);
    if (value.empty() || full.size() >= kFolderBuffer) {
        check(result == currentresult());
        return;
    }
    if (result == full) return;
    std::string front = folder.substr(0, at);
    check(startswith(result, front + full.substr(0, full.size() - 1)));
}

struct MacroName {
    const char* name;
    Field value; // kFolder: not a substitution
};

// The macros in the order they are tested; "." and "HK" are handled apart.
const MacroName kMacroNames[] = {
    {"%PROG%", kFolder},   {"%SRC-PATH%", kModule},    {"%TEMP%", kTemp},
    {"><", kTemp},         {"%TEMP-UNIQUE%", kUnique}, {"%WIN%", kWindows},
    {"%FONTS%", kFonts},   {"%DESKTOP%", kDesktop},    {"%DOCS%", kDocuments},
    {"%WINSYS%", kSystem},
};

// The values of %SRC-PATH% and %TEMP-UNIQUE%: empty when a lookup they need fails.
std::string sourcefolder() {
    const std::string& module = fields[kModule];
    if (module.empty() || module.size() >= kLongPathBuffer) return "";
    size_t last = module.rfind('\\');
    return last == std::string::npos ? "\\" : module.substr(0, last + 1);
}

std::string uniquefolder() {
    const std::string& temp = fields[kTemp];
    return temp.empty() || temp.size() >= kFolderBuffer ? "" : fields[kUnique];
}

std::string substitutionvalue(Field field) {
    return field == kModule ? sourcefolder() : field == kUnique ? uniquefolder() : fields[field];
}

void checkfirstmacro(const std::string& result, const std::string& folder, size_t at,
                     const MacroName& macro) {
    if (macro.value == kFolder) {
        size_t separator = folder.find('\\', at + strlen(macro.name));
        std::string request = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ProgramFilesDir";
        if (separator != std::string::npos) request += "|" + folder.substr(separator + 1);
        checkregistry(result, request);
    } else {
        checksubstitution(result, folder, at, substitutionvalue(macro.value));
    }
}

void checkresult(const std::string& result, const std::string& folder) {
    std::string upperfolder = upper(folder);
    if (folder.empty() || upperfolder == ".") {
        check(result == currentresult());
        return;
    }
    for (const MacroName& macro : kMacroNames) {
        size_t at = upperfolder.find(macro.name);
        if (at != std::string::npos) {
            checkfirstmacro(result, folder, at, macro);
            return;
        }
    }
    if (startswith(upperfolder, "HK"))
        checkregistry(result, folder);
    else
        check(result == folder);
}

} // namespace

void fuzzentry::foldermacros(const unsigned char* data, size_t size) {
    fields.assign(kFieldCount, "");
    const char* text = (const char*)data;
    size_t field = 0;
    for (size_t start = 0; start <= size && field < kFieldCount; field++) {
        const char* end = (const char*)memchr(text + start, 0, size - start);
        size_t length = end ? (size_t)(end - (text + start)) : size - start;
        fields[field].assign(text + start, length);
        start += length + 1;
    }
    std::string folder = fields[kFolder].substr(0, kFolderBuffer - 1);
    std::string result = expand(folder);
    check(expand(folder) == result);
    checkresult(result, folder);
}
