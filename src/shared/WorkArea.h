// The work area: the desktop window's rectangle less a taskbar at its
// bottom or right edge. A taskbar at the top or left is not subtracted.
// Computed anew at every use.
//
// A desktop of several screens has one work area per screen, each by the
// same rule with that screen's taskbar; the primary screen's is the work
// area above. Windows that remember or are given a place are kept where a
// user can reach them: a place on no screen is pulled into the work area
// of the nearest one.
#pragma once

#include <cstddef>
#include <vector>

#include "framework/afxtypes.h"

RECT GetWorkArea();

// Every screen's work area, the primary screen's (GetWorkArea) first.
std::vector<RECT> GetWorkAreas();

// The work area of the screen nearest to `r` (NearestWorkArea): the screen
// a window at `r` is on.
RECT GetWorkAreaNearest(const RECT& r);

// The index in `areas` (not empty) of the area nearest to `r`: the one
// that overlaps it most, else the one at the least distance from it; on a
// tie the earlier one.
size_t NearestWorkArea(const RECT& r, const std::vector<RECT>& areas);

// `r` itself when it overlaps one of `areas`; otherwise `r` moved as little
// as possible into the nearest of them, and cut to its size when larger.
// Without areas, `r`.
RECT KeepOnScreen(const RECT& r, const std::vector<RECT>& areas);
