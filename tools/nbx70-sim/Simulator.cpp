#include "Simulator.h"

#include "SimFrame.h"
#include "SimRecords.h"

#include <QMap>
#include <QRegularExpression>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace nbx::sim {

namespace {

constexpr quint8 kOtherByte = 0x41;

bool isIdentificationFault(Fault f)
{
    return f == Fault::WrongModel || f == Fault::WrongSerial || f == Fault::SerialNotDigits
        || f == Fault::ProgrammingModeOff;
}

bool isFrameFault(Fault f)
{
    return f == Fault::StallMidFrame || f == Fault::NoiseBeforeStx || f == Fault::BadCheckByte
        || f == Fault::BadLength || f == Fault::LengthTooLong || f == Fault::ShortLength;
}

bool answersWithFrame(int command)
{
    return command == 0x01 || command == 0x04 || StreamEngine::isStreamCommand(command);
}

bool faultApplies(Fault f, int command)
{
    if (isIdentificationFault(f))
        return command == 0x01;
    if (isFrameFault(f))
        return answersWithFrame(command);
    return true;
}

QString faultName(Fault f)
{
    switch (f) {
    case Fault::None: return QStringLiteral("none");
    case Fault::Silence: return QStringLiteral("silence");
    case Fault::Nak: return QStringLiteral("NAK");
    case Fault::OtherByte: return QStringLiteral("other byte");
    case Fault::StallMidFrame: return QStringLiteral("stall mid-frame");
    case Fault::NoiseBeforeStx: return QStringLiteral("noise before STX");
    case Fault::BadCheckByte: return QStringLiteral("bad check byte");
    case Fault::BadLength: return QStringLiteral("length 0x8000");
    case Fault::WrongModel: return QStringLiteral("wrong model");
    case Fault::WrongSerial: return QStringLiteral("wrong serial");
    case Fault::ProgrammingModeOff: return QStringLiteral("programming mode off");
    case Fault::DoubleAck: return QStringLiteral("double ACK");
    case Fault::LengthTooLong: return QStringLiteral("length 514");
    case Fault::ShortLength: return QStringLiteral("short length");
    case Fault::SerialNotDigits: return QStringLiteral("serial not digits");
    }
    return QString();
}

void setRaw(int fd)
{
    termios t{};
    if (tcgetattr(fd, &t) != 0)
        return;
    cfmakeraw(&t);
    t.c_iflag &= ~(IXON | IXOFF | IXANY | ICRNL | INLCR | IGNCR);
    t.c_lflag &= ~(ISIG | ICANON | ECHO | IEXTEN);
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    cfsetispeed(&t, B19200);
    cfsetospeed(&t, B19200);
    tcsetattr(fd, TCSANOW, &t);
}

// major and minor of a "major.minor" text; missing parts read 0.
void splitFirmware(const QString& fw, int& major, int& minor)
{
    const QStringList parts = fw.trimmed().split(QLatin1Char('.'));
    major = parts.value(0).toInt();
    minor = parts.value(1).toInt();
}

QByteArray paddedPassword(const QByteArray& pw)
{
    QByteArray p = pw.left(4);
    while (p.size() < 4)
        p.append(' ');
    return p;
}

QString hex(const QByteArray& bytes, int max = 32)
{
    QString s = QString::fromLatin1(bytes.left(max).toHex(' ')).toUpper();
    if (bytes.size() > max)
        s += QStringLiteral(" ... (%1 bytes)").arg(bytes.size());
    return s;
}

}  // namespace

bool firmwareHasGlobalCorrection(const QString& firmware)
{
    // The decimal number at the start of the text; anything that does not start with one is 0.
    static const QRegularExpression re(QStringLiteral("^\\s*(\\d+(?:\\.\\d*)?)"));
    const auto m = re.match(firmware);
    return m.hasMatch() && m.captured(1).toDouble() >= 2.0;
}

