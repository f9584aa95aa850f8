// The main dialog's moves and stretches after its hide rules.
#include "setup/dialoglayout.h"

// The gap kept between the content and the control below it.
static const int kContentGap = 3;

MainLayout mainlayout(const MainLayoutInput& input) {
    MainLayout layout = {0, false, 0};
    if (!input.runshown && input.modeshown)
        layout.groupshift = input.runcheck.bottom - input.modegroup.bottom;
    if (input.runshown && input.modeshown) return layout;
    layout.stretch = true;
    if (input.modeshown)
        layout.contentbottom = input.modegroup.top + layout.groupshift - kContentGap;
    else if (input.runshown)
        layout.contentbottom = input.runcheck.top - kContentGap;
    else
        layout.contentbottom = input.runcheck.bottom - kContentGap;
    return layout;
}

BandRows bannerband(int band, int height) {
    return {height * band / kBannerBands, height * (band + 1) / kBannerBands};
}
