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
    SenderFrame(CefRefPtr<QtBrowser> browser, const QString& url, CefRefPtr<CefFrame> parent,
                const CefDocumentRecord& record)
        : m_browser(browser), m_url(url), m_parent(parent), m_record(record) {}

    void LoadURL(const CefString&) override {}
    void ExecuteJavaScript(const CefString&, const CefString&, int) override {}
    CefString GetURL() override { return m_url; }
    bool IsMain() override { return !m_parent; }
    CefRefPtr<CefFrame> GetParent() override { return m_parent; }
    CefRefPtr<CefBrowser> GetBrowser() override { return m_browser.get(); }
    bool SendProcessMessage(CefProcessId target, CefRefPtr<CefProcessMessage> message) override {
        return m_browser->SendFromFrame(this, target, message);
    }
    CefDocumentRecord GetDocumentRecord() override { return m_record; }

private:
    CefRefPtr<QtBrowser> m_browser;
    QString m_url;
    CefRefPtr<CefFrame> m_parent;
    CefDocumentRecord m_record;
    IMPLEMENT_REFCOUNTING(SenderFrame);
};

}  // namespace

void ChannelObject::callBatch(const QJsonArray& calls) {
    // Who made the calls is what the engine has recorded of the page and
    // its group at this moment, when the calls arrive, before any later
    // load can change it: the engine hands a page's messages over in the
    // order the page sent them, and drops those of a document that another
    // has replaced. The top frame's address is the one its last load
    // brought, never what the page says (the history API); a relayed
    // frame's origin is what the engine told the top frame.
    if (!m_browser)
        return;
    const CefDocumentRecord record = m_browser->GetDocumentRecord();
    QString topAddress = m_browser->TopAddress();
    if (topAddress.isEmpty())
        topAddress = m_browser->GetURL();
    CefRefPtr<CefFrame> top;
    CefRefPtr<CefFrame> relayed;
    for (const auto& entry : calls) {
        // A call may close the browser.
        if (!m_browser)
            return;
        const QJsonArray c = entry.toArray();
        if (c.size() != 3 || !c[0].isString() || !c[1].isString() || !c[2].isString())
            continue;
        const QString from = c[2].toString();
        if (!top)
            top = new SenderFrame(m_browser, topAddress, nullptr, record);
        if (!from.isEmpty() && (!relayed || relayed->GetURL() != from))
            relayed = new SenderFrame(m_browser, from, top, record);
        CallNativeFunction(m_browser, from.isEmpty() ? top : relayed, c[0].toString(),
                           DecodeArguments(c[1].toString()));
    }
}

}  // namespace engine
