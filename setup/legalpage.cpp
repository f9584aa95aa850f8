// The legal page (setup/legalpage.h). Only Windows code here.
//
// The file gets a name of 16 random hexadecimal digits and is created only if no file of that
// name exists, so no other process can know the name in advance or have a file of its own
// opened in its place. It is registered for deletion as soon as it exists, whatever happens
// to it after that.
#include "setup/legalpage.h"

#include "common/stringlists.h"
#include "platform/textformat.h"
#include "resources/resource.h"

#include <windows.h>
#include <ntsecapi.h>

namespace {

const char kPageName[] = "orv%08lx%08lx.html";
enum : unsigned {
    kPagePath = MAX_PATH + 1 + sizeof kPageName, // the temporary folder and the file's name
};

// The page's bytes in the program's resources, or null.
const void* pagebytes(DWORD* size) {
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(IDR_LEGALPAGE), (LPCSTR)RT_RCDATA);
    HGLOBAL loaded = found ? LoadResource(nullptr, found) : nullptr;
    *size = found ? SizeofResource(nullptr, found) : 0;
    return loaded && *size ? LockResource(loaded) : nullptr;
}

// Creates the file (never opening one that exists) and writes the page; a file it made but
// could not fill is deleted again.
bool writepage(const char* path, const void* bytes, DWORD size) {
    HANDLE file =
        CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = WriteFile(file, bytes, size, &written, nullptr) && written == size;
    CloseHandle(file);
    if (!ok) DeleteFileA(path);
    return ok;
}

} // namespace

int showlegalpage(int templist) {
    DWORD size;
    const void* bytes = pagebytes(&size);
    char path[kPagePath];
    DWORD folder = GetTempPathA(MAX_PATH + 1, path);
    unsigned long name[2];
    if (!bytes || folder == 0 || folder > MAX_PATH || !RtlGenRandom(name, sizeof name)) return 0;
    platform::formattext(path + folder, sizeof path - folder, kPageName, name[0], name[1]);
    if (!writepage(path, bytes, size)) return 0;
    listadd(templist, path);
    ShellExecuteA(nullptr, nullptr, path, nullptr, "", SW_SHOWNORMAL);
    return 1;
}
