// Text at the boundary to the wide Win32 calls. Only Windows code includes this file.
//
// The program holds every text as UTF-8 (file names, the package's texts once loaded, the
// command line, what a person types); the system's wide calls take and give UTF-16. Text is
// converted here and only here, right at the call: the platform layer for files, folders
// and the registry, the setup's window code for what a dialog shows and reads.
#pragma once

#include "platform/files.h"

#include <windows.h>
#include <wchar.h>

namespace platform {

enum WideLimits {
    // A path handed to the file calls, in UTF-16 units with its NUL: a path of kPathText
    // bytes of UTF-8 has at most as many units; the long form adds its "\\?\UNC\" prefix,
    // and a relative path the current folder (kPathText at most as well).
    kWidePath = 2 * kPathText + 8,
    // Paths this long or longer take the long form: the classic form of a folder's path
    // must leave room for an 8.3 name behind it (MAX_PATH - 12).
    kClassicPathLimit = kSystemPathBuffer - 12,
};

// UTF-8 text into wide (units UTF-16 units), NUL-terminated. False when it does not fit; an
// invalid byte becomes U+FFFD.
bool towide(const char* text, wchar_t* wide, unsigned units);

// A heap copy of UTF-8 text in UTF-16, for texts of any length (free it); null when memory
// runs out.
wchar_t* widecopy(const char* text);

// UTF-16 text into UTF-8 out (size bytes), cut at a character boundary where it does not
// fit, and NUL-terminated. Returns the length of the whole text in UTF-8: it fitted when
// that is below size.
unsigned toutf8(const wchar_t* wide, char* out, unsigned size);

// A message box of UTF-8 text and caption, owned by owner (none when null); the system's
// answer.
int widemessagebox(HWND owner, const char* text, const char* caption, unsigned style);

// A path as the wide file calls take it: separators as "\", and a path of kClassicPathLimit
// units or more made absolute in the long form ("\\?\C:\..." or "\\?\UNC\server\..."), which
// the system takes up to 32,767 units deep. False when it does not fit.
bool widepath(const char* path, wchar_t* wide);

} // namespace platform
