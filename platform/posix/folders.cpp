// POSIX implementation of platform/folders.h: the folders Linux has, and none of the others.
//
// The temporary folder is $TMPDIR (when set and not empty) or /tmp, the current folder is
// getcwd's, and a unique name is claimed with mkstemp. Linux has no Windows folder, system
// folder, shell folders or registry, so those lookups find nothing.
#include "platform/folders.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

namespace platform {

// Room for a temporary folder, a separator, the prefix and mkstemp's six placeholders.
enum { kUniqueTemplateBuffer = 4096 };

unsigned tempfolder(char* out, unsigned size) {
    const char* folder = getenv("TMPDIR");
    return copyvalue(folder && *folder ? folder : "/tmp", out, size);
}

unsigned windowsfolder(char*, unsigned) {
    return 0;
}

unsigned systemfolder(char*, unsigned) {
    return 0;
}

// getcwd fails with ERANGE when out is too small; size then says "too long".
unsigned currentfolder(char* out, unsigned size) {
    if (getcwd(out, size)) return (unsigned)strlen(out);
    return errno == ERANGE ? size : 0;
}

unsigned specialfolder(SpecialFolder, char*, unsigned) {
    return 0;
}

unsigned uniquetempname(const char* folder, const char* prefix, char* out, unsigned size) {
    size_t folderlength = strlen(folder);
    const char* separator = folderlength > 0 && folder[folderlength - 1] == '/' ? "" : "/";
    if (folderlength + 1 + strlen(prefix) + 6 >= kUniqueTemplateBuffer) return 0;
    char path[kUniqueTemplateBuffer];
    strcpy(path, folder);
    strcat(path, separator);
    strcat(path, prefix);
    strcat(path, "XXXXXX");
    int file = mkstemp(path);
    if (file < 0) return 0;
    close(file);
    unlink(path);
    return copyvalue(path, out, size);
}

unsigned registryvalue(RegistryRoot, const char*, const char*, char*, unsigned) {
    return 0;
}

} // namespace platform
