#include "mainframe/MainFrm.h"

#include <algorithm>
#include <climits>
#include <cstdio>

#include "browser/MyBrowser.h"
#include "browser/MyBrowserFrame.h"
#include "browser/PageRoutes.h"
#include "packet/Fields.h"
#include "packet/Vocabulary.h"
#include "platform/activation.h"
#include "platform/address.h"
#include "platform/autostart.h"
#include "platform/instance.h"
#include "platform/menus.h"
#include "shared/Forwarding.h"
#include "shared/Messages.h"
#include "shared/Settings.h"
#include "shared/ShellApp.h"
#include "shared/WorkArea.h"
#include "update/TrustedOrigins.h"
#include "update/Updater.h"

namespace {
constexpr UINT_PTR TIMER_START_MAIN_CHAT = 50000;
// The pace of the windows pages ask for, and of closing many.
constexpr UINT_PTR TIMER_WINDOW_TURN = 50001;

// Whether the window a page asks for opens on a web address (an absent URL
// means the window's own start page). With another address the command does
// nothing: no window opens, and none is moved or loaded.
bool OpensWebAddress(CPacket& packet) {
    return platform::AcceptWebAddress(packet.GetString(field::kUrl, QString()));
}
}  // namespace

CMainFrame::CMainFrame()
    : m_alarmSettings(std::make_unique<CPacket>(ShellApp().GetProfileString(
          setting::kAlarmSection, setting::kAlarmSettings, kEmptyPacketText))),
      m_requests(
          [this](WindowRequests::Kind kind, CPacket& packet, LPARAM sender) {
              return kind == WindowRequests::Kind::Popup ? OpenPopup(packet)
                                                         : OpenOrPlaceChatFrame(packet, sender);
          },
          [this] { AskForTurn(); },
          [](const QString& line) { std::fprintf(stderr, "%s\n", qPrintable(line)); }) {}

CMainFrame::~CMainFrame() = default;

BOOL CMainFrame::PreCreateWindow(CREATESTRUCT& cs) {
    if (!CFrameWnd::PreCreateWindow(cs))
        return FALSE;
    RECT desktop;
    ::GetWindowRect(GetDesktopWindow(), &desktop);
    const CString className = InstanceClassName();
    const CString windowName = InstanceWindowName();
    cs.cx = 100;
    cs.cy = 100;
    cs.x = static_cast<int>((desktop.right - 100) / 2);
    cs.y = static_cast<int>((desktop.bottom - 100) / 2);
    cs.style = WS_POPUP | WS_VISIBLE | WS_SYSMENU;
    cs.dwExStyle = WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_WINDOWEDGE;
    cs.lpszName = windowName;
    if (m_firstClass) {
        // The frame loading's first look-up takes a plain class.
        m_firstClass = false;
        cs.lpszClass = QStringLiteral("AfxWnd");
    } else {
        cs.lpszClass = className;
    }
    return TRUE;
}

int CMainFrame::OnCreate(CREATESTRUCT* cs) {
    if (CFrameWnd::OnCreate(cs) == -1)
        return -1;
    RECT empty{};
    if (!m_wndView.Create(QString(), QString(), WS_CHILD | WS_VISIBLE | WS_BORDER, empty, this,
                          AFX_IDW_PANE_FIRST)) {
        return -1;
    }
    const CString tip = WindowTitleSetting();
    if (!m_trayIcon.AddIcon(this, WM_APP_TRAY_NOTIFY, tip))
        return -1;
    m_trayIcon.SetAppIcon();
    SetTimer(TIMER_START_MAIN_CHAT, 100);

    // A second start finds this instance by its class name and hands its
    // launch parameters over; they are handled as the hand-off message,
    // before the second start is answered.
    // A request to show the main chat window comes the same way. Either
    // carries the later start's startup id (lParam), whose sequence the
    // window's coming forward completes.
    const HWND self = m_hWnd;
    platform::ListenForInstances(
        InstanceClassName(), [self](const platform::InstanceRequest& request) {
            const CString startupId = QString::fromUtf8(request.startupId);
            const auto id = reinterpret_cast<LPARAM>(&startupId);
            if (request.kind == platform::InstanceRequest::kShowMainChat) {
                ::SendMessage(self, WM_APP_SHOW_MAIN_CHAT, 0, id);
                return;
            }
            CPacket handed(CPacket::Verbatim{request.text});
            ::SendMessage(self, WM_APP_HANDOFF, reinterpret_cast<WPARAM>(&handed), id);
        });
    return 0;
}

