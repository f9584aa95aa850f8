// The main dialog's layout after its hide rules: where the overwrite group moves and how far
// the file list (or the description panel) stretches. Portable: plain arithmetic on
// rectangles in the dialog's client coordinates, tested without a display.
#pragma once

struct Box {
    int left, top, right, bottom;
};

// What the hide rules leave shown, and where the two controls below the list stand.
struct MainLayoutInput {
    Box runcheck;  // the run-after-extraction check box
    Box modegroup; // the overwrite group's frame (its radio buttons move with it)
    bool runshown;
    bool modeshown;
};

struct MainLayout {
    int groupshift;    // pixels the overwrite group moves down (0: it stays)
    bool stretch;      // the content control(s) reach down to contentbottom
    int contentbottom; // their new bottom edge; the top stays
};

// With the check box hidden, the overwrite group takes its place (their bottoms meet). With
// either hidden, the content reaches down to 3 pixels above the first shown control below
// it: the group, else the check box, else to 3 pixels above the hidden check box's bottom.
MainLayout mainlayout(const MainLayoutInput& input);
