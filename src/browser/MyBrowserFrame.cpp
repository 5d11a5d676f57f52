#include "browser/MyBrowserFrame.h"

#include <algorithm>
#include <climits>
#include <vector>

#include "packet/Fields.h"
#include "packet/Packet.h"
#include "packet/ScriptCall.h"
#include "packet/TextNumber.h"
#include "packet/Vocabulary.h"
#include "platform/desktop.h"
#include "shared/Messages.h"
#include "shared/Service.h"
#include "shared/Settings.h"
#include "shared/ShellApp.h"
#include "shared/WorkArea.h"

namespace {

constexpr UINT kRedrawAll = RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME;

// A placement keyword ("C" centre, and `low` or `high` for the two edges),
// compared without regard to case, or a coordinate.
int Coordinate(const CString& text, const char* low, const char* high, int start, int end,
               int size) {
    // Computed wide: sizes come from pages and may be anything. The centre is
    // that of the work area wherever it lies (a screen right of the primary
    // one), which for a work area at the origin is half of what is left.
    if (text.compare(QLatin1String("C"), Qt::CaseInsensitive) == 0)
        return ClampToInt(start + (static_cast<long long>(end) - start - size) / 2);
    if (text.compare(QLatin1String(low), Qt::CaseInsensitive) == 0)
        return start;
    if (text.compare(QLatin1String(high), Qt::CaseInsensitive) == 0)
        return ClampToInt(static_cast<long long>(end) - size);
    return WideToLong(text);
}

}  // namespace

CMyBrowserFrame::CMyBrowserFrame() = default;
CMyBrowserFrame::~CMyBrowserFrame() = default;

CPacket& CMyBrowserFrame::Settings() {
    // A frame created without a packet reads every value at its default.
    if (!m_settings)
        m_settings = std::make_unique<CPacket>(kEmptyPacketText);
    return *m_settings;
}

BOOL CMyBrowserFrame::CreateFrame(CPacket* packet) {
    m_settings = std::make_unique<CPacket>(packet ? packet->GetText() : QString());
    return LoadFrame(IDR_MAINFRAME, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE, nullptr, nullptr);
}

BOOL CMyBrowserFrame::PreCreateWindow(CREATESTRUCT& cs) {
    CPacket& s = Settings();
    m_kind = s.GetInt(field::kWindowKind, TP_ORDINARY_CHAT);
    if (s.Contains(field::kBorderColor))
        m_borderColor = static_cast<COLORREF>(s.GetInt(field::kBorderColor, 0));

    // The work area of the requesting window's screen, else the primary one.
    RECT w = GetWorkArea();
    if (IsWindow(m_requesterWnd)) {
        RECT requester;
        ::GetWindowRect(m_requesterWnd, &requester);
        w = GetWorkAreaNearest(requester);
    }
    const int workWidth = static_cast<int>(w.right - w.left);
    const int workHeight = static_cast<int>(w.bottom - w.top);
    // A negative size from a page makes an empty window, not a wrapped one.
    const int cx = std::clamp(s.GetInt(field::kWidth, 1200), 0, std::max(workWidth, 0));
    const int cy = std::clamp(s.GetInt(field::kHeight, 720), 0, std::max(workHeight, 0));
    const int x = Coordinate(s.GetString(field::kLeft, QStringLiteral("C")), "L", "R",
                             static_cast<int>(w.left), static_cast<int>(w.right), cx);
    const int y = Coordinate(s.GetString(field::kTop, QStringLiteral("C")), "T", "B",
                             static_cast<int>(w.top), static_cast<int>(w.bottom), cy);
    // A place on no screen (a screen that has gone, a page's stray
    // coordinates) is pulled onto the nearest one.
    const RECT place = KeepOnScreen(RECT{x, y, ClampToInt(static_cast<long long>(x) + cx),
                                         ClampToInt(static_cast<long long>(y) + cy)},
                                    GetWorkAreas());
    cs.x = static_cast<int>(place.left);
    cs.y = static_cast<int>(place.top);
    cs.cx = static_cast<int>(place.right - place.left);
    cs.cy = static_cast<int>(place.bottom - place.top);

    if (s.GetInt(field::kHeader, 1) == 1) {
        m_nativeCaption = 0;
        cs.dwExStyle = WS_EX_DLGMODALFRAME;
        cs.style = WS_POPUP | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
    } else {
        m_nativeCaption = 1;
        cs.dwExStyle = WS_EX_CLIENTEDGE | WS_EX_WINDOWEDGE;
        cs.style = WS_OVERLAPPEDWINDOW;
    }
    return CFrameWnd::PreCreateWindow(cs);
}

LRESULT CMyBrowserFrame::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP_OWNER_MOVED)
        OnOwnerMoved();
    return CFrameWnd::WindowProc(message, wParam, lParam);
}

