// Removing what a run made: after a cancelled run, and after the command of a package that
// cleans up behind itself.
//
// Only what this run made goes. Files come from the engine's newfilelist: the paths it really
// wrote, where no file stood before the run, so a file that was there already (kept because
// the user skipped it, or replaced by an overwrite) is never deleted. A file goes only when its
// path, with separators unified and "." and ".." resolved, lies inside the destination
// folder. Folders come from dirlist (the folders the run created) and go last made first, so
// every subfolder goes before its parent; one that still holds something (a file of the
// user's, the install log) stays. Portable: it reaches the file system through platform/.
#pragma once

#include <stddef.h>

// The longest path the clean-up handles: the engine's output paths. A list entry that does not
// fit is skipped, never cut (a cut path could name another file).
enum { kCleanupPath = 1024 };

// Writes path in out with every '\' turned into '/', empty and "." components dropped and
// each ".." taking away the component before it. A leading drive ("C:") and a leading
// separator are kept as the path's root. False when a ".." would climb above the root or
// when the result does not fit into size characters.
bool normalisepath(const char* path, char* out, size_t size);

// True when path names something strictly inside folder (both normalised, compared ignoring
// the case of ASCII letters, as the file systems of the stub's system do).
bool pathinside(const char* path, const char* folder);

// Deletes the files of newfilelist that lie inside destination (making them writable first),
// then removes the folders of dirlist, the last made first. Failures are skipped.
void removeextracted(const char* destination, int newfilelist, int dirlist);
