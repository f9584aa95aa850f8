// Whether a dialog's texts fit their controls (see textfit.h).
//
// Each control kind gives its text a room: the client area less what the system draws
// besides the text, and the DrawText format it draws with. The text is measured with
// DT_CALCRECT in that room's width: a text that wraps to more lines than the room is high,
// or a word or single line wider than the room, is cut off on the screen. The dialog's
// caption is measured the same way in the system's caption font against its title bar.
#include "uitest/textfit.h"

#include "uitest/uitest.h"

#include <cstring>

namespace uitest {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
constexpr int kLetterPairs = 26; // the alphabet's 52 letters, for a rounded average
constexpr int kPointsPerInch = 72;
constexpr int kUnitsAcross = 4; // a dialog unit is a quarter of the average width
constexpr int kUnitsDown = 8;   // and an eighth of the height

constexpr int kPushFrame = 3;     // a push button's raised frame and focus rectangle
constexpr int kCheckBox = 13;     // a check box's or radio button's box at 96 dots per inch
constexpr int kGroupInset = 7;    // a group box's caption stands this far in from each side
constexpr int kLinkInset = 2;     // the stub's links draw their text this far in (left, top)
constexpr int kCaptionMargin = 2; // the caption's text stands this far from its bar's ends
constexpr UINT kCaptionFormat = DT_SINGLELINE | DT_NOPREFIX;
constexpr char kLinkClass[] = "KVB_URLText";
constexpr char kLinkTargetMark = '#'; // a link's text is "shown text#target"

// Where a control draws its text and how; an empty format means it shows no text to check.
//
// A multi-line push button whose text does not fit on one line shows, under Wine, one word a
// line, and places that block as if it had the lines measured: "Open with Orvandel" in a
// button where "Open with" fits takes three lines, the first where a block of two would be
// centred (at the top with BS_TOP), so the third can fall below the button's frame.
struct Room {
    LONG width = 0, height = 0;
    UINT format = 0;
    bool everyblank = false; // more than one line breaks at every blank
    bool centred = false;    // the measured block is centred in the room's height
};

std::string classof(HWND control) {
    char name[64] = "";
    GetClassNameA(control, name, sizeof name);
    return name;
}

LONG style(HWND control) {
    return GetWindowLongA(control, GWL_STYLE);
}

Room staticroom(const RECT& client, LONG styles) {
    UINT prefix = (styles & SS_NOPREFIX) ? DT_NOPREFIX : 0;
    switch (styles & SS_TYPEMASK) {
    case SS_LEFT:
    case SS_CENTER:
    case SS_RIGHT:
        return {client.right, client.bottom, DT_WORDBREAK | DT_EXPANDTABS | prefix};
    case SS_SIMPLE:
    case SS_LEFTNOWORDWRAP:
        return {client.right, client.bottom, DT_EXPANDTABS | prefix};
    }
    return {};
}

// Half the width of a '0' separates a check box's box from its text.
LONG checkgap(HDC dc) {
    INT zero = 0;
    GetCharWidth32A(dc, '0', '0', &zero);
    return zero / 2;
}

Room buttonroom(HDC dc, const RECT& client, LONG styles) {
    UINT lines = (styles & BS_MULTILINE) ? UINT(DT_WORDBREAK) : UINT(DT_SINGLELINE);
    switch (styles & BS_TYPEMASK) {
    case BS_PUSHBUTTON:
    case BS_DEFPUSHBUTTON:
    case BS_PUSHBOX:
        return {client.right - 2 * kPushFrame, client.bottom - 2 * kPushFrame, lines,
                lines == DT_WORDBREAK, !(styles & BS_TOP)};
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON:
    case BS_3STATE:
    case BS_AUTO3STATE:
        return {client.right - kCheckBox - checkgap(dc), client.bottom, lines};
    case BS_GROUPBOX:
        return {client.right - 2 * kGroupInset, client.bottom, DT_SINGLELINE};
    }
    return {};
}

Room editroom(HWND control, const RECT& client, LONG styles) {
    if (styles & (ES_PASSWORD | ES_MULTILINE)) return {};
    DWORD margins = DWORD(SendMessageA(control, EM_GETMARGINS, 0, 0));
    return {client.right - LOWORD(margins) - HIWORD(margins), client.bottom,
            DT_SINGLELINE | DT_NOPREFIX};
}

Room roomof(HWND control, HDC dc) {
    RECT client;
    GetClientRect(control, &client);
    std::string kind = classof(control);
    LONG styles = style(control);
    if (!lstrcmpiA(kind.c_str(), "Static")) return staticroom(client, styles);
    if (!lstrcmpiA(kind.c_str(), "Button")) return buttonroom(dc, client, styles);
    if (!lstrcmpiA(kind.c_str(), "Edit")) return editroom(control, client, styles);
    if (kind == kLinkClass)
        return {client.right - kLinkInset, client.bottom - kLinkInset, DT_SINGLELINE | DT_NOPREFIX};
    return {};
}

// The text a control shows: a link's up to its target mark, any other's whole.
std::string shown(HWND control) {
    std::string text = windowtext(control);
    if (classof(control) == kLinkClass) text = text.substr(0, text.find(kLinkTargetMark));
    return text;
}

// The rectangle text takes when drawn with format in width pixels.
RECT measure(HDC dc, const std::string& text, LONG width, UINT format) {
    RECT needed = {0, 0, width, 0};
    DrawTextA(dc, text.c_str(), int(text.size()), &needed, format | DT_CALCRECT);
    return needed;
}

// The text with each blank made a line break.
std::string wordperline(std::string text) {
    for (char& c : text)
        if (c == ' ') c = '\n';
    return text;
}

struct Check {
    HDC dc;
    std::vector<std::string>* clipped;
};

BOOL CALLBACK checkcontrol(HWND control, LPARAM lparam) {
    const Check& check = *reinterpret_cast<const Check*>(lparam);
    if (!IsWindowVisible(control)) return TRUE;
    Room room = roomof(control, check.dc);
    std::string text = shown(control);
    if (!room.format || text.empty()) return TRUE;
    RECT needed = measure(check.dc, text, room.width, room.format);
    if (room.everyblank && needed.bottom > measure(check.dc, text, 0, DT_SINGLELINE).bottom) {
        LONG top = room.centred ? (room.height - needed.bottom) / 2 : 0;
        needed = measure(check.dc, wordperline(text), room.width, room.format);
        needed.bottom += top;
    }
    if (needed.right <= room.width && needed.bottom <= room.height) return TRUE;
    check.clipped->push_back(
        "control " + std::to_string(GetDlgCtrlID(control)) + " " + classof(control) + " \"" + text +
        "\" needs " + std::to_string(needed.right) + "x" + std::to_string(needed.bottom) +
        ", has " + std::to_string(room.width) + "x" + std::to_string(room.height));
    return TRUE;
}

// The room a title bar leaves its caption: the window's width less its frame, the caption's
// margins and, with a system menu, the close button.
LONG captionroom(HWND window) {
    RECT box;
    GetWindowRect(window, &box);
    LONG room = box.right - box.left - 2 * GetSystemMetrics(SM_CXFIXEDFRAME) - 2 * kCaptionMargin;
    if (style(window) & WS_SYSMENU) room -= GetSystemMetrics(SM_CXSIZE);
    return room;
}

// The caption when it is wider than its room in the system's caption font, else empty.
std::string clippedcaption(HWND window, HDC dc) {
    std::string caption = windowtext(window);
    if (!(style(window) & WS_CAPTION) || caption.empty()) return "";
    NONCLIENTMETRICSA metrics = {};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    HFONT font = CreateFontIndirectA(&metrics.lfCaptionFont);
    HGDIOBJ old = SelectObject(dc, font);
    LONG room = captionroom(window), needed = measure(dc, caption, 0, kCaptionFormat).right;
    SelectObject(dc, old);
    DeleteObject(font);
    if (needed <= room) return "";
    return "caption \"" + caption + "\" needs " + std::to_string(needed) + ", has " +
           std::to_string(room);
}

} // namespace

