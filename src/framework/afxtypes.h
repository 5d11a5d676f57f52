// Basic types, geometry and message constants of the application framework.
// The values are those of the Win32 API, so that the system's code reads and
// behaves as it does there; nothing here depends on the toolkit except
// QString, which is the framework's wide-character string.
#pragma once

#include <QString>
#include <cstdint>

using CString = QString;
using BOOL = int;
using UINT = unsigned int;
using UINT_PTR = std::uintptr_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using DWORD = std::uint32_t;
using ULONGLONG = std::uint64_t;
using WORD = std::uint16_t;
using BYTE = std::uint8_t;
using LONG = long;
using COLORREF = std::uint32_t;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

// A window handle: an opaque value from the framework's handle table.
struct WindowHandleTag;
using HWND = WindowHandleTag*;
using HINSTANCE = void*;
using HICON = void*;
using HMENU = void*;

inline WORD LOWORD(std::uintptr_t v) {
    return static_cast<WORD>(v & 0xFFFF);
}
inline WORD HIWORD(std::uintptr_t v) {
    return static_cast<WORD>((v >> 16) & 0xFFFF);
}
inline LPARAM MAKELPARAM(int lo, int hi) {
    return static_cast<LPARAM>((static_cast<DWORD>(hi & 0xFFFF) << 16) |
                               static_cast<DWORD>(lo & 0xFFFF));
}
inline COLORREF RGB(int r, int g, int b) {
    return static_cast<COLORREF>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}

// Rectangles have exclusive right and bottom edges, as in Win32.
struct POINT {
    LONG x = 0;
    LONG y = 0;
};
struct SIZE {
    LONG cx = 0;
    LONG cy = 0;
};
struct RECT {
    LONG left = 0;
    LONG top = 0;
    LONG right = 0;
    LONG bottom = 0;
    LONG Width() const { return right - left; }
    LONG Height() const { return bottom - top; }
    bool operator==(const RECT&) const = default;
};

BOOL InflateRect(RECT* r, int dx, int dy);
BOOL OffsetRect(RECT* r, int dx, int dy);
BOOL PtInRect(const RECT* r, POINT p);
BOOL SetRect(RECT* r, int left, int top, int right, int bottom);
BOOL IsRectEmpty(const RECT* r);

struct MINMAXINFO {
    POINT ptReserved;
    POINT ptMaxSize;
    POINT ptMaxPosition;
    POINT ptMinTrackSize;
    POINT ptMaxTrackSize;
};

struct CREATESTRUCT {
    void* lpCreateParams = nullptr;
    HINSTANCE hInstance = nullptr;
    UINT hMenu = 0;  // the control id of a child window
    HWND hwndParent = nullptr;
    int cy = 0;
    int cx = 0;
    int y = 0;
    int x = 0;
    DWORD style = 0;
    CString lpszName;
    CString lpszClass;
    DWORD dwExStyle = 0;
};

// Window messages.
constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_MOVE = 0x0003;
constexpr UINT WM_SIZE = 0x0005;
constexpr UINT WM_ACTIVATE = 0x0006;
constexpr UINT WM_SETFOCUS = 0x0007;
constexpr UINT WM_SETTEXT = 0x000C;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_ERASEBKGND = 0x0014;
constexpr UINT WM_SHOWWINDOW = 0x0018;
constexpr UINT WM_GETMINMAXINFO = 0x0024;
constexpr UINT WM_SETICON = 0x0080;
constexpr UINT WM_NCDESTROY = 0x0082;
constexpr UINT WM_NCPAINT = 0x0085;
constexpr UINT WM_NCACTIVATE = 0x0086;
constexpr UINT WM_NCLBUTTONDOWN = 0x00A1;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_MOUSEMOVE = 0x0200;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
constexpr UINT WM_RBUTTONDOWN = 0x0204;
constexpr UINT WM_RBUTTONUP = 0x0205;
constexpr UINT WM_SIZING = 0x0214;
constexpr UINT WM_MOVING = 0x0216;
constexpr UINT WM_APP = 0x8000;

// WM_SIZE types.
constexpr UINT SIZE_RESTORED = 0;
constexpr UINT SIZE_MINIMIZED = 1;
constexpr UINT SIZE_MAXIMIZED = 2;

