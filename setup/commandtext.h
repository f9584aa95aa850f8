// The after-extraction command as the shell receives it: tokens replaced, split into the file
// to open and its parameters, with the verb and the working folder.
//
// The package's command may name places it cannot know when it is built. These tokens are
// replaced, found ignoring case, in this order:
//
//   "><", "{P}"   the destination folder with a trailing '\'              (merging on)
//   "..\"         the parent of the current folder, with a trailing '\'    (merging on)
//   ".\"          the current folder with a trailing '\'                   (merging on)
//   "{S}\"        the folder of the program's own file, with its '\'       (merging off)
//   "{S}"         the program's own file                                   (merging off)
//
// Merging is replacetoken's (startup/textutil.h): "{P}\setup.exe" and "{P}setup.exe" give
// the same path. "..\" goes before ".\" so that a parent token is never read as a current
// one. A replacement that would make the command longer than its buffer leaves its token in
// place. The first '|' then splits the file from its parameters. Portable: the Windows side
// (setup/win32/runcommand) hands the result to the shell.
#pragma once

#include "common/pathlimits.h"

enum {
    kCommandBuffer = 2 * kLongPathBuffer, // the command while its tokens are replaced
    kParameterBuffer = kLongPathBuffer,   // the text after the first '|'
    kCommandFolder = kLongPathBuffer + 1, // a folder of the longest path and a trailing '\'
};
static_assert(kCommandBuffer > kCommandFolder + kCommandFolder / 2,
              "a command of a folder token and a name of half a path's length fits");

struct PreparedCommand {
    char file[kCommandBuffer];         // what the shell opens
    char parameters[kParameterBuffer]; // empty when the command has no '|'
    char folder[kCommandFolder];       // the working folder: the destination without its
                                       // trailing '\' (a drive root keeps it)
    const char* verb;                  // "Install" for ".inf", "Merge" for ".reg", else null
};

// Prepares command for the shell. destination is the folder the run extracted to (either
// separator, with or without a trailing one), currentfolder the process's current folder,
// modulepath the program's own file. Texts longer than their buffers are cut. False only
// when memory for a replacement runs out.
bool preparecommand(const char* command, const char* destination, const char* currentfolder,
                    const char* modulepath, PreparedCommand* out);
