// The child window that fills a chat frame's client area and hosts the
// frame's one browser: it keeps the browser's window as large as itself,
// scales the page with the window height when asked to, loads addresses,
// carries out the commands its page sends and passes the others to the main
// window, and answers the page through the page's JSRecv function.
//
// Threading: user-interface thread, except CPtrFIFO, whose operations are
// safe under its lock from any thread.
#pragma once

#include <atomic>
#include <deque>
#include <mutex>

#include "browser/PageHost.h"
#include "browser/PageRoutes.h"
#include "engine/cef_browser.h"
#include "framework/afxwin.h"

class CMyBrowserFrame;
class CPacket;

// A first-in first-out list of untyped pointers with the lock its users take
// around every append and removal. The list never deletes what it points
// to: its user owns the objects.
class CPtrFIFO {
public:
    CPtrFIFO() = default;
    ~CPtrFIFO();
    CPtrFIFO(const CPtrFIFO&) = delete;
    CPtrFIFO& operator=(const CPtrFIFO&) = delete;

    // Both under m_lock, held by the caller.
    void AddTail(void* p);
    // The oldest pointer, removed from the list; nullptr when it is empty.
    void* RemoveHead();
    // May be asked without the lock; a removal repeats the test under it.
    bool IsEmpty() const { return m_count.load(std::memory_order_acquire) == 0; }
    size_t GetCount() const { return m_count.load(std::memory_order_acquire); }
    // Empties the list without deleting the objects; under m_lock.
    void RemoveAll();

    std::mutex m_lock;

private:
    std::deque<void*> m_items;
    std::atomic<size_t> m_count{0};
};

class CMyBrowserView : public CWnd, private PageWindowDelegate {
public:
    // Page delivery, every 100 ms, and the watch on a page that keeps loading.
    static constexpr UINT_PTR TIMER_PAGE_QUEUE = 50001;
    static constexpr UINT kPageQueueMs = 100;
    static constexpr UINT_PTR TIMER_LOAD_WATCH = 50002;

    CMyBrowserView();
    ~CMyBrowserView() override;

    // Loads `url` in the browser: an address with "file:" gets the
    // application directory for "{APPPATH}", one that starts with "http" is
    // taken as it is, anything else is a path on the content server.
    void Navigate(const CString& url);
    // Asks for the view's browser, of `url`, filling the view.
    bool AskForBrowser(const CString& url) { return m_page.AskForBrowser(url); }
    // Runs `code` in the page's main frame; nothing without a browser.
    void ExecuteScript(const CefString& code);
    // Fits the browser's window to the client area and, with auto-scale on,
    // the page's zoom to the window height.
    void ResizeBrowser();
    // With auto-scale on, the page's zoom follows the window height.
    void ScaleToHeight();
    // Queues a packet for the page; the view owns it from now on.
    void EnqueueForPage(CPacket* packet);

    // The view's browser; empty until the engine announced it.
    const CefRefPtr<CefBrowser>& Browser() const { return m_page.Browser(); }

    CMyBrowserFrame* m_frame = nullptr;  // the frame around the view, not owned
    CPtrFIFO m_pageQueue;                // owned CPacket pointers, oldest first
    CefString m_url;                     // the address last given to Navigate
    int m_autoScale = 0;                 // 0: the zoom does not follow the height
    int m_baseHeight = 0;                // client height - 2 when the browser arrived
    bool m_queueTicking = false;         // TIMER_PAGE_QUEUE is set
    bool m_queueFirstWait = false;       // it waits for the first tick, not 100 ms
    ULONGLONG m_queueTickMs = 0;         // when the delivery tick last fell

    BOOL PreCreateWindow(CREATESTRUCT& cs) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    BOOL OnEraseBkgnd(CDC* dc) override;
    void OnSize(UINT type, int cx, int cy) override;
    void OnPaint() override;
    void OnTimer(UINT_PTR id) override;

private:
    void OnPageArrived() override;
    void OnOwnPacket(CPacket& packet) override;
    HWND CommandWindow() const override;
    const CWnd* AskingWindow() const override;
    void HideOrClose(CPacket& packet);
    void PlaceFrame(CPacket& packet);
    void OpenSideWindow(CPacket& packet);
    void ApplyZoom(CPacket& packet);
    void DeliverNextToPage();
    void StartQueueTicks();
    void OnQueueTick();

    CPageHost m_page{this, this, &kChatViewRoutes};
};
