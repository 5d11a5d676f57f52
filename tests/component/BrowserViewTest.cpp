// The browser view inside real chat frames, with fake browsers announced
// and fed through the real browser client: what the page's commands do to
// the frame, what goes on to the main window, how answers reach the page,
// zoom and auto-scale, address completion and the load watch.
#include <QEventLoop>
#include <QTimer>
#include <cmath>

#include "AppTest.h"
#include "browser/MyBrowserView.h"
#include "framework/internal.h"
#include "platform/desktop.h"
#include "shared/Service.h"

namespace {

QString ScriptCall(const QString& escaped) {
    return QStringLiteral("JSRecv(\"") + escaped + QStringLiteral("\")");
}

class BrowserViewTest : public PageWindowTest {
protected:
    // Lets the frame ask for its browser and announces a fake one in a
    // child window of the view, as the engine does.
    CefRefPtr<FakeBrowser> Attach(ObservedFrame* frame) {
        clock.Advance(10);
        return PageWindowTest::Attach(frame);
    }

    // A page's MApp.jsPacket(text), delivered to the view.
    void FromPage(FakeBrowser& browser, const QString& text) {
        EXPECT_TRUE(browser.SendPagePacket(text));
        DeliverPostedMessages();
    }

    QStringList Scripts(const FakeBrowser& browser) {
        QStringList out;
        for (const FakeBrowser::Script& s : browser.scripts)
            out << s.code;
        return out;
    }
};

// ---------------------------------------------------------------------------
// Answers to the page.

TEST_F(BrowserViewTest, PlacementQueryIsAnsweredOnlyAfterLoadingEndsOnePerTick) {
    ObservedFrame* frame = Open("<XX>100</XX><YY>50</YY><WW>1300</WW><HH>800</HH>");
    CefRefPtr<FakeBrowser> browser = Attach(frame);
    browser->loading = true;
    const QString first = Command(19, "<CALL>1</CALL>");
    const QString second = Command(19, "<CALL>2</CALL><ID>b</ID>");
    FromPage(*browser, first);
    FromPage(*browser, second);
    clock.Advance(1000);
    EXPECT_TRUE(browser->scripts.empty()) << "nothing reaches a page that is loading";

    browser->loading = false;
    const QString metrics =
        QStringLiteral(
            "<CYCAPTION>%1</CYCAPTION><CXFRAME>%2</CXFRAME><CYFRAME>%3</CYFRAME>"
            "<CXBORDER>%4</CXBORDER><CYBORDER>%5</CYBORDER>")
            .arg(GetSystemMetrics(SM_CYCAPTION))
            .arg(GetSystemMetrics(SM_CXFRAME))
            .arg(GetSystemMetrics(SM_CYFRAME))
            .arg(GetSystemMetrics(SM_CXBORDER))
            .arg(GetSystemMetrics(SM_CYBORDER));
    const QString placement = "<XX>100</XX><YY>50</YY><WW>1300</WW><HH>800</HH>";
    auto answer = [&](const QString& request) {
        QString text = request;
        text.chop(6);  // "</PKT>"
        return ScriptCall(text + placement + metrics + "</PKT>");
    };
    clock.Advance(100);
    ASSERT_EQ(Scripts(*browser), QStringList({answer(first)}));
    EXPECT_EQ(browser->scripts[0].scriptUrl, browser->url);
    EXPECT_EQ(browser->scripts[0].startLine, 0);
    clock.Advance(100);
    EXPECT_EQ(Scripts(*browser), QStringList({answer(first), answer(second)}));
    // A query leaves the frame where it is and goes nowhere else.
    EXPECT_EQ(WindowRect(frame), (RECT{100, 50, 1400, 850}));
    EXPECT_TRUE(mainWnd.packets.empty());
}

TEST_F(BrowserViewTest, EveryQueuedAnswerArrivesInOrder) {
    ObservedFrame* frame = Open("");
    CefRefPtr<FakeBrowser> browser = Attach(frame);
    browser->loading = true;
    const int count = 60;
    for (int i = 0; i < count; ++i)
        FromPage(*browser, Command(19, QStringLiteral("<CALL>1</CALL><N>%1</N>").arg(i)));
    browser->loading = false;
    clock.Advance(100 * count);
    ASSERT_EQ(browser->scripts.size(), static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        EXPECT_TRUE(
            browser->scripts[i].code.contains(QStringLiteral("<CALL>1</CALL><N>%1</N><XX>").arg(i)))
            << i;
    }
    clock.Advance(1000);
    EXPECT_EQ(browser->scripts.size(), static_cast<size_t>(count));
}

// Delivery ticks fall every 100 ms from the browser's arrival, but the
// timer is set only while answers wait: an idle window has nothing to wake.
TEST_F(BrowserViewTest, DeliveryKeepsTheTicksOfItsTimerButSleepsWhenNothingWaits) {
    ObservedFrame* frame = Open("");
    CefRefPtr<FakeBrowser> browser = Attach(frame);
    const HWND view = frame->m_view.m_hWnd;
    auto ticking = [&] {
        return framework::IsWindowTimerSet(view, CMyBrowserView::TIMER_PAGE_QUEUE);
    };
    EXPECT_FALSE(ticking());
    clock.Advance(250);
    FromPage(*browser, Command(19, "<CALL>1</CALL>"));
    EXPECT_TRUE(ticking());
    clock.Advance(49);
    EXPECT_TRUE(browser->scripts.empty()) << "the answer waits for the tick at 300 ms";
    clock.Advance(1);
    EXPECT_EQ(browser->scripts.size(), 1u);
    EXPECT_FALSE(ticking());

    // Three answers queued between ticks: one per tick, on the same beat.
    clock.Advance(1030);
    for (int i = 0; i < 3; ++i)
        FromPage(*browser, Command(19, "<CALL>1</CALL>"));
    const std::vector<std::pair<int, size_t>> steps = {{69, 1}, {1, 2},   {99, 2},
                                                       {1, 3},  {100, 4}, {500, 4}};
    for (const auto& [ms, expected] : steps) {
        clock.Advance(ms);
        EXPECT_EQ(browser->scripts.size(), expected) << "after " << ms << " ms more";
    }
    EXPECT_FALSE(ticking());
}

TEST_F(BrowserViewTest, AnswerTextIsEscapedSoTheCallStaysOneStatement) {
    ObservedFrame* frame = Open("<XX>0</XX><YY>0</YY><WW>200</WW><HH>100</HH>");
    CefRefPtr<FakeBrowser> browser = Attach(frame);
    FromPage(*browser, Command(19, "<CALL>1</CALL><MSG>say \"hi\"\nit's a\\b</MSG>"));
    clock.Advance(100);
    ASSERT_EQ(browser->scripts.size(), 1u);
    EXPECT_TRUE(browser->scripts[0].code.startsWith(
        "JSRecv(\"<PKT><GBN>9000</GBN><CMD>19</CMD><CALL>1</CALL><MSG>say \\\"hi\\\"\\nit's a\\\\b"
        "</MSG><XX>0</XX>"));
    EXPECT_TRUE(browser->scripts[0].code.endsWith("</PKT>\")"));
}

TEST_F(BrowserViewTest, QueuedAnswersGoWithTheView) {
    ObservedFrame* frame = Open("");
    CefRefPtr<FakeBrowser> browser = Attach(frame);
    browser->loading = true;
    for (int i = 0; i < 3; ++i)
        FromPage(*browser, Command(19, "<CALL>1</CALL>"));
    const HWND h = frame->m_hWnd;
    DestroyWindow(h);  // the frame deletes itself, its view and the queued answers
    browser->loading = false;
    clock.Advance(1000);
    EXPECT_FALSE(IsWindow(h));
    EXPECT_TRUE(browser->scripts.empty());
}

// ---------------------------------------------------------------------------
// Commands on the frame.

TEST_F(BrowserViewTest, PlacementCommandMovesAndSizesTheFrame) {
    struct Case {
        QString fields;
        RECT expected;
    };
    const Case cases[] = {
        // Missing fields keep the current value.
        {"", {100, 50, 700, 450}},
        {"<WW>900</WW>", {100, 50, 1000, 450}},
        {"<XX>5</XX><YY>6</YY><WW>700</WW><HH>500</HH>", {5, 6, 705, 506}},
        {"<CALL>0</CALL><XX>7</XX>", {7, 50, 607, 450}},
        // Logging out: 400 x 600 in the bottom-right corner of the work area.
        {"<LOGOUT>1</LOGOUT>", {1520, 440, 1920, 1040}},
        {"<LOGOUT>1</LOGOUT><XX>10</XX><HH>300</HH>", {10, 440, 410, 740}},
        {"<LOGOUT>2</LOGOUT>", {100, 50, 700, 450}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fields.toStdString());
        ObservedFrame* frame = Open("<XX>100</XX><YY>50</YY><WW>600</WW><HH>400</HH>");
        CefRefPtr<FakeBrowser> browser = Attach(frame);
        FromPage(*browser, Command(19, c.fields));
        EXPECT_EQ(WindowRect(frame), c.expected);
        clock.Advance(100);
        EXPECT_TRUE(browser->scripts.empty());
        EXPECT_TRUE(mainWnd.packets.empty());
        DestroyWindow(frame->m_hWnd);
    }
}

TEST_F(BrowserViewTest, HideCommandHidesTheMainChatWindowAndClosesOthers) {
    struct Case {
        int kind;
        QString hide;
        bool closed;
    };
    const Case cases[] = {
        {1, "<HIDE>0</HIDE>", false}, {1, "", false},
        {3, "<HIDE>0</HIDE>", true},  {2, "<HIDE>7</HIDE>", true},
        {3, "<HIDE>1</HIDE>", false}, {1, "<HIDE>1</HIDE>", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QString("kind %1 %2").arg(c.kind).arg(c.hide).toStdString());
        mainWnd.received.clear();
        ObservedFrame* frame = Open(QStringLiteral("<TP>%1</TP>").arg(c.kind));
        const HWND h = frame->m_hWnd;
        CefRefPtr<FakeBrowser> browser = Attach(frame);
        FromPage(*browser, Command(1, c.hide));
        DeliverPostedMessages();
        EXPECT_EQ(!IsWindow(h), c.closed);
        EXPECT_FALSE(IsWindowVisible(h));
        // A closed frame leaves the registry; the application goes on.
        EXPECT_EQ(mainWnd.Count(WM_APP_UNREGISTER_FRAME), c.closed ? 1 : 0);
        EXPECT_EQ(mainWnd.Count(WM_CLOSE), 0);
        EXPECT_TRUE(boxes.shown.empty());
        if (IsWindow(h))
            DestroyWindow(h);
    }
}

TEST_F(BrowserViewTest, ExitCommandsCloseTheMainWindowDirectlyOrAfterAYes) {
    struct Case {
        QByteArray ini;
        int hide;
        int answer;
        QString question;  // empty: no box
        int closes;
    };
    const Case cases[] = {
        {"", 2, IDYES, "", 1},
        {"", 3, IDYES, "VelkApp 를 종료하시겠습니까?", 1},
        {"", 3, IDNO, "VelkApp 를 종료하시겠습니까?", 0},
        {"[APP]\r\nWINTIT=벨크톡\r\n", 3, IDYES, "벨크톡 를 종료하시겠습니까?", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.hide);
        WriteIni(c.ini);
        mainWnd.received.clear();
        boxes.shown.clear();
        boxes.answer = c.answer;
        ObservedFrame* frame = Open("<TP>1</TP>");
        CefRefPtr<FakeBrowser> browser = Attach(frame);
        FromPage(*browser, Command(1, QStringLiteral("<HIDE>%1</HIDE>").arg(c.hide)));
        DeliverPostedMessages();
        if (c.question.isEmpty()) {
            EXPECT_TRUE(boxes.shown.empty());
        } else {
            ASSERT_EQ(boxes.shown.size(), 1u);
            EXPECT_EQ(boxes.shown[0].text, c.question);
            EXPECT_EQ(boxes.shown[0].type, MB_YESNO);
        }
        EXPECT_EQ(mainWnd.Count(WM_CLOSE), c.closes);
        // The frame itself is left to the application's end.
        EXPECT_TRUE(frame->IsWindowVisible());
        DestroyWindow(frame->m_hWnd);
    }
}

TEST_F(BrowserViewTest, MinimiseAndMaximiseCommandsToggleTheFrame) {
    ObservedFrame* frame = Open("<XX>10</XX><YY>10</YY><WW>600</WW><HH>400</HH>");
    CefRefPtr<FakeBrowser> browser = Attach(frame);
    FromPage(*browser, Command(3));
    EXPECT_TRUE(frame->IsZoomed());
    FromPage(*browser, Command(3));
    EXPECT_FALSE(frame->IsZoomed());
    FromPage(*browser, Command(2));
    EXPECT_TRUE(frame->IsIconic());
    // A minimised frame is restored, not maximised.
    FromPage(*browser, Command(3));
    EXPECT_FALSE(frame->IsIconic());
    EXPECT_FALSE(frame->IsZoomed());
    EXPECT_TRUE(mainWnd.packets.empty());
}

TEST_F(BrowserViewTest, MoveAndSizeCommandsHandTheFrameToTheSystemLoop) {
    struct Case {
        int cmd;
        int hitTest;
    };
    const Case cases[] = {{10, HTCAPTION},    {11, HTTOP},         {12, HTBOTTOM},
                          {13, HTTOPLEFT},    {14, HTBOTTOMRIGHT}, {15, HTTOPRIGHT},
                          {16, HTBOTTOMLEFT}, {17, HTLEFT},        {18, HTRIGHT}};
    ObservedFrame* frame = Open("");
    CefRefPtr<FakeBrowser> browser = Attach(frame);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cmd);
        frame->moveRequests.clear();
        EXPECT_TRUE(browser->SendPagePacket(Command(c.cmd)));
        DeliverPostedMessages();  // the view's packet
        EXPECT_TRUE(frame->moveRequests.empty()) << "posted, not sent";
        DeliverPostedMessages();
        EXPECT_EQ(frame->moveRequests, std::vector<int>({c.hitTest}));
    }
    EXPECT_TRUE(mainWnd.packets.empty());
}

