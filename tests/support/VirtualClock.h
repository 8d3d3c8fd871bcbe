// A clock for tests: time moves only when the code under test sleeps or yields.
#pragma once

#include "link/LinkClock.h"

#include <QtGlobal>
#include <functional>
#include <map>

namespace nbx::test {

class VirtualClock : public LinkClock {
public:
    qint64 nowMs() const override { return now_; }
    double secondsOfDay() const override;
    void sleepMs(qint64 ms) override;
    void yieldMs(qint64 ms) override;

    void setSecondsOfDay(double s) { sodAtZero_ = s - now_ / 1000.0; }
    // Moves time forward to `t`, running the actions due on the way.
    void advanceTo(qint64 t);
    // Runs `action` once time reaches `t` (as if an event fired while the code yielded).
    void at(qint64 t, std::function<void()> action) { actions_.emplace(t, std::move(action)); }

    qint64 sleptMs = 0; // total of blocking sleeps
    int yields = 0;     // turns given to the event loop

private:
    qint64 now_ = 0;
    double sodAtZero_ = 36000.0;
    std::multimap<qint64, std::function<void()>> actions_;
};

} // namespace nbx::test
