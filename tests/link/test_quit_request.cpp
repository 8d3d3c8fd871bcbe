// The program's end asked for by a signal in each wait of each device operation: nothing more is
// sent but the hang-up or CAN, nothing is shown, and the operation is over within a second.
#include "common/QuitSignals.h"
#include "link/Link.h"
#include "localisation/Strings.h"
#include "nbx70-sim/SimRecords.h"
#include "nbx70-sim/SimStreams.h"
#include "programming/Exchange.h"
#include "programming/LiveSession.h"
#include "records/DownloadController.h"
#include "support/FakeSerialPort.h"
#include "support/LinkTestSupport.h"
#include "support/ScriptedPrompter.h"
#include "support/TempDatabase.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <csignal>

namespace nbx::test {
namespace {

const QDateTime kNow(QDate(2024, 5, 14), QTime(10, 30), Qt::UTC);

// One run: the operation on a fake port and clock, the device scripted, the signal raised once
// the trigger has come (a unit the device saw, or a question shown) and `delayMs` more passed.
struct Rig : ExchangeWindow, LiveView, DownloadUi, ScriptedPrompter, ScriptedPasswords {
    VirtualClock clock;
    FakeSerialPort port{clock};
    Link link{port, clock};
    FakeNbx70 dev;
    sim::RecordDevice records;
    SheetValues sheet;
    ProgrammingState sheetState;
    QObject listener;

    std::function<bool(const QByteArray& unit)> unitTrigger;
    QString questionTrigger;
    qint64 delayMs = 0;
    // Noted when the signal is raised.
    qint64 raisedAt = -1;
    qsizetype writtenAt = 0, shownAt = 0;
    bool openAtRaise = false;

    Rig(bool modem)
    {
        port.setPortName("ttyS0");
        link.state.ConexionModem = modem ? 1 : 0;
        dev.modem = modem;
        dev.answerDelayMs = 3000;
        dev.install(port);
        records.config.clock = kNow;
        records.config.intervalCount = 5;
        const FakeSerialPort::Device nbx = port.device();
        port.setDevice([this, nbx](FakeSerialPort& p, const QByteArray& u) {
            nbx(p, u);
            const int command = u.size() >= 6 && u.at(0) == 0x02 ? uint8_t(u.at(3)) : 0;
            // Records answer after 3 s; the real-time view gets one frame after 100 ms.
            if (sim::RecordDevice::handles(command))
                records.request(command, u.mid(4, u.size() - 6),
                                [&p](const QByteArray& b, int ms) { p.reply(b, ms + 3000); },
                                [](const QString&) {});
            if (command == 0x09)
                p.reply(buildFrame(0x09, sim::realTimeData(14, 5, 124, 10, 30, 0, 1, 0, 0, 0, 0, 700, 3)), 100);
            if (!unitTrigger || raisedAt >= 0 || !unitTrigger(u))
                return;
            if (delayMs == 0) {
                raise(); // at once, before the next blocking pause
                return;
            }
            clock.at(clock.nowMs() + delayMs, [this] {
                raise();
                QCoreApplication::processEvents(); // the events a yielding wait runs
            });
        });
        // As the program's main controller does: the request stops a running operation as Stop.
        QObject::connect(&quitRequest(), &QuitRequest::quitRequested, &listener,
                         [this] { link.state.PararRecepcion = link.state.PararMarcado = true; });
        ProgrammingState st;
        CreaProgramacio(sheet, st, [] { return kNow; }, QLocale::c());
        sheet.numeroSerie = QStringLiteral("123456");
        sheet.telefono = QStringLiteral("5551234");
    }
    void raise()
    {
        raisedAt = clock.nowMs();
        writtenAt = port.written.size();
        shownAt = shown.size();
        openAtRaise = port.isOpen();
        std::raise(SIGTERM);
    }
    void onQuestion(const QString& text)
    {
        if (raisedAt < 0 && text == questionTrigger)
            raise();
    }

    // Prompter and password dialogs: the question is answered, and the signal comes as it closes.
    Answer message(const QString& text, Icon icon, Buttons buttons) override
    {
        const Answer a = ScriptedPrompter::message(text, icon, buttons);
        onQuestion(text);
        return a;
    }
    std::optional<QString> inputText(const QString& prompt, const QString& title, const QString& d) override
    {
        const auto typed = ScriptedPrompter::inputText(prompt, title, d);
        onQuestion(prompt);
        return typed;
    }
    void askCurrentPassword(LinkState& st) override
    {
        ScriptedPasswords::askCurrentPassword(st);
        onQuestion(QStringLiteral("password"));
    }

