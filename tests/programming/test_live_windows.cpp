// The live windows (real-time view, calibration, sound level meter) through the real windows, over
// the program's own link on a pseudo-terminal against the device simulator's streams.
#include "link/Link.h"
#include "localisation/LangDesk.h"
#include "localisation/Strings.h"
#include "localisation/ui/StringExport.h"
#include "make-language-db/StringsTsv.h"
#include "nbx70-sim/Simulator.h"
#include "programming/ui/Form13.h"
#include "programming/ui/Form14.h"
#include "programming/ui/Form2.h"
#include "programming/ui/Form3.h"
#include "support/LinkTestSupport.h"
#include "support/ScriptedPrompter.h"
#include "support/TempDatabase.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace nbx::test {
namespace {

using Icon = Prompter::Icon;

// Steps run from the event loop while a run blocks inside a click: each step's action runs once
// its condition holds, in order. `watch` runs on every turn.
class Steps {
public:
    struct Step {
        std::function<bool()> ready;
        std::function<void()> action;
    };
    explicit Steps(QList<Step> steps, std::function<void()> watch = {})
        : steps_(std::move(steps)), watch_(std::move(watch))
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] { turn(); });
        timer_.start(2);
    }
    bool done() const { return next_ >= steps_.size(); }

private:
    void turn()
    {
        if (watch_)
            watch_();
        if (!done() && steps_[next_].ready()) {
            const auto action = steps_[next_++].action;
            action();
        }
    }
    QList<Step> steps_;
    std::function<void()> watch_;
    qsizetype next_ = 0;
    QTimer timer_;
};

// Cancels the password dialog while it lives.
class CancelledPassword : public PasswordAsker {
public:
    explicit CancelledPassword(PasswordAsker* restore) : restore_(restore) { setPasswordAsker(this); }
    ~CancelledPassword() override { setPasswordAsker(restore_); }
    void askCurrentPassword(LinkState& st) override { CurrentPasswordLogic::cancel(st); }
    void askNewPassword(LinkState& st) override { NewPasswordLogic::cancel(st); }

private:
    PasswordAsker* restore_;
};

QByteArray hexBytes(const char* hex) { return QByteArray::fromHex(hex); }

// A scripted prompter that also lets a test look at the window while a message is up.
class WatchingPrompter : public ScriptedPrompter {
public:
    Answer message(const QString& text, Icon icon, Buttons buttons) override
    {
        if (onMessage)
            onMessage(text);
        return ScriptedPrompter::message(text, icon, buttons);
    }
    std::function<void(const QString&)> onMessage;
};

