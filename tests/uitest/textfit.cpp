// Texts of another program's dialog measured against their controls (see textfit.h).
#include "tests/uitest/textfit.h"

#include "tests/uitest/uitest.h"

#include <cstring>

namespace uitest {

namespace {

// What the button classes draw beside a label, in pixels at kReferenceDpi.
constexpr int kReferenceDpi = 96;
constexpr int kGlyphSize = 13; // the check box and radio button glyph
// A push button's frame (2) and the default button's black border (1), on each side: the
// face inside them holds the label.
constexpr int kPushMargin = 3;
// A group box's label starts this far from the frame's left end and must end as far from its
// right end.
constexpr int kGroupInset = 8;
constexpr int kMessageTimeout = 5000;
constexpr WORD kExtendedTemplate = 0xFFFF; // signature of a DLGTEMPLATEEX
constexpr int kExtendedStyleOffset = 12;   // bytes before the style of a DLGTEMPLATEEX

enum class Kind { None, Static, Push, Check, Group };

struct Control {
    HWND window;
    int id;
    LONG style;
    Kind kind;
    std::string text;
};

Kind kindof(HWND control, LONG style) {
    char name[32] = "";
    GetClassNameA(control, name, sizeof name);
    if (lstrcmpiA(name, "Static") == 0) {
        if (style & SS_ELLIPSISMASK) return Kind::None; // shortens its text on purpose
        switch (style & SS_TYPEMASK) {
        case SS_LEFT:
        case SS_CENTER:
        case SS_RIGHT:
        case SS_SIMPLE:
        case SS_LEFTNOWORDWRAP:
            return Kind::Static;
        }
        return Kind::None;
    }
    if (lstrcmpiA(name, "Button") != 0 || (style & (BS_BITMAP | BS_ICON))) return Kind::None;
    switch (style & BS_TYPEMASK) {
    case BS_PUSHBUTTON:
    case BS_DEFPUSHBUTTON:
        return Kind::Push;
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_RADIOBUTTON:
    case BS_3STATE:
    case BS_AUTO3STATE:
    case BS_AUTORADIOBUTTON:
        return Kind::Check;
    case BS_GROUPBOX:
        return Kind::Group;
    }
    return Kind::None;
}

BOOL CALLBACK collect(HWND window, LPARAM lparam) {
    auto* found = reinterpret_cast<std::vector<Control>*>(lparam);
    LONG style = GetWindowLongA(window, GWL_STYLE);
    Kind kind = kindof(window, style);
    if (kind == Kind::None || !(style & WS_VISIBLE)) return TRUE;
    std::string text = windowtext(window);
    if (!text.empty()) found->push_back({window, GetDlgCtrlID(window), style, kind, text});
    return TRUE;
}

INT_PTR CALLBACK quietproc(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

// A hidden copy of a dialog of a program file, made by this process's dialog manager.
class DialogCopy {
  public:
    DialogCopy(const std::string& module, const char* name) {
        HMODULE file = LoadLibraryExA(module.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        if (!file) return;
        HRSRC resource = FindResourceA(file, name, MAKEINTRESOURCEA(5)); // RT_DIALOG
        HGLOBAL loaded = resource ? LoadResource(file, resource) : nullptr;
        const void* bytes = loaded ? LockResource(loaded) : nullptr;
        if (bytes) make(bytes, SizeofResource(file, resource));
        FreeLibrary(file);
    }
    ~DialogCopy() {
        if (window_) DestroyWindow(window_);
    }
    DialogCopy(const DialogCopy&) = delete;
    DialogCopy& operator=(const DialogCopy&) = delete;

    HWND window() const { return window_; }

  private:
    // Hidden, and made whole even where a control's class (the program's own) is unknown here.
    void make(const void* bytes, DWORD size) {
        std::vector<DWORD> copy((size + sizeof(DWORD) - 1) / sizeof(DWORD));
        memcpy(copy.data(), bytes, size);
        const WORD* words = reinterpret_cast<const WORD*>(copy.data());
        size_t offset = words[1] == kExtendedTemplate ? kExtendedStyleOffset : 0;
        DWORD* style = reinterpret_cast<DWORD*>(reinterpret_cast<char*>(copy.data()) + offset);
        *style = (*style & ~WS_VISIBLE) | DS_NOFAILCREATE;
        window_ = CreateDialogIndirectParamA(GetModuleHandleA(nullptr),
                                             reinterpret_cast<LPCDLGTEMPLATEA>(copy.data()),
                                             nullptr, quietproc, 0);
    }

    HWND window_ = nullptr;
};

HFONT fontof(HWND window) {
    DWORD_PTR font = 0;
    SendMessageTimeoutA(window, WM_GETFONT, 0, 0, SMTO_NORMAL, kMessageTimeout, &font);
    return reinterpret_cast<HFONT>(font);
}

SIZE clientsize(HWND window) {
    RECT rect = {};
    GetClientRect(window, &rect);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

std::string describe(const Control& control) {
    return "control " + std::to_string(control.id) + " \"" + control.text + "\"";
}

std::string sizetext(SIZE size) {
    return std::to_string(size.cx) + " x " + std::to_string(size.cy);
}

// Room and drawing flags of a label as its control draws it, for a control of size in dc
// (its font selected).
struct Layout {
    SIZE room;
    UINT format;
};

Layout layoutof(const Control& control, SIZE size, HDC dc) {
    bool multiline = control.style & BS_MULTILINE;
    Layout layout = {size, multiline ? UINT(DT_WORDBREAK) : UINT(DT_SINGLELINE)};
    switch (control.kind) {
    case Kind::Static: {
        LONG type = control.style & SS_TYPEMASK;
        bool oneline = type == SS_SIMPLE || type == SS_LEFTNOWORDWRAP;
        layout.format = (oneline ? DT_SINGLELINE : DT_WORDBREAK | DT_EXPANDTABS) |
                        (control.style & SS_NOPREFIX ? DT_NOPREFIX : 0);
        break;
    }
    case Kind::Push:
        layout.room.cx -= 2 * kPushMargin;
        layout.room.cy -= 2 * kPushMargin;
        break;
    case Kind::Check: {
        TEXTMETRICA metrics;
        GetTextMetricsA(dc, &metrics);
        int glyph = MulDiv(kGlyphSize, GetDeviceCaps(dc, LOGPIXELSX), kReferenceDpi);
        layout.room.cx -= glyph + metrics.tmAveCharWidth / 2 + 1;
        break;
    }
    case Kind::Group:
        layout.room.cx -= 2 * kGroupInset;
        break;
    case Kind::None:
        break;
    }
    return layout;
}

// The size the text needs, measured in font the way its control draws it; "" when it fits,
// else the report.
std::string measure(const Control& control, SIZE size, HFONT font) {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    Layout layout = layoutof(control, size, dc);
    RECT needed = {0, 0, layout.room.cx, 0};
    DrawTextA(dc, control.text.c_str(), -1, &needed, layout.format | DT_CALCRECT);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    if (needed.right <= layout.room.cx && needed.bottom <= layout.room.cy) return "";
    return describe(control) + " needs " + sizetext({needed.right, needed.bottom}) +
           " pixels, has " + sizetext(layout.room);
}

// "" when the copy's control draws as the program's, else why it cannot be measured.
std::string comparable(const Control& control, HFONT dialogfont, HWND copy) {
    if (fontof(control.window) != dialogfont)
        return describe(control) + " has a font of its own, which cannot be measured here";
    if (!copy) return describe(control) + " is not in the dialog's template";
    SIZE real = clientsize(control.window), made = clientsize(copy);
    if (real.cx != made.cx || real.cy != made.cy)
        return describe(control) + " is " + sizetext(real) + " pixels, but " + sizetext(made) +
               " in the template's dialog: the fonts differ";
    return "";
}

} // namespace

std::vector<std::string> clippedtexts(HWND dialog, const std::string& module,
                                      const char* dialogname) {
    DialogCopy copy(module, dialogname);
    if (!copy.window()) return {"the dialog " + std::string(dialogname) + " cannot be made"};
    std::vector<Control> controls;
    EnumChildWindows(dialog, collect, reinterpret_cast<LPARAM>(&controls));
    HFONT dialogfont = fontof(dialog);
    std::vector<std::string> reports;
    for (const Control& control : controls) {
        HWND twin = GetDlgItem(copy.window(), control.id);
        std::string report = comparable(control, dialogfont, twin);
        if (report.empty()) report = measure(control, clientsize(twin), fontof(twin));
        if (!report.empty()) reports.push_back(report);
    }
    return reports;
}

} // namespace uitest
