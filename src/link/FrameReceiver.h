// RecibirTrama: receives one frame into the frame buffer, with a per-byte inactivity timeout.
#pragma once

#include "link/LinkClock.h"
#include "link/Frame.h"

namespace nbx {

class Link;

enum class ReceiveResult { Ok, Timeout, BadFrame, Stopped, LineLost };

// Hunts for STX (at most stxHuntLimit dropped bytes, then a timeout), reads LEN (signed; outside
// 6..513 is a bad frame before any data byte is stored), the rest of the frame and its XOR.
// On success the buffer beyond the frame is zeroed and buffer.length() is LEN; otherwise
// buffer.length() is 0. Shows nothing.
ReceiveResult receiveFrame(ISerialPort& port, Waiter& waiter, InactivityTimer& timer,
                           FrameBuffer& buffer, const bool* stop, int stxHuntLimit);

// The same on the link, with its messages: a timeout shows GetS(31), a bad frame GetS(62)
// (both critical); a stop shows nothing; a lost port shows its message and is closed. True for a whole frame with a right XOR.
bool RecibirTrama(Link& link, InactivityTimer& timer);
ReceiveResult RecibirTramaResult(Link& link, InactivityTimer& timer);

void showReceiveError(ReceiveResult r);

} // namespace nbx
