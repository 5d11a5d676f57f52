// The script side of the library: values of script calls, the current
// script context, native-function handlers and script extensions.
//
// Threading: the renderer thread, which in this engine is the
// user-interface thread (pages run their bridge calls into it).
#pragma once

#include <functional>
#include <vector>

#include "engine/cef_base.h"

class CefBrowser;
class CefFrame;
class CefV8Value;
using CefV8ValueList = std::vector<CefRefPtr<CefV8Value>>;

// A script value as it reached the native side: its type and, for strings,
// its text.
class CefV8Value : public virtual CefBaseRefCounted {
public:
    enum Type { kUndefined, kNull, kBool, kNumber, kString, kObject, kFunction, kArray };
    static CefRefPtr<CefV8Value> CreateUndefined() { return new CefV8Value(kUndefined, {}); }
    static CefRefPtr<CefV8Value> CreateString(const CefString& s) {
        return new CefV8Value(kString, s);
    }
    static CefRefPtr<CefV8Value> CreateOfType(Type type) { return new CefV8Value(type, {}); }

    Type GetType() const { return m_type; }
    bool IsUndefined() const { return m_type == kUndefined; }
    bool IsNull() const { return m_type == kNull; }
    bool IsString() const { return m_type == kString; }
    bool IsFunction() const { return m_type == kFunction; }
    // The text of a string value; empty for every other type.
    CefString GetStringValue() const { return m_type == kString ? m_string : CefString(); }

private:
    CefV8Value(Type type, const CefString& s) : m_type(type), m_string(s) {}
    Type m_type;
    CefString m_string;
    IMPLEMENT_REFCOUNTING(CefV8Value);
};

class CefV8Context : public virtual CefBaseRefCounted {
public:
    // The context of the script call being handled; empty outside one.
    static CefRefPtr<CefV8Context> GetCurrentContext();
    CefRefPtr<CefBrowser> GetBrowser() const;
    // The frame whose script made the call.
    CefRefPtr<CefFrame> GetFrame() const;

    CefV8Context(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame);
    ~CefV8Context() override;

private:
    CefRefPtr<CefBrowser> m_browser;
    CefRefPtr<CefFrame> m_frame;
    IMPLEMENT_REFCOUNTING(CefV8Context);
};

class CefV8Handler : public virtual CefBaseRefCounted {
public:
    // Called for a native function of an extension. Returns true when the
    // call was handled; `retval` and `exception` stay untouched to give
    // undefined and no exception.
    virtual bool Execute(const CefString& name, CefRefPtr<CefV8Value> object,
                         const CefV8ValueList& arguments, CefRefPtr<CefV8Value>& retval,
                         CefString& exception) = 0;
};

// Registers script code that runs in every page and frame before the page's
// own scripts; its "native function NAME();" declarations reach `handler`.
bool CefRegisterExtension(const CefString& extensionName, const CefString& javascriptCode,
                          CefRefPtr<CefV8Handler> handler);

class QWebEnginePage;

namespace engine {
// Gives `page` the code of every registered extension, to run in each of
// its documents and frames before their own scripts.
void InstallExtensions(QWebEnginePage* page);

// Runs `fn` with the script context of `frame` in `browser` (by default
// its main frame) as the current one (for the engine's bridge and for
// tests).
void WithScriptContext(CefRefPtr<CefBrowser> browser, const std::function<void()>& fn);
void WithScriptContext(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                       const std::function<void()>& fn);

// Hands a native-function call to the extension that declared `name`, made
// by the script of `frame` in `browser` (by default its main frame). False
// when nobody handled it.
bool CallNativeFunction(CefRefPtr<CefBrowser> browser, const QString& name,
                        const CefV8ValueList& arguments);
bool CallNativeFunction(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                        const QString& name, const CefV8ValueList& arguments);
}  // namespace engine