TEST_F(BrowserViewTest, OpacityTrackingAndVersionCommandsActOnTheFrameAndPage) {
    ObservedFrame* frame = Open("");
    CefRefPtr<FakeBrowser> browser = Attach(frame);
    FromPage(*browser, Command(21, "<V>40</V>"));
    EXPECT_EQ(frame->m_opacity, 40);
    EXPECT_TRUE(frame->GetExStyle() & WS_EX_LAYERED);
    FromPage(*browser, Command(21));
    EXPECT_EQ(frame->m_opacity, 1);

    const std::pair<QString, int> tracking[] = {
        {"<V>1</V>", 1}, {"<V>0</V>", 0}, {"<V>7</V>", 1}, {"", 0}, {"<V>-1</V>", 1}};
    for (const auto& [fields, expected] : tracking) {
        SCOPED_TRACE(fields.toStdString());
        FromPage(*browser, Command(29, fields));
        EXPECT_EQ(frame->m_trackOwner, expected);
    }

    FromPage(*browser, Command(31));
    EXPECT_EQ(Scripts(*browser), QStringList({"JSVer(1)"}));
    EXPECT_TRUE(mainWnd.packets.empty());
}

TEST_F(BrowserViewTest, OpenCommandGivesWebAddressesToTheDesktopBrowser) {
    ObservedFrame* frame = Open("");
    CefRefPtr<FakeBrowser> browser = Attach(frame);
    FromPage(*browser, Command(23, "<URL>https://example.com/a?b=1</URL>"));
    FromPage(*browser, Command(23, "<URL></URL>"));
    FromPage(*browser, Command(23));
    EXPECT_EQ(fakes.urlOpener.opened, QStringList({"https://example.com/a?b=1"}));
    EXPECT_TRUE(mainWnd.packets.empty());
}

