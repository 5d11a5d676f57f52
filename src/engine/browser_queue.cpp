// Browsers asked for and made later, one a pass of the message loop, as the
// library makes them.
#include <deque>

#include "engine/context.h"
#include "engine/qt_browser.h"

namespace engine {

namespace {

// A browser asked for and not made yet.
struct BrowserRequest {
    CefWindowInfo info;
    CefRefPtr<CefClient> client;
    CefString url;
    CefBrowserSettings settings;
};

std::deque<BrowserRequest>& BrowserRequests() {
    static auto* requests = new std::deque<BrowserRequest>();
    return *requests;
}

void MakeBrowser(const BrowserRequest& request) {
    Context& ctx = GetContext();
    // A window closed meanwhile, or an engine shut down, gets no browser.
    if (!ctx.initialized || !ctx.profile)
        return;
    if (request.info.parent_window && !IsWindow(request.info.parent_window))
        return;
    CefRefPtr<QtBrowser> browser =
        QtBrowser::Create(request.info, request.client, request.settings,
                          request.info.parent_window == nullptr, ctx.profile);
    if (!browser)
        return;
    // The library announces the browser once it exists; the first load is
    // already on its way.
    if (!request.url.isEmpty())
        browser->LoadURL(request.url);
    if (request.client) {
        if (CefRefPtr<CefLifeSpanHandler> h = request.client->GetLifeSpanHandler()) {
            QueueCallback([h, browser] { h->OnAfterCreated(browser.get()); });
        }
    }
}

// Makes the oldest requested browser. One browser a pass: making one takes
// tens of milliseconds, and windows that asked for many at once (a burst of
// popups) get their paint, their opacity and their input between them.
void MakeNextBrowser() {
    std::deque<BrowserRequest>& requests = BrowserRequests();
    if (requests.empty())
        return;
    const BrowserRequest request = std::move(requests.front());
    requests.pop_front();
    if (!requests.empty())
        QueueCallback(MakeNextBrowser);
    MakeBrowser(request);
}

}  // namespace

// As the library does, the browser is made after the call returns, on this
// thread; the call only checks that it can be made.
bool CreateEngineBrowser(const CefWindowInfo& info, CefRefPtr<CefClient> client,
                         const CefString& url, const CefBrowserSettings& settings) {
    Context& ctx = GetContext();
    StartEngine();
    if (!ctx.initialized || !ctx.profile)
        return false;
    if (info.parent_window && !IsWindow(info.parent_window))
        return false;
    std::deque<BrowserRequest>& requests = BrowserRequests();
    requests.push_back(BrowserRequest{info, std::move(client), url, settings});
    if (requests.size() == 1)
        QueueCallback(MakeNextBrowser);
    return true;
}

void DropBrowserRequests() {
    BrowserRequests().clear();
}

}  // namespace engine
