// Path utilities: separators, components, display abbreviation and recursive folders.
#include "startup/pathutils.h"

#include "common/stringlists.h"
#include "platform/codepage.h"
#include "platform/system.h"

#include <stdlib.h>
#include <string.h>

enum { kShortenedKeeps = 3 }; // characters of a folder name that shortenpath keeps

static bool isseparator(char c) {
    return c == '\\' || c == '/' || c == ':';
}

static char* replaceall(char* path, char from, char to) {
    for (char* p = path; *p; p++)
        if (*p == from) *p = to;
    return path;
}

bool endwithbackslash(char* path, size_t size) {
    size_t length = strlen(path);
    if (length > 0 && path[length - 1] == '\\') return true;
    if (length + 2 > size) return false;
    path[length] = '\\';
    path[length + 1] = 0;
    return true;
}

char* slashestoback(char* path) {
    return replaceall(path, '/', '\\');
}
char* backtoslashes(char* path) {
    return replaceall(path, '\\', '/');
}

void lastcomponent(const char* path, char* out) {
    const char* start = path;
    for (const char* p = path; *p; p++)
        if (isseparator(*p)) start = p + 1;
    memmove(out, start, strlen(start) + 1);
}

void parentfolder(const char* path, char* out) {
    size_t length = strlen(path);
    size_t last = 0;
    for (size_t i = 1; i < length; i++)
        if (isseparator(path[i])) last = i;
    bool wholepath = (length == 3 && !strchr(path, ':')) || last == 0;
    // A separator at position 3 right behind a ':' is kept with the prefix.
    size_t keep = wholepath ? length : (last == 3 && path[2] == ':') ? 4 : last;
    memmove(out, path, keep);
    out[keep] = 0;
}

bool pathexists(const char* path) {
    return platform::pathexists(path);
}

int makefolderpath(char* folder, int list) {
    size_t length = strlen(folder);
    if (length >= kLongPathBuffer) return -1;
    if (length > 0 && folder[length - 1] == '\\') folder[--length] = 0;
    if (length < 3 || pathexists(folder)) return 0;
    char parent[kLongPathBuffer];
    parentfolder(folder, parent);
    makefolderpath(parent, list);
    // Only a folder really made is recorded: the clean-up removes what the list names, and a
    // folder that appeared meanwhile is not this run's.
    int made = platform::makedirectory(folder);
    if (made == 0 && list) listadd(list, folder);
    return made;
}

char* shortenpath(char* path) {
    if (!path) return path;
    const char* end = (const char*)memchr(path, 0, kPathMax + 1);
    size_t length = end ? (size_t)(end - path) : kPathMax + 1;
    if (length < 5 || length > kPathMax || !strchr(path, '\\')) return path;

    // Components counted from the separators between the drive and the last character.
    int components = 1;
    size_t lastsep = 0;
    for (size_t i = 3; i + 1 < length; i++) {
        if (path[i] == '\\') {
            components++;
            lastsep = i;
        }
    }
    if (components <= 3 && strlen(path + lastsep + 1) <= 12) return path;

    char shortform[2 * kPathMax];
    size_t out = 0;
    const char* p = strchr(path, '\\');
    memcpy(shortform, path, p - path);
    out = p - path;
    shortform[out++] = '\\';
    p++;
    for (int k = 0; k < components - 2; k++) {
        const char* end = strchr(p, '\\');
        if (!end) break;
        // The first kShortenedKeeps characters, whole: a UTF-8 character is never cut.
        size_t keep = 0;
        for (int c = 0; c < kShortenedKeeps && p + keep < end; c++)
            keep += platform::namecharlength(p + keep);
        bool whole = p + keep >= end;
        memcpy(shortform + out, p, whole ? end - p : keep);
        out += whole ? end - p : keep;
        if (!whole) {
            memcpy(shortform + out, "..", 2);
            out += 2;
        }
        shortform[out++] = '\\';
        p = end + 1;
    }
    size_t rest = strlen(p);
    if (out + rest > kPathMax - 1) return path;
    memcpy(shortform + out, p, rest + 1);
    memcpy(path, shortform, out + rest + 1);
    return path;
}
