// Window timers: one table of (window, id) entries with their due times,
// driven by the current clock. A timer that falls due is re-armed from the
// moment it fires and its window receives WM_TIMER with the id; several due
// timers fire in the order of their due times, then of their setting.
#include <algorithm>
#include <limits>
#include <map>

#include "framework/clock.h"
#include "framework/internal.h"

namespace framework {
namespace {

// The shortest interval, as on Win32: a 0 ms timer would otherwise spin.
constexpr std::int64_t kMinimumIntervalMs = 10;

struct Entry {
    std::int64_t due;
    std::int64_t interval;
    std::uint64_t order;
};

std::map<std::pair<HWND, UINT_PTR>, Entry>& Table() {
    static auto* table = new std::map<std::pair<HWND, UINT_PTR>, Entry>();
    return *table;
}
std::uint64_t g_order = 0;
bool g_callbackSet = false;
Clock* g_clockWithCallback = nullptr;

void FireDue();

void Reschedule() {
    Clock& clock = CurrentClock();
    if (!g_callbackSet || g_clockWithCallback != &clock) {
        clock.SetWakeCallback(FireDue);
        g_clockWithCallback = &clock;
        g_callbackSet = true;
    }
    std::int64_t next = -1;
    for (const auto& [key, e] : Table()) {
        if (next < 0 || e.due < next)
            next = e.due;
    }
    clock.WakeAt(next);
}

void FireDue() {
    const std::int64_t now = CurrentClock().NowMs();
    // Each timer fires at most once per wake-up, even when its handler
    // re-arms it with a short interval.
    std::uint64_t limit = g_order;
    for (;;) {
        auto best = Table().end();
        for (auto it = Table().begin(); it != Table().end(); ++it) {
            if (it->second.due > now || it->second.order > limit)
                continue;
            if (best == Table().end() || it->second.due < best->second.due ||
                (it->second.due == best->second.due && it->second.order < best->second.order)) {
                best = it;
            }
        }
        if (best == Table().end())
            break;
        const auto [h, id] = best->first;
        best->second.due = now + best->second.interval;
        best->second.order = ++g_order;
        ::SendMessage(h, WM_TIMER, id, 0);
    }
    Reschedule();
}

}  // namespace

void SetWindowTimer(HWND h, UINT_PTR id, UINT elapseMs) {
    const std::int64_t interval = std::max<std::int64_t>(elapseMs, kMinimumIntervalMs);
    Table()[{h, id}] = Entry{CurrentClock().NowMs() + interval, interval, ++g_order};
    Reschedule();
}

bool KillWindowTimer(HWND h, UINT_PTR id) {
    const bool found = Table().erase({h, id}) > 0;
    if (found)
        Reschedule();
    return found;
}

void KillAllWindowTimers(HWND h) {
    auto& t = Table();
    for (auto it = t.begin(); it != t.end();) {
        if (it->first.first == h) {
            it = t.erase(it);
        } else {
            ++it;
        }
    }
    Reschedule();
}

bool IsWindowTimerSet(HWND h, UINT_PTR id) {
    return Table().count({h, id}) > 0;
}

void TimersClockChanged() {
    g_callbackSet = false;
    Reschedule();
}

}  // namespace framework

ULONGLONG GetTickCount64() {
    return static_cast<ULONGLONG>(framework::CurrentClock().NowMs());
}
