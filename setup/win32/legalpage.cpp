// The legal page (setup/legalpage.h). Only Windows code here.
//
// The file gets a name of 16 random hexadecimal digits and is created only if no file of that
// name exists, so no other process can know the name in advance or have a file of its own
// opened in its place. It is registered for deletion as soon as it exists, whatever happens
// to it after that.
#include "setup/win32/legalpage.h"

#include "common/pathlimits.h"
#include "common/stringlists.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/textformat.h"
#include "resources/resource.h"
#include "setup/win32/windowutil.h"

#include <windows.h>
#include <ntsecapi.h>

namespace {

const char kPageName[] = "orv%08lx%08lx.html";
enum : unsigned {
    kPageNameLength = 3 + 16 + 5, // "orv", the digits and ".html"
    kPagePath = kLongPathBuffer,  // the temporary folder and the file's name
};
static_assert(sizeof kPageName - 1 - 2 * sizeof "%08lx" + 2 + 2 * 8 == kPageNameLength,
              "two numbers of eight digits each take the place of their formats");

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
    platform::File* file = platform::createwrite(path);
    if (!file) return false;
    if (platform::writefile(file, bytes, size) == size) {
        platform::closefile(file);
        return true;
    }
    platform::discardfile(file);
    return false;
}

} // namespace

int showlegalpage(int templist) {
    DWORD size;
    const void* bytes = pagebytes(&size);
    char path[kPagePath];
    unsigned folder = platform::tempfolder(path, sizeof path);
    unsigned long name[2];
    if (!bytes || folder == 0 || folder + kPageNameLength >= sizeof path ||
        !RtlGenRandom(name, sizeof name))
        return 0;
    platform::formattext(path + folder, sizeof path - folder, kPageName, name[0], name[1]);
    if (!writepage(path, bytes, size)) return 0;
    listadd(templist, path);
    shellopen(nullptr, nullptr, path, nullptr, "", SW_SHOWNORMAL);
    return 1;
}
