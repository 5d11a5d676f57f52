// Single-instance services: named mutexes and the channel through which a
// second start hands its launch parameters to the running instance.
//
// Threading: user-interface thread.
#pragma once

#include <functional>

#include "framework/afxtypes.h"

using HANDLE = void*;
constexpr DWORD ERROR_ALREADY_EXISTS = 183;

// A named mutex is an exclusive lock on a per-user lock file named after the
// mutex; the operating system releases it when the process ends, however it
// ends. The handle is never closed by the system. An empty name makes an
// unnamed mutex, which nobody else can see.
HANDLE CreateMutexW(void* securityAttributes, BOOL initialOwner, const CString& name);
// The error code of the last call that sets one: ERROR_ALREADY_EXISTS after
// CreateMutexW found the name held by another process, the code of a failed
// program start (process.h); 0 otherwise.
DWORD GetLastError();
void SetLastError(DWORD error);

namespace platform {

// Server end, opened by the running instance's main frame under its class
// name. Each received text is given to `onText` on the user-interface
// thread; the sender waits until `onText` has returned. Only the same user
// can connect. Returns false when the channel could not be opened.
bool ListenForInstances(const CString& className, std::function<void(const CString&)> onText);
void StopListeningForInstances();

// Client end: when a running instance listens under `className`, sends it
// `text`, waits until it has been handled and returns true; returns false
// at once when nobody listens.
bool HandOffToInstance(const CString& className, const CString& text);

}  // namespace platform
