// The native jsPacket function: which calls become a "jsPacket" message to
// the browser process and what the message carries.
#include "FakeBrowser.h"
#include "app/ClientApp.h"
#include "bridge/V8Handler.h"
#include "engine/cef_v8.h"
#include "engine/channel_object.h"
#include "testsupport.h"

namespace {

using V = CefV8Value;

CefRefPtr<V> Str(const QString& s) {
    return V::CreateString(s);
}
CefRefPtr<V> Of(V::Type t) {
    return V::CreateOfType(t);
}

class BridgeTest : public ComponentTest {
protected:
    // Calls the handler as a page in `page` would, with a return value and
    // an exception that the call must leave as they are.
    bool Call(CefRefPtr<FakeBrowser> page, const QString& name, const CefV8ValueList& args) {
        bool handled = false;
        engine::WithScriptContext(page, [&] {
            CefRefPtr<V> retval = keptRetval;
            CefString exception = "kept";
            handled = handler->Execute(name, Of(V::kObject), args, retval, exception);
            EXPECT_EQ(retval.get(), keptRetval.get());
            EXPECT_EQ(exception, "kept");
        });
        return handled;
    }
    CefRefPtr<CMyV8Handler> handler = new CMyV8Handler();
    CefRefPtr<FakeBrowser> page = FakeBrowser::Create();
    CefRefPtr<V> keptRetval = Str("untouched");
};

TEST_F(BridgeTest, JsPacketSendsEveryArgumentAsItsStringValue) {
    const QString packet = "<PKT><GBN>9000</GBN><CMD>23</CMD></PKT>";
    struct Case {
        const char* name;
        CefV8ValueList args;
        QStringList sent;
    };
    const Case cases[] = {
        {"callback function", {Str(packet), Of(V::kFunction)}, {packet, ""}},
        {"string callback kept", {Str(packet), Str("cb")}, {packet, "cb"}},
        {"no callback", {Str(packet), Of(V::kUndefined)}, {packet, ""}},
        {"one argument", {Str(packet)}, {packet}},
        {"non-strings become empty",
         {Str(packet), Of(V::kNumber), Of(V::kBool), Of(V::kNull), Of(V::kObject), Of(V::kArray),
          Str("last")},
         {packet, "", "", "", "", "", "last"}},
        {"text carried unchanged",
         {Str("<PKT><MSG>a\nb \"q\" 50% \\ '</MSG></PKT>"), Of(V::kFunction)},
         {"<PKT><MSG>a\nb \"q\" 50% \\ '</MSG></PKT>", ""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        page->sentMessages.clear();
        EXPECT_TRUE(Call(page, "jsPacket", c.args));
        EXPECT_EQ(page->sentMessages,
                  std::vector<FakeBrowser::Message>({{PID_BROWSER, "jsPacket", c.sent}}));
    }
}

TEST_F(BridgeTest, JsPacketWithoutANonEmptyStringFirstSendsNothing) {
    struct Case {
        const char* name;
        CefV8ValueList args;
    };
    const Case cases[] = {
        {"no arguments", {}},
        {"empty string", {Str(""), Of(V::kFunction)}},
        {"number", {Of(V::kNumber), Str("cb")}},
        {"object", {Of(V::kObject), Of(V::kUndefined)}},
        {"undefined", {Of(V::kUndefined), Of(V::kUndefined)}},
        {"function", {Of(V::kFunction)}},
        {"null", {Of(V::kNull)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(Call(page, "jsPacket", c.args)) << "handled, with no error for the page";
        EXPECT_TRUE(page->sentMessages.empty());
    }
}

TEST_F(BridgeTest, OtherFunctionNamesAreNotHandled) {
    for (const char* name : {"JsPacket", "jspacket", "jsPacket2", "isPC", ""}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(Call(page, name, {Str("<PKT></PKT>"), Of(V::kFunction)}));
        EXPECT_TRUE(page->sentMessages.empty());
    }
}

TEST_F(BridgeTest, MessageGoesToTheBrowserOfTheCallingPage) {
    CefRefPtr<FakeBrowser> other = FakeBrowser::Create();
    other->identifier = 2;
    EXPECT_TRUE(Call(other, "jsPacket", {Str("<PKT>b</PKT>"), Of(V::kUndefined)}));
    EXPECT_TRUE(Call(page, "jsPacket", {Str("<PKT>a</PKT>"), Of(V::kUndefined)}));
    EXPECT_EQ(page->sentMessages,
              std::vector<FakeBrowser::Message>({{PID_BROWSER, "jsPacket", {"<PKT>a</PKT>", ""}}}));
    EXPECT_EQ(other->sentMessages,
              std::vector<FakeBrowser::Message>({{PID_BROWSER, "jsPacket", {"<PKT>b</PKT>", ""}}}));
}

// The render-process side registers the extension whose native jsPacket
// reaches a CMyV8Handler; nothing else in it is native.
TEST_F(BridgeTest, RenderProcessSideRegistersTheBridgeExtension) {
    CefRefPtr<ClientApp> clientApp = new ClientApp();
    clientApp->OnWebKitInitialized();
    EXPECT_TRUE(
        engine::CallNativeFunction(page, "jsPacket", {Str("<PKT>a</PKT>"), Of(V::kFunction)}));
    EXPECT_EQ(page->sentMessages,
              std::vector<FakeBrowser::Message>({{PID_BROWSER, "jsPacket", {"<PKT>a</PKT>", ""}}}));
    EXPECT_FALSE(engine::CallNativeFunction(page, "isPC", {}));
}

}  // namespace
