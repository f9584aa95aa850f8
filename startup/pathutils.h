// Small routines on UTF-8 path strings shared by the start-up and the setup dialogs.
//
// Paths hold at most kPathMax bytes (kLongPathBuffer with the NUL). '\' and '/' both separate
// folders where a routine looks for components, and ':' also ends a drive prefix.
#pragma once

#include "common/pathlimits.h"

#include <stddef.h>

enum { kPathMax = kLongPathBuffer };

// Appends '\' unless path ends with one; false, path unchanged, when the result with its
// NUL would not fit size bytes.
bool endwithbackslash(char* path, size_t size);

// Replace every '/' by '\' (or the reverse) in place; return path.
char* slashestoback(char* path);
char* backtoslashes(char* path);

// Copies the part after the last '\', '/' or ':' (the whole path when there is none).
void lastcomponent(const char* path, char* out);

// Copies the path without its last component and its separator: 'C:\A\B' gives 'C:\A',
// 'C:\A' gives 'C:'. A separator at position 3 behind a ':' at position 2 is kept.
void parentfolder(const char* path, char* out);

// Abbreviates a long path in place for display: 'C:\Program Files\Example\Sub\readme.txt'
// becomes 'C:\Pro..\Exa..\Sub\readme.txt' (three characters of a folder name are kept, never
// part of one). Returns path.
char* shortenpath(char* path);

// True when a file or folder exists at path.
bool pathexists(const char* path);

// Creates folder and every missing parent, outermost first, adding each to the string list
// `list` (when nonzero) once it is made; a folder that cannot be made is not added. A trailing '\'
// is removed from folder. Returns the result of the last creation (0 on success), or 0 when nothing
// was created; a folder of kLongPathBuffer bytes or more is refused with -1.
int makefolderpath(char* folder, int list);
