// The main frame's registry of chat frames: registration, the frames that
// leave it, the lookups of the main chat window and of a frame by title, and
// the registry lock's guard.
#include <stdexcept>

#include "MainFrameFixture.h"
#include "mainframe/MyMutex.h"
#include "shared/Service.h"

namespace {

TEST_F(MainFrameTest, SecondRegistrationOfAHandleKeepsOneEntry) {
    ASSERT_TRUE(CreateMain());
    CMyBrowserFrame* chat = StartMainChat();
    CMyBrowserFrame* other = Direct("<DLGTIT>b</DLGTIT>");
    ASSERT_EQ(main->RegisteredFrames(), (std::vector<CMyBrowserFrame*>{chat, other}));
    EXPECT_EQ(main->SendMessage(WM_APP_REGISTER_FRAME, reinterpret_cast<WPARAM>(chat->m_hWnd)), 0);
    main->SendMessage(WM_APP_REGISTER_FRAME, reinterpret_cast<WPARAM>(other->m_hWnd));
    main->SendMessage(WM_APP_REGISTER_FRAME, reinterpret_cast<WPARAM>(chat->m_hWnd));
    EXPECT_EQ(main->RegisteredFrames(), (std::vector<CMyBrowserFrame*>{chat, other}));
}

TEST_F(MainFrameTest, UnregisterWithAnUnknownHandleDropsFramesThatAreGone) {
    ASSERT_TRUE(CreateMain());
    CMyBrowserFrame* a = Direct("<TP>2</TP><DLGTIT>a</DLGTIT>");
    CMyBrowserFrame* b = Direct("<TP>1</TP><DLGTIT>b</DLGTIT>");
    CMyBrowserFrame* c = Direct("<TP>3</TP><DLGTIT>c</DLGTIT>");
    ASSERT_EQ(main->RegisteredFrames(), (std::vector<CMyBrowserFrame*>{a, b, c}));
    const HWND aWnd = a->m_hWnd;
    // The object goes, and its window with it; the registry still points at it.
    delete a;
    ASSERT_FALSE(IsWindow(aWnd));
    // Searches and commands pass the gone entry without touching it.
    CPacket byTitle("<PKT><DLGTIT>a</DLGTIT></PKT>");
    EXPECT_EQ(main->FindFrameByTitle(byTitle), nullptr);
    EXPECT_EQ(main->GetMainChatFrame(CMainFrame::FindOnly), b);
    SendPacket(Command(25));
    DeliverPostedMessages();
    EXPECT_TRUE(IsWindow(b->m_hWnd));

    const HWND unknown = reinterpret_cast<HWND>(0x7fff0);
    EXPECT_EQ(main->SendMessage(WM_APP_UNREGISTER_FRAME, reinterpret_cast<WPARAM>(unknown)), 0);
    EXPECT_EQ(main->RegisteredFrames(), (std::vector<CMyBrowserFrame*>{b, c}));
    EXPECT_TRUE(IsWindow(b->m_hWnd));
    EXPECT_TRUE(IsWindow(c->m_hWnd));

    // A frame whose window was destroyed (and which deleted itself).
    DestroyWindow(c->m_hWnd);
    main->SendMessage(WM_APP_UNREGISTER_FRAME, reinterpret_cast<WPARAM>(unknown));
    EXPECT_EQ(main->RegisteredFrames(), (std::vector<CMyBrowserFrame*>{b}));
}

TEST_F(MainFrameTest, UnregisterOfALiveFrameRemovesItAndDestroysIt) {
    ASSERT_TRUE(CreateMain());
    CMyBrowserFrame* a = Direct("<DLGTIT>a</DLGTIT>");
    CMyBrowserFrame* b = Direct("<DLGTIT>b</DLGTIT>");
    const HWND aWnd = a->m_hWnd;
    main->SendMessage(WM_APP_UNREGISTER_FRAME, reinterpret_cast<WPARAM>(aWnd));
    EXPECT_FALSE(IsWindow(aWnd));
    EXPECT_EQ(main->RegisteredFrames(), (std::vector<CMyBrowserFrame*>{b}));
}

TEST_F(MainFrameTest, ClosedFrameLeavesTheRegistryThroughItsPostedNotice) {
    ASSERT_TRUE(CreateMain());
    CMyBrowserFrame* chat = StartMainChat();
    CMyBrowserFrame* other = Direct("<DLGTIT>b</DLGTIT>");
    chat->SendMessage(WM_CLOSE);
    // Gone before the main frame hears of it.
    EXPECT_EQ(main->GetMainChatFrame(CMainFrame::FindOnly), nullptr);
    DeliverPostedMessages();
    EXPECT_EQ(main->RegisteredFrames(), (std::vector<CMyBrowserFrame*>{other}));
    EXPECT_EQ(main->GetMainChatFrame(CMainFrame::FindOnly), nullptr);
}

TEST_F(MainFrameTest, GetMainChatFrameFindsCreatesOrNavigates) {
    ASSERT_TRUE(CreateMain());
    EXPECT_EQ(main->GetMainChatFrame(CMainFrame::FindOnly), nullptr);
    EXPECT_TRUE(main->RegisteredFrames().empty()) << "FindOnly creates nothing";

    // Only a frame of kind 1 counts.
    CMyBrowserFrame* other = Direct("<TP>3</TP><DLGTIT>벨크</DLGTIT>");
    EXPECT_EQ(main->GetMainChatFrame(CMainFrame::FindOnly), nullptr);

    CMyBrowserFrame* chat = main->GetMainChatFrame(CMainFrame::OpenOrCreate);
    ASSERT_NE(chat, nullptr);
    frames.push_back(chat->m_hWnd);
    EXPECT_EQ(chat->m_kind, 1);
    EXPECT_TRUE(chat->IsWindowVisible());
    EXPECT_EQ(main->RegisteredFrames(), (std::vector<CMyBrowserFrame*>{other, chat}));
    EXPECT_EQ(main->GetMainChatFrame(CMainFrame::OpenOrCreate), chat);
    EXPECT_EQ(main->GetMainChatFrame(CMainFrame::FindOnly), chat);
    EXPECT_EQ(main->RegisteredFrames().size(), 2u);

    CefRefPtr<FakeBrowser> browser = Attach(chat);
    main->GetMainChatFrame(CMainFrame::OpenOrCreate);
    main->GetMainChatFrame(CMainFrame::FindOnly);
    EXPECT_TRUE(browser->loadedUrls.isEmpty()) << "only NavigateOrCreate loads";

    app.m_params.SetString("URL", kPage + "next.html");
    EXPECT_EQ(main->GetMainChatFrame(CMainFrame::NavigateOrCreate), chat);
    EXPECT_EQ(browser->loadedUrls, QStringList({kPage + "next.html"}));

    // Without a URL parameter the page gets the empty address (made whole
    // by the view).
    app.m_params.Remove("URL");
    EXPECT_EQ(main->GetMainChatFrame(CMainFrame::NavigateOrCreate), chat);
    EXPECT_EQ(browser->loadedUrls, QStringList({kPage + "next.html", ContentBaseUrl()}));
    EXPECT_EQ(main->RegisteredFrames().size(), 2u);
}

TEST_F(MainFrameTest, FirstRegisteredFrameOfKindOneIsTheMainChatWindow) {
    ASSERT_TRUE(CreateMain());
    CMyBrowserFrame* first = Direct("<TP>1</TP><DLGTIT>x</DLGTIT>");
    CMyBrowserFrame* second = Direct("<TP>1</TP><DLGTIT>y</DLGTIT>");
    EXPECT_EQ(main->GetMainChatFrame(CMainFrame::FindOnly), first);
    DestroyWindow(first->m_hWnd);
    EXPECT_EQ(main->GetMainChatFrame(CMainFrame::FindOnly), second);
}

TEST_F(MainFrameTest, FindFrameByTitlePicksTheFirstRegisteredOfTheSameTitle) {
    ASSERT_TRUE(CreateMain());
    CMyBrowserFrame* untitled = Direct("");
    CMyBrowserFrame* first = Direct("<DLGTIT>대화방</DLGTIT>");
    CMyBrowserFrame* second = Direct("<DLGTIT>대화방</DLGTIT>");
    CMyBrowserFrame* latin = Direct("<DLGTIT>Chat</DLGTIT>");
    struct Case {
        QString packet;
        CMyBrowserFrame* expected;
    };
    const Case cases[] = {
        {"<PKT><DLGTIT>대화방</DLGTIT></PKT>", first},
        {"<PKT><DLGTIT>Chat</DLGTIT></PKT>", latin},
        {"<PKT><DLGTIT>chat</DLGTIT></PKT>", nullptr},
        {"<PKT><DLGTIT>Chat </DLGTIT></PKT>", nullptr},
        {"<PKT><DLGTIT>대화</DLGTIT></PKT>", nullptr},
        // No title asked for: the empty title.
        {"<PKT></PKT>", untitled},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.packet.toStdString());
        CPacket p(c.packet);
        EXPECT_EQ(main->FindFrameByTitle(p), c.expected);
    }
    DestroyWindow(first->m_hWnd);
    CPacket p("<PKT><DLGTIT>대화방</DLGTIT></PKT>");
    EXPECT_EQ(main->FindFrameByTitle(p), second);
}

// ---------------------------------------------------------------------------
// The registry lock's guard.

class CountingSemaphore : public CMySemaphore {
public:
    void Unlock() override { ++unlocks; }
    int unlocks = 0;
};

TEST(MainFrameLockTest, GuardUnlocksOnceOnEveryWayOut) {
    CountingSemaphore s;
    {
        CMyUnlockGuard guard(s);
        EXPECT_EQ(s.unlocks, 0);
    }
    EXPECT_EQ(s.unlocks, 1);
    try {
        CMyUnlockGuard guard(s);
        throw std::runtime_error("out");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(s.unlocks, 2);
}

}  // namespace
