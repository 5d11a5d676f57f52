// The engine's process-wide state over Qt WebEngine: the browser profile
// made from the library settings, and the queue of client callbacks that
// CefDoMessageLoopWork delivers.
#pragma once

#include <QPointer>
#include <deque>
#include <functional>

#include "engine/cef_app.h"

class QWebEngineProfile;

namespace engine {

struct Context {
    bool initialized = false;
    bool flushRequested = false;
    CefSettings settings;
    CefRefPtr<CefApp> app;
    QWebEngineProfile* profile = nullptr;
    // The Chromium switches the engine was started with.
    QByteArray chromiumFlags;
};

Context& GetContext();

// Queues a client callback for the next CefDoMessageLoopWork and wakes the
// application's message loop.
void QueueCallback(std::function<void()> callback);
// Starts the engine (makes its browser profile) unless it runs already;
// CefInitialize has it done on the message loop's first pass, and whatever
// needs the engine earlier starts it.
void StartEngine();
// Hooks that the browser part of the engine registers to tear its browsers
// down before the profile goes.
void SetShutdownHook(std::function<void()> hook);

// The process's arguments (without the program name), as the framework
// received them.
QStringList ProcessArguments();
// The engine's process-type switch ("--type=...") of this process, or "".
QString ProcessType();

// The client callbacks waiting for CefDoMessageLoopWork, and the shutdown
// hook, for the process calls of the library.
std::deque<std::function<void()>>& Queue();
std::function<void()>& ShutdownHook();

// Where the browser cache goes: the requested directory where it can be
// written, else the user's data directory.
QString UsableCachePath(const QString& requested);
// The engine's switches made from the settings and the application's
// command-line additions.
QByteArray BuildChromiumFlags(const CefSettings& settings, CefRefPtr<CefCommandLine> cmd);

}  // namespace engine
