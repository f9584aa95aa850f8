// Win32 implementation of platform/system.h. Only Windows code belongs in this file.
#include "platform/system.h"

#include "platform/win32/widetext.h"

#include <windows.h>

#include <stdlib.h>
#include <string.h>

namespace platform {

static_assert(kBoxError == MB_ICONERROR && kBoxInformation == MB_ICONINFORMATION &&
                  kBoxQuestion == MB_ICONQUESTION && kBoxWarning == MB_ICONWARNING &&
                  kBoxYesNo == MB_YESNO,
              "box styles are the Win32 values");
static_assert(kAnswerOk == IDOK && kAnswerCancel == IDCANCEL && kAnswerYes == IDYES &&
                  kAnswerNo == IDNO,
              "answers are the Win32 values");

unsigned ownmodulepath(char* out, unsigned size) {
    wchar_t wide[kWidePath];
    DWORD length = GetModuleFileNameW(nullptr, wide, kWidePath);
    if (length == 0 || length >= kWidePath) return 0;
    unsigned used = toutf8(wide, out, size);
    return used < size ? used : 0;
}

int messagebox(const char* text, const char* caption, unsigned style) {
    return widemessagebox(nullptr, text, caption, style);
}

// A folder named with a trailing separator is searched for its entries ("C:\*").
bool pathexists(const char* path) {
    wchar_t wide[kWidePath];
    if (!widepath(path, wide)) return false;
    size_t length = wcslen(wide);
    if (length > 0 && wide[length - 1] == L'\\') {
        if (length + 2 > kWidePath) return false;
        wide[length] = L'*';
        wide[length + 1] = 0;
    }
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(wide, &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    return true;
}

int makedirectory(const char* path) {
    wchar_t wide[kWidePath];
    return widepath(path, wide) && CreateDirectoryW(wide, nullptr) ? 0 : -1;
}

int removefolder(const char* path) {
    wchar_t wide[kWidePath];
    return widepath(path, wide) && RemoveDirectoryW(wide) ? 0 : -1;
}

} // namespace platform