QByteArray defaultProgrammingBlock(bool withGlobalCorrection)
{
    QByteArray b(withGlobalCorrection ? 365 : 364, '\0');
    auto put = [&b](int k, int v) { b[k] = char(quint8(v)); };
    // Sunday closed, Monday to Friday 08:00-23:30, Saturday 10:00-02:00.
    for (int k = 0; k < 4; ++k)
        put(k, 0x2D);
    for (int d = 1; d <= 5; ++d) {
        put(4 * d, 8); put(4 * d + 1, 0); put(4 * d + 2, 23); put(4 * d + 3, 30);
    }
    put(24, 10); put(25, 0); put(26, 2); put(27, 0);
    put(28, 90); put(29, 35);                       // day limits
    put(30, 22); put(31, 0); put(32, 8); put(33, 0);  // night 22:00-08:00
    put(34, 85); put(35, 30);                       // night limits
    put(36, 1);                                     // summer/winter change
    put(37, 0); put(38, 10);                        // attenuation 10 s
    put(39, 15); put(40, 100); put(41, 0); put(42, 0); put(43, 3);
    const int intervals[2][10] = {{24, 12, 106, 23, 59, 26, 12, 106, 8, 0},
                                  {31, 12, 106, 20, 0, 1, 1, 107, 6, 0}};
    for (int n = 0; n < 2; ++n)
        for (int i = 0; i < 10; ++i)
            put(44 + 10 * n + i, intervals[n][i]);
    put(344, 1);    // emission acts on Leq1s
    put(345, 0);    // no action towards the neighbour
    const qint16 octaves[9] = {50, -50, 55, 0, 0, 0, 10, 20, -300};  // tenths of dB
    for (int m = 0; m < 9; ++m) {
        put(346 + 2 * m, (quint16(octaves[m]) >> 8) & 0xFF);
        put(347 + 2 * m, quint16(octaves[m]) & 0xFF);
    }
    if (withGlobalCorrection)
        put(364, 1);
    return b;
}

struct PendingFault {
    Fault fault;
    int command;
    int remaining;
};

struct OutByte {
    qint64 due;
    quint8 byte;
};

struct Simulator::Impl {
    mutable std::mutex mu;
    DeviceConfig cfg;
    int master = -1;
    int slave = -1;
    int stopPipe[2] = {-1, -1};
    QString path;
    std::thread thread;
    std::atomic<bool> running{false};
    std::chrono::steady_clock::time_point t0 = std::chrono::steady_clock::now();

    QList<PendingFault> faults;
    QMap<int, int> answerDelayMs;
    qint64 byteDelayUs = 0;      // pause between the bytes the device writes
    bool linePace = false;       // byteDelayUs is a line's pace: bytes keep their planned times
    int frameTimeoutMs = 2000;
    int badFrameAnswer = -1;

    bool modemOn = false;
    ModemAnswer modemAnswer = ModemAnswer::Connect;
    int modemDelayMs = 2000;
    bool modemConnected = false;  // a call is up
    bool online = false;          // bytes go to the device (a call up and not escaped)
    bool echo = true;             // command-mode echo, until an E0 has been carried out
    QByteArray modemLine;
    int plusRun = 0;
    int escapeGuardMs = 1000;     // S12: the silence before and after "+++", the most between its '+'
    ModemQuirks quirks;
    qint64 lastOnlineRx = 0;      // last byte received while online
    qint64 lastPlus = 0;
    qint64 escapeDue = 0;         // "+++" seen; the escape happens if silence lasts until then
    QString lastDial;

    bool passwordOk = false;      // a right 0x0A came since the last CAN or protected command

    std::deque<OutByte> out;
    FrameDecoder rx;
    FrameDecoder txWatch;
    qint64 lastRx = 0;

    QList<LogEntry> log;
    QList<FrameEntry> frames;
    QStringList events;
    std::function<void(const QString&)> sink;
    StreamEngine streams;

    QByteArray storedBlock;
    QByteArray storedClockBytes;
    QDateTime storedClock;
    int cleared = 0;
    RecordDevice records; // totals, dates and the record streams

    qint64 now() const
    {
        return std::chrono::duration_cast<std::chrono::microseconds>(
                   std::chrono::steady_clock::now() - t0).count();
    }

    // Records one event line (callers hold the lock).
    void event(const QString& text, bool keep = true)
    {
        const qint64 t = now();
        const QString line = QStringLiteral("[%1.%2] %3")
                                 .arg(t / 1000000, 4)
                                 .arg(t % 1000000, 6, 10, QLatin1Char('0'))
                                 .arg(text);
        if (keep)
            events.append(line);
        if (sink)
            sink(line);
    }

    int blockSize() const { return firmwareHasGlobalCorrection(cfg.firmware) ? 365 : 364; }

    QByteArray currentBlock() const
    {
        QByteArray b = cfg.programmingBlock.isEmpty()
            ? defaultProgrammingBlock(blockSize() == 365) : cfg.programmingBlock;
        b = b.left(blockSize());
        while (b.size() < blockSize())
            b.append('\0');
        return b;
    }

