// The QSerialPort adapter on a pseudo-terminal made here, without the simulator.
#include "link/QtSerialPort.h"
#include "localisation/LangDesk.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <algorithm>
#include <optional>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace nbx::test {
namespace {

// The adapter with its descriptor's answers scripted where set: the next read's result and
// errno, and what every poll finds. Otherwise the system answers.
class ScriptedPort : public QtSerialPort {
public:
    struct Read {
        ssize_t n;
        int error;
    };
    std::optional<Read> nextRead;
    std::optional<short> events;
    using QtSerialPort::qtPort;
    using QtSerialPort::qtReadNotifier;

protected:
    ssize_t readFd(int fd, char* into, size_t max) override
    {
        if (!nextRead)
            return QtSerialPort::readFd(fd, into, max);
        const Read r = *nextRead;
        nextRead.reset();
        if (r.n > 0)
            std::memset(into, 'x', r.n);
        errno = r.error;
        return r.n;
    }
    short pollFd(int fd) override { return events ? *events : QtSerialPort::pollFd(fd); }
};

constexpr short kHangUp = POLLIN | POLLHUP | POLLERR; // as a closed far end or a removed adapter

class Pty : public ::testing::Test {
protected:
    void SetUp() override
    {
        char name[128] = {};
        ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
        path = QString::fromLocal8Bit(name);
        for (int fd : {master, slave}) {
            termios t{};
            tcgetattr(fd, &t);
            cfmakeraw(&t);
            tcsetattr(fd, TCSANOW, &t);
        }
        fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
        port.setPortName(path);
    }
    void TearDown() override
    {
        port.close();
        ::close(slave);
        ::close(master);
    }
    QByteArray readMaster(int want)
    {
        QByteArray out;
        QElapsedTimer t;
        t.start();
        while (out.size() < want && t.elapsed() < 10000) {
            char buf[256];
            const ssize_t n = ::read(master, buf, sizeof buf);
            if (n > 0)
                out.append(buf, n);
            else
                usleep(1000);
        }
        return out;
    }
    // Waits until `want` bytes written to the master can be read from the slave, without reading
    // them: the terminal layer passes them on in its own time, later on a loaded machine.
    bool waitInDriver(int want)
    {
        QElapsedTimer t;
        t.start();
        int n = 0;
        while ((::ioctl(slave, FIONREAD, &n) != 0 || n < want) && t.elapsed() < 10000)
            usleep(1000);
        return n >= want;
    }
    // Waits (yielding) until the adapter sees `want` bytes.
    bool waitFor(qint64 want)
    {
        QElapsedTimer t;
        t.start();
        while (port.bytesAvailable() < want && t.elapsed() < 10000)
            port.waitForInput(20);
        return port.bytesAvailable() >= want;
    }

