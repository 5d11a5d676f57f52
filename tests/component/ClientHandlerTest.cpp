// The browser client with fake browsers inside real framework windows: where
// load events, titles and page packets go, what a page popup's commands do
// to its window, the context menu, and how ClientApp creates browsers.
#include <QWidget>
#include <functional>
#include <memory>

#include "FakeBrowser.h"
#include "RecordingWindows.h"
#include "app/ClientApp.h"
#include "app/VelkSTKApp.h"
#include "client/ClientHandler.h"
#include "packet/Packet.h"
#include "shared/Messages.h"
#include "testsupport.h"

namespace {

// What the browser's windows watch besides the packets they receive.
const std::vector<UINT> kWatched = {WM_APP_BROWSER_CREATED, WM_SETICON, WM_NCLBUTTONDOWN, WM_CLOSE};

// A browser whose window is a child of a top-level window. Hosted, the
// top-level window is its host (as with a popup browser window); as a page
// popup, it is the engine's own window around the page.
struct Scene {
    Scene(CefRefPtr<ClientHandler> handler, bool popup, DWORD style = WS_POPUP, DWORD exStyle = 0)
        : top(kWatched, true) {
        EXPECT_TRUE(top.CreateTopLevel(style, exStyle));
        EXPECT_TRUE(
            browserWnd.Create("Browser", "", WS_CHILD | WS_VISIBLE, RECT{0, 0, 100, 50}, &top, 1));
        browser = FakeBrowser::Create(browserWnd.m_hWnd, popup);
        browser->client = handler;
        browser->url = "http://127.0.0.1/page.html";
    }
    PacketWnd top;
    CWnd browserWnd;
    CefRefPtr<FakeBrowser> browser;
};

class ClientHandlerTest : public ComponentTest {
protected:
    void SetUp() override {
        ComponentTest::SetUp();
        RegisterSystemMessages();
        handler = new ClientHandler();
        ASSERT_TRUE(mainWnd.CreateTopLevel());
        app.m_pMainWnd = &mainWnd;
    }
    void TearDown() override {
        app.m_pMainWnd = nullptr;
        ComponentTest::TearDown();
    }

    CVelkSTKAppApp app;
    PacketWnd mainWnd{kWatched, false};
    CefRefPtr<ClientHandler> handler;
};

TEST_F(ClientHandlerTest, HostWindowIsTheParentOfAHostedBrowserAndTheTopLevelOfAPagePopup) {
    // frame > view > browser window
    RecordingWnd frame({});
    ASSERT_TRUE(frame.CreateTopLevel());
    CWnd view;
    ASSERT_TRUE(view.Create("View", "", WS_CHILD | WS_VISIBLE, RECT{0, 0, 150, 80}, &frame, 1));
    CWnd browserWnd;
    ASSERT_TRUE(
        browserWnd.Create("Browser", "", WS_CHILD | WS_VISIBLE, RECT{0, 0, 100, 50}, &view, 1));
    struct Case {
        bool popup;
        HWND expected;
    };
    const Case cases[] = {{false, view.m_hWnd}, {true, frame.m_hWnd}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.popup);
        auto b = FakeBrowser::Create(browserWnd.m_hWnd, c.popup);
        EXPECT_EQ(ClientHandler::HostWindow(b), c.expected);
    }
}

