#include "link/FrameReceiver.h"

#include "common/Prompter.h"
#include "link/Link.h"
#include "localisation/Strings.h"

#include <algorithm>

namespace nbx {

ReceiveResult receiveFrame(ISerialPort& port, Waiter& waiter, InactivityTimer& timer,
                           FrameBuffer& buffer, const bool* stop, int stxHuntLimit)
{
    // The frame expected is as long as the last one received (records come one after another).
    const int expected = std::max(buffer.length(), kMinFrame);
    buffer.setLength(0);
    // Restarts the timer, waits for one byte and reads it into `into`. `coming`: the bytes of the
    // frame known to be still on their way, this one included; before the STX, those expected.
    bool started = false;
    auto next = [&](uint8_t& into, int coming) -> ReceiveResult {
        timer.restart();
        const Waiter::Result w = waiter.waitForData(timer, stop, coming, started);
        if (w == Waiter::Result::Timeout)
            return ReceiveResult::Timeout;
        if (w == Waiter::Result::Stopped)
            return ReceiveResult::Stopped;
        if (w == Waiter::Result::LineLost)
            return ReceiveResult::LineLost;
        const int b = port.readByte();
        if (b < 0)
            return ReceiveResult::Timeout;
        into = static_cast<uint8_t>(b);
        return ReceiveResult::Ok;
    };

    buffer[0] = 0;
    ReceiveResult r = next(buffer[0], expected);
    // Bytes before STX are dropped; a line sending only noise ends as a timeout.
    for (int dropped = 0; r == ReceiveResult::Ok && buffer[0] != ctl::STX; ++dropped) {
        if (dropped >= stxHuntLimit)
            return ReceiveResult::Timeout;
        r = next(buffer[0], expected);
    }
    if (r != ReceiveResult::Ok)
        return r;
    started = true;

    // Until LEN is read the frame is taken to be as long as the last one: a record's bytes are
    // then waited for at once, not its length first and its rest after.
    uint8_t x = ctl::STX;
    for (int k = 1; k <= 2; ++k) {
        if ((r = next(buffer[k], expected - k)) != ReceiveResult::Ok)
            return r;
        x ^= buffer[k];
    }
    const int len = buffer.readI16BE(1);
    if (len < kMinFrame || len > kMaxFrame)
        return ReceiveResult::BadFrame;

    for (int i = 3; i <= len - 2;) {
        // The bytes already there are taken at once: a stop can only be set while the events run,
        // in a wait, and each wait looks at it first.
        const QByteArray got = port.read(len - 1 - i);
        for (const char c : got) {
            buffer[i++] = static_cast<uint8_t>(c);
            x ^= static_cast<uint8_t>(c);
        }
        if (i > len - 2)
            break;
        if ((r = next(buffer[i], len - i)) != ReceiveResult::Ok)
            return r;
        x ^= buffer[i++];
    }
    if ((r = next(buffer[len - 1], 1)) != ReceiveResult::Ok)
        return r;
    if (x != buffer[len - 1])
        return ReceiveResult::BadFrame;

    buffer.clearAfter(len);
    buffer.setLength(len);
    return ReceiveResult::Ok;
}

void showReceiveError(ReceiveResult r)
{
    if (r == ReceiveResult::Timeout)
        prompter().message(GetS(31), Prompter::Icon::Critical);
    else if (r == ReceiveResult::BadFrame)
        prompter().message(GetS(62), Prompter::Icon::Critical);
}

ReceiveResult RecibirTramaResult(Link& link, InactivityTimer& timer)
{
    Waiter w = link.waiter();
    const ReceiveResult r = receiveFrame(link.port, w, timer, link.BufferTrama,
                                         &link.state.PararRecepcion, link.timing.stxHuntLimit);
    if (r == ReceiveResult::LineLost)
        link.reportLineLost();
    showReceiveError(r);
    return r;
}

bool RecibirTrama(Link& link, InactivityTimer& timer)
{
    return RecibirTramaResult(link, timer) == ReceiveResult::Ok;
}

} // namespace nbx
