// The process's set-up: every step that the operating system's services
// need before the program asks anything of them, in one ordered call run
// in two phases.
//
// Threading: the first thread of the process (the user-interface thread).
#pragma once

#include <QString>
#include <QStringList>

namespace platform {

// This start of the program, as its set-up needs it.
struct ProcessStart {
    // The name the program was started by (argv[0]) and its arguments
    // after it.
    QString program;
    QStringList arguments;
    // The desktop entry the program's windows belong to (docks and window
    // managers match the windows to it); empty for none.
    QString desktopEntryId;
};

enum class SetUpPhase {
    // First thing in the process, before the toolkit's application object
    // and before any thread exists, in this order:
    //  1. the launcher's startup id and activation token are kept
    //     (activation.h): the toolkit's X11 connection takes the id out of
    //     the environment when it is made;
    //  2. the requests to end from outside are held (system.h): blocked in
    //     the first thread, so every thread started later inherits the
    //     block;
    //  3. `--autostart on|off` is carried out (autostart.h), before any
    //     launch parameter is looked at, and ends the program;
    //  4. where the user's session has no message bus, the toolkit is told
    //     so, instead of letting the bus library start one by forking the
    //     (already threaded) process, which can hang it;
    //  5. the desktop entry is named, and on a Wayland session the X11
    //     platform is picked through XWayland unless the user chose one:
    //     placing windows near the taskbar and moving them from pages
    //     needs it.
    BeforeToolkit,
    // Once the toolkit's application object exists, in the browser's own
    // process (not in a child process of the engine), before the first
    // window and before anything asks for a service:
    //  6. the real ports are put in use (ports.h), and the desktop's and
    //     the taskbar's rectangles are answered from the screen port from
    //     then on.
    AfterToolkit,
};

// Runs the steps of `phase` in their order. Returns -1 when the program
// goes on, or the exit code when a step ended its work (the autostart
// switch of BeforeToolkit). AfterToolkit needs nothing of `start`.
int SetUpProcess(SetUpPhase phase, const ProcessStart& start = {});

}  // namespace platform
