// The process's operating-system services, set up once by the program's
// start-up rather than on the first question asked of one.
//
// Threading: user-interface thread.
#pragma once

namespace platform {

// Called after the toolkit's application object is made and before the
// first window: the real ports (ports.h) are made and put in use, and the
// desktop's and the taskbar's rectangles are answered from the screen port
// from then on.
void InstallProcessServices();

}  // namespace platform
