// Painting: the device context over the toolkit's painter, and painting
// on a window outside its paint message.
#include <QPainter>
#include <QRegion>
#include <QWidget>

#include "framework/internal.h"
#include "framework/peer.h"

// ---------------------------------------------------------------------------
// Device context.

namespace {
QColor ToQColor(COLORREF c) {
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}
}  // namespace

void CDC::FillSolidRect(const RECT& r, COLORREF color) {
    if (!m_painter)
        return;
    QRegion area(framework::ToQRect(r));
    if (m_hasExcluded)
        area = area.subtracted(QRegion(framework::ToQRect(m_excluded)));
    m_painter->save();
    m_painter->setClipRegion(area);
    m_painter->fillRect(framework::ToQRect(r), ToQColor(color));
    m_painter->restore();
}

void CDC::ExcludeClipRect(const RECT& r) {
    m_excluded = r;
    m_hasExcluded = true;
}

void CDC::DrawRectOutline(const RECT& r, int penWidth, COLORREF color) {
    if (!m_painter)
        return;
    m_painter->save();
    QPen pen(ToQColor(color));
    pen.setWidth(penWidth);
    m_painter->setPen(pen);
    const QPoint tl(r.left, r.top), tr(r.right, r.top), br(r.right, r.bottom), bl(r.left, r.bottom);
    m_painter->drawPolyline(QPolygon({tl, tr, br, bl, tl}));
    m_painter->restore();
}

void CWnd::Invalidate() {
    if (m_peer)
        m_peer->update();
}

void CWnd::UpdateWindow() {
    if (m_peer)
        m_peer->update();
}

void CWnd::PaintWindow(const std::function<void(CDC&)>& paint) {
    if (!m_peer)
        return;
    if (m_paintDC) {
        paint(*m_paintDC);
        return;
    }
    m_pendingPaints.push_back(paint);
    m_peer->update();
}
