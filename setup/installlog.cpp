// Writing the install log.
#include "setup/installlog.h"

#include "common/stringlists.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "setup/dialogtexts.h"
#include "startup/pathutils.h"

#include <stdlib.h>
#include <string.h>

static const char kLogName[] = "install.log";
static const char kHeader[] = "Brundimar Archive Install Log\r\n:\r\n";
static const char kTrailer[] = ":\r\nEnd.\r\n";
static const char kCountFormat[] = "\r\n%i\r\n:\r\n";
static const char kByteOrderMark[] = "\xEF\xBB\xBF";
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

// The log's text as it is composed, in UTF-8, in a heap block that grows.
struct LogText {
    char* text;
    size_t length, size;
    bool nomemory;
};

static void append(LogText* log, const char* text) {
    size_t n = strlen(text);
    if (log->nomemory) return;
    if (log->length + n + 1 > log->size) {
        size_t size = (log->length + n + 1) * 2;
        char* grown = (char*)realloc(log->text, size);
        if (!grown) {
            log->nomemory = true;
            return;
        }
        log->text = grown;
        log->size = size;
    }
    memcpy(log->text + log->length, text, n + 1);
    log->length += n;
}

// One line per entry of list, the last entry first.
static void appendentries(LogText* log, int list, const char* prefix) {
    for (int n = listcount(list); n >= 1; n--) {
        char entry[kInstallLogPath];
        if (listget(list, n - 1, entry, sizeof entry) == 0) continue;
        append(log, prefix);
        append(log, slashestoback(entry));
        append(log, "\r\n");
    }
}

static int entries(int list) {
    int count = listcount(list);
    return count > 0 ? count : 0;
}

static void compose(const InstallLog* log, LogText* text) {
    append(text, kHeader);
    append(text, log->title);
    append(text, "\r\n");
    append(text, log->date);
    append(text, " ");
    append(text, log->time);
    char count[kCountLine];
    append(text, formattext(count, sizeof count, kCountFormat,
                            entries(log->filelist) + entries(log->dirlist)));
    appendentries(text, log->filelist, "F+");
    appendentries(text, log->dirlist, "D+");
    append(text, kTrailer);
}

// Writes bytes as the whole file at path, replacing what stood there.
static bool replacefile(const char* path, const char* bytes, size_t n, const char* before) {
    platform::removefile(path);
    platform::File* file = platform::createwrite(path);
    if (!file) return false;
    if (before) platform::writefile(file, before, (unsigned)strlen(before));
    platform::writefile(file, bytes, (unsigned)n);
    platform::closefile(file);
    return true;
}

int writeinstalllog(const InstallLog* log) {
    char path[kInstallLogPath];
    if (!logpath(log->destination, path)) return 0;
    LogText text = {};
    compose(log, &text);
    // An ANSI form is never longer than the UTF-8 it comes from.
    char* ansi = text.nomemory ? nullptr : (char*)malloc(text.length + 1);
    bool written = false;
    if (ansi && platform::texttoansi(text.text, ansi, (unsigned)text.length + 1))
        written = replacefile(path, ansi, strlen(ansi), nullptr);
    else if (ansi)
        written = replacefile(path, text.text, text.length, kByteOrderMark);
    free(ansi);
    free(text.text);
    return written;
}