LRESULT CMainFrame::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_APP_REGISTER_FRAME:
            OnRegisterFrame(reinterpret_cast<HWND>(wParam));
            return 0;
        case WM_APP_UNREGISTER_FRAME:
            OnUnregisterFrame(reinterpret_cast<HWND>(wParam));
            return 0;
        case WM_APP_TRAY_NOTIFY:
            OnTrayNotify(LOWORD(static_cast<std::uintptr_t>(lParam)));
            return 1;
        case WM_APP_SHOW_MAIN_CHAT:
            OnShowMainChat(reinterpret_cast<const CString*>(lParam));
            return 0;
        case WM_APP_PACKET:
            OnPacket(reinterpret_cast<CPacket*>(wParam), lParam);
            return 0;
        case WM_APP_HANDOFF:
            OnHandOff(reinterpret_cast<CPacket*>(wParam), reinterpret_cast<const CString*>(lParam));
            return 0;
        default:
            return CFrameWnd::WindowProc(message, wParam, lParam);
    }
}

void CMainFrame::OnTimer(UINT_PTR id) {
    if (id == TIMER_START_MAIN_CHAT) {
        KillTimer(TIMER_START_MAIN_CHAT);
        // A start from the autostart entry keeps the window hidden while the
        // tray icon can bring it back. The toolkit ends the start's startup
        // sequence when it shows a first window; a hidden start shows none,
        // so the sequence is ended here in any case.
        m_openHidden = platform::StartsHidden();
        CMyBrowserFrame* frame = GetMainChatFrame(OpenOrCreate);
        m_openHidden = false;
        CompleteStartup(frame ? frame->m_hWnd : nullptr, TakeOwnStartupId());
    } else if (id == TIMER_WINDOW_TURN) {
        KillTimer(TIMER_WINDOW_TURN);
        m_turnAsked = false;
        m_requests.Turn();
        CloseNextSavedChat();
    }
    CFrameWnd::OnTimer(id);
}

void CMainFrame::OnClose() {
    m_trayIcon.RemoveIcon();
    platform::StopListeningForInstances();
    CFrameWnd::OnClose();
}

void CMainFrame::OnSetFocus(CWnd*) {
    m_wndView.SetFocus();
}

BOOL CMainFrame::OnCommand(WPARAM wParam, LPARAM lParam) {
    // The view is offered the command first; it handles none.
    switch (LOWORD(wParam)) {
        case ID_TRAY_REFRESH:
            OnRefresh();
            return TRUE;
        case ID_TRAY_EXIT:
            OnExit();
            return TRUE;
        default:
            return CFrameWnd::OnCommand(wParam, lParam);
    }
}

// --- Registry -------------------------------------------------------------------

bool CMainFrame::Alive(const Entry& e) const {
    // Handles are never reused, so a live handle still designates the
    // object that registered it.
    return e.frame && IsWindow(e.hwnd) && CWnd::FromHandle(e.hwnd) == e.frame;
}

CMyBrowserFrame* CMainFrame::FrameOf(const Entry& e) const {
    return Alive(e) ? dynamic_cast<CMyBrowserFrame*>(e.frame) : nullptr;
}

std::vector<CMyBrowserFrame*> CMainFrame::RegisteredFrames() const {
    std::vector<CMyBrowserFrame*> out;
    for (const Entry& e : m_registry) {
        if (CMyBrowserFrame* f = FrameOf(e))
            out.push_back(f);
    }
    return out;
}

void CMainFrame::OnRegisterFrame(HWND h) {
    CWnd* w = CWnd::FromHandle(h);
    if (!w)
        return;
    for (auto it = m_registry.rbegin(); it != m_registry.rend(); ++it) {
        if (it->frame && it->hwnd == h)
            return;
    }
    m_registry.push_back(Entry{w, h});
}

void CMainFrame::OnUnregisterFrame(HWND h) {
    m_registryLock.Lock();
    CMyUnlockGuard guard(m_registryLock);
    for (size_t i = m_registry.size(); i-- > 0;) {
        Entry& e = m_registry[i];
        if (!e.frame || !Alive(e)) {
            m_registry.erase(m_registry.begin() + static_cast<std::ptrdiff_t>(i));
        } else if (e.hwnd == h) {
            // A frame still alive that asks to leave: its window goes now.
            CWnd* frame = e.frame;
            m_registry.erase(m_registry.begin() + static_cast<std::ptrdiff_t>(i));
            frame->DestroyWindow();
        }
    }
}

