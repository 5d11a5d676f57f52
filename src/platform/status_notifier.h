// An icon of the notification area as a StatusNotifierItem of the program's
// own on the session bus, where a host of that protocol runs (it owns
// org.kde.StatusNotifierWatcher): the host draws it, shows the tip text as
// its title, and shows its menu from the items it exports.
//
// Threading: user-interface thread.
#pragma once

#include <QIcon>
#include <QString>
#include <map>
#include <memory>
#include <vector>

#include "framework/afxwin.h"
#include "platform/menus.h"

namespace platform {

// Mouse actions on an icon reach its owner as the callback message, with
// the icon's id in wParam and the Win32 mouse message in lParam.
struct TrayCallback {
    HWND owner = nullptr;
    UINT message = 0;
    UINT id = 0;
    void Post(UINT mouse) const;
};

// Where each owner's next menu opens (the point the host asked for).
using MenuPlaces = std::map<HWND, POINT>;

class StatusNotifierIcon {
public:
    // A new item, registered with the host's watcher now and again whenever
    // the watcher's owner changes (the host restarted); null where no
    // watcher is on the session bus.
    static std::unique_ptr<StatusNotifierIcon> Create(const TrayCallback& callback,
                                                      MenuPlaces& places);
    virtual ~StatusNotifierIcon() = default;
    virtual void SetCallback(UINT message) = 0;
    virtual void SetTip(const QString& tip) = 0;
    virtual void SetIcon(const QIcon& icon) = 0;
    virtual void SetMenu(const std::vector<MenuItemTemplate>& items) = 0;
};

}  // namespace platform