// ---------------------------------------------------------------------------
// The side window (command 20).

TEST_F(BrowserViewTest, SideWindowRequestOfAnOrdinaryFrameIsForwardedUnchanged) {
    struct Case {
        int kind;
        QString fields;
    };
    const Case cases[] = {
        {3, "<URL>side.html</URL>"},
        {3, "<TP>3</TP><DLGTIT>x</DLGTIT>"},
        {1, "<TP>40</TP>"},
        {4, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fields.toStdString());
        mainWnd.packets.clear();
        ObservedFrame* frame =
            Open(QStringLiteral("<TP>%1</TP><XX>100</XX><YY>50</YY><WW>600</WW><HH>400</HH>")
                     .arg(c.kind));
        CefRefPtr<FakeBrowser> browser = Attach(frame);
        FromPage(*browser, Command(20, c.fields));
        EXPECT_EQ(mainWnd.packets, std::vector<Got>({{Command(20, c.fields), 0}}));
        EXPECT_EQ(WindowRect(frame), (RECT{100, 50, 700, 450}));
        DestroyWindow(frame->m_hWnd);
    }
}

TEST_F(BrowserViewTest, SideWindowOpensAtTheRightEdgeAndTheFrameMakesRoom) {
    struct Case {
        int kind;
        QString request;
        int left, width;  // the frame's before
        int frameLeftAfter;
        int sideLeft;
    };
    const Case cases[] = {
        // Overlapping by one frame width (4).
        {2, "", 100, 600, 100, 696},
        {3, "<TP>4</TP>", 100, 600, 100, 696},
        {2, "<TP>4</TP><URL>s.html</URL>", 1316, 300, 1316, 1612},
        // The side window would leave the work area: both move left.
        {2, "", 1300, 600, 724, 1320},
        {3, "<TP>4</TP>", 1500, 300, 1324, 1620},
        // Up to the work area's left edge, and no further.
        {2, "", 100, 962, 0, 958},
        // Moving the frame left would put it off the work area: it stays.
        {2, "", 0, 1900, 0, 20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QString("kind %1 at %2").arg(c.kind).arg(c.left).toStdString());
        mainWnd.packets.clear();
        ObservedFrame* frame =
            Open(QStringLiteral("<TP>%1</TP><DLGTIT>채팅</DLGTIT><XX>%2</XX><YY>50</YY>"
                                "<WW>%3</WW><HH>400</HH>")
                     .arg(c.kind)
                     .arg(c.left)
                     .arg(c.width));
        CefRefPtr<FakeBrowser> browser = Attach(frame);
        FromPage(*browser, Command(20, c.request));
        const QString expected =
            Command(20, c.request + QStringLiteral("<DLGTIT>채팅,s</DLGTIT><XX>%1</XX><YY>50</YY>"
                                                   "<WW>%2</WW><HH>400</HH>")
                                        .arg(c.sideLeft)
                                        .arg(c.width));
        EXPECT_EQ(
            mainWnd.packets,
            std::vector<Got>({{expected, reinterpret_cast<LPARAM>(static_cast<CWnd*>(frame))}}));
        EXPECT_EQ(WindowRect(frame), (RECT{c.frameLeftAfter, 50, c.frameLeftAfter + c.width, 450}));
        // The view still fills the frame inside its sizing border.
        RECT view;
        frame->m_view.GetClientRect(&view);
        EXPECT_EQ(view, (RECT{0, 0, c.width - 2 * AFX_CXFRAME, 400 - 2 * AFX_CYFRAME}));
        DestroyWindow(frame->m_hWnd);
    }
}

