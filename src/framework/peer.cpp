// The toolkit peer of a window: toolkit events become the window's messages.
#include <QCloseEvent>
#include <QCoreApplication>
#include <QPainter>
#include <QPointer>

#include "framework/internal.h"
#include "framework/peer.h"

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
