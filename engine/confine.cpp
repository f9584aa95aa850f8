// Keeps output inside the extraction root as the system resolves it, not only as its path
// reads.
//
// The folders of an output path are looked at, by path, before the file is made. A process
// that swaps one of them for a link or junction after that look would lead the file out of
// the destination, and no check by path can close that window. So every file and folder the
// engine creates, and every file it is about to replace, is asked through its own handle where
// it really lies: the root is resolved once per run, and an output must resolve to a path
// below it. One that does not is deleted again through the same handle (the path may lead
// elsewhere by then) and refused as lying through a link.
#include "engine/enginestate.h"

#include "common/ascii.h"
#include "common/fnv.h"

#include <stdlib.h>
#include <string.h>

enum { kMadeFilesFirst = 64 }; // places recorded before the record first grows

void resolveroot(const char* root) {
    engine.rootresolved = false;
    platform::File* folder = platform::openentry(root && *root ? root : ".");
    if (!folder) return;
    unsigned length = platform::resolvedpath(folder, engine.resolvedroot, kResolvedRoot);
    platform::closefile(folder);
    if (length == 0) return;
    // A top folder resolves with its separator; every other folder without one.
    if (isseparator(engine.resolvedroot[length - 1])) engine.resolvedroot[--length] = 0;
    engine.resolvedrootlength = length;
    engine.rootresolved = true;
}

// FNV-1a of the resolved path: two names that the file system stores as one file resolve
// to the same path, whatever their spelling in the archive.
unsigned long long placehash(const char* where, unsigned length) {
    unsigned long long hash = fnv1a(kFnvStart, where, length);
    return hash ? hash : 1;
}

bool liesinroot(platform::File* opened, unsigned long long* place) {
    if (place) *place = 0;
    if (!engine.rootresolved) return true;
    char where[kResolvedOutput];
    unsigned length = platform::resolvedpath(opened, where, sizeof where);
    unsigned root = engine.resolvedrootlength;
    bool inside = length > root + 1 && memcmp(where, engine.resolvedroot, root) == 0 &&
                  isseparator(where[root]);
    if (inside && place) *place = placehash(where, length);
    return inside;
}

// A place that cannot be recorded (no memory) is not known later: its file then counts as
// one that stood there before.
void recordmade(unsigned long long place) {
    if (place == 0) return;
    if (engine.madecount == engine.madesize) {
        unsigned size = engine.madesize ? 2 * engine.madesize : unsigned(kMadeFilesFirst);
        void* grown = realloc(engine.madefiles, size * sizeof *engine.madefiles);
        if (!grown) return;
        engine.madefiles = (unsigned long long*)grown;
        engine.madesize = size;
    }
    engine.madefiles[engine.madecount++] = place;
}

bool madebythisrun(const char* path) {
    if (engine.madecount == 0) return false;
    platform::File* entry = platform::openentry(path);
    if (!entry) return false;
    unsigned long long place = 0;
    liesinroot(entry, &place);
    platform::closefile(entry);
    for (unsigned i = 0; place && i < engine.madecount; ++i)
        if (engine.madefiles[i] == place) return true;
    return false;
}

void releasemade() {
    free(engine.madefiles);
    engine.madefiles = nullptr;
    engine.madecount = engine.madesize = 0;
}

int removeinside(const char* path, int* syserror) {
    platform::File* entry = platform::openentry(path);
    if (!entry) {
        *syserror = platform::lasterror();
        return kReasonCannotReplace;
    }
    if (!liesinroot(entry)) {
        platform::closefile(entry);
        return kReasonThroughLink;
    }
    if (platform::discardfile(entry) != 0) {
        *syserror = platform::lasterror();
        return kReasonCannotReplace;
    }
    return 0;
}