// ---------------------------------------------------------------------------
// Zoom.

TEST_F(BrowserViewTest, ZoomCommandSetsFixedLevelsOrSwitchesAutoScale) {
    struct Case {
        QString fields;
        std::vector<double> levels;
        int autoScale;
    };
    const Case cases[] = {
        // Auto-scale off resets the zoom to level 1, not 0.
        {"<AUTOSCALE>0</AUTOSCALE>", {1.0}, 0},
        {"<AUTOSCALE>1</AUTOSCALE>", {}, 1},
        {"<AUTOSCALE>abc</AUTOSCALE><SCALE>3</SCALE>", {1.0}, 0},
        // Any mention of AUTOSCALE counts.
        {"<MSG>AUTOSCALE</MSG>", {1.0}, 0},
        {"", {1.0}, 1},
        {"<SCALE>abc</SCALE>", {0.0}, 1},
        {"<SCALE>2.5</SCALE>", {2.5}, 1},
        {"<SCALE> -1.25e0x</SCALE>", {-1.25}, 1},
        {"<SCALE></SCALE>", {0.0}, 1},
    };
    ObservedFrame* frame = Open("");
    CefRefPtr<FakeBrowser> browser = Attach(frame);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fields.toStdString());
        frame->m_view.m_autoScale = 1;
        browser->zoomLevels.clear();
        FromPage(*browser, Command(52, c.fields));
        EXPECT_EQ(browser->zoomLevels, c.levels);
        EXPECT_EQ(frame->m_view.m_autoScale, c.autoScale);
    }
    EXPECT_TRUE(mainWnd.packets.empty());
}