DialogFont::DialogFont(const char* face, int points) {
    HDC screen = GetDC(nullptr);
    font_ = CreateFontA(-MulDiv(points, GetDeviceCaps(screen, LOGPIXELSY), kPointsPerInch), 0, 0, 0,
                        FW_DONTCARE, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                        CLIP_DEFAULT_PRECIS, PROOF_QUALITY, FF_DONTCARE, face);
    HGDIOBJ old = SelectObject(screen, font_);
    SIZE alphabet = {};
    GetTextExtentPoint32A(screen, kAlphabet, int(std::strlen(kAlphabet)), &alphabet);
    TEXTMETRICA metrics = {};
    GetTextMetricsA(screen, &metrics);
    base_ = {(alphabet.cx / kLetterPairs + 1) / 2, metrics.tmHeight};
    SelectObject(screen, old);
    ReleaseDC(nullptr, screen);
}

DialogFont::~DialogFont() {
    DeleteObject(font_);
}

SIZE DialogFont::pixels(int dialogwidth, int dialogheight) const {
    return {MulDiv(dialogwidth, base_.cx, kUnitsAcross),
            MulDiv(dialogheight, base_.cy, kUnitsDown)};
}

std::vector<std::string> clippedtexts(HWND dialog, const DialogFont& font) {
    std::vector<std::string> clipped;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(dc, font.handle());
    std::string caption = clippedcaption(dialog, dc);
    if (!caption.empty()) clipped.push_back(caption);
    Check check = {dc, &clipped};
    EnumChildWindows(dialog, checkcontrol, reinterpret_cast<LPARAM>(&check));
    SelectObject(dc, old);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return clipped;
}

} // namespace uitest
