#include "browser/MyBrowser.h"

#include <algorithm>
#include <climits>

#include "browser/WindowCommands.h"
#include "packet/Fields.h"
#include "packet/Packet.h"
#include "packet/Vocabulary.h"
#include "platform/desktop.h"
#include "shared/Forwarding.h"
#include "shared/Messages.h"
#include "shared/Service.h"
#include "shared/Settings.h"
#include "shared/ShellApp.h"
#include "shared/WorkArea.h"

namespace {

const CString kClassName = QStringLiteral("ZUNTABROWSER");

// The ANIM values: appear in place, slide up from below, slide in from the
// right. Any other value leaves the window one height below its target.
constexpr int kAnimInPlace = 1;
constexpr int kAnimSlideUp = 2;
constexpr int kAnimSlideFromRight = 3;

// The opacity percentage of the first frame (the helper holds it at 20 %).
constexpr int kStartPercent = 1;
constexpr int kOpaquePercent = 100;

// The longest timer the system arms (as Win32's USER_TIMER_MAXIMUM): a
// CLOSESEC beyond it waits that long rather than wrapping to a short timer.
constexpr long long kLongestTimerMs = 0x7FFFFFFF;
constexpr long long kMsPerSecond = 1000;

// Coordinates from packets and the profile are held within this distance of
// the origin, far beyond any screen, so that every sum of a coordinate and
// sizes (a target edge, a slide start one height further) stays an int.
constexpr long long kCoordinateLimit = 1 << 24;

constexpr UINT kRedrawAll = RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME;
constexpr UINT kMoveOnly = SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE;

int Coordinate(long long v) {
    return static_cast<int>(std::clamp(v, -kCoordinateLimit, kCoordinateLimit));
}

// A size is never negative and never larger than the work area, where a
// page could otherwise ask for a window the size of the coordinate space.
int Extent(long long v, long long workExtent) {
    return static_cast<int>(std::clamp<long long>(v, 0, std::max<long long>(workExtent, 0)));
}

}  // namespace

CMyBrowser::CMyBrowser() = default;
CMyBrowser::~CMyBrowser() = default;

CPacket& CMyBrowser::Settings() {
    // A popup whose creation never ran reads every value at its default.
    if (!m_pPacket)
        m_pPacket = std::make_unique<CPacket>(kEmptyPacketText);
    return *m_pPacket;
}

BOOL CMyBrowser::Create(CPacket* packet, CWnd* parent) {
    // The class's cursor is the hand; registering again changes nothing.
    AfxSetClassCursor(kClassName, IDC_HAND);

    m_pPacket = std::make_unique<CPacket>(packet ? packet->GetText() : QString());
    CPacket& s = *m_pPacket;
    m_nType = s.GetInt(field::kWindowKind, TP_ORDINARY_CHAT);

    const RECT work = GetWorkArea();
    int w = Extent(s.GetInt(field::kWidth, 220), work.right - work.left);
    int h = Extent(s.GetInt(field::kHeight, 180), work.bottom - work.top);
    int x = Coordinate(s.GetInt(field::kLeft, ClampToInt(static_cast<long long>(work.right) - w)));
    int y = Coordinate(s.GetInt(field::kTop, ClampToInt(static_cast<long long>(work.bottom) - h)));

    // A type-2 popup comes back where the last one was closed.
    if (m_nType == TP_SAVED_CHAT) {
        if (CWinApp* app = AfxGetApp()) {
            const CString section = PlacementSection(m_nType);
            auto saved = [&](const CString& key, int def) {
                return static_cast<int>(app->GetProfileInt(section, key, def));
            };
            x = Coordinate(saved(field::kLeft, x));
            y = Coordinate(saved(field::kTop, y));
            w = Extent(saved(field::kWidth, w), work.right - work.left);
            h = Extent(saved(field::kHeight, h), work.bottom - work.top);
        }
    }
    m_rcTarget = RECT{x, y, x + w, y + h};
    // A type-2 popup's place, remembered or asked for, may be on a screen
    // that has gone: it comes back on the nearest one.
    if (m_nType == TP_SAVED_CHAT)
        m_rcTarget = KeepOnScreen(m_rcTarget, GetWorkAreas());
    w = static_cast<int>(m_rcTarget.right - m_rcTarget.left);
    h = static_cast<int>(m_rcTarget.bottom - m_rcTarget.top);

    // The first step's place: the target, right of it for a slide from the
    // right, one height below it otherwise.
    RECT r = m_rcTarget;
    const int anim = s.GetInt(field::kAnimation, kAnimInPlace);
    if (anim == kAnimSlideFromRight)
        OffsetRect(&r, w, 0);
    else if (anim != kAnimInPlace)
        OffsetRect(&r, 0, h);

    // The desktop has no window object; its handle stands for it.
    HWND parentWnd = parent ? parent->m_hWnd : GetDesktopWindow();
    if (!CreateEx(0, kClassName, s.GetString(field::kTitle, QStringLiteral("Zunta")),
                  WS_POPUP | WS_SYSMENU, static_cast<int>(r.left), static_cast<int>(r.top), w, h,
                  parentWnd, 0)) {
        return FALSE;
    }
    // Translucent before it is first shown, so that no frame of it is ever
    // seen opaque; where that fails it appears opaque at once.
    ModifyStyleEx(0, WS_EX_LAYERED);
    if (!m_layered.SetTransparencyPercent(m_hWnd, kStartPercent))
        ModifyStyleEx(WS_EX_LAYERED, 0);
    return TRUE;
}

