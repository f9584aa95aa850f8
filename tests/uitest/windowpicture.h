// Pictures of windows as the screen shows them, for the documentation and for people who
// look at what a dialog really shows.
//
// A window is captured from the screen, not asked to paint itself: the picture holds what
// its process last drew there, frame and caption included where the window system draws
// them (a Wine virtual desktop, or Windows itself). Windows above it are captured too, so a
// caller brings the window to the front first.
#pragma once

#include <windows.h>

#include <string>

namespace uitest {

// Brings window to the front, has it repaint itself and its frame, and waits until it is
// likely to have done so (a program of another process paints in its own time).
void showfront(HWND window);

// Writes what the screen shows in window's rectangle to path as an uncompressed 24-bit BMP
// file; false when the window has no area on the screen or the file cannot be written.
bool savewindowpicture(HWND window, const std::string& path);

} // namespace uitest