class LiveWindows : public ::testing::Test {
protected:
    void SetUp() override
    {
        savedLocale = QLocale();
        QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Spain));
        QString error;
        ASSERT_TRUE(sim.start(&error)) << error.toStdString();
        Link& link = defaultLink();
        savedTiming = link.timing;
        link.timing = shortLinkTiming();
        link.state.SerialDevice = sim.portPath();
        link.state.ConexionModem = 0;
        link.state.ModemConectado = false;
        form.load();
        form.MaskNumeroSerie->setText(QStringLiteral("123456"));
        form.MaskTelefono->setText(QStringLiteral("976123456"));
    }
    void TearDown() override
    {
        defaultLink().cerrarPuerto();
        defaultLink().timing = savedTiming;
        defaultLink().state.SerialDevice.clear();
        defaultLink().state.ConexionModem = 0;
        programmingState().fichaModificada = false;
        sim.stop();
        QLocale::setDefault(savedLocale);
    }

    template <class W>
    std::unique_ptr<W> open()
    {
        auto w = std::make_unique<W>(&form);
        w->Form_Load();
        w->show();
        return w;
    }

    // Commands of the frames the program sent, in order.
    QList<int> requests() const
    {
        QList<int> out;
        for (const sim::FrameEntry& f : sim.frames())
            if (!f.fromDevice && f.valid)
                out << f.command;
        return out;
    }
    // The bytes the program sent after the first frame with `command` (none: empty).
    QByteArray bytesAfterRequest(int command) const
    {
        const QByteArray all = sim.bytesReceived();
        const int at = int(all.indexOf(liveRequest(uint8_t(command))));
        return at < 0 ? QByteArray() : all.mid(at + 6);
    }
    // The simulator reads the line on its own thread: the last bytes may still be on their way.
    bool canArrived() const
    {
        return QTest::qWaitFor([this] { return sim.bytesReceived().endsWith(char(0x18)); }, 10000);
    }
    bool noCanArrives() const
    {
        QTest::qWait(30);
        return !sim.bytesReceived().contains(char(0x18));
    }
    QString shownTexts() const
    {
        QStringList t;
        for (const auto& m : prompts.shown)
            t << m.text;
        return t.join(QStringLiteral(" | "));
    }
    int critical() const
    {
        int n = 0;
        for (const auto& m : prompts.shown)
            n += m.icon == Icon::Critical;
        return n;
    }
    void expectIdle(const LiveWindow& w)
    {
        EXPECT_FALSE(w.running());
        EXPECT_TRUE(w.SSCommandRun->isVisible());
        EXPECT_FALSE(w.SSCommandStop->isVisible());
        EXPECT_TRUE(w.SSCommandExit->isEnabled());
        EXPECT_TRUE(w.SSCommandHelp->isEnabled());
        EXPECT_FALSE(form.isEnabled()); // still under the live window
        EXPECT_FALSE(DeviceOperationGuard::running());
    }
    void exitAndExpectSheetBack(LiveWindow& w)
    {
        w.SSCommandExit->click();
        EXPECT_FALSE(w.isVisible());
        EXPECT_TRUE(form.isEnabled());
    }

    TempDatabase db;
    WatchingPrompter prompts;
    ScriptedPasswords passwords;
    sim::Simulator sim;
    LinkTiming savedTiming;
    QLocale savedLocale;
    Form2 form;
};

// Frame k (1-based) of a repeating script of n frames shows entry (k - 1) % n.
template <class Snapshot>
struct Seen {
    QMap<int, Snapshot> byKind;
    int last = 0;
};

TEST_F(LiveWindows, RealTimeShowsEachFrameAcknowledgesItAndStops)
{
    auto w = open<Form3>();
    EXPECT_EQ(w->LbNivel->text(), "---");
    EXPECT_EQ(w->LbAtenuador->text(), "0");
    struct Shot {
        QString fecha, hora, noche, nivel, atenuador;
        bool sesion, red, inhabil, bar;
        int barValue;
    };
    Seen<Shot> seen;
    auto watch = [&] {
        const int k = w->liveRun().framesShown();
        if (k == seen.last || k == 0)
            return;
        seen.last = k;
        seen.byKind.insert((k - 1) % 3, {w->LbFecha->text(), w->LbHora->text(), w->LbNoche->text(), w->LbNivel->text(),
                                         w->LbAtenuador->text(), w->LbSesion->isVisible(), w->LbRed->isVisible(),
                                         w->LbInhabil->isVisible(), w->ProgressBar1->isVisible(),
                                         w->ProgressBar1->value()});
    };
    {
        Steps steps({{[&] { return seen.byKind.size() == 3; }, [&] { w->SSCommandStop->click(); }}}, watch);
        w->SSCommandRun->click();
        EXPECT_TRUE(steps.done());
    }
    ASSERT_EQ(seen.byKind.size(), 3);
    const Shot& a = seen.byKind[0];
    EXPECT_EQ(a.fecha, "31/12/24");
    EXPECT_EQ(a.hora, "23:59:58");
    EXPECT_EQ(a.noche, "(" + GetS(99) + ")");
    EXPECT_EQ(a.nivel, "60,0");
    EXPECT_EQ(a.atenuador, "-5");
    EXPECT_TRUE(a.sesion && a.bar && !a.red && !a.inhabil);
    EXPECT_EQ(a.barValue, 5);
    const Shot& b = seen.byKind[1];
    EXPECT_EQ(b.nivel, "120,0");
    EXPECT_EQ(b.atenuador, "-55");
    EXPECT_TRUE(b.inhabil && b.bar);
    EXPECT_EQ(b.barValue, 40);
    const Shot& c = seen.byKind[2];
    EXPECT_EQ(c.fecha, "01/01/25");
    EXPECT_EQ(c.hora, "00:00:00");
    EXPECT_EQ(c.noche, "(" + GetS(98) + ")");
    EXPECT_EQ(c.nivel, "UP");
    EXPECT_EQ(c.atenuador, "-60");
    EXPECT_TRUE(c.red && c.bar && !c.sesion);
    EXPECT_EQ(c.barValue, 40);
    expectIdle(*w);
    EXPECT_EQ(critical(), 0);
    EXPECT_FALSE(defaultLink().port.isOpen());

    // From the log: identification, the request, one ACK at least ~50 ms after each frame shown,
    // CAN last.
    ASSERT_TRUE(canArrived());
    EXPECT_EQ(requests(), (QList<int>{0x01, 0x09}));
    const int shown = w->liveRun().framesShown();
    QList<qint64> frameEnds;
    for (const sim::FrameEntry& f : sim.frames())
        if (f.fromDevice && f.command == 0x09)
            frameEnds << f.usecs;
    int acks = 0;
    bool afterRequest = false;
    for (const sim::LogEntry& e : sim.log()) {
        if (e.fromDevice)
            continue;
        if (e.byte == 0x0E)
            afterRequest = true;
        else if (afterRequest && e.byte == 0x06) {
            ASSERT_LT(acks, frameEnds.size());
            EXPECT_GE(e.usecs - frameEnds[acks], 45000) << "ACK " << acks;
            ++acks;
        }
    }
    EXPECT_EQ(acks, shown);
    EXPECT_EQ(bytesAfterRequest(0x09), QByteArray(shown, char(0x06)) + char(0x18));

    // A second run in the same window, then Exit.
    sim.clearLog();
    seen = {};
    {
        Steps steps({{[&] { return w->liveRun().framesShown() >= 1; }, [&] { w->SSCommandStop->click(); }}});
        w->SSCommandRun->click();
    }
    EXPECT_TRUE(canArrived());
    EXPECT_EQ(requests(), (QList<int>{0x01, 0x09}));
    expectIdle(*w);
    exitAndExpectSheetBack(*w);
}