CMyBrowserFrame* CMainFrame::GetMainChatFrame(ChatFrameMode mode) {
    for (const Entry& e : m_registry) {
        CMyBrowserFrame* f = FrameOf(e);
        if (f && f->m_kind == TP_MAIN_CHAT) {
            if (mode == NavigateOrCreate) {
                f->Navigate(ShellApp().m_params.GetString(field::kUrl, QString()));
            }
            return f;
        }
    }
    if (mode == FindOnly)
        return nullptr;

    const CString title = WindowTitleSetting();
    const CString startUrl = AppSetting(setting::kStartUrl, QStringLiteral("about:blank"));
    const CString xx = AppSetting(setting::kLeft, QStringLiteral("C"));
    const CString yy = AppSetting(setting::kTop, QStringLiteral("C"));
    const int lmw = AppSettingInt(setting::kMinWidth, 1200);
    const int lmh = AppSettingInt(setting::kMinHeight, 720);
    const RECT work = GetWorkArea();
    const int ww = AppSettingInt(setting::kWidth, static_cast<int>(work.right - work.left));
    const int hh = AppSettingInt(setting::kHeight, static_cast<int>(work.bottom - work.top));
    const int hdr = AppSettingInt(setting::kHeader, 1);
    const int borderColor = AppSettingInt(setting::kBorderColor, 4210752);
    const int xgap = AppSettingInt(setting::kGapX, 1);
    const int ygap = AppSettingInt(setting::kGapY, 1);

    CPacket& p = ShellApp().m_params;
    auto packet = std::make_unique<CPacket>(GBN_PARAMETERS);
    packet->AddString(field::kTitle, title);
    packet->AddInt(field::kWindowKind, TP_MAIN_CHAT);
    packet->AddString(field::kUrl, p.GetString(field::kUrl, startUrl));
    packet->AddInt(field::kMinTrackWidth, p.GetInt(field::kMinTrackWidth, lmw));
    packet->AddInt(field::kMinTrackHeight, p.GetInt(field::kMinTrackHeight, lmh));
    packet->AddInt(field::kWidth, p.GetInt(field::kWidth, ww));
    packet->AddInt(field::kHeight, p.GetInt(field::kHeight, hh));
    packet->AddString(field::kLeft, p.GetString(field::kLeft, xx));
    packet->AddString(field::kTop, p.GetString(field::kTop, yy));
    packet->AddInt(field::kGapX, p.GetInt(field::kGapX, xgap));
    packet->AddInt(field::kGapY, p.GetInt(field::kGapY, ygap));
    packet->AddInt(field::kBorderColor, p.GetInt(field::kBorderColor, borderColor));
    packet->AddInt(field::kHeader, p.GetInt(field::kHeader, hdr));

    auto* frame = new CMyBrowserFrame();
    std::shared_ptr<bool> alive = frame->AliveToken();
    if (!frame->CreateFrame(packet.get())) {
        // A frame whose window never came to be is deleted here; one whose
        // window was made and destroyed deleted itself.
        if (*alive)
            delete frame;
        return nullptr;
    }
    frame->SetMenu(nullptr);
    frame->UpdateWindow();
    if (!m_openHidden)
        frame->ShowWindow(SW_SHOW);
    return frame;
}

CMyBrowserFrame* CMainFrame::FindFrameByTitle(CPacket& packet) {
    const CString title = packet.GetString(field::kTitle, QString());
    for (const Entry& e : m_registry) {
        CMyBrowserFrame* f = FrameOf(e);
        if (f && f->GetWindowText() == title)
            return f;
    }
    return nullptr;
}

// --- Packet commands -----------------------------------------------------------------

