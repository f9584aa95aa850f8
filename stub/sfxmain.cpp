// The stub's entry point and run sequence. Only Windows code here.
//
// The process passes once through: texts loaded from the package, common controls and the
// link class ready, the options read, the main dialog run modally, temporary files deleted,
// everything released. Every failure before the dialog shows its own message box (no
// owner) and ends the process with exit code 1. The stub has no C runtime start-up code:
// sfxentry is the image's entry point and msvcrt.dll initialises itself.
#include "stub/sfxmain.h"

#include "engine/enginestate.h"
#include "resources/resource.h"
#include "setup/hyperlink.h"
#include "setup/maindialog.h"
#include "startup/commandline.h"
#include "startup/optionsblock.h"
#include "startup/pathutils.h"
#include "common/stringlists.h"
#include "startup/textblock.h"

#include <windows.h>
#include <commctrl.h>

#include <stdio.h>
#include <stdlib.h>

static HINSTANCE moduleinstance;
static int templist;

static void starterror(int text) {
    MessageBoxA(nullptr, UiText[text], UiText[kTextErrorCaption], MB_ICONERROR);
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

// Allocates ownpath and the options record with its four empty texts; shows the
// out-of-memory message and releases what was made when any of them fails.
static bool allocatesetup() {
    ownpath = (char*)calloc(kShortPathBuffer, 1);
    sfxoptions = ownpath ? makesfxoptions() : nullptr;
    bool complete = sfxoptions != nullptr;
    if (!complete) {
        starterror(kTextOutOfMemory);
        releasesetup();
    }
    return complete;
}

// Deletes the registered temporary files, the last registered first.
static void deletetempfiles() {
    for (int i = listcount(templist); i >= 1; i--) {
        char path[kLongPathBuffer];
        if (listget(templist, i - 1, path, sizeof path) >= 1) remove(slashestoback(path));
    }
}

int sfxmain(void* instance, void* previous, char* tail, int show) {
    moduleinstance = (HINSTANCE)instance;
    if (!loadtextblock()) return 1;

    InitCommonControls();
    if (!registerlinkclass()) {
        starterror(kTextFatalError);
        return 1;
    }
    if (!LoadLibraryA("RICHED32.DLL")) {
        starterror(kTextFatalError);
        unregisterlinkclass();
        freeuitexts();
        return 1;
    }
    if (!allocatesetup()) return 1;
    if (!readoptionsblock()) {
        releasesetup();
        return 1;
    }

    HWND owner = GetDesktopWindow();
    enginestartup();
    listinit();
    templist = listcreate();
    INT_PTR result = DialogBoxParamA(moduleinstance, "MAINDIALOG", owner, maindialogproc, 0);

    deletetempfiles();
    listfreeall();
    releasesetup();
    // -1 means the dialog could not be created at all: that is no completed setup either.
    return result > 0 ? 0 : 1;
}

extern "C" __attribute__((force_align_arg_pointer)) void sfxentry() {
    char* tail = skipprogramname(GetCommandLineA());
    ExitProcess(sfxmain(GetModuleHandleA(nullptr), nullptr, tail, SW_SHOWNORMAL));
}
