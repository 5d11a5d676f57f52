// The library's global cookie manager.
#pragma once

#include "engine/cef_base.h"

class CefCompletionCallback : public virtual CefBaseRefCounted {
public:
    virtual void OnComplete() = 0;
};

class CefCookieManager : public virtual CefBaseRefCounted {
public:
    // The manager of the global request context; empty before CefInitialize.
    static CefRefPtr<CefCookieManager> GetGlobalManager(CefRefPtr<CefCompletionCallback> callback);
    // Asks for the cookie store to reach disk. The engine writes it when the
    // browser profile closes (at CefShutdown), which the program's orderly
    // shutdown always reaches; the request is remembered until then.
    bool FlushStore(CefRefPtr<CefCompletionCallback> callback);

private:
    IMPLEMENT_REFCOUNTING(CefCookieManager);
};
