// Splitting the process command line into the program name and the switches behind it,
// applying the switches to the setup options, and the usage message.
//
// The tail is split in one pass: a blank in front of a switch character becomes the NUL
// that ends an argument, and a 0x01 byte becomes a blank. The other blanks are left as they
// are, which is the same as marking them and turning every mark (and every 0x01 that was
// already there) back into a blank afterwards. Every blank in front of a switch character
// is split, also after the table is full, so that "/#" can find the end of the tail and
// rejoin what lies behind it.
#include "startup/commandline.h"

#include "common/ascii.h"
#include "common/pathlimits.h"
#include "platform/textformat.h"
#include "platform/utf8.h"
#include "startup/optionsblock.h"
#include "startup/pathutils.h"
#include "startup/textblock.h"

#include <stdlib.h>
#include <string.h>

static_assert(kArgumentTable >= 1, "the tail's first argument always has its entry");
static_assert(kSwitchValueLength + 1 == sizeof(SfxOptions::destfolder),
              "a \"/d\" value fills the destination folder with its NUL");

// The usage message's layout; the package's texts and the program's name fill its places.
static const char kUsageFormat[] = "%s\n\n%s:\n\n"
                                   "%s [ /a ] [ /q | /o | /n ] [ /s ] [ /x ] [ /d dir ]\n\n"
                                   "/a - %s\n/x - %s\n/s - %s\n\n"
                                   "%s\n\n/q - %s\n/o - %s\n/n - %s\n\n"
                                   "/d dir - %s";
static_assert(sizeof kUsageFormat + kLongPathBuffer <= kUsageBuffer,
              "the layout and the program's name always fit; only the package's texts are cut");

char* skipprogramname(char* line) {
    char* p = line;
    if (*p == '"') {
        char* close = p + 1;
        while (*close && *close != '"') close++;
        if (!*close) return line;
        p = close + 1;
    } else {
        while (*p && *p != ' ') p++;
    }
    while (*p == ' ') p++;
    return p;
}

static bool isswitchchar(char c) {
    return c == '/' || c == '-' || c == '\\';
}

// Splits tail into arguments, recording at most kArgumentTable of them. Returns how many
// were recorded and sets *end to the tail's terminating NUL.
static int splitarguments(char* tail, char* arguments[kArgumentTable], char** end) {
    int count = 0;
    arguments[count++] = tail;
    char* p = tail;
    for (; *p; p++) {
        if (*p == '\x01') {
            *p = ' ';
        } else if (*p == ' ' && isswitchchar(p[1])) {
            *p = 0;
            if (count < kArgumentTable) arguments[count++] = p + 1;
        }
    }
    *end = p;
    return count;
}

// The value of "/d", "/p" and "/#" in argument (which has at least two characters).
static char* switchvalue(char* argument) {
    char* value = argument + 2;
    return *value == ' ' || *value == ':' ? value + 1 : value;
}

// Copies at most kSwitchValueLength bytes of value into out (size bytes), never part of a
// character, and ends it with a NUL.
static void copyvalue(char* out, size_t size, const char* value) {
    if (size == 0) return;
    if (size > kSwitchValueLength + 1) size = kSwitchValueLength + 1;
    size_t length = strlen(value);
    if (length > size - 1) length = platform::wholecharacters(value, (unsigned)(size - 1));
    memcpy(out, value, length);
    out[length] = 0;
}

// Makes everything from argument to end one argument again and puts its value after the
// command's first '|'. False when the command cannot be grown.
static bool setcommandparameters(SfxOptions* options, char* argument, char* end) {
    for (char* p = argument; p < end; p++)
        if (!*p) *p = ' ';
    const char* value = switchvalue(argument);
    size_t size = strlen(options->command) + strlen(value) + 2;
    char* command = static_cast<char*>(realloc(options->command, size));
    if (!command) return false;
    options->command = command;
    char* bar = strchr(command, '|');
    if (!bar) {
        bar = command + strlen(command);
        *bar = '|';
    }
    strcpy(bar + 1, value);
    return true;
}

static void silentrun(SfxOptions* options, char third) {
    options->autoextract = true;
    options->hasstartprompt = false;
    options->showdone = false;
    options->showcomment = false;
    options->overwritemode = kOverwriteAlways;
    if (third == 's') options->showprogress = false;
}

CommandLineResult applycommandline(char* tail, SfxOptions* options, char* password,
                                   size_t passwordsize) {
    char* arguments[kArgumentTable];
    char* end;
    int count = splitarguments(tail, arguments, &end);
    for (int i = 0; i < count; i++) {
        char* argument = arguments[i];
        if (!isswitchchar(argument[0]) || !argument[1]) continue;
        switch (asciilower(argument[1])) {
        case 'a':
            options->autoextract = true;
            break;
        case 's':
            silentrun(options, argument[2]);
            break;
        case 'x':
            options->hascommand = false;
            options->commandoptional = false;
            break;
        case 'o':
            options->overwritemode = kOverwriteAlways;
            break;
        case 'q':
            options->overwritemode = kOverwriteAsk;
            break;
        case 'n':
            options->overwritemode = kOverwriteNever;
            break;
        case 'd':
            copyvalue(options->destfolder, sizeof options->destfolder, switchvalue(argument));
            break;
        case 'p':
            copyvalue(password, passwordsize, switchvalue(argument));
            break;
        case '?':
        case 'h':
            return kCommandLineUsage;
        case '#':
            return setcommandparameters(options, argument, end) ? kCommandLineGoOn
                                                                : kCommandLineNoMemory;
        }
    }
    return kCommandLineGoOn;
}

char* formatusage(char* out, unsigned size, const char* modulepath, const char* const* texts) {
    // The module path fills at most a long path buffer; of a longer one, its end is kept.
    char name[kLongPathBuffer];
    size_t length = strlen(modulepath);
    const char* from = length < sizeof name ? modulepath : modulepath + length - (sizeof name - 1);
    memcpy(name, from, strlen(from) + 1);
    lastcomponent(name, name);
    for (char* p = name; *p; p++) {
        if (*p == '.') {
            *p = 0;
            break;
        }
        *p = asciilower(*p);
    }
    platform::formattext(out, size, kUsageFormat, texts[kTextAbout], texts[kTextUsage], name,
                         texts[kTextUsageAuto], texts[kTextUsageNoCommand], texts[kTextUsageSilent],
                         texts[kTextUsageOverwriteModes], texts[kTextUsageConfirm],
                         texts[kTextUsageOverwrite], texts[kTextUsageSkip],
                         texts[kTextUsageFolder]);
    return out;
}
