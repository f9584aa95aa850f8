// The main dialog's moves and stretches after its hide rules.
#include "setup/dialoglayout.h"

MainLayout mainlayout(const MainLayoutInput& input) {
    MainLayout layout = {0, false, 0};
    if (!input.runshown && input.modeshown)
        layout.groupshift = input.runcheck.bottom - input.modegroup.bottom;
    if (input.runshown && input.modeshown) return layout;
    layout.stretch = true;
    if (input.modeshown)
        layout.contentbottom = input.modegroup.top + layout.groupshift - input.gap;
    else if (input.runshown)
        layout.contentbottom = input.runcheck.top - input.gap;
    else
        layout.contentbottom = input.runcheck.bottom - input.gap;
    return layout;
}

BandRows bannerband(int band, int height) {
    return {height * band / kBannerBands, height * (band + 1) / kBannerBands};
}
