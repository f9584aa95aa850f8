// Removing what a run made: the files it created inside the destination, then its folders.
#include "setup/cleanup.h"

#include "common/ascii.h"
#include "common/stringlists.h"
#include "engine/enginestate.h"
#include "platform/files.h"
#include "platform/system.h"

#include <string.h>

static_assert(int(kCleanupPath) >= int(kPathBuffer), "every path the engine writes fits");

// Takes the last component off out[root..n); false when there is none.
static bool dropcomponent(const char* out, size_t root, size_t* n) {
    if (*n == root) return false;
    while (*n > root && out[*n - 1] != '/') --*n;
    if (*n > root) --*n; // the separator in front of it, unless it is the root's own
    return true;
}

bool normalisepath(const char* path, char* out, size_t size) {
    enum { kLongestRoot = 3 }; // "C:/"
    if (size <= kLongestRoot) return false;
    size_t n = 0;
    if (((path[0] | 0x20) >= 'a' && (path[0] | 0x20) <= 'z') && path[1] == ':') {
        out[n++] = path[0];
        out[n++] = ':';
        path += 2;
    }
    if (isseparator(*path)) out[n++] = '/';
    size_t root = n;
    while (*path) {
        while (isseparator(*path)) path++;
        const char* start = path;
        while (*path && !isseparator(*path)) path++;
        size_t length = path - start;
        if (length == 0 || (length == 1 && start[0] == '.')) continue;
        if (length == 2 && start[0] == '.' && start[1] == '.') {
            if (!dropcomponent(out, root, &n)) return false;
            continue;
        }
        bool separate = n > root;
        if (n + separate + length >= size) return false;
        if (separate) out[n++] = '/';
        memcpy(out + n, start, length);
        n += length;
    }
    out[n] = 0;
    return true;
}

bool pathinside(const char* path, const char* folder) {
    char file[kCleanupPath], root[kCleanupPath];
    if (!normalisepath(path, file, sizeof file) || !normalisepath(folder, root, sizeof root))
        return false;
    size_t length = strlen(root);
    for (size_t i = 0; i < length; i++)
        if (asciilower(file[i]) != asciilower(root[i])) return false;
    // Inside means below: the folder's name ends at a separator of the path, and something
    // follows it. A root such as "C:/" ends with its own separator.
    bool rootended = length > 0 && root[length - 1] == '/';
    if (rootended) return file[length] != 0;
    return file[length] == '/' && file[length + 1] != 0;
}

void removeextracted(const char* destination, int newfilelist, int dirlist) {
    char path[kCleanupPath];
    int files = listcount(newfilelist);
    for (int i = 0; i < files; i++) {
        int length = listget(newfilelist, i, path, sizeof path);
        if (length <= 0 || length >= int(sizeof path) || !pathinside(path, destination)) continue;
        platform::makewritable(path);
        platform::removefile(path);
    }
    for (int i = listcount(dirlist); i >= 1; i--) {
        int length = listget(dirlist, i - 1, path, sizeof path);
        if (length > 0 && length < int(sizeof path)) platform::removefolder(path);
    }
}