TEST_F(BrowserViewTest, AutoScaleFollowsTheHeightFromTheSettingsFile) {
    WriteIni("[APP]\r\nAUTOSCALE=1\r\n");
    struct Case {
        int height;
        double level;
    };
    const Case cases[] = {
        {720, 1.0},       // 1.2 times the base height of 600
        {1200, 3.8018},   // doubled
        {600, 0.0},       // unchanged
        {480, -1.2239},   // 80 %
        {300, -1.2239},   // below 80 %: held at 80 %
        {602, 0.018252},  // the height the browser arrived at
    };
    // The view (inside the frame's sizing border) is 602 high when the
    // browser arrives: the base is 600.
    ObservedFrame* frame = Open(
        QStringLiteral("<XX>0</XX><YY>0</YY><WW>800</WW><HH>%1</HH>").arg(602 + 2 * AFX_CYFRAME));
    ASSERT_EQ(frame->m_view.m_autoScale, 1);
    CefRefPtr<FakeBrowser> browser = Attach(frame);
    ASSERT_EQ(frame->m_view.m_baseHeight, 600);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.height);
        browser->zoomLevels.clear();
        frame->SetWindowPos(nullptr, 0, 0, 800, c.height + 2 * AFX_CYFRAME,
                            SWP_NOZORDER | SWP_NOMOVE);
        ASSERT_FALSE(browser->zoomLevels.empty());
        EXPECT_NEAR(browser->zoomLevels.back(), c.level, 1e-4);
        // Factor 1.2 to the power of the level scales the page with the height.
        EXPECT_NEAR(std::pow(1.2, browser->zoomLevels.back()), std::max(c.height / 600.0, 0.8),
                    1e-9);
    }
}

