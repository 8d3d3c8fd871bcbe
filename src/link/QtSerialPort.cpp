#include "link/QtSerialPort.h"

#include "localisation/Strings.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace nbx {

namespace {
// One byte on the line: start bit, 8 data bits and stop bit at 19200 baud.
constexpr qint64 kByteNs = 10 * 1000000000LL / 19200;
// The longest the events wait while a frame is waited for: the window answers within 50 ms.
constexpr qint64 kEventsEveryNs = 40 * 1000000LL;
// The most read from the descriptor at once (more than a frame).
constexpr int kPullBytes = 1024;
// Waits that tell the line's pace at most, after an open, before the line is taken as fast.
constexpr int kPaceSamples = 8;
} // namespace

QString serialPortName(int portNumber, const QString& device)
{
    const QString d = device.trimmed();
    if (!d.isEmpty())
        return d;
    return QStringLiteral("ttyS%1").arg(portNumber - 1);
}

QtSerialPort::QtSerialPort()
{
    // The wait in progress ends at its time, at the first input or at an error.
    waitTimer_.setSingleShot(true);
    const auto endWait = [this] {
        if (waitLoop_)
            waitLoop_->quit();
    };
    QObject::connect(&waitTimer_, &QTimer::timeout, endWait);
    QObject::connect(&port_, &QIODevice::readyRead, endWait);
    QObject::connect(&port_, &QSerialPort::errorOccurred, endWait);
    // A port that vanishes (an adapter unplugged) or fails to read reports it here; every wait
    // then ends at once instead of spinning on a dead descriptor until its timeout. A dead
    // descriptor also keeps waking the event loop while the program is idle on a kept line, so
    // the port is closed as soon as control is back in the loop (not inside QSerialPort's own
    // signal); the loss is kept for the next operation to report.
    QObject::connect(&port_, &QSerialPort::errorOccurred, [this](QSerialPort::SerialPortError e) {
        if (!port_.isOpen() || (e != QSerialPort::ResourceError && e != QSerialPort::ReadError))
            return;
        lost_ = true;
        QMetaObject::invokeMethod(
            &port_,
            [this] {
                if (lost_ && port_.isOpen())
                    port_.close();
            },
            Qt::QueuedConnection);
    });
}

QtSerialPort::~QtSerialPort()
{
    if (port_.isOpen())
        port_.close();
}

QString QtSerialPort::openErrorText(const QString& portName, QSerialPort::SerialPortError error,
                                    const QString& reason)
{
    QString text = GetS(QStringLiteral("No se puede abrir el puerto %s: %s"), {portName, reason});
    if (error == QSerialPort::PermissionError)
        text += QLatin1Char('\r') +
                GetS(QStringLiteral("Añada su usuario al grupo \"dialout\" (sudo usermod -aG dialout "
                                    "$USER) y vuelva a iniciar la sesión."));
    return text;
}

bool QtSerialPort::open(QString* error)
{
    if (port_.isOpen())
        return true;
    port_.setPortName(name_);
    if (!port_.open(QIODevice::ReadWrite)) {
        if (error)
            *error = openErrorText(name_, port_.error(), port_.errorString());
        return false;
    }
    const bool ok = port_.setBaudRate(QSerialPort::Baud19200) &&
                    port_.setDataBits(QSerialPort::Data8) &&
                    port_.setParity(QSerialPort::NoParity) &&
                    port_.setStopBits(QSerialPort::OneStop) &&
                    port_.setFlowControl(QSerialPort::NoFlowControl);
    if (!ok) {
        if (error)
            *error = openErrorText(name_, port_.error(), port_.errorString());
        port_.close();
        return false;
    }
    port_.setDataTerminalReady(true); // refused by a pseudo-terminal; harmless there
    port_.clearError();
    lost_ = false;
    forgetPace();
    return true;
}

void QtSerialPort::close()
{
    if (port_.isOpen())
        port_.close();
    lost_ = false;
    forgetPace();
}

// Another line, or the same one after a while, may bring its bytes at another pace; what was read
// of the former one is gone.
void QtSerialPort::forgetPace()
{
    in_.clear();
    inPos_ = 0;
    paced_ = stalled_ = false;
    paceSamples_ = 0;
    lookedAt_.invalidate();
    polledAt_.invalidate();
}

