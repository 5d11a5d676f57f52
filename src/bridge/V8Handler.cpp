#include "bridge/V8Handler.h"

#include "engine/cef_browser.h"
#include "engine/cef_values.h"

CMyV8Handler::CMyV8Handler() = default;
CMyV8Handler::~CMyV8Handler() = default;

bool CMyV8Handler::Execute(const CefString& name, CefRefPtr<CefV8Value>,
                           const CefV8ValueList& arguments, CefRefPtr<CefV8Value>&, CefString&) {
    if (name != QLatin1String("jsPacket"))
        return false;
    if (arguments.empty())
        return true;

    CefRefPtr<CefV8Context> context = CefV8Context::GetCurrentContext();
    CefRefPtr<CefFrame> frame = context ? context->GetFrame() : nullptr;

    // Only a non-empty string is a packet; anything else is dropped without
    // an error reaching the page.
    if (!arguments[0] || arguments[0]->GetStringValue().isEmpty())
        return true;

    // Every argument travels as its string value: a callback, undefined or
    // any other non-string arrives as an empty text.
    CefRefPtr<CefProcessMessage> message = CefProcessMessage::Create(name);
    CefRefPtr<CefListValue> args = message->GetArgumentList();
    for (size_t i = 0; i < arguments.size(); ++i) {
        args->SetString(i, arguments[i] ? arguments[i]->GetStringValue() : CefString());
    }
    // The frame goes with the message: the browser side learns who sent it.
    if (frame)
        frame->SendProcessMessage(PID_BROWSER, message);
    return true;
}
