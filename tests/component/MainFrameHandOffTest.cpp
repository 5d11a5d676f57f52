// A later start handing its launch parameters (its link) over to the
// running main frame through the instance channel, the startup sequence it
// brings, a hidden start, and the channel of another instance.
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <atomic>
#include <memory>
#include <thread>

#include "MainFrameFixture.h"
#include "platform/instance.h"

namespace {

TEST_F(MainFrameTest, HandOffLoadsTheHandedUrlInTheMainChatWindow) {
    enum State { kVisible, kHidden, kMinimised };
    struct Case {
        const char* name;
        State state;
        QString handed;
        QString url;  // m_params' URL afterwards, and the page loaded
    };
    const QString old = kPage + "old.html";
    const Case cases[] = {
        {"visible", kVisible, "<PKT><GBN>0</GBN><URL>" + kPage + "a.html?q=%EB%B2%A8</URL></PKT>",
         kPage + "a.html?q=%EB%B2%A8"},
        {"hidden", kHidden, "<PKT><GBN>0</GBN><URL>" + kPage + "b.html</URL></PKT>",
         kPage + "b.html"},
        {"minimised", kMinimised, "<PKT><GBN>0</GBN><URL>" + kPage + "c.html</URL></PKT>",
         kPage + "c.html"},
        // Without a URL the launch parameters keep theirs, which is loaded again.
        {"no URL", kVisible, "<PKT><GBN>0</GBN><MUTEX>M</MUTEX></PKT>", old},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DestroyAll();
        ASSERT_TRUE(CreateMain());
        CMyBrowserFrame* chat = StartMainChat();
        ASSERT_NE(chat, nullptr);
        CefRefPtr<FakeBrowser> browser = Attach(chat);
        if (c.state == kHidden)
            chat->ShowWindow(SW_HIDE);
        if (c.state == kMinimised)
            chat->ShowWindow(SW_MINIMIZE);
        app.m_params.SetString("URL", old);
        CPacket handed(CPacket::Verbatim{c.handed});
        EXPECT_EQ(main->SendMessage(WM_APP_HANDOFF, reinterpret_cast<WPARAM>(&handed), 0), 0);
        EXPECT_EQ(app.m_params.GetString("URL", "none"), c.url);
        EXPECT_EQ(browser->loadedUrls, QStringList({c.url}));
        EXPECT_EQ(main->GetMainChatFrame(CMainFrame::FindOnly), chat);
        EXPECT_TRUE(chat->IsWindowVisible());
        EXPECT_FALSE(chat->IsIconic());
        EXPECT_EQ(main->RegisteredFrames().size(), 1u);
    }
}

TEST_F(MainFrameTest, HandOffWithoutAMainChatWindowCreatesItOnTheHandedUrl) {
    ASSERT_TRUE(CreateMain());
    CPacket handed(CPacket::Verbatim{"<PKT><GBN>0</GBN><URL>" + kPage + "handed.html</URL></PKT>"});
    main->SendMessage(WM_APP_HANDOFF, reinterpret_cast<WPARAM>(&handed), 0);
    CMyBrowserFrame* chat = main->GetMainChatFrame(CMainFrame::FindOnly);
    ASSERT_NE(chat, nullptr);
    EXPECT_TRUE(chat->IsWindowVisible());
    EXPECT_EQ(chat->m_settings->GetString("URL", ""), kPage + "handed.html");
    clock.Advance(10);
    ASSERT_FALSE(factory.requests.empty());
    EXPECT_EQ(factory.requests.back().url, kPage + "handed.html");
    // The start timer finds it there.
    clock.Advance(100);
    EXPECT_EQ(CountOfKind(1), 1);
}

TEST_F(MainFrameTest, SecondStartHandsItsParametersOverThroughTheChannel) {
    ASSERT_TRUE(CreateMain());
    CMyBrowserFrame* chat = StartMainChat();
    ASSERT_NE(chat, nullptr);
    CefRefPtr<FakeBrowser> browser = Attach(chat);
    chat->ShowWindow(SW_HIDE);
    // A second start's launch parameters, its address percent-encoded.
    const QString url = kPage + "room.html?q=%EB%B2%A8";
    const QString text = "<PKT><GBN>0</GBN><URL>" + url + "</URL><MUTEX>NO-MUTEX</MUTEX></PKT>";
    const auto exchange = [&](const QByteArray& bytes) { return Exchange(bytes); };
    // A malformed request is refused and harms nothing.
    EXPECT_EQ(exchange("VLKH\x02junk"), "E");
    EXPECT_EQ(exchange("GET / HTTP/1.0\r\n\r\n"), "E");
    EXPECT_TRUE(browser->loadedUrls.isEmpty());

    platform::InstanceRequest request;
    request.text = text;
    EXPECT_EQ(exchange(platform::EncodeInstanceRequest(request)), "K");
    EXPECT_EQ(app.m_params.GetString("URL", "none"), url);
    EXPECT_EQ(browser->loadedUrls, QStringList({url}));
    EXPECT_TRUE(chat->IsWindowVisible());

    // A request to show the main chat window brings a hidden one back
    // without loading anything.
    chat->ShowWindow(SW_HIDE);
    request.kind = platform::InstanceRequest::kShowMainChat;
    EXPECT_EQ(exchange(platform::EncodeInstanceRequest(request)), "K");
    EXPECT_TRUE(chat->IsWindowVisible());
    EXPECT_EQ(browser->loadedUrls.size(), 1);
}

TEST_F(MainFrameTest, ALaterStartsStartupSequenceIsCompletedWithTheWindowItBroughtForward) {
    using Kind = platform::InstanceRequest::Kind;
    struct Case {
        const char* name;
        Kind kind;
        bool chatOpen;  // the main chat window exists before the request
        QByteArray startupId;
        bool completed;
    };
    const Case cases[] = {
        {"hand-off", Kind::kLaunchParameters, true, "icewm-12_TIME4242", true},
        {"hand-off that opens the window", Kind::kLaunchParameters, false, "menu_TIME7", true},
        {"show request", Kind::kShowMainChat, true, "dock/42-0-host_TIME99", true},
        // Quoted in the message, but a launcher's all the same.
        {"id with a space", Kind::kShowMainChat, true, "a \"b\"_TIME1", true},
        {"no id", Kind::kLaunchParameters, true, "", false},
        {"id with a line break", Kind::kLaunchParameters, true, "x\nremove: ID=y", false},
        {"id over its length", Kind::kShowMainChat, true,
         QByteArray(platform::kMaxStartupId + 1, 'a'), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DestroyAll();
        ASSERT_TRUE(CreateMain());
        if (c.chatOpen) {
            CMyBrowserFrame* before = StartMainChat();
            ASSERT_NE(before, nullptr);
            before->ShowWindow(SW_HIDE);
        }
        fakes.activation.completed.clear();
        platform::InstanceRequest request;
        request.kind = c.kind;
        request.text = "<PKT><GBN>0</GBN></PKT>";
        request.startupId = c.startupId;
        EXPECT_EQ(Exchange(platform::EncodeInstanceRequest(request)), "K");
        CMyBrowserFrame* chat = main->GetMainChatFrame(CMainFrame::FindOnly);
        ASSERT_NE(chat, nullptr);
        EXPECT_TRUE(chat->IsWindowVisible());
        std::vector<FakeActivation::Completed> expected;
        if (c.completed)
            expected.push_back({chat->m_hWnd, c.startupId});
        EXPECT_EQ(fakes.activation.completed, expected);
    }
}

TEST_F(MainFrameTest, AHiddenStartKeepsTheMainChatWindowHiddenOnlyWithATray) {
    struct Case {
        const char* name;
        QString commandLine;
        bool tray;
        bool visible;
    };
    const Case cases[] = {
        {"hidden start with a tray", "\"VelkSTKApp\" --hidden", true, false},
        {"hidden start without a tray", "\"VelkSTKApp\" --hidden", false, true},
        {"ordinary start", "\"VelkSTKApp\"", true, true},
    };
    const CString kept = GetCommandLineW();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DestroyAll();
        SetCommandLineForProcess(c.commandLine);
        fakes.tray.available = c.tray;
        ASSERT_TRUE(CreateMain());
        CMyBrowserFrame* chat = StartMainChat();
        ASSERT_NE(chat, nullptr);
        EXPECT_EQ(chat->IsWindowVisible() != FALSE, c.visible);
        // The tray icon brings it back.
        TrayNotify(WM_LBUTTONDOWN);
        EXPECT_TRUE(chat->IsWindowVisible());
        EXPECT_EQ(CountOfKind(1), 1);
    }
    SetCommandLineForProcess(kept);
}

TEST_F(MainFrameTest, AnotherInstancesChannelIsLeftAloneAndTakenOverOnceFree) {
    const QString className = "SharedClass";
    const QString path = platform::InstanceChannelPath(className);
    QLocalServer::removeServer(path);
    // Another running instance listens under the same class name.
    auto other = std::make_unique<QLocalServer>();
    ASSERT_TRUE(other->listen(path));
    int handled = 0;
    EXPECT_FALSE(platform::ListenForInstances(
        className, [&](const platform::InstanceRequest&) { ++handled; }));
    // Its channel is still its own.
    {
        QLocalSocket probe;
        probe.connectToServer(path);
        ASSERT_TRUE(probe.waitForConnected(2000));
        ASSERT_TRUE(other->waitForNewConnection(2000));
    }
    // It ends: this instance takes the name over and is reached through it.
    other.reset();
    std::atomic<int> answered{-1};
    QDeadlineTimer deadline(30000);
    while (!QFileInfo::exists(path) && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    platform::InstanceRequest request;
    request.text = "<PKT><GBN>0</GBN></PKT>";
    std::thread second(
        [&] { answered = platform::HandOffToInstance(className, request, 20000) ? 1 : 0; });
    while (answered < 0 && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    platform::StopListeningForInstances();
    second.join();
    EXPECT_EQ(answered, 1);
    EXPECT_EQ(handled, 1);
}

TEST_F(MainFrameTest, SecondStartGivesUpOnAnInstanceThatDoesNotAnswer) {
    // Something listens under the class name but never answers, as a
    // stopped instance would.
    QLocalServer silent;
    const QString className = "SilentClass";
    const QString path = platform::InstanceChannelPath(className);
    QLocalServer::removeServer(path);
    ASSERT_TRUE(silent.listen(path));
    platform::InstanceRequest request;
    request.text = "<PKT><GBN>0</GBN></PKT>";
    EXPECT_FALSE(platform::HandOffToInstance(className, request, 300));
    EXPECT_FALSE(platform::HandOffToInstance("NobodyListens", request, 300));
}

TEST_F(MainFrameTest, ShowMainChatRequestOpensOrShowsIt) {
    ASSERT_TRUE(CreateMain());
    EXPECT_EQ(main->SendMessage(WM_APP_SHOW_MAIN_CHAT), 0);
    CMyBrowserFrame* chat = main->GetMainChatFrame(CMainFrame::FindOnly);
    ASSERT_NE(chat, nullptr);
    EXPECT_TRUE(chat->IsWindowVisible());
    chat->ShowWindow(SW_HIDE);
    main->SendMessage(WM_APP_SHOW_MAIN_CHAT);
    EXPECT_TRUE(chat->IsWindowVisible());
    EXPECT_EQ(CountOfKind(1), 1);
}

}  // namespace
