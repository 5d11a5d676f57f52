// Shared helpers of the component tests: a manual clock installed for the
// window timers, message boxes answered by the test, and a window that
// records the messages it receives.
#pragma once

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <vector>

#include "framework/afxwin.h"
#include "framework/clock.h"

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

class ScriptedMessageBoxes : public MessageBoxPort {
public:
    int Show(const CString& text, const CString& caption, UINT type) override {
        shown.push_back({text, caption, type});
        return answer;
    }
    struct Box {
        CString text;
        CString caption;
        UINT type;
    };
    std::vector<Box> shown;
    int answer = IDOK;
};

// Installs a manual clock and scripted message boxes for one test.
class ComponentTest : public ::testing::Test {
protected:
    void SetUp() override {
        framework::InstallClock(&clock);
        AfxSetMessageBoxPort(&boxes);
        DeliverPostedMessages();
    }
    void TearDown() override {
        DiscardPostedMessages();
        AfxSetMessageBoxPort(nullptr);
        framework::InstallClock(nullptr);
    }
    framework::ManualClock clock;
    ScriptedMessageBoxes boxes;
};
