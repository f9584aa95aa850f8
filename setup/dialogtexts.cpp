// Texts the setup dialogs compose: labels, captions and the About text.
#include "setup/dialogtexts.h"

#include "platform/textformat.h"
#include "startup/textutil.h"
#include "startup/optionsblock.h"
#include "startup/pathutils.h"
#include "startup/textblock.h"

#include <stdlib.h>
#include <string.h>

const char kMakerAddress[] = "https://www.orvandel.net/";
static_assert(sizeof kMakerAddress <= kMakerAddressLength, "the maker's address fits its link");

// Appends text to out (size bytes) as far as it fits.
static void append(char* out, unsigned size, const char* text) {
    size_t used = strlen(out);
    if (used + 1 >= size) return;
    size_t room = size - 1 - used;
    size_t length = strlen(text);
    if (length > room) length = room;
    memcpy(out + used, text, length);
    out[used + length] = 0;
}

char* filltext(const char* text, const char* value, char* out, unsigned size) {
    out[0] = 0;
    bool filled = false;
    for (const char* p = text; *p; p++) {
        char single[2] = {*p, 0};
        if (p[0] == '%' && p[1] == 's' && !filled) {
            append(out, size, value);
            filled = true;
            p++;
        } else if (p[0] == '%' && p[1] == '%') {
            append(out, size, "%");
            p++;
        } else {
            append(out, size, single);
        }
    }
    return out;
}

void commandlabel(const char* command, char* out, unsigned size) {
    out[0] = 0;
    append(out, size, UiText[kTextAfterExtraction]);
    append(out, size, " ");
    append(out, size, UiText[findnocase(command, ".INF") ? kTextInstallVerb : kTextRunVerb]);
    append(out, size, " ");
    append(out, size, command);
    if (char* bar = strchr(out, '|')) *bar = 0;
    // Removing a token only shortens the label, so it always fits where it is.
    static const char* const kTokens[] = {"><\\", "><", "{P}\\", "{P}"};
    for (const char* token : kTokens) replacetoken(out, token, "", size, false);
}

void makerlink(char* out, unsigned size) {
    formattext(out, size, "%s#%s", UiText[kTextMakerLink], kMakerAddress);
}

void openwithlabel(const char* archiver, char* out, unsigned size) {
    char name[kOpenWithName];
    formattext(name, sizeof name, "%s", archiver);
    filltext(UiText[kTextOpenWithButton], name, out, size);
}

char* composeabout() {
    static const char kBlankLine[] = "\r\n\r\n";
    const SfxOptions* options = sfxoptions;
    const char* own = options->hasabouttext ? options->abouttext : "";
    const char* extra = options->aboutextra ? UiText[kTextAboutExtra] : "";
    size_t size = strlen(own) + strlen(UiText[kTextAbout]) + strlen(extra) +
                  2 * (sizeof kBlankLine - 1) + kAboutMargin;
    char* text = (char*)malloc(size);
    if (!text) return nullptr;
    text[0] = 0;
    if (options->hasabouttext) {
        strcat(text, own);
        strcat(text, kBlankLine);
    }
    strcat(text, UiText[kTextAbout]);
    if (options->aboutextra) {
        strcat(text, kBlankLine);
        strcat(text, extra);
    }
    return text;
}

void questioncaption(const char* path, char* out, unsigned size) {
    char name[kQuestionCaption];
    formattext(name, sizeof name, "%s", path);
    lastcomponent(name, name);
    formattext(out, size, "%s%s", name, UiText[kTextAlreadyExists]);
}

void passwordcaption(const char* member, char* out, unsigned size) {
    filltext(UiText[kTextPasswordPrompt], member, out, size);
}