    // The sheet window, the live windows and the record window, doing nothing.
    SheetValues sheetValues() const override { return sheet; }
    void showSheetValues(const SheetValues& v) override { sheet = v; }
    bool isModified() const override { return false; }
    void setModified(bool) override {}
    void setSheetButtonsEnabled(bool) override {}
    void setBusyDisplay(bool) override {}
    void setWaitCursor(bool) override {}
    bool hasStoredSheet(qint32, QString*) override { return false; }
    bool loadStoredSheet(qint32) override { return true; }
    bool saveSheet() override { return true; }
    void setBusy(bool) override {}
    void setHelpEnabled(bool) override {}
    void showStopped() override {}
    qint32 shownSerial() const override { return 123456; }
    QString phone() const override { return sheet.telefono; }
    bool askRange(RangoFechas& r) override { r = RangoFechas::fromMoments(kNow.addDays(-2), kNow); return true; }
    void setCounter(int) override {}
    void showTotals(const Totals&, const QDateTime&) override {}
    bool showDevice(qint32) override { return true; }
    void reloadDevice() override {}
};

// The operations as the sheet's buttons, the live windows' Run and the record window's Recibir start them.
using Drive = std::function<void(Rig&)>;

Drive sheetButton(SessionOutcome (ProgrammingExchange::*op)())
{
    return [op](Rig& r) { (ProgrammingExchange(r, r.link, r.sheetState, [] { return kNow; }, QLocale::c()).*op)(); };
}

Drive liveRun(LiveKind kind)
{
    return [kind](Rig& r) { LiveRun(r.link, kind, r, QLocale::c()).run(r.sheet.numeroSerie, r.sheet.telefono); };
}

void download(Rig& r) { DownloadController(r.link, r, [] { return kNow; }).run(); }

std::function<bool(const QByteArray&)> command(int c)
{
    return [c](const QByteArray& u) { return u.size() >= 6 && uint8_t(u.at(3)) == c; };
}

TEST(QuitRequest, EveryWaitOfEveryDeviceOperationEndsQuietlyWithinASecond)
{
    TempDatabase db;
    QuitSignals quitSignals;
    ASSERT_TRUE(quitSignals.installed());
    const auto plus = [](const QByteArray& u) { return u == "+"; };
    const auto dial = [](const QByteArray& u) { return u.startsWith("ATE0V0X0"); };
    const auto can = [](const QByteArray& u) { return u == QByteArray(1, char(0x18)); };
    const struct {
        const char* wait;
        bool modem;
        Drive run;
        std::function<bool(const QByteArray&)> unit;
        QString question;
        qint64 delayMs;
    } cases[] = {
        {"modem question", true, sheetButton(&ProgrammingExchange::Recibir), {}, GetS(33), 0},
        {"cable question", false, sheetButton(&ProgrammingExchange::Recibir), {}, GetS(15), 0},
        {"password dialog", false, sheetButton(&ProgrammingExchange::Borrat), {}, "password", 0},
        {"escape guard", true, download, plus, {}, 0},
        {"dial answer", true, sheetButton(&ProgrammingExchange::Borrat), dial, {}, 500},
        {"pause before identification", false, download, can, {}, 0},
        {"identification answer", true, liveRun(LiveKind::TiempoReal), command(0x01), {}, 500},
        {"paced password", false, sheetButton(&ProgrammingExchange::CanviClau), can, {}, 120},
        {"password answer", false, liveRun(LiveKind::Sonometro), command(0x0A), {}, 500},
        {"programming answer", false, sheetButton(&ProgrammingExchange::Recibir), command(0x04), {}, 500},
        {"send answer", false, sheetButton(&ProgrammingExchange::Transmitir), command(0x08), {}, 500},
        {"erase answer", false, sheetButton(&ProgrammingExchange::Borrat), command(0x0C), {}, 500},
        {"new password answer", false, sheetButton(&ProgrammingExchange::CanviClau), command(0x0B), {}, 500},
        {"factory test's serial box", false, sheetButton(&ProgrammingExchange::Test), {}, "Entrar el numero de serie:", 0},
        {"factory test answer", false, sheetButton(&ProgrammingExchange::Test), command(0x0D), {}, 600000},
        {"real-time pause before ACK", false, liveRun(LiveKind::TiempoReal), command(0x09), {}, 120},
        {"real-time frame", false, liveRun(LiveKind::TiempoReal), command(0x09), {}, 500},
        {"calibration frame", false, liveRun(LiveKind::Calibracion), command(0x0E), {}, 500},
        {"meter frame", false, liveRun(LiveKind::Sonometro), command(0x11), {}, 500},
        {"totals", true, download, command(0x02), {}, 500},
        {"dates", false, download, command(0x03), {}, 500},
        {"interval record", false, download, command(0x05), {}, 500},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.wait);
        Rig r(c.modem);
        r.unitTrigger = c.unit;
        r.questionTrigger = c.question;
        r.delayMs = c.delayMs;
        r.dev.answerDelayMs = int(std::max<qint64>(2 * c.delayMs, 3000));
        r.input(QStringLiteral("123456"));
        c.run(r);
        const bool raised = r.raisedAt >= 0;
        quitPending(); // a note left in the pipe must not reach the next case
        quitRequest().reset();

        EXPECT_TRUE(raised);
        const QByteArray after = r.port.written.mid(r.writtenAt);
        EXPECT_EQ(after.count(char(0x18)), after.size()) << after.toHex().constData();
        EXPECT_EQ(r.shown.size(), r.shownAt) << (r.shown.isEmpty() ? "" : r.shown.last().text.toStdString());
        EXPECT_LT(r.clock.nowMs() - r.raisedAt, 1000);
        EXPECT_FALSE(r.port.isOpen());
        EXPECT_FALSE(r.link.state.ModemConectado);
        if (c.modem && r.openAtRaise) {
            EXPECT_TRUE(r.port.events.contains("dtr 0")); // hung up, a call on its way included
        }
    }
}

} // namespace
} // namespace nbx::test
