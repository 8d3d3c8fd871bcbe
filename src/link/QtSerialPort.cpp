#include "link/QtSerialPort.h"

#include "localisation/Strings.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <poll.h>

namespace nbx {

namespace {
// One byte on the line: start bit, 8 data bits and stop bit at 19200 baud.
constexpr qint64 kByteNs = 10 * 1000000000LL / 19200;
// The longest the events may wait while a frame gathers.
constexpr qint64 kEventsEveryMs = 50;
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
    return true;
}

void QtSerialPort::close()
{
    if (port_.isOpen())
        port_.close();
    lost_ = false;
}

bool QtSerialPort::lineLost()
{
    if (!port_.isOpen())
        return lost_;
    if (!lost_ && port_.bytesAvailable() == 0) {
        // A hang-up shows on the descriptor before any read fails: the far end of a
        // pseudo-terminal closed, a USB adapter removed. Bytes already received are read first.
        pollfd p{static_cast<int>(port_.handle()), POLLIN, 0};
        if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)))
            lost_ = true;
    }
    return lost_;
}

qint64 QtSerialPort::bytesAvailable()
{
    if (!port_.isOpen() || lost_)
        return 0;
    if (port_.bytesAvailable() == 0)
        port_.waitForReadyRead(0); // pulls what the driver holds without blocking
    return port_.bytesAvailable();
}

int QtSerialPort::readByte()
{
    if (bytesAvailable() == 0)
        return -1;
    char c = 0;
    if (port_.read(&c, 1) != 1)
        return -1;
    return static_cast<uint8_t>(c);
}

QByteArray QtSerialPort::read(qint64 maxBytes)
{
    if (bytesAvailable() == 0)
        return {};
    return port_.read(maxBytes);
}

bool QtSerialPort::write(const QByteArray& bytes)
{
    if (!port_.isOpen())
        return false;
    if (port_.write(bytes) != bytes.size())
        return false;
    // A byte only queued in Qt's buffer is lost when the port closes right after.
    while (port_.bytesToWrite() > 0) {
        if (!port_.waitForBytesWritten(2000))
            return false;
    }
    return true;
}

void QtSerialPort::clearInput()
{
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
    paced_ = false;
    waitLoop(maxMs);
}

// A wait has something to wait for: time, an open and live port, and no input already there.
bool QtSerialPort::worthWaiting(int maxMs)
{
    return maxMs > 0 && port_.isOpen() && !lineLost() && port_.bytesAvailable() == 0;
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
    if (outer && (port_.bytesAvailable() > 0 || lost_ || !port_.isOpen()))
        outer->quit(); // what ended this wait ends the outer one too
}

void QtSerialPort::waitForBytes(int maxMs, int count)
{
    if (!worthWaiting(maxMs))
        return;
    QElapsedTimer t;
    t.start();
    if (!paced_) {
        // The first wait for the rest of a frame watches the descriptor for the next byte. One
        // that took about a byte's time came at the line's pace; a faster source (a
        // pseudo-terminal written at once) is not waited for.
        pollfd p{static_cast<int>(port_.handle()), POLLIN, 0};
        ::poll(&p, 1, static_cast<int>(std::min<qint64>(maxMs, 2 * kByteNs / 1000000 + 1)));
        paced_ = t.nsecsElapsed() >= kByteNs / 2;
        if (!paced_ || !port_.isOpen() || lost_)
            return;
    }
    // Bytes at the line's pace would wake the program one by one. Sleeping for the time the
    // missing ones take on the line costs one wake for all of them.
    const qint64 missing = count - port_.bytesAvailable();
    const qint64 ns = std::min(missing * kByteNs, maxMs * 1000000LL - t.nsecsElapsed());
    if (missing <= 0 || ns <= 0)
        return;
    QThread::usleep(static_cast<unsigned long>(ns / 1000));
    // The events that came meanwhile run now, unless the whole rest of the frame was let gather
    // and they ran a moment ago: the wait for what follows the frame runs them.
    if (ns < missing * kByteNs || !eventsRan_.isValid() || eventsRan_.elapsed() >= kEventsEveryMs) {
        QCoreApplication::processEvents();
        eventsRan_.start();
    }
}

} // namespace nbx
