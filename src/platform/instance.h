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
//
// Lock files and channels live in a directory of this user's alone: the
// session's runtime directory (XDG_RUNTIME_DIR), or, when there is none,
// "velk-<uid>" in the temporary directory, made with mode 0700. A directory
// that is not this user's alone (PrivateDirectoryProblem) is not used: every
// mutex is then unnamed and no channel is opened, so the program runs
// without the single-instance guard, which it says once on standard error.
HANDLE CreateMutexW(void* securityAttributes, BOOL initialOwner, const CString& name);
// The error code of the last call that sets one: ERROR_ALREADY_EXISTS after
// CreateMutexW found the name held by another process, the code of a failed
// program start (process.h); 0 otherwise.
DWORD GetLastError();
void SetLastError(DWORD error);

namespace platform {

// What a later start asks of the running instance.
struct InstanceRequest {
    enum Kind : quint8 { kLaunchParameters = 1, kShowMainChat = 2 };
    Kind kind = kLaunchParameters;
    // The later start's launch-parameter packet text.
    CString text;
    // The later start's activation tokens (XDG_ACTIVATION_TOKEN and
    // DESKTOP_STARTUP_ID), which let the running instance's window come to
    // the front. Either may be empty.
    QByteArray activationToken;
    QByteArray startupId;
};

// The request as it crosses the channel: "VLKH", a version byte (1), the
// kind byte, the two tokens and the text, each after its length (16 bits
// for a token, 32 bits for the text, big-endian). Tokens are at most 4 KiB,
// the text at most 1 MiB.
constexpr qsizetype kMaxInstanceToken = 4096;
constexpr qsizetype kMaxInstanceText = 1 << 20;
QByteArray EncodeInstanceRequest(const InstanceRequest& request);
enum class DecodeResult { kComplete, kIncomplete, kRefused };
// Reads one request from the front of `buffer` and removes it (kComplete);
// kIncomplete when more bytes are needed; kRefused for anything else: a
// wrong mark or version, an unknown kind, a length over its limit.
DecodeResult DecodeInstanceRequest(QByteArray& buffer, InstanceRequest* request);

// Why `path` may not hold the lock files and channels of user `uid`, or
// empty when it may: it must be a directory, not a symbolic link, that
// `uid` owns, with no rights for its group or others.
QString PrivateDirectoryProblem(const QString& path, quint32 uid);

// The local socket's path of the channel under `className`; empty when
// there is no private directory for it.
QString InstanceChannelPath(const CString& className);

// Server end, opened by the running instance's main frame under its class
// name. Each request is given to `onRequest` on the user-interface thread,
// with the sender's Wayland activation token put in this process's
// environment for the toolkit to use (its X11 startup id is the receiver's
// to complete); the sender waits until `onRequest` has returned.
// Only the same user is heard: a connection from a process of another user
// (its credentials, SO_PEERCRED) is closed at once and said so on standard
// error. A malformed request, or none within ten
// seconds, closes its connection and nothing else. Returns false when the
// channel could not be opened.
bool ListenForInstances(const CString& className,
                        std::function<void(const InstanceRequest&)> onRequest);
void StopListeningForInstances();

// Client end: when a running instance listens under `className`, sends it
// `request` and waits until it has been handled: true. False at once when
// nobody listens, and after `timeoutMs` when the instance does not answer
// (stopped or hung). A listener of another user is sent nothing (false).
bool HandOffToInstance(const CString& className, const InstanceRequest& request,
                       int timeoutMs = 10000);

}  // namespace platform
