// The toolkit peer of a window: toolkit events become the window's messages.
// For a window that bypasses the window manager the peer also does what the
// manager would: stacking, the move and size loops, iconic and maximised.
#include <xcb/xcb.h>

#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QWindow>
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "framework/internal.h"
#include "framework/peer.h"

namespace {

// Writes the stacking state of a window that no manager handles, as the
// manager would for one it handles: above the others, or nothing.
void WriteStaysOnTopState(QWindow* window, bool above) {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!window || !x11 || !x11->connection())
        return;
    xcb_connection_t* c = x11->connection();
    auto atom = [&](const char* name) -> xcb_atom_t {
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
            c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
        const xcb_atom_t a = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
        std::free(reply);
        return a;
    };
    const auto w = static_cast<xcb_window_t>(window->winId());
    const xcb_atom_t state = atom("_NET_WM_STATE");
    if (above) {
        const xcb_atom_t states[] = {atom("_NET_WM_STATE_ABOVE"),
                                     atom("_NET_WM_STATE_STAYS_ON_TOP")};
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, state, XCB_ATOM_ATOM, 32, 2, states);
    } else {
        xcb_delete_property(c, w, state);
    }
    xcb_flush(c);
}

bool Unmanaged(const QWidget* w) {
    return w->isWindow() && (w->windowFlags() & Qt::BypassWindowManagerHint);
}

}  // namespace

namespace framework {

QRect ToQRect(const RECT& r) {
    return QRect(static_cast<int>(r.left), static_cast<int>(r.top),
                 static_cast<int>(r.right - r.left), static_cast<int>(r.bottom - r.top));
}
RECT FromQRect(const QRect& r) {
    return RECT{r.x(), r.y(), r.x() + r.width(), r.y() + r.height()};
}

// ---------------------------------------------------------------------------
// The peer widget.

PeerWidget::PeerWidget(CWnd* owner, QWidget* parent) : QWidget(parent), m_owner(owner) {
    setAttribute(Qt::WA_NoSystemBackground, false);
}

void PeerWidget::FlushPendingGeometry() {
    QPointer<PeerWidget> self(this);
    if (testAttribute(Qt::WA_PendingMoveEvent)) {
        setAttribute(Qt::WA_PendingMoveEvent, false);
        QMoveEvent e(pos(), QPoint());
        QCoreApplication::sendEvent(this, &e);
    }
    if (self && testAttribute(Qt::WA_PendingResizeEvent)) {
        setAttribute(Qt::WA_PendingResizeEvent, false);
        QResizeEvent e(size(), QSize());
        QCoreApplication::sendEvent(this, &e);
    }
}

void PeerWidget::StackUnmanaged(bool above) {
    if (above)
        raise();
    WriteStaysOnTopState(windowHandle(), above);
}

void PeerWidget::FollowPointer(Qt::Edges edges) {
    if (!(QGuiApplication::mouseButtons() & Qt::LeftButton))
        return;
    m_follow = PointerFollow{edges, QCursor::pos(), geometry()};
    grabMouse();
}

void PeerWidget::mouseMoveEvent(QMouseEvent* e) {
    if (!m_follow) {
        QWidget::mouseMoveEvent(e);
        return;
    }
    const QPoint d = e->globalPosition().toPoint() - m_follow->start;
    QRect r = m_follow->from;
    const Qt::Edges edges = m_follow->edges;
    if (!edges) {
        r.translate(d);
    } else {
        // An edge never passes the opposite one.
        if (edges & Qt::LeftEdge)
            r.setLeft(std::min(r.left() + d.x(), r.right()));
        if (edges & Qt::RightEdge)
            r.setRight(std::max(r.right() + d.x(), r.left()));
        if (edges & Qt::TopEdge)
            r.setTop(std::min(r.top() + d.y(), r.bottom()));
        if (edges & Qt::BottomEdge)
            r.setBottom(std::max(r.bottom() + d.y(), r.top()));
    }
    setGeometry(r);
}

void PeerWidget::mouseReleaseEvent(QMouseEvent* e) {
    if (m_follow && e->button() == Qt::LeftButton) {
        m_follow.reset();
        releaseMouse();
        return;
    }
    QWidget::mouseReleaseEvent(e);
}

// An unmanaged window is iconified and maximised by the peer: an iconic one
// leaves the screen until it is restored (it has no taskbar entry to stay
// in), a maximised one covers the work area and goes back to its place when
// restored.
void PeerWidget::UnmanagedStateChanged(Qt::WindowStates old) {
    if (isMaximized() && !(old & Qt::WindowMaximized)) {
        m_beforeMaximize = geometry();
        if (QScreen* s = screen())
            setGeometry(s->availableGeometry());
    } else if (!isMaximized() && (old & Qt::WindowMaximized) && m_beforeMaximize.isValid()) {
        setGeometry(m_beforeMaximize);
    }
    if (isMinimized()) {
        // Hidden once the state change has been told, not in its midst.
        // (QtCore owns the queued call and deletes it; the analyzer does not
        // follow it there.)
        // NOLINTNEXTLINE(clang-analyzer-cplusplus.NewDeleteLeaks)
        QMetaObject::invokeMethod(
            this,
            [self = QPointer<PeerWidget>(this)] {
                if (self && self->isMinimized())
                    self->hide();
            },
            Qt::QueuedConnection);
    }
}

void PeerWidget::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    if (!m_owner)
        return;
    UINT type = SIZE_RESTORED;
    if (isMinimized())
        type = SIZE_MINIMIZED;
    if (isMaximized())
        type = SIZE_MAXIMIZED;
    QPointer<PeerWidget> self(this);
    m_owner->CompleteOuterPlacement();
    if (!self || !m_owner)
        return;
    RECT client;
    m_owner->GetClientRect(&client);
    m_owner->SendMessage(
        WM_SIZE, type, MAKELPARAM(static_cast<int>(client.right), static_cast<int>(client.bottom)));
}