void CMainFrame::OnPacket(CPacket* packet, LPARAM sender) {
    // Only the commands every page window's route table knows the main frame
    // for (PageRoutes.h): a case added below without its place there would
    // be in the reach of every popup.
    if (!packet || PacketKind(*packet) != GBN_COMMAND ||
        !IsMainFrameCommand(PacketCommand(*packet)))
        return;
    switch (PacketCommand(*packet)) {
        case CMD_LAUNCH_PROGRAM:
            // Starting a program never ends the application, whatever happens.
            LaunchProgram(*packet);
            break;
        case CMD_OPEN_CHAT_FRAME:
            if (OpensWebAddress(*packet))
                AskForWindow(WindowRequests::Kind::Chat, *packet, sender);
            break;
        case CMD_OPEN_POPUP_WINDOW:
            if (OpensWebAddress(*packet))
                AskForWindow(WindowRequests::Kind::Popup, *packet, sender);
            break;
        case CMD_CLOSE_SAVED_CHATS:
            // Popups are not registered: they stay.
            for (const Entry& e : m_registry) {
                CMyBrowserFrame* f = FrameOf(e);
                if (f && f->m_kind == TP_SAVED_CHAT &&
                    std::find(m_closing.begin(), m_closing.end(), f->m_hWnd) == m_closing.end()) {
                    m_closing.push_back(f->m_hWnd);
                }
            }
            CloseNextSavedChat();
            break;
        case CMD_SHOW_BALLOON:
            ShowBalloon(packet->GetString(field::kMessage, QString()));
            break;
        case CMD_STORE_ALARM_SETTINGS:
            m_alarmSettings->SetText(packet->GetText());
            ShellApp().WriteProfileString(setting::kAlarmSection, setting::kAlarmSettings,
                                          m_alarmSettings->GetText());
            break;
        default:
            break;
    }
}

void CMainFrame::AskForWindow(WindowRequests::Kind kind, CPacket& packet, LPARAM sender) {
    QString reason;
    const bool foreign = !IsTrustedSender(packet.Source(), &reason);
    const QString origin = OriginOf(packet.Source().pageUrl);
    m_requests.Ask(kind, packet, sender, foreign,
                   origin.isEmpty() ? QStringLiteral("a page of no known origin") : origin);
}

// A popup browser window for the packet, on the desktop. It owns itself from
// now on and is not registered.
std::shared_ptr<bool> CMainFrame::OpenPopup(CPacket& packet) {
    auto* popup = new CMyBrowser();
    std::shared_ptr<bool> alive = popup->AliveToken();
    // The desktop has no window object: nullptr stands for it.
    popup->Create(&packet, CWnd::FromHandle(GetDesktopWindow()));
    if (!*alive)
        return nullptr;
    if (!IsWindow(popup->m_hWnd)) {
        // Never became a window, so nothing else will delete it.
        delete popup;
        return nullptr;
    }
    // A popup's window is shown without activation (WS_EX_NOACTIVATE).
    popup->ShowWindow(SW_SHOW);
    return alive;
}

std::shared_ptr<bool> CMainFrame::OpenOrPlaceChatFrame(CPacket& packet, LPARAM sender) {
    CMyBrowserFrame* target = FindFrameByTitle(packet);
    CMyBrowserFrame* frame = target;
    std::shared_ptr<bool> made;
    if (!target) {
        frame = new CMyBrowserFrame();
        // The window whose page asked: the requester, else the page's own
        // window. A frame without a place of its own opens on its screen.
        const CWnd* asking = RequestingWindow(sender);
        frame->m_requesterWnd = asking ? asking->m_hWnd : packet.Source().window;
        std::shared_ptr<bool> alive = frame->AliveToken();
        if (!frame->CreateFrame(&packet)) {
            if (*alive)
                delete frame;
            return nullptr;
        }
        made = alive;
        frame->SetMenu(nullptr);
        frame->UpdateWindow();
        // The requesting window, when it still exists: the new frame follows
        // it, and a requesting chat frame drags the new one along.
        if (CWnd* requester = RequestingWindow(sender)) {
            frame->m_ownerWnd = requester->m_hWnd;
            frame->m_trackOwner = 1;
            if (IsWindow(frame->m_hWnd)) {
                if (auto* chat = dynamic_cast<CMyBrowserFrame*>(requester)) {
                    chat->m_childWnd = frame->m_hWnd;
                }
            }
        }
    } else if (MayFollowOwner(target->m_kind) && target->m_trackOwner) {
        RECT r;
        target->GetWindowRect(&r);
        // Computed wide: the values come from pages and may be anything.
        const int x = packet.GetInt(field::kLeft, static_cast<int>(r.left));
        const int y = packet.GetInt(field::kTop, static_cast<int>(r.top));
        const int w = packet.GetInt(
            field::kWidth, static_cast<int>(ClampToInt(r.right - static_cast<long long>(x))));
        const int h = packet.GetInt(
            field::kHeight, static_cast<int>(ClampToInt(r.bottom - static_cast<long long>(y))));
        const RECT n{x, y, ClampToInt(static_cast<long long>(x) + w),
                     ClampToInt(static_cast<long long>(y) + h)};
        target->Navigate(packet.GetString(field::kUrl, QString()));
        // The work area of the screen the new place is on.
        RECT work = GetWorkAreaNearest(n);
        InflateRect(&work, 5, 5);
        if (IsWindow(target->m_hWnd) && PtInRect(&work, POINT{n.right, n.bottom})) {
            target->MoveWindow(n, TRUE);
        }
    }
    if (!frame || !IsWindow(frame->m_hWnd))
        return made;
    if (frame->IsIconic()) {
        frame->ShowWindow(SW_RESTORE);
        frame->SetForegroundWindow();
    } else {
        if (!frame->IsWindowVisible())
            frame->ShowWindow(SW_SHOW);
        frame->SetForegroundWindow();
    }
    return made;
}

