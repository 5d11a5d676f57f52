#include "browser/MyBrowserView.h"

#include <cmath>
#include <memory>

#include "browser/MyBrowserFrame.h"
#include "browser/PageRoutes.h"
#include "packet/Fields.h"
#include "packet/Packet.h"
#include "packet/ScriptCall.h"
#include "packet/TextNumber.h"
#include "packet/Vocabulary.h"
#include "platform/desktop.h"
#include "shared/Forwarding.h"
#include "shared/Messages.h"
#include "shared/Service.h"
#include "shared/Settings.h"
#include "shared/ShellApp.h"
#include "shared/WorkArea.h"

namespace {

// Below 80 % of the base height the page stops shrinking.
constexpr double kMinimumScaleRatio = 0.8;
// The browser's zoom factor per level.
constexpr double kZoomFactorPerLevel = 1.2;

// The HTTP status at the end of a load that sends the page back.
constexpr int kHttpNotFound = 404;

// The HIDE values of command 1.
constexpr int kHideFrame = 1;
constexpr int kEndApplication = 2;
constexpr int kAskThenEndApplication = 3;

}  // namespace

// ---------------------------------------------------------------------------
// CPtrFIFO

CPtrFIFO::~CPtrFIFO() {
    std::lock_guard<std::mutex> lock(m_lock);
    RemoveAll();
}

void CPtrFIFO::AddTail(void* p) {
    m_items.push_back(p);
    m_count.store(m_items.size(), std::memory_order_release);
}

void* CPtrFIFO::RemoveHead() {
    if (m_items.empty())
        return nullptr;
    void* p = m_items.front();
    m_items.pop_front();
    m_count.store(m_items.size(), std::memory_order_release);
    return p;
}

void CPtrFIFO::RemoveAll() {
    m_items.clear();
    m_count.store(0, std::memory_order_release);
}

// ---------------------------------------------------------------------------
// CMyBrowserView

CMyBrowserView::CMyBrowserView() : m_autoScale(AppSettingInt(setting::kAutoScale, 0)) {}

CMyBrowserView::~CMyBrowserView() {
    // Packets still waiting are never delivered once the view is gone.
    for (;;) {
        void* p;
        {
            std::lock_guard<std::mutex> lock(m_pageQueue.m_lock);
            p = m_pageQueue.RemoveHead();
        }
        if (!p)
            break;
        delete static_cast<CPacket*>(p);
    }
}

BOOL CMyBrowserView::PreCreateWindow(CREATESTRUCT& cs) {
    if (!CWnd::PreCreateWindow(cs))
        return FALSE;
    cs.style &= ~WS_BORDER;
    // A double-click, redraw-on-resize class with the arrow cursor and the
    // window colour as background.
    cs.lpszClass = QStringLiteral("VelkBrowserView");
    return TRUE;
}

LRESULT CMyBrowserView::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_page.HandleMessage(message, wParam, lParam))
        return 0;
    return CWnd::WindowProc(message, wParam, lParam);
}

void CMyBrowserView::OnPageArrived() {
    const CefRefPtr<CefBrowser>& browser = Browser();
    if (!browser)
        return;
    // Nothing can be dragged and dropped onto the page.
    HWND h = browser->GetHost()->GetWindowHandle();
    RevokeDragDrop(GetWindow(h, GW_CHILD));

    // Delivery ticks fall every 100 ms from now on; they are counted from
    // here, and the timer runs only while packets wait (see StartQueueTicks).
    m_queueTickMs = GetTickCount64();
    if (!m_pageQueue.IsEmpty())
        StartQueueTicks();
    SetTimer(TIMER_LOAD_WATCH, 5000);

    RECT r;
    GetClientRect(&r);
    InflateRect(&r, -1, -1);
    m_baseHeight = static_cast<int>(r.bottom - r.top);

    ResizeBrowser();
    if (m_frame)
        m_frame->DrawBorder();
}

