// The programming exchange controller through QSerialPort on a pseudo-terminal against the
// device simulator, with a window double, scripted prompts and scripted passwords.
#include "programming/Exchange.h"

#include "link/Link.h"
#include "link/Passwords.h"
#include "link/QtSerialPort.h"
#include "localisation/Strings.h"
#include "nbx70-sim/Simulator.h"
#include "programming/ProgrammingBlock.h"
#include "programming/SheetRepository.h"
#include "support/LinkTestSupport.h"
#include "support/ScriptedPrompter.h"
#include "support/TempDatabase.h"

#include <QElapsedTimer>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

namespace nbx::test {
namespace {

using sim::Fault;
using Answer = Prompter::Answer;
using Icon = Prompter::Icon;

const QDateTime kNow(QDate(2026, 12, 31), QTime(23, 59, 58));
const QString kWrongPassword = QStringLiteral("Contraseña incorrecta");

// The system clock, with a hook run at each blocking pause (the identification's one second).
class HookedClock : public SystemLinkClock {
public:
    void sleepMs(qint64 ms) override
    {
        if (onSleep)
            onSleep();
        SystemLinkClock::sleepMs(ms);
    }
    std::function<void()> onSleep;
};

// The port, noting on the program's own clock when each write left it.
class TimedPort : public QtSerialPort {
public:
    bool write(const QByteArray& bytes) override
    {
        const bool ok = QtSerialPort::write(bytes);
        writes.append({clock.nsecsElapsed() / 1000, bytes});
        return ok;
    }
    struct Write {
        qint64 usecs;
        QByteArray bytes;
    };
    QElapsedTimer clock;
    QList<Write> writes;
};

// The sheet window without widgets: values, flag, storage, and the busy calls counted.
class FakeWindow : public ExchangeWindow {
public:
    explicit FakeWindow(SheetRepository& repo) : repo_(repo) {}
    SheetValues sheetValues() const override { return sheet; }
    void showSheetValues(const SheetValues& v) override { sheet = v; }
    bool isModified() const override { return state.fichaModificada; }
    void setModified(bool m) override { state.fichaModificada = m; }
    void setSheetButtonsEnabled(bool enabled) override { count(buttonsOff, !enabled); }
    void setBusyDisplay(bool on) override { count(busy, on); }
    void setWaitCursor(bool on) override { count(cursor, on); }
    bool hasStoredSheet(qint32 serial, QString* error) override { return repo_.exists(serial, error); }
    bool loadStoredSheet(qint32 serial) override
    {
        return CarregaProgramacio(serial, sheet, state, repo_, [] { return kNow; });
    }
    bool saveSheet() override
    {
        ++saves;
        if (failSave) {
            prompter().message(QStringLiteral("disk full"), Icon::Critical);
            return false;
        }
        return GrabaProgramacio(sheet, state, repo_, [] { return kNow; });
    }
    bool idle() const { return buttonsOff == 0 && busy == 0 && cursor == 0; }

    SheetValues sheet;
    ProgrammingState state;
    int buttonsOff = 0, busy = 0, cursor = 0, saves = 0, busyShown = 0;
    bool failSave = false;

private:
    void count(int& depth, bool on)
    {
        depth += on ? 1 : -1;
        EXPECT_TRUE(depth == 0 || depth == 1) << "unbalanced busy calls";
        if (on && &depth == &busy)
            ++busyShown;
    }
    SheetRepository& repo_;
};

class Exchange : public ::testing::Test {
protected:
    void SetUp() override
    {
        QString error;
        ASSERT_TRUE(sim.start(&error)) << error.toStdString();
        link.state.SerialDevice = sim.portPath();
        blankSheet();
    }
    void TearDown() override
    {
        link.cerrarPuerto();
        sim.stop();
    }
    void blankSheet()
    {
        ProgrammingState st;
        window.sheet = SheetValues();
        CreaProgramacio(window.sheet, st, [] { return kNow; }, QLocale::c());
        window.state.fichaModificada = false;
    }
    // Receives the device's programming into a blank sheet and saves it.
    void receiveAndSave()
    {
        blankSheet();
        ASSERT_EQ(x.Recibir(), SessionOutcome::Done) << messages().join(QLatin1String(" | ")).toStdString();
        ASSERT_TRUE(window.saveSheet());
        prompts.shown.clear();
    }
    // Messages other than the connection prompt.
    QStringList messages() const
    {
        QStringList t;
        for (const auto& s : prompts.shown)
            if (s.text != GetS(15))
                t << s.text;
        return t;
    }
    void expectClosed(const char* what)
    {
        EXPECT_TRUE(window.idle()) << what;
        EXPECT_FALSE(link.port.isOpen()) << what;
    }

