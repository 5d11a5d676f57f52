// What becomes of each packet a page sends to the window around it: one
// table per kind of page window, which the window's page host reads
// (PageHost.h). A command packet's route is the row of its command (the
// row of CMD_MOVE stands for every resize command too), or the table's row
// for any other command; a packet of another kind takes the row
// of its kind, or the row for any other kind. A route is one of:
//   Own      the window's own business: its delegate's switch carries it out
//   Shared   one of the commands every page window carries out alike, by the
//            window's rules (WindowCommands.h)
//   Drop     deleted unhandled
//   Forward  a copy goes to the main frame, marked as sent by no window, by a
//            window of another kind, or by the window that asks (the chat
//            frame around a view, the popup itself)
//
// The main frame carries out the commands of kMainFrameCommands and ignores
// every other packet. Each table has a row of its own for each of those
// commands, so a command the main frame learns later is in no window's
// reach until every table says whether it forwards it (the build checks);
// a page in a popup never reaches the start of a program (6), the closing
// of the saved chats (25) or, from a popup browser window, the opening of
// popups (22).
//
// Threading: none (constant data).
#pragma once

#include <cstdint>
#include <span>

#include "browser/WindowCommands.h"
#include "packet/Vocabulary.h"

enum class Route : std::uint8_t { Own, Shared, Drop, Forward };

// As whom a forwarded copy reaches the main frame (its sender context).
enum class ForwardAs : std::uint8_t {
    NoWindow,   // SENDER_NO_WINDOW
    OtherKind,  // SENDER_OTHER_KIND
    Asking,     // SenderOf the window that asks (PageWindowDelegate::AskingWindow)
};

struct PacketRoute {
    int number;  // the command, or the packet kind
    Route route;
    ForwardAs as = ForwardAs::NoWindow;
};

struct PageRoutes {
    const char* name;                       // the kind of window, for reports
    std::span<const PacketRoute> commands;  // GBN_COMMAND packets, by CMD
    PacketRoute otherCommands;              // any command not in `commands`
    std::span<const PacketRoute> kinds;     // packets of other kinds, by GBN
    PacketRoute otherKinds;                 // any kind not in `kinds`
    WindowCommandRules shared;              // how its Shared commands act
};

// The route in `routes` of a packet of `kind` and (for GBN_COMMAND) `command`.
PacketRoute RouteOf(const PageRoutes& routes, int kind, int command);

// The commands the main frame carries out; it ignores every other packet.
inline constexpr int kMainFrameCommands[] = {
    CMD_LAUNCH_PROGRAM,        // start a program or the updater
    CMD_OPEN_CHAT_FRAME,       // open or place a chat frame
    CMD_OPEN_POPUP_WINDOW,     // open a popup browser window
    CMD_CLOSE_SAVED_CHATS,     // close the type-2 chat frames
    CMD_SHOW_BALLOON,          // a balloon in the notification area
    CMD_STORE_ALARM_SETTINGS,  // keep the alarm settings
};

constexpr bool IsMainFrameCommand(int command) {
    for (int c : kMainFrameCommands) {
        if (c == command)
            return true;
    }
    return false;
}

// The browser view in a chat frame. Shared commands act on its frame, and
// what it forwards goes as asked by that frame.
inline constexpr PacketRoute kChatViewCommandRoutes[] = {
    {CMD_HIDE_OR_CLOSE, Route::Own},
    {CMD_MINIMIZE, Route::Shared},
    {CMD_TOGGLE_MAXIMIZE, Route::Shared},
    {CMD_LAUNCH_PROGRAM, Route::Forward, ForwardAs::Asking},
    {CMD_MOVE, Route::Shared},       // and every resize command
    {CMD_PLACE_WINDOW, Route::Own},  // with its query (CALL) and LOGOUT corner
    // Prepared (a side window's title and place), then forwarded by the view.
    {CMD_OPEN_CHAT_FRAME, Route::Own},
    {CMD_SET_OPACITY, Route::Own},
    {CMD_OPEN_POPUP_WINDOW, Route::Forward, ForwardAs::Asking},
    {CMD_OPEN_IN_SYSTEM_BROWSER, Route::Shared},
    {CMD_FLASH_WINDOW, Route::Shared},
    {CMD_CLOSE_SAVED_CHATS, Route::Forward, ForwardAs::Asking},
    {CMD_SHOW_BALLOON, Route::Forward, ForwardAs::Asking},
    {CMD_SET_FOLLOW_OWNER, Route::Own},
    {CMD_STORE_ALARM_SETTINGS, Route::Forward, ForwardAs::Asking},
    {CMD_CALL_JSVER, Route::Shared},
    {CMD_SET_ZOOM, Route::Own},
};
inline constexpr PacketRoute kChatViewKindRoutes[] = {
    {GBN_LOADING_INDICATOR, Route::Forward, ForwardAs::OtherKind},
    {GBN_LOAD_END, Route::Own},  // a 404 is said and the page goes back
    {GBN_LOAD_START, Route::Drop},
    {GBN_LOAD_ERROR, Route::Drop},
    {GBN_LOADING_STATE, Route::Drop},
};
inline constexpr PageRoutes kChatViewRoutes{
    "browser view",
    kChatViewCommandRoutes,
    {0, Route::Forward, ForwardAs::Asking},
    kChatViewKindRoutes,
    {0, Route::Forward, ForwardAs::OtherKind},
    kChatViewCommands,
};

