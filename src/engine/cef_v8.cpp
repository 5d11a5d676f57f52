// Script contexts and extensions. An extension's code is injected into the
// main script world of every page and frame before the page's scripts; its
// native functions are bound to stubs that carry each call, with typed
// arguments and in call order, to the browser's bridge object, which hands
// it to the extension's handler (engine/channel_object.cpp).
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <map>

#include "engine/cef_browser.h"
#include "engine/cef_v8.h"
#include "engine/channel_object.h"
#include "engine/context.h"

namespace {

struct ScriptContext {
    CefRefPtr<CefBrowser> browser;
    CefRefPtr<CefFrame> frame;
};

std::vector<ScriptContext>& ContextStack() {
    static auto* stack = new std::vector<ScriptContext>();
    return *stack;
}

struct Extension {
    CefString name;
    CefString code;
    CefRefPtr<CefV8Handler> handler;
    QStringList natives;
};

std::vector<Extension>& Extensions() {
    static auto* list = new std::vector<Extension>();
    return *list;
}

QString ReadResource(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(f.readAll());
}

QString JsString(const QString& s) {
    // A JSON string is a valid script string literal, except for the two
    // line separators, which older engines reject inside literals.
    QString json = QString::fromUtf8(QJsonDocument(QJsonArray{s}).toJson(QJsonDocument::Compact));
    json = json.mid(1, json.size() - 2);
    json.replace(QChar(0x2028), QLatin1String("\\u2028"));
    json.replace(QChar(0x2029), QLatin1String("\\u2029"));
    return json;
}

// The script that sets up the bridge and then runs the extension's code
// (extension_prelude.js).
QString BuildInjectedScript(const Extension& ext) {
    static const QRegularExpression nativeDecl(
        QStringLiteral(R"(native\s+function\s+([A-Za-z_$][A-Za-z0-9_$]*)\s*\(\s*\)\s*;)"));
    QString code = ext.code;
    code.replace(nativeDecl, QString());

    QString natives;
    for (const QString& n : ext.natives) {
        natives += QStringLiteral("%1: { value: stub(%2) },").arg(n, JsString(n));
    }
    // The pieces go in at their marks in order, so that nothing in one piece
    // is ever taken for a mark.
    const QString prelude = ReadResource(QStringLiteral(":/engine/extension_prelude.js"));
    const QString marks[] = {QStringLiteral("/*@WEBCHANNEL@*/"), QStringLiteral("/*@NATIVES@*/"),
                             QStringLiteral("/*@CODE@*/")};
    const QString pieces[] = {ReadResource(QStringLiteral(":/qtwebchannel/qwebchannel.js")),
                              natives, code};
    QString s;
    qsizetype from = 0;
    for (int i = 0; i < 3; ++i) {
        const qsizetype at = prelude.indexOf(marks[i], from);
        if (at < 0)
            return QString();
        s += prelude.mid(from, at - from);
        s += pieces[i];
        from = at + marks[i].size();
    }
    s += prelude.mid(from);
    return s;
}

}  // namespace

// ---------------------------------------------------------------------------

CefV8Context::CefV8Context(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame)
    : m_browser(browser), m_frame(frame) {}
CefV8Context::~CefV8Context() = default;

CefRefPtr<CefV8Context> CefV8Context::GetCurrentContext() {
    auto& stack = ContextStack();
    if (stack.empty())
        return nullptr;
    return new CefV8Context(stack.back().browser, stack.back().frame);
}

CefRefPtr<CefBrowser> CefV8Context::GetBrowser() const {
    return m_browser;
}

CefRefPtr<CefFrame> CefV8Context::GetFrame() const {
    return m_frame;
}

bool CefRegisterExtension(const CefString& extensionName, const CefString& javascriptCode,
                          CefRefPtr<CefV8Handler> handler) {
    if (extensionName.isEmpty() || javascriptCode.isEmpty())
        return false;
    static const QRegularExpression nativeDecl(
        QStringLiteral(R"(native\s+function\s+([A-Za-z_$][A-Za-z0-9_$]*)\s*\(\s*\)\s*;)"));
    Extension ext{extensionName, javascriptCode, handler, {}};
    auto it = nativeDecl.globalMatch(javascriptCode);
    while (it.hasNext()) {
        const QString n = it.next().captured(1);
        if (!ext.natives.contains(n))
            ext.natives << n;
    }
    Extensions().push_back(ext);

    // Each page gets the script when it is made (InstallExtensions): a
    // script of the whole profile is not given again to a renderer that
    // replaced one that died, and the page would lose its bridge.
    return true;
}

namespace engine {

void InstallExtensions(QWebEnginePage* page) {
    for (const Extension& ext : Extensions()) {
        QWebEngineScript script;
        script.setName(QStringLiteral("extension:") + ext.name);
        script.setInjectionPoint(QWebEngineScript::DocumentCreation);
        script.setWorldId(QWebEngineScript::MainWorld);
        script.setRunsOnSubFrames(true);
        script.setSourceCode(BuildInjectedScript(ext));
        page->scripts().insert(script);
    }
}

void WithScriptContext(CefRefPtr<CefBrowser> browser, const std::function<void()>& fn) {
    WithScriptContext(browser, browser ? browser->GetMainFrame() : nullptr, fn);
}

void WithScriptContext(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                       const std::function<void()>& fn) {
    ContextStack().push_back(ScriptContext{browser, frame});
    fn();
    ContextStack().pop_back();
}

bool CallNativeFunction(CefRefPtr<CefBrowser> browser, const QString& name,
                        const CefV8ValueList& arguments) {
    return CallNativeFunction(browser, browser ? browser->GetMainFrame() : nullptr, name,
                              arguments);
}

bool CallNativeFunction(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                        const QString& name, const CefV8ValueList& arguments) {
    for (const Extension& ext : Extensions()) {
        if (!ext.natives.contains(name) || !ext.handler)
            continue;
        CefRefPtr<CefV8Value> retval;
        CefString exception;
        bool handled = false;
        WithScriptContext(browser, frame, [&] {
            handled = ext.handler->Execute(name, nullptr, arguments, retval, exception);
        });
        return handled;
    }
    return false;
}

}  // namespace engine
