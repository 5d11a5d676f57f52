// The window commands that every window around a page carries out alike:
// the browser view on its chat frame, the browser client on a page popup
// (the engine's own window around a page that a page opened), and the popup
// browser window on itself. Each window dispatches its page's command packets
// itself, and hands every command it has no rule of its own for to
// RunWindowCommand, which carries it out on the window when it is one of the
// shared commands and reports whether it did.
//
// The shared commands:
//   CMD_MINIMIZE             minimise the window
//   CMD_TOGGLE_MAXIMIZE      restore a minimised or maximised window, maximise
//                            any other; then bring it to the front
//   CMD_MOVE .. CMD_SIZE_*   start the system's move or resize loop from the
//                            command's hit-test code (kMoveSizeHitTests)
//   CMD_PLACE_WINDOW         place the window from XX, YY, WW, HH
//   CMD_OPEN_IN_SYSTEM_BROWSER  open URL in the user's default web browser
//   CMD_FLASH_WINDOW         flash the window
//   CMD_CALL_JSVER           call JSVer(1) in the page's main frame
// Where the windows differ is said by their WindowCommandRules below.
//
// Threading: user-interface thread.
#pragma once

#include <optional>

#include "engine/cef_browser.h"
#include "framework/afxtypes.h"

class CPacket;

// CMD_PLACE_WINDOW: the placement that stands in for fields the packet
// omits, and the SetWindowPos flags.
struct WindowPlacementRule {
    RECT defaults;
    UINT flags;
};

// How one kind of window carries out the shared commands. A shared command
// that a window does not carry out is left to the window (RunWindowCommand
// returns false): it forwards it to the main window, or has a rule of its own.
struct WindowCommandRules {
    // The resize commands first give the window a sizing frame, all but
    // CMD_SIZE_LEFT, which resizes without it.
    bool resizeAddsSizingFrame = false;
    // CMD_PLACE_WINDOW, when the window places itself by this rule.
    std::optional<WindowPlacementRule> placement;
    bool flashes = true;     // CMD_FLASH_WINDOW
    bool callsJSVer = true;  // CMD_CALL_JSVER
};

// The browser view, acting on its chat frame. It places its frame by rules of
// its own (a query with CALL, the logout corner with LOGOUT), which end in
// PlaceWindowFromPacket.
inline constexpr WindowCommandRules kChatViewCommands{
    .resizeAddsSizingFrame = false,
    .placement = std::nullopt,
    .flashes = true,
    .callsJSVer = true,
};

// A page popup, acting on its top-level window. Its sizing frame may have been
// taken away (CMD_OPEN_POPUP_WINDOW in a page popup, or a popup opened without
// a frame), so resizing brings it back. It places itself at (0, 0) and 800 x
// 600 for what the packet omits, and is shown. It forwards CMD_FLASH_WINDOW.
inline constexpr WindowCommandRules kPagePopupCommands{
    .resizeAddsSizingFrame = true,
    .placement = WindowPlacementRule{RECT{0, 0, 800, 600}, SWP_SHOWWINDOW},
    .flashes = false,
    .callsJSVer = true,
};

// The popup browser window, acting on itself. It forwards CMD_PLACE_WINDOW
// and CMD_CALL_JSVER.
inline constexpr WindowCommandRules kPopupWindowCommands{
    .resizeAddsSizingFrame = false,
    .placement = std::nullopt,
    .flashes = true,
    .callsJSVer = false,
};

// Carries out the command of `packet` (a GBN_COMMAND packet) on `window` by
// `rules`, with `page` the browser of the page that sent it (for
// CMD_CALL_JSVER; may be empty). True when the command is one of the shared
// commands that `rules` carries out, also when a missing window or browser
// leaves nothing to do; false for any other command, which the caller
// handles.
bool RunWindowCommand(const WindowCommandRules& rules, HWND window,
                      const CefRefPtr<CefBrowser>& page, CPacket& packet);

// Places `window` at the packet's XX, YY, WW, HH (left, top, width, height),
// `defaults` standing in for the fields the packet omits; a place on no
// screen goes into the nearest screen's work area.
void PlaceWindowFromPacket(HWND window, CPacket& packet, const RECT& defaults, UINT flags);
