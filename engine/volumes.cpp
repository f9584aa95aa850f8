// Volume properties: whether the volume of a path takes only 8.3 names, and whether it is
// FAT-like (its times are kept in local time, to two seconds).
//
// The properties of the last volume asked about are cached by the first two characters of
// its full path, since the name mapping and the output paths ask for every member.
#include "engine/enginestate.h"

#include "common/ascii.h"
#include "platform/files.h"

#include <string.h>

namespace {

// Fills the volume cache for path; false when its properties cannot be known.
bool volumeinfo(const char* path) {
    if (isseparator(path[0]) && isseparator(path[1]) && path[2] && !isseparator(path[2]))
        return false;
    char full[kPathBuffer];
    const char* name = path;
    if (!hasdriveletter(path)) {
        if (platform::fullpathname(path, full, sizeof full) == 0) return false;
        name = full;
    }
    if (engine.volumeknown && memcmp(engine.volumekey, name, 2) == 0) return true;
    memcpy(engine.volumekey, name, 2);
    char root[4] = {name[0], name[1], '/', 0};
    unsigned longest = 0;
    char fsname[kNameBuffer];
    if (platform::volumeproperties(root, &longest, fsname, sizeof fsname) != 0) {
        engine.volumeknown = 0;
        return false;
    }
    for (char* p = fsname; *p; ++p) *p = asciiupper(*p);
    engine.volumeknown = 1;
    engine.only83 = longest < 13;
    engine.fatlike = strncmp(fsname, "VFAT", 4) == 0 || strncmp(fsname, "HPFS", 4) == 0 ||
                     strncmp(fsname, "FAT", 3) == 0;
    return true;
}

} // namespace

bool hasdriveletter(const char* path) {
    return isasciiletter(path[0]) && path[1] == ':';
}

int is83volume(const char* path) {
    return volumeinfo(path) && engine.only83;
}

int isfatvolume(const char* path) {
    return volumeinfo(path) && engine.fatlike;
}
