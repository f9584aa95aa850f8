// The main dialog's layout after its hide rules: where the overwrite group moves and how far
// the file list (or the description panel) stretches; and the banner's gradient bands.
// Portable: plain arithmetic on
// rectangles in the dialog's client coordinates, tested without a display.
#pragma once

struct Box {
    int left, top, right, bottom;
};

// The gap kept between the content and the control below it, in dialog units (3 pixels at the
// classic dialog font at 96 DPI).
enum { kContentGapUnits = 2 };

// What the hide rules leave shown, and where the two controls below the list stand.
struct MainLayoutInput {
    Box runcheck;  // the run-after-extraction check box
    Box modegroup; // the overwrite group's frame (its radio buttons move with it)
    bool runshown;
    bool modeshown;
    int gap; // kContentGapUnits in pixels
};

struct MainLayout {
    int groupshift;    // pixels the overwrite group moves down (0: it stays)
    bool stretch;      // the content control(s) reach down to contentbottom
    int contentbottom; // their new bottom edge; the top stays
};

// With the check box hidden, the overwrite group takes its place (their bottoms meet). With
// either hidden, the content reaches down to the gap above the first shown control below
// it: the group, else the check box, else to the gap above the hidden check box's bottom.
MainLayout mainlayout(const MainLayoutInput& input);

// The banner's gradient: kBannerBands horizontal bands from blue to black. Band i covers the
// rows from height * i / kBannerBands up to (not including) height * (i + 1) / kBannerBands,
// so the bands cover every row of the client area and each ends where the next begins.
enum { kBannerBands = 256 };
static_assert(kBannerBands - 1 <= 255, "every band's blue fits a colour channel");

struct BandRows {
    int top, bottom;
};
BandRows bannerband(int band, int height);

// The blue of band i: 255 at the top, 0 in the last band.
inline int bannerblue(int band) {
    return kBannerBands - 1 - band;
}
