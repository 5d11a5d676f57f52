// The words of the packets: the kinds (GBN), the commands of a command packet
// (CMD), the window kinds (TP), the hit-test codes with which the move and
// resize commands start the system's own loop, and the sender contexts that a
// packet sent to the main window carries (WM_APP_PACKET's lParam). Everything
// that reads or writes one of these numbers names it from here.
#pragma once

#include "framework/afxtypes.h"

// ---------------------------------------------------------------------------
// Packet kinds (the GBN field).

// A store of settings, never sent as a message: the application's launch
// parameters, and the creation packet of the main chat window.
constexpr int GBN_PARAMETERS = 0;
constexpr int GBN_COMMAND = 9000;            // a command; CMD selects the action
constexpr int GBN_LOADING_INDICATOR = 9009;  // a page's loading indicator (LOADING)
constexpr int GBN_LOAD_END = 9010;           // page load finished (CODE = HTTP status)
constexpr int GBN_LOAD_START = 9011;         // page load started
constexpr int GBN_LOAD_ERROR = 9012;         // page load failed (CODE, TXT, URL)
constexpr int GBN_LOADING_STATE = 9013;      // loading state changed (LOADING, BACK, FORWARD)

// ---------------------------------------------------------------------------
// Commands (the CMD field of a GBN_COMMAND packet). Which window carries out
// which command, and which ones go on to the main window, is each window's
// business; the shared window commands are in browser/WindowCommands.h.

// Close the page's window; a chat page chooses hiding or ending with HIDE.
constexpr int CMD_HIDE_OR_CLOSE = 1;
constexpr int CMD_MINIMIZE = 2;
// Restore a minimised or maximised window, maximise any other; then bring it
// to the front.
constexpr int CMD_TOGGLE_MAXIMIZE = 3;
// Start a local program or the updater (the main window).
constexpr int CMD_LAUNCH_PROGRAM = 6;
// Move and resize commands: the user's pressed mouse button drags the window
// by its caption, or sizes it from an edge or corner.
constexpr int CMD_MOVE = 10;
constexpr int CMD_SIZE_TOP = 11;
constexpr int CMD_SIZE_BOTTOM = 12;
constexpr int CMD_SIZE_TOP_LEFT = 13;
constexpr int CMD_SIZE_BOTTOM_RIGHT = 14;
constexpr int CMD_SIZE_TOP_RIGHT = 15;
constexpr int CMD_SIZE_BOTTOM_LEFT = 16;
constexpr int CMD_SIZE_LEFT = 17;
constexpr int CMD_SIZE_RIGHT = 18;
// Place the window from XX, YY, WW, HH (a chat page may also ask where its
// window is, with CALL).
constexpr int CMD_PLACE_WINDOW = 19;
// Open a chat frame, or place and retarget the one with the same title.
constexpr int CMD_OPEN_CHAT_FRAME = 20;
constexpr int CMD_SET_OPACITY = 21;  // V percent
// Open a popup browser window (the main window). A page popup takes it as
// taking its own sizing frame away.
constexpr int CMD_OPEN_POPUP_WINDOW = 22;
// Open URL in the user's default web browser.
constexpr int CMD_OPEN_IN_SYSTEM_BROWSER = 23;
constexpr int CMD_FLASH_WINDOW = 24;
// Close every chat frame of kind TP_SAVED_CHAT (the main window).
constexpr int CMD_CLOSE_SAVED_CHATS = 25;
// Show MSG as a notification-area balloon (the main window).
constexpr int CMD_SHOW_BALLOON = 26;
// Whether the chat frame follows the window that opened it (V non-zero).
constexpr int CMD_SET_FOLLOW_OWNER = 29;
// Keep the whole packet as the alarm settings (the main window).
constexpr int CMD_STORE_ALARM_SETTINGS = 30;
// Call the page's script function JSVer with 1.
constexpr int CMD_CALL_JSVER = 31;
// To a chat page through JSRecv: the URI launch parameter handed over.
constexpr int CMD_DELIVER_URI = 51;
// Zoom: AUTOSCALE switches the zoom that follows the height, SCALE sets a level.
constexpr int CMD_SET_ZOOM = 52;

// The hit-test code with which each move or resize command starts the
// system's loop (WM_NCLBUTTONDOWN).
struct MoveSizeHitTest {
    int command;
    int hitTest;
};
inline constexpr MoveSizeHitTest kMoveSizeHitTests[] = {
    {CMD_MOVE, HTCAPTION},
    {CMD_SIZE_TOP, HTTOP},
    {CMD_SIZE_BOTTOM, HTBOTTOM},
    {CMD_SIZE_TOP_LEFT, HTTOPLEFT},
    {CMD_SIZE_BOTTOM_RIGHT, HTBOTTOMRIGHT},
    {CMD_SIZE_TOP_RIGHT, HTTOPRIGHT},
    {CMD_SIZE_BOTTOM_LEFT, HTBOTTOMLEFT},
    {CMD_SIZE_LEFT, HTLEFT},
    {CMD_SIZE_RIGHT, HTRIGHT},
};

// The hit-test code of a move or resize command; 0 for any other command.
constexpr int HitTestOfCommand(int command) {
    for (const MoveSizeHitTest& m : kMoveSizeHitTests) {
        if (m.command == command)
            return m.hitTest;
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Window kinds (the TP field of a creation packet; a chat frame's m_kind).

constexpr int TP_MAIN_CHAT = 1;  // the main chat window: the first registered frame of this kind
// A chat window that keeps its placement in the profile section "CHAT" (a
// popup browser window of this type too). CMD_CLOSE_SAVED_CHATS closes these,
// and their pages' CMD_OPEN_CHAT_FRAME always opens a side window.
constexpr int TP_SAVED_CHAT = 2;
// An ordinary chat window, the kind of a creation packet without TP. It may
// follow the window that opened it.
constexpr int TP_ORDINARY_CHAT = 3;
// A side window at the right edge of the window that asked for it; asked for
// with this TP in CMD_OPEN_CHAT_FRAME. It may follow that window.
constexpr int TP_SIDE_CHAT = 4;
// A chat window that keeps its placement in the profile section "W4X".
constexpr int TP_SAVED_W4X = 5;

// The kinds that follow their owner window when linked to one, and that a
// further CMD_OPEN_CHAT_FRAME with their title moves and retargets.
constexpr bool MayFollowOwner(int kind) {
    return kind == TP_ORDINARY_CHAT || kind == TP_SIDE_CHAT;
}

// ---------------------------------------------------------------------------
// Sender contexts: WM_APP_PACKET's lParam when a window sends a packet to the
// main window. Any other value is the requesting window object itself (see
// SenderOf and RequestingWindow in shared/Forwarding.h): the window that a
// chat frame opened by CMD_OPEN_CHAT_FRAME is linked to.

// Passed on without a requesting window.
constexpr LPARAM SENDER_NO_WINDOW = 0;
// A packet of another kind than GBN_COMMAND, which the main window ignores.
constexpr LPARAM SENDER_OTHER_KIND = 2;
