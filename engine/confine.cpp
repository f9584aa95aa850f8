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

#include <string.h>

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

bool liesinroot(platform::File* opened) {
    if (!engine.rootresolved) return true;
    char where[kResolvedOutput];
    unsigned length = platform::resolvedpath(opened, where, sizeof where);
    unsigned root = engine.resolvedrootlength;
    return length > root + 1 && memcmp(where, engine.resolvedroot, root) == 0 &&
           isseparator(where[root]);
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