// The popup browser window (alarms and notices). Shared commands act on the
// popup; what it forwards goes without a requesting window, but for the
// chat window beside a type-2 popup, which its own command asks for.
inline constexpr PacketRoute kPopupWindowCommandRoutes[] = {
    {CMD_HIDE_OR_CLOSE, Route::Own},
    {CMD_MINIMIZE, Route::Shared},
    {CMD_TOGGLE_MAXIMIZE, Route::Shared},
    {CMD_LAUNCH_PROGRAM, Route::Drop},
    {CMD_MOVE, Route::Shared},  // and every resize command
    {CMD_PLACE_WINDOW, Route::Forward},
    {CMD_OPEN_CHAT_FRAME, Route::Own},
    {CMD_SET_OPACITY, Route::Drop},
    {CMD_OPEN_POPUP_WINDOW, Route::Drop},
    {CMD_OPEN_IN_SYSTEM_BROWSER, Route::Shared},
    {CMD_FLASH_WINDOW, Route::Shared},
    {CMD_CLOSE_SAVED_CHATS, Route::Drop},
    {CMD_SHOW_BALLOON, Route::Forward},
    {CMD_STORE_ALARM_SETTINGS, Route::Forward},
    {CMD_CALL_JSVER, Route::Forward},
};
inline constexpr PageRoutes kPopupWindowRoutes{
    "popup browser window",
    kPopupWindowCommandRoutes,
    {0, Route::Forward, ForwardAs::NoWindow},
    {},
    // Load events of the popup's own browser among them.
    {0, Route::Forward, ForwardAs::OtherKind},
    kPopupWindowCommands,
};

// A page popup: a window the engine opened for a page (window.open) or for
// the developer tools. Shared commands act on its top-level window.
inline constexpr PacketRoute kPagePopupCommandRoutes[] = {
    {CMD_HIDE_OR_CLOSE, Route::Own},
    {CMD_MINIMIZE, Route::Shared},
    {CMD_TOGGLE_MAXIMIZE, Route::Shared},
    {CMD_LAUNCH_PROGRAM, Route::Drop},
    {CMD_MOVE, Route::Shared},  // and every resize command
    {CMD_PLACE_WINDOW, Route::Shared},
    {CMD_OPEN_CHAT_FRAME, Route::Forward},
    {CMD_SET_OPACITY, Route::Drop},
    // Taken as giving up its sizing frame; a resize command gives it back.
    {CMD_OPEN_POPUP_WINDOW, Route::Own},
    {CMD_OPEN_IN_SYSTEM_BROWSER, Route::Shared},
    {CMD_FLASH_WINDOW, Route::Forward},
    {CMD_CLOSE_SAVED_CHATS, Route::Drop},
    {CMD_SHOW_BALLOON, Route::Forward},
    {CMD_STORE_ALARM_SETTINGS, Route::Forward},
    {CMD_CALL_JSVER, Route::Shared},
};
inline constexpr PageRoutes kPagePopupRoutes{
    "page popup",
    kPagePopupCommandRoutes,
    {0, Route::Forward, ForwardAs::NoWindow},
    {},
    {0, Route::Forward, ForwardAs::OtherKind},
    kPagePopupCommands,
};

// Every kind of page window.
inline constexpr const PageRoutes* kAllPageRoutes[] = {&kChatViewRoutes, &kPopupWindowRoutes,
                                                       &kPagePopupRoutes};

// The checks the build makes of each table: every command the main frame
// carries out has a row of its own, no command has two (nor a resize
// command one apart from CMD_MOVE's), and every Shared
// row is a command that RunWindowCommand carries out by the table's rules.
constexpr bool RowsAreSound(const PageRoutes& routes) {
    for (int c : kMainFrameCommands) {
        int rows = 0;
        for (const PacketRoute& r : routes.commands)
            rows += r.number == c ? 1 : 0;
        if (rows != 1)
            return false;
    }
    for (std::size_t i = 0; i < routes.commands.size(); ++i) {
        if (routes.commands[i].number != CMD_MOVE && HitTestOfCommand(routes.commands[i].number))
            return false;
        for (std::size_t j = i + 1; j < routes.commands.size(); ++j) {
            if (routes.commands[i].number == routes.commands[j].number)
                return false;
        }
        const PacketRoute& r = routes.commands[i];
        if (r.route == Route::Shared && !CarriesOut(routes.shared, r.number))
            return false;
    }
    return routes.otherCommands.route != Route::Shared;
}
static_assert(RowsAreSound(kChatViewRoutes));
static_assert(RowsAreSound(kPopupWindowRoutes));
static_assert(RowsAreSound(kPagePopupRoutes));
