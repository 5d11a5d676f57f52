// The application framework: windows with handles and window procedures,
// frames, the application object with its message loop and profile, message
// boxes. The system derives its windows from CWnd and CFrameWnd and its
// application object from CWinApp.
//
// Threading: everything here runs on the user-interface thread, except
// PostMessage, which may be called from any thread.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "framework/afxtypes.h"

#include <QtCore/qnamespace.h>

class QWidget;
class QPainter;
class QVariant;

// The sizing border that a thick-frame window without a caption keeps
// around its client area (the frame metrics of the system).
constexpr int AFX_CXFRAME = 4;
constexpr int AFX_CYFRAME = 4;

namespace framework {
class PeerWidget;
}

// A device context for painting a window: a thin wrapper over the toolkit's
// painter, valid for the duration of one paint or border draw.
class CDC {
public:
    explicit CDC(QPainter* painter) : m_painter(painter) {}
    void FillSolidRect(const RECT& r, COLORREF color);
    // Excludes `r` from further painting.
    void ExcludeClipRect(const RECT& r);
    // Draws the outline of `r` with a pen of the given width and colour.
    void DrawRectOutline(const RECT& r, int penWidth, COLORREF color);
    QPainter* painter() const { return m_painter; }

private:
    QPainter* m_painter;
    RECT m_excluded{};
    bool m_hasExcluded = false;
};

class CWnd {
public:
    CWnd();
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;
    HWND GetSafeHwnd() const { return m_hWnd; }

    // The window object of a handle, or nullptr once the window is gone.
    static CWnd* FromHandle(HWND h);
    // `object` when it is a window object whose window exists, else nullptr;
    // never touches a stale pointer.
    static CWnd* FromLiveObject(const void* object);
    // False once the object is deleted (for creators of self-deleting
    // windows whose creation failed).
    std::shared_ptr<bool> AliveToken() const { return m_alive; }

    // Creation. PreCreateWindow may change the create structure; WM_CREATE
    // (OnCreate) returning -1 makes the creation fail.
    virtual BOOL PreCreateWindow(CREATESTRUCT& cs);
    BOOL CreateEx(DWORD exStyle, const CString& className, const CString& windowName, DWORD style,
                  int x, int y, int cx, int cy, HWND parent, UINT id, void* createParams = nullptr);
    BOOL Create(const CString& className, const CString& windowName, DWORD style, const RECT& rect,
                CWnd* parent, UINT id, void* context = nullptr);
    BOOL DestroyWindow();

    // The window procedure: dispatches standard messages to the typed
    // handlers below; overrides handle custom messages and call the base.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Default processing of the message being handled.
    LRESULT Default();

    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

    // Timers of this window: fixed ids, setting an id again re-arms it.
    UINT_PTR SetTimer(UINT_PTR id, UINT elapseMs);
    BOOL KillTimer(UINT_PTR id);

    // Window state and placement.
    BOOL ShowWindow(int cmd);
    BOOL IsWindowVisible() const;
    BOOL IsIconic() const;
    BOOL IsZoomed() const;
    void GetWindowRect(RECT* r) const;
    void GetClientRect(RECT* r) const;
    // Conversions between client and screen coordinates.
    void ClientToScreen(POINT* p) const;
    void ScreenToClient(POINT* p) const;
    BOOL SetWindowPos(HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
    void MoveWindow(int x, int y, int cx, int cy, BOOL repaint = TRUE);
    void MoveWindow(const RECT& r, BOOL repaint = TRUE);
    void SetWindowText(const CString& text);
    CString GetWindowText() const;
    DWORD GetStyle() const;
    DWORD GetExStyle() const;
    BOOL ModifyStyle(DWORD remove, DWORD add, UINT swpFlags = 0);
    BOOL ModifyStyleEx(DWORD remove, DWORD add, UINT swpFlags = 0);
    CWnd* GetParent() const;
    BOOL SetForegroundWindow();
    BOOL FlashWindow(BOOL invert);
    void Invalidate();
    void UpdateWindow();
    void SetFocus();
    // The window region in window coordinates; an empty rectangle removes it.
    int SetWindowRgn(const RECT& region, BOOL redraw);
    // Sets the opacity of a layered window (0 to 255).
    BOOL SetLayeredAlpha(BYTE alpha);
    // Paints directly on the window (outside a paint message), as a window
    // device context does: the callback receives a device context whose
    // origin is the window's top-left corner.
    void PaintWindow(const std::function<void(CDC&)>& paint);

    // The toolkit peer; for the layers only.
    QWidget* GetPeer() const;

protected:
    // Typed handlers of standard messages; each base version does the
    // default processing of its message.
    virtual int OnCreate(CREATESTRUCT* cs);
    virtual void OnDestroy();
    virtual void OnNcDestroy();
    virtual void PostNcDestroy();
    virtual void OnClose();
    virtual void OnSize(UINT type, int cx, int cy);
    virtual void OnMove(int x, int y);
    virtual void OnMoving(UINT edge, RECT* r);
    virtual void OnSizing(UINT edge, RECT* r);
    virtual void OnTimer(UINT_PTR id);
    virtual void OnGetMinMaxInfo(MINMAXINFO* mmi);
    virtual BOOL OnEraseBkgnd(CDC* dc);
    virtual void OnPaint();
    virtual BOOL OnNcActivate(BOOL active);
    virtual void OnNcPaint();
    virtual void OnSetFocus(CWnd* oldWnd);
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);

private:
    friend class framework::PeerWidget;
    friend struct WindowTable;
    friend BOOL DestroyWindow(HWND);
    void ApplyStyles();
    Qt::WindowFlags ToolkitFlags() const;
    bool HasCaption() const;
    bool IsFrameless() const;
    // Where the client area starts in window coordinates: inside the
    // sizing border of a thick-frame window without a caption.
    POINT ClientOffset() const;
    // Places a decorated window so that its outer frame, decorations
    // included, covers `outer`; completed once the window manager has told
    // the size of its decorations.
    void PlaceOuterFrame(const RECT& outer);
    void CompleteOuterPlacement();

