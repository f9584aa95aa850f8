// Folder macros: turns the package's default destination folder into a folder of the machine.
//
// The folder (SfxOptions.destfolder, at most 255 characters and a NUL) may name a folder by a
// macro or by a registry value. Macro names match in any letter case and are tested in this
// order; only the first one found is expanded:
//
//   %PROG%         program files folder (the registry value below, then the text after the
//                  first '\' behind the macro; text before the macro is dropped)
//   %SRC-PATH%     folder of the program's own file      %TEMP%, ><    temporary folder
//   %TEMP-UNIQUE%  a new unique name in the temporary folder ("SFX....tmp", not created)
//   "." (whole)    the current folder                    %WIN%         Windows folder
//   %FONTS%, %DESKTOP%, %DOCS%   shell folders          %WINSYS%      system folder
//   "HK..." (start)              a registry value: "ROOT\key\name" or "ROOT\key\name|more"
//
// A macro is replaced everywhere in the folder by its value, which always ends with '\'; where
// it is followed by '\', that '\' is not doubled (except for %TEMP-UNIQUE%). A registry value
// that names an existing ".exe" file gives that file's folder, and "|more" appends '\more'.
// An empty folder and every lookup that fails give the current folder; nothing is shown to
// the user. A folder without any of these keeps its text.
//
// The rules are portable; the system is reached through a FolderLookups table, so that tests
// and the fuzzer give them values of their own and expandfoldermacros gives the platform's.
#pragma once

#include "common/pathlimits.h"
#include "platform/folders.h"

// The folder's buffer, as SfxOptions.destfolder holds it (UTF-8).
enum { kFolderBuffer = kLongPathBuffer };

// The system lookups the rules use. Each follows platform/folders.h: it returns the value's
// length and writes the value only when that length is below size; 0 means no value.
struct FolderLookups {
    unsigned (*tempfolder)(char* out, unsigned size);
    unsigned (*windowsfolder)(char* out, unsigned size);
    unsigned (*systemfolder)(char* out, unsigned size);
    unsigned (*currentfolder)(char* out, unsigned size);
    unsigned (*specialfolder)(platform::SpecialFolder id, char* out, unsigned size);
    unsigned (*uniquetempname)(const char* folder, const char* prefix, char* out, unsigned size);
    unsigned (*registryvalue)(platform::RegistryRoot root, const char* key, const char* name,
                              char* out, unsigned size);
    // The program's own file (0 also when it does not fit).
    unsigned (*modulepath)(char* out, unsigned size);
    bool (*pathexists)(const char* path);
};

// Expands the folder in place with the given lookups. folder holds a NUL-terminated string
// in a buffer of kFolderBuffer bytes; the result does too.
void expandfoldermacrosusing(char* folder, const FolderLookups* lookups);

// The same with the system's lookups.
void expandfoldermacros(char* folder);
