// The main frame's popup commands with a real main frame, real chat frames
// and real popup windows on the manual clock: command 22 makes a shown popup
// browser window from the packet it was sent, which the main frame does not
// register; command 25 closes the chat frames of kind 2 and no popup.
#include <QWidget>
#include <cmath>
#include <set>

#include "MainFrameFixture.h"
#include "browser/MyBrowser.h"
#include "framework/internal.h"
#include "shared/Service.h"

namespace {

// Every popup browser window that exists now: the main frame keeps none of
// them, so they are found in the window table.
std::set<CMyBrowser*> LivePopups() {
    std::set<CMyBrowser*> out;
    for (const auto& [h, w] : WindowTable::Get().windows) {
        if (auto* popup = dynamic_cast<CMyBrowser*>(w); popup && IsWindow(h))
            out.insert(popup);
    }
    return out;
}

// The main frame as start-up leaves it, and the main chat window it opens
// 100 ms later, with its browser asked for.
class MainFramePopupTest : public MainFrameTest {
protected:
    void SetUp() override {
        MainFrameTest::SetUp();
        ASSERT_TRUE(CreateMain());
        chat = StartMainChat();
        ASSERT_NE(chat, nullptr);
        clock.Advance(10);  // its browser request
        factory.requests.clear();
    }
    void TearDown() override {
        for (CMyBrowser* popup : LivePopups())
            DestroyWindow(popup->m_hWnd);
        MainFrameTest::TearDown();
    }

    // The popups that sending `text` to the main frame made.
    std::set<CMyBrowser*> SendAndCollect(const QString& text, LPARAM context = 0) {
        const std::set<CMyBrowser*> before = LivePopups();
        CPacket packet(text);
        EXPECT_EQ(SendPacket(packet, context), 0);
        EXPECT_EQ(packet.GetText(), text) << "the sender's packet is left as it was";
        std::set<CMyBrowser*> made;
        for (CMyBrowser* p : LivePopups()) {
            if (!before.count(p))
                made.insert(p);
        }
        return made;
    }