BOOL CMyBrowser::PreCreateWindow(CREATESTRUCT& cs) {
    // Shown without activation: the user keeps typing where they were.
    cs.dwExStyle |= WS_EX_NOACTIVATE;
    return CWnd::PreCreateWindow(cs);
}

LRESULT CMyBrowser::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_page.HandleMessage(message, wParam, lParam))
        return 0;
    return CWnd::WindowProc(message, wParam, lParam);
}

int CMyBrowser::OnCreate(CREATESTRUCT* cs) {
    if (CWnd::OnCreate(cs) == -1)
        return -1;
    // The class's icon, the application's.
    HICON icon = LoadIconW(nullptr, IDI_APPLICATION_ICON);
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    SetWindowText(Settings().GetString(field::kTitle, QString()));
    // The browser comes outside the creation message, so the window shows at once.
    SetTimer(TIMER_START, kTimerIntervalMs);
    return 0;
}

void CMyBrowser::OnTimer(UINT_PTR id) {
    switch (id) {
        case TIMER_START:
            KillTimer(TIMER_START);
            StartAppearance();
            break;
        case TIMER_STEP:
            AnimationStep();
            break;
        case TIMER_AUTO_CLOSE:
            KillTimer(TIMER_AUTO_CLOSE);
            PostMessage(WM_CLOSE);
            break;
        default:
            break;
    }
    CWnd::OnTimer(id);
}

// Creates the browser and starts the steps; the window already stands at
// its first step's place with its first step's opacity.
void CMyBrowser::StartAppearance() {
    CPacket& s = Settings();
    // An address that does not start with "http" (a query string, say)
    // continues the login page's address.
    CString url = s.GetString(field::kUrl, LoginUrl());
    if (!url.startsWith(QLatin1String("http"), Qt::CaseSensitive))
        url = LoginUrl() + url;
    m_page.AskForBrowser(url);

    SetTimer(TIMER_STEP, kTimerIntervalMs);
}

