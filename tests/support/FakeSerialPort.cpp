#include "FakeSerialPort.h"

#include "link/Frame.h"

#include <algorithm>

namespace nbx::test {

void FakeSerialPort::reply(const QByteArray& bytes, qint64 delayMs, qint64 gapMs)
{
    qint64 t = clock_.nowMs() + delayMs;
    for (char c : bytes) {
        incoming_.emplace_back(t, static_cast<uint8_t>(c));
        t += gapMs;
    }
    std::stable_sort(incoming_.begin(), incoming_.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
}

bool FakeSerialPort::open(QString* error)
{
    if (open_)
        return true;
    if (!openError_.isEmpty()) {
        if (error)
            *error = openError_;
        return false;
    }
    open_ = true;
    lost_ = false;
    openedName = name_;
    events.append("open " + name_);
    return true;
}

void FakeSerialPort::close()
{
    if (!open_)
        return;
    open_ = false;
    events.append("close");
}

qint64 FakeSerialPort::bytesAvailable()
{
    if (!open_)
        return 0;
    const qint64 now = clock_.nowMs();
    return std::count_if(incoming_.begin(), incoming_.end(),
                         [now](const auto& e) { return e.first <= now; });
}

int FakeSerialPort::readByte()
{
    if (bytesAvailable() == 0)
        return -1;
    const uint8_t b = incoming_.front().second;
    incoming_.pop_front();
    return b;
}

QByteArray FakeSerialPort::read(qint64 maxBytes)
{
    QByteArray out;
    while (out.size() < maxBytes && bytesAvailable() > 0)
        out.append(char(readByte()));
    return out;
}

bool FakeSerialPort::write(const QByteArray& bytes)
{
    if (!open_)
        return false;
    for (char c : bytes) {
        written.append(c);
        writeTimes.append(clock_.nowMs());
        feedDevice(static_cast<uint8_t>(c));
    }
    return true;
}

void FakeSerialPort::clearInput()
{
    events.append("clearInput");
    const qint64 now = clock_.nowMs();
    while (!incoming_.empty() && incoming_.front().first <= now)
        incoming_.pop_front();
}

bool FakeSerialPort::setDtr(bool on)
{
    events.append(on ? "dtr 1" : "dtr 0");
    return dtrSupported;
}

void FakeSerialPort::waitForInput(int maxMs)
{
    if (bytesAvailable() > 0)
        return;
    qint64 target = clock_.nowMs() + std::max(maxMs, 1);
    if (open_ && !incoming_.empty())
        target = std::min(target, incoming_.front().first);
    clock_.yields++;
    clock_.advanceTo(std::max(target, clock_.nowMs() + 1));
}

void FakeSerialPort::feedDevice(uint8_t b)
{
    if (unit_.isEmpty() && b == ctl::CAN) {
        units.append(QByteArray(1, char(b)));
        if (device_)
            device_(*this, units.last());
        return;
    }
    unit_.append(char(b));
    bool done = false;
    if (static_cast<uint8_t>(unit_.at(0)) == ctl::STX) {
        if (unit_.size() == 3)
            frameLen_ = (static_cast<uint8_t>(unit_.at(1)) << 8) | static_cast<uint8_t>(unit_.at(2));
        done = unit_.size() >= 3 && unit_.size() >= std::clamp(frameLen_, 3, 600);
    } else {
        done = b == '\r' || (unit_.size() == 1 && b == '+');
    }
    if (done) {
        units.append(unit_);
        unit_.clear();
        if (device_)
            device_(*this, units.last());
    }
}

QByteArray FakeNbx70::identificationFrame() const
{
    QByteArray data;
    data.append(char(model)).append(char(major)).append(char(minor)).append(serial);
    data.append(char(mode));
    return buildFrame(0x01, data);
}

void FakeNbx70::install(FakeSerialPort& port)
{
    port.setDevice([this, connected = !modem](FakeSerialPort& p, const QByteArray& u) mutable {
        if (silent)
            return;
        if (!connected) {
            if (u.startsWith("ATE0V0X0")) {
                p.reply(u, 0); // echo
                p.reply(modemAnswer, 2000);
                connected = modemAnswer.startsWith('1');
            }
            return;
        }
        if (u.size() < 6 || static_cast<uint8_t>(u.at(0)) != ctl::STX)
            return;
        const QByteArray ack(1, char(ctl::ACK)), nak(1, char(ctl::NAK));
        switch (static_cast<uint8_t>(u.at(3))) {
        case 0x01: p.reply(identificationFrame(), answerDelayMs, byteGapMs); break;
        case 0x0A: p.reply(u.mid(4, 4) == password ? ack : nak, answerDelayMs); break;
        case 0x0B:
            password = u.mid(4, 4);
            p.reply(ack, answerDelayMs);
            break;
        case 0x0C: p.reply(ack, answerDelayMs); break;
        case 0x0D: {
            QByteArray digits;
            for (char c : testSerial)
                digits.append(char(c - '0'));
            p.reply(u.mid(4, 6) == digits ? ack : nak, answerDelayMs);
            break;
        }
        default: break;
        }
    });
}

} // namespace nbx::test
