// Windows: creation, the window procedure with its typed handlers and
// default processing, destruction, styles and state over the toolkit peer.
#include <QApplication>
#include <QIcon>
#include <QPainter>
#include <QPointer>
#include <QRegion>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <map>

#include "framework/internal.h"
#include "framework/peer.h"

namespace {

Qt::Edges EdgesOfHitTest(int code) {
    switch (code) {
        case HTLEFT:
            return Qt::LeftEdge;
        case HTRIGHT:
            return Qt::RightEdge;
        case HTTOP:
            return Qt::TopEdge;
        case HTBOTTOM:
            return Qt::BottomEdge;
        case HTTOPLEFT:
            return Qt::TopEdge | Qt::LeftEdge;
        case HTTOPRIGHT:
            return Qt::TopEdge | Qt::RightEdge;
        case HTBOTTOMLEFT:
            return Qt::BottomEdge | Qt::LeftEdge;
        case HTBOTTOMRIGHT:
            return Qt::BottomEdge | Qt::RightEdge;
        default:
            return {};
    }
}

// The cursors given to window classes, by class name.
std::map<CString, int>& ClassCursors() {
    static auto* cursors = new std::map<CString, int>();
    return *cursors;
}

Qt::CursorShape CursorShapeOf(int cursorId) {
    return cursorId == IDC_HAND ? Qt::PointingHandCursor : Qt::ArrowCursor;
}

}  // namespace

void AfxSetClassCursor(const CString& className, int cursorId) {
    ClassCursors()[className] = cursorId;
}

// ---------------------------------------------------------------------------
// CWnd.

CWnd::CWnd() = default;

CWnd::~CWnd() {
    *m_alive = false;
    if (m_hWnd) {
        // The object goes before its window: the window goes with it, and
        // the handle stops designating anything.
        HWND h = m_hWnd;
        WindowTable::Get().windows.erase(h);
        framework::KillAllWindowTimers(h);
        m_hWnd = nullptr;
        if (m_peer) {
            m_peer->Detach();
            m_peer->hide();
            m_peer->deleteLater();
            m_peer = nullptr;
        }
    }
}

CWnd* CWnd::FromHandle(HWND h) {
    return WindowTable::Get().Find(h);
}

CWnd* CWnd::FromLiveObject(const void* object) {
    if (!object)
        return nullptr;
    for (const auto& [h, w] : WindowTable::Get().windows) {
        if (w == object)
            return w;
    }
    return nullptr;
}

QWidget* CWnd::GetPeer() const {
    return m_peer;
}

BOOL CWnd::PreCreateWindow(CREATESTRUCT&) {
    return TRUE;
}

BOOL CWnd::Create(const CString& className, const CString& windowName, DWORD style,
                  const RECT& rect, CWnd* parent, UINT id, void* context) {
    return CreateEx(0, className, windowName, style | WS_CHILD, rect.left, rect.top,
                    rect.right - rect.left, rect.bottom - rect.top,
                    parent ? parent->m_hWnd : nullptr, id, context);
}

