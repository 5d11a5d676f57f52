// Fakes of the platform's ports and of the message boxes, built from the same
// interfaces as the real ones. FakePorts puts them all in use for one test
// and puts the real ones back afterwards.
#pragma once

#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

#include "framework/afxwin.h"
#include "platform/ports.h"

// A screen of the test's choosing: by default 1920 x 1080 with a 40 px
// taskbar at the bottom, and no other screen unless the test adds some.
class FakeScreen : public platform::ScreenPort {
public:
    platform::ScreenArea PrimaryScreen() override { return area; }
    std::vector<platform::ScreenArea> Screens() override {
        std::vector<platform::ScreenArea> all{area};
        all.insert(all.end(), others.begin(), others.end());
        return all;
    }
    void Set(const RECT& screen, const RECT& available) { area = {screen, available}; }

    platform::ScreenArea area{RECT{0, 0, 1920, 1080}, RECT{0, 0, 1920, 1040}};
    std::vector<platform::ScreenArea> others;
};

// A notification area that records what is asked of it instead of showing
// an icon. Changes succeed while the icon is there, as with a real one.
class FakeTray : public platform::TrayPort {
public:
    BOOL NotifyIcon(DWORD message, const NOTIFYICONDATAW& data) override {
        ++calls;
        if (message == NIM_ADD) {
            present = true;
            visible = (data.uFlags & NIF_ICON) != 0;
        }
        if (message == NIM_DELETE)
            present = visible = false;
        if (message == NIM_MODIFY && (data.uFlags & NIF_ICON))
            visible = present;
        if (data.uFlags & NIF_TIP)
            tip = FieldText(data.szTip);
        if (message == NIM_MODIFY && (data.uFlags & NIF_INFO))
            balloons.push_back(FieldText(data.szInfo));
        return present || message == NIM_DELETE ? TRUE : FALSE;
    }
    bool Available() override { return available; }
    BOOL SetMenu(HWND, UINT, const std::vector<MenuItemTemplate>& items) override {
        menu = items;
        return present ? TRUE : FALSE;
    }
    // The place set in `menuPlace` answers the next menu, once.
    bool TakeMenuPlace(HWND, POINT* at) override {
        if (!menuPlace)
            return false;
        *at = *menuPlace;
        menuPlace.reset();
        return true;
    }
    void Reset() {
        present = visible = false;
        tip.clear();
        balloons.clear();
        menu.clear();
        calls = 0;
    }

    bool available = true;
    bool present = false;
    bool visible = false;
    CString tip;
    std::vector<CString> balloons;
    std::vector<MenuItemTemplate> menu;
    std::optional<POINT> menuPlace;
    int calls = 0;
};

// Popup menus answered by `choose` (given the items) without being shown;
// without it every menu is dismissed.
class FakeMenus : public platform::MenuPort {
public:
    UINT Choose(const std::vector<MenuItemTemplate>& items, POINT at) override {
        places.push_back(at);
        return choose ? choose(items) : 0;
    }

    std::function<UINT(const std::vector<MenuItemTemplate>&)> choose;
    // Where each menu was shown, in order.
    std::vector<POINT> places;
};

// The real module table, with the module or its entry point made missing on
// demand.
class FakeModules : public platform::ModulePort {
public:
    HMODULE Load(const CString& name) override {
        return moduleMissing ? nullptr : m_real.Load(name);
    }
    BOOL Free(HMODULE module) override { return m_real.Free(module); }
    FARPROC EntryPoint(HMODULE module, const char* name) override {
        return entryPointMissing ? nullptr : m_real.EntryPoint(module, name);
    }

    bool moduleMissing = false;
    bool entryPointMissing = false;

private:
    platform::ModulePort& m_real = platform::RealModules();
};

// A browser that records the addresses it is asked to open.
class FakeUrlOpener : public platform::UrlOpenerPort {
public:
    bool Open(const QUrl& url) override {
        opened << url.toString();
        return true;
    }

    QStringList opened;
};

// An executable wherever the test puts it (by default, where the test
// program really is), so the files beside it can be the test's own.
class FakeExecutable : public platform::ExecutablePort {
public:
    CString ModuleFileName() override { return path; }

    CString path = platform::RealExecutable().ModuleFileName();
};

// A notification service that records what it is asked to show, or is
// missing. The test clicks a notification through `clicks`.
class FakeNotifications : public platform::NotificationPort {
public:
    bool Notify(const CString& title, const CString& text, std::function<void()> clicked) override {
        if (missing)
            return false;
        shown.push_back({title, text});
        clicks.push_back(std::move(clicked));
        return true;
    }
    std::vector<std::pair<CString, CString>> shown;
    std::vector<std::function<void()>> clicks;
    bool missing = false;
};

// Records the programs it is asked to start instead of starting them. The
// elevation tool's answers wait in `answers` until the test gives them.
class FakeProcesses : public platform::ProcessPort {
public:
    struct Started {
        CString program;
        QStringList arguments;
        bool elevated;
    };
    bool Start(const platform::ProgramFile& program, const QStringList& arguments) override {
        started.push_back({program.Path(), arguments, false});
        return true;
    }
    bool StartElevated(const platform::ProgramFile& program, const QStringList& arguments,
                       std::function<void(DWORD)> answered, DWORD* error) override {
        if (toolMissing) {
            *error = 2;  // file not found
            return false;
        }
        started.push_back({program.Path(), arguments, true});
        answers.push_back(std::move(answered));
        return true;
    }

    std::vector<Started> started;
    std::vector<std::function<void(DWORD)>> answers;
    bool toolMissing = false;
};

// Records the startup sequences it is asked to complete instead of telling
// the desktop.
class FakeActivation : public platform::ActivationPort {
public:
    struct Completed {
        HWND window;
        QByteArray startupId;
        bool operator==(const Completed&) const = default;
    };
    void CompleteStartup(HWND window, const QByteArray& startupId) override {
        completed.push_back({window, startupId});
    }
    std::vector<Completed> completed;
};

class ScriptedMessageBoxes : public MessageBoxPort {
public:
    int Show(const CString& text, const CString& caption, UINT type) override {
        shown.push_back({text, caption, type});
        return answer;
    }
    struct Box {
        CString text;
        CString caption;
        UINT type;
    };
    std::vector<Box> shown;
    int answer = IDOK;
};

// Every fake at once. Install puts them in use; Restore (or the end of the
// object's life) puts the real ports and boxes back.
class FakePorts {
public:
    FakePorts() = default;
    FakePorts(const FakePorts&) = delete;
    FakePorts& operator=(const FakePorts&) = delete;
    ~FakePorts() { Restore(); }

    void Install() {
        platform::Ports ports;
        ports.screen = &screen;
        ports.tray = &tray;
        ports.menus = &menus;
        ports.modules = &modules;
        ports.urlOpener = &urlOpener;
        ports.executable = &executable;
        ports.processes = &processes;
        ports.notifications = &notifications;
        ports.activation = &activation;
        platform::InstallPorts(ports);
        AfxSetMessageBoxPort(&boxes);
        m_installed = true;
    }
    void Restore() {
        if (!m_installed)
            return;
        AfxSetMessageBoxPort(nullptr);
        platform::RestoreRealPorts();
        m_installed = false;
    }

    FakeScreen screen;
    FakeTray tray;
    FakeMenus menus;
    FakeModules modules;
    FakeUrlOpener urlOpener;
    FakeExecutable executable;
    FakeProcesses processes;
    FakeNotifications notifications;
    FakeActivation activation;
    ScriptedMessageBoxes boxes;

private:
    bool m_installed = false;
};
