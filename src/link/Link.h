// One device link: the port, the clock, the timings, the link state and the frame buffer.
// The program has one (defaultLink()); tests build their own around a fake port and clock.
#pragma once

#include "link/LinkClock.h"
#include "link/Frame.h"
#include "link/LinkState.h"
#include "link/LinkTiming.h"
#include "link/SerialPort.h"

namespace nbx {

class Link {
public:
    Link(ISerialPort& port, LinkClock& clock, const LinkTiming& timing = {})
        : port(port), clock(clock), timing(timing)
    {
    }
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    ISerialPort& port;
    LinkClock& clock;
    LinkTiming timing;
    LinkState state;
    FrameBuffer BufferTrama;

    Waiter waiter() { return Waiter(port, clock, timing); }
    // Per-byte receive timer with the usual 5 s interval.
    InactivityTimer frameTimer() { return InactivityTimer(clock, timing.frameTimeoutMs); }

    // AbrirPuerto: applies the port name from the state and opens at 19200-8N1 when closed.
    // The name of a port already open is left as it is until the next open. A port that closed
    // itself on a lost line is not opened again: the error is the loss, and the line is down.
    bool AbrirPuerto(QString* error);
    // Closes the port (when open); the line is down once the port is closed.
    void cerrarPuerto();
    // Hangs up: drops DTR (a pseudo-terminal refuses it: ignored), then closes.
    void colgar();
    // After a wait ended on a lost line: one message naming the port, the port closed and the
    // line recorded down. Shows nothing when the port was closed without a loss.
    void reportLineLost();
};

// The message of a port lost during an operation, in the current language.
QString lineLostText(const QString& portName);

// The program's link, over the real serial port and the system clock.
Link& defaultLink();
inline LinkState& linkState() { return defaultLink().state; }

// A device operation runs at most once at a time in the whole program.
class DeviceOperationGuard {
public:
    DeviceOperationGuard();
    ~DeviceOperationGuard();
    DeviceOperationGuard(const DeviceOperationGuard&) = delete;
    DeviceOperationGuard& operator=(const DeviceOperationGuard&) = delete;

    // False when another operation was already running (this guard then holds nothing).
    bool acquired() const { return acquired_; }
    static bool running();

private:
    bool acquired_ = false;
};

} // namespace nbx
