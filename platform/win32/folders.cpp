// Win32 implementation of platform/folders.h. Only Windows code belongs in this file.
//
// Every folder and value comes from the wide calls into a buffer of kWidePath units and
// leaves as UTF-8 by the rule of platform/folders.h: written when it fits, its length
// either way. A registry value is read with room for the longest value the callers take; a
// string stored without its NUL gets one.
#include "platform/folders.h"

#include "platform/codepage.h"
#include "platform/win32/widetext.h"

#include <windows.h>
#include <shlobj.h>

#include <string.h>

namespace platform {

static_assert(kFolderDocuments == CSIDL_PERSONAL && kFolderDesktop == CSIDL_DESKTOPDIRECTORY &&
                  kFolderFonts == CSIDL_FONTS,
              "special folders are the shell's CSIDL values");

// A wide answer of length units (0: none; kWidePath or more: too long for the buffer, so
// too long for out as well) handed over as UTF-8.
static unsigned handover(const wchar_t* wide, unsigned length, char* out, unsigned size) {
    if (length == 0) return 0;
    return length < kWidePath ? toutf8(wide, out, size) : size + 1;
}

unsigned tempfolder(char* out, unsigned size) {
    wchar_t wide[kWidePath];
    return handover(wide, GetTempPathW(kWidePath, wide), out, size);
}

unsigned windowsfolder(char* out, unsigned size) {
    wchar_t wide[kWidePath];
    return handover(wide, GetWindowsDirectoryW(wide, kWidePath), out, size);
}

unsigned systemfolder(char* out, unsigned size) {
    wchar_t wide[kWidePath];
    return handover(wide, GetSystemDirectoryW(wide, kWidePath), out, size);
}

unsigned currentfolder(char* out, unsigned size) {
    wchar_t wide[kWidePath];
    return handover(wide, GetCurrentDirectoryW(kWidePath, wide), out, size);
}

unsigned specialfolder(SpecialFolder id, char* out, unsigned size) {
    wchar_t wide[MAX_PATH];
    if (!SHGetSpecialFolderPathW(nullptr, wide, id, FALSE)) return 0;
    return handover(wide, static_cast<unsigned>(wcslen(wide)), out, size);
}

unsigned uniquetempname(const char* folder, const char* prefix, char* out, unsigned size) {
    wchar_t widefolder[kWidePath], wideprefix[16], wide[MAX_PATH];
    if (!towide(folder, widefolder, kWidePath) || !towide(prefix, wideprefix, 16) ||
        GetTempFileNameW(widefolder, wideprefix, 0, wide) == 0)
        return 0;
    DeleteFileW(wide);
    return handover(wide, static_cast<unsigned>(wcslen(wide)), out, size);
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

static bool isstring(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// The data's text ends at its first NUL or, for a value stored without one, at its end. A
// string value is read in UTF-16; any other type is text in the ANSI code page as it is
// stored, byte for byte.
unsigned registryvalue(RegistryRoot root, const char* key, const char* name, char* out,
                       unsigned size) {
    wchar_t widekey[kWidePath], widename[kWidePath], wide[kWidePath + 1];
    HKEY opened;
    if (!towide(key, widekey, kWidePath) || !towide(name, widename, kWidePath) ||
        RegOpenKeyExW(rootkey(root), widekey, 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return 0;
    DWORD type = 0, bytes = kWidePath * sizeof(wchar_t);
    LONG status = RegQueryValueExW(opened, widename, nullptr, &type, (BYTE*)wide, &bytes);
    RegCloseKey(opened);
    if (status == ERROR_MORE_DATA) return size + 1;
    if (status != ERROR_SUCCESS) return 0;
    if (!isstring(type)) {
        char* stored = (char*)wide;
        stored[bytes] = 0;
        char text[kWidePath * kUtf8Longest];
        unsigned length = ansitoname(stored, bytes, text, sizeof text);
        return length == 0 ? 0 : copyvalue(text, out, size);
    }
    wide[bytes / sizeof(wchar_t)] = 0;
    return handover(wide, static_cast<unsigned>(wcslen(wide)), out, size);
}

} // namespace platform
