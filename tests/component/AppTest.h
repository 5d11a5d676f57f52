// The application object as the windows find it, for tests of the windows
// around pages: AppTest gives it a directory of its own (the executable and
// its settings file there), a profile of its own, the browser client, and
// browser creation by fakes; PageWindowTest adds a main window that records
// what reaches it, and chat frames made as the main frame makes them. Every
// window a test makes through them is gone when the test ends.
#pragma once

#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <optional>
#include <vector>

#include "FakeBrowser.h"
#include "RecordingWindows.h"
#include "TestProfile.h"
#include "app/ClientApp.h"
#include "app/VelkSTKApp.h"
#include "browser/MyBrowserFrame.h"
#include "packet/Packet.h"
#include "shared/Messages.h"
#include "testsupport.h"

// The service's pages, where the fake browsers say they are.
inline const QString kPage = QStringLiteral("http://127.0.0.1:18480/");

class AppTest : public ComponentTest {
protected:
    void SetUp() override {
        ComponentTest::SetUp();
        RegisterSystemMessages();
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(profile.Install());
        fakes.executable.path = dir.path() + "/VelkSTKApp";
        app.m_iniPath = dir.path() + "/app.ini";
        app.m_clientApp = new ClientApp();
        app.m_clientApp->OnContextInitialized();
    }
    void TearDown() override {
        app.m_pMainWnd = nullptr;
        profile.Restore();
        ComponentTest::TearDown();
    }

    // The application keeps profile values, under the test suite's name
    // (the caption of its message boxes too).
    void UseProfile() {
        app.m_pszAppName = QString::fromUtf8(
            testing::UnitTest::GetInstance()->current_test_info()->test_suite_name());
        app.SetRegistryKey("VelkTest");
    }

    void WriteIni(const QByteArray& bytes) {
        QFile f(app.m_iniPath);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    void RemoveIni() { QFile::remove(app.m_iniPath); }
    // The settings file `bytes`, or none.
    void SetIni(const std::optional<QByteArray>& bytes) {
        if (bytes) {
            WriteIni(*bytes);
        } else {
            RemoveIni();
        }
    }

    // Announces a fake browser at `url` in a new child window of `host`,
    // through the real browser client, as the engine does.
    CefRefPtr<FakeBrowser> AttachBrowser(CWnd* host, const QString& url) {
        auto window = std::make_unique<CWnd>();
        EXPECT_TRUE(
            window->Create("Browser", "", WS_CHILD | WS_VISIBLE, RECT{0, 0, 10, 10}, host, 1));
        CefRefPtr<FakeBrowser> browser = FakeBrowser::Create(window->m_hWnd);
        browser->client = app.m_clientApp->m_handler;
        browser->url = url;
        browser->AnnounceCreated();
        browserWindows.push_back(std::move(window));
        return browser;
    }

    QTemporaryDir dir;
    TestProfile profile;
    CVelkSTKAppApp app;
    FakeBrowserFactory factory;
    std::vector<std::unique_ptr<CWnd>> browserWindows;
};

using ObservedFrame = Observed<CMyBrowserFrame>;

class PageWindowTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        ASSERT_TRUE(mainWnd.CreateTopLevel());
        app.m_pMainWnd = &mainWnd;
    }
    void TearDown() override {
        for (HWND h : windows) {
            if (IsWindow(h))
                DestroyWindow(h);
        }
        AppTest::TearDown();
    }

    // A chat frame made from the creation packet `text`, shown as the main
    // frame shows it unless told otherwise.
    ObservedFrame* OpenText(const QString& text, bool show = true) {
        auto* frame = new ObservedFrame();
        CPacket packet(text);
        EXPECT_TRUE(frame->CreateFrame(&packet));
        windows.push_back(frame->m_hWnd);
        if (show)
            frame->ShowWindow(SW_SHOW);
        return frame;
    }
    // With small minimum sizes, so that the tests place the frame freely.
    ObservedFrame* Open(const QString& fields, bool show = true) {
        return OpenText("<PKT><LMIW>100</LMIW><LMIH>100</LMIH>" + fields + "</PKT>", show);
    }

    // A fake browser on the chat page in the frame's view.
    CefRefPtr<FakeBrowser> Attach(CMyBrowserFrame* frame) {
        return AttachBrowser(&frame->m_view, kPage + "chat.html");
    }

    MainWnd mainWnd;
    // Destroyed when the test ends, if still there.
    std::vector<HWND> windows;
};
