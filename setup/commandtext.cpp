// Preparing the after-extraction command: tokens, the split at '|', verb and working folder.
#include "setup/commandtext.h"

#include "setup/dialogtexts.h"
#include "startup/pathutils.h"
#include "startup/textutil.h"

#include <string.h>

static void copytext(char* out, unsigned size, const char* text) {
    formattext(out, size, "%s", text);
}

// folder in out with '\' separators and a trailing '\' (when it fits).
static void folderwithseparator(const char* folder, char* out) {
    copytext(out, kCommandFolder, folder);
    slashestoback(out);
    endwithbackslash(out, kCommandFolder);
}

// The parent of the current folder with a trailing '\': one trailing '\' is dropped, the
// last component cut off. A folder directly under a drive root gives the root ("C:\").
static void parentwithseparator(const char* current, char* out) {
    copytext(out, kCommandFolder, current);
    size_t length = strlen(out);
    if (length > 0 && out[length - 1] == '\\') out[--length] = 0;
    if (char* last = strrchr(out, '\\')) *last = 0;
    endwithbackslash(out, kCommandFolder);
}

static const char* verbof(const char* file) {
    if (findnocase(file, ".inf")) return "Install";
    if (findnocase(file, ".reg")) return "Merge";
    return nullptr;
}

bool preparecommand(const char* command, const char* destination, const char* currentfolder,
                    const char* modulepath, PreparedCommand* out) {
    char folder[kCommandFolder], current[kCommandFolder], parent[kCommandFolder];
    char programfolder[kCommandFolder];
    folderwithseparator(destination, folder);
    folderwithseparator(currentfolder, current);
    parentwithseparator(currentfolder, parent);
    copytext(programfolder, sizeof programfolder, modulepath);
    char* last = strrchr(programfolder, '\\');
    if (last)
        last[1] = 0;
    else
        programfolder[0] = 0;

    char* text = out->file;
    copytext(text, kCommandBuffer, command);
    struct Token {
        const char* token;
        const char* replacement;
        bool merge;
    };
    const Token tokens[] = {
        {"><", folder, true},   {"{P}", folder, true},           {"..\\", parent, true},
        {".\\", current, true}, {"{S}\\", programfolder, false}, {"{S}", modulepath, false},
    };
    for (const Token& token : tokens)
        if (replacetoken(text, token.token, token.replacement, kCommandBuffer, token.merge) == 0)
            return false;

    out->parameters[0] = 0;
    if (char* bar = strchr(text, '|')) {
        *bar = 0;
        copytext(out->parameters, sizeof out->parameters, bar + 1);
    }
    out->verb = verbof(text);
    copytext(out->folder, sizeof out->folder, folder);
    size_t length = strlen(out->folder);
    if (length > 3) out->folder[length - 1] = 0;
    return true;
}