    struct CurrentMessage {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    CurrentMessage m_current{};
    framework::PeerWidget* m_peer = nullptr;
    DWORD m_style = 0;
    DWORD m_exStyle = 0;
    UINT m_id = 0;
    POINT m_clientOffset{};
    // A decorated window's requested outer rectangle, until the window
    // manager has told the size of its decorations.
    RECT m_pendingOuter{};
    bool m_hasPendingOuter = false;
    // Created visible: shown once the loop runs, unless hidden before.
    bool m_showPending = false;
    RECT m_region{};
    bool m_hasRegion = false;
    CDC* m_paintDC = nullptr;
    std::vector<std::function<void(CDC&)>> m_pendingPaints;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

class CFrameWnd : public CWnd {
public:
    // Creates the frame as a top-level window with the application icon;
    // `resourceId` names the icon and menu resource (the framework has no
    // menus, so the frame never shows one).
    virtual BOOL LoadFrame(UINT resourceId, DWORD style = WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE,
                           CWnd* parent = nullptr, void* context = nullptr);
    // Frames have no menu bar; these keep the system's menu removal valid.
    HMENU GetMenu() const { return nullptr; }
    BOOL SetMenu(HMENU) { return TRUE; }

protected:
    BOOL PreCreateWindow(CREATESTRUCT& cs) override;
    void OnSize(UINT type, int cx, int cy) override;
    void PostNcDestroy() override;
};

// The answer port for message boxes, so tests can answer them.
class MessageBoxPort {
public:
    virtual ~MessageBoxPort() = default;
    virtual int Show(const CString& text, const CString& caption, UINT type) = 0;
};

class CWinApp {
public:
    explicit CWinApp(const CString& appName = CString());
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    virtual BOOL InitInstance();
    // One step of the message loop: handles the pending events, waiting for
    // one when there is none. FALSE once the quit message has arrived.
    virtual BOOL PumpMessage();
    virtual int ExitInstance();
    // Runs PumpMessage until the quit message, then ExitInstance.
    virtual int Run();
    // The application's pending work while a nested loop runs (a message
    // box, a menu): called each time such a loop wakes for work announced
    // with AfxWakeMessageLoop, so that nothing waits for the box to close.
    // The default does nothing.
    virtual void OnNestedLoopWork() {}

    // Per-user profile, in sections, under the registry key and the
    // application name (realised with QSettings' native format).
    void SetRegistryKey(const CString& key);
    CString GetProfileString(const CString& section, const CString& entry,
                             const CString& def = CString());
    UINT GetProfileInt(const CString& section, const CString& entry, int def);
    // A value that cannot be written stays in memory for the rest of the
    // run, where the readers above find it; the first such failure of a run
    // is told to OnProfileNotSaved.
    BOOL WriteProfileString(const CString& section, const CString& entry, const CString& value);
    BOOL WriteProfileInt(const CString& section, const CString& entry, int value);
    // The first time in a run that a value could not be written to the
    // profile's `file` (or its directory made), for `reason`. The default
    // does nothing.
    virtual void OnProfileNotSaved(const QString& file, const QString& reason) {
        (void)file;
        (void)reason;
    }

    void SetAppID(const CString& id) { m_appId = id; }
    void EnableTaskbarInteraction(BOOL enable) { m_taskbarInteraction = enable; }

    CWnd* m_pMainWnd = nullptr;
    CString m_pszAppName;  // the executable's file name without extension
    CString m_pszRegistryKey;
    DWORD m_dwRestartManagerSupportFlags = 0;

protected:
    BOOL WriteProfileValue(const CString& section, const CString& entry, const QVariant& value);