    Fault takeFault(int command)
    {
        for (int i = 0; i < faults.size(); ++i) {
            PendingFault& p = faults[i];
            if ((p.command == -1 || p.command == command) && faultApplies(p.fault, command)) {
                const Fault f = p.fault;
                if (--p.remaining <= 0)
                    faults.removeAt(i);
                return f;
            }
        }
        return Fault::None;
    }

    // The bytes leave `delayMs` from now, behind those queued, at least `gapMs` apart.
    void queue(const QByteArray& bytes, int delayMs, int gapMs = 0)
    {
        const qint64 gap = std::max(byteDelayUs, qint64(gapMs) * 1000);
        qint64 due = now() + qint64(delayMs) * 1000;
        if (!out.empty())
            due = std::max(due, out.back().due + gap);
        for (char c : bytes) {
            out.push_back({due, quint8(c)});
            due += gap;
        }
    }

    // What the modem itself sends: its echo and its answers, as late and slow as it is.
    void modemSend(const QByteArray& bytes, int delayMs)
    {
        queue(bytes, delayMs + quirks.lateMs, quirks.gapMs);
    }

    QByteArray identificationData(Fault f) const
    {
        int major = 0, minor = 0;
        splitFirmware(cfg.firmware, major, minor);
        QByteArray serial = cfg.serial.toLatin1().right(6);
        while (serial.size() < 6)
            serial.prepend('0');
        if (f == Fault::WrongSerial) {
            const int other = (serial.toInt() + 1) % 1000000;
            serial = QByteArray::number(other).rightJustified(6, '0');
        } else if (f == Fault::SerialNotDigits) {
            serial = "12A456";
        }
        int model = cfg.model;
        if (f == Fault::WrongModel)
            model = cfg.model == 5 ? 6 : 5;
        QByteArray data;
        data.append(char(quint8(model)));
        data.append(char(quint8(major)));
        data.append(char(quint8(minor)));
        data.append(serial);
        data.append(char((cfg.programmingMode && f != Fault::ProgrammingModeOff) ? 1 : 0));
        return data;
    }

    static QByteArray damage(QByteArray frame, Fault f)
    {
        auto fixXor = [](QByteArray& fr) {
            fr[fr.size() - 1] = char(xorOf(fr.left(fr.size() - 1)));
        };
        switch (f) {
        case Fault::StallMidFrame:
            return frame.left(frame.size() / 2);
        case Fault::NoiseBeforeStx:
            return QByteArray("\xFF\x00", 2) + frame;
        case Fault::BadCheckByte:
            frame[frame.size() - 1] = char(quint8(frame.back()) ^ 0xFF);
            return frame;
        case Fault::BadLength:
            frame[1] = char(0x80);
            frame[2] = char(0x00);
            fixXor(frame);
            return frame;
        case Fault::LengthTooLong:
            frame[1] = char(0x02);
            frame[2] = char(0x02);
            fixXor(frame);
            return frame;
        case Fault::ShortLength: {
            const QByteArray data = frame.mid(4, frame.size() - 6);
            return encodeFrame(quint8(frame[3]), data.left(data.size() / 2));
        }
        default:
            return frame;
        }
    }

