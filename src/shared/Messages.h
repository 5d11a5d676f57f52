// The system's own window messages (all in the WM_APP range) and the ids
// of its resources and commands. Each says whether it is sent or posted.
#pragma once

#include "framework/afxwin.h"

// browser client -> host window, sent; wParam = browser id, lParam = CefBrowser*.
constexpr UINT WM_APP_BROWSER_CREATED = 0x813B;
// chat frame -> main frame, sent; wParam = the frame's window handle.
constexpr UINT WM_APP_REGISTER_FRAME = 0x8190;
// chat frame -> main frame, posted; wParam = the frame's window handle.
constexpr UINT WM_APP_UNREGISTER_FRAME = 0x8191;
// tray icon -> main frame; wParam = icon id, lParam low word = mouse message.
constexpr UINT WM_APP_TRAY_NOTIFY = 0x8192;
// any program -> main frame.
constexpr UINT WM_APP_SHOW_MAIN_CHAT = 0x8193;
// wParam = CPacket*. Posted by the browser client to a host window (the
// receiver owns and deletes the packet); sent by a window to the main frame
// (the sender owns it, see shared/Forwarding.h). lParam = the sender
// context: SENDER_NO_WINDOW, SENDER_OTHER_KIND or the requesting window
// object (packet/Vocabulary.h).
constexpr UINT WM_APP_PACKET = 0x8194;
// chat frame -> the chat frame that follows it, posted; wParam = old left -
// new left, lParam = old top - new top.
constexpr UINT WM_APP_OWNER_MOVED = 0x8195;
// second start -> running main frame, sent; wParam = CPacket* of the
// handed-over launch parameters.
constexpr UINT WM_APP_HANDOFF = 0x8197;

// Resources and commands.
constexpr UINT IDR_MAINFRAME = 128;
constexpr UINT IDR_TRAY_MENU = 310;
constexpr UINT ID_TRAY_EXIT = 32773;
constexpr UINT ID_TRAY_REFRESH = 32774;

// A posted packet whose window is gone is deleted, never leaked. Called
// once at start-up (and by tests).
void RegisterSystemMessages();
