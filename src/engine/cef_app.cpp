// The library's process calls and command line over Qt WebEngine.
#include "engine/cef_app.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QThread>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <algorithm>
#include <cstdio>

#include "engine/context.h"
#include "engine/qt_browser.h"
#include "engine/rendering.h"
#include "engine/version.h"
#include "framework/afxwin.h"
#include "framework/peer.h"
#include "platform/system.h"

namespace {

// The renderer processes the engine starts before new pages share the
// running ones: two per core, and at least four.
int RendererProcessLimit() {
    return std::max(4, 2 * QThread::idealThreadCount());
}

// The sandbox as the engine will make it, for the start-up line. Where the
// system refuses user namespaces the engine quietly keeps only its
// system-call filter.
const char* SandboxState(const CefSettings& settings, bool sandbox) {
    if (sandbox)
        return platform::CanMakeUserNamespace()
                   ? "on"
                   : "its system-call filter only (the system refuses this program the user "
                     "namespaces the engine's other walls are made of)";
    if (settings.no_sandbox)
        return "off (as asked)";
    return "off (the program runs as root, where the engine cannot wall pages in)";
}

}  // namespace

CefRefPtr<CefCommandLine> CefCommandLine::CreateCommandLine() {
    return new CefCommandLine();
}

void CefCommandLine::AppendSwitchWithValue(const CefString& name, const CefString& value) {
    m_switches.append({name, value});
}

bool CefCommandLine::HasSwitch(const CefString& name) const {
    for (const auto& s : m_switches) {
        if (s.first == name)
            return true;
    }
    return false;
}

CefString CefCommandLine::GetSwitchValue(const CefString& name) const {
    for (const auto& s : m_switches) {
        if (s.first == name)
            return s.second;
    }
    return CefString();
}

int CefExecuteProcess(const CefMainArgs&, CefRefPtr<CefApp> app, void*) {
    const QString type = engine::ProcessType();
    if (type.isEmpty())
        return -1;
    // Qt WebEngine runs its child processes from its own helper executable,
    // so a child start of this program has nothing left to do: it offers
    // the application its switches, as every process of the library does,
    // and ends.
    if (app) {
        CefRefPtr<CefCommandLine> cmd = CefCommandLine::CreateCommandLine();
        app->OnBeforeCommandLineProcessing(type, cmd);
    }
    return 0;
}

bool CefInitialize(const CefMainArgs&, const CefSettings& settings, CefRefPtr<CefApp> app, void*) {
    engine::Context& ctx = engine::GetContext();
    if (ctx.initialized || !QCoreApplication::instance())
        return false;

    // Every process that shows pages runs in the engine's sandbox (a
    // seccomp filter, user and pid namespaces of its own), so that a flaw
    // of the renderer that a page finds stays inside it. The engine cannot
    // make one for the superuser, and refuses to start as root with it on.
    const bool sandbox = !settings.no_sandbox && !platform::RunsAsSuperUser();
    // The engine's own start-up report (its switches and drawing settings,
    // some thirty lines) is for whoever looks into the engine, and drowned
    // the program's own lines; QT_LOGGING_RULES=qt.webenginecontext.info=true
    // shows it again (the variable's rules come after these).
    QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false"));
    std::fprintf(stderr, "VelkSTKApp: %s, pages in the engine's sandbox: %s\n",
                 qUtf8Printable(engine::EngineDescription()), SandboxState(settings, sandbox));
    CefRefPtr<CefCommandLine> cmd = CefCommandLine::CreateCommandLine();
    if (settings.single_process)
        cmd->AppendSwitch(QStringLiteral("single-process"));
    if (!sandbox)
        cmd->AppendSwitch(QStringLiteral("no-sandbox"));
    if (!settings.locale.isEmpty()) {
        cmd->AppendSwitchWithValue(QStringLiteral("lang"), settings.locale.section(',', 0, 0));
    }
    // Certificate errors are accepted page by page (engine/qt_browser.cpp),
    // not by the engine's switch: the switch would hide them, and a document
    // that came with one must not count as the service's.
    // The engine can turn web security off only for the whole process, at
    // start-up; every browser of this program asks for it off (its pages
    // fetch from the service's other hosts), so it starts that way.
    cmd->AppendSwitch(QStringLiteral("disable-web-security"));
    // Every page that the user goes back to comes back by loading, so that
    // the pages' ledger of documents (engine/document_group.h) sees it as a
    // navigation; a page restored from the back-forward cache is not
    // promised to pass through the same reports.
    cmd->AppendSwitch(QStringLiteral("disable-back-forward-cache"));
    // Alarms come in bursts: twenty popups, each with a renderer process of
    // its own, spent most of the cores starting those processes while the
    // user-interface thread that runs every popup's fade waited for one.
    // Past a few processes per core, new pages share the renderers already
    // running, so a burst starts a few processes, not twenty, and each
    // further window costs a few megabytes instead of a process. (The engine
    // keeps no site to a renderer of its own: a page's frames of other sites
    // already share its renderer.)
    cmd->AppendSwitchWithValue(QStringLiteral("renderer-process-limit"),
                               QString::number(RendererProcessLimit()));
    if (app)
        app->OnBeforeCommandLineProcessing(CefString(), cmd);

    // The engine reads its switches from this variable only (it ignores the
    // process's arguments while the variable is set), once, when its first
    // profile is created (StartEngine).
    ctx.chromiumFlags = engine::BuildChromiumFlags(settings, cmd);
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", ctx.chromiumFlags);
    if (!sandbox)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");

    const QString cachePath = engine::UsableCachePath(settings.cache_path);
    QDir().mkpath(cachePath);
    ctx.settings = settings;
    ctx.settings.cache_path = QDir::toNativeSeparators(cachePath);
    ctx.app = app;
    ctx.initialized = true;
    // The engine itself starts on the message loop's first pass: its start
    // takes a few hundred milliseconds, which then run while the
    // application's first windows wait for their timers, not before them.
    engine::QueueCallback(engine::StartEngine);
    // Where browser views draw through the GPU, windows that may hold one
    // are made for it from the start.
    framework::SetTopLevelWindowsComposited(engine::ChooseRendering());

    engine::SetShutdownHook(engine::CloseAllBrowsers);
    // The script engine of the pages starts with the library here: the
    // application registers its extensions now, before any page exists.
    if (app) {
        if (CefRefPtr<CefRenderProcessHandler> render = app->GetRenderProcessHandler()) {
            render->OnWebKitInitialized();
        }
    }
    // The library tells the application that its context is ready once it
    // runs its message loop.
    if (app) {
        if (CefRefPtr<CefBrowserProcessHandler> handler = app->GetBrowserProcessHandler()) {
            engine::QueueCallback([handler] { handler->OnContextInitialized(); });
        }
    }
    return true;
}

