// A serial port for tests on a virtual clock, with a scripted device on the other end.
#pragma once

#include "VirtualClock.h"
#include "link/SerialPort.h"

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <deque>
#include <functional>

namespace nbx::test {

class FakeSerialPort : public ISerialPort {
public:
    explicit FakeSerialPort(VirtualClock& clock) : clock_(clock) {}

    // What the program sends, cut into units: a whole frame (STX..XOR), a lone CAN, a '+', or
    // a line ending in CR. The device answers through reply().
    using Device = std::function<void(FakeSerialPort& port, const QByteArray& unit)>;
    void setDevice(Device d) { device_ = std::move(d); }
    const Device& device() const { return device_; }

    // Bytes arriving `delayMs` from now, `gapMs` apart.
    void reply(const QByteArray& bytes, qint64 delayMs = 0, qint64 gapMs = 0);
    void failOpen(const QString& reason) { openError_ = reason; }
    // The line is lost (an adapter unplugged) once the clock reaches `t`, until the next open.
    void hangUpAt(qint64 t)
    {
        clock_.at(t, [this] { lost_ = true; });
    }

    // ISerialPort
    void setPortName(const QString& name) override { name_ = name; }
    QString portName() const override { return name_; }
    bool open(QString* error) override;
    void close() override;
    bool isOpen() const override { return open_; }
    qint64 bytesAvailable() override;
    int readByte() override;
    QByteArray read(qint64 maxBytes) override;
    bool write(const QByteArray& bytes) override;
    void clearInput() override;
    void clearOutput() override { events.append("clearOutput"); }
    bool setDtr(bool on) override;
    void waitForInput(int maxMs) override;
    bool lineLost() override { return open_ && lost_; }

    QByteArray written;          // every byte the program wrote
    QList<qint64> writeTimes;    // when each byte was written
    QList<QByteArray> units;     // the units the device saw
    QStringList events;          // "open <name>", "close", "dtr 0", "clearInput", ...
    QString openedName;          // name the port was last opened with
    bool dtrSupported = true;

private:
    void feedDevice(uint8_t b);

    VirtualClock& clock_;
    Device device_;
    QString name_;
    QString openError_;
    bool open_ = false;
    bool lost_ = false;
    std::deque<std::pair<qint64, uint8_t>> incoming_;
    QByteArray unit_;
    int frameLen_ = 0;
};

// A scripted NBX-70 for the fake port: identification, password, new password, erase, test and
// the modem dialogue, with a few faults.
struct FakeNbx70 {
    int model = 5;
    int major = 2, minor = 0;
    QByteArray serial = "123456";
    int mode = 1;
    QByteArray password = "1234";
    QByteArray testSerial = "123456";
    bool modem = false;        // a modem answers the dial first
    QByteArray modemAnswer = "1\r";
    bool silent = false;       // answers nothing at all
    int answerDelayMs = 5;
    int byteGapMs = 0;

    void install(FakeSerialPort& port);
    QByteArray identificationFrame() const;
};

} // namespace nbx::test