void CMyBrowserView::ResizeBrowser() {
    m_page.FillClientArea();
    ScaleToHeight();
}

void CMyBrowserView::ScaleToHeight() {
    if (m_autoScale == 0 || !Browser() || !Browser()->GetHost()->GetWindowHandle())
        return;
    RECT r;
    GetClientRect(&r);
    CefRefPtr<CefBrowserHost> host = Browser()->GetHost();
    // A browser that arrived while the view had no client area leaves no
    // height to scale against: the zoom stays as it is until a browser
    // arrives in a view that has one.
    if (m_baseHeight > 0) {
        double ratio = static_cast<double>(r.bottom - r.top) / static_cast<double>(m_baseHeight);
        if (ratio < kMinimumScaleRatio)
            ratio = kMinimumScaleRatio;
        host->SetZoomLevel(std::log(ratio) / std::log(kZoomFactorPerLevel));
    }
    host->NotifyMoveOrResizeStarted();
}

void CMyBrowserView::Navigate(const CString& address) {
    if (!Browser())
        return;
    CString url = address;
    if (url.contains(QLatin1String("file:"))) {
        url.replace(QLatin1String("{APPPATH}"), GetExeDir());
    } else if (!url.startsWith(QLatin1String("http"), Qt::CaseSensitive)) {
        url = ContentBaseUrl() + url;
    }
    m_url = url;
    Browser()->GetMainFrame()->LoadURL(m_url);
}

void CMyBrowserView::ExecuteScript(const CefString& code) {
    if (!Browser())
        return;
    CefRefPtr<CefFrame> frame = Browser()->GetMainFrame();
    frame->ExecuteJavaScript(code, frame->GetURL(), 0);
}

void CMyBrowserView::EnqueueForPage(CPacket* packet) {
    {
        std::lock_guard<std::mutex> lock(m_pageQueue.m_lock);
        m_pageQueue.AddTail(packet);
    }
    if (!m_queueTicking && Browser())
        StartQueueTicks();
}

// The page gets its packets on the ticks of a 100 ms timer that runs from
// the browser's arrival. A tick with nothing to deliver does nothing, so
// the timer is set only while packets wait: the first one waits for the
// tick that would have fallen next, and the page sees the same times as
// with a timer that never stops, while an idle window never wakes.
void CMyBrowserView::StartQueueTicks() {
    const ULONGLONG since = GetTickCount64() - m_queueTickMs;
    SetTimer(TIMER_PAGE_QUEUE, static_cast<UINT>(kPageQueueMs - since % kPageQueueMs));
    m_queueTicking = true;
    m_queueFirstWait = true;
}

void CMyBrowserView::OnQueueTick() {
    m_queueTickMs = GetTickCount64();
    DeliverNextToPage();
    if (m_pageQueue.IsEmpty()) {
        KillTimer(TIMER_PAGE_QUEUE);
        m_queueTicking = false;
    } else if (m_queueFirstWait) {
        // From the first tick on, the timer runs every 100 ms again.
        SetTimer(TIMER_PAGE_QUEUE, kPageQueueMs);
        m_queueFirstWait = false;
    }
}

// ---------------------------------------------------------------------------
// Packets from the page and from the browser client.