bool QtSerialPort::lineLost()
{
    if (!port_.isOpen())
        return lost_;
    // At the line's pace the descriptor is polled at most every kEventsEveryNs: a frame's wait
    // there reads after its sleep, and a hang-up shows to that read (EIO) or to the poll that
    // follows a read that brought nothing.
    const bool pollRecent = paced_ && polledAt_.isValid() && polledAt_.nsecsElapsed() < kEventsEveryNs;
    if (!lost_ && buffered() == 0 && !pollRecent) {
        // A hang-up shows on the descriptor before any read fails: the far end of a
        // pseudo-terminal closed, a USB adapter removed. Bytes already received are read first.
        pollfd p{static_cast<int>(port_.handle()), POLLIN, 0};
        if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)))
            lost_ = true;
        polledAt_.start();
    }
    return lost_;
}

qint64 QtSerialPort::buffered() const { return in_.size() - inPos_ + port_.bytesAvailable(); }

// What the driver holds is read straight from the descriptor, one system call, into a buffer of
// our own, and only when Qt's is empty too: QSerialPort reads the descriptor itself when the
// events run, and every byte in our buffer then came before every byte in Qt's.
// At the line's pace it is not read within a byte's time after a write or an events round: an
// answer cannot be whole there yet, Qt has just read what was, and the frame's wait that follows
// sleeps for the bytes due and reads them then.
void QtSerialPort::pull()
{
    if (buffered() > 0 || !port_.isOpen() || lost_)
        return;
    if (paced_ && lookedAt_.isValid() && lookedAt_.nsecsElapsed() < kByteNs)
        return;
    readDescriptor();
}

void QtSerialPort::readDescriptor()
{
    in_.resize(kPullBytes);
    inPos_ = 0;
    const ssize_t n = ::read(static_cast<int>(port_.handle()), in_.data(), kPullBytes);
    if (n < 0 && errno == EIO)
        lost_ = true; // the far end of a pseudo-terminal closed, an adapter removed
    in_.resize(n > 0 ? n : 0);
}

qint64 QtSerialPort::bytesAvailable()
{
    if (!port_.isOpen() || lost_)
        return 0;
    pull();
    return buffered();
}

int QtSerialPort::readByte()
{
    if (bytesAvailable() == 0)
        return -1;
    if (inPos_ < in_.size())
        return static_cast<uint8_t>(in_[inPos_++]);
    char c = 0;
    if (port_.read(&c, 1) != 1)
        return -1;
    return static_cast<uint8_t>(c);
}

QByteArray QtSerialPort::read(qint64 maxBytes)
{
    if (bytesAvailable() == 0 || maxBytes <= 0)
        return {};
    QByteArray out = in_.mid(inPos_, maxBytes);
    inPos_ += out.size();
    if (out.size() < maxBytes)
        out += port_.read(maxBytes - out.size());
    return out;
}

bool QtSerialPort::write(const QByteArray& bytes)
{
    if (!port_.isOpen())
        return false;
    // With nothing queued in Qt's buffer the bytes go straight to the driver; what it does not
    // take at once goes through Qt's buffer.
    qint64 sent = 0;
    if (port_.bytesToWrite() == 0) {
        const ssize_t n = ::write(static_cast<int>(port_.handle()), bytes.constData(), bytes.size());
        sent = n > 0 ? n : 0;
    }
    if (sent < bytes.size() && port_.write(bytes.constData() + sent, bytes.size() - sent) != bytes.size() - sent)
        return false;
    // A byte only queued in Qt's buffer is lost when the port closes right after.
    while (port_.bytesToWrite() > 0) {
        if (!port_.waitForBytesWritten(2000))
            return false;
    }
    lookedAt_.start();
    return true;
}

void QtSerialPort::clearInput()
{
    in_.clear();
    inPos_ = 0;
    if (!port_.isOpen())
        return;
    port_.clear(QSerialPort::Input);
    port_.readAll();
}

void QtSerialPort::clearOutput()
{
    if (port_.isOpen())
        port_.clear(QSerialPort::Output);
}

bool QtSerialPort::setDtr(bool on)
{
    if (!port_.isOpen())
        return false;
    const bool ok = port_.setDataTerminalReady(on);
    port_.clearError();
    return ok;
}

void QtSerialPort::waitForInput(int maxMs) { waitLoop(maxMs); }

// A wait has something to wait for: time, an open and live port, and no input already there.
bool QtSerialPort::worthWaiting(int maxMs)
{
    return maxMs > 0 && port_.isOpen() && !lineLost() && buffered() == 0;
}

void QtSerialPort::waitLoop(int maxMs)
{
    if (!worthWaiting(maxMs))
        return;
    // One event loop for the whole wait, ended by the first input, an error or the time; the
    // timer and the connections are made once. A wait started from inside another (a slot run by
    // the outer loop) keeps its own timer.
    QEventLoop loop;
    QEventLoop* const outer = waitLoop_;
    QTimer nestedTimer;
    QTimer& timer = outer ? nestedTimer : waitTimer_;
    if (outer)
        QObject::connect(&nestedTimer, &QTimer::timeout, &loop, &QEventLoop::quit);
    waitLoop_ = &loop;
    timer.start(maxMs);
    loop.exec();
    eventsRan_.start();
    timer.stop();
    waitLoop_ = outer;
    if (outer && (buffered() > 0 || lost_ || !port_.isOpen()))
        outer->quit(); // what ended this wait ends the outer one too
}