void CMainFrame::AskForTurn() {
    if (!m_turnAsked)
        m_turnAsked = SetTimer(TIMER_WINDOW_TURN, WindowRequests::kPaceMs) != 0;
}

// Closing a chat window destroys its browser, which takes the user-interface
// thread a while: the first is closed at once, the others one per turn.
// Each close is posted, as a page's own close is.
void CMainFrame::CloseNextSavedChat() {
    while (!m_closing.empty()) {
        const HWND h = m_closing.front();
        m_closing.pop_front();
        if (IsWindow(h)) {
            ::PostMessage(h, WM_CLOSE, 0, 0);
            break;
        }
    }
    if (!m_closing.empty())
        AskForTurn();
}

void CMainFrame::ShowBalloon(const CString& text) {
    m_trayIcon.ShowBalloon(text);
}

// --- Tray, refresh, exit, hand-off -----------------------------------------------------

void CMainFrame::RevealMainChat() {
    CMyBrowserFrame* frame = GetMainChatFrame(OpenOrCreate);
    if (!frame)
        return;
    if (!frame->IsWindowVisible()) {
        frame->ShowWindow(SW_SHOW);
    } else if (frame->IsIconic()) {
        frame->ShowWindow(SW_RESTORE);
    } else {
        frame->SetForegroundWindow();
    }
}

void CMainFrame::OnTrayNotify(UINT mouseMessage) {
    switch (mouseMessage) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            RevealMainChat();
            break;
        case WM_RBUTTONUP:
            ShowTrayMenu();
            break;
        default:
            break;
    }
}

void CMainFrame::ShowTrayMenu() {
    POINT pt;
    GetCursorPos(&pt);
    HMENU menu = LoadMenuW(nullptr, IDR_TRAY_MENU);
    if (!menu)
        return;
    TrackPopupMenu(GetSubMenu(menu, 0), TPM_RIGHTBUTTON, pt.x, pt.y, 0, m_hWnd, nullptr);
    DestroyMenu(menu);
}

void CMainFrame::OnRefresh() {
    CMyBrowserFrame* frame = GetMainChatFrame(OpenOrCreate);
    if (!frame)
        return;
    RevealMainChat();
    if (frame->m_view.Browser())
        frame->m_view.Browser()->Reload();
}

void CMainFrame::OnExit() {
    const std::shared_ptr<bool> alive = AliveToken();
    if (AfxMessageBox(EndQuestion(), MB_YESNO) != IDYES || !*alive)
        return;
    EndApplication();
}

void CMainFrame::EndApplication() {
    if (CMyBrowserFrame* frame = GetMainChatFrame(FindOnly))
        frame->ShowWindow(SW_HIDE);
    Sleep(100);
    PostMessage(WM_CLOSE);
}

void CMainFrame::OnShowMainChat(const CString* startupId) {
    CMyBrowserFrame* frame = GetMainChatFrame(OpenOrCreate);
    if (frame) {
        if (!frame->IsWindowVisible())
            frame->ShowWindow(SW_SHOW);
        frame->SetForegroundWindow();
    }
    // The later start's launcher stops waiting even when no window came.
    if (startupId)
        CompleteStartup(frame ? frame->m_hWnd : nullptr, *startupId);
}

void CMainFrame::OnHandOff(CPacket* handed, const CString* startupId) {
    // The address a later start hands over is taken only when it is a web
    // address; with another, the hand-off goes on as one without an address.
    if (handed && platform::AcceptWebAddress(handed->GetString(field::kUrl, QString())))
        ShellApp().m_params.CopyUrl(*handed);
    CMyBrowserFrame* frame = GetMainChatFrame(NavigateOrCreate);
    if (frame) {
        if (!frame->IsWindowVisible())
            frame->ShowWindow(SW_SHOW);
        if (frame->IsIconic())
            frame->ShowWindow(SW_RESTORE);
        frame->SetForegroundWindow();
    }
    if (startupId)
        CompleteStartup(frame ? frame->m_hWnd : nullptr, *startupId);
}
