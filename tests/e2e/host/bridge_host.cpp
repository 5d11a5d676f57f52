// A test host for the end-to-end tests of the browsers and the script
// bridge: the real engine, the system's ClientApp and ClientHandler, and
// one top-level framework window that hosts a browser on the address given
// as the first argument. Everything the window receives is written to
// standard output, one line each:
//   CREATED <browser id>
//   PACKET <packet text as a JSON string>      (posted to the host window)
//   MAIN <lParam> <packet text as a JSON string>  (sent to the main window)
// Lines on standard input are commands: "js <code>" runs script in the
// page, "load <url>" loads an address, "quit" ends the program.
#include <unistd.h>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSocketNotifier>
#include <cstdio>

#include "app/VelkSTKApp.h"
#include "engine/cef_cookie.h"
#include "platform/setup.h"
#include "platform/system.h"
#include "shared/Messages.h"

namespace {

QByteArray Json(const QString& s) {
    QByteArray j = QJsonDocument(QJsonArray{s}).toJson(QJsonDocument::Compact);
    return j.mid(1, j.size() - 2);
}

void Emit(const QByteArray& line) {
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

class HostWnd : public CFrameWnd {
public:
    CefRefPtr<CefBrowser> browser;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_APP_BROWSER_CREATED) {
            browser = reinterpret_cast<CefBrowser*>(lParam);
            Emit("CREATED " + QByteArray::number(static_cast<int>(wParam)));
            return 0;
        }
        if (message == WM_APP_PACKET) {
            // Posted packets belong to the receiver.
            auto* packet = reinterpret_cast<CPacket*>(wParam);
            Emit("PACKET " + Json(packet->GetText()));
            delete packet;
            return 0;
        }
        return CFrameWnd::WindowProc(message, wParam, lParam);
    }
    void OnSize(UINT type, int cx, int cy) override {
        CFrameWnd::OnSize(type, cx, cy);
        if (browser)
            ::SetWindowPos(browser->GetHost()->GetWindowHandle(), nullptr, 0, 0, cx, cy,
                           SWP_NOZORDER);
    }

    void OnTimer(UINT_PTR id) override {
        KillTimer(id);
        if (onStart)
            onStart();
    }

public:
    std::function<void()> onStart;
};

// The main window: records what the browser client forwards to it.
class MainWnd : public CFrameWnd {
protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_APP_PACKET) {
            auto* packet = reinterpret_cast<CPacket*>(wParam);
            Emit("MAIN " + QByteArray::number(static_cast<qlonglong>(lParam)) + " " +
                 Json(packet ? packet->GetText() : QString()));
            return 0;
        }
        return CFrameWnd::WindowProc(message, wParam, lParam);
    }
};

class HostApp : public CVelkSTKAppApp {
public:
    BOOL InitInstance() override {
        platform::SetUpProcess(platform::SetUpPhase::AfterToolkit);
        RegisterSystemMessages();
        m_clientApp = new ClientApp();
        CefMainArgs args;
        CefSettings settings;
        settings.no_sandbox = 1;
        settings.cache_path = GetExeDir() + "/cache";
        settings.locale = "ko-KR,ko";
        settings.accept_language_list = "ko-KR,ko";
        settings.ignore_certificate_errors = 1;
        m_cefInitialized = CefInitialize(args, settings, m_clientApp.get(), nullptr);
        if (!m_cefInitialized)
            return FALSE;
        m_devShow = qEnvironmentVariableIntValue("HOST_DEVSHOW");
        ParseCommandLine();

        auto* main = new MainWnd();
        main->CreateEx(0, "HostMain", "HostMain", WS_POPUP, 0, 0, 10, 10, nullptr, 0);
        m_pMainWnd = main;

        m_host = new HostWnd();
        m_host->CreateEx(0, "HostWindow", "host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 800,
                         600, nullptr, 0);
        platform::OnTerminationRequest([] { PostQuitMessage(0); });

        auto* notifier = new QSocketNotifier(0, QSocketNotifier::Read);
        QObject::connect(notifier, &QSocketNotifier::activated, [this, notifier] {
            char buf[1 << 16];
            const ssize_t n = ::read(0, buf, sizeof buf);
            if (n <= 0) {
                notifier->setEnabled(false);
                return;
            }
            m_input += QByteArray(buf, static_cast<int>(n));
            int nl;
            while ((nl = m_input.indexOf('\n')) >= 0) {
                const QString line = QString::fromUtf8(m_input.left(nl));
                m_input.remove(0, nl + 1);
                Command(line);
            }
        });
        // The browser is asked for once the client exists, as the windows do.
        m_host->onStart = [this] { StartBrowser(); };
        m_host->SetTimer(1, 50);
        m_startUrl = qEnvironmentVariable("HOST_URL");
        return TRUE;
    }

    void StartBrowser() {
        RECT r;
        m_host->GetClientRect(&r);
        const bool ok = m_clientApp->CreateBrowser(m_host->m_hWnd, m_startUrl, r);
        Emit(ok ? "REQUESTED" : "REQUEST-FAILED");
    }

    void Command(const QString& line) {
        if (line == "quit") {
            PostQuitMessage(0);
        } else if (line.startsWith("js ") && m_host->browser) {
            m_host->browser->GetMainFrame()->ExecuteJavaScript(line.mid(3), "", 0);
        } else if (line.startsWith("load ") && m_host->browser) {
            m_host->browser->GetMainFrame()->LoadURL(line.mid(5));
        }
    }

    HostWnd* m_host = nullptr;
    QString m_startUrl;
    QByteArray m_input;
};

}  // namespace

static HostApp theHostApp;

int main(int argc, char** argv) {
    // Set up as the program is, without a desktop entry of its own.
    platform::ProcessStart start;
    start.program = argc > 0 ? QString::fromLocal8Bit(argv[0]) : QString();
    for (int i = 1; i < argc; ++i)
        start.arguments << QString::fromLocal8Bit(argv[i]);
    const int ended = platform::SetUpProcess(platform::SetUpPhase::BeforeToolkit, start);
    if (ended >= 0)
        return ended;
    return AfxWinMain(argc, argv);
}
