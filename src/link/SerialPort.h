// The serial port as the link layer sees it: raw bytes, flushed writes, and a yielding wait.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace nbx {

class ISerialPort {
public:
    virtual ~ISerialPort() = default;

    // Recorded only; an open port keeps its name until it is closed and opened again.
    virtual void setPortName(const QString& name) = 0;
    virtual QString portName() const = 0;

    // Opens at 19200 baud, 8 data bits, no parity, 1 stop bit, no flow control, DTR asserted.
    // On failure returns false and, when error is given, a readable reason naming the port.
    virtual bool open(QString* error) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // Bytes received and not yet read (polls the driver).
    virtual qint64 bytesAvailable() = 0;
    // One received byte, or -1 when none is waiting.
    virtual int readByte() = 0;
    virtual QByteArray read(qint64 maxBytes) = 0;

    // Writes and waits until the bytes have left for the wire.
    virtual bool write(const QByteArray& bytes) = 0;
    bool writeByte(uint8_t b) { return write(QByteArray(1, char(b))); }

    // Discard received (driver and internal buffers) or pending output bytes.
    virtual void clearInput() = 0;
    virtual void clearOutput() = 0;

    // False when the line does not support it (a pseudo-terminal); callers may ignore that.
    virtual bool setDtr(bool on) = 0;

    // Lets the event loop run until input arrives or maxMs pass, whichever is first.
    virtual void waitForInput(int maxMs) = 0;
    // The same for a frame: until `count` bytes are there, maxMs pass or *stop (may be null)
    // becomes true. `started`: the frame's first byte came and `count` bytes follow back to back;
    // otherwise the frame is still to begin and `count` is the length it is expected to have. A
    // port may let the bytes gather rather than wake for each one, and return with fewer when
    // the frame is shorter than expected.
    virtual void waitForBytes(int maxMs, int count, bool started, const bool* stop)
    {
        (void)count;
        (void)started;
        (void)stop;
        waitForInput(maxMs);
    }

    // True once the open port reported an error or a hang-up (an adapter unplugged, the far end
    // of a pseudo-terminal closed), also after the port then closed itself. Cleared by the next
    // open or close.
    virtual bool lineLost() { return false; }
};

// The device name for port number n (1-16) when no explicit device is set: ttyS<n-1>.
// An explicit device ("ttyUSB0", "/dev/ttyS0", a pseudo-terminal path) wins when not empty.
QString serialPortName(int portNumber, const QString& device);

} // namespace nbx