    // Answers one valid frame from the program.
    void answer(const DecodedFrame& f)
    {
        const int cmd = f.command;
        if (StreamEngine::isStreamCommand(cmd)) {
            // Calibration and the meter need a right password first; the real-time view does not.
            if (cmd != 0x09) {
                const bool allowed = passwordOk;
                passwordOk = false;
                if (!allowed) {
                    event(QStringLiteral("stream 0x%1 refused: no right password first").arg(cmd, 2, 16, QLatin1Char('0')));
                    return;
                }
            }
            streams.start(cmd, now());
            return;
        }
        const QString name =
            QStringLiteral("0x") + QString::number(cmd, 16).rightJustified(2, QLatin1Char('0')).toUpper();
        if (RecordDevice::handles(cmd)) {
            records.request(cmd, f.data, [this](const QByteArray& b, int ms) { queue(b, ms); },
                            [this](const QString& e) { event(e); });
            return;
        }
        switch (cmd) {
        case 0x01: case 0x04: case 0x08: case 0x0A: case 0x0B: case 0x0C: case 0x0D:
            break;
        default:
            event(QStringLiteral("command %1 is not simulated: no answer").arg(name));
            return;
        }
        const Fault fault = takeFault(cmd);
        if (fault != Fault::None)
            event(QStringLiteral("fault for %1: %2").arg(name, faultName(fault)));
        const int delay = answerDelayMs.value(cmd, 0);
        if (fault == Fault::Silence) {
            event(QStringLiteral("%1 not carried out, no answer").arg(name));
            return;
        }
        if (fault == Fault::Nak || fault == Fault::OtherByte) {
            queue(QByteArray(1, char(fault == Fault::Nak ? kNak : kOtherByte)), delay);
            event(QStringLiteral("%1 not carried out, answered %2")
                      .arg(name, fault == Fault::Nak ? QStringLiteral("NAK") : QStringLiteral("0x41")));
            return;
        }

        QByteArray reply;
        QString what;
        // Programming, new password and erase need a right password first; each one uses it up.
        if (cmd == 0x08 || cmd == 0x0B || cmd == 0x0C) {
            const bool allowed = passwordOk;
            passwordOk = false;
            if (!allowed) {
                queue(QByteArray(1, char(kNak)), delay);
                event(QStringLiteral("%1 refused: no right password first; answer 15").arg(name));
                return;
            }
        }
        switch (cmd) {
        case 0x01:
            reply = damage(encodeFrame(0x01, identificationData(fault)), fault);
            what = QStringLiteral("identification");
            break;
        case 0x04:
            reply = damage(encodeFrame(0x04, currentBlock()), fault);
            what = QStringLiteral("programming block of %1 bytes").arg(blockSize());
            break;
        case 0x08: {
            const int expected = 6 + blockSize();
            if (f.data.size() != expected) {
                reply = QByteArray(1, char(kNak));
                what = QStringLiteral("programming of %1 data bytes refused (firmware %2 takes %3)")
                           .arg(f.data.size()).arg(cfg.firmware).arg(expected);
                break;
            }
            storedClockBytes = f.data.left(6);
            auto at = [&](int i) { return int(quint8(storedClockBytes[i])); };
            storedClock = QDateTime(QDate(1900 + at(2), at(1), at(0)), QTime(at(3), at(4), at(5)));
            storedBlock = f.data.mid(6);
            cfg.programmingBlock = storedBlock;
            reply = QByteArray(1, char(kAck));
            what = QStringLiteral("programming stored, clock %1").arg(hex(storedClockBytes));
            break;
        }
        case 0x0A: {
            const bool right = f.data.size() == 4 && f.data == paddedPassword(cfg.password);
            passwordOk = right;
            reply = QByteArray(1, char(right ? kAck : kNak));
            what = right ? QStringLiteral("password right") : QStringLiteral("password wrong");
            break;
        }
        case 0x0B:
            if (f.data.size() == 4) {
                cfg.password = f.data;
                reply = QByteArray(1, char(kAck));
                what = QStringLiteral("new password stored");
            } else {
                reply = QByteArray(1, char(kNak));
                what = QStringLiteral("new password of %1 bytes refused").arg(f.data.size());
            }
            break;
        case 0x0C:
            ++cleared;
            reply = QByteArray(1, char(kAck));
            what = QStringLiteral("records erased");
            break;
        case 0x0D: {
            bool match = f.data.size() == 6;
            const QByteArray serial = cfg.serial.toLatin1();
            for (int i = 0; match && i < 6; ++i)
                match = i < serial.size() && quint8(f.data[i]) == quint8(serial[i] - '0');
            const bool pass = match && !cfg.antiTestProtection;
            reply = QByteArray(1, char(pass ? kAck : kNak));
            what = pass ? QStringLiteral("test passed")
                        : cfg.antiTestProtection ? QStringLiteral("test refused: protection on")
                                                 : QStringLiteral("test refused: serial differs");
            break;
        }
        }
        if (fault == Fault::DoubleAck && reply == QByteArray(1, char(kAck)))
            reply.append(char(kAck));
        queue(reply, delay);
        event(QStringLiteral("%1: %2; answer %3%4")
                  .arg(name, what, hex(reply))
                  .arg(delay ? QStringLiteral(" after %1 ms").arg(delay) : QString()));
    }

