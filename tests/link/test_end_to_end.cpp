// The link code through QSerialPort on a pseudo-terminal against the device simulator.
#include "support/LinkTestSupport.h"
#include "support/ScriptedPrompter.h"

#include "link/DeviceCommands.h"
#include "link/FrameReceiver.h"
#include "link/Identification.h"
#include "link/Link.h"
#include "link/LinkSession.h"
#include "link/Modem.h"
#include "link/Passwords.h"
#include "link/QtSerialPort.h"
#include "localisation/Strings.h"
#include "nbx70-sim/SimFrame.h"
#include "nbx70-sim/SimRecords.h"
#include "nbx70-sim/Simulator.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <time.h>

namespace nbx::test {
namespace {

using sim::Fault;
using sim::ModemAnswer;
using Answer = Prompter::Answer;

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        QString error;
        ASSERT_TRUE(sim.start(&error)) << error.toStdString();
        link.state.SerialDevice = sim.portPath();
        hooks.sheetSerial = "123456";
        hooks.phone = "5551234";
        hooks.busy = [this](bool on) { busy.append(on); };
    }
    void TearDown() override
    {
        link.cerrarPuerto();
        sim.stop();
    }
    SessionOutcome run(Operation op, std::function<bool(Link&)> exchange)
    {
        hooks.exchange = std::move(exchange);
        return LinkSession(link, op, hooks).run();
    }
    bool identify()
    {
        EXPECT_TRUE(link.AbrirPuerto(nullptr));
        DemanaIdentificacion(link);
        InactivityTimer t = link.frameTimer();
        return RecibirIdentificacion(link, t);
    }

    sim::Simulator sim{[] {
        sim::DeviceConfig c;
        c.serial = "123456";
        c.firmware = "2.12";
        return c;
    }()};
    QtSerialPort port;
    SystemLinkClock clock;
    Link link{port, clock, shortLinkTiming()};
    ScriptedPrompter prompts;
    ScriptedPasswords asker;
    SessionHooks hooks;
    QList<bool> busy;
};

TEST_F(EndToEnd, IdentificationOverCable)
{
    ASSERT_TRUE(identify());
    EXPECT_EQ(link.state.TipoAparato, 5);
    EXPECT_EQ(link.state.VersionEqp, "2.12");
    EXPECT_EQ(link.state.NumeroSerieEqp, 123456);
    EXPECT_EQ(link.state.ModoProgramacion, 1);
    EXPECT_TRUE(prompts.shown.isEmpty());
}

TEST_F(EndToEnd, NoiseBeforeStxIsSkipped)
{
    sim.injectFault(Fault::NoiseBeforeStx, 0x01);
    EXPECT_TRUE(identify());
    EXPECT_TRUE(prompts.shown.isEmpty());
}

TEST_F(EndToEnd, StallMidFrameTimesOut)
{
    sim.injectFault(Fault::StallMidFrame, 0x01);
    EXPECT_FALSE(identify());
    EXPECT_EQ(prompts.shown.value(0).text, GetS(31));
}

TEST_F(EndToEnd, BadCheckByteAndBadLengthAreBadFrames)
{
    for (Fault f : {Fault::BadCheckByte, Fault::BadLength, Fault::LengthTooLong,
                    Fault::ShortLength, Fault::SerialNotDigits}) {
        prompts.shown.clear();
        sim.injectFault(f, 0x01);
        EXPECT_FALSE(identify()) << int(f);
        EXPECT_EQ(prompts.shown.value(0).text, GetS(62)) << int(f);
    }
}

TEST_F(EndToEnd, EraseRoad)
{
    const int before = sim.recordsCleared();
    EXPECT_EQ(run(Operation::Borrar, [](Link& l) { return EnviarBorrat(l) == kResultadoAck; }),
              SessionOutcome::Done);
    EXPECT_EQ(sim.recordsCleared(), before + 1);
    EXPECT_EQ(busy, QList<bool>({true, false}));
    EXPECT_FALSE(port.isOpen());
}

TEST_F(EndToEnd, WrongPasswordRoad)
{
    asker.current = "9999";
    EXPECT_EQ(run(Operation::Borrar, [](Link&) { return true; }), SessionOutcome::Failed);
    EXPECT_EQ(prompts.shown.last().text, QString::fromUtf8("Contraseña incorrecta"));
    EXPECT_EQ(sim.recordsCleared(), 0);
}