namespace engine {

void StartEngine() {
    Context& ctx = GetContext();
    if (!ctx.initialized || ctx.profile)
        return;
    const CefSettings& settings = ctx.settings;
    const QString cachePath = QDir::fromNativeSeparators(settings.cache_path);
    auto* profile = new QWebEngineProfile(QStringLiteral("VelkSTKApp"));
    profile->setPersistentStoragePath(cachePath);
    profile->setCachePath(cachePath + QLatin1String("/Cache"));
    profile->setPersistentCookiesPolicy(settings.persist_session_cookies
                                            ? QWebEngineProfile::ForcePersistentCookies
                                            : QWebEngineProfile::AllowPersistentCookies);
    if (!settings.accept_language_list.isEmpty()) {
        profile->setHttpAcceptLanguage(settings.accept_language_list);
    }
    profile->settings()->setDefaultTextEncoding(QStringLiteral("UTF-8"));
    ctx.profile = profile;
}

}  // namespace engine

void CefDoMessageLoopWork() {
    auto& queue = engine::Queue();
    // Deliver what is queued now; callbacks queued meanwhile wait for the
    // next pass, so one pass never runs forever. A pass also stops after
    // kPassBudgetMs once it delivered kPassLeastCount callbacks (a page can
    // send tens of thousands of packets at once): the rest waits for the
    // next pass, with the windows' own events handled in between.
    constexpr qint64 kPassBudgetMs = 50;
    constexpr std::size_t kPassLeastCount = 64;
    QElapsedTimer pass;
    pass.start();
    std::size_t n = queue.size();
    for (std::size_t done = 1; n-- > 0 && !queue.empty(); ++done) {
        std::function<void()> cb = std::move(queue.front());
        queue.pop_front();
        cb();
        if (done >= kPassLeastCount && pass.elapsed() >= kPassBudgetMs)
            break;
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    // Woken after the events above, or the wake-up would be taken by them
    // and the loop would wait for something else with callbacks queued.
    if (!queue.empty())
        AfxWakeMessageLoop();
}

void CefShutdown() {
    engine::Context& ctx = engine::GetContext();
    if (!ctx.initialized)
        return;
    // Browsers (and the windows that hold them) go before their profile,
    // while events are still processed; the profile's deletion writes the
    // cookie store and local storage to disk.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    if (engine::ShutdownHook())
        engine::ShutdownHook()();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    delete ctx.profile;
    ctx.profile = nullptr;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    engine::Queue().clear();
    ctx.app = nullptr;
    ctx.initialized = false;
}

void CefEnableHighDPISupport() {}

void CefQuitMessageLoop() {}
