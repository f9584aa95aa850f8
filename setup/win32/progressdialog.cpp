// The progress dialog and the overwrite question. Only Windows code here.
//
// One modeless dialog serves both: its template holds the progress controls and, hidden,
// the question's Yes, No and "Don't ask again". The engine runs on the dialog's own thread,
// so the dialog lives only through the engine's callbacks: reportprogress brings it up to
// date and dispatches what is waiting, by time rather than at every block, and askoverwrite
// switches to the question layout and dispatches messages, waiting for each, until Yes or No is
// pressed. The buttons only write the answer code into SetupState; the callbacks read it.
#include "setup/win32/progressdialog.h"

#include "resources/resource.h"
#include "setup/dialogtexts.h"
#include "setup/runreport.h"
#include "setup/win32/windowutil.h"
#include "startup/optionsblock.h"
#include "startup/pathutils.h"
#include "startup/textblock.h"

#include "platform/win32/widetext.h"

#include <commctrl.h>

// The name field compares and shows at most this much of a path, in UTF-16 units.
enum { kNameField = kLongPathBuffer };

// The text buffer's path in the name field, with "\" separators and shortened.
static void shownamefield(HWND dialog, SetupState* state) {
    shortenpath(slashestoback(state->text));
    setitemtext(dialog, IDC_PROGRESS_NAME, state->text);
}

static void showquestionlayout(HWND dialog, bool question) {
    static const int kQuestionControls[] = {IDC_QUESTION_DONTASK, IDC_QUESTION_YES,
                                            IDC_QUESTION_NO};
    for (int id : kQuestionControls) showcontrol(dialog, id, question);
    showcontrol(dialog, IDC_CANCEL, !question);
    showcontrol(dialog, IDC_PROGRESS_BAR, !question);
}

static void layoutprogress(HWND dialog, SetupState* state) {
    showquestionlayout(dialog, false);
    setitemtext(dialog, IDC_PROGRESS_STATUS, UiText[kTextExtracting]);
    setitemtext(dialog, IDC_CANCEL, UiText[kTextCancelButton]);
    setitemtext(dialog, IDC_PROGRESS_PRODUCT, UiText[kTextProductLabel]);
    shownamefield(dialog, state);
    settext(dialog, sfxoptions->title);
    SendDlgItemMessageW(dialog, IDC_PROGRESS_BAR, PBM_SETRANGE, 0, MAKELPARAM(0, kProgressRange));
    SetFocus(GetDlgItem(dialog, IDC_CANCEL));
}

// The question about the existing file in the text buffer. Its caption is composed apart,
// so the buffer keeps the path for the progress layout that follows.
static void layoutquestion(HWND dialog, SetupState* state) {
    showquestionlayout(dialog, true);
    ShowWindow(dialog, SW_SHOW);
    setitemtext(dialog, IDC_PROGRESS_STATUS, UiText[kTextOverwriteQuestion]);
    setitemtext(dialog, IDC_QUESTION_DONTASK, UiText[kTextDontAskAgain]);
    setitemtext(dialog, IDC_QUESTION_YES, UiText[kTextYesButton]);
    setitemtext(dialog, IDC_QUESTION_NO, UiText[kTextNoButton]);
    char caption[kQuestionCaption];
    questioncaption(state->text, caption, sizeof caption);
    shownamefield(dialog, state);
    settext(dialog, caption);
    SetFocus(GetDlgItem(dialog, IDC_QUESTION_YES));
}

static void layout(HWND dialog, SetupState* state) {
    centerwindow(dialog);
    if (state->promptmode == kPromptQuestion)
        layoutquestion(dialog, state);
    else
        layoutprogress(dialog, state);
}

// An answered question leaves the dialog as the package wants it during the run.
static void answer(HWND dialog, SetupState* state, int code) {
    if (IsDlgButtonChecked(dialog, IDC_QUESTION_DONTASK) == BST_CHECKED) code += kAnswerRemember;
    state->answer = code;
    if (!sfxoptions->showprogress) ShowWindow(dialog, SW_HIDE);
}

// Cancel, Escape and the close box. During the question they answer No for that file and
// leave the run and its Cancel button as they were.
static void oncancel(HWND dialog, SetupState* state) {
    if (state->promptmode == kPromptQuestion) {
        answer(dialog, state, kAnswerNo);
        return;
    }
    state->answer = kAnswerCancelRun;
    EnableWindow(GetDlgItem(dialog, IDC_CANCEL), FALSE);
    setitemtext(dialog, IDC_PROGRESS_STATUS, UiText[kTextAborting]);
    if (!sfxoptions->showprogress) ShowWindow(dialog, SW_HIDE);
}

static INT_PTR oncommand(HWND dialog, int id) {
    SetupState* state = recordof<SetupState>(dialog);
    switch (id) {
    case IDC_CANCEL:
        oncancel(dialog, state);
        return TRUE;
    case IDC_QUESTION_YES:
        answer(dialog, state, kAnswerYes);
        return TRUE;
    case IDC_QUESTION_NO:
        answer(dialog, state, kAnswerNo);
        return TRUE;
    }
    return FALSE;
}

