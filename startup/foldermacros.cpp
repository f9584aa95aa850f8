// Folder macros: the macro table and the rules that turn a found macro into a folder.
//
// The folder is not written until its result is known, so it is itself the saved copy of the
// text as written; the tests run on an upper-cased copy. Each macro's entry says where it is
// looked for (anywhere, the whole text, the start) and what it does; the first entry found
// decides. Values from the system land in buffers of the folder's size and must leave room
// for the '\' they get, so a value too long for the folder is refused like a failed lookup
// (the folder becomes the current folder) and nothing is ever copied past a buffer.
//
// %PROG% is a registry request for ProgramFilesDir with the folder's tail behind a '|'. It is
// read like a folder that begins with "HK", in a request buffer of its own, as the request
// can be longer than a folder. Macros in that tail stay as written: only one macro of a folder
// is ever expanded. A registry result that grows too long with its "|more" part is refused
// as well, rather than cut to a folder that nobody named.
#include "startup/foldermacros.h"

#include "common/ascii.h"
#include "common/pathlimits.h"
#include "platform/system.h"
#include "startup/optionsblock.h"
#include "startup/pathutils.h"
#include "startup/textutil.h"

#include <string.h>

static_assert(sizeof(SfxOptions::destfolder) == kFolderBuffer,
              "the folder is expanded in SfxOptions.destfolder");

namespace {

// What a found macro does with the folder. Both enums are bytes, so that a row of the macro
// table takes three words.
enum Action : unsigned char {
    kSubstitute,     // every occurrence becomes the value; a '\' behind one is not doubled
    kSubstituteAsIs, // every occurrence becomes the value, also in front of a '\'
    kProgramFiles,   // the folder becomes the program files request
    kCurrentFolder,  // the folder becomes the current folder
    kRegistry,       // the folder is a registry request
};

// Where a macro is looked for in the upper-cased folder.
enum Match : unsigned char { kAnywhere, kWhole, kStart };

// A macro's folder value, following the rule of platform/folders.h.
typedef unsigned (*ValueLookup)(const FolderLookups* lookups, char* out, unsigned size);

struct Macro {
    const char* name; // in upper case
    Match match;
    Action action;
    ValueLookup value; // for the substitutions
};

struct RootName {
    const char* name;
    platform::RegistryRoot root;
};

const char kProgramFilesRequest[] =
    "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ProgramFilesDir";
const char kUniquePrefix[] = "SFX";

// A registry request: a folder as it stands, or the program files request, a '|' and the
// tail of a folder.
const size_t kRequestBuffer = sizeof kProgramFilesRequest + 1 + kFolderBuffer;
static_assert(kRequestBuffer > kFolderBuffer, "a folder is a registry request as it stands");

// Every root name not listed here means HKEY_USERS.
const RootName kRootNames[] = {
    {"HKCU", platform::kRegistryCurrentUser},
    {"HKEY_CURRENT_USER", platform::kRegistryCurrentUser},
    {"HKLM", platform::kRegistryLocalMachine},
    {"HKEY_LOCAL_MACHINE", platform::kRegistryLocalMachine},
};

} // namespace

static bool fits(unsigned length, unsigned size) {
    return length > 0 && length < size;
}

static bool equalnocase(const char* a, const char* b) {
    while (*a && asciiupper(*a) == asciiupper(*b)) a++, b++;
    return asciiupper(*a) == asciiupper(*b);
}

static void copyupper(const char* text, char* out) {
    size_t i = 0;
    for (; text[i]; i++) out[i] = asciiupper(text[i]);
    out[i] = 0;
}

// The current folder, or an empty folder when even that cannot be had.
static void usecurrentfolder(char* folder, const FolderLookups* lookups) {
    if (!fits(lookups->currentfolder(folder, kFolderBuffer), kFolderBuffer)) folder[0] = 0;
}

static unsigned sourcefolder(const FolderLookups* lookups, char* out, unsigned size) {
    char path[kLongPathBuffer];
    if (!fits(lookups->modulepath(path, sizeof path), sizeof path)) return 0;
    char* last = strrchr(path, '\\');
    if (last)
        last[1] = 0;
    else
        strcpy(path, "\\");
    return platform::copyvalue(path, out, size);
}

static unsigned temporaryfolder(const FolderLookups* lookups, char* out, unsigned size) {
    return lookups->tempfolder(out, size);
}

static unsigned uniquetempfolder(const FolderLookups* lookups, char* out, unsigned size) {
    char temp[kFolderBuffer];
    if (!fits(lookups->tempfolder(temp, sizeof temp), sizeof temp)) return 0;
    return lookups->uniquetempname(temp, kUniquePrefix, out, size);
}

static unsigned windowsfolder(const FolderLookups* lookups, char* out, unsigned size) {
    return lookups->windowsfolder(out, size);
}

static unsigned fontsfolder(const FolderLookups* lookups, char* out, unsigned size) {
    return lookups->specialfolder(platform::kFolderFonts, out, size);
}

static unsigned desktopfolder(const FolderLookups* lookups, char* out, unsigned size) {
    return lookups->specialfolder(platform::kFolderDesktop, out, size);
}

static unsigned documentsfolder(const FolderLookups* lookups, char* out, unsigned size) {
    return lookups->specialfolder(platform::kFolderDocuments, out, size);
}

static unsigned systemfolder(const FolderLookups* lookups, char* out, unsigned size) {
    return lookups->systemfolder(out, size);
}

