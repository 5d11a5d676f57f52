// The platform's ports: what the desktop functions reach while fakes are in
// use, and the real services coming back when a test's fakes go.
#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QScreen>

#include "FakePorts.h"
#include "framework/peer.h"
#include "platform/ports.h"
#include "platform/shell.h"
#include "platform/system.h"
#include "testsupport.h"

namespace {

RECT DesktopRect() {
    RECT r{};
    EXPECT_TRUE(::GetWindowRect(GetDesktopWindow(), &r));
    return r;
}

void ExpectRealPorts() {
    const platform::Ports& ports = platform::CurrentPorts();
    EXPECT_EQ(ports.screen, &platform::RealScreen());
    EXPECT_EQ(ports.tray, &platform::RealTray());
    EXPECT_EQ(ports.menus, &platform::RealMenus());
    EXPECT_EQ(ports.modules, &platform::RealModules());
    EXPECT_EQ(ports.urlOpener, &platform::RealUrlOpener());
    EXPECT_EQ(ports.executable, &platform::RealExecutable());
    EXPECT_EQ(ports.processes, &platform::RealProcesses());
    EXPECT_EQ(ports.notifications, &platform::RealNotifications());
    EXPECT_EQ(ports.activation, &platform::RealActivation());
    EXPECT_EQ(GetModuleFileNameW(),
              QDir::toNativeSeparators(QCoreApplication::applicationFilePath()));
    const QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(DesktopRect(), framework::FromQRect(screen->geometry()));
}

class PortsTest : public ComponentTest {};

TEST_F(PortsTest, DesktopFunctionsReachTheInstalledFakes) {
    fakes.screen.Set(RECT{0, 0, 1600, 900}, RECT{0, 0, 1540, 900});
    EXPECT_EQ(DesktopRect(), (RECT{0, 0, 1600, 900}));
    RECT taskbar{};
    EXPECT_TRUE(::GetWindowRect(FindWindowW("Shell_TrayWnd", QString()), &taskbar));
    EXPECT_EQ(taskbar, (RECT{1540, 0, 1600, 900}));

    fakes.executable.path = "/opt/velk/VelkSTKApp";
    EXPECT_EQ(GetModuleFileNameW(), "/opt/velk/VelkSTKApp");

    // The shell's own refusals still come first.
    EXPECT_EQ(ShellExecuteW(nullptr, "open", "file:///etc/passwd", "", "", 0), 2);
    EXPECT_GT(ShellExecuteW(nullptr, "open", " https://example.com/x ", "", "", 0), 32);
    EXPECT_EQ(fakes.urlOpener.opened, QStringList({"https://example.com/x"}));

    NOTIFYICONDATAW data;
    data.uFlags = NIF_ICON | NIF_TIP;
    CopyToField(data.szTip, 128, "tip");
    EXPECT_TRUE(Shell_NotifyIconW(NIM_ADD, &data));
    EXPECT_TRUE(fakes.tray.present);
    EXPECT_EQ(fakes.tray.tip, "tip");
    EXPECT_TRUE(Shell_NotifyIconW(NIM_DELETE, &data));
    EXPECT_FALSE(fakes.tray.present);
}

// Outside the fixture: the fakes are installed and restored by hand.
TEST(PortsRestoreTest, RealPortsComeBackWhenTheFakesAreRestoredOrGone) {
    ExpectRealPorts();
    {
        FakePorts fakes;
        fakes.screen.Set(RECT{0, 0, 1, 1}, RECT{0, 0, 1, 1});
        fakes.executable.path = "/nowhere/VelkSTKApp";
        fakes.Install();
        EXPECT_EQ(DesktopRect(), (RECT{0, 0, 1, 1}));
        EXPECT_EQ(GetModuleFileNameW(), "/nowhere/VelkSTKApp");
        fakes.Restore();
        ExpectRealPorts();
        fakes.Install();
    }  // gone while installed
    ExpectRealPorts();

    // A port left out of a set stays the real one.
    FakeScreen screen;
    platform::Ports ports;
    ports.screen = &screen;
    ports.executable = nullptr;
    platform::InstallPorts(ports);
    EXPECT_EQ(platform::CurrentPorts().screen, &screen);
    EXPECT_EQ(platform::CurrentPorts().executable, &platform::RealExecutable());
    EXPECT_EQ(platform::CurrentPorts().tray, &platform::RealTray());
    platform::RestoreRealPorts();
    ExpectRealPorts();
}

}  // namespace
