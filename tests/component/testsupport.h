// Shared helpers of the component tests: a manual clock installed for the
// window timers, fakes of the platform's ports and of the message boxes
// (FakePorts.h), and a window that records the messages it receives.
#pragma once

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <vector>

#include "FakePorts.h"
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
