#include "link/LinkClock.h"

#include "common/QuitSignals.h"
#include "link/SerialPort.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cmath>

namespace nbx {

namespace {
qint64 monotonicMs()
{
    static QElapsedTimer t = [] {
        QElapsedTimer e;
        e.start();
        return e;
    }();
    return t.elapsed();
}
} // namespace

SystemLinkClock::SystemLinkClock() : origin_(monotonicMs()) {}

qint64 SystemLinkClock::nowMs() const { return monotonicMs() - origin_; }

double SystemLinkClock::secondsOfDay() const
{
    return QTime::currentTime().msecsSinceStartOfDay() / 1000.0;
}

void SystemLinkClock::sleepMs(qint64 ms)
{
    if (ms > 0)
        QThread::msleep(static_cast<unsigned long>(ms));
}

void SystemLinkClock::yieldMs(qint64 ms)
{
    if (ms <= 0)
        return;
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(ms), &loop, &QEventLoop::quit);
    loop.exec();
}

qint64 esperaDurationMs(double secondsOfDay, int seconds)
{
    const double start = std::nearbyint(secondsOfDay); // default rounding mode: ties to even
    const double end = start + seconds;
    return std::max<qint64>(0, std::llround((end - secondsOfDay) * 1000.0));
}

void Espera(LinkClock& clock, const LinkTiming& timing, int seconds)
{
    // No events run, but the program's end is looked for between short sleeps: it ends the pause.
    constexpr qint64 kTurnMs = 50;
    const qint64 ms = esperaDurationMs(clock.secondsOfDay(), seconds) * timing.secondMs / 1000;
    const qint64 end = clock.nowMs() + ms;
    for (qint64 left = ms; left > 0 && !quitPending(); left = end - clock.nowMs())
        clock.sleepMs(std::min(left, kTurnMs));
}

Waiter::Result Waiter::waitForData(const InactivityTimer& timer, const bool* stop, int coming,
                                   bool started)
{
    for (;;) {
        if ((stop && *stop) || quitPending())
            return Result::Stopped;
        // Bytes already read are taken before the line is looked at.
        if (port_.bytesAvailable() > 0)
            return Result::Data;
        if (!port_.isOpen() || port_.lineLost())
            return Result::LineLost;
        if (timer.expired())
            return Result::Timeout;
        // A frame's bytes are waited for in longer turns: one wake for a whole record at the
        // line's pace.
        const int slice = coming > 0 ? timing_.gatherSliceMs : timing_.yieldSliceMs;
        const int ms = static_cast<int>(std::min<qint64>(timer.remainingMs(), slice));
        if (coming > 0)
            port_.waitForBytes(ms, coming, started, stop);
        else
            port_.waitForInput(ms);
    }
}

Waiter::Result Waiter::waitForData(qint64 ms, const bool* stop)
{
    InactivityTimer t(clock_, static_cast<int>(ms));
    t.restart();
    return waitForData(t, stop);
}

void Waiter::pause(qint64 ms)
{
    const qint64 end = clock_.nowMs() + ms;
    for (qint64 left = ms; left > 0 && !quitPending(); left = end - clock_.nowMs())
        clock_.yieldMs(left);
}

} // namespace nbx
