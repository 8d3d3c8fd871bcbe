#include "link/QtSerialPort.h"

#include "localisation/Strings.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace nbx {

namespace {
// One byte on the line: start bit, 8 data bits and stop bit at 19200 baud.
constexpr qint64 kByteNs = 10 * 1000000000LL / 19200;
// How much later than its bytes' time on the line a frame's wait ends when the frame is not
// whole by then: it was shorter than expected, the device answered late or the line stalled.
constexpr qint64 kFrameLateNs = 8 * 1000000LL;
// How often at most the descriptor is polled for a hang-up between waits: every wait watches it.
constexpr qint64 kPollEveryNs = 40 * 1000000LL;
// The most read from the descriptor at once (more than a frame).
constexpr int kPullBytes = 1024;
// The most bytes the line discipline can be asked to gather before it reports them (VMIN).
constexpr int kMostMinBytes = 255;
// Frames in a row that must come at the line's pace before the line is taken as paced.
constexpr int kPacedVotes = 2;
// At the line's pace, one frame wait in this many first looks early whether the bytes still come
// at that pace.
constexpr int kCheckPaceEvery = 16;
// The shortest frame whose wait tells the pace.
constexpr int kPaceBytes = 8;

// A poll's events that tell a hang-up: the far end of a pseudo-terminal closed, an adapter
// removed (its line then reads as ended).
constexpr short kHungUp = POLLHUP | POLLERR | POLLNVAL;

// A read of the descriptor that fails so is never answered again: the line is gone. EAGAIN (no
// byte there), EINTR (a signal) and the like fail only this once.
bool readFailsForGood(int error)
{
    return error == EIO || error == ENXIO || error == ENODEV || error == EBADF;
}
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
    // A frame's wait runs the events until Qt reports input or an error, or its timer.
    frameTimer_.setSingleShot(true);
    frameTimer_.setTimerType(Qt::PreciseTimer);
    const auto woken = [this] { ++wakes_; };
    QObject::connect(&port_, &QIODevice::readyRead, woken);
    QObject::connect(&port_, &QSerialPort::errorOccurred, woken);
    // A port that vanishes (an adapter unplugged) reports a read error here; every wait then
    // ends at once instead of spinning on a dead descriptor until its timeout. A dead descriptor
    // also keeps waking the event loop while the program is idle on a kept line, so the port is
    // closed as soon as control is back in the loop (not inside QSerialPort's own signal); the
    // loss is kept for the next operation to report.
    // Qt reports a read that found nothing as an error too (its notifier fired, but the port had
    // read the bytes itself: EAGAIN while a frame's VMIN is set, 0 bytes otherwise), so the
    // descriptor itself tells whether the line is gone.
    QObject::connect(&port_, &QSerialPort::errorOccurred, [this](QSerialPort::SerialPortError e) {
        if (!port_.isOpen() || (e != QSerialPort::ResourceError && e != QSerialPort::ReadError))
            return;
        if (!lost_ && !descriptorGone())
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
    forgetLine();
    termios t{};
    if (::tcgetattr(static_cast<int>(port_.handle()), &t) == 0) {
        openMin_ = t.c_cc[VMIN];
        openTime_ = t.c_cc[VTIME];
    }
    return true;
}

void QtSerialPort::close()
{
    if (port_.isOpen())
        port_.close(); // Qt puts back the line's settings as they were before the open
    lost_ = false;
    forgetLine();
}

// What was read of a former line is gone.
void QtSerialPort::forgetLine()
{
    in_.clear();
    inPos_ = 0;
    minBytes_ = 0;
    notifier_ = nullptr;
    paced_ = stalled_ = false;
    pacedVotes_ = pacedWaits_ = 0;
    writtenAt_.invalidate();
    polledAt_.invalidate();
}

bool QtSerialPort::lineLost()
{
    if (!port_.isOpen())
        return lost_;
    // A wait that watches the descriptor sees a hang-up at once, and one at the line's pace reads
    // it after, where a hang-up shows as EIO; so between waits it is polled at most every
    // kPollEveryNs.
    const bool pollRecent = polledAt_.isValid() && polledAt_.nsecsElapsed() < kPollEveryNs;
    if (!lost_ && buffered() == 0 && !pollRecent) {
        // A hang-up shows on the descriptor before any read fails: the far end of a
        // pseudo-terminal closed, a USB adapter removed. Bytes already received are read first.
        if (pollFd(static_cast<int>(port_.handle())) & kHungUp)
            lost_ = true;
        polledAt_.start();
    }
    return lost_;
}

// After Qt's read failed: the descriptor hung up, or it reports input and a read of it (when no
// byte read before is still held: those come out first) fails for good.
bool QtSerialPort::descriptorGone()
{
    const short events = pollFd(static_cast<int>(port_.handle()));
    polledAt_.start();
    if (events & kHungUp)
        lost_ = true;
    else if ((events & POLLIN) && buffered() == 0)
        readDescriptor();
    return lost_;
}

ssize_t QtSerialPort::readFd(int fd, char* into, size_t max) { return ::read(fd, into, max); }

short QtSerialPort::pollFd(int fd)
{
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0 ? p.revents : 0;
}

qint64 QtSerialPort::buffered() const { return in_.size() - inPos_ + port_.bytesAvailable(); }

// What the driver holds is read straight from the descriptor, one system call, into a buffer of
// our own, and only when Qt's is empty too: QSerialPort reads the descriptor itself when the
// events run, and every byte in our buffer then came before every byte in Qt's.
// It is not read within a byte's time after a write: an answer cannot have come yet, and the wait
// that follows sees it as soon as it is there.
void QtSerialPort::pull()
{
    if (buffered() > 0 || !port_.isOpen() || lost_)
        return;
    if (writtenAt_.isValid() && writtenAt_.nsecsElapsed() < kByteNs)
        return;
    readDescriptor();
}

void QtSerialPort::readDescriptor()
{
    in_.resize(kPullBytes);
    inPos_ = 0;
    const ssize_t n = readFd(static_cast<int>(port_.handle()), in_.data(), kPullBytes);
    const int error = n < 0 ? errno : 0;
    in_.resize(n > 0 ? n : 0);
    // A hung-up line reads 0 bytes, its end, but so does a live one with nothing there while VMIN
    // is 0 (as the port opens): the hang-up poll of lineLost() tells them apart.
    if (n < 0 && readFailsForGood(error))
        lost_ = true;
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
    if (out.size() < maxBytes && port_.bytesAvailable() > 0) // Qt's read turns its notifier on
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
    writtenAt_.start();
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

void QtSerialPort::waitForInput(int maxMs)
{
    setMinBytes(0); // any byte ends this wait
    waitLoop(maxMs);
}

// A wait has something to wait for: time, an open and live port, and no input already there.
bool QtSerialPort::worthWaiting(int maxMs)
{
    return maxMs > 0 && port_.isOpen() && !lineLost() && buffered() == 0;
}

void QtSerialPort::waitLoop(int maxMs)
{
    if (!worthWaiting(maxMs))
        return;
    watchDescriptor(true);
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
    polledAt_.start();
    timer.stop();
    waitLoop_ = outer;
    if (outer && (buffered() > 0 || lost_ || !port_.isOpen()))
        outer->quit(); // what ended this wait ends the outer one too
}

// The line discipline reports the descriptor readable only once n bytes are there (VMIN, with
// VTIME 0; reads do not wait, the descriptor being non-blocking); 0 puts back the line as opened.
// A hang-up shows at once either way. Set only when it changes: records of one length keep it.
void QtSerialPort::setMinBytes(int n)
{
    if (n == minBytes_ || !port_.isOpen())
        return;
    const int fd = static_cast<int>(port_.handle());
    termios t{};
    if (::tcgetattr(fd, &t) != 0)
        return;
    t.c_cc[VMIN] = n > 0 ? static_cast<cc_t>(n) : openMin_;
    t.c_cc[VTIME] = n > 0 ? 0 : openTime_;
    if (::tcsetattr(fd, TCSANOW, &t) == 0)
        minBytes_ = n;
}

// Runs the events as they come, until Qt reports input or an error, *stop is set or ns pass. A
// wait started by a slot run here keeps the timer while it runs, and it is set again after.
void QtSerialPort::runEventsFor(qint64 ns, const bool* stop)
{
    QElapsedTimer t;
    t.start();
    const quint64 seen = wakes_;
    while (wakes_ == seen && !(stop && *stop) && port_.isOpen() && !lost_) {
        const qint64 leftNs = ns - t.nsecsElapsed();
        if (leftNs <= 0)
            break;
        if (!frameTimer_.isActive())
            frameTimer_.start(static_cast<int>((leftNs + 999999) / 1000000));
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    frameTimer_.stop();
}

// Qt's notifier reads the descriptor while the events run. At the line's pace it is off from a
// frame's wait on until another kind of wait: the line discipline wakes a thread watching the
// descriptor for every byte (even when it reports it only once VMIN bytes are there), which costs
// more than all else a record needs. Turning it on or off also wakes the event loop once, so it
// stays off between the frames.
// Qt also turns its notifier off after a read that found nothing; a wait that watches the
// descriptor turns it on again.
void QtSerialPort::watchDescriptor(bool on)
{
    QSocketNotifier* const notifier = qtReadNotifier();
    if (notifier && notifier->isEnabled() != on)
        notifier->setEnabled(on);
}

QSocketNotifier* QtSerialPort::qtReadNotifier()
{
    if (!notifier_ && port_.isOpen()) {
        for (QSocketNotifier* n : port_.findChildren<QSocketNotifier*>())
            if (n->type() == QSocketNotifier::Read && n->socket() == port_.handle())
                notifier_ = n;
    }
    return notifier_;
}

// A frame's bytes come back to back, and a request to the window is answered at once: the events
// run as they come while they are waited for.
// A line at its pace (about a frame's time on the line from the request to its last byte) is not
// watched meanwhile: the wait ends when the bytes still due would all be there, and then reads
// them. Now and then such a wait looks early, and bytes faster than the line could bring them
// (a pseudo-terminal written at once) are taken at once and end the pace. Otherwise the descriptor
// is watched, the line discipline asked to report it only once the bytes still due are there, and
// the wait ends then or a little after their time on the line (a frame shorter than expected, a
// late device or a stalled line is then read as far as it came); frames that came whole only
// after about their time on the line, kPacedVotes in a row, make the line paced.
void QtSerialPort::waitForBytes(int maxMs, int count, bool started, const bool* stop)
{
    if (maxMs <= 0 || !port_.isOpen() || lost_ || buffered() > 0)
        return;
    if (paced_ && !stalled_ && count > 1)
        pacedWait(maxMs, count, started, stop);
    else
        watchedWait(maxMs, count, started, stop);
}

void QtSerialPort::pacedWait(int maxMs, int count, bool started, const bool* stop)
{
    // A frame still to begin follows the answer that asked for it: one byte more.
    const qint64 dueNs = std::min(maxMs * 1000000LL, (count + (started ? 0 : 1)) * kByteNs);
    watchDescriptor(false);
    QElapsedTimer t;
    t.start();
    if (count >= kPaceBytes && ++pacedWaits_ >= kCheckPaceEvery) {
        pacedWaits_ = 0;
        runEventsFor(std::min(dueNs, 3 * kByteNs), stop);
        if (buffered() == 0)
            readDescriptor();
        // At the line's pace, no more than a byte per byte's time since the request went.
        const qint64 sinceNs = writtenAt_.isValid() ? writtenAt_.nsecsElapsed() : t.nsecsElapsed();
        if (buffered() > sinceNs / kByteNs + 2) {
            paced_ = false;
            pacedVotes_ = 0;
        }
        if (buffered() > 0 || lost_ || (stop && *stop))
            return;
    }
    runEventsFor(dueNs - t.nsecsElapsed(), stop);
    if (stop && *stop)
        return;
    if (buffered() == 0)
        readDescriptor();
    stalled_ = buffered() == 0 && !lost_; // the line paused: its next byte is watched for
}

void QtSerialPort::watchedWait(int maxMs, int count, bool started, const bool* stop)
{
    watchDescriptor(true);
    setMinBytes(count > 1 ? std::min(count, kMostMinBytes) : 0);
    const qint64 lineNs = (count + (started ? 0 : 1)) * kByteNs;
    QElapsedTimer t;
    t.start();
    const quint64 seen = wakes_;
    runEventsFor(std::min(maxMs * 1000000LL, lineNs + kFrameLateNs), stop);
    polledAt_.start();
    if (wakes_ == seen || buffered() == 0)
        return;
    stalled_ = false;
    if (count < kPaceBytes || count > kMostMinBytes)
        return;
    // Whole after about its time on the line, or well before; a frame still to begin is timed
    // from the request.
    const qint64 tookNs = !started && writtenAt_.isValid() ? writtenAt_.nsecsElapsed() : t.nsecsElapsed();
    if (tookNs >= lineNs - 2 * kByteNs && tookNs <= lineNs + kFrameLateNs)
        paced_ = ++pacedVotes_ >= kPacedVotes;
    else if (tookNs < lineNs / 2)
        pacedVotes_ = 0;
}

} // namespace nbx
