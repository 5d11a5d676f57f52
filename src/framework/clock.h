// The clock that drives the framework's window timers. The program runs on
// the real clock; tests install a manual one and advance it by hand, so they
// see exactly the timer messages that fall due.
//
// Every function here runs on the user-interface thread.
#pragma once

#include <cstdint>
#include <functional>

namespace framework {

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary fixed point.
    virtual std::int64_t NowMs() const = 0;
    // Asks to be woken (by a call of the callback given to Install) at or
    // after `atMs`; a later call replaces the earlier request. -1 cancels.
    virtual void WakeAt(std::int64_t atMs) = 0;
    // Sets the function the clock calls when a requested wake-up is due.
    virtual void SetWakeCallback(std::function<void()> cb) = 0;
};

// A clock that moves only when told to.
class ManualClock final : public Clock {
public:
    std::int64_t NowMs() const override { return m_now; }
    void WakeAt(std::int64_t atMs) override { m_wake = atMs; }
    void SetWakeCallback(std::function<void()> cb) override { m_cb = std::move(cb); }

    // Moves the clock forward by `ms`, stopping at every wake-up that falls
    // due on the way so that timers fire in order and at their exact times.
    void Advance(std::int64_t ms);

private:
    std::int64_t m_now = 0;
    std::int64_t m_wake = -1;
    std::function<void()> m_cb;
};

// The clock in use; the real one unless a test installed another.
Clock& CurrentClock();
// Installs `clock` (not owned) for the window timers; nullptr restores the
// real clock. Timers already set keep their due times.
void InstallClock(Clock* clock);

}  // namespace framework
