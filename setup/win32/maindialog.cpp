// The main setup dialog. Only Windows code here.
//
// The dialog owns the setup: its procedure keeps the SetupState of the setup in DWLP_USER
// and hands each message to a small handler. Initialisation sets the package's texts,
// hides what the package does not offer and lays the rest out again (setup/dialoglayout),
// fills the file lists from the archive's central directory, asks the start-up question and,
// for an automatic package, presses Extract itself. Extract runs the whole extraction inside
// the command (setup/extraction); a run that succeeded writes the install log and ends the
// dialog with 1 after the after-extraction command (setup/runcommand), a cancelled one removes
// what it made (setup/cleanup) and ends it with 0, and a failed one leaves the dialog open in
// its failed state, where only Cancel, Help and About still act. An automatic run that
// fails ends the dialog with 0 once its message is closed, so no hidden window is left.
#include "setup/win32/maindialog.h"

#include "common/stringlists.h"
#include "engine/nametext.h"
#include "platform/win32/widetext.h"
#include "platform/clock.h"
#include "resources/resource.h"
#include "setup/archivelist.h"
#include "setup/cleanup.h"
#include "setup/dialoglayout.h"
#include "setup/dialogtexts.h"
#include "setup/win32/extraction.h"
#include "setup/win32/folderchoice.h"
#include "setup/win32/hyperlink.h"
#include "setup/installlog.h"
#include "setup/win32/legalpage.h"
#include "setup/win32/runcommand.h"
#include "setup/win32/setupstate.h"
#include "setup/win32/windowutil.h"
#include "startup/archiver.h"
#include "startup/optionsblock.h"
#include "startup/textblock.h"

#include <richedit.h>
#include <stdlib.h>

// Controls whose text is one of the package's texts. Ids and text numbers are 16 bits wide
// (a value that did not fit would be a narrowing error of the table).
struct ControlText {
    unsigned short control;
    unsigned short text;
};
static const ControlText kControlTexts[] = {
    {IDC_EXTRACT, kTextExtractButton},    {IDC_CANCEL, kTextCancelButton},
    {IDC_HELPBUTTON, kTextHelpButton},    {IDC_ABOUT, kTextAboutButton},
    {IDC_FOLDERLABEL, kTextFolderLabel},  {IDC_FILESLABEL, kTextFilesLabel},
    {IDC_MODEGROUP, kTextOverwriteGroup}, {IDC_MODE_CONFIRM, kTextModeConfirm},
    {IDC_MODE_SKIP, kTextModeSkip},       {IDC_MODE_OVERWRITE, kTextModeOverwrite},
};

// The overwrite group: its frame and its three buttons move together.
static const int kModeControls[] = {IDC_MODEGROUP, IDC_MODE_CONFIRM, IDC_MODE_OVERWRITE,
                                    IDC_MODE_SKIP};

// The file lists and their label, which the description panel replaces.
static const int kListControls[] = {IDC_FILELIST_DISPLAY, IDC_FILELIST_CHOICE, IDC_FILESLABEL};

// Controls that stay disabled in the failed state: nothing can be extracted again.
static const int kFailedDisabled[] = {IDC_EXTRACT,      IDC_FOLDER,      IDC_MODEGROUP,
                                      IDC_MODE_CONFIRM, IDC_MODE_SKIP,   IDC_MODE_OVERWRITE,
                                      IDC_BROWSE,       IDC_FOLDERLABEL, IDC_RUNCOMMAND};

enum { kLegalMenuLength = 16 };
static const wchar_t kLegalMenuItem[] = L"&Legal...";
static_assert(sizeof kLegalMenuItem / sizeof *kLegalMenuItem <= kLegalMenuLength,
              "the menu item fits");

static Box controlbox(HWND window, int id) {
    RECT rect;
    GetWindowRect(GetDlgItem(window, id), &rect);
    MapWindowPoints(nullptr, window, (POINT*)&rect, 2);
    return {rect.left, rect.top, rect.right, rect.bottom};
}