// In the order they are tested; an empty folder is the current folder.
static const Macro kMacros[] = {
    {"", kWhole, kCurrentFolder, nullptr},
    {"%PROG%", kAnywhere, kProgramFiles, nullptr},
    {"%SRC-PATH%", kAnywhere, kSubstitute, sourcefolder},
    {"%TEMP%", kAnywhere, kSubstitute, temporaryfolder},
    {"><", kAnywhere, kSubstitute, temporaryfolder},
    {"%TEMP-UNIQUE%", kAnywhere, kSubstituteAsIs, uniquetempfolder},
    {".", kWhole, kCurrentFolder, nullptr},
    {"%WIN%", kAnywhere, kSubstitute, windowsfolder},
    {"%FONTS%", kAnywhere, kSubstitute, fontsfolder},
    {"%DESKTOP%", kAnywhere, kSubstitute, desktopfolder},
    {"%DOCS%", kAnywhere, kSubstitute, documentsfolder},
    {"%WINSYS%", kAnywhere, kSubstitute, systemfolder},
    {"HK", kStart, kRegistry, nullptr},
};

static const char* findmacro(const char* upper, const Macro& macro) {
    switch (macro.match) {
    case kWhole:
        return strcmp(upper, macro.name) == 0 ? upper : nullptr;
    case kStart:
        return strncmp(upper, macro.name, strlen(macro.name)) == 0 ? upper : nullptr;
    default:
        return strstr(upper, macro.name);
    }
}

// Replaces the macro by its value; a result too long for the folder leaves the value alone,
// and when memory runs out the folder keeps its text.
static void substitute(char* folder, const Macro& macro, const FolderLookups* lookups) {
    char value[kFolderBuffer];
    if (!fits(macro.value(lookups, value, sizeof value), sizeof value) ||
        !endwithbackslash(value, kFolderBuffer)) {
        usecurrentfolder(folder, lookups);
        return;
    }
    bool merge = macro.action == kSubstitute;
    if (replacetoken(folder, macro.name, value, kFolderBuffer, merge) > 0) strcpy(folder, value);
}

static platform::RegistryRoot rootnamed(const char* name) {
    for (const RootName& root : kRootNames)
        if (equalnocase(name, root.name)) return root.root;
    return platform::kRegistryUsers;
}

// A value naming an existing program stands for the program's folder: it is cut at its last
// '\', which stays when it is a drive's root ("C:\setup.exe" gives "C:\").
static void keepprogramfolder(char* value, const FolderLookups* lookups) {
    size_t length = strlen(value);
    if (length < 4 || !equalnocase(value + length - 4, ".EXE") || !lookups->pathexists(value))
        return;
    char* last = strrchr(value, '\\');
    if (!last) return;
    if (last == value + 2 && value[1] == ':') last++;
    *last = 0;
}

// Reads "ROOT\key\name" or "ROOT\key\name|more" into value (kFolderBuffer bytes); false when
// the request names no value, the value cannot be read or the result does not fit.
static bool readregistry(const char* request, char* value, const FolderLookups* lookups) {
    char path[kRequestBuffer];
    strcpy(path, request);
    char* bar = strrchr(path, '|');
    if (bar) *bar = 0;
    char* key = strchr(path, '\\');
    char* name = strrchr(path, '\\');
    if (!key || key == name) return false;
    *key++ = 0;
    *name++ = 0;
    if (!fits(lookups->registryvalue(rootnamed(path), key, name, value, kFolderBuffer),
              kFolderBuffer))
        return false;
    keepprogramfolder(value, lookups);
    if (!bar) return true;
    const char* more = bar + 1;
    if (!endwithbackslash(value, kFolderBuffer) || strlen(value) + strlen(more) >= kFolderBuffer)
        return false;
    strcat(value, more);
    return true;
}

static void useregistry(char* folder, const char* request, const FolderLookups* lookups) {
    char value[kFolderBuffer];
    if (readregistry(request, value, lookups))
        strcpy(folder, value);
    else
        usecurrentfolder(folder, lookups);
}

// The program files request keeps what follows the first '\' behind the macro.
static void useprogramfiles(char* folder, const char* tail, const FolderLookups* lookups) {
    char request[kRequestBuffer];
    strcpy(request, kProgramFilesRequest);
    const char* separator = strchr(tail, '\\');
    if (separator) {
        strcat(request, "|");
        strcat(request, separator + 1);
    }
    useregistry(folder, request, lookups);
}

static void applymacro(char* folder, const Macro& macro, size_t at, const FolderLookups* lookups) {
    switch (macro.action) {
    case kSubstitute:
    case kSubstituteAsIs:
        substitute(folder, macro, lookups);
        break;
    case kProgramFiles:
        useprogramfiles(folder, folder + at + strlen(macro.name), lookups);
        break;
    case kCurrentFolder:
        usecurrentfolder(folder, lookups);
        break;
    case kRegistry:
        useregistry(folder, folder, lookups);
        break;
    }
}

void expandfoldermacrosusing(char* folder, const FolderLookups* lookups) {
    char upper[kFolderBuffer];
    copyupper(folder, upper);
    for (const Macro& macro : kMacros) {
        const char* found = findmacro(upper, macro);
        if (found) {
            applymacro(folder, macro, found - upper, lookups);
            return;
        }
    }
}

static const FolderLookups kSystemLookups = {
    platform::tempfolder,    platform::windowsfolder, platform::systemfolder,
    platform::currentfolder, platform::specialfolder, platform::uniquetempname,
    platform::registryvalue, platform::ownmodulepath, pathexists,
};

void expandfoldermacros(char* folder) {
    expandfoldermacrosusing(folder, &kSystemLookups);
}
