// Chat frames as the main frame creates them: placement and style from the
// creation packet, the window region, the minimum size, the timers that
// create the browser, check its document and hand over a URI, following an
// owner, opacity, and what closing a frame saves and tells.
#include <QDir>
#include <QWidget>

#include "AppTest.h"
#include "browser/MyBrowserView.h"
#include "framework/internal.h"
#include "framework/peer.h"
#include "platform/desktop.h"
#include "shared/Service.h"

namespace {

class ChatFrameTest : public PageWindowTest {
protected:
    static RECT Region(CWnd* w) {
        const QRect r = w->GetPeer()->mask().boundingRect();
        return framework::FromQRect(r);
    }
};

// ---------------------------------------------------------------------------
// Creation.

TEST_F(ChatFrameTest, CreationPacketWithoutFieldsGivesACentredBorderedFrame) {
    ObservedFrame* frame = OpenText("<PKT></PKT>");
    EXPECT_EQ(frame->m_kind, 3);
    // 1200 x 720 centred in the 1920 x 1040 work area.
    EXPECT_EQ(WindowRect(frame), (RECT{360, 160, 1560, 880}));
    EXPECT_EQ(frame->m_nativeCaption, 0);
    EXPECT_EQ(frame->m_borderColor, 0u);
    EXPECT_EQ(frame->GetWindowText(), "");
    EXPECT_EQ(frame->GetStyle() & ~(WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN), 0x800F0000u);
    EXPECT_EQ(frame->GetExStyle(), static_cast<DWORD>(WS_EX_DLGMODALFRAME));
    EXPECT_TRUE(frame->GetPeer()->windowFlags() & Qt::FramelessWindowHint);

    MINMAXINFO mmi{};
    frame->SendMessage(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
    EXPECT_EQ(mmi.ptMinTrackSize.x, 1200);
    EXPECT_EQ(mmi.ptMinTrackSize.y, 720);
    EXPECT_EQ(frame->GetPeer()->minimumSize(), QSize(1200, 720));

    // The view is the frame's first pane and fills it.
    EXPECT_EQ(GetWindow(frame->m_hWnd, GW_CHILD), frame->m_view.m_hWnd);
    EXPECT_EQ(frame->m_view.m_frame, frame);
    EXPECT_FALSE(frame->m_view.GetStyle() & WS_BORDER);
    RECT view;
    frame->m_view.GetClientRect(&view);
    EXPECT_EQ(view, (RECT{0, 0, 1200 - 2 * AFX_CXFRAME, 720 - 2 * AFX_CYFRAME}));

    // Registered while it was being created.
    EXPECT_EQ(mainWnd.Of(WM_APP_REGISTER_FRAME),
              std::vector<Recorded>(
                  {{WM_APP_REGISTER_FRAME, reinterpret_cast<WPARAM>(frame->m_hWnd), 0}}));

    // The browser starts on the content server's base address.
    clock.Advance(10);
    ASSERT_EQ(factory.requests.size(), 1u);
    EXPECT_EQ(factory.requests[0].url, ContentBaseUrl());
    EXPECT_EQ(factory.requests[0].windowInfo.parent_window, frame->m_view.m_hWnd);
    EXPECT_EQ(factory.requests[0].windowInfo.width, 1200 - 2 * AFX_CXFRAME);
    EXPECT_EQ(factory.requests[0].windowInfo.height, 720 - 2 * AFX_CYFRAME);
}

TEST_F(ChatFrameTest, PlacementKeywordsAndCoordinates) {
    struct Case {
        QString fields;
        RECT expected;
    };
    const Case cases[] = {
        {"<XX>R</XX>", {720, 160, 1920, 880}},
        {"<XX>r</XX>", {720, 160, 1920, 880}},
        {"<XX>l</XX><YY>T</YY>", {0, 0, 1200, 720}},
        {"<YY>B</YY>", {360, 320, 1560, 1040}},
        {"<YY>b</YY><XX>c</XX>", {360, 320, 1560, 1040}},
        {"<XX>250</XX><YY>-20</YY>", {250, -20, 1450, 700}},
        {"<XX>abc</XX><YY>x1</YY>", {0, 0, 1200, 720}},
        {"<XX> 30px</XX>", {30, 160, 1230, 880}},
        {"<XX>1,500</XX>", {1, 160, 1201, 880}},
        {"<XX>RR</XX>", {0, 160, 1200, 880}},
        // Never larger than the work area.
        {"<WW>5000</WW><HH>5000</HH>", {0, 0, 1920, 1040}},
        {"<WW>800</WW><HH>600</HH>", {560, 220, 1360, 820}},
        {"<WW>801</WW><HH>601</HH><XX>C</XX><YY>C</YY>", {559, 219, 1360, 820}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fields.toStdString());
        ObservedFrame* frame = Open(c.fields);
        EXPECT_EQ(WindowRect(frame), c.expected);
        DestroyWindow(frame->m_hWnd);
    }
}

TEST_F(ChatFrameTest, TaskbarAtTheRightNarrowsTheWorkArea) {
    fakes.screen.Set(RECT{0, 0, 1920, 1080}, RECT{0, 0, 1860, 1080});
    struct Case {
        QString fields;
        RECT expected;
    };
    const Case cases[] = {
        {"<XX>R</XX><YY>B</YY>", {660, 360, 1860, 1080}},
        {"<WW>5000</WW>", {0, 180, 1860, 900}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fields.toStdString());
        ObservedFrame* frame = Open(c.fields);
        EXPECT_EQ(WindowRect(frame), c.expected);
        DestroyWindow(frame->m_hWnd);
    }
}

TEST_F(ChatFrameTest, HeaderFieldChoosesTheStandardCaptionOrTheOwnBorder) {
    struct Case {
        QString fields;
        int nativeCaption;
        DWORD style;
        DWORD exStyle;
    };
    const DWORD own = WS_POPUP | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
    const Case cases[] = {
        {"", 0, own, WS_EX_DLGMODALFRAME},
        {"<HDR>1</HDR>", 0, own, WS_EX_DLGMODALFRAME},
        // The client edge the frame class adds is taken away again.
        {"<HDR>0</HDR>", 1, WS_OVERLAPPEDWINDOW, WS_EX_WINDOWEDGE},
        {"<HDR>2</HDR>", 1, WS_OVERLAPPEDWINDOW, WS_EX_WINDOWEDGE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fields.toStdString());
        ObservedFrame* frame = Open(c.fields);
        EXPECT_EQ(frame->m_nativeCaption, c.nativeCaption);
        EXPECT_EQ(frame->GetStyle() & ~(WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN), c.style);
        EXPECT_EQ(frame->GetExStyle(), c.exStyle);
        EXPECT_EQ((frame->GetPeer()->windowFlags() & Qt::FramelessWindowHint) != 0,
                  c.nativeCaption == 0);
        DestroyWindow(frame->m_hWnd);
    }
}

TEST_F(ChatFrameTest, TitleKindAndBorderColourComeFromThePacket) {
    struct Case {
        QString fields;
        int kind;
        COLORREF border;
        QString title;
    };
    const Case cases[] = {
        {"<TP>1</TP><DLGTIT>벨크</DLGTIT>", 1, 0, "벨크"},
        {"<TP>2</TP><BORDERCOLOR>0</BORDERCOLOR>", 2, 0, ""},
        {"<TP>5</TP><BORDERCOLOR>4210752</BORDERCOLOR>", 5, 0x404040, ""},
        {"<BORDERCOLOR>255</BORDERCOLOR><DLGTIT>a,s</DLGTIT>", 3, RGB(255, 0, 0), "a,s"},
        {"<BORDERCOLOR>red</BORDERCOLOR>", 3, 0, ""},
        {"<TP>x</TP>", 0, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fields.toStdString());
        ObservedFrame* frame = Open(c.fields);
        EXPECT_EQ(frame->m_kind, c.kind);
        EXPECT_EQ(frame->m_borderColor, c.border);
        EXPECT_EQ(frame->GetWindowText(), c.title);
        DestroyWindow(frame->m_hWnd);
    }
}

TEST_F(ChatFrameTest, MinimumTrackingSizeComesFromThePacket) {
    struct Case {
        QString text;
        LONG width, height;
    };
    const Case cases[] = {
        {"<PKT></PKT>", 1200, 720},
        {"<PKT><LMIW>300</LMIW><LMIH>200</LMIH></PKT>", 300, 200},
        {"<PKT><LMIW>640</LMIW></PKT>", 640, 720},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        ObservedFrame* frame = OpenText(c.text);
        MINMAXINFO mmi{};
        frame->SendMessage(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
        EXPECT_EQ(mmi.ptMinTrackSize.x, c.width);
        EXPECT_EQ(mmi.ptMinTrackSize.y, c.height);
        // The user cannot make it smaller.
        frame->SetWindowPos(nullptr, 0, 0, 50, 50, SWP_NOZORDER | SWP_NOMOVE);
        RECT r = WindowRect(frame);
        EXPECT_EQ(r.right - r.left, c.width);
        EXPECT_EQ(r.bottom - r.top, c.height);
        DestroyWindow(frame->m_hWnd);
    }
}

// ---------------------------------------------------------------------------
// The window region.

TEST_F(ChatFrameTest, RegionCutsTheResizeBorderAndTheGaps) {
    struct Case {
        QString gaps;
        RECT expected;
    };
    // The frame metrics are 4.
    const Case cases[] = {
        {"<XGAP>1</XGAP><YGAP>1</YGAP>", {5, 5, 995, 695}},
        {"", {5, 5, 995, 695}},
        // The top edge is cut by the horizontal amount.
        {"<XGAP>-3</XGAP><YGAP>2</YGAP>", {1, 1, 999, 694}},
        {"<XGAP>0</XGAP><YGAP>10</YGAP>", {4, 4, 996, 686}},
    };
    ASSERT_EQ(GetSystemMetrics(SM_CXFRAME), 4);
    ASSERT_EQ(GetSystemMetrics(SM_CYFRAME), 4);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.gaps.toStdString());
        ObservedFrame* frame = Open(c.gaps);
        frame->SetWindowPos(nullptr, 10, 10, 1000, 700, SWP_NOZORDER);
        EXPECT_EQ(Region(frame), c.expected);
        EXPECT_EQ(frame->m_lastRect, (RECT{10, 10, 1010, 710}));
        DestroyWindow(frame->m_hWnd);
    }
}

TEST_F(ChatFrameTest, FrameWithTheStandardCaptionHasNoRegion) {
    ObservedFrame* frame = Open("<HDR>0</HDR>");
    frame->SetWindowPos(nullptr, 10, 10, 1000, 700, SWP_NOZORDER);
    EXPECT_TRUE(frame->GetPeer()->mask().isEmpty());
}

// ---------------------------------------------------------------------------
// The timers: browser, document check, URI.

TEST_F(ChatFrameTest, BrowserIsRequestedTenMillisecondsAfterCreation) {
    struct Case {
        QString url;
        QString requested;
    };
    const QString exeDir = dir.path();
    const Case cases[] = {
        {"<URL>http://127.0.0.1:18480/chat.html</URL>", "http://127.0.0.1:18480/chat.html"},
        {"<URL>file:///{APPPATH}/html/{APPPATH}.html</URL>",
         "file:///" + exeDir + "/html/" + exeDir + ".html"},
        // Neither completed nor tested for "file:" here.
        {"<URL>{APPPATH}/a.html</URL>", exeDir + "/a.html"},
        {"<URL>room.html</URL>", "room.html"},
        {"", ContentBaseUrl()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url.toStdString());
        factory.requests.clear();
        ObservedFrame* frame = Open(c.url + "<WW>640</WW><HH>480</HH>");
        clock.Advance(9);
        EXPECT_TRUE(factory.requests.empty());
        clock.Advance(1);
        ASSERT_EQ(factory.requests.size(), 1u);
        EXPECT_EQ(factory.requests[0].url, c.requested);
        EXPECT_EQ(factory.requests[0].windowInfo.parent_window, frame->m_view.m_hWnd);
        EXPECT_EQ(factory.requests[0].windowInfo.width, 640 - 2 * AFX_CXFRAME);
        EXPECT_EQ(factory.requests[0].windowInfo.height, 480 - 2 * AFX_CYFRAME);
        clock.Advance(10000);
        EXPECT_EQ(factory.requests.size(), 1u) << "once";
        DestroyWindow(frame->m_hWnd);
    }
}

TEST_F(ChatFrameTest, PageWithoutADocumentAfterTwoSecondsIsReloadedOnce) {
    struct Case {
        bool hasDocument;
        int reloads;
    };
    const Case cases[] = {{false, 1}, {true, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.hasDocument);
        ObservedFrame* frame = Open("");
        clock.Advance(10);
        CefRefPtr<FakeBrowser> browser = Attach(frame);
        browser->hasDocument = c.hasDocument;
        clock.Advance(1999);
        EXPECT_EQ(browser->reloadsIgnoringCache, 0);
        clock.Advance(1);
        EXPECT_EQ(browser->reloadsIgnoringCache, c.reloads);
        clock.Advance(20000);
        EXPECT_EQ(browser->reloadsIgnoringCache, c.reloads) << "once";
        DestroyWindow(frame->m_hWnd);
    }
}

TEST_F(ChatFrameTest, UriReachesOnePageOnceAtTheFirstPollThenThePollsStop) {
    // The start's own parameters hold the address before any frame exists.
    app.m_params.SetString("URI", "velk://room/7?q=\"1\"");
    ObservedFrame* first = Open("<DLGTIT>a</DLGTIT>");
    ObservedFrame* second = Open("<DLGTIT>b</DLGTIT>");
    clock.Advance(10);
    CefRefPtr<FakeBrowser> a = Attach(first);
    CefRefPtr<FakeBrowser> b = Attach(second);
    a->loading = b->loading = true;  // delivered whether or not the page loads
    // The document check 2 s after the browser, the first poll 3 s later.
    clock.Advance(4999);
    EXPECT_TRUE(a->scripts.empty() && b->scripts.empty());
    clock.Advance(1);
    const QString call =
        "JSRecv(\"<PKT><GBN>9000</GBN><CMD>51</CMD><URI>velk://room/7?q=\\\"1\\\"</URI></PKT>\")";
    std::vector<FakeBrowser::Script> all = a->scripts;
    all.insert(all.end(), b->scripts.begin(), b->scripts.end());
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].code, call);
    EXPECT_FALSE(app.m_params.Contains("URI"));

    // Nothing can bring another address, so the polls end: idle windows
    // are not woken every 3 s for nothing.
    auto polling = [](CWnd* frame) {
        return framework::IsWindowTimerSet(frame->m_hWnd, CMyBrowserFrame::TIMER_DELIVER_URI);
    };
    EXPECT_FALSE(polling(first) || polling(second));
    clock.Advance(3000);
    EXPECT_FALSE(polling(first) || polling(second));
    EXPECT_EQ(a->scripts.size() + b->scripts.size(), 1u);
}

