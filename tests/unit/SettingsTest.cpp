// Which profile section keeps the place of each kind of window.
#include "shared/Settings.h"

#include <gtest/gtest.h>

#include <climits>

#include "packet/Vocabulary.h"

namespace {

TEST(PlacementSection, OnlyTheSavedKindsKeepTheirPlace) {
    struct Case {
        int kind;
        const char* section;
    };
    const Case cases[] = {
        {TP_SAVED_CHAT, "CHAT"}, {TP_SAVED_W4X, "W4X"}, {TP_MAIN_CHAT, ""},
        {TP_ORDINARY_CHAT, ""},  {TP_SIDE_CHAT, ""},    {0, ""},
        {-TP_SAVED_CHAT, ""},    {INT_MAX, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        EXPECT_EQ(PlacementSection(c.kind), QString::fromUtf8(c.section));
    }
}

}  // namespace
