// Starting a local program on a page's request (command 6): the program
// the packet names after a CRC-32 check of its file, or else the updater.
//
// Threading: user-interface thread.
#pragma once

#include <functional>

#include "framework/afxtypes.h"
#include "platform/process.h"

class CPacket;

// Starts the program the packet names, or the updater when the program is
// missing or its CRC-32 differs. Only a page of the service may ask (see
// TrustedOrigins.h); any other request is refused with one line on the
// standard error output, as is an updater name that is not a bare file name
// of the program's directory, and a program that is not a regular file or
// too large to sum. The file that is summed is the file that starts. The sum
// runs off the user-interface thread and the start follows on it: `done`
// gets TRUE when a start was made (or an elevated start handed to the
// elevation tool) and FALSE when nothing was started, at once or later. The
// result is TRUE while the sum is pending, else the same as `done`'s.
BOOL LaunchProgram(CPacket& packet, std::function<void(BOOL started)> done = {});

// Starts `program` with `arguments` elevated. When the start is refused, at
// once or later by the user or the elevation tool, a box shows the error
// code. TRUE when the start was handed to the elevation tool.
BOOL RunElevated(const platform::ProgramFile& program, const CString& arguments);

// The standard CRC-32 of the file at `path`, written to `crc` in every case
// (0 when the file cannot be opened). Returns 0, or the Windows error code
// of the failed open. A read error ends the sum early and still returns 0.
DWORD FileCrc32(const CString& path, DWORD* crc);
