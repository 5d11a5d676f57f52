// The toolkit peer of a framework window: a QWidget that turns toolkit
// events into window messages for its CWnd, so the system sees one model
// whether a message came from the user, the toolkit or another window.
#pragma once

#include <QWidget>

#include <optional>

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

    // A window that bypasses the window manager: no manager stacks, moves,
    // sizes, iconifies or maximises it, so the peer does it itself.
    // Stacks it above the others when `above`, and writes the state
    // (_NET_WM_STATE_ABOVE or none) on the native window.
    void StackUnmanaged(bool above);
    // Moves the window with the pointer (no edges) or sizes it at `edges`
    // while the left button stays down: the manager's move and size loops.
    // Nothing when the button is already up.
    void FollowPointer(Qt::Edges edges);

protected:
    void resizeEvent(QResizeEvent* e) override;
    void moveEvent(QMoveEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void changeEvent(QEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    void UnmanagedStateChanged(Qt::WindowStates old);

    struct PointerFollow {
        Qt::Edges edges;
        QPoint start;  // the pointer, globally
        QRect from;    // the window's geometry then
    };
    CWnd* m_owner;
    std::optional<PointerFollow> m_follow;
    QRect m_beforeMaximize;
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