    CString m_appId;
    BOOL m_taskbarInteraction = TRUE;
    bool m_registryKeySet = false;

private:
    // Values that could not be written, by their profile key.
    std::map<QString, QString> m_unsaved;
    bool m_toldUnsaved = false;
};

// Marks a nested loop for its lifetime (message boxes and menus open one):
// the loop then does the application's pending work whenever it wakes.
class CNestedLoopScope {
public:
    CNestedLoopScope();
    ~CNestedLoopScope();
    CNestedLoopScope(const CNestedLoopScope&) = delete;
    CNestedLoopScope& operator=(const CNestedLoopScope&) = delete;
};
// Wakes whichever loop runs, the main one or a nested one, for the
// application's pending work. May be called from any thread.
void AfxWakeMessageLoop();

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
// A modal box: runs a nested loop until answered, in which the other
// windows keep receiving their messages. The caller's window may be gone
// when it returns; code that continues checks that its object still exists.
int AfxMessageBox(const CString& text, UINT type = MB_OK, UINT helpId = 0);
void AfxSetMessageBoxPort(MessageBoxPort* port);  // nullptr: the real boxes

// The process entry: creates the toolkit application (with a one-element
// argument list, so neither the toolkit nor the browser engine reads the
// command line), keeps the real command line for GetCommandLineW, and runs
// the application object's InitInstance and Run.
int AfxWinMain(int argc, char** argv);

// The process command line as one text: the executable's path quoted, then
// the arguments joined by spaces.
CString GetCommandLineW();
// Sets the command line text (AfxWinMain does it; tests may too).
void SetCommandLineForProcess(const CString& text);
// The marker that ends the executable's name in the command line: ".exe"
// on Windows, elsewhere the file name the program was started by (the
// command line's first word).
CString ExecutableMarker();
// The program's arguments, each as the process got it (a link with spaces
// stays one argument); for a command line given as text, its words after
// the program's name.
QStringList CommandLineArguments();
// Whether one of the program's arguments is exactly `name`.
bool HasCommandLineSwitch(const CString& name);

// Window functions on handles. Each is harmless on a handle whose window no
// longer exists.
// Milliseconds on the clock that drives the window timers.
ULONGLONG GetTickCount64();
BOOL IsWindow(HWND h);
LRESULT SendMessage(HWND h, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PostMessage(HWND h, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);
BOOL DestroyWindow(HWND h);
HWND GetParent(HWND h);
HWND GetAncestor(HWND h, UINT flags);
HWND GetWindow(HWND h, UINT cmd);
BOOL ShowWindow(HWND h, int cmd);
BOOL IsIconic(HWND h);
BOOL IsWindowVisible(HWND h);
BOOL SetWindowPos(HWND h, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
BOOL SetWindowTextW(HWND h, const CString& text);
BOOL GetWindowRect(HWND h, RECT* r);
// Windows that are not the framework's (the desktop, the taskbar) get their
// rectangles from the platform layer.
void SetForeignWindowRectProvider(std::function<bool(HWND, RECT*)> provider);
LONG GetWindowLongW(HWND h, int index);
LONG SetWindowLongW(HWND h, int index, LONG value);
BOOL SetForegroundWindow(HWND h);
BOOL ReleaseCapture();
HWND GetDesktopWindow();
// Deferred window positions: collected, then applied together.
using HDWP = void*;
HDWP BeginDeferWindowPos(int count);
HDWP DeferWindowPos(HDWP info, HWND h, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
BOOL EndDeferWindowPos(HDWP info);
constexpr UINT RDW_INVALIDATE = 0x0001;
constexpr UINT RDW_ERASE = 0x0004;
constexpr UINT RDW_ALLCHILDREN = 0x0080;
constexpr UINT RDW_FRAME = 0x0400;
BOOL RedrawWindow(HWND h, const RECT* update, void* region, UINT flags);

// How many windows exist; for tests and diagnostics.
int WindowCount();

// Posted messages whose wParam carries an owned object register a disposer:
// when such a message cannot be delivered (its window is gone) the object is
// disposed instead of leaked.
void RegisterPostedPayloadDisposer(UINT message, void (*dispose)(WPARAM));
// Delivers every posted message that is waiting; for tests.
void DeliverPostedMessages();
// Drops the messages still waiting (disposing their payloads); for shutdown.
void DiscardPostedMessages();

void Sleep(DWORD ms);

// System cursors, and the cursor of a window class: every window created
// from then on with that class name shows it (the class registration's
// cursor; the framework keeps no other class attributes). Unknown ids give
// the arrow.
constexpr int IDC_ARROW = 32512;
constexpr int IDC_HAND = 32649;
void AfxSetClassCursor(const CString& className, int cursorId);

// The application's icon resource (128); other ids give no icon. The
// handle stays valid for the life of the process.
HICON LoadIconW(HINSTANCE instance, int resourceId);
constexpr int IDI_APPLICATION_ICON = 128;
// The application's icon, named by its resource path (":/..."): set once by
// the program's start-up, it is what LoadIconW(IDI_APPLICATION_ICON) gives
// and what every frame shows. Until then that icon is empty.
void AfxSetApplicationIcon(const CString& resourcePath);
