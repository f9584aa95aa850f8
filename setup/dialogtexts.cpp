// Texts the setup dialogs compose: labels, captions and the About text.
#include "setup/dialogtexts.h"

#include "platform/codepage.h"
#include "platform/textformat.h"
#include "startup/textutil.h"
#include "startup/optionsblock.h"
#include "startup/pathutils.h"
#include "startup/textblock.h"

#include <stdlib.h>
#include <string.h>

const char kMakerAddress[] = "https://www.orvandel.net/";
static_assert(sizeof kMakerAddress <= kMakerAddressLength, "the maker's address fits its link");

// A text composed into a caller's buffer (size bytes, at least 1): whole characters only,
// and once one does not fit nothing more is added, so a cut text is the beginning of the
// whole one.
struct Composed {
    char* out;
    unsigned size, used;
    bool full;
};

static void append(Composed* text, const char* part, size_t length) {
    if (text->full) return;
    size_t room = text->size - 1 - text->used;
    if (length > room) {
        length = platform::wholecharacters(part, (unsigned)room);
        text->full = true;
    }
    memcpy(text->out + text->used, part, length);
    text->used += (unsigned)length;
    text->out[text->used] = 0;
}

static void append(Composed* text, const char* part) {
    append(text, part, strlen(part));
}

char* filltext(const char* text, const char* value, char* out, unsigned size) {
    Composed composed = {out, size, 0, false};
    out[0] = 0;
    bool filled = false;
    for (const char* p = text; *p;) {
        if (p[0] == '%' && p[1] == 's' && !filled) {
            append(&composed, value);
            filled = true;
            p += 2;
        } else if (p[0] == '%' && p[1] == '%') {
            append(&composed, "%");
            p += 2;
        } else {
            unsigned n = platform::namecharlength(p);
            append(&composed, p, n);
            p += n;
        }
    }
    return out;
}

void commandlabel(const char* command, char* out, unsigned size) {
    Composed composed = {out, size, 0, false};
    out[0] = 0;
    append(&composed, UiText[kTextAfterExtraction]);
    append(&composed, " ");
    append(&composed, UiText[findnocase(command, ".INF") ? kTextInstallVerb : kTextRunVerb]);
    append(&composed, " ");
    append(&composed, command);
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
