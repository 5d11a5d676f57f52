// Shared helpers of the component tests: a manual clock installed for the
// window timers, fakes of the platform's ports and of the message boxes
// (FakePorts.h), a window that records the messages it receives, and the
// small words the tests speak in (rectangles, command packets).
//
// Beside it: RecordingWindows.h (windows that keep what reaches them),
// TestProfile.h (a profile directory of the test's own), AppTest.h (the
// application object and its windows) and MainFrameFixture.h (a real main
// frame).
#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <functional>
#include <ostream>
#include <vector>

#include "FakePorts.h"
#include "framework/afxwin.h"
#include "framework/clock.h"

// Rectangles in failure messages (found by argument lookup: RECT is global).
inline void PrintTo(const RECT& r, std::ostream* os) {
    *os << "(" << r.left << "," << r.top << ")-(" << r.right << "," << r.bottom << ")";
}

inline RECT WindowRect(const CWnd* w) {
    RECT r;
    w->GetWindowRect(&r);
    return r;
}

// A page's command packet: command `cmd` with `fields` after it.
inline QString Command(int cmd, const QString& fields = QString()) {
    return QStringLiteral("<PKT><GBN>9000</GBN><CMD>%1</CMD>%2</PKT>").arg(cmd).arg(fields);
}

struct Recorded {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool operator==(const Recorded&) const = default;
};

// A window that records every message of the ids it is told to watch.
class RecordingWnd : public CWnd {
public:
    explicit RecordingWnd(std::vector<UINT> watched) : m_watched(std::move(watched)) {}
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        for (UINT w : m_watched) {
            if (w == message)
                received.push_back({message, wParam, lParam});
        }
        if (onMessage)
            onMessage(message, wParam, lParam);
        return CWnd::WindowProc(message, wParam, lParam);
    }
    bool CreateTopLevel(DWORD style = WS_POPUP, DWORD exStyle = 0) {
        return CreateEx(exStyle, QStringLiteral("Test"), QStringLiteral("test"), style, 10, 10, 200,
                        100, nullptr, 0);
    }
    std::vector<Recorded> received;
    std::function<void(UINT, WPARAM, LPARAM)> onMessage;

private:
    std::vector<UINT> m_watched;
};

// Installs a manual clock and the fakes of the platform's ports and of the
// message boxes for one test; the real ones are back when it ends.
class ComponentTest : public ::testing::Test {
protected:
    void SetUp() override {
        framework::InstallClock(&clock);
        fakes.Install();
        DeliverPostedMessages();
    }
    void TearDown() override {
        DiscardPostedMessages();
        fakes.Restore();
        framework::InstallClock(nullptr);
    }
    framework::ManualClock clock;
    FakePorts fakes;
    // The message boxes are answered by the test through this name.
    ScriptedMessageBoxes& boxes = fakes.boxes;
};
