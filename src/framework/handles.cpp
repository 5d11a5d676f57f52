// The handle table's functions and the posted-message queue: handles that
// designate windows (or nothing, harmlessly, once a window is gone), sent
// and posted messages, the quit message, and the window functions that take
// a handle.
#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QMutex>
#include <QScreen>
#include <QThread>
#include <QWidget>
#include <deque>
#include <unordered_map>

#include "framework/internal.h"
#include "framework/peer.h"

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

}  // namespace framework

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
        if (peer->isWindow() && QCoreApplication::instance())
            framework::ReturnFreedMemorySoon();
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

namespace {

// One icon object for the life of the process: every handle given out stays
// valid and shows the icon that start-up set.
QIcon& ApplicationIcon() {
    static auto* icon = new QIcon();
    return *icon;
}

}  // namespace

void AfxSetApplicationIcon(const CString& resourcePath) {
    ApplicationIcon() = QIcon(resourcePath);
}

HICON LoadIconW(HINSTANCE, int resourceId) {
    if (resourceId != IDI_APPLICATION_ICON)
        return nullptr;
    return &ApplicationIcon();
}
