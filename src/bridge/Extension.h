// The script extension that gives every page and frame the bridge objects
// MApp and Zunta: isPC() returns true, and jsPacket(str, callback) hands
// both arguments to the native function jsPacket (CMyV8Handler), which sends
// the packet text to the browser process. The native function is declared
// inside each wrapper, so a page cannot call it directly.
//
// Threading: registered once, by the render-process handler's
// OnWebKitInitialized, which the engine calls in this process on the
// user-interface thread when it starts.
#pragma once

// The name the extension is registered under.
inline constexpr char16_t kExtensionName[] = u"v8/MApp";

// The extension's script: one line, the bodies indented with tabs. It runs
// before the page's own scripts, so both objects start fresh in every
// context.
extern const char16_t kExtensionCode[];