BOOL CWnd::CreateEx(DWORD exStyle, const CString& className, const CString& windowName, DWORD style,
                    int x, int y, int cx, int cy, HWND parent, UINT id, void* createParams) {
    if (m_hWnd)
        return FALSE;
    CREATESTRUCT cs;
    cs.lpCreateParams = createParams;
    cs.hMenu = id;
    cs.hwndParent = parent;
    cs.x = x;
    cs.y = y;
    cs.cx = cx;
    cs.cy = cy;
    cs.style = style;
    cs.dwExStyle = exStyle;
    cs.lpszName = windowName;
    cs.lpszClass = className;
    if (!PreCreateWindow(cs))
        return FALSE;

    CWnd* parentWnd = (cs.style & WS_CHILD) ? FromHandle(cs.hwndParent) : nullptr;
    if ((cs.style & WS_CHILD) && !parentWnd)
        return FALSE;

    m_style = cs.style & ~WS_VISIBLE;
    m_exStyle = cs.dwExStyle;
    m_id = cs.hMenu;
    m_peer = new framework::PeerWidget(this, parentWnd ? parentWnd->m_peer : nullptr);
    m_peer->setObjectName(cs.lpszClass);
    if (auto it = ClassCursors().find(cs.lpszClass); it != ClassCursors().end())
        m_peer->setCursor(CursorShapeOf(it->second));
    m_hWnd = WindowTable::Get().Add(this);
    m_clientOffset = ClientOffset();
    ApplyStyles();
    m_peer->setWindowTitle(cs.lpszName);
    const int width = std::max(cs.cx, 0);
    const int height = std::max(cs.cy, 0);
    if (parentWnd) {
        const POINT origin = parentWnd->ClientOffset();
        m_peer->setGeometry(cs.x + static_cast<int>(origin.x), cs.y + static_cast<int>(origin.y),
                            width, height);
    } else {
        framework::PrepareForComposition(m_peer);
        if (HasCaption()) {
            PlaceOuterFrame(RECT{cs.x, cs.y, cs.x + width, cs.y + height});
        } else {
            m_peer->setGeometry(cs.x, cs.y, width, height);
        }
    }

    std::shared_ptr<bool> alive = m_alive;
    HWND h = m_hWnd;
    if (SendMessage(WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        if (*alive && IsWindow(h))
            DestroyWindow();
        return FALSE;
    }
    if (!*alive || !IsWindow(h))
        return FALSE;
    // Size and place are told after the creation, as for any later change.
    m_peer->FlushPendingGeometry();
    if (!*alive || !IsWindow(h))
        return FALSE;
    // A top-level window exists in the window system from its creation on,
    // hidden until it is shown (so it can be found, and is made once).
    if (!(m_style & WS_CHILD))
        m_peer->winId();
    if (cs.style & WS_VISIBLE) {
        if (m_style & WS_CHILD) {
            ShowWindow(SW_SHOW);
        } else {
            // A top-level window appears when the loop runs, so that one
            // hidden right after its creation never flashes on screen.
            m_showPending = true;
            // QtCore owns the queued call and deletes it once it has run or
            // its context is gone; the analyzer does not follow it there.
            // NOLINTNEXTLINE(clang-analyzer-cplusplus.NewDeleteLeaks)
            QMetaObject::invokeMethod(
                m_peer,
                [h] {
                    CWnd* w = FromHandle(h);
                    if (w && w->m_showPending) {
                        w->m_showPending = false;
                        w->ShowWindow(SW_SHOW);
                    }
                },
                Qt::QueuedConnection);
        }
    }
    return TRUE;
}

BOOL CWnd::DestroyWindow() {
    return ::DestroyWindow(m_hWnd);
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::SendMessage(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::PostMessage(m_hWnd, message, wParam, lParam);
}

UINT_PTR CWnd::SetTimer(UINT_PTR id, UINT elapseMs) {
    if (!m_hWnd)
        return 0;
    framework::SetWindowTimer(m_hWnd, id, elapseMs);
    return id;
}

BOOL CWnd::KillTimer(UINT_PTR id) {
    return m_hWnd && framework::KillWindowTimer(m_hWnd, id) ? TRUE : FALSE;
}

LRESULT CWnd::Default() {
    return DefWindowProc(m_current.message, m_current.wParam, m_current.lParam);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    const CurrentMessage saved = m_current;
    m_current = CurrentMessage{message, wParam, lParam};
    std::shared_ptr<bool> alive = m_alive;
    LRESULT result = 0;
    switch (message) {
        case WM_CREATE:
            result = OnCreate(reinterpret_cast<CREATESTRUCT*>(lParam));
            break;
        case WM_DESTROY:
            OnDestroy();
            break;
        case WM_CLOSE:
            OnClose();
            break;
        case WM_SIZE:
            OnSize(static_cast<UINT>(wParam), static_cast<short>(LOWORD(lParam)),
                   static_cast<short>(HIWORD(lParam)));
            break;
        case WM_MOVE:
            OnMove(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
            break;
        case WM_MOVING:
            OnMoving(static_cast<UINT>(wParam), reinterpret_cast<RECT*>(lParam));
            result = TRUE;
            break;
        case WM_SIZING:
            OnSizing(static_cast<UINT>(wParam), reinterpret_cast<RECT*>(lParam));
            result = TRUE;
            break;
        case WM_TIMER:
            OnTimer(static_cast<UINT_PTR>(wParam));
            break;
        case WM_GETMINMAXINFO:
            OnGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lParam));
            break;
        case WM_ERASEBKGND:
            result = OnEraseBkgnd(reinterpret_cast<CDC*>(wParam));
            break;
        case WM_PAINT:
            OnPaint();
            break;
        case WM_NCACTIVATE:
            result = OnNcActivate(static_cast<BOOL>(wParam));
            break;
        case WM_NCPAINT:
            OnNcPaint();
            break;
        case WM_SETFOCUS:
            OnSetFocus(nullptr);
            break;
        case WM_COMMAND:
            result = OnCommand(wParam, lParam);
            break;
        default:
            result = DefWindowProc(message, wParam, lParam);
            break;
    }
    if (*alive)
        m_current = saved;
    return result;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CLOSE:
            DestroyWindow();
            return 0;
        case WM_ERASEBKGND: {
            auto* dc = reinterpret_cast<CDC*>(wParam);
            if (dc && dc->painter() && m_peer) {
                dc->painter()->fillRect(m_peer->rect(), m_peer->palette().window());
            }
            return 1;
        }
        case WM_NCACTIVATE:
            return TRUE;
        case WM_NCLBUTTONDOWN: {
            // Hand the move or resize to the window manager's own loop,
            // which follows the mouse button the user holds down.
            if (!m_peer || !m_peer->isWindow())
                return 0;
            QWindow* win = m_peer->windowHandle();
            if (!win)
                return 0;
            if (m_peer->windowFlags() & Qt::BypassWindowManagerHint) {
                // No manager moves or sizes a window that bypasses it: the
                // window follows the pointer itself.
                if (static_cast<int>(wParam) == HTCAPTION) {
                    m_peer->FollowPointer({});
                } else if (Qt::Edges edges = EdgesOfHitTest(static_cast<int>(wParam))) {
                    m_peer->FollowPointer(edges);
                }
                return 0;
            }
            if (static_cast<int>(wParam) == HTCAPTION) {
                win->startSystemMove();
            } else if (Qt::Edges edges = EdgesOfHitTest(static_cast<int>(wParam))) {
                win->startSystemResize(edges);
            }
            return 0;
        }
        case WM_SETICON:
            // lParam is an icon from LoadIconW; both sizes come from it.
            if (m_peer && lParam)
                m_peer->setWindowIcon(*reinterpret_cast<QIcon*>(lParam));
            return 0;
        default:
            return 0;
    }
}