static void movecontrol(HWND window, int id, int dy) {
    Box box = controlbox(window, id);
    SetWindowPos(GetDlgItem(window, id), nullptr, box.left, box.top + dy, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

static void stretchto(HWND window, int id, int bottom) {
    Box box = controlbox(window, id);
    SetWindowPos(GetDlgItem(window, id), nullptr, 0, 0, box.right - box.left, bottom - box.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

static void addsystemmenu(HWND window) {
    HMENU menu = GetSystemMenu(window, FALSE);
    char about[kShortPathBuffer];
    formattext(about, sizeof about, "%s...", UiText[kTextAboutButton]);
    wchar_t wide[kShortPathBuffer];
    platform::towide(about, wide, kShortPathBuffer);
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, IDM_ABOUT, wide);
    AppendMenuW(menu, MF_STRING, IDM_LEGAL, kLegalMenuItem);
}

static void settexts(HWND window) {
    settext(window, sfxoptions->title);
    for (const ControlText& item : kControlTexts)
        setitemtext(window, item.control, UiText[item.text]);
    char text[kOpenWithLabel];
    makerlink(text, sizeof text);
    setitemtext(window, IDC_MAKERLINK, text);
    char path[kArchiverPath], name[kArchiverName];
    findarchiver(path, sizeof path, name, sizeof name);
    openwithlabel(name, text, sizeof text);
    setitemtext(window, IDC_OPENWITH, text);
}

static void setruncheck(HWND window) {
    const SfxOptions* options = sfxoptions;
    if (!options->hascommand) return;
    if (options->commandoptional) EnableWindow(GetDlgItem(window, IDC_RUNCOMMAND), TRUE);
    char label[kCommandLabel];
    commandlabel(options->command, label, sizeof label);
    setitemtext(window, IDC_RUNCOMMAND, label);
    CheckDlgButton(window, IDC_RUNCOMMAND, BST_CHECKED);
}

// The description panel in place of the list, or the list that fits the package.
static void setcontent(HWND window) {
    const SfxOptions* options = sfxoptions;
    if (options->infopanel) {
        for (int id : kListControls) showcontrol(window, id, false);
        showcontrol(window, IDC_INFOTEXT, true);
        SendDlgItemMessageW(window, IDC_INFOTEXT, EM_SETBKGNDCOLOR, 0, GetSysColor(COLOR_BTNFACE));
        const char* text = options->hasinfotext      ? options->infotext
                           : options->startprompt[0] ? options->startprompt
                                                     : UiText[kTextAbout];
        setitemtext(window, IDC_INFOTEXT, text);
        return;
    }
    showcontrol(window, IDC_FILELIST_CHOICE, options->selectfiles);
    showcontrol(window, IDC_FILELIST_DISPLAY, !options->selectfiles);
}

static void checkmode(HWND window) {
    switch (sfxoptions->overwritemode) {
    case kOverwriteAsk:
        CheckDlgButton(window, IDC_MODE_CONFIRM, BST_CHECKED);
        break;
    case kOverwriteAlways:
        CheckDlgButton(window, IDC_MODE_OVERWRITE, BST_CHECKED);
        break;
    case kOverwriteNever:
        CheckDlgButton(window, IDC_MODE_SKIP, BST_CHECKED);
        break;
    }
}

// Hides what the package does not offer and lets the rest take the room.
static void applyhiderules(HWND window) {
    const SfxOptions* options = sfxoptions;
    if (!options->commandoptional) showcontrol(window, IDC_RUNCOMMAND, false);
    if (!options->showoverwrite)
        for (int id : kModeControls) showcontrol(window, id, false);
    char archiver[kArchiverPath];
    bool openwith = !options->noopenwith && findarchiver(archiver, sizeof archiver, nullptr, 0);
    showcontrol(window, IDC_OPENWITH, openwith);

    MainLayoutInput input = {controlbox(window, IDC_RUNCOMMAND), controlbox(window, IDC_MODEGROUP),
                             options->commandoptional, options->showoverwrite,
                             dialogpixels(window, 0, kContentGapUnits).cy};
    MainLayout layout = mainlayout(input);
    if (layout.groupshift)
        for (int id : kModeControls) movecontrol(window, id, layout.groupshift);
    if (!layout.stretch) return;
    if (options->infopanel) {
        stretchto(window, IDC_INFOTEXT, layout.contentbottom);
    } else {
        stretchto(window, IDC_FILELIST_DISPLAY, layout.contentbottom);
        stretchto(window, IDC_FILELIST_CHOICE, layout.contentbottom);
    }
}

static void initmaindialog(HWND window) {
    centerwindow(window);
    addsystemmenu(window);
    settexts(window);
    setruncheck(window);
    setitemtext(window, IDC_FOLDER, sfxoptions->destfolder);
    setcontent(window);
    checkmode(window);
    applyhiderules(window);
}

// Where the list fill puts what it reads: the dialog, its two lists, and the display list's
// item it added last (-1 for none yet).
struct ListTarget {
    HWND window;
    HWND display, choice;
    int place;
};

// A name of the lists in UTF-16: a name text of kNameText bytes has at most as many units.
enum { kListItem = kNameText };

// Copies item `place` of a list into item (kListItem units); false when there is none or it
// does not fit.
static bool listitem(HWND list, int place, wchar_t* item) {
    LRESULT length = SendMessageW(list, LB_GETTEXTLEN, place, 0);
    return length >= 0 && length < kListItem &&
           SendMessageW(list, LB_GETTEXT, place, (LPARAM)item) == length;
}

// Whether a name sorts between item `place` of a sorted list and the one behind it, as the
// list compares (case ignored, in the user's locale).
static bool sortsbehind(HWND list, int place, const wchar_t* name) {
    wchar_t item[kListItem];
    if (place < 0 || !listitem(list, place, item) ||
        CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, item, -1, name, -1) ==
            CSTR_GREATER_THAN)
        return false;
    if (place + 1 >= SendMessageW(list, LB_GETCOUNT, 0, 0)) return true;
    return listitem(list, place + 1, item) &&
           CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, name, -1, item, -1) !=
               CSTR_GREATER_THAN;
}

// Both lists sort their items, a search of a dozen whole-path comparisons per item added.
// An archive mostly stores a name close behind the one before it in the lists' order, so a
// name that sorts right behind the item added last is put there with two comparisons; any
// other is added sorted to the display list. Both lists hold the same items, so the name's
// place in the display list is its place in the choice list too.
static void additem(void* context, const char* text) {
    ListTarget* target = (ListTarget*)context;
    wchar_t name[kListItem];
    platform::towide(text, name, kListItem);
    UINT message =
        sortsbehind(target->display, target->place, name) ? LB_INSERTSTRING : LB_ADDSTRING;
    // Adding ignores the position; a failed add (no place) leaves the choice list to sort.
    int place = (int)SendMessageW(target->display, message, target->place + 1, (LPARAM)name);
    SendMessageW(target->choice, place >= 0 ? LB_INSERTSTRING : LB_ADDSTRING, place, (LPARAM)name);
    target->place = place;
}

static void showcomment(void* context, const char* comment) {
    HWND window = ((ListTarget*)context)->window;
    HWND owner = GetParent(window) ? GetParent(window) : window;
    showmessage(owner, comment, sfxoptions->title, MB_ICONINFORMATION);
}

static void setlistredraw(const ListTarget& target, BOOL redraw) {
    SendMessageW(target.display, WM_SETREDRAW, redraw, 0);
    SendMessageW(target.choice, WM_SETREDRAW, redraw, 0);
}

// Fills lists 302 and 301 from the archive's central directory; false after an error box.
static bool filllists(HWND window, SetupState* state) {
    ListTarget target = {window, GetDlgItem(window, IDC_FILELIST_DISPLAY),
                         GetDlgItem(window, IDC_FILELIST_CHOICE), -1};
    ListFill fill = {};
    fill.context = &target;
    fill.wantcomment = sfxoptions->showcomment;
    fill.comment = showcomment;
    fill.additem = additem;
    // With their redrawing off, the lists neither repaint nor resize their scroll bars for
    // each item (the window system's round trips), only once at the end.
    setlistredraw(target, FALSE);
    int result = readarchivelistfile(ownpath, &fill);
    setlistredraw(target, TRUE);
    state->bytestotal = fill.bytestotal;
    if (result == kListRead) return true;
    if (result == kListNoMemory)
        showmessage(window, UiText[kTextOutOfMemory], sfxoptions->title, MB_ICONERROR);
    showmessage(window, UiText[kTextReadError], sfxoptions->title, MB_ICONERROR);
    return false;
}

// The start-up question; false when the user declined the setup.
static bool askstartprompt(HWND window) {
    const SfxOptions* options = sfxoptions;
    if (!options->hasstartprompt) return true;
    int answer =
        showmessage(GetParent(window), options->startprompt, options->title, options->promptstyle);
    return answer != IDNO && answer != IDCANCEL;
}

static INT_PTR oninitdialog(HWND window, SetupState* state) {
    keeprecord(window, state);
    state->maindialog = window;
    initmaindialog(window);
    if (!filllists(window, state)) {
        EndDialog(window, 0);
        return FALSE;
    }
    SendDlgItemMessageW(window, IDC_FILELIST_CHOICE, LB_SETSEL, TRUE, -1);
    state->dirlist = listcreate();
    state->filelist = listcreate();
    state->newfilelist = listcreate();
    if (!askstartprompt(window)) {
        EndDialog(window, 0);
        return FALSE;
    }
    if (sfxoptions->autoextract) {
        SendMessageW(window, WM_COMMAND, IDC_EXTRACT, 0);
        ShowWindow(window, SW_HIDE);
    }
    return TRUE;
}

static void writelog(SetupState* state) {
    char date[kShortPathBuffer], time[kShortPathBuffer];
    platform::localdatetime(date, sizeof date, time, sizeof time);
    InstallLog log = {state->destination, sfxoptions->title, date, time,
                      state->filelist,    state->dirlist};
    writeinstalllog(&log);
}

static void removerun(const SetupState* state) {
    removeextracted(state->destination, state->newfilelist, state->dirlist);
}

// The command runs when the package has one and it is not optional or the user left its
// box ticked.
static bool commandwanted(HWND window) {
    const SfxOptions* options = sfxoptions;
    return options->hascommand &&
           (!options->commandoptional || IsDlgButtonChecked(window, IDC_RUNCOMMAND) == BST_CHECKED);
}

// What follows a successful run: the log, the message, the command and the clean-up after it.
static void finishsetup(HWND window, SetupState* state) {
    const SfxOptions* options = sfxoptions;
    if (options->writelog) writelog(state);
    if (options->showdone)
        showmessage(window, UiText[kTextCompleted], options->title, MB_ICONINFORMATION);
    if (!commandwanted(window)) return;
    runcommand(state, options->command);
    if (options->cleanafter) removerun(state);
}

// After a failed run only Cancel, Help and About act; list 301 shows what is left.
static void enterfailedstate(HWND window) {
    EnumChildWindows(window, enablechild, TRUE);
    showcontrol(window, IDC_FILELIST_CHOICE, true);
    showcontrol(window, IDC_FILESLABEL, true);
    showcontrol(window, IDC_FILELIST_DISPLAY, false);
    showcontrol(window, IDC_INFOTEXT, false);
    for (int id : kFailedDisabled) EnableWindow(GetDlgItem(window, id), FALSE);
    SendMessageW(window, WM_NEXTDLGCTL, (WPARAM)GetDlgItem(window, IDC_CANCEL), TRUE);
}

static void onextract(HWND window, SetupState* state) {
    EnumChildWindows(window, enablechild, FALSE);
    if (runextraction(state)) {
        finishsetup(window, state);
        EndDialog(window, 1);
    } else if (state->cancel) {
        ShowWindow(window, SW_HIDE);
        removerun(state);
        EndDialog(window, 0);
    } else {
        enterfailedstate(window);
        if (sfxoptions->autoextract) EndDialog(window, 0);
    }
}

static void showabout(HWND window) {
    char* text = composeabout();
    if (!text) {
        showmessage(window, UiText[kTextAbout], UiText[kTextAboutCaption],
                    MB_ICONINFORMATION | MB_YESNO);
        return;
    }
    showmessage(window, text, UiText[kTextAboutCaption], MB_ICONINFORMATION);
    free(text);
}

// Hands the package to the installed archiver; the setup ends with 1 once it started.
static void openwitharchiver(HWND window) {
    char archiver[kArchiverPath];
    if (!findarchiver(archiver, sizeof archiver, nullptr, 0)) return;
    char quoted[kLongPathBuffer + 2]; // ownpath in double quotes
    formattext(quoted, sizeof quoted, "\"%s\"", ownpath);
    if (shellopen(window, "open", archiver, quoted, ".", SW_SHOWDEFAULT))
        EndDialog(window, 1);
    else
        showmessage(window, UiText[kTextLaunchFailed], sfxoptions->title, MB_ICONERROR);
}

static INT_PTR oncommand(HWND window, int id) {
    SetupState* state = recordof<SetupState>(window);
    switch (id) {
    case IDC_EXTRACT:
        // Only an enabled Extract starts a run: after a failed run it stays disabled.
        if (!state->running && IsWindowEnabled(GetDlgItem(window, IDC_EXTRACT)))
            onextract(window, state);
        return TRUE;
    case IDC_CANCEL:
        // The close box and Escape wait for a run to end; the progress dialog cancels it.
        if (!state->running) EndDialog(window, 0);
        return TRUE;
    case IDC_HELPBUTTON:
        showmessage(window, UiText[kTextHelp], UiText[kTextHelpCaption], MB_ICONINFORMATION);
        return TRUE;
    case IDC_ABOUT:
        showabout(window);
        return TRUE;
    case IDC_OPENWITH:
        openwitharchiver(window);
        return TRUE;
    case IDC_BROWSE:
        choosefolder(window);
        return TRUE;
    }
    return FALSE;
}

static INT_PTR CALLBACK maindialogproc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_INITDIALOG:
        return oninitdialog(window, (SetupState*)lparam);
    case WM_COMMAND:
        return oncommand(window, LOWORD(wparam));
    case WM_SYSCOMMAND:
        if (wparam == IDM_ABOUT) SendMessageW(window, WM_COMMAND, IDC_ABOUT, 0);
        if (wparam == IDM_LEGAL) showlegalpage(recordof<SetupState>(window)->templist);
        return FALSE;
    case kLinkActivated:
        if (wparam == IDC_LEGALLINK) showlegalpage(recordof<SetupState>(window)->templist);
        return TRUE;
    }
    return FALSE;
}

int runmaindialog(HWND owner, int templist, const char* password) {
    SetupState state = {};
    state.templist = templist;
    state.password = password;
    INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), L"MAINDIALOG", owner,
                                     maindialogproc, (LPARAM)&state);
    // -1: the dialog could not be made at all, which is no completed setup either.
    return result > 0;
}