// One step of ANIM_TIME: the opacity rises to step / ANIM_TIME and the slide
// covers the same share of its way, the product taken before the truncating
// division. The last step leaves the window opaque at its target and arms
// the automatic close.
void CMyBrowser::AnimationStep() {
    CPacket& s = Settings();
    if (m_nStep < INT_MAX)
        ++m_nStep;
    const int anim = s.GetInt(field::kAnimation, kAnimInPlace);
    // Fewer than one step would divide by zero: such a fade is one step,
    // which is also the last.
    const int steps = std::max(s.GetInt(field::kAnimationSteps, 10), 1);

    if (m_nStep >= steps) {
        KillTimer(TIMER_STEP);
        m_layered.SetTransparencyPercent(m_hWnd, kOpaquePercent);
        if (anim == kAnimSlideUp || anim == kAnimSlideFromRight)
            MoveTo(m_rcTarget.left, m_rcTarget.top);
        const int seconds = s.GetInt(field::kCloseSeconds, 3);
        if (seconds > 0) {
            const long long ms = std::min(seconds * kMsPerSecond, kLongestTimerMs);
            SetTimer(TIMER_AUTO_CLOSE, static_cast<UINT>(ms));
        }
    }

    const int percent = static_cast<int>(static_cast<double>(m_nStep) * 100.0 / steps);
    m_layered.SetTransparencyPercent(m_hWnd, percent);

    const long long width = static_cast<long long>(m_rcTarget.right) - m_rcTarget.left;
    const long long height = static_cast<long long>(m_rcTarget.bottom) - m_rcTarget.top;
    if (anim == kAnimSlideUp) {
        MoveTo(m_rcTarget.left, m_rcTarget.bottom - height * m_nStep / steps);
    } else if (anim == kAnimSlideFromRight) {
        MoveTo(m_rcTarget.right - width * m_nStep / steps, m_rcTarget.top);
    }
}

void CMyBrowser::MoveTo(long long x, long long y) {
    SetWindowPos(nullptr, ClampToInt(x), ClampToInt(y), 0, 0, kMoveOnly);
}

BOOL CMyBrowser::OnEraseBkgnd(CDC*) {
    // Never erased: the browser covers the client area.
    return TRUE;
}

void CMyBrowser::OnPageClosing() {
    // Opaque again, and a type-2 popup's place kept, before its page goes;
    // the window is destroyed right after.
    ModifyStyleEx(WS_EX_LAYERED, 0);
    RedrawWindow(m_hWnd, nullptr, nullptr, kRedrawAll);
    if (m_nType == TP_SAVED_CHAT) {
        if (CWinApp* app = AfxGetApp()) {
            RECT r;
            GetWindowRect(&r);
            WriteRectToProfile(*app, PlacementSection(m_nType), r);
        }
    }
}

void CMyBrowser::PostNcDestroy() {
    delete this;
}

// ---------------------------------------------------------------------------
// Packets from the page and from the browser client.

// The popup's own commands (its route table, PageRoutes.h, sends the rest
// elsewhere).
void CMyBrowser::OnOwnPacket(CPacket& packet) {
    switch (PacketCommand(packet)) {
        case CMD_HIDE_OR_CLOSE:
            PostMessage(WM_CLOSE);
            break;
        case CMD_OPEN_CHAT_FRAME:
            OpenChatBeside(packet);
            break;
        default:
            break;
    }
}

// Command 20 from a type-2 popup: a chat window of the popup's size just
// right of it, titled after the popup with ",s"; the popup moves left when
// that window would leave the work area of the popup's screen. From any
// other popup the command goes on unchanged.
void CMyBrowser::OpenChatBeside(CPacket& packet) {
    CPacket request(packet.GetText());
    // The main window judges the request by the page that made it, and a
    // window opened without a place opens on that page's screen.
    request.SetSource(packet.Source());
    if (m_nType != TP_SAVED_CHAT) {
        ForwardToMainWindow(request, SENDER_NO_WINDOW);
        return;
    }
    request.SetString(field::kTitle, GetWindowText() + QStringLiteral(",s"));

    RECT r;
    GetWindowRect(&r);
    const BesidePlacement place = PlaceBeside(r, 1, GetWorkAreaNearest(r));
    if (place.shifted)
        MoveWindow(place.self, TRUE);
    SetRectFields(request, place.beside);
    // The main window opens the chat window and links it to this popup.
    ForwardToMainWindow(request, SenderOf(this));
}
