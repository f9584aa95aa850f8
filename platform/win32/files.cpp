// Win32 implementation of platform/files.h. This file contains only Windows code.
//
// Paths go to the wide functions, converted from UTF-8 at each call (widepath: in the long
// form where they are too long for the classic one). A path that cannot be converted fails
// as a name too long would. File status comes from GetFileAttributesExW, which also answers
// for folders given with a trailing separator.
#include "platform/files.h"

#include "platform/win32/widetext.h"

#include <stdlib.h>
#include <string.h>
#include <windows.h>
#include <winternl.h>

struct platform::File {
    HANDLE handle;
};

namespace {

platform::File* wrap(HANDLE handle) {
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    platform::File* file = static_cast<platform::File*>(malloc(sizeof(platform::File)));
    if (!file) {
        CloseHandle(handle);
        return nullptr;
    }
    file->handle = handle;
    return file;
}

// A path in the form the wide calls take into wide (kWidePath units); false, with the
// error a name too long gives, when it does not fit.
bool topath(const char* path, wchar_t* wide) {
    if (platform::widepath(path, wide)) return true;
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return false;
}

platform::File* openfile(const char* path, DWORD access, DWORD share, DWORD disposition,
                         DWORD flags) {
    wchar_t wide[platform::kWidePath];
    if (!topath(path, wide)) return nullptr;
    return wrap(CreateFileW(wide, access, share, nullptr, disposition, flags, nullptr));
}

platform::File* openhandle(const char* path, DWORD access, DWORD share, DWORD disposition) {
    return openfile(path, access, share, disposition, FILE_ATTRIBUTE_NORMAL);
}

unsigned long long fromfiletime(const FILETIME& t) {
    return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

FILETIME tofiletime(unsigned long long value) {
    FILETIME t;
    t.dwLowDateTime = static_cast<DWORD>(value);
    t.dwHighDateTime = static_cast<DWORD>(value >> 32);
    return t;
}

} // namespace

namespace platform {

File* openread(const char* path) {
    return openhandle(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
}

// DELETE lets discardfile remove a file that turns out to lie outside where it belongs.
File* createwrite(const char* path) {
    return openhandle(path, GENERIC_WRITE | DELETE, FILE_SHARE_READ, CREATE_NEW);
}

// Backup semantics open folders as well as files; the reparse-point flag opens a link in the
// last component itself instead of what it points to.
File* openentry(const char* path) {
    return openfile(path, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT);
}

// The name of the file object: where the handle went, in the system's device form, with
// every link on the way resolved (GetFinalPathNameByHandle reads the same name, but some
// systems, Wine among them, answer that call only for paths of MAX_PATH).
static bool objectname(HANDLE handle, wchar_t* wide) {
    struct {
        OBJECT_NAME_INFORMATION info;
        wchar_t name[kWidePath];
    } answer;
    ULONG length = 0;
    if (NtQueryObject(handle, ObjectNameInformation, &answer, sizeof answer, &length) != 0)
        return false;
    unsigned units = answer.info.Name.Length / sizeof(wchar_t);
    if (!answer.info.Name.Buffer || units >= kWidePath) return false;
    memcpy(wide, answer.info.Name.Buffer, units * sizeof(wchar_t));
    wide[units] = 0;
    return true;
}

// The device form needs no drive-letter lookup, and the root and every output file are asked
// for in the same form, so one is a prefix of the other exactly when the file lies inside.
unsigned resolvedpath(File* file, char* out, unsigned size) {
    wchar_t wide[kWidePath];
    if (!objectname(file->handle, wide)) return 0;
    unsigned used = toutf8(wide, out, size);
    return used < size ? used : 0; // a path cut to fit would name another place
}

int discardfile(File* file) {
    FILE_BASIC_INFO basic;
    if (GetFileInformationByHandleEx(file->handle, FileBasicInfo, &basic, sizeof basic) &&
        (basic.FileAttributes & FILE_ATTRIBUTE_READONLY)) {
        basic.FileAttributes &= ~FILE_ATTRIBUTE_READONLY;
        SetFileInformationByHandle(file->handle, FileBasicInfo, &basic, sizeof basic);
    }
    FILE_DISPOSITION_INFO disposition = {TRUE};
    bool deleted = SetFileInformationByHandle(file->handle, FileDispositionInfo, &disposition,
                                              sizeof disposition) != 0;
    closefile(file);
    return deleted ? 0 : -1;
}

File* opentimes(const char* path) {
    // FILE_WRITE_ATTRIBUTES is enough for SetFileTime and is granted on read-only files.
    return openhandle(path, FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      OPEN_EXISTING);
}

int readfile(File* file, void* buffer, unsigned n) {
    DWORD got = 0;
    if (!ReadFile(file->handle, buffer, n, &got, nullptr)) return -1;
    return static_cast<int>(got);
}

unsigned writefile(File* file, const void* data, unsigned n) {
    DWORD put = 0;
    if (!WriteFile(file->handle, data, n, &put, nullptr)) return 0;
    return put;
}

int seekfile(File* file, unsigned long long offset) {
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(file->handle, position, nullptr, FILE_BEGIN) ? 0 : -1;
}

int filesize(File* file, unsigned long long* size) {
    LARGE_INTEGER length;
    if (!GetFileSizeEx(file->handle, &length)) return -1;
    *size = static_cast<unsigned long long>(length.QuadPart);
    return 0;
}

int presizefile(File* file, unsigned length) {
    if (seekfile(file, length) != 0 || !SetEndOfFile(file->handle)) return -1;
    return seekfile(file, 0);
}

int truncatehere(File* file) {
    return SetEndOfFile(file->handle) ? 0 : -1;
}

int setfiletimes(File* file, const unsigned long long* creation, const unsigned long long* access,
                 const unsigned long long* modification) {
    FILETIME c = tofiletime(creation ? *creation : 0);
    FILETIME a = tofiletime(access ? *access : 0);
    FILETIME m = tofiletime(modification ? *modification : 0);
    if (SetFileTime(file->handle, creation ? &c : nullptr, access ? &a : nullptr,
                    modification ? &m : nullptr))
        return 0;
    return static_cast<int>(GetLastError());
}

void closefile(File* file) {
    if (!file) return;
    CloseHandle(file->handle);
    free(file);
}

int lasterror() {
    return static_cast<int>(GetLastError());
}

int errorkind(int error) {
    if (error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL) return kErrorDiskFull;
    if (error == ERROR_FILENAME_EXCED_RANGE) return kErrorNameTooLong;
    return kErrorOther;
}

static bool attributes(const char* path, WIN32_FILE_ATTRIBUTE_DATA* data) {
    wchar_t wide[kWidePath];
    return topath(path, wide) && GetFileAttributesExW(wide, GetFileExInfoStandard, data);
}

// GetFileAttributesExW reports a symbolic link or junction itself, not what it points to,
// so both queries share it; only linkstatus tells a reparse point apart.
static int fillstatus(const char* path, PathStatus* status, bool links) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!attributes(path, &data)) return -1;
    bool reparse = links && (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
    status->kind = reparse                                              ? kPathLink
                   : (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? kPathDirectory
                   : (data.dwFileAttributes & FILE_ATTRIBUTE_DEVICE)    ? kPathDevice
                                                                        : kPathFile;
    status->readonly = (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
    status->size = data.nFileSizeLow;
    status->hastimes = true;
    status->modification = fromfiletime(data.ftLastWriteTime);
    status->access = fromfiletime(data.ftLastAccessTime);
    status->creation = fromfiletime(data.ftCreationTime);
    return 0;
}

int statpath(const char* path, PathStatus* status) {
    return fillstatus(path, status, false);
}

int linkstatus(const char* path, PathStatus* status) {
    return fillstatus(path, status, true);
}

int makewritable(const char* path) {
    wchar_t wide[kWidePath];
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!topath(path, wide) || !GetFileAttributesExW(wide, GetFileExInfoStandard, &data)) return -1;
    return SetFileAttributesW(wide, data.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY) ? 0 : -1;
}

int removefile(const char* path) {
    wchar_t wide[kWidePath];
    return topath(path, wide) && DeleteFileW(wide) ? 0 : -1;
}

int setattributes(const char* path, unsigned attributes) {
    wchar_t wide[kWidePath];
    if (!topath(path, wide) || !SetFileAttributesW(wide, attributes))
        return static_cast<int>(GetLastError());
    return 0;
}

unsigned fullpathname(const char* path, char* out, unsigned size) {
    wchar_t given[kWidePath], full[kWidePath];
    if (!towide(path, given, kWidePath)) return 0;
    DWORD length = GetFullPathNameW(given, kWidePath, full, nullptr);
    if (length == 0 || length >= kWidePath) return 0;
    unsigned used = toutf8(full, out, size);
    return used < size ? used : 0;
}

int volumeproperties(const char* root, unsigned* maxcomponent, char* fsname, unsigned size) {
    wchar_t wideroot[kWidePath], widename[MAX_PATH];
    DWORD longest = 0, flags = 0;
    if (!towide(root, wideroot, kWidePath) ||
        !GetVolumeInformationW(wideroot, nullptr, 0, nullptr, &longest, &flags, widename, MAX_PATH))
        return -1;
    *maxcomponent = longest;
    toutf8(widename, fsname, size);
    return 0;
}

} // namespace platform