    int master = -1, slave = -1;
    QString path;
    ScriptedPort port;
};

TEST_F(Pty, EveryByteValuePassesBothWays)
{
    QString error;
    ASSERT_TRUE(port.open(&error)) << error.toStdString();
    port.setDtr(false); // refused by a pseudo-terminal; must not break the port
    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all.append(char(i));
    ASSERT_TRUE(port.write(all));
    EXPECT_EQ(readMaster(256), all);

    ASSERT_EQ(::write(master, all.constData(), all.size()), 256);
    ASSERT_TRUE(waitFor(256));
    EXPECT_EQ(port.readByte(), 0);
    EXPECT_EQ(port.read(1000), all.mid(1));
    EXPECT_EQ(port.readByte(), -1);
}

TEST_F(Pty, ClearInputDiscardsQueuedBytes)
{
    ASSERT_TRUE(port.open(nullptr));
    ASSERT_EQ(::write(master, "abc", 3), 3);
    ASSERT_TRUE(waitFor(3));
    ASSERT_EQ(::write(master, "def", 3), 3);
    ASSERT_TRUE(waitInDriver(3));
    port.clearInput();
    EXPECT_EQ(port.bytesAvailable(), 0);
    ASSERT_EQ(::write(master, "g", 1), 1);
    ASSERT_TRUE(waitFor(1));
    EXPECT_EQ(port.read(10), "g");
}

// The port reads the descriptor itself when asked for bytes, and Qt reads it when the events run:
// whoever read them, the bytes come out in the order they came, and a clear drops both.
TEST_F(Pty, BytesComeOutInTheirOrderWhoeverReadThem)
{
    ASSERT_TRUE(port.open(nullptr));
    auto arrive = [&](const char* bytes) {
        ASSERT_EQ(::write(master, bytes, 2), 2);
        ASSERT_TRUE(waitInDriver(2));
    };
    arrive("ab");
    ASSERT_EQ(port.bytesAvailable(), 2); // read by the port
    arrive("cd");
    QCoreApplication::processEvents(); // read by Qt
    arrive("ef");
    EXPECT_EQ(port.readByte(), 'a');
    EXPECT_EQ(port.read(2), "bc");
    QCoreApplication::processEvents();
    EXPECT_EQ(port.read(100), "def");

    arrive("gh");
    ASSERT_EQ(port.bytesAvailable(), 2);
    arrive("ij");
    QCoreApplication::processEvents();
    port.clearInput();
    EXPECT_EQ(port.bytesAvailable(), 0);
}

// The frame waits turn Qt's read notifier off and on. A Qt whose QSerialPort keeps it where it
// is not found still downloads, but every byte then wakes the program.
TEST_F(Pty, QtsReadNotifierIsFound)
{
    ASSERT_TRUE(port.open(nullptr));
    ASSERT_NE(port.qtReadNotifier(), nullptr) << "QSerialPort's read notifier not found";
}

// The port's own read of the descriptor tells a lost line; so does Qt reporting its read failing,
// also when it found nothing (the port read the bytes first), through a poll and, when input is
// reported, a read. Only a port that is gone makes a lost line.
TEST_F(Pty, LineIsLostOnlyWhenThePortIsGone)
{
    using E = QSerialPort::SerialPortError;
    const struct {
        const char* what;
        E qt; // NoError: the port's own read
        short events;
        ScriptedPort::Read read;
        bool lost;
    } cases[] = {
        {"own read, no byte there (EAGAIN)", E::NoError, 0, {-1, EAGAIN}, false},
        {"own read interrupted (EINTR)", E::NoError, 0, {-1, EINTR}, false},
        {"own read, far end closed (EIO)", E::NoError, 0, {-1, EIO}, true},
        {"own read, adapter removed (ENODEV)", E::NoError, 0, {-1, ENODEV}, true},
        {"own read, end of input, hung up", E::NoError, kHangUp, {0, 0}, true},
        {"Qt read nothing, VMIN set (EAGAIN)", E::ResourceError, 0, {0, 0}, false},
        {"Qt read nothing, VMIN 0 (0 bytes)", E::ReadError, 0, {0, 0}, false},
        {"Qt failed, input there, read interrupted", E::ReadError, POLLIN, {-1, EINTR}, false},
        {"Qt failed, input there", E::ResourceError, POLLIN, {2, 0}, false},
        {"Qt failed, hung up", E::ReadError, kHangUp, {0, 0}, true},
        {"Qt failed, read fails (ENXIO)", E::ReadError, POLLIN, {-1, ENXIO}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(port.open(nullptr));
        port.events = c.events;
        port.nextRead = c.read;
        if (c.qt == E::NoError)
            port.bytesAvailable();
        else
            emit port.qtPort().errorOccurred(c.qt);
        QCoreApplication::processEvents();
        EXPECT_EQ(port.lineLost(), c.lost);
        EXPECT_EQ(port.bytesAvailable(), c.lost ? 0 : std::max<qint64>(c.read.n, 0));
        port.events.reset();
        port.close();
    }
}

// Qt's notifier fires after the port read the bytes itself: Qt's read finds nothing and Qt
// reports an error (a ResourceError while a frame's VMIN is set). The line stays up.
TEST_F(Pty, QtsNotifierAfterThePortReadTheBytesLeavesTheLineUp)
{
    for (bool frame : {false, true}) {
        SCOPED_TRACE(frame ? "VMIN set for a frame" : "VMIN as opened");
        ASSERT_TRUE(port.open(nullptr));
        if (frame)
            port.waitForBytes(1, 4, true, nullptr); // nothing comes; VMIN stays 4
        ASSERT_EQ(::write(master, "abcd", 4), 4);
        ASSERT_TRUE(waitInDriver(4));
        ASSERT_EQ(port.bytesAvailable(), 4);
        QEvent activated(QEvent::SockAct);
        QCoreApplication::sendEvent(port.qtReadNotifier(), &activated);
        ASSERT_NE(port.qtPort().error(), QSerialPort::NoError); // Qt did report its read failing
        QCoreApplication::processEvents();
        EXPECT_FALSE(port.lineLost());
        EXPECT_EQ(port.read(10), "abcd");
        EXPECT_TRUE(port.isOpen());
        port.close();
    }
}

TEST_F(Pty, ALastByteWrittenBeforeCloseReachesTheWire)
{
    ASSERT_TRUE(port.open(nullptr));
    port.writeByte(0x18);
    port.close();
    EXPECT_EQ(readMaster(1), QByteArray(1, char(0x18)));
}

// Whatever the line was set to before, the port opens at 19200 baud, 8 data bits, no parity,
// 1 stop bit, without hardware or software flow control.
TEST_F(Pty, OpensAt19200With8N1AndNoFlowControl)
{
    termios t{};
    ASSERT_EQ(tcgetattr(slave, &t), 0);
    cfsetispeed(&t, B9600);
    cfsetospeed(&t, B9600);
    t.c_cflag = (t.c_cflag & ~CSIZE) | CS7 | PARENB | CSTOPB | CRTSCTS;
    t.c_iflag |= IXON | IXOFF;
    ASSERT_EQ(tcsetattr(slave, TCSANOW, &t), 0);

    ASSERT_TRUE(port.open(nullptr));
    ASSERT_EQ(tcgetattr(slave, &t), 0); // the settings belong to the line, seen from any descriptor
    const struct {
        const char* what;
        bool ok;
    } checks[] = {
        {"input speed 19200", cfgetispeed(&t) == B19200},
        {"output speed 19200", cfgetospeed(&t) == B19200},
        {"8 data bits", (t.c_cflag & CSIZE) == CS8},
        {"no parity", (t.c_cflag & PARENB) == 0},
        {"1 stop bit", (t.c_cflag & CSTOPB) == 0},
        {"no hardware flow control", (t.c_cflag & CRTSCTS) == 0},
        {"no software flow control", (t.c_iflag & (IXON | IXOFF)) == 0},
    };
    for (const auto& c : checks)
        EXPECT_TRUE(c.ok) << c.what;
}

TEST(SerialPortNames, NumberOrDevice)
{
    EXPECT_EQ(serialPortName(1, ""), "ttyS0");
    EXPECT_EQ(serialPortName(16, " "), "ttyS15");
    EXPECT_EQ(serialPortName(3, "ttyUSB0"), "ttyUSB0");
}

TEST(SerialPortNames, OpenErrorsNameThePortAndHint)
{
    QtSerialPort port;
    port.setPortName("/dev/nbx70-no-such-port");
    QString error;
    EXPECT_FALSE(port.open(&error));
    EXPECT_TRUE(error.contains("/dev/nbx70-no-such-port"));
    const QString denied =
        QtSerialPort::openErrorText("ttyS0", QSerialPort::PermissionError, "Permission denied");
    EXPECT_TRUE(denied.contains("dialout"));
    EXPECT_TRUE(denied.contains("ttyS0"));

    // In the language chosen, as the program's other messages.
    QString language = QStringLiteral("Language.db");
    ASSERT_TRUE(SetupLanguage(language, QStringLiteral("English"), langDesk(),
                              {QStringLiteral(NBX70_SOURCE_RESOURCES)}));
    const QString english =
        QtSerialPort::openErrorText("ttyS0", QSerialPort::PermissionError, "Permission denied");
    QString none;
    SetupLanguage(none, QString(), langDesk());
    EXPECT_EQ(english.toStdString(), "Cannot open port ttyS0: Permission denied\rAdd your user to the \"dialout\" "
                       "group (sudo usermod -aG dialout $USER) and log in again.");
}

} // namespace
} // namespace nbx::test
