// The work area the windows are placed in: the primary screen less a
// taskbar at its bottom or right edge, computed anew at every use; and each
// other screen's, by the same rule.
#include "shared/WorkArea.h"
#include "testsupport.h"

namespace {

class WorkAreaTest : public ComponentTest {};

TEST_F(WorkAreaTest, TaskbarAtTheBottomOrRightIsSubtractedAtTheTopOrLeftNot) {
    struct Case {
        const char* name;
        RECT screen;
        RECT available;
        RECT expected;
    };
    const Case cases[] = {
        {"bottom", {0, 0, 1920, 1080}, {0, 0, 1920, 1040}, {0, 0, 1920, 1040}},
        {"bottom, small screen", {0, 0, 1366, 768}, {0, 0, 1366, 728}, {0, 0, 1366, 728}},
        {"right", {0, 0, 1920, 1080}, {0, 0, 1860, 1080}, {0, 0, 1860, 1080}},
        {"top", {0, 0, 1920, 1080}, {0, 40, 1920, 1080}, {0, 0, 1920, 1080}},
        {"left", {0, 0, 1920, 1080}, {60, 0, 1920, 1080}, {0, 0, 1920, 1080}},
        {"none", {0, 0, 1920, 1080}, {0, 0, 1920, 1080}, {0, 0, 1920, 1080}},
        // Computed anew at every use: back to a taskbar at the bottom.
        {"bottom again", {0, 0, 1600, 900}, {0, 0, 1600, 870}, {0, 0, 1600, 870}},
        {"away from the origin",
         {100, 50, 2020, 1130},
         {100, 50, 2020, 1090},
         {100, 50, 2020, 1090}},
        {"away from the origin, right",
         {-1920, 0, 0, 1080},
         {-1920, 0, -60, 1080},
         {-1920, 0, -60, 1080}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fakes.screen.Set(c.screen, c.available);
        EXPECT_EQ(GetWorkArea(), c.expected);
    }
}

TEST_F(WorkAreaTest, AnotherScreenLosesItsOwnTaskbarByTheSameRule) {
    fakes.screen.others = {{{1920, 0, 3200, 1024}, {1920, 0, 3150, 1024}}};  // right
    EXPECT_EQ(GetWorkAreas(), (std::vector<RECT>{{0, 0, 1920, 1040}, {1920, 0, 3150, 1024}}));
}

}  // namespace