TEST_F(BrowserViewTest, WithoutAutoScaleResizingLeavesTheZoomAlone) {
    ObservedFrame* frame = Open("<XX>0</XX><YY>0</YY><WW>800</WW><HH>602</HH>");
    ASSERT_EQ(frame->m_view.m_autoScale, 0);
    CefRefPtr<FakeBrowser> browser = Attach(frame);
    frame->SetWindowPos(nullptr, 0, 0, 800, 900, SWP_NOZORDER | SWP_NOMOVE);
    EXPECT_TRUE(browser->zoomLevels.empty());
}

TEST_F(BrowserViewTest, AutoScaleWithoutABaseHeightLeavesTheZoomAlone) {
    WriteIni("[APP]\r\nAUTOSCALE=1\r\n");
    // A frame no higher than its border: the view has no client area when
    // the browser arrives.
    ObservedFrame* frame = Open("<XX>0</XX><YY>0</YY><WW>800</WW><HH>0</HH>", false);
    CefRefPtr<FakeBrowser> browser = Attach(frame);
    EXPECT_LE(frame->m_view.m_baseHeight, 0);
    frame->ShowWindow(SW_SHOW);
    frame->SetWindowPos(nullptr, 0, 0, 800, 700, SWP_NOZORDER | SWP_NOMOVE);
    EXPECT_TRUE(browser->zoomLevels.empty());
}

TEST_F(BrowserViewTest, BrowserWindowFillsTheView) {
    ObservedFrame* frame = Open("<XX>0</XX><YY>0</YY><WW>800</WW><HH>600</HH>");
    CefRefPtr<FakeBrowser> browser = Attach(frame);
    CWnd* window = CWnd::FromHandle(browser->window);
    ASSERT_NE(window, nullptr);
    // The frame's client area lies inside its sizing border.
    constexpr LONG kBorderX = 2 * AFX_CXFRAME, kBorderY = 2 * AFX_CYFRAME;
    RECT r;
    window->GetClientRect(&r);
    EXPECT_EQ(r, (RECT{0, 0, 800 - kBorderX, 600 - kBorderY}));
    frame->SetWindowPos(nullptr, 0, 0, 900, 650, SWP_NOZORDER | SWP_NOMOVE);
    window->GetClientRect(&r);
    EXPECT_EQ(r, (RECT{0, 0, 900 - kBorderX, 650 - kBorderY}));
    // On the screen, the page starts inside the border.
    POINT origin{0, 0};
    window->ClientToScreen(&origin);
    RECT frameRect;
    frame->GetWindowRect(&frameRect);
    EXPECT_EQ(origin.x, frameRect.left + AFX_CXFRAME);
    EXPECT_EQ(origin.y, frameRect.top + AFX_CYFRAME);
    EXPECT_GT(browser->moveOrResizeNotifications, 0);
}

// ---------------------------------------------------------------------------
// Addresses.