    CMyBrowserFrame* chat = nullptr;
};

TEST_F(MainFramePopupTest, Command22MakesAShownUnregisteredPopupFromThePacket) {
    const RECT bottomTaskbar{0, 0, 1920, 1040};
    const RECT rightTaskbar{0, 0, 1860, 1080};
    const QString alarm = QStringLiteral("http://127.0.0.1:18480/alarm.html");
    struct Case {
        const char* name;
        RECT available;
        QString fields;
        bool fromChat;  // sent with the main chat window as the requester
        RECT target;
        RECT created;  // its first step's place, where it is created
        int type;
        QString title;
        QString url;
    };
    const Case cases[] = {
        {"nothing but the command",
         bottomTaskbar,
         "",
         false,
         {1700, 860, 1920, 1040},
         {1700, 860, 1920, 1040},
         3,
         "",
         LoginUrl()},
        {"taskbar at the right",
         rightTaskbar,
         "",
         false,
         {1640, 900, 1860, 1080},
         {1640, 900, 1860, 1080},
         3,
         "",
         LoginUrl()},
        {"placed and sized, titled, typed, with an address",
         bottomTaskbar,
         "<XX>100</XX><YY>50</YY><WW>300</WW><HH>200</HH><DLGTIT>알림</DLGTIT><TP>4</TP><URL>" +
             alarm + "</URL>",
         false,
         {100, 50, 400, 250},
         {100, 50, 400, 250},
         4,
         "알림",
         alarm},
        {"sized only, sliding up",
         bottomTaskbar,
         "<WW>300</WW><HH>200</HH><ANIM>2</ANIM>",
         false,
         {1620, 840, 1920, 1040},
         {1620, 1040, 1920, 1240},
         3,
         "",
         LoginUrl()},
        {"placed only, sliding in from the right, asked for by a chat page",
         bottomTaskbar,
         "<XX>10</XX><YY>20</YY><ANIM>3</ANIM><URL>?n=1</URL>",
         true,
         {10, 20, 230, 200},
         {230, 20, 450, 200},
         3,
         "",
         LoginUrl() + "?n=1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fakes.screen.Set(RECT{0, 0, 1920, 1080}, c.available);
        factory.requests.clear();
        const std::vector<CMyBrowserFrame*> registered = main->RegisteredFrames();
        const QString text = Command(22, c.fields);
        const std::set<CMyBrowser*> made =
            SendAndCollect(text, c.fromChat ? reinterpret_cast<LPARAM>(chat) : 0);
        ASSERT_EQ(made.size(), 1u);
        CMyBrowser* popup = *made.begin();
        EXPECT_EQ(popup->m_pPacket->GetText(), text);
        EXPECT_EQ(popup->m_rcTarget, c.target);
        EXPECT_EQ(WindowRect(popup), c.created);
        EXPECT_TRUE(popup->IsWindowVisible());
        EXPECT_EQ(popup->m_nType, c.type);
        EXPECT_EQ(popup->GetWindowText(), c.title);
        EXPECT_EQ(main->RegisteredFrames(), registered);
        // Its browser comes 100 ms later, on the packet's address.
        clock.Advance(100);
        ASSERT_EQ(factory.requests.size(), 1u);
        EXPECT_EQ(factory.requests[0].url, c.url);
        EXPECT_EQ(factory.requests[0].windowInfo.parent_window, popup->m_hWnd);
        // Not registered: a request to leave the registry does not touch it.
        const HWND h = popup->m_hWnd;
        EXPECT_EQ(main->SendMessage(WM_APP_UNREGISTER_FRAME, reinterpret_cast<WPARAM>(h), 0), 0);
        DeliverPostedMessages();
        EXPECT_TRUE(IsWindow(h));
        DestroyWindow(h);
    }

    // Only a command of kind 9000 makes a popup.
    for (const QString& gbn :
         QStringList{"", "<GBN>0</GBN>", "<GBN>9001</GBN>", "<GBN>9010</GBN>"}) {
        SCOPED_TRACE(gbn.toStdString());
        const QString text = "<PKT>" + gbn + "<CMD>22</CMD></PKT>";
        EXPECT_TRUE(SendAndCollect(text, 0).empty());
        EXPECT_TRUE(SendAndCollect(text, 2).empty());
    }
    EXPECT_EQ(SendAndCollect(Command(21)), std::set<CMyBrowser*>());
}

TEST_F(MainFramePopupTest, Command25ClosesChatFramesOfKindTwoAndNoPopup) {
    // Chat frames of every kind, one of kind 2 hidden.
    CMyBrowserFrame* two = Direct("<TP>2</TP><DLGTIT>a</DLGTIT>");
    CMyBrowserFrame* three = Direct("<TP>3</TP><DLGTIT>b</DLGTIT>");
    CMyBrowserFrame* twoHidden = Direct("<TP>2</TP><DLGTIT>c</DLGTIT>");
    twoHidden->ShowWindow(SW_HIDE);
    CMyBrowserFrame* four = Direct("<TP>4</TP><DLGTIT>d</DLGTIT>");
    CMyBrowserFrame* five = Direct("<TP>5</TP><DLGTIT>e</DLGTIT>");
    const HWND twoWnd = two->m_hWnd, twoHiddenWnd = twoHidden->m_hWnd;

    // Popups at every stage of their life, among them a type-2 popup titled
    // like a kind-2 frame: still starting, animating, and shown for good.
    // Command 25 comes 1200 ms after the first popup's command 22.
    struct Popup {
        const char* name;
        QString fields;
        int sentAt;  // ms
        HWND hwnd = nullptr;
    };
    Popup popups[] = {
        {"type 2 titled like a frame, shown", "<TP>2</TP><DLGTIT>a</DLGTIT><CLOSESEC>0</CLOSESEC>",
         0},
        {"type 3, animating", "<TP>3</TP><ANIM>2</ANIM><CLOSESEC>0</CLOSESEC>", 700},
        {"default type, starting", "<DLGTIT>알림</DLGTIT><CLOSESEC>0</CLOSESEC>", 1200},
    };
    int now = 0;
    for (Popup& p : popups) {
        clock.Advance(p.sentAt - now);
        now = p.sentAt;
        const std::set<CMyBrowser*> made = SendAndCollect(Command(22, p.fields));
        ASSERT_EQ(made.size(), 1u) << p.name;
        p.hwnd = (*made.begin())->m_hWnd;
    }

    EXPECT_EQ(SendAndCollect(Command(25)), std::set<CMyBrowser*>());
    // The frames get a posted close, a turn apart.
    EXPECT_TRUE(IsWindow(twoWnd));
    EXPECT_TRUE(IsWindow(twoHiddenWnd));
    DeliverPostedMessages();
    clock.Advance(WindowRequests::kPaceMs);
    DeliverPostedMessages();
    DeliverPostedMessages();  // the frames' notices to the main frame
    EXPECT_FALSE(IsWindow(twoWnd));
    EXPECT_FALSE(IsWindow(twoHiddenWnd));
    EXPECT_EQ(main->RegisteredFrames(), (std::vector<CMyBrowserFrame*>{chat, three, four, five}));
    for (const Popup& p : popups) {
        SCOPED_TRACE(p.name);
        EXPECT_TRUE(IsWindow(p.hwnd));
        EXPECT_TRUE(IsWindowVisible(p.hwnd));
    }

    // The popups go on with their appearance and end opaque at their target.
    clock.Advance(1200 - WindowRequests::kPaceMs);
    for (const Popup& p : popups) {
        SCOPED_TRACE(p.name);
        ASSERT_TRUE(IsWindow(p.hwnd));
        auto* popup = dynamic_cast<CMyBrowser*>(CWnd::FromHandle(p.hwnd));
        ASSERT_NE(popup, nullptr);
        EXPECT_EQ(popup->m_nStep, 10);
        EXPECT_EQ(WindowRect(popup), popup->m_rcTarget);
        EXPECT_EQ(std::lround(popup->GetPeer()->windowOpacity() * 255), 255);
    }

    // With no frame of kind 2 left, the command closes nothing at all.
    SendAndCollect(Command(25));
    DeliverPostedMessages();
    DeliverPostedMessages();
    EXPECT_EQ(main->RegisteredFrames(), (std::vector<CMyBrowserFrame*>{chat, three, four, five}));
    for (const Popup& p : popups)
        EXPECT_TRUE(IsWindow(p.hwnd)) << p.name;
}

}  // namespace
