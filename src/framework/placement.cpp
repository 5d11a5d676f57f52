// Showing and placing windows: window rectangles are the outer frame's,
// decorations included; client rectangles lie inside a sizing border where a
// window keeps one; a child's coordinates are its parent's client ones.
#include <QApplication>
#include <QWidget>
#include <QWindow>
#include <algorithm>

#include "framework/internal.h"
#include "framework/peer.h"

void CWnd::PlaceOuterFrame(const RECT& outer) {
    m_pendingOuter = outer;
    m_hasPendingOuter = true;
    CompleteOuterPlacement();
    if (!m_hasPendingOuter)
        return;
    // Until the window manager tells, the decorations of the last decorated
    // window are the best guess; a window not yet created is positioned by
    // its outer frame.
    const QMargins m = framework::LastFrameMargins();
    const QRect r = framework::ToQRect(outer);
    m_peer->resize(std::max(r.width() - m.left() - m.right(), 0),
                   std::max(r.height() - m.top() - m.bottom(), 0));
    m_peer->move(r.topLeft());
}

void CWnd::CompleteOuterPlacement() {
    if (!m_hasPendingOuter || !m_peer || !m_peer->isWindow())
        return;
    const QRect frame = m_peer->frameGeometry();
    const QRect client = m_peer->geometry();
    if (frame == client)
        return;  // decorations not known yet
    m_hasPendingOuter = false;
    const QMargins m(client.left() - frame.left(), client.top() - frame.top(),
                     frame.right() - client.right(), frame.bottom() - client.bottom());
    framework::SetLastFrameMargins(m);
    const QRect r = framework::ToQRect(m_pendingOuter);
    const QSize size(std::max(r.width() - m.left() - m.right(), 0),
                     std::max(r.height() - m.top() - m.bottom(), 0));
    if (m_peer->size() != size)
        m_peer->resize(size);
    if (frame.topLeft() != r.topLeft())
        m_peer->move(r.topLeft());
}