    void modemLineDone()
    {
        // A command starts at "AT"; whatever came before it on the line is noise.
        QString line = QString::fromLatin1(modemLine);
        modemLine.clear();
        const int at = line.lastIndexOf(QLatin1String("AT"), -1, Qt::CaseInsensitive);
        line = (at >= 0 ? line.mid(at) : line).trimmed();
        if (line.isEmpty())
            return;
        lastDial = line;
        // E0/E1 take effect once the line is carried out: the line itself was echoed already.
        static const QRegularExpression echoCmd(QStringLiteral("^AT[^D]*?E([01])"),
                                                QRegularExpression::CaseInsensitiveOption);
        const auto e = echoCmd.match(line);
        if (e.hasMatch())
            echo = e.captured(1) == QLatin1String("1");
        static const QRegularExpression dial(QStringLiteral("^ATE0V0X0D([TP])(.*),([^,]*)$"));
        const auto m = dial.match(line);
        if (m.hasMatch() && modemConnected && !quirks.dialDropsCall) {
            // A dial while a call is up (escaped to command mode): ERROR.
            modemSend("4\r", 0);
            event(QStringLiteral("modem: %1 -> \"4\", a call is already up").arg(line));
        } else if (m.hasMatch()) {
            if (modemConnected)
                event(QStringLiteral("modem: the call up is dropped for the dial"));
            modemConnected = online = false;
            switch (modemAnswer) {
            case ModemAnswer::Connect:
                modemSend(quirks.noise + "1\r", modemDelayMs);
                modemConnected = online = true;
                lastOnlineRx = now();
                event(QStringLiteral("modem: %1 -> \"1\", connected").arg(line));
                break;
            case ModemAnswer::Busy:
                modemSend(quirks.noise + "3\r", modemDelayMs);
                event(QStringLiteral("modem: %1 -> \"3\"").arg(line));
                break;
            case ModemAnswer::Silent:
                modemSend(quirks.noise, modemDelayMs);
                event(QStringLiteral("modem: %1 -> no answer").arg(line));
                break;
            }
        } else if (line.compare(QLatin1String("ATH"), Qt::CaseInsensitive) == 0
                   || line.compare(QLatin1String("ATH0"), Qt::CaseInsensitive) == 0) {
            modemSend("0\r", 0);
            modemConnected = online = false;
            event(QStringLiteral("modem: %1 -> \"0\", hung up").arg(line));
        } else if (line.compare(QLatin1String("ATO"), Qt::CaseInsensitive) == 0) {
            modemSend(modemConnected ? "1\r" : "3\r", 0);
            online = modemConnected;
            lastOnlineRx = now();
            event(QStringLiteral("modem: ATO -> %1").arg(online ? QStringLiteral("back online")
                                                                 : QStringLiteral("no call")));
        } else if (line.startsWith(QLatin1String("AT"), Qt::CaseInsensitive)) {
            modemSend("0\r", 0);
            event(QStringLiteral("modem: %1 -> \"0\"").arg(line));
        } else {
            event(QStringLiteral("modem: ignored line %1").arg(line));
        }
    }

    // A byte in command mode: echoed while echo is on, collected into the command line.
    void modemByte(quint8 b)
    {
        if (echo)
            modemSend(QByteArray(1, char(b)), 0);
        if (b == '\r')
            modemLineDone();
        else if (b != '\n' && modemLine.size() < 256)
            modemLine.append(char(b));
    }

    // Online: "+++" escapes to command mode only with the guard times kept: silence before the
    // first '+', each '+' soon after the previous one, and silence after the third (checked in
    // run()). The bytes still reach the device. True for a '+' taken as part of an escape.
    bool onlineEscapeByte(quint8 b, qint64 t)
    {
        const qint64 guard = qint64(escapeGuardMs) * 1000;
        const qint64 quietBefore = t - lastOnlineRx;
        lastOnlineRx = t;
        escapeDue = 0;
        if (b != '+') {
            plusRun = 0;
            return false;
        }
        if (plusRun > 0 && (guard == 0 || t - lastPlus < guard))
            ++plusRun;
        else
            plusRun = quietBefore >= guard ? 1 : 0;
        lastPlus = t;
        if (plusRun == 3) {
            plusRun = 0;
            if (guard == 0)
                escape(); // the bytes after it are commands
            else
                escapeDue = t + guard;
        }
        return true;
    }

    void escapeIfDue()
    {
        if (escapeDue == 0 || now() < escapeDue)
            return;
        escapeDue = 0;
        escape();
    }

    void escape()
    {
        online = false;
        modemLine.clear();
        modemSend("0\r", 0);
        event(QStringLiteral("modem: escape \"+++\"%1, command mode, call still up")
                  .arg(escapeGuardMs > 0 ? QStringLiteral(" with its guard times") : QString()));
    }

    void byteLine(bool fromDevice, quint8 b)
    {
        if (sink)
            event(QStringLiteral("%1 %2").arg(fromDevice ? QStringLiteral("tx") : QStringLiteral("rx"),
                      QString::number(b, 16).rightJustified(2, QLatin1Char('0')).toUpper()), false);
    }