int QtSerialPort::driverBytes() const
{
    int n = 0;
    if (::ioctl(static_cast<int>(port_.handle()), FIONREAD, &n) != 0)
        return 0;
    return n;
}

// The events round polls the descriptor too: input is read by QSerialPort, and a hang-up fires its
// notifier, whose failed read reports the loss.
void QtSerialPort::runEvents()
{
    QCoreApplication::processEvents();
    eventsRan_.start();
    lookedAt_.start();
    polledAt_.start();
}

// A frame's bytes come back to back. At the line's pace each one would wake the program, so the
// bytes still due are waited for in one sleep of their time on the line, the start of a frame
// included (sized from the length expected); a byte whose moment nobody knows (after a sleep that
// brought none, or on a fast line) is watched for on the descriptor. The events do not run at
// each wake but at least every kEventsEveryNs: no sleep goes beyond that, one that would cross
// it when most of it has passed lets them run first, and they run at the end of a sleep when
// they would be due before another one ended. The wait returns after the events ran, so that a
// stop they set is seen at once.
void QtSerialPort::waitForBytes(int maxMs, int count, bool started)
{
    if (maxMs <= 0 || !port_.isOpen() || lost_)
        return;
    const int fd = static_cast<int>(port_.handle());
    QElapsedTimer t;
    t.start();
    const qint64 endNs = maxMs * 1000000LL;
    qint64 have = buffered();
    while (have < count) {
        const qint64 leftNs = endNs - t.nsecsElapsed();
        const qint64 untilEventsNs =
            eventsRan_.isValid() ? kEventsEveryNs - eventsRan_.nsecsElapsed() : 0;
        if (leftNs <= 0)
            return;
        if (paced_ && !stalled_ && count > 1) {
            // A frame still to begin follows the answer that asked for it: one byte more.
            qint64 ns = std::min((count - have + (started ? 0 : 1)) * kByteNs, leftNs);
            if (untilEventsNs <= 0 || (ns > untilEventsNs && untilEventsNs < kEventsEveryNs / 2)) {
                runEvents(); // early rather than in the middle of a frame's sleep
                return;
            }
            ns = std::min(ns, untilEventsNs);
            QThread::usleep(static_cast<unsigned long>(ns / 1000));
            // With nothing buffered the bytes due are read at once; otherwise those buffered are
            // taken first, and the driver's are only counted.
            qint64 now = 0;
            if (buffered() == 0) {
                readDescriptor();
                now = buffered();
            } else {
                now = buffered() + driverBytes();
            }
            if (lost_)
                return;
            stalled_ = now == have; // the line paused: the next byte is watched for instead
            // Events that would be due before another such sleep ended run now, at the end of
            // this one (the bytes read first) rather than between a frame's answer and its next
            // sleep.
            if (kEventsEveryNs - eventsRan_.nsecsElapsed() < ns) {
                runEvents();
                return;
            }
            if (stalled_ && have > 0)
                return; // what came is read first
            have = now;
            continue;
        }
        if (have > 0)
            return; // the descriptor would show these at once: what came is read first
        if (untilEventsNs <= 0) {
            runEvents();
            return;
        }
        // Until the pace is known, the first waits for the rest of a frame time the next byte:
        // one that took about a byte's time came at the line's pace, and the line is taken as
        // paced from then on. Only when none did in kPaceSamples waits is it a faster source (a
        // pseudo-terminal written at once), which is not slept for. A program running late sees
        // bytes that came at the line's pace as already there, never the other way round.
        const bool sample = started && count > 1 && !paced_ && paceSamples_ < kPaceSamples;
        const qint64 pollNs = std::min(sample ? 2 * kByteNs : leftNs, untilEventsNs);
        pollfd p{fd, POLLIN, 0};
        const qint64 before = t.nsecsElapsed();
        const int rc = ::poll(&p, 1, static_cast<int>((pollNs + 999999) / 1000000));
        polledAt_.start();
        if (rc > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) {
            lost_ = true;
            return;
        }
        if (sample) {
            ++paceSamples_;
            paced_ = rc == 0 || t.nsecsElapsed() - before >= kByteNs / 2;
        }
        stalled_ = false;
        have = buffered() + driverBytes();
    }
}

} // namespace nbx