    TempDatabase db;
    SheetRepository repo;
    FakeWindow window{repo};
    sim::Simulator sim;
    TimedPort port;
    HookedClock clock;
    Link link{port, clock, shortLinkTiming()};
    ScriptedPrompter prompts;
    ScriptedPasswords asker;
    ProgrammingState pstate;
    ProgrammingExchange x{window, link, pstate, [] { return kNow; }, QLocale::c()};
};

TEST_F(Exchange, ReceiveWithoutStoredSheetGivesANewUnsavedSheet)
{
    window.sheet.contacto = QStringLiteral("someone else");
    EXPECT_EQ(x.Recibir(), SessionOutcome::Done);
    EXPECT_EQ(messages(), QStringList{GetS(61)});
    const SheetValues& s = window.sheet;
    EXPECT_EQ(s.numeroSerie, "123456");
    EXPECT_EQ(s.version, "2.0");
    EXPECT_EQ(s.fecha, "31/12/26");
    EXPECT_TRUE(s.contacto.isEmpty());
    EXPECT_TRUE(s.cmiVisible);
    EXPECT_EQ(s.horarioIni[Sabado] + s.horarioFi[Sabado], "10:0002:00");
    EXPECT_EQ(s.empiezaDia, "08:00");
    EXPECT_EQ(s.octavas[8], "-30");
    EXPECT_FALSE(compareWithDevice(s, pstate.deviceCopy, QLocale::c()).differs());
    EXPECT_TRUE(window.state.fichaModificada);
    EXPECT_FALSE(repo.exists(123456));
    EXPECT_FALSE(x.lastComparison().differs());
    expectClosed("receive");
}

TEST_F(Exchange, ReceiveIntoStoredSheetListsExactlyTheDifferingFields)
{
    receiveAndSave();
    window.sheet.horarioIni[Lunes] = QStringLiteral("09:00");
    window.sheet.diaLocal = QStringLiteral("91");
    window.sheet.octavas[2] = QStringLiteral("6");
    window.sheet.intervals.horaFi[1] = QStringLiteral("07:00");
    ASSERT_TRUE(window.saveSheet());
    const SheetValues stored = window.sheet;
    blankSheet(); // another sheet on screen: the stored one is loaded

    prompts.answer(Answer::Ok);     // connect
    prompts.answer(Answer::Ok);     // GetS(61)
    prompts.answer(Answer::Cancel); // keep the stored values
    EXPECT_EQ(x.Recibir(), SessionOutcome::Done);
    const Comparison& c = x.lastComparison();
    EXPECT_EQ(c.rows, QStringList({GetS(83), GetS(102), GetS(163)}));
    EXPECT_EQ(c.intervals, QList<int>{2});
    EXPECT_TRUE(c.informe.contains(GetS(83) + " \t09:00-23:30 <-> 08:00-23:30\r"));
    EXPECT_TRUE(c.informe.contains(GetS(81) + "\t  2\r"));
    EXPECT_EQ(prompts.shown.last().text, c.informe);
    EXPECT_EQ(window.sheet.horarioIni[Lunes], stored.horarioIni[Lunes]);
    EXPECT_FALSE(window.state.fichaModificada);

    EXPECT_EQ(x.Recibir(), SessionOutcome::Done); // now the same sheet; OK takes the device's values
    EXPECT_EQ(x.lastComparison().rows.size(), 3);
    EXPECT_FALSE(compareWithDevice(window.sheet, pstate.deviceCopy, QLocale::c()).differs());
    EXPECT_EQ(window.sheet.contacto, stored.contacto);
    EXPECT_TRUE(window.state.fichaModificada);
    expectClosed("receive");
}

TEST_F(Exchange, ReceiveTakesTheDeviceFirmwareIntoAStoredSheet)
{
    receiveAndSave();
    window.sheet.version = QStringLiteral("1.9");
    ASSERT_TRUE(window.saveSheet());
    blankSheet();
    EXPECT_EQ(x.Recibir(), SessionOutcome::Done);
    EXPECT_EQ(window.sheet.version, "2.0");
    EXPECT_TRUE(window.state.fichaModificada);
    // A 1.9 sheet never stored the global correction: with the device's 2.0 it is compared.
    EXPECT_EQ(x.lastComparison().rows, QStringList{QStringLiteral("ENOS")});
    EXPECT_EQ(window.sheet.cmi, 1);
    EXPECT_TRUE(window.sheet.cmiVisible) << "the CMI box shows at once";

    // Back across 2.0: a 1.9 device hides the box.
    ASSERT_TRUE(window.saveSheet());
    sim::DeviceConfig cfg = sim.config();
    cfg.firmware = QStringLiteral("1.9");
    cfg.programmingBlock.clear();
    sim.setConfig(cfg);
    blankSheet();
    EXPECT_EQ(x.Recibir(), SessionOutcome::Done);
    EXPECT_EQ(window.sheet.version, "1.9");
    EXPECT_FALSE(window.sheet.cmiVisible);
}

// The send's wire sequence byte for byte: CAN, the password frame at the real pacing, the
// identification request, then the programming frame (shortened pacing from the identification's
// pause on, so the 377-byte frame does not take 19 s).
TEST_F(Exchange, SendWireSequenceAndRoundTrip)
{
    receiveAndSave();
    window.sheet.diaLocal = QStringLiteral("77");
    window.sheet.octavas[1] = QStringLiteral("-5.5");
    window.sheet.intervals.fechaIni[5] = QStringLiteral("01/02/27");
    window.sheet.intervals.horaIni[5] = QStringLiteral("10:00");
    window.sheet.intervals.fechaFi[5] = QStringLiteral("02/02/27");
    window.sheet.intervals.horaFi[5] = QStringLiteral("11:30");
    // Each weekday its own hours, so that days in the wrong order cannot pass.
    for (int d = Domingo; d <= Sabado; ++d) {
        window.sheet.horarioIni[d] = QStringLiteral("%1:%2").arg(10 + d).arg(d * 5, 2, 10, QLatin1Char('0'));
        window.sheet.horarioFi[d] = QStringLiteral("%1:3%2").arg(2 + d, 2, 10, QLatin1Char('0')).arg(d);
    }
    window.state.fichaModificada = true;
    const SheetValues sent = window.sheet;
    sim.clearLog();
    port.writes.clear();
    port.clock.start();
    link.timing.paceMs = 50;
    clock.onSleep = [this] { link.timing.paceMs = 1; };

    EXPECT_EQ(x.Transmitir(), SessionOutcome::Done);
    clock.onSleep = nullptr;
    EXPECT_EQ(messages(), QStringList{GetS(61)});
    EXPECT_EQ(window.busyShown, 1);
    expectClosed("send");
    EXPECT_FALSE(window.state.fichaModificada); // saved first

    QByteArray frame;
    ASSERT_TRUE(buildTramaProgramacion(sent, kNow, &frame, nullptr, QLocale::c()));
    ASSERT_EQ(frame.size(), 377);
    const QByteArray password = buildFrame(0x0A, "1234");
    const QByteArray expected = QByteArray(1, char(0x18)) + password + QByteArray::fromHex("020006010306") + frame;
    EXPECT_EQ(sim.bytesReceived().toHex(' '), expected.toHex(' '));
    EXPECT_EQ(sim.storedClockBytes(), QByteArray::fromHex("1F0C7E173B3A"));
    // The device keeps the week Sunday first, four bytes a day: start hour, minute, end hour, minute.
    const QByteArray block = sim.storedBlock();
    for (int d = Domingo; d <= Sabado; ++d) {
        const QByteArray day = block.mid(4 * d, 4);
        const char want[4] = {char(10 + d), char(d * 5), char(2 + d), char(30 + d)};
        EXPECT_EQ(day.toHex(' '), QByteArray(want, 4).toHex(' ')) << d;
    }

    // The password frame left one byte at a time, with a pause of 50 ms after each byte up to ETX.
    // The pauses are measured where they are made: the simulator's receive times carry its
    // thread's scheduling delays, which a loaded machine stretches without bound.
    const QList<TimedPort::Write> w = port.writes;
    ASSERT_GE(w.size(), 11);
    QByteArray paced;
    for (int i = 1; i <= 10; ++i)
        paced += w[i].bytes;
    EXPECT_EQ(w[0].bytes.toHex(' '), "18");
    EXPECT_EQ(paced.toHex(' '), password.toHex(' '));
    for (int i = 2; i <= 10; ++i) {
        EXPECT_EQ(w[i].bytes.size(), 1) << i;
        EXPECT_GE(w[i].usecs - w[i - 1].usecs, 49000) << i; // the clock counts whole milliseconds
    }

    // Receiving again finds what was sent.
    prompts.shown.clear();
    EXPECT_EQ(x.Recibir(), SessionOutcome::Done);
    EXPECT_EQ(messages(), QStringList{GetS(61)});
    EXPECT_FALSE(x.lastComparison().differs()) << x.lastComparison().informe.toStdString();
    EXPECT_EQ(pstate.deviceCopy.nivelDiaLocal, 77);
    EXPECT_EQ(pstate.deviceCopy.intervals.horaFi[5], "11:30");
}

TEST_F(Exchange, OperationsSucceedWithTheRightPassword)
{
    window.sheet.numeroSerie = QStringLiteral("123456");
    EXPECT_EQ(x.Borrat(), SessionOutcome::Done);
    EXPECT_EQ(sim.recordsCleared(), 1);
    EXPECT_EQ(x.CanviClau(), SessionOutcome::Done);
    EXPECT_EQ(sim.config().password, "ab  ");
    EXPECT_EQ(messages(), QStringList({GetS(61), GetS(61)}));
    expectClosed("erase, password");

    prompts.shown.clear();
    prompts.input(QStringLiteral("123456"));
    EXPECT_EQ(x.Test(), SessionOutcome::Done);
    EXPECT_EQ(prompts.prompts, QStringList{QStringLiteral("Entrar el numero de serie:")});
    ASSERT_EQ(prompts.shown.size(), 1);
    EXPECT_EQ(prompts.shown[0].text, QStringLiteral("Test de inicio fábrica pasado"));
    EXPECT_EQ(prompts.shown[0].icon, Icon::Information);
    expectClosed("test");

    prompts.cancelInput(); // nothing after CAN, no message
    sim.clearLog();
    EXPECT_EQ(x.Test(), SessionOutcome::Cancelled);
    ASSERT_TRUE(QTest::qWaitFor([this] { return !sim.bytesReceived().isEmpty(); }, 10000));
    EXPECT_EQ(sim.bytesReceived(), QByteArray(1, char(0x18)));
    EXPECT_EQ(prompts.shown.size(), 1);
    expectClosed("test cancelled");
}

// Every failure: exactly one message, buttons back, busy display off, port closed.
TEST_F(Exchange, EachFailureShowsOneMessageAndCloses)
{
    using P = ProgrammingExchange;
    using O = SessionOutcome;
    struct Case {
        const char* name;
        std::function<void()> setup;
        SessionOutcome (P::*op)();
        O outcome;
        QString message; // empty: the port's open error
        Icon icon;
    };
    const QString invalidAction = GetS(106) + ": " + GetS(65).chopped(1);
    const Case cases[] = {
        {"receive timeout", [&] { sim.injectFault(Fault::Silence, 0x04); }, &P::Recibir, O::Failed, GetS(31),
         Icon::Critical},
        {"receive bad xor", [&] { sim.injectFault(Fault::BadCheckByte, 0x04); }, &P::Recibir, O::Failed,
         GetS(62), Icon::Critical},
        {"receive model", [&] { sim.injectFault(Fault::WrongModel, 0x01); }, &P::Recibir, O::Failed, GetS(30),
         Icon::Critical},
        {"send wrong password", [&] { asker.current = "9999"; }, &P::Transmitir, O::Failed, GetS(119),
         Icon::Critical},
        {"erase wrong password", [&] { asker.current = "9999"; }, &P::Borrat, O::Failed, kWrongPassword,
         Icon::Critical},
        {"change wrong password", [&] { asker.current = "9999"; }, &P::CanviClau, O::Failed, kWrongPassword,
         Icon::Critical},
        {"send mode off", [&] { sim.injectFault(Fault::ProgrammingModeOff, 0x01); }, &P::Transmitir, O::Failed,
         GetS(64), Icon::Critical},
        {"erase other serial", [&] { sim.injectFault(Fault::WrongSerial, 0x01); }, &P::Borrat, O::Failed,
         GetS(63), Icon::Information},
        {"erase refused", [&] { sim.injectFault(Fault::Nak, 0x0C); }, &P::Borrat, O::Failed, GetS(62),
         Icon::Critical},
        {"erase unanswered", [&] { sim.injectFault(Fault::Silence, 0x0C); }, &P::Borrat, O::Failed, GetS(31),
         Icon::Critical},
        {"send refused", [&] { sim.injectFault(Fault::Nak, 0x08); }, &P::Transmitir, O::Failed, GetS(62),
         Icon::Critical},
        {"send save fails", [&] { window.failSave = true; }, &P::Transmitir, O::Cancelled, "disk full",
         Icon::Critical},
        {"send Leq1s time 0", [&] { window.sheet.tempsActLoc = "00"; }, &P::Transmitir, O::Cancelled,
         invalidAction, Icon::Critical},
        {"test anti-test", [&] { prompts.input("654321"); }, &P::Test, O::Failed,
         QStringLiteral("Desactivar protección anti-test"), Icon::Critical},
        {"test unanswered",
         [&] {
             prompts.input("123456");
             sim.injectFault(Fault::Silence, 0x0D);
         },
         &P::Test, O::Failed, GetS(31), Icon::Critical},
        {"port fails", [&] { link.state.SerialDevice = "/nonexistent/tty"; }, &P::Borrat, O::Failed, QString(),
         Icon::Critical},
    };
    receiveAndSave();
    const SheetValues base = window.sheet;
    for (const Case& c : cases) {
        window.sheet = base;
        window.failSave = false;
        window.state.fichaModificada = false;
        asker.current = "1234";
        link.state.SerialDevice = sim.portPath();
        sim.clearFaults();
        sim.clearLog();
        prompts.shown.clear();
        c.setup();
        const SheetValues before = window.sheet;
        const int erased = sim.recordsCleared();

        EXPECT_EQ((x.*c.op)(), c.outcome) << c.name;
        const QStringList m = messages();
        ASSERT_EQ(m.size(), 1) << c.name << ": " << m.join(" | ").toStdString();
        if (c.message.isEmpty())
            EXPECT_TRUE(m[0].contains("/nonexistent/tty")) << c.name << ": " << m[0].toStdString();
        else
            EXPECT_EQ(m[0], c.message) << c.name;
        EXPECT_EQ(prompts.shown.last().icon, c.icon) << c.name;
        EXPECT_EQ(window.sheet, before) << c.name;
        EXPECT_EQ(sim.recordsCleared(), erased) << c.name;
        expectClosed(c.name);
        if (c.outcome == O::Cancelled) {
            EXPECT_TRUE(sim.bytesReceived().isEmpty()) << c.name; // nothing left the PC
        }
        for (const sim::FrameEntry& f : sim.frames()) // a wrong model is not asked for its programming
            EXPECT_FALSE(c.op == &P::Recibir && c.message == GetS(30) && !f.fromDevice && f.command == 0x04);
    }
}

TEST_F(Exchange, ModemCallKeptUpThenHungUp)
{
    receiveAndSave();
    link.state.ConexionModem = 1;
    link.state.PrefijoMarcado = QStringLiteral("0");
    window.sheet.telefono = QStringLiteral("5551234");
    sim.setModemMode(true, sim::ModemAnswer::Connect, 400);
    link.timing.secondMs = 100; // the modem's echo is read away a "second" after the dial

    prompts.answer(Answer::Ok); // GetS(33)
    prompts.answer(Answer::Ok); // GetS(61)
    prompts.answer(Answer::No); // keep the line
    EXPECT_EQ(x.Borrat(), SessionOutcome::Done);
    EXPECT_EQ(sim.lastDialCommand(), "ATE0V0X0DT0,5551234");
    EXPECT_EQ(prompts.shown.first().text, GetS(33));
    EXPECT_EQ(prompts.shown.last().text, GetS(124));
    EXPECT_TRUE(link.state.ModemConectado);
    EXPECT_TRUE(link.port.isOpen());
    EXPECT_TRUE(window.idle());

    // The factory test over the call leaves the line up.
    prompts.input(QStringLiteral("123456"));
    EXPECT_EQ(x.Test(), SessionOutcome::Done);
    EXPECT_TRUE(link.state.ModemConectado);
    EXPECT_TRUE(link.port.isOpen());

    // The next operation goes straight to CAN: no prompt, no dial.
    prompts.shown.clear();
    sim.clearLog();
    prompts.answer(Answer::Ok);  // GetS(61)
    prompts.answer(Answer::Yes); // hang up
    EXPECT_EQ(x.Recibir(), SessionOutcome::Done);
    EXPECT_EQ(sim.bytesReceived().left(1), QByteArray(1, char(0x18)));
    EXPECT_FALSE(sim.bytesReceived().contains("AT"));
    EXPECT_EQ(messages(), QStringList({GetS(61), GetS(124)}));
    EXPECT_FALSE(link.state.ModemConectado);
    expectClosed("hang up");
}

} // namespace
} // namespace nbx::test