TEST_F(BrowserViewTest, NavigateCompletesAddressesThatAreNotAbsolute) {
    const QString exeDir = dir.path();
    struct Case {
        QString url;
        QString loaded;
    };
    const Case cases[] = {
        {"chat/room.html?id=3", ContentBaseUrl() + "chat/room.html?id=3"},
        {"http://other.example/a", "http://other.example/a"},
        {"https://other.example/", "https://other.example/"},
        {"httpx", "httpx"},
        // The test is case-sensitive.
        {"HTTP://other.example/", ContentBaseUrl() + "HTTP://other.example/"},
        {"file:///{APPPATH}/html/a.html", "file:///" + exeDir + "/html/a.html"},
        {"x-file:{APPPATH}{APPPATH}", "x-file:" + exeDir + exeDir},
        {"{APPPATH}/a.html", ContentBaseUrl() + "{APPPATH}/a.html"},
        {"", ContentBaseUrl()},
    };
    ObservedFrame* frame = Open("");
    CefRefPtr<FakeBrowser> browser = Attach(frame);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url.toStdString());
        browser->loadedUrls.clear();
        frame->Navigate(c.url);
        EXPECT_EQ(browser->loadedUrls, QStringList({c.loaded}));
        EXPECT_EQ(frame->m_view.m_url, c.loaded);
    }
}

TEST_F(BrowserViewTest, WithoutABrowserNavigateAndScriptsDoNothing) {
    ObservedFrame* frame = Open("");
    frame->Navigate("chat.html");
    frame->m_view.ExecuteScript("JSVer(1)");
    EXPECT_TRUE(frame->m_view.m_url.isEmpty());
    // A browser that arrives later has been asked for nothing.
    CefRefPtr<FakeBrowser> browser = Attach(frame);
    EXPECT_TRUE(browser->loadedUrls.isEmpty());
    EXPECT_TRUE(browser->scripts.empty());
}

// ---------------------------------------------------------------------------
// Load notifications and what goes on to the main window.

TEST_F(BrowserViewTest, NotFoundShowsTheErrorAndGoesBack) {
    struct Case {
        int status;
        size_t boxes;
        int backs;
    };
    const Case cases[] = {{404, 1, 1}, {200, 0, 0}, {500, 0, 0}};
    ObservedFrame* frame = Open("");
    CefRefPtr<FakeBrowser> browser = Attach(frame);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        boxes.shown.clear();
        browser->backs = 0;
        browser->EmitLoadEnd(c.status);
        DeliverPostedMessages();
        ASSERT_EQ(boxes.shown.size(), c.boxes);
        if (c.boxes) {
            EXPECT_EQ(boxes.shown[0].text, "에러발생 404");
            EXPECT_EQ(boxes.shown[0].type, MB_OK);
        }
        EXPECT_EQ(browser->backs, c.backs);
    }
    EXPECT_TRUE(mainWnd.packets.empty());
}

// The box runs a loop of its own, as a real one does; in it the frame is
// closed (by its page, the tray, another window). Nothing after the box may
// touch the view that went with it.
TEST_F(BrowserViewTest, FrameClosedWhileTheErrorBoxIsOpenIsLeftAlone) {
    struct ClosingBox : MessageBoxPort {
        HWND close = nullptr;
        int shown = 0;
        int Show(const CString&, const CString&, UINT) override {
            ++shown;
            QEventLoop loop;
            ::PostMessage(close, WM_CLOSE, 0, 0);
            QTimer::singleShot(0, &loop, [&] {
                // Posted messages go before the loop's own timers.
                loop.quit();
            });
            loop.exec();
            return IDOK;
        }
    } box;
    ObservedFrame* frame = Open("");
    CefRefPtr<FakeBrowser> browser = Attach(frame);
    box.close = frame->m_hWnd;
    AfxSetMessageBoxPort(&box);
    browser->EmitLoadEnd(404);
    DeliverPostedMessages();
    AfxSetMessageBoxPort(&boxes);
    EXPECT_EQ(box.shown, 1);
    EXPECT_FALSE(IsWindow(box.close));
    EXPECT_EQ(browser->backs, 0);
}

