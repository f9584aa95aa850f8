// The archivers Open-with knows, and the search for the first one installed (startup/archiver.h).
#include "startup/archiver.h"

#include "platform/folders.h"

namespace {

#define ORV_APP_PATHS "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\"

struct ArchiverPlace {
    const char* name;
    platform::RegistryRoot root;
    const char* key;
    const char* value; // "" for the key's default value
};

const ArchiverPlace kArchivers[] = {
    {"Orvandel", platform::kRegistryCurrentUser, "Software\\Orvandel\\General", "Directory"},
    {"QuickZip", platform::kRegistryLocalMachine, ORV_APP_PATHS "quickzip.exe", ""},
    {"ZipCentral", platform::kRegistryLocalMachine, "Software\\ZipCentral", "Application Path"},
    {"WinZip", platform::kRegistryLocalMachine, ORV_APP_PATHS "winzip32.exe", ""},
    {"WinRAR", platform::kRegistryLocalMachine, ORV_APP_PATHS "winrar.exe", ""},
};

void copyname(char* out, int size, const char* name) {
    if (!out || size <= 0) return;
    int i = 0;
    for (; i < size - 1 && name[i]; ++i) out[i] = name[i];
    out[i] = 0;
}

} // namespace

int findarchiver(char* path, int pathsize, char* name, int namesize) {
    if (pathsize <= 0) return 0;
    for (const ArchiverPlace& archiver : kArchivers) {
        unsigned length =
            platform::registryvalue(archiver.root, archiver.key, archiver.value, path, pathsize);
        if (length > 0 && length < unsigned(pathsize)) {
            copyname(name, namesize, archiver.name);
            return 1;
        }
    }
    path[0] = 0;
    copyname(name, namesize, "");
    return 0;
}