int CMyBrowserFrame::OnCreate(CREATESTRUCT* cs) {
    if (CFrameWnd::OnCreate(cs) == -1)
        return -1;
    if (!m_view.Create(QString(), QString(), WS_CHILD | WS_VISIBLE | WS_BORDER, RECT{}, this,
                       AFX_IDW_PANE_FIRST, nullptr)) {
        return -1;
    }
    m_view.m_frame = this;
    ModifyStyleEx(WS_EX_CLIENTEDGE, 0, SWP_FRAMECHANGED);
    SetWindowText(Settings().GetString(field::kTitle, QString()));
    if (CWnd* main = AfxGetMainWnd())
        ::SendMessage(main->m_hWnd, WM_APP_REGISTER_FRAME, reinterpret_cast<WPARAM>(m_hWnd), 0);
    // The browser comes outside the creation message, so the window shows at once.
    SetTimer(TIMER_CREATE_BROWSER, 10);
    return 0;
}

void CMyBrowserFrame::OnGetMinMaxInfo(MINMAXINFO* mmi) {
    if (mmi) {
        mmi->ptMinTrackSize.x = Settings().GetInt(field::kMinTrackWidth, 1200);
        mmi->ptMinTrackSize.y = Settings().GetInt(field::kMinTrackHeight, 720);
    }
    CFrameWnd::OnGetMinMaxInfo(mmi);
}

void CMyBrowserFrame::OnTimer(UINT_PTR id) {
    switch (id) {
        case TIMER_CREATE_BROWSER: {
            KillTimer(TIMER_CREATE_BROWSER);
            CString url = Settings().GetString(field::kUrl, ContentBaseUrl());
            url.replace(QLatin1String("{APPPATH}"), GetExeDir());
            m_view.AskForBrowser(url);
            SetTimer(TIMER_CHECK_DOCUMENT, 2000);
            break;
        }
        case TIMER_CHECK_DOCUMENT:
            KillTimer(TIMER_CHECK_DOCUMENT);
            if (m_view.Browser() && !m_view.Browser()->HasDocument())
                m_view.Browser()->ReloadIgnoreCache();
            SetTimer(TIMER_DELIVER_URI, 3000);
            break;
        case TIMER_DELIVER_URI:
            DeliverPendingUri();
            // An address comes only with the start's own parameters (a
            // hand-off brings the URL alone): once none is pending, none
            // ever will be, and the timer would only wake an idle window.
            if (!ShellApp().m_params.Contains(field::kUri))
                KillTimer(TIMER_DELIVER_URI);
            break;
        default:
            break;
    }
    CFrameWnd::OnTimer(id);
}

// An address handed over in the launch parameters reaches one page only:
// the first frame whose timer finds it takes it out of the parameters.
void CMyBrowserFrame::DeliverPendingUri() {
    CPacket& params = ShellApp().m_params;
    const CString uri = params.GetString(field::kUri, QString());
    if (uri.isEmpty())
        return;
    CPacket packet(GBN_COMMAND);
    packet.SetInt(field::kCommand, CMD_DELIVER_URI);
    packet.SetString(field::kUri, uri);
    m_view.ExecuteScript(ScriptCallOf(packet));
    params.Remove(field::kUri);
}

void CMyBrowserFrame::OnSize(UINT type, int cx, int cy) {
    CFrameWnd::OnSize(type, cx, cy);
    if (m_nativeCaption || type == SIZE_MINIMIZED)
        return;
    GetWindowRect(&m_lastRect);
    // The resize border and one more pixel (the gaps) fall outside the
    // region; the top edge is cut by the horizontal amount.
    // Gaps come from settings and launch parameters: computed wide, so any
    // value gives a region (perhaps an empty one) and never an overflow.
    const long long a =
        GetSystemMetrics(SM_CXFRAME) + static_cast<long long>(Settings().GetInt(field::kGapX, 1));
    const long long b =
        GetSystemMetrics(SM_CYFRAME) + static_cast<long long>(Settings().GetInt(field::kGapY, 1));
    const long long width = m_lastRect.right - m_lastRect.left;
    const long long height = m_lastRect.bottom - m_lastRect.top;
    SetWindowRgn(RECT{ClampToInt(a), ClampToInt(a), ClampToInt(width - a), ClampToInt(height - b)},
                 TRUE);
}

void CMyBrowserFrame::OnMove(int x, int y) {
    CFrameWnd::OnMove(x, y);
    if (m_view.Browser())
        m_view.Browser()->GetHost()->NotifyMoveOrResizeStarted();
    NotifyChild();
}

