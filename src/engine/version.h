// The engine's own version, for the program's --version text.
#pragma once

#include <QString>

namespace engine {

// The browser engine this program runs on, with the Chromium it is built
// from: "Qt WebEngine 6.4.2 (Chromium 102.0.5005.177)". The engine's
// library answers without starting anything, so this needs no display.
QString EngineDescription();

}  // namespace engine
