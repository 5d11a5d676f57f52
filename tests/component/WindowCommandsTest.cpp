// The window commands that every window around a page shares, carried out
// by each window's rules on a real window: what each command does to the
// window (or to the page, or the system browser), and which commands a
// window's rules leave to the window itself (which commands reach the shared
// ones at all is each window's route table, PageRoutesTest).
#include <QStringList>
#include <optional>
#include <ostream>
#include <vector>

#include "FakeBrowser.h"
#include "RecordingWindows.h"
#include "browser/WindowCommands.h"
#include "packet/Packet.h"
#include "packet/Vocabulary.h"
#include "testsupport.h"

namespace {

const QString kPageUrl = QStringLiteral("http://127.0.0.1:18480/chat.html");
const RECT kStart{100, 100, 500, 400};

enum class Shown { kNormal, kHidden, kMinimised, kMaximised };

// What a command left behind. Where a minimised or maximised window lies
// is the platform's, so its rectangle is not part of it.
struct Seen {
    Shown shown = Shown::kNormal;
    std::vector<int> moveRequests;
    bool sizingFrame = false;
    std::optional<RECT> rect = kStart;
    QStringList opened;
    std::vector<FakeBrowser::Script> scripts;
    bool operator==(const Seen&) const = default;
};

void PrintTo(const Seen& s, std::ostream* os) {
    *os << "shown " << static_cast<int>(s.shown) << ", move requests";
    for (int hitTest : s.moveRequests)
        *os << " " << hitTest;
    *os << ", sizing frame " << s.sizingFrame << ", rect ";
    if (s.rect) {
        PrintTo(*s.rect, os);
    }
    *os << ", opened " << s.opened.join(' ').toStdString() << ", " << s.scripts.size()
        << " scripts";
}

Seen As(Shown shown) {
    Seen s;
    s.shown = shown;
    if (shown == Shown::kMinimised || shown == Shown::kMaximised)
        s.rect.reset();
    return s;
}
Seen MoveLoop(int hitTest, bool sizingFrame) {
    Seen s;
    s.moveRequests = {hitTest};
    s.sizingFrame = sizingFrame;
    return s;
}
Seen Placed(const RECT& rect) {
    Seen s;
    s.rect = rect;
    return s;
}
Seen Opened(const QString& url) {
    Seen s;
    s.opened = {url};
    return s;
}
Seen JSVerCalled() {
    Seen s;
    s.scripts = {{QStringLiteral("JSVer(1)"), kPageUrl, 0}};
    return s;
}

class WindowCommandsTest : public ComponentTest {};

TEST_F(WindowCommandsTest, EachWindowsRulesCarryOutTheSharedCommandsOrLeaveThemToIt) {
    const WindowCommandRules* view = &kChatViewCommands;
    const WindowCommandRules* pagePopup = &kPagePopupCommands;
    const WindowCommandRules* popup = &kPopupWindowCommands;
    const QString url = QStringLiteral("https://example.com/a?b=1");
    const QString openUrl = Command(CMD_OPEN_IN_SYSTEM_BROWSER, "<URL>" + url + "</URL>");
    struct Case {
        const char* name;
        const WindowCommandRules* rules;
        QString packet;
        Shown start;  // the window before the command
        bool handled;
        Seen seen;
    };
    const Case cases[] = {
        {"view minimise", view, Command(CMD_MINIMIZE), Shown::kNormal, true, As(Shown::kMinimised)},
        {"page popup minimise", pagePopup, Command(CMD_MINIMIZE), Shown::kNormal, true,
         As(Shown::kMinimised)},
        {"popup minimise", popup, Command(CMD_MINIMIZE), Shown::kNormal, true,
         As(Shown::kMinimised)},
        {"view maximise", view, Command(CMD_TOGGLE_MAXIMIZE), Shown::kNormal, true,
         As(Shown::kMaximised)},
        {"page popup maximise", pagePopup, Command(CMD_TOGGLE_MAXIMIZE), Shown::kNormal, true,
         As(Shown::kMaximised)},
        {"popup maximise", popup, Command(CMD_TOGGLE_MAXIMIZE), Shown::kNormal, true,
         As(Shown::kMaximised)},
        {"view restores a minimised one", view, Command(CMD_TOGGLE_MAXIMIZE), Shown::kMinimised,
         true, As(Shown::kNormal)},
        {"popup restores a maximised one", popup, Command(CMD_TOGGLE_MAXIMIZE), Shown::kMaximised,
         true, As(Shown::kNormal)},
        // The move and size loops start from the command's hit-test code; a
        // page popup's resize (but to the left) gives it its sizing frame.
        {"view move", view, Command(CMD_MOVE), Shown::kNormal, true, MoveLoop(HTCAPTION, false)},
        {"page popup move", pagePopup, Command(CMD_MOVE), Shown::kNormal, true,
         MoveLoop(HTCAPTION, false)},
        {"popup move", popup, Command(CMD_MOVE), Shown::kNormal, true, MoveLoop(HTCAPTION, false)},
        {"view size top", view, Command(CMD_SIZE_TOP), Shown::kNormal, true,
         MoveLoop(HTTOP, false)},
        {"page popup size top", pagePopup, Command(CMD_SIZE_TOP), Shown::kNormal, true,
         MoveLoop(HTTOP, true)},
        {"popup size bottom right", popup, Command(CMD_SIZE_BOTTOM_RIGHT), Shown::kNormal, true,
         MoveLoop(HTBOTTOMRIGHT, false)},
        {"page popup size left", pagePopup, Command(CMD_SIZE_LEFT), Shown::kNormal, true,
         MoveLoop(HTLEFT, false)},
        // Only a page popup places itself: (0, 0) and 800 x 600 stand in for
        // what the packet omits, and it is shown.
        {"page popup place", pagePopup, Command(CMD_PLACE_WINDOW, "<XX>10</XX><WW>300</WW>"),
         Shown::kHidden, true, Placed({10, 0, 310, 600})},
        {"view place", view, Command(CMD_PLACE_WINDOW, "<XX>10</XX>"), Shown::kHidden, false,
         As(Shown::kHidden)},
        {"popup place", popup, Command(CMD_PLACE_WINDOW, "<XX>10</XX>"), Shown::kHidden, false,
         As(Shown::kHidden)},
        {"view open", view, openUrl, Shown::kNormal, true, Opened(url)},
        {"page popup open", pagePopup, openUrl, Shown::kNormal, true, Opened(url)},
        {"popup open", popup, openUrl, Shown::kNormal, true, Opened(url)},
        {"open without URL", view, Command(CMD_OPEN_IN_SYSTEM_BROWSER), Shown::kNormal, true,
         As(Shown::kNormal)},
        // A flash leaves nothing the offscreen platform shows; what counts is
        // that it is carried out.
        {"view flash", view, Command(CMD_FLASH_WINDOW), Shown::kNormal, true, As(Shown::kNormal)},
        {"popup flash", popup, Command(CMD_FLASH_WINDOW), Shown::kNormal, true, As(Shown::kNormal)},
        {"view JSVer", view, Command(CMD_CALL_JSVER), Shown::kNormal, true, JSVerCalled()},
        {"page popup JSVer", pagePopup, Command(CMD_CALL_JSVER), Shown::kNormal, true,
         JSVerCalled()},
        {"view not shared", view, Command(20), Shown::kNormal, false, As(Shown::kNormal)},
        {"page popup not shared", pagePopup, Command(20), Shown::kNormal, false,
         As(Shown::kNormal)},
        {"popup not shared", popup, Command(20), Shown::kNormal, false, As(Shown::kNormal)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fakes.urlOpener.opened.clear();
        Observed<CWnd> window;
        ASSERT_TRUE(window.CreateEx(0, "Test", "test", WS_POPUP, kStart.left, kStart.top,
                                    kStart.right - kStart.left, kStart.bottom - kStart.top, nullptr,
                                    0));
        if (c.start != Shown::kHidden)
            window.ShowWindow(SW_SHOW);
        if (c.start == Shown::kMinimised)
            window.ShowWindow(SW_MINIMIZE);
        if (c.start == Shown::kMaximised)
            window.ShowWindow(SW_MAXIMIZE);
        CefRefPtr<FakeBrowser> page = FakeBrowser::Create();
        page->url = kPageUrl;
        CPacket packet(c.packet);

        EXPECT_EQ(RunWindowCommand(*c.rules, window.m_hWnd, page, packet), c.handled);
        DeliverPostedMessages();  // the move and size loops are posted

        Seen seen;
        seen.shown = window.IsIconic()          ? Shown::kMinimised
                     : window.IsZoomed()        ? Shown::kMaximised
                     : window.IsWindowVisible() ? Shown::kNormal
                                                : Shown::kHidden;
        seen.moveRequests = window.moveRequests;
        seen.sizingFrame = (window.GetStyle() & WS_THICKFRAME) != 0;
        seen.rect = WindowRect(&window);
        if (seen.shown == Shown::kMinimised || seen.shown == Shown::kMaximised)
            seen.rect.reset();
        seen.opened = fakes.urlOpener.opened;
        seen.scripts = page->scripts;
        EXPECT_EQ(seen, c.seen);
        window.DestroyWindow();
    }
}

}  // namespace
