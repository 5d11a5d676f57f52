// The window commands that every window around a page carries out alike:
// the browser view on its chat frame, the page popup host on the engine's
// top-level window around a page that a page opened, and the popup browser
// window on itself. Which commands a window carries out this way is said by
// its route table (PageRoutes.h); RunWindowCommand carries them out, by the
// window's WindowCommandRules below.
//
// The shared commands:
//   CMD_MINIMIZE             minimise the window
//   CMD_TOGGLE_MAXIMIZE      restore a minimised or maximised window, maximise
//                            any other; then bring it to the front
//   CMD_MOVE .. CMD_SIZE_*   start the system's move or resize loop from the
//                            command's hit-test code (kMoveSizeHitTests)
//   CMD_PLACE_WINDOW         place the window from XX, YY, WW, HH (a window
//                            with a placement rule)
//   CMD_OPEN_IN_SYSTEM_BROWSER  open URL in the user's default web browser
//   CMD_FLASH_WINDOW         flash the window
//   CMD_CALL_JSVER           call JSVer(1) in the page's main frame
//
// Threading: user-interface thread.
#pragma once

#include <optional>

#include "engine/cef_browser.h"
#include "framework/afxtypes.h"
#include "packet/Vocabulary.h"

class CPacket;

// CMD_PLACE_WINDOW: the placement that stands in for fields the packet
// omits, and the SetWindowPos flags.
struct WindowPlacementRule {
    RECT defaults;
    UINT flags;
};

// How one kind of window carries out the shared commands.
struct WindowCommandRules {
    // The resize commands first give the window a sizing frame, all but
    // CMD_SIZE_LEFT, which resizes without it.
    bool resizeAddsSizingFrame = false;
    // CMD_PLACE_WINDOW, when the window places itself by this rule.
    std::optional<WindowPlacementRule> placement;
};

// Whether RunWindowCommand carries out `command` by `rules`.
constexpr bool CarriesOut(const WindowCommandRules& rules, int command) {
    switch (command) {
        case CMD_MINIMIZE:
        case CMD_TOGGLE_MAXIMIZE:
        case CMD_OPEN_IN_SYSTEM_BROWSER:
        case CMD_FLASH_WINDOW:
        case CMD_CALL_JSVER:
            return true;
        case CMD_PLACE_WINDOW:
            return rules.placement.has_value();
        default:
            return HitTestOfCommand(command) != 0;
    }
}

// The browser view, acting on its chat frame. It places its frame by rules of
// its own (a query with CALL, the logout corner with LOGOUT), which end in
// PlaceWindowFromPacket.
inline constexpr WindowCommandRules kChatViewCommands{
    .resizeAddsSizingFrame = false,
    .placement = std::nullopt,
};

// A page popup, acting on its top-level window. Its sizing frame may have been
// taken away (CMD_OPEN_POPUP_WINDOW in a page popup, or a popup opened without
// a frame), so resizing brings it back. It places itself at (0, 0) and 800 x
// 600 for what the packet omits, and is shown.
inline constexpr WindowCommandRules kPagePopupCommands{
    .resizeAddsSizingFrame = true,
    .placement = WindowPlacementRule{RECT{0, 0, 800, 600}, SWP_SHOWWINDOW},
};

// The popup browser window, acting on itself.
inline constexpr WindowCommandRules kPopupWindowCommands{
    .resizeAddsSizingFrame = false,
    .placement = std::nullopt,
};

// Carries out the command of `packet` (a GBN_COMMAND packet) on `window` by
// `rules`, with `page` the browser of the page that sent it (for
// CMD_CALL_JSVER; may be empty). True when `rules` carries the command out
// (CarriesOut), also when a missing window or browser leaves nothing to do;
// false for any other command, which is left as it is.
bool RunWindowCommand(const WindowCommandRules& rules, HWND window,
                      const CefRefPtr<CefBrowser>& page, CPacket& packet);

// Places `window` at the packet's XX, YY, WW, HH (left, top, width, height),
// `defaults` standing in for the fields the packet omits; a place on no
// screen goes into the nearest screen's work area.
void PlaceWindowFromPacket(HWND window, CPacket& packet, const RECT& defaults, UINT flags);
