// The hidden main frame: the process's findable top-level window (its class
// is the CLSNM setting, its title the WINNM setting), owner of the tray icon
// and the frame registry, and the hub of the commands that browser windows
// pass up. It also receives the hand-off of a second start.
#pragma once

#include <deque>
#include <memory>
#include <vector>

#include "framework/afxwin.h"
#include "mainframe/ChildView.h"
#include "mainframe/MyMutex.h"
#include "mainframe/TrayIcon.h"
#include "mainframe/WindowRequests.h"
#include "packet/Packet.h"

class CMyBrowserFrame;

class CMainFrame : public CFrameWnd {
public:
    enum ChatFrameMode { OpenOrCreate = 0, NavigateOrCreate = 1, FindOnly = 2 };

    CMainFrame();
    ~CMainFrame() override;

    // The first registered chat frame of kind 1; created when missing
    // (except with FindOnly). NavigateOrCreate loads the URL launch
    // parameter into an existing one.
    CMyBrowserFrame* GetMainChatFrame(ChatFrameMode mode);
    // The first registered, still existing chat frame titled as the
    // packet's DLGTIT.
    CMyBrowserFrame* FindFrameByTitle(CPacket& packet);

    // The orderly end of the application (the tray's exit after its
    // question, and a request to end from outside): the main chat window
    // is hidden, then the main frame closes 100 ms later.
    void EndApplication();

    // For tests: the registered frames still alive, in registration order.
    std::vector<CMyBrowserFrame*> RegisteredFrames() const;
    CPacket& AlarmSettings() { return *m_alarmSettings; }
    WindowRequests& Requests() { return m_requests; }

    // Shows `text` as the tray icon's balloon.
    void ShowBalloon(const CString& text);

protected:
    BOOL PreCreateWindow(CREATESTRUCT& cs) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    int OnCreate(CREATESTRUCT* cs) override;
    void OnTimer(UINT_PTR id) override;
    void OnClose() override;
    void OnSetFocus(CWnd* oldWnd) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

private:
    struct Entry {
        CWnd* frame;
        HWND hwnd;  // recognises entries whose frame is gone, without touching it
    };
    bool Alive(const Entry& e) const;
    CMyBrowserFrame* FrameOf(const Entry& e) const;

    void OnRegisterFrame(HWND h);
    void OnUnregisterFrame(HWND h);
    // `sender` is WM_APP_PACKET's sender context (packet/Vocabulary.h).
    void OnPacket(CPacket* packet, LPARAM sender);
    // Hands a page's request for a window to m_requests, judged by its sender.
    void AskForWindow(WindowRequests::Kind kind, CPacket& packet, LPARAM sender);
    // Both return the life token of the window they made, or null.
    std::shared_ptr<bool> OpenOrPlaceChatFrame(CPacket& packet, LPARAM sender);
    std::shared_ptr<bool> OpenPopup(CPacket& packet);
    // Asks for the next turn of the windows pages ask for, a pace from now.
    void AskForTurn();
    void CloseNextSavedChat();
    void OnTrayNotify(UINT mouseMessage);
    // `startupId` is the later start's startup id, or null.
    void OnHandOff(CPacket* handed, const CString* startupId);
    void OnShowMainChat(const CString* startupId);
    void OnRefresh();
    void OnExit();
    void ShowTrayMenu();
    void RevealMainChat();

    CTrayIcon m_trayIcon;
    std::vector<Entry> m_registry;
    CMyMutex m_registryLock;
    std::unique_ptr<CPacket> m_alarmSettings;
    bool m_firstClass = true;
    // While the start opens its main chat window hidden (the autostart
    // entry's start, with a tray to bring it back from).
    bool m_openHidden = false;
    CChildView m_wndView;
    WindowRequests m_requests;
    bool m_turnAsked = false;    // the turn's timer is set
    std::deque<HWND> m_closing;  // chat windows to close, one per turn
};