TEST_F(EndToEnd, DeviceChecksOnTheRoad)
{
    const struct {
        Fault fault;
        long text;
    } cases[] = {{Fault::ProgrammingModeOff, 64}, {Fault::WrongSerial, 63}, {Fault::WrongModel, 30}};
    for (const auto& c : cases) {
        sim.injectFault(c.fault, 0x01);
        EXPECT_EQ(run(Operation::Borrar, [](Link&) { return true; }), SessionOutcome::Failed);
        EXPECT_EQ(prompts.shown.last().text, GetS(c.text));
    }
    EXPECT_FALSE(port.isOpen());
}

TEST_F(EndToEnd, NewPasswordRoad)
{
    EXPECT_EQ(run(Operation::CambiarPassword,
                  [](Link& l) { return EnviarNewPassword(l) == kResultadoAck; }),
              SessionOutcome::Done);
    EXPECT_EQ(sim.config().password, "ab  ");
}

TEST_F(EndToEnd, FactoryTestRoad)
{
    prompts.input("123456");
    EXPECT_EQ(run(Operation::Test, [](Link& l) { return EnviarTest(l) == kResultadoAck; }),
              SessionOutcome::Done);
    prompts.input("1234");
    EXPECT_EQ(run(Operation::Test, [](Link& l) { return EnviarTest(l) == kResultadoOtro; }),
              SessionOutcome::Done);
    EXPECT_FALSE(port.isOpen());
}

TEST_F(EndToEnd, ModemCallAnsweredThenHungUp)
{
    link.state.ConexionModem = 1;
    link.state.PrefijoMarcado = "0";
    sim.setModemMode(true, ModemAnswer::Connect, 400);
    link.timing.secondMs = 100; // the modem's echo is read away a "second" after the dial
    prompts.answer(Answer::Ok);  // GetS(33)
    prompts.answer(Answer::Yes); // hang up
    EXPECT_EQ(run(Operation::Borrar, [](Link& l) { return EnviarBorrat(l) == kResultadoAck; }),
              SessionOutcome::Done);
    EXPECT_EQ(sim.lastDialCommand(), "ATE0V0X0DT0,5551234");
    EXPECT_EQ(sim.recordsCleared(), 1);
    EXPECT_TRUE(prompts.sawText(GetS(124)));
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(link.state.ModemConectado);
}

TEST_F(EndToEnd, ModemCallAnsweredNoCarrier)
{
    link.state.ConexionModem = 1;
    sim.setModemMode(true, ModemAnswer::Busy, 400);
    link.timing.secondMs = 100; // the modem's echo is read away a "second" after the dial
    EXPECT_EQ(run(Operation::RecibirProgramacion, [](Link&) { return true; }),
              SessionOutcome::Failed);
    EXPECT_TRUE(prompts.sawText(GetS(35)));
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(link.state.ModemConectado);
}

// The untidy modem of a call left up: "+++" answered OK, late; the dial line echoed late at 30 ms
// a byte, noise, then the result. NO CARRIER fails the call with nothing sent to the device;
// CONNECT behind an echo 1.6 s late carries out the operation.
TEST_F(EndToEnd, AnUntidyModemsResultIsReadAfterItsEcho)
{
    const struct {
        const char* what;
        ModemAnswer answer;
        int lateMs;
    } cases[] = {{"no carrier, echo 0.7 s late", ModemAnswer::Busy, 700},
                 {"connect, echo 1.6 s late", ModemAnswer::Connect, 1600}};
    link.state.ConexionModem = 1;
    link.timing.secondMs = 100;
    link.timing.dialAnswerMs = 10000; // ends with the result; room for a loaded machine
    const auto erase = [](Link& l) { return EnviarBorrat(l) == kResultadoAck; };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const bool connects = c.answer == ModemAnswer::Connect;
        const int erased = sim.recordsCleared();
        prompts.shown.clear();
        sim.clearLog();
        sim.setModemMode(true, c.answer, 400);
        sim.setEscapeGuardMs(0);
        sim.setModemQuirks({c.lateMs, 30, QByteArray("\xFF\x00", 2), true});
        sim.setModemInCall();
        EXPECT_EQ(run(Operation::Borrar, erase), connects ? SessionOutcome::Done : SessionOutcome::Failed);
        EXPECT_EQ(prompts.sawText(GetS(35)), !connects);
        EXPECT_EQ(prompts.sawText(GetS(124)), connects);
        EXPECT_EQ(sim.recordsCleared(), erased + (connects ? 1 : 0));
        if (!connects) {
            EXPECT_EQ(sim.bytesReceived(), "+++" + dialCommand(1, "", hooks.phone));
        }
        EXPECT_FALSE(port.isOpen());
        EXPECT_FALSE(link.state.ModemConectado);
    }
}