void CMyBrowserFrame::OnMoving(UINT edge, RECT* r) {
    CFrameWnd::OnMoving(edge, r);
    if (m_view.Browser())
        m_view.Browser()->GetHost()->NotifyMoveOrResizeStarted();
    // Older systems report the end of a move only.
    if (ShellApp().GetOsMajorVersion() > 5)
        NotifyChild();
}

void CMyBrowserFrame::NotifyChild() {
    RECT now;
    GetWindowRect(&now);
    if (m_childWnd) {
        ::PostMessage(m_childWnd, WM_APP_OWNER_MOVED,
                      static_cast<WPARAM>(static_cast<LPARAM>(m_lastRect.left - now.left)),
                      static_cast<LPARAM>(m_lastRect.top - now.top));
    }
    m_lastRect = now;
}

// Re-docks at the owner's right edge, overlapping it by one frame width, as
// long as the whole window stays on the desktop: its bottom-right corner on
// one of the screens.
void CMyBrowserFrame::OnOwnerMoved() {
    if (!m_trackOwner || !IsWindow(m_ownerWnd))
        return;
    RECT o, r;
    ::GetWindowRect(m_ownerWnd, &o);
    GetWindowRect(&r);
    const LONG left = o.right - GetSystemMetrics(SM_CXFRAME);
    const LONG top = o.top;
    const POINT bottomRight{left + (r.right - r.left), top + (r.bottom - r.top)};
    const std::vector<DesktopScreenInfo> screens = GetDesktopScreens();
    if (std::any_of(screens.begin(), screens.end(),
                    [&](const DesktopScreenInfo& d) { return PtInRect(&d.screen, bottomRight); })) {
        SetWindowPos(nullptr, static_cast<int>(left), static_cast<int>(top), 0, 0,
                     SWP_NOSIZE | SWP_NOACTIVATE);
    }
}

void CMyBrowserFrame::SetOpacity(int percent) {
    const int p = std::clamp(percent, 1, 100);
    if (p == m_opacity)
        return;
    m_opacity = p;
    if (p == 100) {
        RemoveLayeredStyle();
    } else {
        ModifyStyleEx(0, WS_EX_LAYERED);
        m_layered.SetTransparencyPercent(m_hWnd, p);
    }
}

void CMyBrowserFrame::RemoveLayeredStyle() {
    // Full opacity first, while the window is still layered, so that no
    // alpha outlives the style.
    if (GetExStyle() & WS_EX_LAYERED)
        m_layered.SetTransparencyPercent(m_hWnd, 100);
    ModifyStyleEx(WS_EX_LAYERED, 0);
    RedrawWindow(m_hWnd, nullptr, nullptr, kRedrawAll);
}

void CMyBrowserFrame::OnClose() {
    RemoveLayeredStyle();
    if (IsWindow(m_childWnd))
        ::PostMessage(m_childWnd, WM_CLOSE, 0, 0);

    RECT r;
    GetWindowRect(&r);
    const CString section = PlacementSection(m_kind);
    if (!section.isEmpty() && !IsIconic() && AfxGetApp()) {
        WriteRectToProfile(ShellApp(), section, r);
    }

    if (CWnd* main = AfxGetMainWnd()) {
        if (m_nativeCaption) {
            // A frame with the standard caption is the application's window:
            // closing it ends the application.
            main->PostMessage(WM_CLOSE, 0, 0);
        } else {
            main->PostMessage(WM_APP_UNREGISTER_FRAME, reinterpret_cast<WPARAM>(m_hWnd), 0);
        }
    }
    // Destroys the window; the object deletes itself when the window is gone.
    CFrameWnd::OnClose();
}

BOOL CMyBrowserFrame::OnEraseBkgnd(CDC*) {
    if (!m_nativeCaption)
        DrawBorder();
    return FALSE;
}

BOOL CMyBrowserFrame::OnNcActivate(BOOL active) {
    if (m_nativeCaption)
        return CFrameWnd::OnNcActivate(active);
    DrawBorder();
    return TRUE;
}

void CMyBrowserFrame::OnNcPaint() {
    CFrameWnd::OnNcPaint();
    if (!m_nativeCaption)
        DrawBorder();
}

void CMyBrowserFrame::DrawBorder() {
    PaintWindow([this](CDC& dc) {
        RECT r;
        GetWindowRect(&r);
        OffsetRect(&r, static_cast<int>(-r.left), static_cast<int>(-r.top));
        RECT inner = r;
        InflateRect(&inner, -GetSystemMetrics(SM_CXFRAME), -GetSystemMetrics(SM_CYFRAME));
        dc.ExcludeClipRect(inner);
        dc.FillSolidRect(r, m_borderColor);
    });
}

void CMyBrowserFrame::RecalcView() {
    RECT r;
    GetClientRect(&r);
    m_view.MoveWindow(r, TRUE);
}

void CMyBrowserFrame::Navigate(const CString& url) {
    m_view.Navigate(url);
}
