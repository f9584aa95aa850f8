// The stub's entry point and run sequence. Only Windows code here.
//
// The process passes once through: texts loaded from the package, common controls and the
// link class ready, the options read and changed by the command line's switches, the banner
// shown when wanted, the main dialog run modally (it runs the whole setup), temporary files
// deleted, everything released. Every failure before the dialog, and the usage message,
// shows its own message box (no owner) and ends the process with exit code 1; every path
// leaves through the same release. The stub has no C runtime start-up code: sfxentry is
// the image's entry point and msvcrt.dll initialises itself.
#include "stub/sfxmain.h"

#include "common/stringlists.h"
#include "engine/enginestate.h"
#include "platform/files.h"
#include "platform/system.h"
#include "platform/win32/widetext.h"
#include "resources/resource.h"
#include "setup/win32/hyperlink.h"
#include "setup/win32/maindialog.h"
#include "startup/commandline.h"
#include "startup/foldermacros.h"
#include "startup/optionsblock.h"
#include "startup/pathutils.h"
#include "startup/textblock.h"
#include "stub/banner.h"

#include <windows.h>
#include <commctrl.h>

#include <stdlib.h>

static_assert(int(kPasswordBuffer) == int(kSwitchValueLength) + 1,
              "a password given with /p is kept whole");

static void starterror(int text) {
    platform::messagebox(UiText[text], UiText[kTextErrorCaption], MB_ICONERROR);
}

void releasesetup() {
    unregisterlinkclass();
    free(ownpath);
    ownpath = nullptr;
    releasesfxoptions(sfxoptions);
    sfxoptions = nullptr;
    freeuitexts();
}

void enginestartup() {
    initengine();
}

// Allocates ownpath and the options record with its four empty texts.
static bool allocatesetup() {
    ownpath = (char*)calloc(kLongPathBuffer, 1);
    sfxoptions = ownpath ? makesfxoptions() : nullptr;
    return sfxoptions != nullptr;
}

static void showusage(const char* caption) {
    char* text = (char*)malloc(kUsageBuffer);
    if (!text) return;
    platform::messagebox(formatusage(text, kUsageBuffer, ownpath, UiText), caption,
                         MB_ICONINFORMATION);
    free(text);
}

// Applies the command line's switches to options and password (kPasswordBuffer bytes); 0
// when the setup ends here, after the usage message or an out-of-memory error was shown.
static int parsecommandline(char* tail, SfxOptions* options, char* password) {
    switch (applycommandline(tail, options, password, kPasswordBuffer)) {
    case kCommandLineGoOn:
        return 1;
    case kCommandLineUsage:
        showusage(options->title);
        return 0;
    case kCommandLineNoMemory:
        break;
    }
    starterror(kTextOutOfMemory);
    return 0;
}

// Everything the setup needs before its dialog: controls, the link class, the rich edit
// library, the options with the default folder's macros expanded and the command line
// applied (its password into password). Shows the message of a failure; releasesetup undoes
// what was made.
static bool preparesetup(char* tail, char* password) {
    INITCOMMONCONTROLSEX progressbar = {sizeof progressbar, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&progressbar);
    if (!registerlinkclass() || !LoadLibraryA("RICHED32.DLL")) {
        starterror(kTextFatalError);
        return false;
    }
    if (!allocatesetup()) {
        starterror(kTextOutOfMemory);
        return false;
    }
    if (!readoptionsblock()) return false;
    expandfoldermacros(sfxoptions->destfolder);
    return parsecommandline(tail, sfxoptions, password);
}

// Deletes the temporary files registered in templist, the last registered first.
static void deletetempfiles(int templist) {
    for (int i = listcount(templist); i >= 1; i--) {
        char path[kLongPathBuffer];
        if (listget(templist, i - 1, path, sizeof path) >= 1)
            platform::removefile(slashestoback(path));
    }
}

// The banner goes behind the dialogs when the package asks for one, except during an
// automatic run whose progress is hidden: nothing else of the setup is seen then.
static HWND showbanner(HINSTANCE instance) {
    const SfxOptions* options = sfxoptions;
    bool wanted = options->showbanner && (options->showprogress || !options->autoextract);
    if (!wanted || !registerbannerclass(instance)) return nullptr;
    return createbanner(instance, options->title);
}

// One exit path: whatever step failed, what was made is released here.
int sfxmain(void* instance, char* tail) {
    if (!loadtextblock()) return 1;
    int completed = 0;
    HWND banner = nullptr;
    char password[kPasswordBuffer] = {}; // until "/p" gives one
    if (preparesetup(tail, password)) {
        banner = showbanner((HINSTANCE)instance);
        enginestartup();
        listinit();
        int templist = listcreate();
        completed = runmaindialog(banner ? banner : GetDesktopWindow(), templist, password);
        deletetempfiles(templist);
    }
    listfreeall();
    releasesetup();
    if (banner) DestroyWindow(banner);
    return completed ? 0 : 1;
}

// The command line is read in UTF-16, so that "/d" and every other value keep any character,
// and held in UTF-8 as every text of the program.
extern "C" __attribute__((force_align_arg_pointer)) void sfxentry() {
    const wchar_t* wide = GetCommandLineW();
    unsigned size = (unsigned)wcslen(wide) * kTextGrowth + 1;
    char* line = (char*)malloc(size);
    if (line) platform::toutf8(wide, line, size);
    int code = sfxmain(GetModuleHandleW(nullptr), skipprogramname(line ? line : (char*)""));
    free(line);
    ExitProcess(code);
}