TEST_F(EndToEnd, OneByteAnswersOverThePty)
{
    ASSERT_TRUE(link.AbrirPuerto(nullptr));
    const struct {
        Fault fault;
        int result;
    } cases[] = {{Fault::None, 6}, {Fault::Nak, 21}, {Fault::OtherByte, 21},
                 {Fault::DoubleAck, 6}, {Fault::Silence, 24}};
    link.state.PasswordActual = "1234"; // the device erases only after its password
    for (const auto& c : cases) {
        EXPECT_EQ(EnviarPassword(link), kResultadoAck);
        if (c.fault != Fault::None)
            sim.injectFault(c.fault, 0x0C);
        EXPECT_EQ(EnviarBorrat(link), c.result) << int(c.fault);
        if (c.fault == Fault::DoubleAck) { // the second ACK, however late, is read away here
            EXPECT_EQ(link.waiter().waitForData(2000, nullptr), Waiter::Result::Data);
        }
        link.port.clearInput();
    }
}

// The port of the pacing test: notes when each write left the program.
class TimedPort : public QtSerialPort {
public:
    bool write(const QByteArray& bytes) override
    {
        const bool ok = QtSerialPort::write(bytes);
        writtenAt.append(elapsed.nsecsElapsed() / 1000);
        return ok;
    }
    QElapsedTimer elapsed;
    QList<qint64> writtenAt; // microseconds
};

// The one test at the real pacing: about 50 ms after each byte up to ETX. The pauses are measured
// where they are made, in the program: the simulator's receive times carry its thread's scheduling
// delays, which a loaded machine stretches without bound.
TEST_F(EndToEnd, RealPacingOfTheEraseFrame)
{
    TimedPort timed;
    Link paced{timed, clock, shortLinkTiming()};
    paced.state.SerialDevice = sim.portPath();
    paced.timing.paceMs = 50;
    ASSERT_TRUE(paced.AbrirPuerto(nullptr));
    paced.state.PasswordActual = "1234";
    EXPECT_EQ(EnviarPassword(paced), kResultadoAck);
    sim.clearLog();
    timed.writtenAt.clear();
    timed.elapsed.start();
    EXPECT_EQ(EnviarBorrat(paced), kResultadoAck);
    paced.cerrarPuerto();
    // Six single bytes reached the device, in order.
    QByteArray received;
    for (const sim::LogEntry& e : sim.log())
        if (!e.fromDevice)
            received.append(char(e.byte));
    EXPECT_EQ(received.toHex(' '), QByteArray::fromHex("02 00 06 0C 03 0B").toHex(' '));
    const QList<qint64> times = timed.writtenAt;
    ASSERT_EQ(times.size(), 6);
    // A pause is never shorter than asked (the clock counts whole milliseconds).
    for (int i = 1; i < 6; ++i)
        EXPECT_GE(times[i] - times[i - 1], 49000) << i;
}

qint64 threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

