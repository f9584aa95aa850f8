// Folders the system names and values of its registry, as the start-up's folder macros need them.
//
// Every lookup writes into out, which holds size bytes, and returns the length of the value in
// characters. The value and its NUL are written only when that length is below size; a result
// of size or more says that the value is too long for out (out then holds nothing to use), and
// 0 that there is no such value (an empty value counts as none). The caller thus tells apart a
// value that fits, one that does not, and none, without knowing how long the system's own
// limits are. Linux has no registry and no Windows or shell folders: those lookups give 0
// there.
#pragma once

#include <string.h>

namespace platform {

// The registry's root keys that a folder may name.
enum RegistryRoot { kRegistryCurrentUser, kRegistryLocalMachine, kRegistryUsers };

// Special folders by the shell's folder ids (the Win32 CSIDL values).
enum SpecialFolder {
    kFolderDocuments = 0x05,
    kFolderDesktop = 0x10,
    kFolderFonts = 0x14,
};

// Hands value over by the rule above: copied with its NUL when it fits, its length either way.
inline unsigned copyvalue(const char* value, char* out, unsigned size) {
    unsigned length = (unsigned)strlen(value);
    if (length < size) memcpy(out, value, length + 1);
    return length;
}

// The folder for temporary files; on Windows it ends with '\'.
unsigned tempfolder(char* out, unsigned size);

// The Windows folder and the system folder.
unsigned windowsfolder(char* out, unsigned size);
unsigned systemfolder(char* out, unsigned size);

// The process's current folder.
unsigned currentfolder(char* out, unsigned size);

// A folder of the shell.
unsigned specialfolder(SpecialFolder id, char* out, unsigned size);

// A path in folder whose name begins with prefix and that no file had: the system creates the
// file to claim the name, and the file is deleted again before this returns.
unsigned uniquetempname(const char* folder, const char* prefix, char* out, unsigned size);

// The value name of key (below root) as text, whatever its type; no environment variables
// are expanded. An empty name reads the key's default value.
unsigned registryvalue(RegistryRoot root, const char* key, const char* name, char* out,
                       unsigned size);

} // namespace platform
