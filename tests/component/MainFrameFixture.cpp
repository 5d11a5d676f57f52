#include "MainFrameFixture.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QLocalSocket>
#include <atomic>
#include <thread>

#include "framework/internal.h"
#include "platform/instance.h"
#include "res/resources.h"
#include "shared/Service.h"

void MainFrameTest::SetUp() {
    AppTest::SetUp();
    RegisterResources();
    UseProfile();
    ResetParams();
}

void MainFrameTest::TearDown() {
    DestroyAll();
    framework::ResetQuit();
    AppTest::TearDown();
}

void MainFrameTest::ResetParams() {
    app.m_params.SetText("<PKT><GBN>0</GBN></PKT>");
    app.m_params.SetString(
        "CLSNM",
        QStringLiteral("Velk%1-%2").arg(app.m_pszAppName).arg(QCoreApplication::applicationPid()));
}

bool MainFrameTest::LoadMain() {
    auto* frame = new CMainFrame();
    app.m_pMainWnd = frame;
    if (!frame->LoadFrame(IDR_MAINFRAME, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE, nullptr, nullptr)) {
        if (!IsWindow(frame->m_hWnd))
            delete frame;
        app.m_pMainWnd = nullptr;
        return false;
    }
    main = frame;
    mainHwnd = frame->m_hWnd;
    return true;
}

bool MainFrameTest::CreateMain() {
    if (!LoadMain())
        return false;
    main->SetMenu(nullptr);
    main->ShowWindow(SW_HIDE);
    main->UpdateWindow();
    return true;
}

CMyBrowserFrame* MainFrameTest::StartMainChat() {
    clock.Advance(100);
    CMyBrowserFrame* chat = main->GetMainChatFrame(CMainFrame::FindOnly);
    EXPECT_NE(chat, nullptr);
    return chat;
}

void MainFrameTest::DestroyAll() {
    std::vector<HWND> chats = frames;
    if (IsWindow(mainHwnd)) {
        for (CMyBrowserFrame* f : main->RegisteredFrames())
            chats.push_back(f->m_hWnd);
    }
    for (HWND h : chats) {
        if (IsWindow(h))
            DestroyWindow(h);
    }
    frames.clear();
    app.m_pMainWnd = nullptr;
    if (IsWindow(mainHwnd))
        DestroyWindow(mainHwnd);
    main = nullptr;
    mainHwnd = nullptr;
    platform::StopListeningForInstances();
    DiscardPostedMessages();
    framework::ResetQuit();
    factory.requests.clear();
    fakes.tray.Reset();
    boxes.shown.clear();
}

CMyBrowserFrame* MainFrameTest::Direct(const QString& fields) {
    auto* frame = new CMyBrowserFrame();
    CPacket packet("<PKT><LMIW>100</LMIW><LMIH>100</LMIH>" + fields + "</PKT>");
    EXPECT_TRUE(frame->CreateFrame(&packet));
    frames.push_back(frame->m_hWnd);
    frame->ShowWindow(SW_SHOW);
    return frame;
}

LRESULT MainFrameTest::SendPacket(CPacket& packet, LPARAM context) {
    // Sent by a service page unless the test says otherwise, each in a turn
    // of its own, as pages' packets come.
    if (packet.Source().documents.isEmpty()) {
        const QString page = ContentBaseUrl() + "chat.html";
        packet.SetSource({page, page, {page}, {}});
    }
    main->Requests().Turn();
    return main->SendMessage(WM_APP_PACKET, reinterpret_cast<WPARAM>(&packet), context);
}

LRESULT MainFrameTest::SendPacket(const QString& text, LPARAM context) {
    CPacket packet(text);
    return SendPacket(packet, context);
}

CMyBrowserFrame* MainFrameTest::Open20(const QString& fields, LPARAM context) {
    CPacket packet(Command(20, "<LMIW>100</LMIW><LMIH>100</LMIH>" + fields));
    EXPECT_EQ(SendPacket(packet, context), 0);
    return main->FindFrameByTitle(packet);
}

LRESULT MainFrameTest::TrayNotify(LPARAM mouse) {
    return main->SendMessage(WM_APP_TRAY_NOTIFY, 0, mouse);
}

CefRefPtr<FakeBrowser> MainFrameTest::Attach(CMyBrowserFrame* frame) {
    CefRefPtr<FakeBrowser> browser = AttachBrowser(&frame->m_view, kPage + "chat.html");
    EXPECT_EQ(frame->m_view.Browser().get(), static_cast<CefBrowser*>(browser.get()));
    return browser;
}

QByteArray MainFrameTest::Exchange(const QByteArray& bytes) {
    const QString className = app.m_params.GetString("CLSNM", "");
    std::atomic<bool> done{false};
    QByteArray reply;
    std::thread second([&] {
        QLocalSocket socket;
        socket.connectToServer(platform::InstanceChannelPath(className));
        if (socket.waitForConnected(5000)) {
            socket.write(bytes);
            socket.waitForBytesWritten(5000);
            if (socket.waitForReadyRead(20000))
                reply = socket.readAll();
        }
        done = true;
    });
    QDeadlineTimer deadline(30000);
    while (!done && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    if (!done)
        platform::StopListeningForInstances();
    second.join();
    return reply;
}

int MainFrameTest::CountOfKind(int kind) const {
    int n = 0;
    for (CMyBrowserFrame* f : main->RegisteredFrames())
        n += f->m_kind == kind ? 1 : 0;
    return n;
}
