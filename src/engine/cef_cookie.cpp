// The global cookie manager: its store is written when the profile goes.
#include "engine/cef_cookie.h"

#include "engine/context.h"

CefRefPtr<CefCookieManager> CefCookieManager::GetGlobalManager(CefRefPtr<CefCompletionCallback>) {
    if (!engine::GetContext().initialized)
        return nullptr;
    return new CefCookieManager();
}

bool CefCookieManager::FlushStore(CefRefPtr<CefCompletionCallback> callback) {
    engine::GetContext().flushRequested = true;
    if (callback)
        engine::QueueCallback([callback] { callback->OnComplete(); });
    return true;
}
