// Win32 implementation of platform/system.h. Only Windows code belongs in this file.
#include "platform/system.h"

#include <windows.h>

#include <direct.h>
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
    DWORD length = GetModuleFileNameA(nullptr, out, size);
    return length < size ? length : 0;
}

int messagebox(const char* text, const char* caption, unsigned style) {
    return MessageBoxA(nullptr, text, caption, style);
}

// A folder named with a trailing separator is searched for its entries ("C:\*.*").
bool pathexists(const char* path) {
    size_t length = strlen(path);
    char* pattern = nullptr;
    if (length > 0 && path[length - 1] == '\\') {
        pattern = (char*)malloc(length + 4);
        if (!pattern) return false;
        memcpy(pattern, path, length);
        memcpy(pattern + length, "*.*", 4);
    }
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern ? pattern : path, &found);
    free(pattern);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    return true;
}

int makedirectory(const char* path) {
    return _mkdir(path);
}

int removefolder(const char* path) {
    return RemoveDirectoryA(path) ? 0 : -1;
}

} // namespace platform