TEST_F(ClientHandlerTest, LoadEventsArePostedToTheHostAsPacketsItOwns) {
    struct Case {
        const char* name;
        std::function<void(FakeBrowser&)> fire;
        QString expected;
    };
    const Case cases[] = {
        {"loading state", [](FakeBrowser& b) { b.EmitLoadingStateChange(true, false, true); },
         "<PKT><GBN>9013</GBN><LOADING>1</LOADING><BACK>0</BACK><FORWARD>1</FORWARD></PKT>"},
        {"loading done", [](FakeBrowser& b) { b.EmitLoadingStateChange(false, true, false); },
         "<PKT><GBN>9013</GBN><LOADING>0</LOADING><BACK>1</BACK><FORWARD>0</FORWARD></PKT>"},
        {"start", [](FakeBrowser& b) { b.EmitLoadStart(); }, "<PKT><GBN>9011</GBN></PKT>"},
        {"end 404", [](FakeBrowser& b) { b.EmitLoadEnd(404); },
         "<PKT><GBN>9010</GBN><CODE>404</CODE></PKT>"},
        {"end 200", [](FakeBrowser& b) { b.EmitLoadEnd(200); },
         "<PKT><GBN>9010</GBN><CODE>200</CODE></PKT>"},
        // Fields are added one by one: '%' stays.
        {"error", [](FakeBrowser& b) { b.EmitLoadError(-105, "50% lost", "http://h/a%20b"); },
         "<PKT><GBN>9012</GBN><CODE>-105</CODE><TXT>50% lost</TXT><URL>http://h/a%20b</URL>"
         "</PKT>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Scene s(handler, false);
        c.fire(*s.browser);
        EXPECT_TRUE(s.top.packets.empty()) << "posted, not sent";
        DeliverPostedMessages();
        EXPECT_EQ(s.top.packets, std::vector<Got>({{c.expected, 0}}));
        EXPECT_TRUE(mainWnd.packets.empty());
    }
}

TEST_F(ClientHandlerTest, PagePopupLoadEventsPostNothing) {
    Scene s(handler, true);
    s.browser->EmitLoadingStateChange(true, false, false);
    s.browser->EmitLoadStart();
    s.browser->EmitLoadEnd(200);
    s.browser->EmitLoadError(-3, "aborted", "http://h/");
    DeliverPostedMessages();
    EXPECT_TRUE(s.top.packets.empty());
    EXPECT_TRUE(mainWnd.packets.empty());
}

TEST_F(ClientHandlerTest, HostedBrowserIsAnnouncedToItsHostSynchronously) {
    Scene s(handler, false);
    s.browser->identifier = 7;
    s.browser->AnnounceCreated();
    EXPECT_EQ(s.top.received,
              std::vector<Recorded>(
                  {{WM_APP_BROWSER_CREATED, 7,
                    reinterpret_cast<LPARAM>(static_cast<CefBrowser*>(s.browser.get()))}}));
}

TEST_F(ClientHandlerTest, PagePopupKeepsItsFrameOnlyWhenTheLastPopupAddressAskedForIt) {
    struct Case {
        QStringList popupAddresses;  // OnBeforePopup calls before the popup is created
        bool keepsFrame;
    };
    const Case cases[] = {
        {{}, true},  // a popup the engine opens without asking (developer tools)
        {{"http://h/p.html?hdr=1"}, true},
        {{"http://h/p.html"}, false},
        {{"http://h/p.html?HDR=1"}, false},
        {{"http://h/p.html?hdr=10"}, true},  // a plain substring test
        {{"http://h/a.html?hdr=1", "http://h/b.html"}, false},
        {{"http://h/b.html", "http://h/a.html#hdr=1"}, true},
    };
    const DWORD frameStyle = WS_OVERLAPPEDWINDOW;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.popupAddresses.join(" ").toStdString());
        CefRefPtr<ClientHandler> h = new ClientHandler();
        Scene s(h, true, frameStyle, WS_EX_DLGMODALFRAME);
        for (const QString& address : c.popupAddresses) {
            CefRefPtr<CefClient> client;
            CefWindowInfo info;
            CefBrowserSettings settings;
            bool noScriptAccess = false;
            EXPECT_FALSE(h->OnBeforePopup(s.browser, s.browser, address, "", WOD_NEW_POPUP, true,
                                          CefPopupFeatures(), info, client, settings,
                                          &noScriptAccess));
            EXPECT_EQ(client.get(), static_cast<CefClient*>(h.get()));
        }
        s.browser->AnnounceCreated();
        const DWORD style = s.top.GetStyle();
        std::vector<Recorded> expectedMessages;
        if (c.keepsFrame) {
            EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
            EXPECT_TRUE(style & WS_THICKFRAME);
            EXPECT_TRUE(s.top.GetExStyle() & WS_EX_DLGMODALFRAME);
        } else {
            const auto icon = reinterpret_cast<LPARAM>(LoadIconW(nullptr, 128));
            ASSERT_NE(icon, 0);
            expectedMessages = {{WM_SETICON, ICON_BIG, icon}, {WM_SETICON, ICON_SMALL, icon}};
            EXPECT_EQ(style & (WS_CAPTION | WS_THICKFRAME), 0u);
            EXPECT_FALSE(s.top.GetExStyle() & WS_EX_DLGMODALFRAME);
            // The rest of the frame's style stays.
            EXPECT_EQ(style & (WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX),
                      WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX);
            EXPECT_TRUE(s.top.GetPeer()->windowFlags() & Qt::FramelessWindowHint);
        }
        // Never announced as a hosted browser.
        EXPECT_EQ(s.top.received, expectedMessages);
    }
}

