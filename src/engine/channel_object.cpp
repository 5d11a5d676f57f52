#include "engine/channel_object.h"

#include "engine/qt_browser.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace engine {

CefV8ValueList DecodeArguments(const QString& payload) {
    CefV8ValueList args;
    const QJsonDocument doc = QJsonDocument::fromJson(payload.toUtf8());
    if (!doc.isArray())
        return args;
    for (const auto& v : doc.array()) {
        const QJsonObject o = v.toObject();
        const QString t = o.value(QLatin1String("t")).toString();
        if (t == QLatin1String("string")) {
            args.push_back(CefV8Value::CreateString(o.value(QLatin1String("s")).toString()));
        } else if (t == QLatin1String("undefined")) {
            args.push_back(CefV8Value::CreateUndefined());
        } else if (t == QLatin1String("null")) {
            args.push_back(CefV8Value::CreateOfType(CefV8Value::kNull));
        } else if (t == QLatin1String("boolean")) {
            args.push_back(CefV8Value::CreateOfType(CefV8Value::kBool));
        } else if (t == QLatin1String("number") || t == QLatin1String("bigint")) {
            args.push_back(CefV8Value::CreateOfType(CefV8Value::kNumber));
        } else if (t == QLatin1String("function")) {
            args.push_back(CefV8Value::CreateOfType(CefV8Value::kFunction));
        } else if (t == QLatin1String("array")) {
            args.push_back(CefV8Value::CreateOfType(CefV8Value::kArray));
        } else {
            args.push_back(CefV8Value::CreateOfType(CefV8Value::kObject));
        }
    }
    return args;
}

namespace {

// A frame as the bridge knew it when it made a call: the top frame with its
// address at that moment, or a frame below it known only by its origin.
// Its messages go through its browser; script and addresses cannot be sent
// to it.
class SenderFrame final : public CefFrame {
public:
    SenderFrame(CefRefPtr<QtBrowser> browser, const QString& url, CefRefPtr<CefFrame> parent)
        : m_browser(browser), m_url(url), m_parent(parent) {}

    void LoadURL(const CefString&) override {}
    void ExecuteJavaScript(const CefString&, const CefString&, int) override {}
    CefString GetURL() override { return m_url; }
    bool IsMain() override { return !m_parent; }
    CefRefPtr<CefFrame> GetParent() override { return m_parent; }
    CefRefPtr<CefBrowser> GetBrowser() override { return m_browser.get(); }
    bool SendProcessMessage(CefProcessId target, CefRefPtr<CefProcessMessage> message) override {
        return m_browser->SendFromFrame(this, target, message);
    }

private:
    CefRefPtr<QtBrowser> m_browser;
    QString m_url;
    CefRefPtr<CefFrame> m_parent;
    IMPLEMENT_REFCOUNTING(SenderFrame);
};

}  // namespace

void ChannelObject::call(const QString& name, const QString& payload, const QString& relayedFrom) {
    if (!m_browser)
        return;
    // The top frame's address is the browser's own, never what the page
    // says; a relayed frame's origin is what the engine told the top frame.
    CefRefPtr<CefFrame> top = new SenderFrame(m_browser, m_browser->GetURL(), nullptr);
    CefRefPtr<CefFrame> frame =
        relayedFrom.isEmpty() ? top
                              : CefRefPtr<CefFrame>(new SenderFrame(m_browser, relayedFrom, top));
    CallNativeFunction(m_browser, frame, name, DecodeArguments(payload));
}

}  // namespace engine
