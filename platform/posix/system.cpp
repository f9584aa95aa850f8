// POSIX implementation of platform/system.h: the start-up's system services on Linux.
//
// Paths given by the start-up may use '\' as a separator, as on Windows; they are turned
// into '/' here, at the boundary.
#include "platform/system.h"

#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

static void tounixpath(const char* path, char* out, size_t size) {
    size_t i = 0;
    for (; path[i] && i + 1 < size; i++) out[i] = path[i] == '\\' ? '/' : path[i];
    out[i] = 0;
}

unsigned ownmodulepath(char* out, unsigned size) {
    if (size == 0) return 0;
    ssize_t length = readlink("/proc/self/exe", out, size - 1);
    if (length <= 0) return 0;
    out[length] = 0;
    return (unsigned)length;
}

int messagebox(const char* text, const char* caption, unsigned /*style: no buttons here*/) {
    fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
    return kAnswerOk;
}

bool pathexists(const char* path) {
    char unixpath[4096];
    tounixpath(path, unixpath, sizeof unixpath);
    struct stat status;
    return stat(unixpath, &status) == 0;
}

int makedirectory(const char* path) {
    char unixpath[4096];
    tounixpath(path, unixpath, sizeof unixpath);
    return mkdir(unixpath, 0777) == 0 ? 0 : -1;
}

int removefolder(const char* path) {
    char unixpath[4096];
    tounixpath(path, unixpath, sizeof unixpath);
    return rmdir(unixpath) == 0 ? 0 : -1;
}

} // namespace platform
