// Benchmark of the script bridge: round-trip latency (median, 99th
// percentile) and burst throughput of page -> native -> page calls, through
// the shell's bridge (MApp.jsPacket into the browser client, then
// ExecuteJavaScript back) and, in the same run, through a bare Qt WebEngine
// view with a web channel object (the floor). Prints one JSON line per
// mode. Usage: bench_bridge [--bare] PAGE.html
// (bench/run-bridge-bench runs both, one after the other).
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <QWebChannel>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineView>
#include <cstdio>

#include "app/VelkSTKApp.h"
#include "engine/cef_browser.h"
#include "platform/setup.h"
#include "shared/Messages.h"

namespace {

QString g_page;
QString g_result;

void Reply(const QString& text, const std::function<void(const QString&)>& run) {
    if (text.startsWith("rt:")) {
        run("ack(" + text.mid(3) + ")");
    } else if (text == "last") {
        run("ack(-2)");
    } else if (text.startsWith("result:")) {
        g_result = text.mid(7);
    }
}

class HostWnd : public CFrameWnd {
public:
    CefRefPtr<CefBrowser> browser;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_APP_BROWSER_CREATED) {
            browser = reinterpret_cast<CefBrowser*>(lParam);
            return 0;
        }
        if (message == WM_APP_PACKET) {
            auto* packet = reinterpret_cast<CPacket*>(wParam);
            Reply(packet->GetText(), [this](const QString& js) {
                if (browser)
                    browser->GetMainFrame()->ExecuteJavaScript(js, "", 0);
            });
            delete packet;
            if (!g_result.isEmpty())
                PostQuitMessage(0);
            return 0;
        }
        if (message == WM_TIMER) {
            KillTimer(1);
            RECT r;
            GetClientRect(&r);
            VelkApp().m_clientApp->CreateBrowser(m_hWnd, QUrl::fromLocalFile(g_page).toString(), r);
            return 0;
        }
        return CFrameWnd::WindowProc(message, wParam, lParam);
    }
};

class BenchApp : public CVelkSTKAppApp {
public:
    BOOL InitInstance() override {
        platform::SetUpProcess(platform::SetUpPhase::AfterToolkit);
        RegisterSystemMessages();
        m_clientApp = new ClientApp();
        CefSettings settings;
        settings.no_sandbox = 1;
        settings.cache_path = QDir::tempPath() + "/velk-bench-cache";
        m_cefInitialized = CefInitialize(CefMainArgs(), settings, m_clientApp.get(), nullptr);
        if (!m_cefInitialized)
            return FALSE;
        auto* host = new HostWnd();
        host->CreateEx(0, "Bench", "bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400, 300,
                       nullptr, 0);
        m_pMainWnd = host;
        host->SetTimer(1, 50);
        return TRUE;
    }
    int ExitInstance() override {
        std::printf("{\"mode\": \"shell bridge\", %s\n", qUtf8Printable(g_result.mid(1)));
        std::fflush(stdout);
        return CVelkSTKAppApp::ExitInstance();
    }
};

class BareObject : public QObject {
    Q_OBJECT
public:
    QWebEnginePage* page = nullptr;
public slots:
    void call(const QString& text) {
        Reply(text, [this](const QString& js) { page->runJavaScript(js); });
        if (!g_result.isEmpty())
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    }
};

}  // namespace

static BenchApp theBenchApp;

int main(int argc, char** argv) {
    if (argc < 2)
        return 2;
    const bool bareMode = QByteArray(argv[1]) == "--bare";
    g_page = QFileInfo(argv[bareMode ? 2 : 1]).absoluteFilePath();
    if (!bareMode)
        return AfxWinMain(1, argv) == 0 && !g_result.isEmpty() ? 0 : 1;

    // The floor: a bare view and a web channel object.
    // As the shell does: no sandbox (the benchmark may run as root).
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    int qargc = 1;
    QApplication app(qargc, argv);
    QWebEngineView view;
    BareObject bare;
    bare.page = view.page();
    QWebChannel channel;
    channel.registerObject("bench", &bare);
    view.page()->setWebChannel(&channel);
    QFile js(":/qtwebchannel/qwebchannel.js");
    js.open(QIODevice::ReadOnly);
    QWebEngineScript script;
    script.setSourceCode(QString::fromUtf8(js.readAll()));
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(QWebEngineScript::MainWorld);
    view.page()->scripts().insert(script);
    view.resize(400, 300);
    view.show();
    view.load(QUrl::fromLocalFile(g_page));
    app.exec();
    std::printf("{\"mode\": \"bare web channel\", %s\n", qUtf8Printable(g_result.mid(1)));
    return 0;
}

#include "bench_bridge.moc"