BOOL CWnd::ShowWindow(int cmd) {
    if (!m_peer)
        return FALSE;
    const BOOL wasVisible = IsWindowVisible();
    m_showPending = false;
    if (!(m_style & WS_CHILD) && cmd != SW_HIDE) {
        MINMAXINFO mmi{};
        mmi.ptMinTrackSize = POINT{0, 0};
        SendMessage(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
        if (!IsWindow(m_hWnd))
            return wasVisible;
        m_peer->setMinimumSize(std::max<LONG>(mmi.ptMinTrackSize.x, 0),
                               std::max<LONG>(mmi.ptMinTrackSize.y, 0));
    }
    switch (cmd) {
        case SW_HIDE:
            m_peer->hide();
            m_style &= ~WS_VISIBLE;
            break;
        case SW_MINIMIZE:
        case SW_SHOWMINIMIZED:
            m_peer->showMinimized();
            m_style |= WS_VISIBLE;
            break;
        case SW_MAXIMIZE:
            m_peer->showMaximized();
            m_style |= WS_VISIBLE | WS_MAXIMIZE;
            break;
        case SW_RESTORE:
        case SW_SHOWNORMAL:
            m_peer->showNormal();
            m_style = (m_style | WS_VISIBLE) & ~WS_MAXIMIZE;
            break;
        case SW_SHOWNA:
        case SW_SHOWNOACTIVATE: {
            const bool had = m_peer->testAttribute(Qt::WA_ShowWithoutActivating);
            m_peer->setAttribute(Qt::WA_ShowWithoutActivating, true);
            m_peer->show();
            m_peer->setAttribute(Qt::WA_ShowWithoutActivating, had);
            m_style |= WS_VISIBLE;
            break;
        }
        default:
            m_peer->show();
            m_style |= WS_VISIBLE;
            break;
    }
    return wasVisible;
}

// Visible when the window and all its ancestors are.
BOOL CWnd::IsWindowVisible() const {
    if (!m_peer || (m_peer->isHidden() && !m_showPending))
        return FALSE;
    if (const CWnd* parent = GetParent())
        return parent->IsWindowVisible();
    return m_showPending || m_peer->isVisible() ? TRUE : FALSE;
}

BOOL CWnd::IsIconic() const {
    return m_peer && m_peer->isMinimized() ? TRUE : FALSE;
}

BOOL CWnd::IsZoomed() const {
    return m_peer && m_peer->isMaximized() ? TRUE : FALSE;
}

void CWnd::GetWindowRect(RECT* r) const {
    if (!r)
        return;
    *r = RECT{};
    if (!m_peer)
        return;
    if (m_peer->isWindow()) {
        *r = framework::FromQRect(IsFrameless() ? m_peer->geometry() : m_peer->frameGeometry());
    } else {
        const QPoint origin = m_peer->mapToGlobal(QPoint(0, 0));
        *r = framework::FromQRect(QRect(origin, m_peer->size()));
    }
}

void CWnd::GetClientRect(RECT* r) const {
    if (!r)
        return;
    *r = RECT{};
    if (!m_peer)
        return;
    const POINT border = ClientOffset();
    *r = RECT{0, 0, std::max<LONG>(m_peer->width() - 2 * border.x, 0),
              std::max<LONG>(m_peer->height() - 2 * border.y, 0)};
}

void CWnd::ClientToScreen(POINT* p) const {
    if (!p || !m_peer)
        return;
    const POINT border = ClientOffset();
    const QPoint at = m_peer->mapToGlobal(
        QPoint(static_cast<int>(p->x + border.x), static_cast<int>(p->y + border.y)));
    *p = POINT{at.x(), at.y()};
}

void CWnd::ScreenToClient(POINT* p) const {
    if (!p || !m_peer)
        return;
    const POINT border = ClientOffset();
    const QPoint at = m_peer->mapFromGlobal(QPoint(static_cast<int>(p->x), static_cast<int>(p->y)));
    *p = POINT{at.x() - border.x, at.y() - border.y};
}

BOOL CWnd::SetWindowPos(HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    if (!m_peer)
        return FALSE;
    if (!(flags & SWP_NOZORDER) && !(m_style & WS_CHILD)) {
        if (insertAfter == HWND_TOPMOST) {
            m_exStyle |= WS_EX_TOPMOST;
            ApplyStyles();
        } else if (insertAfter == HWND_NOTOPMOST) {
            m_exStyle &= ~WS_EX_TOPMOST;
            ApplyStyles();
        } else if (insertAfter == HWND_TOP) {
            m_peer->raise();
        }
    }
    if (flags & SWP_FRAMECHANGED)
        ApplyStyles();
    // Window coordinates are those of the outer frame, decorations
    // included; a frameless window is all window (the toolkit may still
    // remember the margins of a frame it just lost); a child's are its
    // parent's client coordinates.
    if ((flags & (SWP_NOMOVE | SWP_NOSIZE)) != (SWP_NOMOVE | SWP_NOSIZE)) {
        RECT now;
        GetWindowRect(&now);
        const int left = (flags & SWP_NOMOVE) ? static_cast<int>(now.left) : x;
        const int top = (flags & SWP_NOMOVE) ? static_cast<int>(now.top) : y;
        const int width =
            std::max((flags & SWP_NOSIZE) ? static_cast<int>(now.right - now.left) : cx, 0);
        const int height =
            std::max((flags & SWP_NOSIZE) ? static_cast<int>(now.bottom - now.top) : cy, 0);
        if (!m_peer->isWindow()) {
            QPoint at = m_peer->pos();
            if (!(flags & SWP_NOMOVE)) {
                const CWnd* parent = GetParent();
                const POINT origin = parent ? parent->ClientOffset() : POINT{0, 0};
                at = QPoint(x + static_cast<int>(origin.x), y + static_cast<int>(origin.y));
            }
            m_peer->setGeometry(QRect(at, QSize(width, height)));
        } else if (IsFrameless()) {
            m_peer->setGeometry(left, top, width, height);
        } else {
            PlaceOuterFrame(RECT{left, top, left + width, top + height});
        }
        if (m_peer)
            m_peer->FlushPendingGeometry();
    }
    if (flags & SWP_SHOWWINDOW)
        ShowWindow((flags & SWP_NOACTIVATE) ? SW_SHOWNA : SW_SHOW);
    if (flags & SWP_HIDEWINDOW)
        ShowWindow(SW_HIDE);
    return TRUE;
}

void CWnd::MoveWindow(int x, int y, int cx, int cy, BOOL repaint) {
    SetWindowPos(nullptr, x, y, cx, cy, SWP_NOZORDER | (repaint ? 0 : SWP_NOREDRAW));
}

void CWnd::MoveWindow(const RECT& r, BOOL repaint) {
    MoveWindow(r.left, r.top, r.right - r.left, r.bottom - r.top, repaint);
}