TEST_F(BrowserViewTest, LoadEventsStayAndOtherKindsGoOnMarked2) {
    struct Case {
        QString text;
        bool forwarded;
    };
    const Case cases[] = {
        {"<PKT><GBN>9011</GBN></PKT>", false},
        {"<PKT><GBN>9012</GBN><CODE>-3</CODE></PKT>", false},
        {"<PKT><GBN>9013</GBN><LOADING>1</LOADING></PKT>", false},
        {"<PKT><GBN>9010</GBN><CODE>200</CODE></PKT>", false},
        {"<PKT><GBN>9009</GBN><LOADING>1</LOADING></PKT>", true},
        {"<PKT><GBN>9009</GBN><LOADING>2</LOADING></PKT>", true},
        {"<PKT><GBN>1234</GBN></PKT>", true},
        {"<PKT><MSG>no kind</MSG></PKT>", true},
        {"not a packet", true},
    };
    ObservedFrame* frame = Open("");
    CefRefPtr<FakeBrowser> browser = Attach(frame);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        mainWnd.packets.clear();
        FromPage(*browser, c.text);
        if (c.forwarded) {
            EXPECT_EQ(mainWnd.packets, std::vector<Got>({{c.text, 2}}));
        } else {
            EXPECT_TRUE(mainWnd.packets.empty());
        }
    }
    EXPECT_EQ(browser->reloads, 0);
    EXPECT_TRUE(browser->scripts.empty());
}

TEST_F(BrowserViewTest, CommandsTheViewDoesNotKnowGoOnWithTheFrame) {
    const QString cases[] = {
        Command(6, "<EXEFILE>a.exe</EXEFILE>"),
        Command(22, "<URL>popup.html</URL>"),
        Command(25),
        Command(26, "<MSG>새 메시지</MSG>"),
        Command(30, "<A>1</A>"),
        Command(51),
        Command(99),
        "<PKT><GBN>9000</GBN></PKT>",
    };
    ObservedFrame* frame = Open("");
    CefRefPtr<FakeBrowser> browser = Attach(frame);
    const LPARAM context = reinterpret_cast<LPARAM>(static_cast<CWnd*>(frame));
    for (const QString& text : cases) {
        SCOPED_TRACE(text.toStdString());
        mainWnd.packets.clear();
        FromPage(*browser, text);
        EXPECT_EQ(mainWnd.packets, std::vector<Got>({{text, context}}));
    }
}

TEST_F(BrowserViewTest, WithoutAMainWindowNothingIsForwarded) {
    ObservedFrame* frame = Open("");
    CefRefPtr<FakeBrowser> browser = Attach(frame);
    app.m_pMainWnd = nullptr;
    FromPage(*browser, Command(99));
    FromPage(*browser, "<PKT><GBN>9009</GBN></PKT>");
    FromPage(*browser, Command(20, "<TP>4</TP>"));
    FromPage(*browser, Command(1, "<HIDE>2</HIDE>"));
    DeliverPostedMessages();
    EXPECT_TRUE(mainWnd.packets.empty());
    EXPECT_EQ(mainWnd.Count(WM_CLOSE), 0);
}

// ---------------------------------------------------------------------------
// The load watch.

TEST_F(BrowserViewTest, PageThatKeepsLoadingIsReloadedEveryFiveSeconds) {
    ObservedFrame* frame = Open("");
    CefRefPtr<FakeBrowser> browser = Attach(frame);
    browser->loading = true;
    clock.Advance(4999);
    EXPECT_EQ(browser->reloads, 0);
    clock.Advance(1);
    EXPECT_EQ(browser->reloads, 1);
    clock.Advance(5000);
    EXPECT_EQ(browser->reloads, 2);
    browser->loading = false;
    clock.Advance(5000);
    EXPECT_EQ(browser->reloads, 2);
    // The first check that finds the page loaded ends the watch.
    browser->loading = true;
    clock.Advance(20000);
    EXPECT_EQ(browser->reloads, 2);
}

TEST_F(BrowserViewTest, LoadedPageIsNeverReloaded) {
    ObservedFrame* frame = Open("");
    CefRefPtr<FakeBrowser> browser = Attach(frame);
    clock.Advance(5000);
    browser->loading = true;
    clock.Advance(30000);
    EXPECT_EQ(browser->reloads, 0);
}

TEST_F(BrowserViewTest, SecondBrowserReplacesTheFirstAndRestartsTheWatch) {
    ObservedFrame* frame = Open("");
    CefRefPtr<FakeBrowser> first = Attach(frame);
    clock.Advance(3000);
    CefRefPtr<FakeBrowser> second = Attach(frame);
    EXPECT_EQ(frame->m_view.Browser().get(), static_cast<CefBrowser*>(second.get()));
    first->loading = true;
    second->loading = true;
    clock.Advance(4999);  // 5000 ms after the second arrived, less one
    EXPECT_EQ(second->reloads, 0);
    clock.Advance(1);
    EXPECT_EQ(second->reloads, 1);
    EXPECT_EQ(first->reloads, 0);
}

}  // namespace