TEST_F(ClientHandlerTest, TitlesSetTheHostTextAndDecideItsTopmostState) {
    struct Step {
        QString title;
        QString text;
        bool topmost;
    };
    const Step steps[] = {
        {"TOP|Notice", "Notice", true},
        {"Notice", "Notice", false},
        {"xTOP|Notice", "xTOP|Notice", false},
        {"TOP|TOP|a", "TOP|a", true},
        {"TOP|", "", true},
        {"top|a", "top|a", false},
        {"", "", false},
    };
    for (bool popup : {false, true}) {
        SCOPED_TRACE(popup ? "page popup" : "hosted");
        Scene s(handler, popup);
        for (const Step& step : steps) {
            SCOPED_TRACE(step.title.toStdString());
            s.browser->EmitTitle(step.title);
            EXPECT_EQ(s.top.GetWindowText(), step.text);
            EXPECT_EQ((s.top.GetExStyle() & WS_EX_TOPMOST) != 0, step.topmost);
            EXPECT_EQ(s.browserWnd.GetWindowText(), "") << "the browser's own window is untouched";
        }
    }
}

TEST_F(ClientHandlerTest, ContextMenuOffersDeveloperToolsOnlyWithDevShow) {
    struct Case {
        int devShow;
        std::vector<std::pair<int, QString>> items;
    };
    const Case cases[] = {
        {0, {}},
        {1, {{100, "Back"}, {101, "Reload"}, {26501, "SHOW DEV TOOL"}, {26502, "CLOSE DEV TOOLS"}}},
        {2, {{100, "Back"}, {101, "Reload"}, {26501, "SHOW DEV TOOL"}, {26502, "CLOSE DEV TOOLS"}}},
    };
    int standard = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.devShow);
        app.m_devShow = c.devShow;
        Scene s(handler, false);
        CefRefPtr<CefMenuModel> model = CefMenuModel::Create();
        model->AddStandardItem(100, "Back", &standard);
        model->AddStandardItem(101, "Reload", &standard);
        handler->OnBeforeContextMenu(s.browser, s.browser, new CefContextMenuParams(5, 5), model);
        std::vector<std::pair<int, QString>> items;
        for (size_t i = 0; i < model->GetCount(); ++i) {
            items.push_back({model->GetCommandIdAt(i), model->GetLabelAt(i)});
        }
        EXPECT_EQ(items, c.items);
    }
}

