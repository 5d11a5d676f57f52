#include "framework/clock.h"

#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>

#include "framework/afxwin.h"

namespace framework {
namespace {

// The real clock: a monotonic timer and one precise single-shot toolkit
// timer for the next wake-up.
class RealClock final : public Clock {
public:
    RealClock() { m_elapsed.start(); }
    std::int64_t NowMs() const override { return m_elapsed.elapsed(); }
    void WakeAt(std::int64_t atMs) override {
        if (!m_timer) {
            m_timer = new QTimer();
            m_timer->setSingleShot(true);
            m_timer->setTimerType(Qt::PreciseTimer);
            QObject::connect(m_timer, &QTimer::timeout, [this] {
                if (m_cb)
                    m_cb();
            });
        }
        if (atMs < 0) {
            m_timer->stop();
            return;
        }
        m_timer->start(static_cast<int>(std::clamp<std::int64_t>(atMs - NowMs(), 0, 1 << 30)));
    }
    void SetWakeCallback(std::function<void()> cb) override { m_cb = std::move(cb); }

private:
    QElapsedTimer m_elapsed;
    QTimer* m_timer = nullptr;  // lives as long as the process
    std::function<void()> m_cb;
};

Clock* g_installed = nullptr;

RealClock& Real() {
    static RealClock* clock = new RealClock();
    return *clock;
}

}  // namespace

void ManualClock::Advance(std::int64_t ms) {
    const std::int64_t target = m_now + std::max<std::int64_t>(ms, 0);
    DeliverPostedMessages();
    while (m_wake >= 0 && m_wake <= target) {
        m_now = std::max(m_now, m_wake);
        m_wake = -1;
        if (m_cb)
            m_cb();
        DeliverPostedMessages();
    }
    m_now = target;
}

Clock& CurrentClock() {
    return g_installed ? *g_installed : Real();
}

void TimersClockChanged();  // timers.cpp

void InstallClock(Clock* clock) {
    g_installed = clock;
    TimersClockChanged();
}

}  // namespace framework