void PeerWidget::moveEvent(QMoveEvent* e) {
    QWidget::moveEvent(e);
    if (!m_owner)
        return;
    QPointer<PeerWidget> self(this);
    m_owner->CompleteOuterPlacement();
    if (!self || !m_owner)
        return;
    if (isWindow()) {
        RECT r{};
        m_owner->GetWindowRect(&r);
        m_owner->SendMessage(WM_MOVING, 0, reinterpret_cast<LPARAM>(&r));
    }
    if (!self || !m_owner)
        return;
    // A child reports its position in its parent's client coordinates.
    QPoint at = pos();
    if (auto* parent = qobject_cast<PeerWidget*>(parentWidget()); parent && parent->Owner()) {
        const POINT offset = parent->Owner()->ClientOffset();
        at -= QPoint(static_cast<int>(offset.x), static_cast<int>(offset.y));
    }
    m_owner->SendMessage(WM_MOVE, 0, MAKELPARAM(at.x(), at.y()));
}

void PeerWidget::closeEvent(QCloseEvent* e) {
    // The window decides itself whether and how it closes.
    e->ignore();
    if (m_owner)
        m_owner->SendMessage(WM_CLOSE);
}

void PeerWidget::paintEvent(QPaintEvent*) {
    if (!m_owner)
        return;
    QPainter painter(this);
    CDC dc(&painter);
    CWnd* owner = m_owner;
    std::shared_ptr<bool> alive = owner->m_alive;
    owner->m_paintDC = &dc;
    owner->SendMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(&dc), 0);
    if (*alive)
        owner->SendMessage(WM_PAINT);
    if (*alive && isWindow())
        owner->SendMessage(WM_NCPAINT, 1, 0);
    if (*alive) {
        auto pending = std::move(owner->m_pendingPaints);
        owner->m_pendingPaints.clear();
        for (auto& paint : pending) {
            painter.save();
            CDC overlay(&painter);
            paint(overlay);
            painter.restore();
        }
        owner->m_paintDC = nullptr;
    }
}

void PeerWidget::changeEvent(QEvent* e) {
    QWidget::changeEvent(e);
    if (e->type() == QEvent::WindowStateChange && Unmanaged(this))
        UnmanagedStateChanged(static_cast<QWindowStateChangeEvent*>(e)->oldState());
    if (!m_owner)
        return;
    if (e->type() == QEvent::ActivationChange && isWindow()) {
        m_owner->SendMessage(WM_NCACTIVATE, isActiveWindow() ? TRUE : FALSE, 0);
    } else if (e->type() == QEvent::WindowStateChange && isMinimized()) {
        m_owner->SendMessage(WM_SIZE, SIZE_MINIMIZED, MAKELPARAM(width(), height()));
    }
}

void PeerWidget::focusInEvent(QFocusEvent* e) {
    QWidget::focusInEvent(e);
    if (m_owner)
        m_owner->SendMessage(WM_SETFOCUS, 0, 0);
}

}  // namespace framework