// ---------------------------------------------------------------------------
// Following an owner.

class ChatFrameOwnerTest : public ChatFrameTest {
protected:
    void Link() {
        owner = Open("<TP>1</TP><XX>100</XX><YY>100</YY><WW>600</WW><HH>400</HH>");
        follower = Open("<TP>3</TP><XX>696</XX><YY>100</YY><WW>500</WW><HH>300</HH>");
        owner->m_childWnd = follower->m_hWnd;
        follower->m_ownerWnd = owner->m_hWnd;
        follower->m_trackOwner = 1;
    }
    ObservedFrame* owner = nullptr;
    ObservedFrame* follower = nullptr;
};

TEST_F(ChatFrameOwnerTest, FollowerRedocksAtTheOwnersRightEdge) {
    struct Case {
        int x, y;
        RECT expected;
    };
    const Case cases[] = {
        {200, 150, {796, 150, 1296, 450}},
        {0, 0, {596, 0, 1096, 300}},
        // The corner may reach the desktop's last pixel, below the work area.
        {823, 779, {1419, 779, 1919, 1079}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.x);
        Link();
        owner->SetWindowPos(nullptr, c.x, c.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        DeliverPostedMessages();
        EXPECT_EQ(WindowRect(follower), c.expected);
        DestroyWindow(owner->m_hWnd);
        DestroyWindow(follower->m_hWnd);
    }
}

TEST_F(ChatFrameOwnerTest, FollowerStaysWhenItWouldLeaveTheDesktopOrDoesNotTrack) {
    struct Case {
        const char* name;
        int x, y;
        int track;
    };
    const Case cases[] = {
        {"right edge", 824, 100, 1},
        {"bottom edge", 100, 780, 1},
        {"far right", 3000, 100, 1},
        {"not tracking", 200, 150, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Link();
        follower->m_trackOwner = c.track;
        owner->SetWindowPos(nullptr, c.x, c.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        DeliverPostedMessages();
        EXPECT_FALSE(follower->ownerMoves.empty()) << "told all the same";
        EXPECT_EQ(WindowRect(follower), (RECT{696, 100, 1196, 400}));
        DestroyWindow(owner->m_hWnd);
        DestroyWindow(follower->m_hWnd);
    }
}

TEST_F(ChatFrameOwnerTest, FollowerOfAGoneOwnerStays) {
    Link();
    DestroyWindow(owner->m_hWnd);
    follower->SendMessage(WM_APP_OWNER_MOVED, 0, 0);
    EXPECT_EQ(WindowRect(follower), (RECT{696, 100, 1196, 400}));
}

TEST_F(ChatFrameOwnerTest, OlderSystemsNotifyOnlyAtTheEndOfAMove) {
    struct Case {
        int major;
        std::vector<std::pair<LPARAM, LPARAM>> notices;
    };
    const Case cases[] = {
        // While moving (the first), then at the end (nothing left to tell).
        {10, {{-100, -50}, {0, 0}}},
        {6, {{-100, -50}, {0, 0}}},
        {5, {{-100, -50}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.major);
        app.m_osMajorVersion = c.major;
        Link();
        owner->SetWindowPos(nullptr, 200, 150, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        DeliverPostedMessages();
        EXPECT_EQ(follower->ownerMoves, c.notices);
        EXPECT_EQ(WindowRect(follower), (RECT{796, 150, 1296, 450}));
        DestroyWindow(owner->m_hWnd);
        DestroyWindow(follower->m_hWnd);
    }
}

// ---------------------------------------------------------------------------
// Opacity.

TEST_F(ChatFrameTest, OpacityIsClampedAndOpaqueRemovesTheLayeredStyle) {
    struct Step {
        int percent;
        int opacity;
        bool layered;
        double windowOpacity;  // on screen: at least 20 %
    };
    const Step steps[] = {
        {50, 50, true, 127 / 255.0}, {0, 1, true, 51 / 255.0}, {-5, 1, true, 51 / 255.0},
        {100, 100, false, 1.0},      {250, 100, false, 1.0},   {30, 30, true, 76 / 255.0},
        {101, 100, false, 1.0},
    };
    ObservedFrame* frame = Open("");
    for (const Step& s : steps) {
        SCOPED_TRACE(s.percent);
        frame->SetOpacity(s.percent);
        EXPECT_EQ(frame->m_opacity, s.opacity);
        EXPECT_EQ((frame->GetExStyle() & WS_EX_LAYERED) != 0, s.layered);
        EXPECT_NEAR(frame->GetPeer()->windowOpacity(), s.windowOpacity, 1e-6);
    }
}

TEST_F(ChatFrameTest, RepeatedOpacityChangesNothing) {
    ObservedFrame* frame = Open("");
    frame->SetOpacity(60);
    frame->ModifyStyleEx(WS_EX_LAYERED, 0);
    frame->SetOpacity(60);
    EXPECT_FALSE(frame->GetExStyle() & WS_EX_LAYERED);
    frame->SetOpacity(61);
    EXPECT_TRUE(frame->GetExStyle() & WS_EX_LAYERED);
}

// ---------------------------------------------------------------------------
// Closing.

class ChatFrameCloseTest : public ChatFrameTest {
protected:
    void SetUp() override {
        ChatFrameTest::SetUp();
        UseProfile();
    }
    int Saved(const char* section, const char* entry) {
        return static_cast<int>(app.GetProfileInt(section, entry, -9999));
    }
};

TEST_F(ChatFrameCloseTest, FramesOfKinds2And5SaveTheirPlacementUnlessMinimised) {
    struct Case {
        int kind;
        bool minimised;
        const char* saved;  // the section written, or none
    };
    const Case cases[] = {
        {2, false, "CHAT"}, {5, false, "W4X"},   {2, true, nullptr},
        {5, true, nullptr}, {3, false, nullptr}, {1, false, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(
            QString("kind %1%2").arg(c.kind).arg(c.minimised ? " minimised" : "").toStdString());
        for (const char* section : {"CHAT", "W4X"}) {
            for (const char* entry : {"XX", "YY", "WW", "HH"})
                app.WriteProfileInt(section, entry, -9999);
        }
        ObservedFrame* frame =
            Open(QStringLiteral("<TP>%1</TP><XX>120</XX><YY>80</YY><WW>700</WW><HH>500</HH>")
                     .arg(c.kind));
        if (c.minimised) {
            frame->ShowWindow(SW_MINIMIZE);
            ASSERT_TRUE(frame->IsIconic());
        }
        const HWND h = frame->m_hWnd;
        frame->SendMessage(WM_CLOSE);
        EXPECT_FALSE(IsWindow(h));
        for (const char* section : {"CHAT", "W4X"}) {
            SCOPED_TRACE(section);
            const bool written = c.saved && QString(c.saved) == section;
            EXPECT_EQ(Saved(section, "XX"), written ? 120 : -9999);
            EXPECT_EQ(Saved(section, "YY"), written ? 80 : -9999);
            EXPECT_EQ(Saved(section, "WW"), written ? 700 : -9999);
            EXPECT_EQ(Saved(section, "HH"), written ? 500 : -9999);
        }
    }
    // The profile is the test's own.
    EXPECT_TRUE(QDir(profile.Path() + "/VelkTest").exists());
}

TEST_F(ChatFrameCloseTest, StandardCaptionEndsTheApplicationOtherwiseTheFrameUnregisters) {
    struct Case {
        QString fields;
        bool endsApplication;
    };
    const Case cases[] = {
        {"<HDR>0</HDR>", true},
        {"<HDR>1</HDR>", false},
        {"", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fields.toStdString());
        mainWnd.received.clear();
        ObservedFrame* frame = Open(c.fields);
        const HWND h = frame->m_hWnd;
        frame->SendMessage(WM_CLOSE);
        EXPECT_FALSE(IsWindow(h)) << "destroyed at once";
        EXPECT_TRUE(mainWnd.Of(WM_CLOSE).empty()) << "posted, not sent";
        DeliverPostedMessages();
        if (c.endsApplication) {
            EXPECT_EQ(mainWnd.Of(WM_CLOSE), std::vector<Recorded>({{WM_CLOSE, 0, 0}}));
            EXPECT_TRUE(mainWnd.Of(WM_APP_UNREGISTER_FRAME).empty());
        } else {
            EXPECT_TRUE(mainWnd.Of(WM_CLOSE).empty());
            EXPECT_EQ(
                mainWnd.Of(WM_APP_UNREGISTER_FRAME),
                std::vector<Recorded>({{WM_APP_UNREGISTER_FRAME, reinterpret_cast<WPARAM>(h), 0}}));
        }
    }
}

TEST_F(ChatFrameCloseTest, ClosingAFrameClosesTheFrameThatFollowsIt) {
    ObservedFrame* owner = Open("<XX>100</XX><YY>100</YY><WW>600</WW><HH>400</HH>");
    ObservedFrame* follower = Open("<XX>696</XX><YY>100</YY><WW>500</WW><HH>300</HH>");
    owner->m_childWnd = follower->m_hWnd;
    follower->m_ownerWnd = owner->m_hWnd;
    const HWND followerWnd = follower->m_hWnd;
    owner->SendMessage(WM_CLOSE);
    EXPECT_TRUE(IsWindow(followerWnd));
    DeliverPostedMessages();
    EXPECT_FALSE(IsWindow(followerWnd));
    DeliverPostedMessages();
    EXPECT_EQ(mainWnd.Of(WM_APP_UNREGISTER_FRAME).size(), 2u);
}

}  // namespace