static INT_PTR CALLBACK progressdialogproc(HWND dialog, UINT message, WPARAM wparam,
                                           LPARAM lparam) {
    switch (message) {
    case WM_INITDIALOG:
        keeprecord(dialog, (SetupState*)lparam);
        layout(dialog, (SetupState*)lparam);
        return FALSE; // the layout has set the focus
    case WM_COMMAND:
        return oncommand(dialog, LOWORD(wparam));
    }
    return FALSE;
}

bool openprogressdialog(SetupState* state) {
    state->promptmode = kPromptProgress;
    state->progressdialog =
        CreateDialogParamW(GetModuleHandleW(nullptr), L"EXTRACTING", state->maindialog,
                           progressdialogproc, (LPARAM)state);
    state->progressbar = GetDlgItem(state->progressdialog, IDC_PROGRESS_BAR);
    // Painted at once: the engine starts right away and lets messages through only between
    // blocks (or during its questions).
    if (state->progressdialog && sfxoptions->showprogress) {
        ShowWindow(state->progressdialog, SW_SHOW);
        redrawnow(state->progressdialog);
    }
    return state->progressdialog != nullptr;
}

void closeprogressdialog(SetupState* state) {
    if (state->progressdialog) DestroyWindow(state->progressdialog);
    state->progressdialog = nullptr;
}

// Shows the name of the member being extracted in a shown dialog: setting an edit field's
// text is costly (the field lays the text out anew). An unchanged name is not set again,
// which also keeps the field from flickering.
static void showname(HWND dialog, SetupState* state, const char* name) {
    formattext(state->text, sizeof state->text, "%s", name);
    shortenpath(slashestoback(state->text));
    wchar_t shown[kNameField], candidate[kNameField];
    GetDlgItemTextW(dialog, IDC_PROGRESS_NAME, shown, kNameField);
    platform::towide(state->text, candidate, kNameField);
    if (lstrcmpiW(candidate, shown) != 0) SetDlgItemTextW(dialog, IDC_PROGRESS_NAME, candidate);
}

// The bar and the name field as the run stands now.
static void showstate(SetupState* state) {
    SendMessageW(state->progressbar, PBM_SETPOS,
                 progressposition(state->bytesdone, state->bytestotal), 0);
    if (sfxoptions->showprogress && state->currentname)
        showname(state->progressdialog, state, state->currentname);
}

// The engine reports after every output block, thousands of times a second, and each
// update of the window is a round trip to the window system with a repaint (more than the
// extraction of the block costs), so the window is brought up to date by time: at the first
// report of a run, then once kProgressInterval has passed and the wait since the last
// update is at least kUpdateShare times what that update took. Where updates are cheap the
// window follows 25 times a second; where they are not (a slow or remote display, an
// emulated system) they still take at most a twentieth of the run. Cancel is answered at each
// update, so within kProgressIntervalLongest at worst. Before a question and at the end of
// the run the window shows the last state, whatever the time.
enum {
    kProgressInterval = 40,         // milliseconds between two updates at least
    kProgressIntervalLongest = 500, // and at most
    kUpdateShare = 20,
};

// Milliseconds on the high-resolution clock (the tick count moves in steps of 16 ms on
// Windows, longer than an update takes). Its frequency is fixed at boot, so it is asked once.
static double milliseconds() {
    static double ticksperms;
    if (ticksperms == 0) {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        ticksperms = double(frequency.QuadPart) / 1000;
    }
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return double(now.QuadPart) / ticksperms;
}

int reportprogress(void* context, const char* name, unsigned long long bytesdone) {
    SetupState* state = (SetupState*)context;
    state->currentname = name;
    state->bytesdone = bytesdone;
    double start = milliseconds();
    if (state->progressshown && start - state->shownat < state->progresswait) return 0;
    state->progressshown = true;
    showstate(state);
    dispatchpending();
    state->shownat = milliseconds();
    double wait = (state->shownat - start) * kUpdateShare;
    state->progresswait = wait < kProgressInterval          ? kProgressInterval
                          : wait > kProgressIntervalLongest ? kProgressIntervalLongest
                                                            : wait;
    if (state->answer == kAnswerCancelRun) state->cancel = 1;
    return state->cancel;
}

void showprogressnow(SetupState* state) {
    if (state->progressshown) showstate(state);
}

int askoverwrite(void* context, const char* path, const char*) {
    SetupState* state = (SetupState*)context;
    if (state->overwriteremembered) return state->overwriteall;
    HWND dialog = state->progressdialog;
    showprogressnow(state);
    formattext(state->text, sizeof state->text, "%s", path);
    state->answer = kAnswerPending;
    state->promptmode = kPromptQuestion;
    layout(dialog, state);
    while (state->answer == kAnswerPending && IsWindow(dialog))
        if (!dispatchnext()) break;
    int code = state->answer;
    state->promptmode = kPromptProgress;
    if (IsWindow(dialog)) layout(dialog, state);
    // No answer at all (the dialog went away) keeps this and every later file.
    if (code >= kAnswerRemember) {
        code %= 10;
        state->overwriteremembered = true;
        state->overwriteall = code == kAnswerYes;
    }
    return code == kAnswerYes;
}
