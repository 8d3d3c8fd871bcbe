// The link when the line misbehaves: a port lost during a wait, stale bytes, a stop with bytes
// waiting, and how long the identification waits.
#include "LinkFixture.h"

#include "link/FrameReceiver.h"
#include "link/LinkSession.h"
#include "localisation/Strings.h"
#include "support/LinkTestSupport.h"

namespace nbx::test {
namespace {

using Answer = Prompter::Answer;

class LineFaults : public LinkFixture {
protected:
    LineFaults()
    {
        hooks.sheetSerial = "123456";
        hooks.phone = "5551234";
        hooks.exchange = [](Link&) { return true; };
    }
    SessionOutcome run(Operation op) { return LinkSession(link, op, hooks).run(); }
    QStringList critical() const
    {
        QStringList t;
        for (const auto& s : prompts.shown)
            if (s.icon == Prompter::Icon::Critical)
                t << s.text;
        return t;
    }

    FakeNbx70 dev;
    ScriptedPasswords asker;
    SessionHooks hooks;
};

// The port is lost in the middle of each kind of wait: the wait ends then, with one message
// naming the port, the port closed and the line down.
TEST_F(LineFaults, LostPortEndsEveryWaitAtOnce)
{
    const struct {
        const char* what;
        Operation op;
        bool modem;
        qint64 lostAt; // well inside the wait, far before its timeout
    } cases[] = {
        {"one-byte answer", Operation::Borrar, false, 2000},
        {"frame", Operation::RecibirProgramacion, false, 3000},
        {"dial answer", Operation::RecibirProgramacion, true, 20000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        prompts.shown.clear();
        link.state.ConexionModem = c.modem ? 1 : 0;
        dev.silent = true;
        dev.install(port);
        const qint64 lostAt = clock.nowMs() + c.lostAt;
        port.hangUpAt(lostAt);
        prompts.answer(Answer::Ok); // the connection prompt
        EXPECT_EQ(run(c.op), SessionOutcome::Failed);
        EXPECT_LT(clock.nowMs(), lostAt + 1000);
        EXPECT_EQ(critical(), QStringList({lineLostText("ttyS0")}));
        EXPECT_FALSE(port.isOpen());
        EXPECT_FALSE(link.state.ModemConectado);
    }
    EXPECT_TRUE(lineLostText("ttyS0").contains("ttyS0"));
}

// A byte left from an earlier exchange (the tail of a bad frame) is not the answer: input is
// discarded when the port opens and before each paced command.
TEST_F(LineFaults, StaleByteIsNotTakenForTheAnswer)
{
    const struct {
        const char* what;
        bool callUp; // a modem line kept up: the port stays open between operations
    } cases[] = {{"cable", false}, {"call kept up", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        prompts.shown.clear();
        dev.install(port);
        link.state.ConexionModem = c.callUp ? 1 : 0;
        link.state.ModemConectado = c.callUp;
        if (c.callUp)
            openPort();
        port.reply(bytes({0x15, 0x00, 0x02})); // waiting before the operation starts
        prompts.answer(Answer::Ok);            // the cable prompt
        prompts.answer(Answer::Yes);           // hang up at the end
        EXPECT_EQ(run(Operation::Borrar), SessionOutcome::Done);
        EXPECT_TRUE(critical().isEmpty()) << critical().join('|').toStdString();
    }
}

TEST_F(LineFaults, StopWinsOverBytesWaiting)
{
    openPort();
    port.reply(dev.identificationFrame());
    link.state.PararRecepcion = true;
    InactivityTimer t = link.frameTimer();
    EXPECT_EQ(RecibirTramaResult(link, t), ReceiveResult::Stopped);
    EXPECT_TRUE(prompts.shown.isEmpty());
}

// The record download waits for the identification as long as for its records (15 s); the
// programming sheet's operations wait 5 s.
TEST_F(LineFaults, IdentificationTimeoutFollowsTheOperation)
{
    const struct {
        Operation op;
        SessionOutcome outcome;
    } cases[] = {{Operation::DescargarRegistros, SessionOutcome::Done},
                 {Operation::RecibirProgramacion, SessionOutcome::Failed}};
    dev.answerDelayMs = 8000;
    dev.install(port);
    for (const auto& c : cases) {
        prompts.shown.clear();
        prompts.answer(Answer::Ok);
        EXPECT_EQ(run(c.op), c.outcome) << int(c.op);
        EXPECT_EQ(critical().isEmpty(), c.outcome == SessionOutcome::Done);
        clock.advanceTo(clock.nowMs() + 10000); // the late answer is gone before the next try
    }
}

} // namespace
} // namespace nbx::test
