// Windows: the handle table, the window procedure and its typed handlers,
// sent and posted messages, and the window operations over the toolkit peer.
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QMutex>
#include <QPainter>
#include <QPointer>
#include <QRegion>
#include <QScreen>
#include <QThread>
#include <QWindow>
#include <deque>
#include <unordered_map>

#include "framework/internal.h"
#include "framework/peer.h"

// ---------------------------------------------------------------------------
// Handle table. Handles are never reused within a run.

struct WindowTable {
    std::unordered_map<HWND, CWnd*> windows;
    std::uintptr_t next = 0x10000;

    static WindowTable& Get() {
        static auto* table = new WindowTable();
        return *table;
    }
    HWND Add(CWnd* w) {
        next += 4;
        HWND h = reinterpret_cast<HWND>(next);
        windows[h] = w;
        return h;
    }
    CWnd* Find(HWND h) const {
        auto it = windows.find(h);
        return it == windows.end() ? nullptr : it->second;
    }
};

// ---------------------------------------------------------------------------
// Posted messages.

namespace {

struct Posted {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

class PostQueue : public QObject {
public:
    static PostQueue& Get() {
        static auto* queue = new PostQueue();
        return *queue;
    }

    void Post(const Posted& p) {
        bool wake;
        {
            QMutexLocker lock(&m_mutex);
            m_items.push_back(p);
            wake = !m_wakePending;
            m_wakePending = true;
        }
        if (wake && QCoreApplication::instance()) {
            QCoreApplication::postEvent(this, new QEvent(QEvent::User));
        }
    }

    // Delivers what is waiting now; what those handlers post waits for the
    // next round, so the toolkit's own events are never starved. Messages
    // are taken from the shared queue one at a time: a nested loop (a box
    // opened by a handler) goes on with the oldest, in posting order.
    void Deliver() {
        std::size_t n;
        {
            QMutexLocker lock(&m_mutex);
            n = m_items.size();
            m_wakePending = false;
        }
        while (n-- > 0) {
            Posted p{};
            {
                QMutexLocker lock(&m_mutex);
                if (m_items.empty())
                    return;
                p = m_items.front();
                m_items.pop_front();
            }
            if (IsWindow(p.hwnd)) {
                ::SendMessage(p.hwnd, p.message, p.wParam, p.lParam);
            } else {
                Dispose(p);
            }
        }
    }

    void Discard() {
        std::deque<Posted> batch;
        {
            QMutexLocker lock(&m_mutex);
            batch.swap(m_items);
        }
        for (const Posted& p : batch)
            Dispose(p);
    }

    void SetDisposer(UINT message, void (*dispose)(WPARAM)) {
        QMutexLocker lock(&m_mutex);
        m_disposers[message] = dispose;
    }

protected:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User) {
            Deliver();
            return true;
        }
        return QObject::event(e);
    }

private:
    void Dispose(const Posted& p) {
        void (*dispose)(WPARAM) = nullptr;
        {
            QMutexLocker lock(&m_mutex);
            auto it = m_disposers.find(p.message);
            if (it != m_disposers.end())
                dispose = it->second;
        }
        if (dispose && p.wParam)
            dispose(p.wParam);
    }

    QMutex m_mutex;
    std::deque<Posted> m_items;
    bool m_wakePending = false;
    std::unordered_map<UINT, void (*)(WPARAM)> m_disposers;
};

bool g_quit = false;
int g_quitCode = 0;

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

}  // namespace