TEST_F(LiveWindows, CalibrationShowsTheLevelsThenTheResult)
{
    sim::DeviceConfig cfg = sim.config();
    cfg.password = "AB  ";
    sim.setConfig(cfg);
    passwords.current = QStringLiteral("AB");
    sim::StreamScript script = sim.streamScript();
    script.calibration = {{sim::calibrationLevelData(600), {}},
                          {sim::calibrationLevelData(1200), {}},
                          {sim::calibrationLevelData(1201), {}}};
    script.calibrationResult = 0;
    sim.setStreamScript(script);
    defaultLink().timing.paceMs = 50; // the password bytes are paced as on the device's line

    auto w = open<Form13>();
    EXPECT_EQ(w->LbNivel->text(), "---");
    // The label as the event loop's turns find it: frames that come together are shown between
    // two turns, so a level may go unseen here, but none is out of its order.
    const QStringList expected{"60,0", "120,0", "UP"};
    QStringList levels;
    int shown = 0;
    Steps watch({}, [&] {
        if (w->liveRun().framesShown() > shown) {
            shown = w->liveRun().framesShown();
            levels << w->LbNivel->text();
        }
    });
    w->SSCommandRun->click();
    EXPECT_EQ(w->liveRun().framesShown(), 3);
    EXPECT_EQ(w->LbNivel->text(), "UP");
    qsizetype next = 0;
    for (const QString& l : levels) {
        next = expected.indexOf(l, next);
        ASSERT_GE(next, 0) << levels.join(u' ').toStdString();
        ++next;
    }
    ASSERT_EQ(prompts.shown.size(), 2);
    EXPECT_EQ(prompts.shown[0].text, GetS(15));
    EXPECT_EQ(prompts.shown[1].text, GetS(115));
    EXPECT_EQ(prompts.shown[1].icon, Icon::Information);
    expectIdle(*w);

    // The password frame, paced; identification; the request; nothing but CAN after it.
    ASSERT_TRUE(canArrived());
    const QByteArray password = hexBytes("02000A0A414220200302");
    EXPECT_TRUE(sim.bytesReceived().startsWith(password)) << sim.bytesReceived().toHex().toStdString();
    // Sent a byte at a time with a pause after each: the simulator read them in several pieces,
    // where a frame written at once comes in one. The pauses' lengths are the link's to check,
    // on its own clock; the simulator's receive times carry its thread's scheduling delays.
    const QList<sim::LogEntry> log = sim.log();
    QSet<qint64> readAt;
    for (qsizetype i = 0; i < password.size(); ++i)
        readAt.insert(log[i].usecs);
    EXPECT_GE(readAt.size(), 3);
    EXPECT_EQ(requests(), (QList<int>{0x0A, 0x01, 0x0E}));
    EXPECT_EQ(bytesAfterRequest(0x0E), QByteArray(1, char(0x18)));

    // A second run stopped during the level frames: the wait ends at once, no message, CAN.
    script.calibrationPeriodMs = 60000;
    sim.setStreamScript(script);
    defaultLink().timing.paceMs = 1;
    defaultLink().timing.frameTimeoutMs = 120000;
    sim.clearLog();
    prompts.shown.clear();
    QElapsedTimer sinceStop;
    {
        Steps steps({{[&] { return bool(sim.events().filter("stream started").size()); },
                      [&] {
                          sinceStop.start();
                          w->SSCommandStop->click();
                      }}});
        w->SSCommandRun->click();
    }
    EXPECT_TRUE(canArrived());
    EXPECT_LT(sinceStop.elapsed(), 30000); // not the next level's minute
    EXPECT_EQ(prompts.shown.size(), 1); // the connection prompt only
    EXPECT_EQ(bytesAfterRequest(0x0E), QByteArray(1, char(0x18)));
    expectIdle(*w);
    exitAndExpectSheetBack(*w);
}

