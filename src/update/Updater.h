// Starting a local program on a page's request (command 6).
#pragma once

#include "framework/afxtypes.h"

class CPacket;

// Starts the program the packet names. Program start with its CRC-32 check
// and the updater fallback is not built yet: the request is refused
// (FALSE) and nothing is started.
BOOL LaunchProgram(CPacket& packet);