// The view's own packets (its route table, PageRoutes.h, sends the rest
// elsewhere): the end of a load, and the commands that act on its frame by
// rules of their own.
void CMyBrowserView::OnOwnPacket(CPacket& packet) {
    if (PacketKind(packet) == GBN_LOAD_END) {
        if (Browser() && packet.GetInt(field::kStatusCode, 0) == kHttpNotFound) {
            const std::shared_ptr<bool> alive = AliveToken();
            AfxMessageBox(QStringLiteral("에러발생 404"), MB_OK);
            // Other windows ran while the box was open: this view may be
            // gone, or have lost its browser.
            if (*alive && Browser())
                Browser()->GoBack();
        }
        return;
    }
    CMyBrowserFrame* frame = m_frame;
    switch (PacketCommand(packet)) {
        case CMD_HIDE_OR_CLOSE:
            HideOrClose(packet);
            break;
        case CMD_PLACE_WINDOW:
            PlaceFrame(packet);
            break;
        case CMD_OPEN_CHAT_FRAME:
            OpenSideWindow(packet);
            break;
        case CMD_SET_OPACITY:
            if (frame)
                frame->SetOpacity(packet.GetInt(field::kValue, 0));
            break;
        case CMD_SET_FOLLOW_OWNER:
            if (frame)
                frame->m_trackOwner = packet.GetInt(field::kValue, 0) != 0 ? 1 : 0;
            break;
        case CMD_SET_ZOOM:
            ApplyZoom(packet);
            break;
        default:
            break;
    }
}

HWND CMyBrowserView::CommandWindow() const {
    return m_frame ? m_frame->m_hWnd : nullptr;
}

const CWnd* CMyBrowserView::AskingWindow() const {
    return m_frame;
}

// Command 1: HIDE says whether the frame hides, or the application ends
// (at once, or after the user's Yes); without it the main chat window hides
// and any other chat frame closes.
void CMyBrowserView::HideOrClose(CPacket& packet) {
    CMyBrowserFrame* frame = m_frame;
    switch (packet.GetInt(field::kHide, 0)) {
        case kHideFrame:
            if (frame)
                frame->ShowWindow(SW_HIDE);
            break;
        case kEndApplication:
            if (CWnd* main = AfxGetMainWnd())
                main->PostMessage(WM_CLOSE, 0, 0);
            break;
        case kAskThenEndApplication: {
            if (AfxMessageBox(EndQuestion(), MB_YESNO) == IDYES) {
                if (CWnd* main = AfxGetMainWnd())
                    main->PostMessage(WM_CLOSE, 0, 0);
            }
            break;
        }
        default:
            if (!frame)
                break;
            // The main chat window only hides; any other chat frame closes,
            // and this view goes with it.
            if (frame->m_kind == TP_MAIN_CHAT) {
                frame->ShowWindow(SW_HIDE);
            } else {
                ::SendMessage(frame->m_hWnd, WM_CLOSE, 0, 0);
            }
            break;
    }
}

// Command 19: a query answers the page with the frame's placement and the
// frame metrics; otherwise the frame takes the placement given.
void CMyBrowserView::PlaceFrame(CPacket& packet) {
    if (!m_frame)
        return;
    RECT r;
    m_frame->GetWindowRect(&r);
    if (packet.GetInt(field::kCall, 0) > 0) {
        auto* reply = new CPacket(packet.GetText());
        SetRectFields(*reply, r);
        reply->SetInt(field::kCaptionHeight, GetSystemMetrics(SM_CYCAPTION));
        reply->SetInt(field::kFrameWidth, GetSystemMetrics(SM_CXFRAME));
        reply->SetInt(field::kFrameHeight, GetSystemMetrics(SM_CYFRAME));
        reply->SetInt(field::kBorderWidth, GetSystemMetrics(SM_CXBORDER));
        reply->SetInt(field::kBorderHeight, GetSystemMetrics(SM_CYBORDER));
        EnqueueForPage(reply);
        return;
    }
    RECT defaults = r;  // missing fields keep the current value
    if (packet.GetInt(field::kLogout, 0) == 1) {
        // By default a 400 x 600 window in the bottom-right corner.
        const RECT w = GetWorkArea();
        defaults = RECT{w.right - 400, w.bottom - 600, w.right, w.bottom};
    }
    PlaceWindowFromPacket(m_frame->m_hWnd, packet, defaults, SWP_NOZORDER);
}

