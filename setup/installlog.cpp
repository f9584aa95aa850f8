// Writing the install log.
#include "setup/installlog.h"

#include "common/stringlists.h"
#include "setup/dialogtexts.h"
#include "startup/pathutils.h"

#include <stdio.h>
#include <string.h>

static const char kLogName[] = "install.log";
static const char kHeader[] = "Brundimar Archive Install Log\r\n:\r\n";
static const char kTrailer[] = ":\r\nEnd.\r\n";
static const char kCountFormat[] = "\r\n%i\r\n:\r\n";
// The count's line: its format with an int of up to 11 characters in place of "%i".
enum { kCountLine = sizeof kCountFormat - 2 + 11 };

// The log's path in out: the destination, one separator and the file name; false when it
// does not fit. The system takes "/" as well as "\\", so the destination keeps its own.
static bool logpath(const char* destination, char* out) {
    size_t length = strlen(destination);
    char last = length > 0 ? destination[length - 1] : 0;
    bool separated = last == '\\' || last == '/';
    if (length + !separated + sizeof kLogName > kInstallLogPath) return false;
    memcpy(out, destination, length);
    if (!separated) out[length++] = '/';
    memcpy(out + length, kLogName, sizeof kLogName);
    return true;
}

static void writetext(FILE* file, const char* text) {
    fwrite(text, 1, strlen(text), file);
}

// One line per entry of list, the last entry first.
static void writeentries(FILE* file, int list, const char* prefix) {
    for (int n = listcount(list); n >= 1; n--) {
        char entry[kInstallLogPath];
        if (listget(list, n - 1, entry, sizeof entry) == 0) continue;
        writetext(file, prefix);
        writetext(file, slashestoback(entry));
        writetext(file, "\r\n");
    }
}

static int entries(int list) {
    int count = listcount(list);
    return count > 0 ? count : 0;
}

int writeinstalllog(const InstallLog* log) {
    char path[kInstallLogPath];
    if (!logpath(log->destination, path)) return 0;
    FILE* file = fopen(path, "wb+");
    if (!file) return 0;
    writetext(file, kHeader);
    writetext(file, log->title);
    writetext(file, "\r\n");
    writetext(file, log->date);
    writetext(file, " ");
    writetext(file, log->time);
    char count[kCountLine];
    writetext(file, formattext(count, sizeof count, kCountFormat,
                               entries(log->filelist) + entries(log->dirlist)));
    writeentries(file, log->filelist, "F+");
    writeentries(file, log->dirlist, "D+");
    writetext(file, kTrailer);
    fclose(file);
    return 1;
}