TEST_F(ClientHandlerTest, ContextMenuCommandsOpenAndCloseDeveloperTools) {
    struct Case {
        int command;
        size_t shown;
        int closed;
    };
    const Case cases[] = {{26501, 1, 0}, {26502, 0, 1}, {100, 0, 0}, {26503, 0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        Scene s(handler, false);
        EXPECT_FALSE(handler->OnContextMenuCommand(s.browser, s.browser,
                                                   new CefContextMenuParams(0, 0), c.command, 0));
        ASSERT_EQ(s.browser->devToolsShown.size(), c.shown);
        EXPECT_EQ(s.browser->devToolsClosed, c.closed);
        if (c.shown == 0)
            continue;
        const FakeBrowser::DevTools& d = s.browser->devToolsShown[0];
        EXPECT_EQ(d.windowInfo.parent_window, s.browserWnd.m_hWnd);
        EXPECT_EQ(d.windowInfo.window_name, "DevTools");
        EXPECT_EQ(d.windowInfo.style,
                  WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | WS_VISIBLE);
        EXPECT_EQ(d.windowInfo.x, CW_USEDEFAULT);
        EXPECT_EQ(d.windowInfo.y, CW_USEDEFAULT);
        EXPECT_EQ(d.windowInfo.width, CW_USEDEFAULT);
        EXPECT_EQ(d.windowInfo.height, CW_USEDEFAULT);
        EXPECT_EQ(d.client.get(), static_cast<CefClient*>(handler.get()));
        EXPECT_EQ(d.at.x, 0);
        EXPECT_EQ(d.at.y, 0);
        EXPECT_EQ(d.settings.web_security, STATE_DEFAULT);
    }
}

TEST_F(ClientHandlerTest, HostedBrowserPostsEveryPagePacketToItsHostOnlyPercentChanged) {
    struct Case {
        QString sent;
        QString posted;
    };
    const Case cases[] = {
        // Commands are the host's business, even one a page popup would act on.
        {Command(23, "<URL>http://example.com/</URL>"),
         Command(23, "<URL>http://example.com/</URL>")},
        {Command(1), Command(1)},
        {"<PKT><GBN>9000</GBN><CMD>26</CMD><MSG>50%</MSG></PKT>",
         "<PKT><GBN>9000</GBN><CMD>26</CMD><MSG>50％</MSG></PKT>"},
        {"<PKT><MSG>no kind</MSG></PKT>", "<PKT><MSG>no kind</MSG></PKT>"},
        {"not a packet", "not a packet"},
        {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sent.toStdString());
        Scene s(handler, false);
        EXPECT_TRUE(s.browser->SendPagePacket(c.sent));
        EXPECT_TRUE(s.top.packets.empty()) << "posted, not sent";
        DeliverPostedMessages();
        EXPECT_EQ(s.top.packets, std::vector<Got>({{c.posted, 0}}));
        EXPECT_TRUE(mainWnd.packets.empty());
    }
    EXPECT_TRUE(fakes.urlOpener.opened.isEmpty());
}

TEST_F(ClientHandlerTest, MessagesWithAnotherNameAreReportedHandledAndIgnored) {
    for (bool popup : {false, true}) {
        for (const char* name : {"jspacket", "jsPacket ", "JSPACKET", ""}) {
            SCOPED_TRACE(name);
            Scene s(handler, popup);
            EXPECT_TRUE(s.browser->SendPagePacket(Command(23, "<URL>http://a/</URL>"), name));
            EXPECT_TRUE(s.browser->SendPagePacket("<PKT><GBN>9009</GBN></PKT>", name));
            DeliverPostedMessages();
            EXPECT_TRUE(s.top.packets.empty());
            EXPECT_TRUE(mainWnd.packets.empty());
        }
    }
    EXPECT_TRUE(fakes.urlOpener.opened.isEmpty());
}

TEST_F(ClientHandlerTest, PagePopupForwardsWhatItCannotDoToTheMainWindow) {
    struct Case {
        QString sent;
        Got forwarded;
    };
    const Case cases[] = {
        // Other kinds, and texts without a kind, are marked 2.
        {"<PKT><GBN>9009</GBN><LOADING>1</LOADING></PKT>",
         {"<PKT><GBN>9009</GBN><LOADING>1</LOADING></PKT>", 2}},
        {"<PKT><MSG>x</MSG></PKT>", {"<PKT><MSG>x</MSG></PKT>", 2}},
        {"no packet at all", {"no packet at all", 2}},
        // Commands the popup does not carry out itself are marked 0.
        {"<PKT><GBN>9000</GBN></PKT>", {"<PKT><GBN>9000</GBN></PKT>", 0}},
        {Command(20, "<TP>4</TP>"), {Command(20, "<TP>4</TP>"), 0}},
        {Command(24), {Command(24), 0}},
        {Command(26, "<MSG>50%</MSG>"), {Command(26, "<MSG>50％</MSG>"), 0}},
        {Command(29), {Command(29), 0}},
        {Command(30), {Command(30), 0}},
        {Command(52), {Command(52), 0}},
        {Command(99), {Command(99), 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sent.toStdString());
        mainWnd.packets.clear();
        Scene s(handler, true);
        EXPECT_TRUE(s.browser->SendPagePacket(c.sent));
        // Sent: it has arrived before anything is delivered.
        EXPECT_EQ(mainWnd.packets, std::vector<Got>({c.forwarded}));
        DeliverPostedMessages();
        EXPECT_TRUE(s.top.packets.empty());
        EXPECT_TRUE(s.top.received.empty());
    }
}

TEST_F(ClientHandlerTest, PagePopupForwardsNothingWithoutAMainWindow) {
    app.m_pMainWnd = nullptr;
    Scene s(handler, true);
    EXPECT_TRUE(s.browser->SendPagePacket(Command(26)));
    EXPECT_TRUE(s.browser->SendPagePacket("<PKT><GBN>9010</GBN></PKT>"));
    DeliverPostedMessages();
    EXPECT_TRUE(mainWnd.packets.empty());
    EXPECT_TRUE(s.top.packets.empty());
}

TEST_F(ClientHandlerTest, PagePopupIgnoresCommandsWithoutAnAction) {
    for (int cmd : {6, 21, 25}) {
        SCOPED_TRACE(cmd);
        Scene s(handler, true);
        s.top.ShowWindow(SW_SHOW);
        RECT before;
        s.top.GetWindowRect(&before);
        const DWORD style = s.top.GetStyle();
        EXPECT_TRUE(s.browser->SendPagePacket(Command(cmd)));
        DeliverPostedMessages();
        RECT after;
        s.top.GetWindowRect(&after);
        EXPECT_EQ(after, before);
        EXPECT_EQ(s.top.GetStyle(), style);
        EXPECT_TRUE(s.top.received.empty());
        EXPECT_TRUE(mainWnd.packets.empty());
        EXPECT_TRUE(s.browser->scripts.empty());
    }
}

TEST_F(ClientHandlerTest, PagePopupMoveAndResizeCommandsStartTheSystemLoop) {
    struct Case {
        int cmd;
        int hitTest;
        bool addsSizingFrame;
    };
    const Case cases[] = {
        {10, HTCAPTION, false},   {11, HTTOP, true},         {12, HTBOTTOM, true},
        {13, HTTOPLEFT, true},    {14, HTBOTTOMRIGHT, true}, {15, HTTOPRIGHT, true},
        {16, HTBOTTOMLEFT, true}, {17, HTLEFT, false},       {18, HTRIGHT, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cmd);
        Scene s(handler, true, WS_POPUP);
        EXPECT_TRUE(s.browser->SendPagePacket(Command(c.cmd)));
        EXPECT_EQ((s.top.GetStyle() & WS_THICKFRAME) != 0, c.addsSizingFrame);
        EXPECT_TRUE(s.top.received.empty()) << "posted, not sent";
        DeliverPostedMessages();
        EXPECT_EQ(s.top.received,
                  std::vector<Recorded>({{WM_NCLBUTTONDOWN, static_cast<WPARAM>(c.hitTest), 0}}));
        EXPECT_TRUE(mainWnd.packets.empty());
    }
}

TEST_F(ClientHandlerTest, PagePopupRemovesTheSizingFrameOnCommand22) {
    Scene s(handler, true, WS_POPUP | WS_THICKFRAME | WS_SYSMENU);
    EXPECT_TRUE(s.browser->SendPagePacket(Command(22)));
    EXPECT_FALSE(s.top.GetStyle() & WS_THICKFRAME);
    EXPECT_TRUE(s.top.GetStyle() & WS_SYSMENU);
    // A resize command puts it back.
    EXPECT_TRUE(s.browser->SendPagePacket(Command(14)));
    EXPECT_TRUE(s.top.GetStyle() & WS_THICKFRAME);
    DeliverPostedMessages();
    EXPECT_TRUE(mainWnd.packets.empty());
}

TEST_F(ClientHandlerTest, PagePopupClosesMinimisesAndTogglesMaximised) {
    {
        Scene s(handler, true);
        HWND top = s.top.m_hWnd;
        EXPECT_TRUE(s.browser->SendPagePacket(Command(1)));
        EXPECT_TRUE(IsWindow(top)) << "the close is posted";
        DeliverPostedMessages();
        EXPECT_FALSE(IsWindow(top));
    }
    {
        Scene s(handler, true);
        s.top.ShowWindow(SW_SHOW);
        EXPECT_TRUE(s.browser->SendPagePacket(Command(2)));
        EXPECT_TRUE(s.top.IsIconic());
        // A minimised window is restored, not maximised.
        EXPECT_TRUE(s.browser->SendPagePacket(Command(3)));
        EXPECT_FALSE(s.top.IsIconic());
        EXPECT_FALSE(s.top.IsZoomed());
    }
    {
        Scene s(handler, true);
        s.top.ShowWindow(SW_SHOW);
        const bool expectedZoomed[] = {true, false, true};
        for (bool zoomed : expectedZoomed) {
            EXPECT_TRUE(s.browser->SendPagePacket(Command(3)));
            EXPECT_EQ(static_cast<bool>(s.top.IsZoomed()), zoomed);
            EXPECT_EQ((s.top.GetStyle() & WS_MAXIMIZE) != 0, zoomed);
        }
    }
    EXPECT_TRUE(mainWnd.packets.empty());
}

TEST_F(ClientHandlerTest, PagePopupPlacesItsWindowOnCommand19) {
    struct Case {
        QString fields;
        RECT expected;
    };
    const Case cases[] = {
        {"<XX>10</XX><YY>20</YY><WW>300</WW><HH>200</HH>", {10, 20, 310, 220}},
        {"", {0, 0, 800, 600}},
        {"<XX>5</XX><HH>1,000</HH>", {5, 0, 805, 1000}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fields.toStdString());
        Scene s(handler, true);
        ASSERT_FALSE(s.top.IsWindowVisible());
        EXPECT_TRUE(s.browser->SendPagePacket(Command(19, c.fields)));
        RECT r;
        s.top.GetWindowRect(&r);
        EXPECT_EQ(r, c.expected);
        EXPECT_TRUE(s.top.IsWindowVisible());
        EXPECT_TRUE(mainWnd.packets.empty());
    }
}

TEST_F(ClientHandlerTest, PagePopupOpensOnlyWebAddressesInTheSystemBrowser) {
    struct Case {
        QString fields;
        QStringList opened;
    };
    const Case cases[] = {
        {"<URL>http://example.com/a?b=1</URL>", {"http://example.com/a?b=1"}},
        {"<URL>https://example.com/</URL>", {"https://example.com/"}},
        {"", {}},
        {"<URL></URL>", {}},
        {"<URL>file:///etc/passwd</URL>", {}},
        {"<URL>/usr/bin/xterm</URL>", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fields.toStdString());
        fakes.urlOpener.opened.clear();
        Scene s(handler, true);
        EXPECT_TRUE(s.browser->SendPagePacket(Command(23, c.fields)));
        EXPECT_EQ(fakes.urlOpener.opened, c.opened);
        EXPECT_TRUE(mainWnd.packets.empty());
    }
}

TEST_F(ClientHandlerTest, PagePopupRunsJSVerInItsMainFrameOnCommand31) {
    Scene s(handler, true);
    s.browser->url = "http://127.0.0.1/popup.html?x=1";
    EXPECT_TRUE(s.browser->SendPagePacket(Command(31)));
    EXPECT_EQ(s.browser->scripts, std::vector<FakeBrowser::Script>(
                                      {{"JSVer(1)", "http://127.0.0.1/popup.html?x=1", 0}}));
    EXPECT_TRUE(mainWnd.packets.empty());
}

// ---------------------------------------------------------------------------
// ClientApp: the shared client and browser creation.

TEST_F(ClientHandlerTest, ClientAppCreatesNoBrowserBeforeTheContextIsReady) {
    FakeBrowserFactory factory;
    CefRefPtr<ClientApp> clientApp = new ClientApp();
    EXPECT_FALSE(clientApp->CreateBrowser(mainWnd.m_hWnd, "http://h/", RECT{0, 0, 10, 10}));
    EXPECT_TRUE(factory.requests.empty());
}

TEST_F(ClientHandlerTest, ClientAppCreatesChildBrowsersWithTheSharedClientAndFixedSettings) {
    FakeBrowserFactory factory;
    CefRefPtr<ClientApp> clientApp = new ClientApp();
    clientApp->OnContextInitialized();
    ASSERT_TRUE(clientApp->m_handler);
    RecordingWnd other({});
    ASSERT_TRUE(other.CreateTopLevel());
    struct Case {
        HWND parent;
        QString url;
        RECT rect;
        bool result;
    };
    const Case cases[] = {
        {mainWnd.m_hWnd, "http://127.0.0.1/chat.html", {0, 0, 400, 300}, true},
        {other.m_hWnd, "file:///tmp/page.html", {5, 30, 105, 90}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url.toStdString());
        factory.result = c.result;
        factory.requests.clear();
        EXPECT_EQ(clientApp->CreateBrowser(c.parent, c.url, c.rect), c.result);
        ASSERT_EQ(factory.requests.size(), 1u);
        const FakeBrowserFactory::Request& r = factory.requests[0];
        EXPECT_EQ(r.url, c.url);
        EXPECT_EQ(r.client.get(), static_cast<CefClient*>(clientApp->m_handler.get()));
        EXPECT_EQ(r.windowInfo.parent_window, c.parent);
        EXPECT_EQ(r.windowInfo.style, 0x56010000u);
        EXPECT_EQ(r.windowInfo.ex_style, 0x08000000u);
        EXPECT_EQ(r.windowInfo.x, c.rect.left);
        EXPECT_EQ(r.windowInfo.y, c.rect.top);
        EXPECT_EQ(r.windowInfo.width, c.rect.right - c.rect.left);
        EXPECT_EQ(r.windowInfo.height, c.rect.bottom - c.rect.top);
        EXPECT_FALSE(r.windowInfo.windowless_rendering_enabled);
        EXPECT_EQ(r.settings.default_encoding, "UTF-8");
        EXPECT_EQ(r.settings.file_access_from_file_urls, STATE_ENABLED);
        EXPECT_EQ(r.settings.web_security, STATE_DISABLED);
        EXPECT_EQ(r.settings.universal_access_from_file_urls, STATE_DEFAULT);
        EXPECT_EQ(r.settings.javascript, STATE_DEFAULT);
    }
}

}  // namespace