TEST_F(LiveWindows, MeterFreeRunsWithoutABytFromTheProgramUntilStop)
{
    auto w = open<Form14>();
    struct Shot {
        QStringList values;
        QString leqT;
        QStringList bands;
    };
    Seen<Shot> seen;
    auto watch = [&] {
        const int k = w->liveRun().framesShown();
        if (k == seen.last || k == 0)
            return;
        seen.last = k;
        Shot s{{w->LbLF->text(), w->LbLFmax->text(), w->LbLeqT->text(), w->LbLeq1s->text()}, w->Label3->text(), {}};
        for (QLabel* l : w->LbOct)
            s.bands << l->text();
        seen.byKind.insert((k - 1) % 3, s);
    };
    int shownAtStop = 0;
    {
        Steps steps({{[&] { return seen.byKind.size() == 3; },
                      [&] {
                          w->SSCommandStop->click();
                          shownAtStop = w->liveRun().framesShown();
                      }}},
                    watch);
        w->SSCommandRun->click();
    }
    ASSERT_EQ(seen.byKind.size(), 3);
    EXPECT_EQ(seen.byKind[0].values, QStringList({"60,0", "60,0", "60,0", "60,0"}));
    EXPECT_EQ(seen.byKind[0].leqT, "LeqT(60s):");
    EXPECT_EQ(seen.byKind[0].bands, QStringList(9, "60,0"));
    EXPECT_EQ(seen.byKind[1].values, QStringList({"75,2", "90,1", "74,8", "75,0"}));
    EXPECT_EQ(seen.byKind[1].bands,
              QStringList({"Und", "65,0", "70,0", "72,0", "73,1", "74,5", "70,0", "65,5", "Up"}));
    EXPECT_EQ(seen.byKind[2].values, QStringList({"120,0", "Up", "80,3", "Und"}));
    EXPECT_EQ(seen.byKind[2].leqT, "LeqT(1s):");
    EXPECT_EQ(seen.byKind[2].bands,
              QStringList({"120,0", "Up", "Und", "Und", "60,0", "60,1", "119,9", "100,0", "110,0"}));
    EXPECT_EQ(w->liveRun().framesShown(), shownAtStop); // nothing shown after Stop
    ASSERT_TRUE(canArrived());
    EXPECT_EQ(requests(), (QList<int>{0x0A, 0x01, 0x11}));
    EXPECT_EQ(bytesAfterRequest(0x11), QByteArray(1, char(0x18)));
    EXPECT_EQ(critical(), 0);
    expectIdle(*w);

    sim.clearLog();
    {
        Steps steps({{[&] { return w->liveRun().framesShown() >= 2; }, [&] { w->SSCommandStop->click(); }}});
        w->SSCommandRun->click();
    }
    ASSERT_TRUE(canArrived());
    EXPECT_EQ(bytesAfterRequest(0x11), QByteArray(1, char(0x18)));
    expectIdle(*w);
    exitAndExpectSheetBack(*w);
}

