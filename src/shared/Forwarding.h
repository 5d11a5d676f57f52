// Passing a packet on to the main window. A window that cannot carry out a
// packet sends (never posts) a copy of it to the main window; the copy is
// built from the packet's text, so a '%' in it arrives as '％', and it is
// gone when the main window has handled it. The received packet stays with
// its receiver, which deletes it as usual.
//
// Threading: user-interface thread.
#pragma once

#include "framework/afxtypes.h"
#include "packet/Vocabulary.h"

class CPacket;
class CWnd;

// Sends a copy of `packet` to the main window as WM_APP_PACKET with `sender`
// as its context (SENDER_NO_WINDOW, SENDER_OTHER_KIND or SenderOf a window).
// Nothing happens without a main window.
void ForwardToMainWindow(const CPacket& packet, LPARAM sender);

// The sender context that names `window` as the requesting window.
LPARAM SenderOf(const CWnd* window);

// The requesting window that a sender context names, when that window still
// exists; nullptr for the fixed contexts and for a window that is gone.
CWnd* RequestingWindow(LPARAM sender);