// The far end of the line goes away in the middle of a 20 s wait for the password's answer: the
// operation ends soon after with one message naming the port, without spinning the processor.
// A wait that simply runs to its timeout does not spin either.
TEST_F(EndToEnd, FarEndClosedMidWaitEndsAtOnceWithoutSpinning)
{
    link.timing.answerWaitMs = 1000;
    sim.injectFault(Fault::Silence, 0x0A);
    QElapsedTimer wall;
    wall.start();
    qint64 cpu0 = threadCpuMs();
    EXPECT_EQ(run(Operation::Borrar, [](Link&) { return true; }), SessionOutcome::Failed);
    EXPECT_EQ(prompts.shown.last().text, GetS(31));
    EXPECT_LT(threadCpuMs() - cpu0, wall.elapsed() / 2) << "a timed-out wait spun";

    link.timing.answerWaitMs = 20000;
    sim.injectFault(Fault::Silence, 0x0A);
    prompts.shown.clear();
    QTimer::singleShot(300, [this] { sim.stop(); });
    wall.restart();
    cpu0 = threadCpuMs();
    EXPECT_EQ(run(Operation::Borrar, [](Link&) { return true; }), SessionOutcome::Failed);
    const qint64 elapsed = wall.elapsed();
    EXPECT_LT(elapsed, 10000);
    EXPECT_LT(threadCpuMs() - cpu0, std::max<qint64>(elapsed / 2, 100)) << "the lost line spun";
    ASSERT_EQ(prompts.shown.size(), 2); // the cable prompt, then one message
    EXPECT_EQ(prompts.shown.last().text, lineLostText(sim.portPath()));
    EXPECT_TRUE(prompts.shown.last().text.contains(sim.portPath()));
    EXPECT_FALSE(port.isOpen());
}


// Processor time of the whole process (every thread), in milliseconds.
double processCpuMs()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000.0 +
           (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000.0;
}

// A modem line kept up after an operation dies while the program is idle (the far end goes
// away): the idle program does not spin on the dead port, and the next operation reports the
// loss once.
TEST_F(EndToEnd, AKeptLineThatDiesWhileIdleCostsNothing)
{
    link.state.ConexionModem = 1;
    sim.setModemMode(true, ModemAnswer::Connect, 400);
    link.timing.secondMs = 100; // the modem's echo is read away a "second" after the dial
    prompts.answer(Answer::Ok); // dial
    prompts.answer(Answer::No); // keep the line
    const auto erase = [](Link& l) { return EnviarBorrat(l) == kResultadoAck; };
    ASSERT_EQ(run(Operation::Borrar, erase), SessionOutcome::Done);
    ASSERT_TRUE(link.state.ModemConectado);
    const QString path = sim.portPath();
    sim.stop();

    QElapsedTimer wall;
    wall.start();
    const double cpu0 = processCpuMs();
    QEventLoop idle;
    QTimer::singleShot(2000, &idle, &QEventLoop::quit);
    idle.exec();
    EXPECT_LT(processCpuMs() - cpu0, wall.elapsed() * 0.10) << "the idle program spun";

    prompts.shown.clear();
    EXPECT_EQ(run(Operation::Borrar, erase), SessionOutcome::Failed);
    ASSERT_EQ(prompts.shown.size(), 1);
    EXPECT_EQ(prompts.shown.first().text, lineLostText(path));
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(link.state.ModemConectado);
}

// A long frame at a 19200 baud line's pace (the programming block, 371 bytes in 193 ms, longer
// than the line discipline gathers at once) arrives whole. How often the waiting thread wakes for
// it is bench_link's figure: a count of wakes depends on how busy the machine is.
TEST_F(EndToEnd, AFrameAtTheLinesPaceArrivesWhole)
{
    sim.setLinePace(19200);
    ASSERT_TRUE(link.AbrirPuerto(nullptr));
    link.port.write(sim::encodeFrame(0x04, {}));
    InactivityTimer timer = link.frameTimer();
    ASSERT_TRUE(RecibirTrama(link, timer));
    QByteArray received;
    for (int i = 0; i < link.BufferTrama.length(); ++i)
        received.append(char(link.BufferTrama[i]));
    ASSERT_EQ(received.size(), 371);
    EXPECT_EQ(received, sim.frames().last().raw);
}

