// The route of every command and packet kind in each kind of page window,
// written out here from what each window does, and the rule that only a
// chat page's view may ask the main frame to start a program.
#include <gtest/gtest.h>

#include "browser/PageRoutes.h"

namespace {

struct Expected {
    Route route;
    ForwardAs as = ForwardAs::NoWindow;
    bool operator==(const Expected&) const = default;
};

void PrintTo(const Expected& e, std::ostream* os) {
    *os << "route " << static_cast<int>(e.route) << " as " << static_cast<int>(e.as);
}

constexpr Expected kOwn{Route::Own};
constexpr Expected kShared{Route::Shared};
constexpr Expected kDrop{Route::Drop};
constexpr Expected kNoWindow{Route::Forward, ForwardAs::NoWindow};
constexpr Expected kOtherKind{Route::Forward, ForwardAs::OtherKind};
constexpr Expected kAsking{Route::Forward, ForwardAs::Asking};

TEST(PageRoutesTest, EachWindowRoutesEachPacketAsItsTableSays) {
    struct Row {
        int kind, command;
        Expected pagePopup, popupWindow, chatView;
    };
    const Row rows[] = {
        {GBN_COMMAND, CMD_HIDE_OR_CLOSE, kOwn, kOwn, kOwn},
        {GBN_COMMAND, CMD_MINIMIZE, kShared, kShared, kShared},
        {GBN_COMMAND, CMD_TOGGLE_MAXIMIZE, kShared, kShared, kShared},
        {GBN_COMMAND, CMD_LAUNCH_PROGRAM, kDrop, kDrop, kAsking},
        {GBN_COMMAND, CMD_MOVE, kShared, kShared, kShared},
        {GBN_COMMAND, CMD_SIZE_TOP, kShared, kShared, kShared},
        {GBN_COMMAND, CMD_PLACE_WINDOW, kShared, kNoWindow, kOwn},
        {GBN_COMMAND, CMD_OPEN_CHAT_FRAME, kNoWindow, kOwn, kOwn},
        {GBN_COMMAND, CMD_SET_OPACITY, kDrop, kDrop, kOwn},
        {GBN_COMMAND, CMD_OPEN_POPUP_WINDOW, kOwn, kDrop, kAsking},
        {GBN_COMMAND, CMD_OPEN_IN_SYSTEM_BROWSER, kShared, kShared, kShared},
        {GBN_COMMAND, CMD_FLASH_WINDOW, kNoWindow, kShared, kShared},
        {GBN_COMMAND, CMD_CLOSE_SAVED_CHATS, kDrop, kDrop, kAsking},
        {GBN_COMMAND, CMD_SHOW_BALLOON, kNoWindow, kNoWindow, kAsking},
        {GBN_COMMAND, CMD_SET_FOLLOW_OWNER, kNoWindow, kNoWindow, kOwn},
        {GBN_COMMAND, CMD_STORE_ALARM_SETTINGS, kNoWindow, kNoWindow, kAsking},
        {GBN_COMMAND, CMD_CALL_JSVER, kShared, kNoWindow, kShared},
        {GBN_COMMAND, CMD_DELIVER_URI, kNoWindow, kNoWindow, kAsking},
        {GBN_COMMAND, CMD_SET_ZOOM, kNoWindow, kNoWindow, kOwn},
        // Numbers no window knows, a missing command among them.
        {GBN_COMMAND, 0, kNoWindow, kNoWindow, kAsking},
        {GBN_COMMAND, 99999, kNoWindow, kNoWindow, kAsking},
        // Other kinds: a view keeps the end of a load and drops the other
        // load events; a missing kind counts as 0.
        {GBN_LOADING_INDICATOR, 0, kOtherKind, kOtherKind, kOtherKind},
        {GBN_LOAD_END, 0, kOtherKind, kOtherKind, kOwn},
        {GBN_LOAD_START, 0, kOtherKind, kOtherKind, kDrop},
        {GBN_LOADING_STATE, 0, kOtherKind, kOtherKind, kDrop},
        {GBN_PARAMETERS, CMD_LAUNCH_PROGRAM, kOtherKind, kOtherKind, kOtherKind},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << "kind " << r.kind << ", command " << r.command);
        auto routeIn = [&](const PageRoutes& routes) {
            const PacketRoute route = RouteOf(routes, r.kind, r.command);
            return Expected{route.route,
                            route.route == Route::Forward ? route.as : ForwardAs::NoWindow};
        };
        EXPECT_EQ(routeIn(kPagePopupRoutes), r.pagePopup);
        EXPECT_EQ(routeIn(kPopupWindowRoutes), r.popupWindow);
        EXPECT_EQ(routeIn(kChatViewRoutes), r.chatView);
    }
}

// Every kind of page window, those added later included: a page reaches the
// start of a program only from a chat frame's view, and the commands no
// popup reaches stay so.
TEST(PageRoutesTest, OnlyAChatViewForwardsTheCommandsNoPopupMayReach) {
    for (const PageRoutes* routes : kAllPageRoutes) {
        SCOPED_TRACE(routes->name);
        const bool chatView = routes == &kChatViewRoutes;
        for (int command : {CMD_LAUNCH_PROGRAM, CMD_CLOSE_SAVED_CHATS}) {
            EXPECT_EQ(RouteOf(*routes, GBN_COMMAND, command).route == Route::Forward, chatView)
                << "command " << command;
        }
    }
}

}  // namespace
