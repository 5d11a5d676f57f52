// The work area: the desktop window's rectangle less a taskbar at its
// bottom or right edge. A taskbar at the top or left is not subtracted.
// Computed anew at every use.
#pragma once

#include "framework/afxtypes.h"

RECT GetWorkArea();
