// Whether the texts of a dialog fit their controls: each visible control's text measured in
// the dialog's font against the room the control gives it.
//
// Fonts are objects of the process that made them, so the dialog's font cannot be borrowed
// from another program: a DialogFont makes the same font from the template's face and point
// size, as the dialog manager does, and its base units tell whether it really is the
// dialog's (a dialog of w x h units is that many base units wide and high). The room each
// kind of control leaves for its text follows how the system draws it: a check box's box and
// gap, a group box's insets, a push button's frame, an edit field's margins.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace uitest {

class DialogFont {
  public:
    DialogFont(const char* face, int points);
    ~DialogFont();
    DialogFont(const DialogFont&) = delete;
    DialogFont& operator=(const DialogFont&) = delete;

    HFONT handle() const { return font_; }

    // The pixels of a dialog unit rectangle in this font, as the dialog manager maps them.
    SIZE pixels(int dialogwidth, int dialogheight) const;

  private:
    HFONT font_;
    SIZE base_; // the font's dialog base units: average character width and height
};

// The visible controls of dialog whose text does not fit, one line each: its id, class, text
// and the room it needs against the room it has; and its caption, measured in the system's
// caption font against its title bar. Empty when every text fits.
std::vector<std::string> clippedtexts(HWND dialog, const DialogFont& font);

} // namespace uitest