namespace framework {

bool QuitPosted() {
    return g_quit;
}
int QuitExitCode() {
    return g_quitCode;
}
void ResetQuit() {
    g_quit = false;
}

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

void CWnd::Invalidate() {
    if (m_peer)
        m_peer->update();
}

void CWnd::UpdateWindow() {
    if (m_peer)
        m_peer->update();
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

// ---------------------------------------------------------------------------
// Functions on handles.

BOOL IsWindow(HWND h) {
    return h && WindowTable::Get().Find(h) ? TRUE : FALSE;
}

LRESULT SendMessage(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd* w = WindowTable::Get().Find(h);
    if (!w)
        return 0;
    return w->WindowProc(message, wParam, lParam);
}

BOOL PostMessage(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!h)
        return FALSE;
    PostQueue::Get().Post(Posted{h, message, wParam, lParam});
    return TRUE;
}

void PostQuitMessage(int exitCode) {
    g_quit = true;
    g_quitCode = exitCode;
    if (QCoreApplication::instance()) {
        // Wake a loop that waits for events.
        QCoreApplication::postEvent(&PostQueue::Get(), new QEvent(QEvent::User));
    }
}

BOOL DestroyWindow(HWND h) {
    CWnd* w = WindowTable::Get().Find(h);
    if (!w)
        return FALSE;
    std::shared_ptr<bool> alive = w->m_alive;
    w->SendMessage(WM_DESTROY);
    if (!*alive || !IsWindow(h))
        return TRUE;
    // Children go before their parent.
    std::vector<HWND> children;
    for (const auto& [ch, cw] : WindowTable::Get().windows) {
        if (::GetParent(ch) == h)
            children.push_back(ch);
    }
    for (HWND ch : children)
        DestroyWindow(ch);
    if (!*alive || !IsWindow(h))
        return TRUE;

    framework::KillAllWindowTimers(h);
    WindowTable::Get().windows.erase(h);
    framework::PeerWidget* peer = w->m_peer;
    w->m_peer = nullptr;
    w->m_hWnd = nullptr;
    if (peer) {
        peer->Detach();
        peer->hide();
        peer->deleteLater();
    }
    w->OnNcDestroy();  // may delete the object
    return TRUE;
}

HWND GetParent(HWND h) {
    CWnd* w = WindowTable::Get().Find(h);
    if (!w || !w->GetPeer() || !(w->GetStyle() & WS_CHILD))
        return nullptr;
    QWidget* parent = w->GetPeer()->parentWidget();
    auto* peer = qobject_cast<framework::PeerWidget*>(parent);
    return peer && peer->Owner() ? peer->Owner()->m_hWnd : nullptr;
}

HWND GetAncestor(HWND h, UINT flags) {
    if (!IsWindow(h))
        return nullptr;
    if (flags == GA_PARENT)
        return GetParent(h);
    HWND cur = h;
    while (HWND p = GetParent(cur))
        cur = p;
    return cur;
}

HWND GetWindow(HWND h, UINT cmd) {
    if (cmd != GW_CHILD || !IsWindow(h))
        return nullptr;
    CWnd* w = CWnd::FromHandle(h);
    for (QObject* child : w->GetPeer()->children()) {
        auto* peer = qobject_cast<framework::PeerWidget*>(child);
        if (peer && peer->Owner())
            return peer->Owner()->m_hWnd;
    }
    return nullptr;
}

BOOL ShowWindow(HWND h, int cmd) {
    CWnd* w = CWnd::FromHandle(h);
    return w ? w->ShowWindow(cmd) : FALSE;
}

BOOL IsIconic(HWND h) {
    CWnd* w = CWnd::FromHandle(h);
    return w ? w->IsIconic() : FALSE;
}

BOOL IsWindowVisible(HWND h) {
    CWnd* w = CWnd::FromHandle(h);
    return w ? w->IsWindowVisible() : FALSE;
}

BOOL SetWindowPos(HWND h, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    CWnd* w = CWnd::FromHandle(h);
    return w ? w->SetWindowPos(insertAfter, x, y, cx, cy, flags) : FALSE;
}

BOOL SetWindowTextW(HWND h, const CString& text) {
    CWnd* w = CWnd::FromHandle(h);
    if (!w)
        return FALSE;
    w->SetWindowText(text);
    return TRUE;
}

namespace {
std::function<bool(HWND, RECT*)> g_foreignRects;
}

void SetForeignWindowRectProvider(std::function<bool(HWND, RECT*)> provider) {
    g_foreignRects = std::move(provider);
}

BOOL GetWindowRect(HWND h, RECT* r) {
    if (!r)
        return FALSE;
    if (g_foreignRects && g_foreignRects(h, r))
        return TRUE;
    if (h == GetDesktopWindow()) {
        // The desktop is the primary screen.
        const QScreen* screen = QGuiApplication::primaryScreen();
        *r = screen ? framework::FromQRect(screen->geometry()) : RECT{0, 0, 1024, 768};
        return TRUE;
    }
    CWnd* w = CWnd::FromHandle(h);
    if (!w)
        return FALSE;
    w->GetWindowRect(r);
    return TRUE;
}

LONG GetWindowLongW(HWND h, int index) {
    CWnd* w = CWnd::FromHandle(h);
    if (!w)
        return 0;
    if (index == GWL_STYLE)
        return static_cast<LONG>(w->GetStyle());
    if (index == GWL_EXSTYLE)
        return static_cast<LONG>(w->GetExStyle());
    return 0;
}

LONG SetWindowLongW(HWND h, int index, LONG value) {
    CWnd* w = CWnd::FromHandle(h);
    if (!w)
        return 0;
    const DWORD v = static_cast<DWORD>(value);
    if (index == GWL_STYLE) {
        const DWORD old = w->GetStyle();
        w->ModifyStyle(old, v);
        return static_cast<LONG>(old);
    }
    if (index == GWL_EXSTYLE) {
        const DWORD old = w->GetExStyle();
        w->ModifyStyleEx(old, v);
        return static_cast<LONG>(old);
    }
    return 0;
}

BOOL SetForegroundWindow(HWND h) {
    CWnd* w = CWnd::FromHandle(h);
    return w ? w->SetForegroundWindow() : FALSE;
}

BOOL ReleaseCapture() {
    if (QWidget* grabber = QWidget::mouseGrabber())
        grabber->releaseMouse();
    return TRUE;
}

HWND GetDesktopWindow() {
    // The desktop is not a framework window; its handle designates nothing
    // and is recognised by the functions that take it.
    static HWND const desktop = reinterpret_cast<HWND>(0x10);
    return desktop;
}

namespace {
struct DeferredPos {
    HWND h;
    HWND after;
    int x, y, cx, cy;
    UINT flags;
};
}  // namespace

HDWP BeginDeferWindowPos(int count) {
    auto* list = new std::vector<DeferredPos>();
    list->reserve(static_cast<size_t>(std::max(count, 0)));
    return list;
}

HDWP DeferWindowPos(HDWP info, HWND h, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    if (!info || !IsWindow(h))
        return info;
    static_cast<std::vector<DeferredPos>*>(info)->push_back({h, insertAfter, x, y, cx, cy, flags});
    return info;
}

BOOL EndDeferWindowPos(HDWP info) {
    auto* list = static_cast<std::vector<DeferredPos>*>(info);
    if (!list)
        return FALSE;
    for (const DeferredPos& p : *list)
        ::SetWindowPos(p.h, p.after, p.x, p.y, p.cx, p.cy, p.flags);
    delete list;
    return TRUE;
}

BOOL RedrawWindow(HWND h, const RECT*, void*, UINT flags) {
    CWnd* w = CWnd::FromHandle(h);
    if (!w || !w->GetPeer())
        return FALSE;
    if (flags & RDW_ALLCHILDREN) {
        for (QWidget* child : w->GetPeer()->findChildren<QWidget*>())
            child->update();
    }
    w->GetPeer()->update();
    return TRUE;
}

int WindowCount() {
    return static_cast<int>(WindowTable::Get().windows.size());
}

void RegisterPostedPayloadDisposer(UINT message, void (*dispose)(WPARAM)) {
    PostQueue::Get().SetDisposer(message, dispose);
}

void DeliverPostedMessages() {
    PostQueue::Get().Deliver();
}
void DiscardPostedMessages() {
    PostQueue::Get().Discard();
}

void Sleep(DWORD ms) {
    QThread::msleep(ms);
}

HICON LoadIconW(HINSTANCE, int resourceId) {
    if (resourceId != IDI_APPLICATION_ICON)
        return nullptr;
    static QIcon* icon = new QIcon(QStringLiteral(":/res/app.png"));
    return icon;
}
