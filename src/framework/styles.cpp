// How a window's styles become the toolkit's: the window flags, the
// sizing border that a frameless thick-frame window keeps around its client
// area, and style changes made while the window is on screen.
//
// A native window is created once, with the flags its styles give at that
// moment; later changes act on the live native window and never hide, unmap
// or re-create it (the toolkit's own QWidget::setWindowFlags would).
//
// A top-level popup that is never activated (WS_POPUP without a caption,
// WS_EX_NOACTIVATE: an alarm popup) is a notification window: it bypasses
// the window manager (override-redirect on X11), as desktop notification
// popups do. Managers keep the windows they manage inside the work area,
// give them taskbar and pager entries and may focus or decorate them; a
// window they do not manage stands exactly where its owner puts it, slides
// included, has no entry, no decoration and never the focus. The toolkit
// reads that flag when it creates the native window, which the framework
// does once, so the window carries it from its creation on.
#include <QOpenGLWidget>
#include <QWindow>

#include "framework/internal.h"
#include "framework/peer.h"

namespace {

bool g_composited = false;
QMargins g_frameMargins;

}  // namespace

namespace framework {

QMargins LastFrameMargins() {
    return g_frameMargins;
}

void SetLastFrameMargins(const QMargins& margins) {
    g_frameMargins = margins;
}

void SetTopLevelWindowsComposited(bool composited) {
    g_composited = composited;
}

// The toolkit re-creates a shown top-level window the first time a child
// that draws through the GPU (a browser view) is put into it, because the
// window was made for plain raster drawing. A hidden GPU child from the
// start makes the toolkit create the native window for GPU composition at
// once; hidden, it draws nothing and costs no context.
// Windows are composed only where the engine found OpenGL on a GPU.
void PrepareForComposition(QWidget* topLevel) {
    if (!g_composited || !topLevel)
        return;
    auto* marker = new QOpenGLWidget(topLevel);
    marker->setObjectName(QStringLiteral("composition"));
    marker->setGeometry(0, 0, 0, 0);
    marker->hide();
}

}  // namespace framework

namespace {

bool IsNotificationWindow(DWORD style, DWORD exStyle) {
    return (style & WS_POPUP) && !(style & WS_CHILD) && (style & WS_CAPTION) != WS_CAPTION &&
           (exStyle & WS_EX_NOACTIVATE);
}

}  // namespace

Qt::WindowFlags CWnd::ToolkitFlags() const {
    Qt::WindowFlags flags = (m_exStyle & WS_EX_TOOLWINDOW) ? Qt::Tool : Qt::Window;
    if (!HasCaption()) {
        flags |= Qt::FramelessWindowHint;
    } else {
        flags |= Qt::WindowTitleHint | Qt::CustomizeWindowHint;
        if (m_style & WS_SYSMENU)
            flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
        if (m_style & WS_MINIMIZEBOX)
            flags |= Qt::WindowMinimizeButtonHint;
        if (m_style & WS_MAXIMIZEBOX)
            flags |= Qt::WindowMaximizeButtonHint;
    }
    if (m_exStyle & WS_EX_TOPMOST)
        flags |= Qt::WindowStaysOnTopHint;
    if (m_exStyle & WS_EX_NOACTIVATE)
        flags |= Qt::WindowDoesNotAcceptFocus;
    if (IsNotificationWindow(m_style, m_exStyle))
        flags |= Qt::BypassWindowManagerHint;
    return flags;
}

bool CWnd::HasCaption() const {
    return (m_style & WS_CAPTION) == WS_CAPTION;
}

bool CWnd::IsFrameless() const {
    return m_peer && m_peer->isWindow() && !HasCaption();
}

POINT CWnd::ClientOffset() const {
    if (!(m_style & WS_CHILD) && !HasCaption() && (m_style & WS_THICKFRAME))
        return POINT{AFX_CXFRAME, AFX_CYFRAME};
    return POINT{0, 0};
}

// Styles map to the toolkit: a popup is frameless, an overlapped window is
// decorated, topmost stays on top, a tool window has no taskbar entry, a
// no-activate window is shown without taking the focus, a no-activate popup
// bypasses the window manager, a child is a child widget.
void CWnd::ApplyStyles() {
    if (!m_peer)
        return;
    m_peer->setAttribute(Qt::WA_ShowWithoutActivating, (m_exStyle & WS_EX_NOACTIVATE) != 0);
    if (m_style & WS_CHILD)
        return;
    const Qt::WindowFlags flags = ToolkitFlags();
    if (m_peer->windowFlags() != flags) {
        QWindow* native = m_peer->windowHandle();
        if (native && m_peer->testAttribute(Qt::WA_WState_Created)) {
            // Tell the widget without telling the window system, then
            // change the live window in place.
            m_peer->overrideWindowFlags(flags);
            native->setFlags(flags);
            // No manager stacks a window that bypasses it: it stacks
            // itself, and says so on the window for whoever looks.
            if (flags & Qt::BypassWindowManagerHint)
                m_peer->StackUnmanaged((flags & Qt::WindowStaysOnTopHint) != 0);
        } else {
            m_peer->setWindowFlags(flags);
        }
    }
    const POINT offset = ClientOffset();
    if (offset.x != m_clientOffset.x || offset.y != m_clientOffset.y) {
        // The border came or went: children keep their client coordinates,
        // and the client area has a new size.
        const int dx = static_cast<int>(offset.x - m_clientOffset.x);
        const int dy = static_cast<int>(offset.y - m_clientOffset.y);
        m_clientOffset = offset;
        for (QObject* child : m_peer->children()) {
            if (auto* peer = qobject_cast<framework::PeerWidget*>(child))
                peer->move(peer->pos() + QPoint(dx, dy));
        }
        RECT client;
        GetClientRect(&client);
        SendMessage(WM_SIZE, SIZE_RESTORED,
                    MAKELPARAM(static_cast<int>(client.right), static_cast<int>(client.bottom)));
    }
}
