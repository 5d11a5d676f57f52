#include "shared/Forwarding.h"

#include "framework/afxwin.h"
#include "packet/Packet.h"
#include "shared/Messages.h"

void ForwardToMainWindow(const CPacket& packet, LPARAM sender) {
    CWnd* main = AfxGetMainWnd();
    if (!main)
        return;
    CPacket copy(packet.GetText());
    copy.SetSource(packet.Source());
    ::SendMessage(main->m_hWnd, WM_APP_PACKET, reinterpret_cast<WPARAM>(&copy), sender);
}

LPARAM SenderOf(const CWnd* window) {
    return reinterpret_cast<LPARAM>(window);
}

CWnd* RequestingWindow(LPARAM sender) {
    if (sender == SENDER_NO_WINDOW || sender == SENDER_OTHER_KIND)
        return nullptr;
    // Looked up among the live windows: a stale pointer is never touched.
    return CWnd::FromLiveObject(reinterpret_cast<const void*>(sender));
}