// Records at the line's pace, each answered with ACK as a download does, arrive whole, also when
// the device's answer has begun before the program looks (here it answers at once). How often the
// waiting thread wakes for them is the records benchmark's figure.
TEST_F(EndToEnd, RecordsAtTheLinesPaceArriveWholeWhenTheirAnswerHasBegun)
{
    constexpr int kRecords = 24;
    sim.setLinePace(19200);
    sim.withRecords([](sim::RecordDevice& r) {
        r.config.intervalCount = kRecords;
        r.config.tMinutes = 2;
    });
    ASSERT_TRUE(link.AbrirPuerto(nullptr));
    // 01/01/2024 00:00 to 31/12/2024 23:59, years with 100 added.
    link.port.write(sim::encodeFrame(0x05, QByteArray("\x01\x01\x7c\x00\x00\x1f\x0c\x7c\x17\x3b", 10)));
    QList<QByteArray> received;
    for (int k = 0; k <= kRecords; ++k) { // the records, then the end frame
        InactivityTimer timer(link.clock, 2000);
        ASSERT_TRUE(RecibirTrama(link, timer)) << k;
        received.append(QByteArray(reinterpret_cast<const char*>(&link.BufferTrama[0]), link.BufferTrama.length()));
        if (k < kRecords) {
            link.port.writeByte(ctl::ACK);
            QThread::msleep(2); // the device's STX is there when the next frame is looked for
        }
    }
    QList<QByteArray> sent;
    for (const auto& f : sim.frames())
        if (f.fromDevice)
            sent.append(f.raw);
    EXPECT_EQ(received, sent);
}

// A line that brought records at its pace and then brings them at once (a fast source after a
// slow start) is not waited for at the pace: 300 records come in far less than their 9 s on the
// line.
TEST_F(EndToEnd, RecordsThatComeAtOnceAfterPacedOnesAreTakenAtOnce)
{
    constexpr int kPaced = 12, kFast = 300;
    sim.setLinePace(19200);
    sim.withRecords([](sim::RecordDevice& r) {
        r.config.intervalCount = kPaced + kFast;
        r.config.tMinutes = 2;
    });
    ASSERT_TRUE(link.AbrirPuerto(nullptr));
    link.port.write(sim::encodeFrame(0x05, QByteArray("\x01\x01\x7c\x00\x00\x1f\x0c\x7c\x17\x3b", 10)));
    for (int k = 0; k < kPaced; ++k) {
        InactivityTimer timer(link.clock, 2000);
        ASSERT_TRUE(RecibirTrama(link, timer)) << k;
        link.port.writeByte(ctl::ACK);
    }
    InactivityTimer timer(link.clock, 2000);
    ASSERT_TRUE(RecibirTrama(link, timer)); // the last paced one, asked for before the change
    sim.setLinePace(0);
    link.port.writeByte(ctl::ACK);
    QElapsedTimer wall;
    wall.start();
    int fast = 0;
    while (fast < kFast - 1 && wall.elapsed() < 5000) {
        InactivityTimer t(link.clock, 2000);
        ASSERT_TRUE(RecibirTrama(link, t)) << fast;
        link.port.writeByte(ctl::ACK);
        ++fast;
    }
    EXPECT_EQ(fast, kFast - 1) << "records taken at the line's pace though they came at once";
}

// The far end goes away while records come at the line's pace: the frame's wait ends as a lost
// line, not as a timeout, and without spinning.
TEST_F(EndToEnd, FarEndClosedDuringPacedRecordsIsALostLine)
{
    sim.setLinePace(19200);
    sim.withRecords([](sim::RecordDevice& r) {
        r.config.intervalCount = 100;
        r.config.tMinutes = 2;
    });
    ASSERT_TRUE(link.AbrirPuerto(nullptr));
    link.port.write(sim::encodeFrame(0x05, QByteArray("\x01\x01\x7c\x00\x00\x1f\x0c\x7c\x17\x3b", 10)));
    for (int k = 0; k < 12; ++k) { // enough for the line to be known as paced
        InactivityTimer timer(link.clock, 2000);
        ASSERT_TRUE(RecibirTrama(link, timer)) << k;
        link.port.writeByte(ctl::ACK);
    }
    sim.stop();
    const qint64 cpu0 = threadCpuMs();
    InactivityTimer timer(link.clock, 2000);
    EXPECT_EQ(RecibirTramaResult(link, timer), ReceiveResult::LineLost); // not a timeout
    EXPECT_LT(threadCpuMs() - cpu0, 100) << "the lost line spun";
    EXPECT_EQ(prompts.shown.last().text, lineLostText(sim.portPath()));
}

} // namespace
} // namespace nbx::test
