// Script contexts and extensions. An extension's code is injected into the
// main script world of every page and frame before the page's scripts; its
// native functions are bound to stubs that carry each call, with typed
// arguments and in call order, to the browser's bridge object, which hands
// it to the extension's handler (engine/bridge.cpp).
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <map>

#include "engine/bridge.h"
#include "engine/cef_browser.h"
#include "engine/cef_v8.h"
#include "engine/context.h"

namespace {

std::vector<CefRefPtr<CefBrowser>>& ContextStack() {
    static auto* stack = new std::vector<CefRefPtr<CefBrowser>>();
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

QString QWebChannelSource() {
    QFile f(QStringLiteral(":/qtwebchannel/qwebchannel.js"));
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

// The script that sets up the bridge and then runs the extension's code.
// The extension's code runs at global scope (its "var" declarations are
// globals) inside a `with` over an object that holds the native function
// stubs, so that only that code sees them. The
// channel reaches only a page's top frame: frames below relay their calls
// to it.
QString BuildInjectedScript(const Extension& ext) {
    static const QRegularExpression nativeDecl(
        QStringLiteral(R"(native\s+function\s+([A-Za-z_$][A-Za-z0-9_$]*)\s*\(\s*\)\s*;)"));
    QString code = ext.code;
    code.replace(nativeDecl, QString());

    QString natives;
    for (const QString& n : ext.natives) {
        natives += QStringLiteral("%1: { value: stub(%2) },").arg(n, JsString(n));
    }
    QString s;
    s += QStringLiteral("with ((function () {\n");
    s += QStringLiteral("var QWebChannel = (function () { var module;\n");
    s += QWebChannelSource();
    s += QStringLiteral("\nreturn QWebChannel; })();\n");
    s += QStringLiteral(R"JS(
var MARK = '__velkBridgeRelay';
var isTop = (window === window.top);
var bridge = null, queue = [];
// Calls made before the channel is ready wait, in order, and go out as
// soon as it is.
function deliver(name, payload) {
  if (bridge) { bridge.call(name, payload, function () {}); } else { queue.push([name, payload]); }
}
if (isTop) {
  var start = function () {
    if (!(window.qt && window.qt.webChannelTransport)) { return false; }
    new QWebChannel(window.qt.webChannelTransport, function (channel) {
      bridge = channel.objects.velkBridge;
      var pending = queue; queue = [];
      for (var i = 0; i < pending.length; ++i) { bridge.call(pending[i][0], pending[i][1], function () {}); }
    });
    return true;
  };
  if (!start()) {
    var tries = 0;
    var timer = setInterval(function () { if (start() || ++tries > 500) { clearInterval(timer); } }, 10);
  }
  window.addEventListener('message', function (e) {
    var d = e.data;
    if (d && typeof d === 'object' && d[MARK] === true && typeof d.name === 'string' &&
        typeof d.payload === 'string') {
      deliver(d.name, d.payload);
    }
  }, true);
}
function typeOf(v) {
  if (v === null) { return 'null'; }
  if (Array.isArray(v)) { return 'array'; }
  return typeof v;
}
function stub(name) {
  return function () {
    var args = [];
    for (var i = 0; i < arguments.length; ++i) {
      var v = arguments[i];
      args.push({ t: typeOf(v), s: typeof v === 'string' ? v : '' });
    }
    var payload = JSON.stringify(args);
    if (isTop) {
      deliver(name, payload);
    } else {
      var m = { name: name, payload: payload };
      m[MARK] = true;
      try { window.top.postMessage(m, '*'); } catch (e) {}
    }
    return undefined;
  };
}
return Object.create(null, {)JS");
    s += natives;
    s += QStringLiteral("});\n})()) {\n");
    s += code;
    s += QStringLiteral("\n}\n");
    return s;
}

}  // namespace

// ---------------------------------------------------------------------------

CefV8Context::CefV8Context(CefRefPtr<CefBrowser> browser) : m_browser(browser) {}
CefV8Context::~CefV8Context() = default;

CefRefPtr<CefV8Context> CefV8Context::GetCurrentContext() {
    auto& stack = ContextStack();
    if (stack.empty())
        return nullptr;
    return new CefV8Context(stack.back());
}

CefRefPtr<CefBrowser> CefV8Context::GetBrowser() const {
    return m_browser;
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

    engine::Context& ctx = engine::GetContext();
    if (!ctx.profile)
        return true;
    QWebEngineScript script;
    script.setName(QStringLiteral("extension:") + extensionName);
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(QWebEngineScript::MainWorld);
    script.setRunsOnSubFrames(true);
    script.setSourceCode(BuildInjectedScript(ext));
    ctx.profile->scripts()->insert(script);
    return true;
}

namespace engine {

void WithScriptContext(CefRefPtr<CefBrowser> browser, const std::function<void()>& fn) {
    ContextStack().push_back(browser);
    fn();
    ContextStack().pop_back();
}

bool CallNativeFunction(CefRefPtr<CefBrowser> browser, const QString& name,
                        const CefV8ValueList& arguments) {
    for (const Extension& ext : Extensions()) {
        if (!ext.natives.contains(name) || !ext.handler)
            continue;
        CefRefPtr<CefV8Value> retval;
        CefString exception;
        bool handled = false;
        WithScriptContext(browser, [&] {
            handled = ext.handler->Execute(name, nullptr, arguments, retval, exception);
        });
        return handled;
    }
    return false;
}

}  // namespace engine
