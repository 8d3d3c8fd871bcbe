// Time for the link: a monotonic clock, the blocking pause Espera, yielding waits and the
// deadline-based inactivity timer that replaces the windows' one-shot timers.
#pragma once

#include "link/LinkTiming.h"

#include <QtGlobal>

namespace nbx {

class ISerialPort;

class LinkClock {
public:
    virtual ~LinkClock() = default;
    virtual qint64 nowMs() const = 0;          // monotonic
    virtual double secondsOfDay() const = 0;   // wall clock, 0 <= s < 86400
    virtual void sleepMs(qint64 ms) = 0;       // blocks: no events are processed
    virtual void yieldMs(qint64 ms) = 0;       // lets the event loop run for ms
};

class SystemLinkClock : public LinkClock {
public:
    SystemLinkClock();
    qint64 nowMs() const override;
    double secondsOfDay() const override;
    void sleepMs(qint64 ms) override;
    void yieldMs(qint64 ms) override;

private:
    qint64 origin_;
};

// Milliseconds Espera(seconds) lasts when started at secondsOfDay: up to the start rounded to
// the nearest second (ties to even) plus the seconds. The midnight wrap needs no special case.
qint64 esperaDurationMs(double secondsOfDay, int seconds);

// Blocking pause of about `seconds` seconds (scaled by timing.secondMs). No events run; the
// program's end asked for (quitPending) ends it.
void Espera(LinkClock& clock, const LinkTiming& timing, int seconds);

// Restarted before each awaited byte; expired once the full interval passed since.
class InactivityTimer {
public:
    InactivityTimer(LinkClock& clock, int intervalMs) : clock_(clock), interval_(intervalMs) {}
    void setInterval(int ms) { interval_ = ms; }
    int interval() const { return interval_; }
    void restart() { deadline_ = clock_.nowMs() + interval_; } // ReiniciaTimer
    bool expired() const { return clock_.nowMs() >= deadline_; }
    qint64 remainingMs() const { return deadline_ - clock_.nowMs(); }

private:
    LinkClock& clock_;
    int interval_;
    qint64 deadline_ = 0;
};

// Yielding waits on the port. None of them spins the processor.
class Waiter {
public:
    // LineLost: the port reported an error or a hang-up, or is not open.
    enum class Result { Data, Timeout, Stopped, LineLost };

    Waiter(ISerialPort& port, LinkClock& clock, const LinkTiming& timing)
        : port_(port), clock_(clock), timing_(timing)
    {
    }

    // Until a byte is waiting, the timer expires or *stop becomes true (stop may be null). A stop,
    // or the program's end asked for (quitPending), wins over bytes already waiting; a lost line
    // ends the wait at once. `coming`, for a frame
    // being received: the bytes known to follow back to back (the rest of the frame) once it
    // `started`, the length it is expected to have before; 0 for any other wait.
    Result waitForData(const InactivityTimer& timer, const bool* stop, int coming = 0,
                       bool started = true);
    // Until a byte is waiting, ms pass or *stop becomes true.
    Result waitForData(qint64 ms, const bool* stop);
    // A yielding pause (the byte pacing); the program's end asked for ends it.
    void pause(qint64 ms);

private:
    ISerialPort& port_;
    LinkClock& clock_;
    const LinkTiming& timing_;
};

} // namespace nbx
