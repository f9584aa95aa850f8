// The main dialog's layout after its hide rules, for the three combinations of a hidden run
// check box and a hidden overwrite group (the template's rectangles in pixels at the
// classic dialog font, and its gap of 2 dialog units).
#include "setup/dialoglayout.h"

#include <gtest/gtest.h>

namespace {

const Box kRunCheck = {6, 185, 296, 205};
const Box kModeGroup = {6, 145, 296, 182};
const int kGap = 3;

MainLayout layoutfor(bool runshown, bool modeshown) {
    return mainlayout({kRunCheck, kModeGroup, runshown, modeshown, kGap});
}

TEST(MainLayout, NothingMovesWhenBothAreShown) {
    MainLayout layout = layoutfor(true, true);
    EXPECT_EQ(layout.groupshift, 0);
    EXPECT_FALSE(layout.stretch);
}

TEST(MainLayout, WithoutTheCheckBoxTheGroupTakesItsPlace) {
    MainLayout layout = layoutfor(false, true);
    EXPECT_EQ(layout.groupshift, kRunCheck.bottom - kModeGroup.bottom);
    EXPECT_EQ(kModeGroup.bottom + layout.groupshift, kRunCheck.bottom);
    ASSERT_TRUE(layout.stretch);
    EXPECT_EQ(layout.contentbottom, kModeGroup.top + layout.groupshift - kGap);
}

TEST(MainLayout, WithoutTheGroupTheListReachesTheCheckBox) {
    MainLayout layout = layoutfor(true, false);
    EXPECT_EQ(layout.groupshift, 0);
    ASSERT_TRUE(layout.stretch);
    EXPECT_EQ(layout.contentbottom, kRunCheck.top - kGap);
}

TEST(MainLayout, WithoutBothTheListReachesTheHiddenCheckBoxsBottom) {
    MainLayout layout = layoutfor(false, false);
    EXPECT_EQ(layout.groupshift, 0);
    ASSERT_TRUE(layout.stretch);
    EXPECT_EQ(layout.contentbottom, kRunCheck.bottom - kGap);
}

// The banner's bands: a 1,024-pixel area gives 256 bands of exactly 4 pixels; a 300-pixel
// one bands of 1 or 2 pixels; every area is covered without gaps or overlaps.
TEST(BannerBands, CoverEveryRowWithoutGaps) {
    for (int i = 0; i < kBannerBands; i++) {
        BandRows rows = bannerband(i, 1024);
        EXPECT_EQ(rows.top, 4 * i);
        EXPECT_EQ(rows.bottom - rows.top, 4);
    }
    for (int height : {0, 1, 255, 256, 257, 300, 767, 1080}) {
        int next = 0;
        for (int i = 0; i < kBannerBands; i++) {
            BandRows rows = bannerband(i, height);
            EXPECT_EQ(rows.top, next) << height << " band " << i;
            EXPECT_LE(rows.bottom - rows.top, height / kBannerBands + 1);
            next = rows.bottom;
        }
        EXPECT_EQ(next, height);
    }
    EXPECT_EQ(bannerblue(0), 255);
    EXPECT_EQ(bannerblue(kBannerBands - 1), 0);
}

} // namespace