int CWnd::OnCreate(CREATESTRUCT*) {
    return static_cast<int>(Default());
}
void CWnd::OnDestroy() {
    Default();
}
void CWnd::OnClose() {
    Default();
}
void CWnd::OnSize(UINT, int, int) {
    Default();
}
void CWnd::OnMove(int, int) {
    Default();
}
void CWnd::OnMoving(UINT, RECT*) {
    Default();
}
void CWnd::OnSizing(UINT, RECT*) {
    Default();
}
void CWnd::OnTimer(UINT_PTR) {
    Default();
}
void CWnd::OnGetMinMaxInfo(MINMAXINFO*) {
    Default();
}
BOOL CWnd::OnEraseBkgnd(CDC*) {
    return static_cast<BOOL>(Default());
}
void CWnd::OnPaint() {
    Default();
}
BOOL CWnd::OnNcActivate(BOOL) {
    return static_cast<BOOL>(Default());
}
void CWnd::OnNcPaint() {
    Default();
}
void CWnd::OnSetFocus(CWnd*) {
    Default();
}
BOOL CWnd::OnCommand(WPARAM, LPARAM) {
    return FALSE;
}

void CWnd::OnNcDestroy() {
    CWinApp* app = AfxGetApp();
    if (app && app->m_pMainWnd == this) {
        app->m_pMainWnd = nullptr;
        PostQuitMessage(0);
    }
    PostNcDestroy();
}

void CWnd::PostNcDestroy() {}

void CWnd::SetWindowText(const CString& text) {
    if (m_peer)
        m_peer->setWindowTitle(text);
}

CString CWnd::GetWindowText() const {
    return m_peer ? m_peer->windowTitle() : CString();
}

DWORD CWnd::GetStyle() const {
    DWORD s = m_style;
    if (m_peer) {
        // The window's own visibility, whatever its ancestors'.
        s = (m_showPending || !m_peer->isHidden()) ? (s | WS_VISIBLE) : (s & ~WS_VISIBLE);
        s = m_peer->isMaximized() ? (s | WS_MAXIMIZE) : (s & ~WS_MAXIMIZE);
        s = m_peer->isMinimized() ? (s | WS_MINIMIZE) : (s & ~WS_MINIMIZE);
    }
    return s;
}

DWORD CWnd::GetExStyle() const {
    return m_exStyle;
}

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add, UINT swpFlags) {
    const DWORD old = m_style;
    m_style = (m_style & ~remove) | add;
    if (swpFlags)
        SetWindowPos(nullptr, 0, 0, 0, 0, swpFlags | SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER);
    return old != m_style;
}

BOOL CWnd::ModifyStyleEx(DWORD remove, DWORD add, UINT swpFlags) {
    const DWORD old = m_exStyle;
    m_exStyle = (m_exStyle & ~remove) | add;
    // A window that stops being layered is opaque again.
    if ((old & WS_EX_LAYERED) && !(m_exStyle & WS_EX_LAYERED) && m_peer && m_peer->isWindow())
        m_peer->setWindowOpacity(1.0);
    if ((old ^ m_exStyle) & WS_EX_TOPMOST)
        ApplyStyles();
    if (swpFlags)
        SetWindowPos(nullptr, 0, 0, 0, 0, swpFlags | SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER);
    return old != m_exStyle;
}

CWnd* CWnd::GetParent() const {
    return FromHandle(::GetParent(m_hWnd));
}

BOOL CWnd::SetForegroundWindow() {
    if (!m_peer)
        return FALSE;
    QWidget* top = m_peer->window();
    top->raise();
    top->activateWindow();
    return TRUE;
}

BOOL CWnd::FlashWindow(BOOL) {
    if (!m_peer)
        return FALSE;
    QApplication::alert(m_peer->window());
    return TRUE;
}

void CWnd::SetFocus() {
    if (m_peer)
        m_peer->setFocus();
}

int CWnd::SetWindowRgn(const RECT& region, BOOL redraw) {
    if (!m_peer)
        return 0;
    if (IsRectEmpty(&region)) {
        m_hasRegion = false;
        m_peer->clearMask();
    } else {
        m_region = region;
        m_hasRegion = true;
        m_peer->setMask(QRegion(framework::ToQRect(region)));
    }
    if (redraw)
        m_peer->update();
    return 1;
}

BOOL CWnd::SetLayeredAlpha(BYTE alpha) {
    if (!m_peer || !m_peer->isWindow())
        return FALSE;
    m_peer->setWindowOpacity(alpha / 255.0);
    return TRUE;
}
