// The client of a browser and its handlers. Every handler method has an
// empty default; a client overrides what it needs. The engine calls them
// from CefDoMessageLoopWork, in the order the events happened, except
// OnBeforePopup, which is asked while the page waits for its new window.
//
// Threading: user-interface thread.
#pragma once

#include <vector>

#include "engine/cef_browser.h"

class CefMenuModel : public virtual CefBaseRefCounted {
public:
    struct Item {
        int commandId;  // -1 for a separator
        CefString label;
        void* standardAction;  // the engine's own item, or null for added items
    };
    static CefRefPtr<CefMenuModel> Create() { return new CefMenuModel(); }
    bool Clear() {
        m_items.clear();
        return true;
    }
    bool AddItem(int commandId, const CefString& label) {
        m_items.push_back({commandId, label, nullptr});
        return true;
    }
    bool AddSeparator() {
        m_items.push_back({-1, CefString(), nullptr});
        return true;
    }
    size_t GetCount() const { return m_items.size(); }
    int GetCommandIdAt(size_t i) const { return i < m_items.size() ? m_items[i].commandId : -1; }
    CefString GetLabelAt(size_t i) const {
        return i < m_items.size() ? m_items[i].label : CefString();
    }
    const std::vector<Item>& Items() const { return m_items; }
    // For the engine: an item of the library's default menu.
    void AddStandardItem(int commandId, const CefString& label, void* action) {
        m_items.push_back({commandId, label, action});
    }

private:
    std::vector<Item> m_items;
    IMPLEMENT_REFCOUNTING(CefMenuModel);
};

class CefContextMenuParams : public virtual CefBaseRefCounted {
public:
    CefContextMenuParams(int x, int y) : m_x(x), m_y(y) {}
    int GetXCoord() const { return m_x; }
    int GetYCoord() const { return m_y; }

private:
    int m_x, m_y;
    IMPLEMENT_REFCOUNTING(CefContextMenuParams);
};

enum cef_window_open_disposition_t {
    WOD_UNKNOWN,
    WOD_NEW_FOREGROUND_TAB,
    WOD_NEW_POPUP,
    WOD_NEW_WINDOW
};
struct CefPopupFeatures {
    int x = 0, y = 0, width = 0, height = 0;
    bool xSet = false, ySet = false, widthSet = false, heightSet = false;
};
enum cef_errorcode_t { ERR_NONE = 0, ERR_ABORTED = -3 };

class CefLoadHandler : public virtual CefBaseRefCounted {
public:
    virtual void OnLoadingStateChange(CefRefPtr<CefBrowser> browser, bool isLoading, bool canGoBack,
                                      bool canGoForward) {}
    virtual void OnLoadStart(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame) {}
    virtual void OnLoadEnd(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                           int httpStatusCode) {}
    virtual void OnLoadError(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                             int errorCode, const CefString& errorText,
                             const CefString& failedUrl) {}
};

class CefLifeSpanHandler : public virtual CefBaseRefCounted {
public:
    // Returning true cancels the popup.
    virtual bool OnBeforePopup(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                               const CefString& targetUrl, const CefString& targetFrameName,
                               cef_window_open_disposition_t targetDisposition, bool userGesture,
                               const CefPopupFeatures& popupFeatures, CefWindowInfo& windowInfo,
                               CefRefPtr<CefClient>& client, CefBrowserSettings& settings,
                               bool* noJavascriptAccess) {
        return false;
    }
    virtual void OnAfterCreated(CefRefPtr<CefBrowser> browser) {}
    virtual bool DoClose(CefRefPtr<CefBrowser> browser) { return false; }
    virtual void OnBeforeClose(CefRefPtr<CefBrowser> browser) {}
};

class CefDisplayHandler : public virtual CefBaseRefCounted {
public:
    virtual void OnAddressChange(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                                 const CefString& url) {}
    virtual void OnTitleChange(CefRefPtr<CefBrowser> browser, const CefString& title) {}
};

class CefContextMenuHandler : public virtual CefBaseRefCounted {
public:
    virtual void OnBeforeContextMenu(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                                     CefRefPtr<CefContextMenuParams> params,
                                     CefRefPtr<CefMenuModel> model) {}
    virtual bool OnContextMenuCommand(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                                      CefRefPtr<CefContextMenuParams> params, int commandId,
                                      int eventFlags) {
        return false;
    }
};

class CefDragHandler : public virtual CefBaseRefCounted {};

class CefClient : public virtual CefBaseRefCounted {
public:
    virtual CefRefPtr<CefContextMenuHandler> GetContextMenuHandler() { return nullptr; }
    virtual CefRefPtr<CefDisplayHandler> GetDisplayHandler() { return nullptr; }
    virtual CefRefPtr<CefDragHandler> GetDragHandler() { return nullptr; }
    virtual CefRefPtr<CefLifeSpanHandler> GetLifeSpanHandler() { return nullptr; }
    virtual CefRefPtr<CefLoadHandler> GetLoadHandler() { return nullptr; }
    // A message that a frame's script side sent (CefFrame::SendProcessMessage).
    virtual bool OnProcessMessageReceived(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                                          CefProcessId sourceProcess,
                                          CefRefPtr<CefProcessMessage> message) {
        return false;
    }
};

class CefRequestContext : public virtual CefBaseRefCounted {};
