#include "SimRecords.h"

#include "SimFrame.h"

#include <algorithm>

namespace nbx::sim {

namespace {

void put8(QByteArray& d, int i, int v) { d[i] = char(quint8(v)); }

void put16(QByteArray& d, int i, int v)
{
    d[i] = char(quint8((v >> 8) & 0xFF));
    d[i + 1] = char(quint8(v & 0xFF));
}

void put24(QByteArray& d, int i, int v)
{
    d[i] = char(quint8((v >> 16) & 0xFF));
    put16(d, i + 1, v & 0xFFFF);
}

void putMoment(QByteArray& d, int i, const QDateTime& m) { d.replace(i, 5, momentBytes(m)); }

int clampTenths(int v) { return std::clamp(v, 0, 1400); }

// Data index of frame offset k.
constexpr int at(int k) { return k - 4; }

QDateTime momentFrom(const QByteArray& data, int i)
{
    auto b = [&](int k) { return int(quint8(data.at(i + k))); };
    return QDateTime(QDate(1900 + b(2), b(1), b(0)), QTime(b(3), b(4)), Qt::UTC);
}

QString faultName(RecordFault f)
{
    switch (f) {
    case RecordFault::BadCheckByte: return QStringLiteral("bad check byte");
    case RecordFault::Stall: return QStringLiteral("stall");
    case RecordFault::Truncated: return QStringLiteral("truncated frame");
    case RecordFault::ShortLength: return QStringLiteral("short frame");
    case RecordFault::NoiseBeforeStx: return QStringLiteral("noise before STX");
    case RecordFault::BadLength: return QStringLiteral("length 0x8000");
    case RecordFault::Feb31: return QStringLiteral("31 February");
    case RecordFault::Hour24: return QStringLiteral("hour 24");
    case RecordFault::MonthF4: return QStringLiteral("month 0xF4");
    case RecordFault::OutOfRange: return QStringLiteral("L5 1401");
    case RecordFault::TopBit: return QStringLiteral("16-bit top bit");
    case RecordFault::Duplicate: return QStringLiteral("duplicate");
    case RecordFault::ShortEndFrame: return QStringLiteral("short end frame");
    case RecordFault::Nak: return QStringLiteral("NAK");
    }
    return QString();
}

} // namespace

QByteArray momentBytes(const QDateTime& m)
{
    QByteArray b;
    for (int v : {m.date().day(), m.date().month(), m.date().year() - 1900, m.time().hour(), m.time().minute()})
        b.append(char(quint8(v)));
    return b;
}

QByteArray generatedInterval(const QDateTime& end, int t, int k)
{
    QByteArray d(54, '\0');
    putMoment(d, at(4), end);
    put16(d, at(9), k % 97 == 0 ? 1 : 0);
    put16(d, at(11), (k * 7) % 40);
    put16(d, at(13), (k * 13) % 120);
    put16(d, at(15), k % 500 == 499 ? 5 : 0);
    const int leq = 550 + (k * 37) % 700;
    put16(d, at(17), 300 + (k * 53) % 400);
    put16(d, at(19), leq);
    put8(d, at(21), 35);
    put8(d, at(22), k % 300 == 0 ? 255 : 90);
    put8(d, at(23), t);
    put16(d, at(24), clampTenths(leq + 40));
    putMoment(d, at(26), end.addSecs(-60));
    put16(d, at(31), clampTenths(leq - 60));
    putMoment(d, at(33), end.addSecs(-120));
    put16(d, at(38), clampTenths(leq + 100));
    put8(d, at(40), 105);
    put16(d, at(41), (k * 3) % 10);
    const int offsets[5] = {80, 50, 30, -20, -60};
    for (int i = 0; i < 5; ++i)
        put16(d, at(43 + 2 * i), clampTenths(leq + offsets[i]));
    put8(d, at(53), k % 400 == 0 ? 255 : k % 5);
    put8(d, at(54), (k % 2 ? 0x80 : 0) | (k % 4));
    put8(d, at(55), (k % 1000 == 0 ? 0x80 : 0) | (k % 3));
    put8(d, at(56), k % 3 == 0 ? 125 : 1);
    put8(d, at(57), k % 4 == 1 ? 125 : k % 4 == 2 ? 5 : 0);
    return d;
}

QByteArray generatedSession(const QDateTime& start, int k)
{
    QByteArray d(64, '\0');
    putMoment(d, at(4), start);
    putMoment(d, at(9), start.addSecs(4 * 3600));
    for (auto [k2, v] : {std::pair{14, 90}, {15, 35}, {16, 22}, {17, 0}, {18, 8}, {19, 0}, {20, 85}, {21, 30}})
        put8(d, at(k2), v);
    put16(d, at(22), 10);
    put24(d, at(24), k % 3);
    put24(d, at(27), (k * 211) % 5000);
    put24(d, at(30), (k * 97) % 3000);
    put24(d, at(33), k % 50 == 49 ? 12 : 0);
    const int leq = 700 + (k * 29) % 400;
    put16(d, at(36), leq);
    put16(d, at(38), clampTenths(leq + 50));
    putMoment(d, at(40), start.addSecs(3600));
    put16(d, at(45), clampTenths(leq - 100));
    putMoment(d, at(47), start.addSecs(7200));
    put16(d, at(52), clampTenths(leq + 120));
    put8(d, at(54), 105);
    put24(d, at(55), k % 20);
    const int offsets[5] = {80, 50, 30, -20, -60};
    for (int i = 0; i < 5; ++i)
        put16(d, at(58 + 2 * i), clampTenths(leq + offsets[i]));
    return d;
}

QByteArray RecordDevice::recordData(int k) const
{
    if (command_ == 0x05) {
        if (!config.scriptedIntervals.isEmpty())
            return config.scriptedIntervals.value(k);
        return generatedInterval(config.clock.addSecs(-60LL * config.tMinutes * k), config.tMinutes, k);
    }
    if (!config.scriptedSessions.isEmpty())
        return config.scriptedSessions.value(k);
    QDateTime first(config.clock.date(), QTime(22, 0), Qt::UTC);
    if (first > config.clock)
        first = first.addDays(-1);
    return generatedSession(first.addSecs(-60LL * config.sessionEveryMinutes * k), k);
}

void RecordDevice::request(int command, const QByteArray& data, const Send& send, const Event& event)
{
    QByteArray reply;
    switch (command) {
    case 0x02:
        for (qint32 v : config.totals)
            for (int s : {24, 16, 8, 0})
                reply.append(char(quint8((quint32(v) >> s) & 0xFF)));
        send(encodeFrame(0x02, reply), 0);
        event(QStringLiteral("0x02: totals %1 %2 %3 %4").arg(config.totals[0]).arg(config.totals[1])
                  .arg(config.totals[2]).arg(config.totals[3]));
        return;
    case 0x03: {
        reply = QByteArray(150, '\0');
        for (int i = 0; i < 10 && i < config.erasureDays.size(); ++i)
            reply.replace(5 * i, 5, momentBytes(config.erasureDays[i]));
        for (int i = 0; i < 50; ++i) // list 2 is not read: valid-looking bytes prove it
            reply[50 + i] = char(quint8(1 + i % 12));
        for (int i = 0; i < 10 && i < config.reprogrammingDays.size(); ++i)
            reply.replace(100 + 5 * i, 5, momentBytes(config.reprogrammingDays[i]));
        send(encodeFrame(0x03, reply), 0);
        event(QStringLiteral("0x03: %1 erasure and %2 reprogramming days")
                  .arg(config.erasureDays.size()).arg(config.reprogrammingDays.size()));
        return;
    }
    default:
        break;
    }
    if (data.size() != 10) {
        event(QStringLiteral("0x%1 with %2 range bytes: no answer").arg(command, 2, 16, QLatin1Char('0')).arg(data.size()));
        return;
    }
    range_ = {momentFrom(data, 0), momentFrom(data, 5)};
    command_ = command;
    number_ = 0;
    next_ = 0;
    silent_ = repeat_ = false;
    order_.clear();
    const bool scripted = command == 0x05 ? !config.scriptedIntervals.isEmpty() : !config.scriptedSessions.isEmpty();
    const int count = scripted ? int(command == 0x05 ? config.scriptedIntervals.size() : config.scriptedSessions.size())
                               : (command == 0x05 ? config.intervalCount : config.sessionCount);
    for (int k = 0; k < count; ++k) {
        if (!scripted) {
            const QByteArray d = recordData(k);
            const QDateTime ref = momentFrom(d, 0);
            // The reference of an interval is its end, of a session its start.
            if (config.leaveOutAfterTo && ref > range_[1])
                continue;
            if (config.stopAtFrom && ref < range_[0])
                break;
        }
        order_.append(k);
    }
    sent_[command] = 0;
    event(QStringLiteral("0x%1: range %2 to %3, %4 records to send")
              .arg(command, 2, 16, QLatin1Char('0'))
              .arg(range_[0].toString(QStringLiteral("dd/MM/yyyy HH:mm")),
                   range_[1].toString(QStringLiteral("dd/MM/yyyy HH:mm")))
              .arg(order_.size()));
    sendNext(send, event);
}

bool RecordDevice::control(quint8 byte, const Send& send, const Event& event)
{
    if (command_ == 0)
        return false;
    if (byte == kCan) {
        event(QStringLiteral("CAN: stream 0x%1 ended after %2 frames").arg(command_, 2, 16, QLatin1Char('0')).arg(number_));
        command_ = 0;
        return true;
    }
    if (byte != kAck)
        return false;
    if (silent_) {
        event(QStringLiteral("ACK while silent"));
        return true;
    }
    sendNext(send, event);
    return true;
}

void RecordDevice::sendNext(const Send& send, const Event& event)
{
    const int cmd = command_;
    const int len = cmd == 0x05 ? 54 : 64;
    const int number = ++number_;
    const auto fault = faults_.value(cmd).value(number, RecordFault(-1));
    const bool faulty = faults_.value(cmd).contains(number);
    if (faulty)
        event(QStringLiteral("record %1 of 0x%2: fault %3").arg(number).arg(cmd, 2, 16, QLatin1Char('0')).arg(faultName(fault)));

    QByteArray data;
    if (repeat_) {
        repeat_ = false;
        data = recordData(order_.value(next_ - 1));
    } else if (next_ < order_.size()) {
        data = recordData(order_[next_++]);
    }
    if (faulty && fault == RecordFault::ShortEndFrame) {
        send(encodeFrame(quint8(cmd), QByteArray()), config.recordDelayMs);
        command_ = 0;
        return;
    }
    if (faulty && fault == RecordFault::Nak) {
        // The device gives the stream up: later ACKs and CANs are bytes between frames.
        send(QByteArray(1, char(kNak)), config.recordDelayMs);
        command_ = 0;
        return;
    }
    if (data.isEmpty()) {
        send(encodeFrame(quint8(cmd), QByteArray(len, '\0')), config.recordDelayMs);
        event(QStringLiteral("0x%1: end frame after %2 records").arg(cmd, 2, 16, QLatin1Char('0')).arg(number - 1));
        command_ = 0;
        return;
    }
    if (faulty) {
        switch (fault) {
        case RecordFault::Feb31: data[0] = 31; data[1] = 2; break;
        case RecordFault::Hour24: data[3] = 24; break;
        case RecordFault::MonthF4: data[1] = char(0xF4); break;
        case RecordFault::OutOfRange: put16(data, cmd == 0x05 ? at(45) : at(60), 1401); break;
        case RecordFault::TopBit: put16(data, cmd == 0x05 ? at(9) : at(22), 0x8000); break;
        case RecordFault::Duplicate: repeat_ = true; break;
        default: break;
        }
    }
    QByteArray frame = encodeFrame(quint8(cmd), data);
    if (faulty) {
        switch (fault) {
        case RecordFault::BadCheckByte: frame[frame.size() - 1] = char(quint8(frame.back()) ^ 0xFF); break;
        case RecordFault::Stall: silent_ = true; return;
        case RecordFault::Truncated: frame = frame.left(frame.size() / 2); silent_ = true; break;
        case RecordFault::ShortLength: frame = encodeFrame(quint8(cmd), data.left(data.size() / 2)); break;
        case RecordFault::NoiseBeforeStx: frame.prepend(QByteArray("\xFF\x00", 2)); break;
        case RecordFault::BadLength:
            frame[1] = char(0x80);
            frame[2] = 0;
            frame[frame.size() - 1] = char(xorOf(frame.left(frame.size() - 1)));
            break;
        default: break;
        }
    }
    ++sent_[cmd];
    send(frame, config.recordDelayMs);
}

}  // namespace nbx::sim
