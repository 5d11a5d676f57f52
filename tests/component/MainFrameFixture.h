// A real main frame, as start-up makes it, with real chat frames and fake
// browsers: the fixture of the main frame's tests (its window, the frame
// registry, the packet commands, the tray icon, the hand-off of a later
// start) and of the popup windows it opens. The profile and the hand-off
// channel are the test's own; every frame and the main frame are gone when
// the test ends.
#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

#include "AppTest.h"
#include "browser/MyBrowserFrame.h"
#include "mainframe/MainFrm.h"

class MainFrameTest : public AppTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Launch parameters with nothing but a channel name of this test's own,
    // so that no other instance's hand-off channel is touched.
    void ResetParams();

    // The main frame as start-up loads it, still shown.
    bool LoadMain();
    // ... and then as start-up leaves it: no menu, hidden.
    bool CreateMain();
    // The main chat window, which the main frame opens 100 ms after its
    // creation.
    CMyBrowserFrame* StartMainChat();
    // Every chat frame and the main frame go; the next case starts afresh.
    void DestroyAll();

    // A shown chat frame made directly from a creation packet with `fields`;
    // it registers with the main frame. Small minimum sizes keep the
    // placements free.
    CMyBrowserFrame* Direct(const QString& fields);

    LRESULT SendPacket(CPacket& packet, LPARAM context = 0);
    LRESULT SendPacket(const QString& text, LPARAM context = 0);
    // CMD 20 with small minimum sizes; the frame now titled as the packet.
    CMyBrowserFrame* Open20(const QString& fields, LPARAM context = 0);

    LRESULT TrayNotify(LPARAM mouse);

    // Announces a fake browser in a child window of the frame's view, as the
    // engine does.
    CefRefPtr<FakeBrowser> Attach(CMyBrowserFrame* frame);

    // Sends `bytes` to the main frame's channel as a later start would and
    // serves the channel on this thread meanwhile; returns the reply.
    QByteArray Exchange(const QByteArray& bytes);

    int CountOfKind(int kind) const;

    CMainFrame* main = nullptr;
    HWND mainHwnd = nullptr;
    std::vector<HWND> frames;
};
