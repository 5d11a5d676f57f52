// The native end of the script bridge: the function jsPacket that the
// extension's MApp.jsPacket and Zunta.jsPacket call. Each call becomes a
// process message "jsPacket" to the browser process carrying every argument's
// string value; nothing comes back to the page (the call yields undefined).
//
// Threading: the user-interface thread: the engine runs the render-process
// side in this process and calls the handler from the page's web-channel
// call (engine/channel_object.cpp).
#pragma once

#include "engine/cef_v8.h"

class CMyV8Handler : public CefV8Handler {
public:
    CMyV8Handler();
    ~CMyV8Handler() override;

    // Handles "jsPacket" only (false for any other name). Sends nothing when
    // there is no argument or the first one is not a non-empty string; leaves
    // `retval` and `exception` untouched in every case.
    bool Execute(const CefString& name, CefRefPtr<CefV8Value> object,
                 const CefV8ValueList& arguments, CefRefPtr<CefV8Value>& retval,
                 CefString& exception) override;

private:
    IMPLEMENT_REFCOUNTING(CMyV8Handler);
};
