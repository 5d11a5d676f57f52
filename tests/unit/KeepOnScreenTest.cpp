// Where a window goes on a desktop of several screens: the screen it is on
// is the work area it overlaps most (else the nearest), and a place on no
// screen is pulled into that work area.
#include <gtest/gtest.h>

#include "shared/WorkArea.h"

namespace {

TEST(KeepOnScreenTest, APlaceOnNoScreenGoesToTheNearestWorkArea) {
    // Two screens side by side, each with a 40 px taskbar at the bottom.
    const std::vector<RECT> areas{{0, 0, 1024, 728}, {1024, 0, 2048, 728}};
    struct Case {
        const char* name;
        RECT place;
        size_t nearest;
        RECT kept;
    };
    const Case cases[] = {
        {"partly off the second, stays", {1800, 600, 2300, 900}, 1, {1800, 600, 2300, 900}},
        // The screen a side window docks on: its owner's, the one that shows more of it.
        {"owner mostly on the second", {900, 0, 1500, 400}, 1, {900, 0, 1500, 400}},
        {"owner half on each: the first", {724, 0, 1324, 400}, 0, {724, 0, 1324, 400}},
        {"wholly off, beyond the second", {2500, 100, 3000, 500}, 1, {1548, 100, 2048, 500}},
        {"wholly off, left of the first", {-900, 300, -400, 600}, 0, {0, 300, 500, 600}},
        {"below both, nearer the first", {100, 900, 600, 1300}, 0, {100, 328, 600, 728}},
        {"in a taskbar only", {1200, 730, 1400, 768}, 1, {1200, 690, 1400, 728}},
        {"larger than a work area", {5000, -3000, 8000, -1000}, 1, {1024, 0, 2048, 728}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(NearestWorkArea(c.place, areas), c.nearest);
        EXPECT_EQ(KeepOnScreen(c.place, areas), c.kept);
    }
}

}  // namespace