// Each failure: one message, the window idle, the port closed, the sheet back after Exit.
TEST_F(LiveWindows, FailuresShowOneMessageAndGiveTheWindowBack)
{
    const struct Case {
        const char* name;
        LiveKind kind;
        std::function<void(sim::Simulator&, Form2&)> setup;
        QString message; // the critical message, or a part of it
        bool request;    // the stream was requested
    } cases[] = {
        {"timeout", LiveKind::TiempoReal, [](sim::Simulator& s, Form2&) { s.injectFault(sim::Fault::StallMidFrame, 0x09); },
         GetS(31), true},
        {"bad check byte", LiveKind::Sonometro, [](sim::Simulator& s, Form2&) { s.injectFault(sim::Fault::BadCheckByte, 0x11); },
         GetS(62), true},
        {"no identification", LiveKind::Calibracion, [](sim::Simulator& s, Form2&) { s.injectFault(sim::Fault::Silence, 0x01); },
         GetS(31), false},
        {"wrong model", LiveKind::TiempoReal,
         [](sim::Simulator& s, Form2&) {
             s.injectFault(sim::Fault::WrongModel, 0x01);
         },
         GetS(30), false},
        {"other serial", LiveKind::TiempoReal, [](sim::Simulator& s, Form2&) { s.injectFault(sim::Fault::WrongSerial, 0x01); },
         GetS(63), false},
        {"empty sheet serial", LiveKind::Calibracion, [](sim::Simulator&, Form2& f) { f.MaskNumeroSerie->clear(); },
         GetS(63), false},
        {"sheet serial not a number", LiveKind::TiempoReal,
         [](sim::Simulator&, Form2& f) { f.MaskNumeroSerie->setText(QStringLiteral("abc")); }, GetS(63), false},
        {"not in programming mode", LiveKind::Sonometro,
         [](sim::Simulator& s, Form2&) { s.injectFault(sim::Fault::ProgrammingModeOff, 0x01); }, GetS(64), false},
        {"wrong password", LiveKind::Calibracion, [](sim::Simulator& s, Form2&) { s.injectFault(sim::Fault::Nak, 0x0A); },
         GetS(119), false},
        {"port cannot be opened", LiveKind::Sonometro,
         [](sim::Simulator&, Form2&) { defaultLink().state.SerialDevice = QStringLiteral("/dev/nbx70-no-such-port"); },
         QStringLiteral("/dev/nbx70-no-such-port"), false},
        {"blank telephone number", LiveKind::TiempoReal,
         [](sim::Simulator&, Form2& f) {
             defaultLink().state.ConexionModem = 1;
             f.MaskTelefono->setText(QStringLiteral("  "));
         },
         GetS(34), false},
        {"modem answers 3", LiveKind::Calibracion,
         [](sim::Simulator& s, Form2&) {
             defaultLink().state.ConexionModem = 1;
             s.setModemMode(true, sim::ModemAnswer::Busy, 20);
         },
         GetS(35), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim.clearLog();
        sim.clearFaults();
        sim.setModemMode(false);
        prompts.shown.clear();
        defaultLink().state.SerialDevice = sim.portPath();
        defaultLink().state.ConexionModem = 0;
        form.MaskNumeroSerie->setText(QStringLiteral("123456"));
        form.MaskTelefono->setText(QStringLiteral("976123456"));
        c.setup(sim, form);
        std::unique_ptr<LiveWindow> w;
        switch (c.kind) {
        case LiveKind::TiempoReal: w = open<Form3>(); break;
        case LiveKind::Calibracion: w = open<Form13>(); break;
        case LiveKind::Sonometro: w = open<Form14>(); break;
        }
        bool idleUnderMessage = false;
        prompts.onMessage = [&](const QString&) {
            idleUnderMessage = w->SSCommandRun->isVisible() && !w->SSCommandStop->isVisible();
        };
        w->SSCommandRun->click();
        prompts.onMessage = nullptr;
        ASSERT_EQ(critical(), 1);
        if (c.message == GetS(63)) {
            EXPECT_TRUE(idleUnderMessage); // Stop hidden, Run shown before the message
        }
        EXPECT_TRUE(prompts.shown.last().text.contains(c.message)) << prompts.shown.last().text.toStdString();
        EXPECT_TRUE(c.request ? canArrived() : noCanArrives()); // CAN only after a request
        EXPECT_EQ(requests().contains(liveCommand(c.kind)), c.request);
        if (c.message == GetS(119)) {
            EXPECT_FALSE(requests().contains(0x01));
        }
        EXPECT_FALSE(defaultLink().port.isOpen());
        EXPECT_FALSE(defaultLink().state.ModemConectado);
        expectIdle(*w);
        exitAndExpectSheetBack(*w);
    }

    // A cancelled password dialog on a cable: nothing on the wire, the port closed again, no message.
    sim.clearLog();
    prompts.shown.clear();
    defaultLink().state.ConexionModem = 0;
    defaultLink().state.SerialDevice = sim.portPath();
    CancelledPassword cancel(&passwords);
    auto w = open<Form14>();
    w->SSCommandRun->click();
    EXPECT_EQ(critical(), 0);
    QTest::qWait(30);
    EXPECT_TRUE(sim.bytesReceived().isEmpty());
    EXPECT_FALSE(defaultLink().port.isOpen());
    expectIdle(*w);
    exitAndExpectSheetBack(*w);
}

// Exit after Stop, the close box and Escape in the middle of a frame: the window stays until the
// run has ended, then closes; Run meanwhile starts nothing.
TEST_F(LiveWindows, LeavingDuringARunWaitsForTheRunToEnd)
{
    const struct {
        const char* name;
        std::function<void(LiveWindow&)> leave;
    } ways[] = {
        {"Exit", [](LiveWindow& w) {
             w.SSCommandStop->click();
             ASSERT_TRUE(w.SSCommandExit->isEnabled());
             w.SSCommandExit->click();
         }},
        {"close box", [](LiveWindow& w) { w.close(); }},
        {"Escape", [](LiveWindow& w) { QTest::keyClick(&w, Qt::Key_Escape); }},
    };
    sim.setByteDelayMs(6); // a real-time frame takes about 120 ms
    for (const auto& way : ways) {
        SCOPED_TRACE(way.name);
        sim.clearLog();
        auto w = open<Form3>();
        bool stillOpen = false;
        {
            Steps steps({{[&] {
                              // Frame 1 shown and part of frame 2 on its way.
                              const qsizetype sent = sim.bytesSent().size();
                              return w->liveRun().framesShown() == 1 && sent > 16 + 20 + 2 && sent < 16 + 40 - 2;
                          },
                          [&] {
                              way.leave(*w);
                              stillOpen = w->isVisible() && w->running();
                              w->SSCommandRun->click(); // ignored while the run finishes
                          }}});
            w->SSCommandRun->click();
            EXPECT_TRUE(steps.done());
        }
        EXPECT_TRUE(stillOpen);
        EXPECT_FALSE(w->isVisible());
        EXPECT_TRUE(form.isEnabled());
        EXPECT_TRUE(canArrived());
        EXPECT_EQ(requests(), (QList<int>{0x01, 0x09}));
        EXPECT_EQ(w->liveRun().framesShown(), 1);
    }
}

// A modem call kept up (No to the hang-up question): the next run skips the prompt and the dial,
// and the stream's late bytes are not taken for the password's answer.
TEST_F(LiveWindows, AModemLineKeptUpServesTheNextRun)
{
    defaultLink().state.ConexionModem = 1;
    // Seconds long enough for the modem's echo to come before it is discarded, on a loaded machine.
    defaultLink().timing.secondMs = 300;
    sim.setModemMode(true, sim::ModemAnswer::Connect, 500);
    sim::StreamScript script = sim.streamScript();
    script.framesAfterCan = 2;
    sim.setStreamScript(script);
    auto w = open<Form14>();
    prompts.answer(Prompter::Answer::Ok); // connect the modem
    prompts.answer(Prompter::Answer::No); // keep the call
    {
        Steps steps({{[&] { return w->liveRun().framesShown() >= 2; }, [&] { w->SSCommandStop->click(); }}});
        w->SSCommandRun->click();
    }
    ASSERT_TRUE(prompts.sawText(GetS(124))) << shownTexts().toStdString() << "\n"
                                            << sim.events().join('\n').toStdString();
    EXPECT_TRUE(defaultLink().state.ModemConectado);
    EXPECT_TRUE(defaultLink().port.isOpen());
    // The frames still on their way after CAN have gone out before the next run.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !sim.events().filter("stream ended (CAN)").isEmpty(); }, 5000))
        << sim.events().join('\n').toStdString();

    prompts.shown.clear();
    sim.clearLog();
    {
        Steps steps({{[&] { return w->liveRun().framesShown() >= 2; }, [&] { w->SSCommandStop->click(); }}});
        w->SSCommandRun->click(); // the hang-up question: Yes
    }
    EXPECT_FALSE(prompts.sawText(GetS(33)));
    EXPECT_FALSE(prompts.sawText(GetS(119)));
    EXPECT_EQ(critical(), 0);
    EXPECT_EQ(sim.events().filter("modem:").size(), 0); // no dial
    EXPECT_EQ(requests(), (QList<int>{0x0A, 0x01, 0x11}));
    EXPECT_FALSE(defaultLink().state.ModemConectado);
    EXPECT_FALSE(defaultLink().port.isOpen());
    exitAndExpectSheetBack(*w);
}

// The sheet's three buttons open their windows modally over its lower-left corner.
TEST_F(LiveWindows, TheSheetButtonsOpenTheWindowsModally)
{
    form.show();
    for (QPushButton* button : {form.SSCommandRealTime, form.SSCommandCalibracio, form.SSCommandSonometro}) {
        SCOPED_TRACE(button->objectName().toStdString());
        ASSERT_TRUE(button->isEnabled());
        bool checked = false;
        Steps steps({{[] { return qobject_cast<LiveWindow*>(QApplication::activeModalWidget()) != nullptr; },
                      [&] {
                          auto* w = qobject_cast<LiveWindow*>(QApplication::activeModalWidget());
                          EXPECT_FALSE(form.isEnabled());
                          const int dpi = int(form.screen()->logicalDotsPerInchY());
                          EXPECT_EQ(w->pos(), livePlacement(form.frameGeometry(), w->frameGeometry().height(), dpi));
                          EXPECT_EQ(w->pos().x(), form.frameGeometry().left() + 100 * dpi / 1440);
                          checked = true;
                          w->SSCommandExit->click();
                      }}});
        button->click();
        EXPECT_TRUE(checked);
        EXPECT_TRUE(form.isEnabled());
    }
}

// Each window in English from the shipped language database (and in Spanish before it); pictures
// of both when NBX70_SCREENSHOT_DIR names a folder.
TEST_F(LiveWindows, EachWindowInEnglish)
{
    const QString dir = qEnvironmentVariable("NBX70_SCREENSHOT_DIR");
    auto shoot = [&](QWidget& w, const QString& file) {
        QTest::qWait(20);
        if (!dir.isEmpty()) {
            EXPECT_TRUE(w.grab().save(QDir(dir).filePath(file)));
        }
    };
    // 31/12/124 23:59:58, session, night, inhibited interval, level 600, attenuation 5.
    FrameBuffer f;
    const QByteArray frame = hexBytes("020014091F0C7C173B3A0101000001025805033B");
    for (int i = 0; i < frame.size(); ++i)
        f[i] = uint8_t(frame[i]);
    auto showAll = [&](const QString& lang) {
        {
            auto w = open<Form3>();
            const RealTimeDisplay d = decodeRealTime(f, QLocale());
            w->LbFecha->setText(d.fecha);
            w->LbHora->setText(d.hora);
            w->LbSesion->setVisible(d.sesion);
            w->LbNoche->setText("(" + GetS(d.noche ? 99 : 98) + ")");
            w->LbRed->setVisible(true); // every flag, to see that they fit
            w->LbSensor->setVisible(true);
            w->LbInhabil->setVisible(d.inhabil);
            w->LbNivel->setText(d.nivel);
            w->LbAtenuador->setText(d.atenuador);
            w->ProgressBar1->setVisible(d.barVisible);
            w->ProgressBar1->setValue(d.barValue);
            if (lang == "en") {
                EXPECT_EQ(w->SSCommandExit->text(), "Back");
                EXPECT_EQ(w->SSCommandHelp->text(), "Help");
                EXPECT_EQ(w->LbRed->text(), "MAINS DISCONNECTED");
                EXPECT_EQ(w->LbInhabil->text(), "INHIBITED INTERVAL");
                EXPECT_EQ(w->LbNoche->text(), "(Night)");
            }
            shoot(*w, "form3_" + lang + ".png");
            exitAndExpectSheetBack(*w);
        }
        {
            auto w = open<Form13>();
            w->LbNivel->setText(liveLevelText(941, QLocale()));
            if (lang == "en") {
                EXPECT_EQ(w->SSCommandStop->text(), "Stop");
            }
            shoot(*w, "form13_" + lang + ".png");
            exitAndExpectSheetBack(*w);
        }
        {
            auto w = open<Form14>();
            for (QLabel* l : w->LbOct)
                l->setText(UndOrUpStr(725, QLocale()));
            for (QLabel* l : {w->LbLF, w->LbLFmax, w->LbLeqT, w->LbLeq1s})
                l->setText("Und");
            w->Label3->setText("LeqT(60s):");
            if (lang == "en") {
                EXPECT_EQ(w->Label4->text(), "Leq1s (overall):");
                EXPECT_EQ(w->SSCommandRun->text(), "Run");
            }
            shoot(*w, "form14_" + lang + ".png");
            exitAndExpectSheetBack(*w);
        }
    };
    showAll("es");
    LangDesk& engine = langDesk();
    QString name = QStringLiteral("Language.db");
    ASSERT_TRUE(SetupLanguage(name, QStringLiteral("English"), engine, {QStringLiteral(NBX70_SOURCE_RESOURCES)}));
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
    showAll("en");
    QString none;
    SetupLanguage(none, QString(), engine);
}


// The string export finds every designed text of the three windows, and each has its translations.
TEST_F(LiveWindows, TheStringExportFindsEveryTextOfTheWindows)
{
    const QString path = db.file(QStringLiteral("Export.db"));
    QString error;
    ASSERT_TRUE(LangDesk::CreateLanguageDatabase(path, &error)) << error.toStdString();
    const QList<ExportableWindow> windows = {
        {3, QStringLiteral("Form3"), [] { return std::make_unique<Form3>(); }},
        {13, QStringLiteral("Form13"), [] { return std::make_unique<Form13>(); }},
        {14, QStringLiteral("Form14"), [] { return std::make_unique<Form14>(); }},
    };
    ASSERT_TRUE(ExportAllStrings(langDesk(), path, windows));
    QStringList exported;
    {
        QSqlDatabase d = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("live_export"));
        d.setDatabaseName(path);
        ASSERT_TRUE(d.open());
        QSqlQuery q(QStringLiteral("SELECT Native FROM LangDesk WHERE bIsUsed <> 0"), d);
        while (q.next())
            exported << q.value(0).toString();
        q = QSqlQuery();
        d.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("live_export"));
    for (const char* t : {"Run", "Stop", "Volver", "Ayuda", "Sesión", "DESCONEXIÓN DE RED", "SENSOR INACTIVO",
                          "INTERVALO INHÁBIL", "MULTIFUNCTION      DISPLAY", "Form13", "Form14", "Leq 1s:", "LF:",
                          "Leq1s (global):", "Leq1s (31.5Hz):", "Leq1s (8kHz):", "dBA", "dB"})
        EXPECT_TRUE(exported.contains(QString::fromUtf8(t))) << t;
    const auto rows = readStringsTsv(QStringLiteral(NBX70_SOURCE_RESOURCES "/language/strings.tsv"), &error);
    ASSERT_TRUE(rows.has_value()) << error.toStdString();
    QHash<QString, StringRow> byNative;
    for (const StringRow& r : *rows)
        byNative.insert(r.native, r);
    for (const QString& t : exported) {
        ASSERT_TRUE(byNative.contains(t)) << "no row in strings.tsv: " << t.toStdString();
        for (const QString& tr : byNative[t].translations)
            EXPECT_FALSE(tr.isEmpty()) << t.toStdString();
    }
}

} // namespace
} // namespace nbx::test