// Hit-test codes.
constexpr int HTCAPTION = 2;
constexpr int HTLEFT = 10;
constexpr int HTRIGHT = 11;
constexpr int HTTOP = 12;
constexpr int HTTOPLEFT = 13;
constexpr int HTTOPRIGHT = 14;
constexpr int HTBOTTOM = 15;
constexpr int HTBOTTOMLEFT = 16;
constexpr int HTBOTTOMRIGHT = 17;

// Window styles.
constexpr DWORD WS_OVERLAPPED = 0x00000000;
constexpr DWORD WS_POPUP = 0x80000000;
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_MINIMIZE = 0x20000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_DISABLED = 0x08000000;
constexpr DWORD WS_CLIPSIBLINGS = 0x04000000;
constexpr DWORD WS_CLIPCHILDREN = 0x02000000;
constexpr DWORD WS_MAXIMIZE = 0x01000000;
constexpr DWORD WS_CAPTION = 0x00C00000;
constexpr DWORD WS_BORDER = 0x00800000;
constexpr DWORD WS_DLGFRAME = 0x00400000;
constexpr DWORD WS_VSCROLL = 0x00200000;
constexpr DWORD WS_HSCROLL = 0x00100000;
constexpr DWORD WS_SYSMENU = 0x00080000;
constexpr DWORD WS_THICKFRAME = 0x00040000;
constexpr DWORD WS_MINIMIZEBOX = 0x00020000;
constexpr DWORD WS_MAXIMIZEBOX = 0x00010000;
constexpr DWORD WS_TABSTOP = 0x00010000;
constexpr DWORD WS_OVERLAPPEDWINDOW = 0x00CF0000;
constexpr DWORD FWS_ADDTOTITLE = 0x00008000;

constexpr DWORD WS_EX_DLGMODALFRAME = 0x00000001;
constexpr DWORD WS_EX_TOPMOST = 0x00000008;
constexpr DWORD WS_EX_TOOLWINDOW = 0x00000080;
constexpr DWORD WS_EX_WINDOWEDGE = 0x00000100;
constexpr DWORD WS_EX_CLIENTEDGE = 0x00000200;
constexpr DWORD WS_EX_LAYERED = 0x00080000;
constexpr DWORD WS_EX_NOACTIVATE = 0x08000000;

// ShowWindow commands.
constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOWMINIMIZED = 2;
constexpr int SW_MAXIMIZE = 3;
constexpr int SW_SHOWNOACTIVATE = 4;
constexpr int SW_SHOW = 5;
constexpr int SW_MINIMIZE = 6;
constexpr int SW_SHOWNA = 8;
constexpr int SW_RESTORE = 9;

// SetWindowPos flags and insert-after values.
constexpr UINT SWP_NOSIZE = 0x0001;
constexpr UINT SWP_NOMOVE = 0x0002;
constexpr UINT SWP_NOZORDER = 0x0004;
constexpr UINT SWP_NOREDRAW = 0x0008;
constexpr UINT SWP_NOACTIVATE = 0x0010;
constexpr UINT SWP_FRAMECHANGED = 0x0020;
constexpr UINT SWP_SHOWWINDOW = 0x0040;
constexpr UINT SWP_HIDEWINDOW = 0x0080;
constexpr UINT SWP_NOOWNERZORDER = 0x0200;
inline HWND const HWND_TOP = reinterpret_cast<HWND>(0);
inline HWND const HWND_BOTTOM = reinterpret_cast<HWND>(1);
inline HWND const HWND_TOPMOST = reinterpret_cast<HWND>(-1);
inline HWND const HWND_NOTOPMOST = reinterpret_cast<HWND>(-2);

// GetWindowLong indexes, GetWindow and GetAncestor relations.
constexpr int GWL_STYLE = -16;
constexpr int GWL_EXSTYLE = -20;
constexpr UINT GW_CHILD = 5;
constexpr UINT GA_PARENT = 1;
constexpr UINT GA_ROOT = 2;

// Message box types and answers.
constexpr UINT MB_OK = 0x0;
constexpr UINT MB_YESNO = 0x4;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// Icons.
constexpr int ICON_SMALL = 0;
constexpr int ICON_BIG = 1;

// Control id of a frame's first pane.
constexpr UINT AFX_IDW_PANE_FIRST = 0xE900;