    void received(quint8 b, qint64 t)
    {
        log.append({t, false, b});
        byteLine(false, b);
        if (modemOn && !online) {
            modemByte(b);
            return;
        }
        if (modemOn && onlineEscapeByte(b, t) && !rx.inFrame())
            return;
        if (!rx.inFrame()) {
            if (records.control(b, [this](const QByteArray& bytes, int ms) { queue(bytes, ms); },
                                [this](const QString& e) { event(e); }))
                return;
            if (b == kCan) {
                passwordOk = false;
                event(QStringLiteral("CAN"));
                streams.can(t);
                return;
            }
            if (b == kAck) {
                if (!streams.ack(t))
                    event(QStringLiteral("ACK with no stream running"));
                return;
            }
        }
        lastRx = t;
        const auto r = rx.feed(b);
        if (r == FrameDecoder::Result::Idle) {
            event(QStringLiteral("byte 0x%1 outside a frame dropped").arg(b, 2, 16, QLatin1Char('0')));
            return;
        }
        if (r != FrameDecoder::Result::Complete)
            return;
        const DecodedFrame& f = rx.frame();
        frames.append({t, false, f.valid, f.command, f.raw});
        if (!f.valid) {
            if (badFrameAnswer >= 0) {
                queue(QByteArray(1, char(quint8(badFrameAnswer))), 0);
                event(QStringLiteral("bad frame (%1): %2; answer %3")
                          .arg(f.problem, hex(f.raw), hex(QByteArray(1, char(quint8(badFrameAnswer))))));
            } else {
                event(QStringLiteral("bad frame (%1): %2; no answer").arg(f.problem, hex(f.raw)));
            }
            return;
        }
        event(QStringLiteral("frame received: %1").arg(hex(f.raw)));
        answer(f);
    }

    // Writes the bytes whose time has come. False when the line would block.
    bool flushDue()
    {
        while (!out.empty() && out.front().due <= now()) {
            // The bytes due go in one write when there is no byte pause, as a burst reaches a real
            // line together: a reader cannot find the first of them and miss the rest for the
            // simulator's thread being put aside between two bytes (a modem's echo cut in two).
            // They are logged at the moment before the write: the program may read them before it
            // returns, and its answer must never seem to precede them in the log.
            const qint64 sentAt = now();
            quint8 chunk[512];
            size_t count = 0;
            for (auto it = out.begin(); it != out.end() && it->due <= sentAt && count < sizeof chunk; ++it) {
                chunk[count++] = it->byte;
                if (byteDelayUs > 0)
                    break;
            }
            const ssize_t n = ::write(master, chunk, count);
            if (n <= 0) {
                if (n < 0 && (errno == EAGAIN || errno == EINTR))
                    return false;
                out.clear();
                event(QStringLiteral("write failed: %1").arg(QString::fromLocal8Bit(strerror(errno))));
                return true;
            }
            for (ssize_t k = 0; k < n; ++k) {
                const quint8 b = out.front().byte;
                out.pop_front();
                log.append({sentAt, true, b});
                byteLine(true, b);
                if (txWatch.feed(b) == FrameDecoder::Result::Complete) {
                    const DecodedFrame& f = txWatch.frame();
                    frames.append({sentAt, true, f.valid, f.command, f.raw});
                }
            }
            const qint64 t = now();
            // Keep the byte pause between the bytes as they really went, not only as planned. A
            // line's pace keeps the planned times: a UART sends a late byte's successors back to back.
            if (!out.empty() && byteDelayUs > 0 && !linePace)
                out.front().due = std::max(out.front().due, t + byteDelayUs);
        }
        return true;
    }

