#include "shared/WorkArea.h"

#include <algorithm>

#include "framework/afxwin.h"
#include "platform/desktop.h"

namespace {

// The system's rule: a taskbar below the screen's top takes the bottom off;
// one that reaches the bottom right corner otherwise takes the right off.
RECT LessTaskbar(RECT area, const RECT* bar) {
    if (!bar)
        return area;
    if (bar->top > area.top) {
        area.bottom = bar->top;
    } else if (bar->bottom >= area.bottom && bar->right >= area.right) {
        area.right = bar->left;
    }
    return area;
}

long long Overlap(const RECT& a, const RECT& b) {
    const long long w = std::min<long long>(a.right, b.right) - std::max<long long>(a.left, b.left);
    const long long h = std::min<long long>(a.bottom, b.bottom) - std::max<long long>(a.top, b.top);
    return w > 0 && h > 0 ? w * h : 0;
}

// The gap between two rectangles along one axis, 0 where they meet or overlap.
long long Gap(long long lowA, long long highA, long long lowB, long long highB) {
    return std::max({0LL, lowB - highA, lowA - highB});
}

long long DistanceSquared(const RECT& a, const RECT& b) {
    const long long dx = Gap(a.left, a.right, b.left, b.right);
    const long long dy = Gap(a.top, a.bottom, b.top, b.bottom);
    return dx * dx + dy * dy;
}

}  // namespace

RECT GetWorkArea() {
    RECT area{};
    ::GetWindowRect(GetDesktopWindow(), &area);
    HWND taskbar = FindWindowW(QStringLiteral("Shell_TrayWnd"), QString());
    RECT bar{};
    const bool found = taskbar && ::GetWindowRect(taskbar, &bar);
    return LessTaskbar(area, found ? &bar : nullptr);
}

std::vector<RECT> GetWorkAreas() {
    std::vector<RECT> areas{GetWorkArea()};
    const std::vector<DesktopScreenInfo> screens = GetDesktopScreens();
    for (size_t i = 1; i < screens.size(); ++i) {
        const DesktopScreenInfo& s = screens[i];
        areas.push_back(LessTaskbar(s.screen, s.hasTaskbar ? &s.taskbar : nullptr));
    }
    return areas;
}

RECT GetWorkAreaNearest(const RECT& r) {
    const std::vector<RECT> areas = GetWorkAreas();
    return areas[NearestWorkArea(r, areas)];
}

size_t NearestWorkArea(const RECT& r, const std::vector<RECT>& areas) {
    size_t best = 0;
    long long bestOverlap = 0;
    long long bestDistance = -1;
    for (size_t i = 0; i < areas.size(); ++i) {
        const long long overlap = Overlap(r, areas[i]);
        const long long distance = DistanceSquared(r, areas[i]);
        if (overlap > bestOverlap ||
            (bestOverlap == 0 && overlap == 0 && (bestDistance < 0 || distance < bestDistance))) {
            best = i;
            bestOverlap = overlap;
            bestDistance = distance;
        }
    }
    return best;
}

RECT KeepOnScreen(const RECT& r, const std::vector<RECT>& areas) {
    if (areas.empty() ||
        std::any_of(areas.begin(), areas.end(), [&](const RECT& a) { return Overlap(r, a) > 0; }))
        return r;
    const RECT& a = areas[NearestWorkArea(r, areas)];
    // Computed wide: a place from a page or the profile may be anything.
    const long long areaWidth = std::max<long long>(static_cast<long long>(a.right) - a.left, 0);
    const long long areaHeight = std::max<long long>(static_cast<long long>(a.bottom) - a.top, 0);
    const long long width =
        std::clamp<long long>(static_cast<long long>(r.right) - r.left, 0, areaWidth);
    const long long height =
        std::clamp<long long>(static_cast<long long>(r.bottom) - r.top, 0, areaHeight);
    const long long left = std::clamp<long long>(r.left, a.left, a.left + areaWidth - width);
    const long long top = std::clamp<long long>(r.top, a.top, a.top + areaHeight - height);
    return RECT{static_cast<LONG>(left), static_cast<LONG>(top), static_cast<LONG>(left + width),
                static_cast<LONG>(top + height)};
}
