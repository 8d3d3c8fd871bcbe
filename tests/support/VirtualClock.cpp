#include "VirtualClock.h"

#include <cmath>

namespace nbx::test {

double VirtualClock::secondsOfDay() const
{
    return std::fmod(sodAtZero_ + now_ / 1000.0, 86400.0);
}

void VirtualClock::advanceTo(qint64 t)
{
    while (!actions_.empty() && actions_.begin()->first <= t) {
        auto it = actions_.begin();
        now_ = std::max(now_, it->first);
        auto action = std::move(it->second);
        actions_.erase(it);
        action();
    }
    now_ = std::max(now_, t);
}

void VirtualClock::sleepMs(qint64 ms)
{
    sleptMs += ms;
    // No events run during a blocking sleep: actions wait for the next yield.
    now_ += std::max<qint64>(ms, 0);
}

void VirtualClock::yieldMs(qint64 ms)
{
    ++yields;
    advanceTo(now_ + std::max<qint64>(ms, 1));
}

} // namespace nbx::test