    void run()
    {
        bool wantWritable = false;
        for (;;) {
            qint64 timeoutUs = -1; // the next thing due (microseconds; the line pace is below 1 ms)
            auto dueAt = [&](qint64 due, qint64 t) {
                const qint64 us = std::max<qint64>(0, due - t);
                timeoutUs = timeoutUs < 0 ? us : std::min(timeoutUs, us);
            };
            {
                std::lock_guard<std::mutex> lock(mu);
                const qint64 t = now();
                if (!out.empty())
                    dueAt(out.front().due, t);
                if (const qint64 due = streams.nextDueUs(); due >= 0)
                    dueAt(due, t);
                if (rx.inFrame())
                    dueAt(lastRx + qint64(frameTimeoutMs) * 1000, t);
                if (escapeDue > 0)
                    dueAt(escapeDue, t);
            }
            pollfd fds[2] = {{master, short(POLLIN | (wantWritable ? POLLOUT : 0)), 0},
                             {stopPipe[0], POLLIN, 0}};
            const timespec ts{time_t(timeoutUs / 1000000), long(timeoutUs % 1000000) * 1000};
            const int rc = ::ppoll(fds, 2, timeoutUs < 0 ? nullptr : &ts, nullptr);
            if (rc < 0 && errno != EINTR)
                break;
            if (fds[1].revents)
                break;
            std::lock_guard<std::mutex> lock(mu);
            if (fds[0].revents & POLLIN) {
                quint8 buf[512];
                const ssize_t n = ::read(master, buf, sizeof buf);
                const qint64 t = now();
                for (ssize_t i = 0; i < n; ++i)
                    received(buf[i], t);
            } else if (fds[0].revents & (POLLHUP | POLLERR)) {
                // Nobody holds the slave open; wait a little rather than spin.
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
            streams.tick(now());
            escapeIfDue();
            wantWritable = !flushDue();
            if (rx.inFrame() && now() - lastRx >= qint64(frameTimeoutMs) * 1000) {
                event(QStringLiteral("frame from the program stalled: dropped"));
                rx.reset();
            }
        }
    }
};

Simulator::Simulator(DeviceConfig cfg) : d(std::make_unique<Impl>())
{
    d->cfg = std::move(cfg);
    Impl* impl = d.get();
    d->streams.setIo({[impl](const QByteArray& b) { impl->queue(b, 0); },
                      [impl](int command) { return impl->takeFault(command); },
                      [](const QByteArray& frame, Fault f) { return Impl::damage(frame, f); },
                      [impl](const QString& text) { impl->event(text); },
                      [impl] { return impl->out.empty(); }});
}

Simulator::~Simulator() { stop(); }

bool Simulator::start(QString* error)
{
    auto fail = [&](const QString& what) {
        if (error)
            *error = what + QStringLiteral(": ") + QString::fromLocal8Bit(strerror(errno));
        stop();
        return false;
    };
    if (d->running)
        return true;
    char name[256] = {};
    if (openpty(&d->master, &d->slave, name, nullptr, nullptr) != 0)
        return fail(QStringLiteral("openpty"));
    d->path = QString::fromLocal8Bit(name);
    setRaw(d->slave);
    setRaw(d->master);
    fcntl(d->master, F_SETFD, FD_CLOEXEC);
    fcntl(d->slave, F_SETFD, FD_CLOEXEC);
    fcntl(d->master, F_SETFL, fcntl(d->master, F_GETFL) | O_NONBLOCK);
    if (pipe2(d->stopPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return fail(QStringLiteral("pipe"));
    {
        std::lock_guard<std::mutex> lock(d->mu);
        d->t0 = std::chrono::steady_clock::now();
        d->event(QStringLiteral("started on %1: model %2, firmware %3, serial %4, programming mode %5%6")
                     .arg(d->path).arg(d->cfg.model).arg(d->cfg.firmware, d->cfg.serial)
                     .arg(d->cfg.programmingMode ? 1 : 0)
                     .arg(d->modemOn ? QStringLiteral(", modem") : QString()));
    }
    d->running = true;
    d->thread = std::thread([this] { d->run(); });
    return true;
}

void Simulator::stop()
{
    if (d->thread.joinable()) {
        const char c = 'q';
        (void)!::write(d->stopPipe[1], &c, 1);
        d->thread.join();
    }
    d->running = false;
    {
        // What was on its way goes with the line, and so does a call: a start on a new line sends
        // nothing of it (its moments counted from the former start would hold the new answers
        // back), and its modem waits for a dial.
        std::lock_guard<std::mutex> lock(d->mu);
        d->out.clear();
        d->rx.reset();
        d->txWatch.reset();
        d->modemConnected = d->online = false;
        d->modemLine.clear();
        d->plusRun = 0;
        d->escapeDue = 0;
    }
    for (int* fd : {&d->master, &d->slave, &d->stopPipe[0], &d->stopPipe[1]}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

bool Simulator::isRunning() const { return d->running; }
QString Simulator::portPath() const { return d->path; }

void Simulator::injectFault(Fault f, int command, int times)
{
    if (f == Fault::None || times <= 0)
        return;
    std::lock_guard<std::mutex> lock(d->mu);
    d->faults.append({f, command, times});
}

void Simulator::clearFaults()
{
    std::lock_guard<std::mutex> lock(d->mu);
    d->faults.clear();
}

void Simulator::setModemMode(bool on, ModemAnswer answer, int answerDelayMs)
{
    std::lock_guard<std::mutex> lock(d->mu);
    d->modemOn = on;
    d->modemAnswer = answer;
    d->modemDelayMs = answerDelayMs;
    if (!on)
        d->modemConnected = d->online = false;
    d->echo = true;
}

void Simulator::setEscapeGuardMs(int ms)
{
    std::lock_guard<std::mutex> lock(d->mu);
    d->escapeGuardMs = std::max(0, ms);
}

void Simulator::setModemQuirks(const ModemQuirks& q)
{
    std::lock_guard<std::mutex> lock(d->mu);
    d->quirks = q;
    d->quirks.lateMs = std::max(0, q.lateMs);
    d->quirks.gapMs = std::max(0, q.gapMs);
}

void Simulator::setModemInCall()
{
    std::lock_guard<std::mutex> lock(d->mu);
    d->modemConnected = d->online = true;
    d->lastOnlineRx = d->now();
    d->event(QStringLiteral("modem: in a call, online"));
}

bool Simulator::modemConnected() const
{
    std::lock_guard<std::mutex> lock(d->mu);
    return d->modemConnected;
}

QString Simulator::lastDialCommand() const
{
    std::lock_guard<std::mutex> lock(d->mu);
    return d->lastDial;
}

void Simulator::setAnswerDelayMs(int command, int ms)
{
    std::lock_guard<std::mutex> lock(d->mu);
    d->answerDelayMs[command] = ms;
}

void Simulator::setByteDelayMs(int ms)
{
    std::lock_guard<std::mutex> lock(d->mu);
    d->byteDelayUs = qint64(std::max(0, ms)) * 1000;
    d->linePace = false;
}

void Simulator::setLinePace(int baud)
{
    std::lock_guard<std::mutex> lock(d->mu);
    d->byteDelayUs = baud > 0 ? 10000000 / baud : 0;
    d->linePace = baud > 0;
}

void Simulator::setFrameTimeoutMs(int ms)
{
    std::lock_guard<std::mutex> lock(d->mu);
    d->frameTimeoutMs = std::max(1, ms);
}

void Simulator::setBadFrameAnswer(int byte)
{
    std::lock_guard<std::mutex> lock(d->mu);
    d->badFrameAnswer = byte < 0 ? -1 : (byte & 0xFF);
}

void Simulator::setStreamScript(const StreamScript& script)
{
    std::lock_guard<std::mutex> lock(d->mu);
    d->streams.setScript(script);
}

StreamScript Simulator::streamScript() const
{
    std::lock_guard<std::mutex> lock(d->mu);
    return d->streams.script();
}

QList<LogEntry> Simulator::log() const
{
    std::lock_guard<std::mutex> lock(d->mu);
    return d->log;
}

QList<FrameEntry> Simulator::frames() const
{
    std::lock_guard<std::mutex> lock(d->mu);
    return d->frames;
}

QStringList Simulator::events() const
{
    std::lock_guard<std::mutex> lock(d->mu);
    return d->events;
}

QByteArray Simulator::bytesReceived() const
{
    std::lock_guard<std::mutex> lock(d->mu);
    QByteArray b;
    for (const LogEntry& e : d->log)
        if (!e.fromDevice)
            b.append(char(e.byte));
    return b;
}

QByteArray Simulator::bytesSent() const
{
    std::lock_guard<std::mutex> lock(d->mu);
    QByteArray b;
    for (const LogEntry& e : d->log)
        if (e.fromDevice)
            b.append(char(e.byte));
    return b;
}

void Simulator::clearLog()
{
    std::lock_guard<std::mutex> lock(d->mu);
    d->log.clear();
    d->frames.clear();
    d->events.clear();
}

void Simulator::setEventSink(std::function<void(const QString&)> sink)
{
    std::lock_guard<std::mutex> lock(d->mu);
    d->sink = std::move(sink);
}

DeviceConfig Simulator::config() const
{
    std::lock_guard<std::mutex> lock(d->mu);
    return d->cfg;
}

void Simulator::setConfig(const DeviceConfig& cfg)
{
    std::lock_guard<std::mutex> lock(d->mu);
    d->cfg = cfg;
}

QByteArray Simulator::storedBlock() const
{
    std::lock_guard<std::mutex> lock(d->mu);
    return d->storedBlock;
}

QDateTime Simulator::storedClock() const
{
    std::lock_guard<std::mutex> lock(d->mu);
    return d->storedClock;
}

QByteArray Simulator::storedClockBytes() const
{
    std::lock_guard<std::mutex> lock(d->mu);
    return d->storedClockBytes;
}

void Simulator::withRecords(const std::function<void(RecordDevice&)>& f)
{
    std::lock_guard<std::mutex> lock(d->mu);
    f(d->records);
}

int Simulator::recordsCleared() const
{
    std::lock_guard<std::mutex> lock(d->mu);
    return d->cleared;
}

}  // namespace nbx::sim