// Command 20: a side window at the frame's right edge, overlapping it by one
// frame width, on the frame's screen; the frame moves left when the side
// window would not fit in that screen's work area.
void CMyBrowserView::OpenSideWindow(CPacket& packet) {
    CPacket copy(packet.GetText());
    // The main window judges the request by the page that made it, and a
    // window opened without a place opens on that page's screen.
    copy.SetSource(packet.Source());
    if (!m_frame ||
        (m_frame->m_kind != TP_SAVED_CHAT && copy.GetInt(field::kWindowKind, 0) != TP_SIDE_CHAT)) {
        ForwardToMainWindow(copy, SENDER_NO_WINDOW);
        return;
    }
    copy.SetString(field::kTitle, m_frame->GetWindowText() + QStringLiteral(",s"));

    RECT r1;
    m_frame->GetWindowRect(&r1);
    const RECT w = GetWorkAreaNearest(r1);
    const BesidePlacement place = PlaceBeside(r1, -GetSystemMetrics(SM_CXFRAME), w);
    SetRectFields(copy, place.beside);

    // The main window may open a frame and link it to ours; ours must still
    // be there afterwards to make room for it.
    CMyBrowserFrame* frame = m_frame;
    HWND frameWnd = frame->m_hWnd;
    ForwardToMainWindow(copy, SenderOf(frame));
    if (!IsWindow(frameWnd))
        return;
    if (place.self.left >= w.left)
        frame->MoveWindow(place.self, TRUE);
    frame->RecalcView();
}

// Command 52: the zoom follows the window height (AUTOSCALE), or takes a
// fixed level (SCALE, a zoom level of the browser, not a percentage).
void CMyBrowserView::ApplyZoom(CPacket& packet) {
    if (packet.Contains(field::kAutoScale)) {
        m_autoScale = packet.GetInt(field::kAutoScale, 0);
        if (m_autoScale == 0 && Browser())
            Browser()->GetHost()->SetZoomLevel(1.0);
        return;
    }
    const double level = WideToDouble(packet.GetString(field::kScale, QStringLiteral("1")));
    if (Browser())
        Browser()->GetHost()->SetZoomLevel(level);
}

// ---------------------------------------------------------------------------
// Window messages.

void CMyBrowserView::OnSize(UINT type, int cx, int cy) {
    // The page host has fitted the browser's window; the zoom follows.
    CWnd::OnSize(type, cx, cy);
    ScaleToHeight();
}

BOOL CMyBrowserView::OnEraseBkgnd(CDC* dc) {
    // An outline that shows only while no browser window covers the view.
    if (dc) {
        RECT r;
        GetClientRect(&r);
        InflateRect(&r, -1, -1);
        dc->DrawRectOutline(r, 2, RGB(200, 200, 200));
    }
    return FALSE;
}

void CMyBrowserView::OnPaint() {
    // The browser's window paints the page; the view itself draws nothing.
}

void CMyBrowserView::OnTimer(UINT_PTR id) {
    if (id == TIMER_PAGE_QUEUE) {
        OnQueueTick();
    } else if (id == TIMER_LOAD_WATCH) {
        KillTimer(TIMER_LOAD_WATCH);
        if (Browser() && Browser()->IsLoading()) {
            Browser()->Reload();
            SetTimer(TIMER_LOAD_WATCH, 5000);
        }
    }
    CWnd::OnTimer(id);
}

// One packet per tick, and none while the page loads: a page that has not
// finished loading may not have its JSRecv yet.
void CMyBrowserView::DeliverNextToPage() {
    if (m_pageQueue.IsEmpty() || !Browser() || Browser()->IsLoading())
        return;
    void* head;
    {
        std::lock_guard<std::mutex> lock(m_pageQueue.m_lock);
        head = m_pageQueue.RemoveHead();
    }
    std::unique_ptr<CPacket> packet(static_cast<CPacket*>(head));
    if (packet)
        ExecuteScript(ScriptCallOf(*packet));
}
