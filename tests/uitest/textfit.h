// Texts of another program's dialog measured against the controls that show them: each
// visible static text, push button, check box, radio button and group box must hold its text
// whole, in the control's own font.
//
// A font handle is valid only in the process that made it, so the program's font cannot be
// selected into a device context here. The dialog manager makes it again instead: the dialog's
// template is read from the program's file and a hidden copy of the dialog is made in this
// process, whose controls get their font (WM_GETFONT) from the same template through the same
// dialog manager. A control is measured only when the copy is sure to draw as the original:
// in the program it uses its dialog's font (both answer WM_GETFONT with the same handle there),
// and it has the same size in the copy as in the program (the same dialog units under the same
// font give the same pixels). Otherwise the control is reported as not measurable.
//
// The room for a text is the control's client rectangle less what the control class draws
// beside it: nothing for a static text; the frame and the default button's border of a push
// button; the glyph and the gap behind it of a check box or radio button; the frame's ends
// left and right of a group box's label. The text is measured with DrawText as the control
// draws it: word-wrapped for static texts and multi-line buttons, on one line otherwise, '&'
// marking a mnemonic unless a static text says it has none.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace uitest {

// The texts of dialog (a window of another process, made from the template dialogname of the
// program file module) that do not fit their controls, and the controls that cannot be
// measured, one line each: empty when every text fits.
std::vector<std::string> clippedtexts(HWND dialog, const std::string& module,
                                      const char* dialogname);

} // namespace uitest
