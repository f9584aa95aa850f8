// Win32 implementation of platform/folders.h. Only Windows code belongs in this file.
//
// GetTempPathA, GetWindowsDirectoryA, GetSystemDirectoryA and GetCurrentDirectoryA already
// answer as platform/folders.h promises (the length, or the size needed when out is too
// small). The shell and GetTempFileNameA write a path of up to MAX_PATH characters, so they
// write into a buffer of that size here and the result is copied when it fits. A registry
// value is read with the caller's size; a string stored without its NUL gets one.
#include "platform/folders.h"

#include <windows.h>
#include <shlobj.h>

#include <string.h>

namespace platform {

static_assert(kFolderDocuments == CSIDL_PERSONAL && kFolderDesktop == CSIDL_DESKTOPDIRECTORY &&
                  kFolderFonts == CSIDL_FONTS,
              "special folders are the shell's CSIDL values");

unsigned tempfolder(char* out, unsigned size) {
    return GetTempPathA(size, out);
}

unsigned windowsfolder(char* out, unsigned size) {
    return GetWindowsDirectoryA(out, size);
}

unsigned systemfolder(char* out, unsigned size) {
    return GetSystemDirectoryA(out, size);
}

unsigned currentfolder(char* out, unsigned size) {
    return GetCurrentDirectoryA(size, out);
}

unsigned specialfolder(SpecialFolder id, char* out, unsigned size) {
    char path[MAX_PATH];
    return SHGetSpecialFolderPathA(nullptr, path, id, FALSE) ? copyvalue(path, out, size) : 0;
}

unsigned uniquetempname(const char* folder, const char* prefix, char* out, unsigned size) {
    char path[MAX_PATH];
    if (GetTempFileNameA(folder, prefix, 0, path) == 0) return 0;
    DeleteFileA(path);
    return copyvalue(path, out, size);
}

static HKEY rootkey(RegistryRoot root) {
    switch (root) {
    case kRegistryCurrentUser:
        return HKEY_CURRENT_USER;
    case kRegistryLocalMachine:
        return HKEY_LOCAL_MACHINE;
    default:
        return HKEY_USERS;
    }
}

// The data's text ends at its first NUL or, for a string stored without one, at its end; a
// value that fills out without a NUL needs one byte more.
unsigned registryvalue(RegistryRoot root, const char* key, const char* name, char* out,
                       unsigned size) {
    HKEY opened;
    if (RegOpenKeyExA(rootkey(root), key, 0, KEY_READ, &opened) != ERROR_SUCCESS) return 0;
    DWORD bytes = size;
    LONG status = RegQueryValueExA(opened, name, nullptr, nullptr, (BYTE*)out, &bytes);
    RegCloseKey(opened);
    if (status == ERROR_MORE_DATA) return bytes > size ? bytes : size;
    if (status != ERROR_SUCCESS) return 0;
    const char* end = (const char*)memchr(out, 0, bytes);
    unsigned length = end ? (unsigned)(end - out) : bytes;
    if (length < size) out[length] = 0;
    return length;
}

} // namespace platform
