// The toolkit peer of a framework window: a QWidget that turns toolkit
// events into window messages for its CWnd, so the system sees one model
// whether a message came from the user, the toolkit or another window.
#pragma once

#include <QWidget>

#include "framework/afxwin.h"

namespace framework {

class PeerWidget : public QWidget {
    Q_OBJECT
public:
    PeerWidget(CWnd* owner, QWidget* parent);
    // The window is gone: stop forwarding events to it.
    void Detach() { m_owner = nullptr; }
    CWnd* Owner() const { return m_owner; }
    // The toolkit holds back the move and resize events of a hidden widget
    // until it is shown; a window hears of its new size and place at once.
    void FlushPendingGeometry();

protected:
    void resizeEvent(QResizeEvent* e) override;
    void moveEvent(QMoveEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void changeEvent(QEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;

private:
    CWnd* m_owner;
};

// Top-level windows created from now on are made for GPU composition from
// the start, so that a browser view put into one later never makes the
// toolkit re-create its native window. The engine turns it on where
// OpenGL runs on a GPU; the caller makes sure OpenGL works.
void SetTopLevelWindowsComposited(bool composited);

// Conversions at the toolkit boundary.
QRect ToQRect(const RECT& r);
RECT FromQRect(const QRect& r);

}  // namespace framework
