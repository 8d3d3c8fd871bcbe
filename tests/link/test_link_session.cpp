#include "LinkFixture.h"

#include "link/DeviceCommands.h"
#include "link/LinkSession.h"
#include "link/Passwords.h"
#include "localisation/Strings.h"

#include <stdexcept>

namespace nbx::test {
namespace {

using Icon = Prompter::Icon;
using Answer = Prompter::Answer;

// Answers the password dialogs as scripted.
class ScriptedAsker : public PasswordAsker {
public:
    ScriptedAsker() { setPasswordAsker(this); }
    ~ScriptedAsker() override { setPasswordAsker(nullptr); }
    void askCurrentPassword(LinkState& st) override
    {
        ++asked;
        CurrentPasswordLogic::load(st);
        if (cancel)
            CurrentPasswordLogic::cancel(st);
        else
            CurrentPasswordLogic::accept(st, current);
    }
    void askNewPassword(LinkState& st) override
    {
        ++asked;
        NewPasswordLogic::load(st);
        if (cancel)
            NewPasswordLogic::cancel(st);
        else
            NewPasswordLogic::accept(st, current, newOne, newOne);
    }
    QString current = "1234";
    QString newOne = "abcd";
    bool cancel = false;
    int asked = 0;
};

class Session : public LinkFixture {
protected:
    Session()
    {
        dev.install(port);
        hooks.sheetSerial = "123456";
        hooks.phone = "5551234";
        hooks.busy = [this](bool on) { busy.append(on); };
        hooks.hourglass = [this](bool on) { hourglass.append(on); };
        hooks.exchange = [this](Link&) {
            ++exchanges;
            return true;
        };
    }
    SessionOutcome run(Operation op) { return LinkSession(link, op, hooks).run(); }
    QStringList texts() const
    {
        QStringList t;
        for (const auto& s : prompts.shown)
            t << s.text;
        return t;
    }

    FakeNbx70 dev;
    ScriptedAsker asker;
    SessionHooks hooks;
    QList<bool> busy, hourglass;
    int exchanges = 0;
};

TEST_F(Session, EraseOverCableRunsTheWholeRoad)
{
    EXPECT_EQ(run(Operation::Borrar), SessionOutcome::Done);
    EXPECT_EQ(exchanges, 1);
    ASSERT_EQ(port.units.size(), 3);
    EXPECT_EQ(port.units[0], bytes({0x18}));
    EXPECT_EQ(port.units[1].mid(3, 5), QByteArray("\x0A" "1234"));
    EXPECT_EQ(port.units[2], buildFrame(0x01));
    EXPECT_EQ(texts(), QStringList({GetS(15)}));
    EXPECT_EQ(busy, QList<bool>({true, false}));
    EXPECT_EQ(hourglass, QList<bool>({true, false}));
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(link.state.NumeroSerieEqp, 123456);
    EXPECT_FALSE(DeviceOperationGuard::running());
}

TEST_F(Session, CheckOrderAndIcons)
{
    dev.model = 4;
    dev.serial = "654321";
    const struct {
        Operation op;
        int mode;
        long text;
        Icon icon;
    } cases[] = {
        {Operation::EnviarProgramacion, 1, 63, Icon::Information},
        {Operation::Borrar, 1, 63, Icon::Information},
        {Operation::CambiarPassword, 0, 63, Icon::Information},
        {Operation::TiempoReal, 1, 30, Icon::Critical},
        {Operation::RecibirProgramacion, 0, 30, Icon::Critical},
        {Operation::Calibracion, 0, 64, Icon::Critical},
        {Operation::Sonometro, 1, 30, Icon::Critical},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        dev.mode = c.mode;
        prompts.shown.clear();
        EXPECT_EQ(run(c.op), SessionOutcome::Failed);
        ASSERT_EQ(prompts.shown.size(), 2);
        EXPECT_EQ(prompts.shown[1].text, GetS(c.text));
        EXPECT_EQ(prompts.shown[1].icon, c.icon);
    }
    EXPECT_EQ(exchanges, 0);
    EXPECT_FALSE(port.isOpen());
}

TEST_F(Session, ReceiveGoesOnOutsideProgrammingMode)
{
    dev.mode = 0;
    EXPECT_EQ(run(Operation::RecibirProgramacion), SessionOutcome::Done);
    dev.serial = "000001"; // receive does not compare the serial
    EXPECT_EQ(run(Operation::RecibirProgramacion), SessionOutcome::Done);
    EXPECT_EQ(run(Operation::EnviarProgramacion), SessionOutcome::Failed);
    EXPECT_TRUE(prompts.sawText(GetS(64)));
}

TEST_F(Session, CancelAtThePromptDoesNothing)
{
    prompts.answer(Answer::Cancel);
    EXPECT_EQ(run(Operation::RecibirProgramacion), SessionOutcome::Cancelled);
    EXPECT_TRUE(port.events.isEmpty());
    EXPECT_TRUE(busy.isEmpty());

    link.state.ConexionModem = 1;
    hooks.phone = " ";
    EXPECT_EQ(run(Operation::Borrar), SessionOutcome::Cancelled);
    EXPECT_EQ(texts().last(), GetS(34));
    EXPECT_EQ(prompts.shown.last().icon, Icon::Critical);
    EXPECT_EQ(asker.asked, 0);
    EXPECT_TRUE(port.events.isEmpty());
}

TEST_F(Session, CancelledPasswordDialogClosesThePortOpenedAtThePrompt)
{
    asker.cancel = true;
    EXPECT_EQ(run(Operation::EnviarProgramacion), SessionOutcome::Cancelled);
    EXPECT_EQ(port.events, QStringList({"open ttyS0", "clearInput", "close"}));
    EXPECT_TRUE(port.written.isEmpty());
    EXPECT_EQ(run(Operation::CambiarPassword), SessionOutcome::Cancelled);
    EXPECT_TRUE(busy.isEmpty());
    EXPECT_TRUE(link.state.NuevaPassword.isEmpty()); // the cancel marker does not outlive the dialog
}

TEST_F(Session, WrongPasswordStopsAndUndoesBusy)
{
    asker.current = "9999";
    EXPECT_EQ(run(Operation::EnviarProgramacion), SessionOutcome::Failed);
    EXPECT_EQ(texts().last(), GetS(119));
    EXPECT_EQ(port.units.size(), 2); // CAN and the password, nothing more
    EXPECT_EQ(busy, QList<bool>({true, false}));
    EXPECT_FALSE(port.isOpen());

    EXPECT_EQ(run(Operation::Borrar), SessionOutcome::Failed);
    EXPECT_EQ(texts().last(), QString::fromUtf8("Contraseña incorrecta"));
    EXPECT_EQ(prompts.shown.last().icon, Icon::Critical);
}

TEST_F(Session, SilentDeviceAfterPasswordShowsTransmissionError)
{
    dev.silent = true;
    EXPECT_EQ(run(Operation::Borrar), SessionOutcome::Failed);
    EXPECT_EQ(texts().last(), GetS(31));
}

TEST_F(Session, ModemLineKeptThenHungUp)
{
    link.state.ConexionModem = 1;
    dev.modem = true;
    dev.install(port);
    prompts.answer(Answer::Ok);  // GetS(33)
    prompts.answer(Answer::No);  // keep the line
    EXPECT_EQ(run(Operation::Borrar), SessionOutcome::Done);
    EXPECT_EQ(texts(), QStringList({GetS(33), GetS(124)}));
    EXPECT_TRUE(link.state.ModemConectado);
    EXPECT_TRUE(port.isOpen());
    EXPECT_EQ(port.units.first(), "+");

    // The next operation goes straight to CAN: no prompt, no dial.
    port.units.clear();
    prompts.shown.clear();
    prompts.answer(Answer::Yes);
    EXPECT_EQ(run(Operation::Borrar), SessionOutcome::Done);
    EXPECT_EQ(port.units.first(), bytes({0x18}));
    EXPECT_EQ(texts(), QStringList({GetS(124)}));
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(link.state.ModemConectado);
    EXPECT_EQ(port.events.mid(port.events.size() - 2), QStringList({"dtr 0", "close"}));
}

TEST_F(Session, SendOverModemDialsOnceAndEndsWithTheLineDown)
{
    link.state.ConexionModem = 1;
    dev.modem = true;
    dev.install(port);
    EXPECT_EQ(run(Operation::EnviarProgramacion), SessionOutcome::Done);
    EXPECT_EQ(port.units.count("+"), 3);
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(link.state.ModemConectado);
    EXPECT_FALSE(texts().contains(GetS(124)));
}

TEST_F(Session, SendWithTheLineUpDoesNotDialAgain)
{
    link.state.ConexionModem = 1;
    link.state.ModemConectado = true;
    openPort();
    EXPECT_EQ(run(Operation::EnviarProgramacion), SessionOutcome::Done);
    EXPECT_EQ(port.units.count("+"), 0);
    EXPECT_FALSE(link.state.ModemConectado);
}

TEST_F(Session, FailedDialEndsWithThePortClosed)
{
    link.state.ConexionModem = 1;
    dev.modem = true;
    dev.modemAnswer = "3\r";
    dev.install(port);
    EXPECT_EQ(run(Operation::RecibirProgramacion), SessionOutcome::Failed);
    EXPECT_TRUE(prompts.sawText(GetS(35)));
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(link.state.ModemConectado);
    EXPECT_TRUE(busy.isEmpty()); // receive turns busy on only after the dial
}

TEST_F(Session, StaleStopFlagsAreCleared)
{
    link.state.PararRecepcion = true;
    link.state.PararMarcado = true;
    EXPECT_EQ(run(Operation::RecibirProgramacion), SessionOutcome::Done);
}

TEST_F(Session, PortOpenErrorIsShownAndUndone)
{
    port.failOpen("No se puede abrir el puerto ttyS0: Permission denied");
    EXPECT_EQ(run(Operation::Borrar), SessionOutcome::Failed);
    EXPECT_EQ(texts().last(), "No se puede abrir el puerto ttyS0: Permission denied");
    EXPECT_EQ(busy, QList<bool>({true, false}));
    EXPECT_EQ(hourglass, QList<bool>());
    EXPECT_FALSE(link.state.ModemConectado);
}

TEST_F(Session, ExceptionInTheExchangeClosesEverything)
{
    hooks.exchange = [](Link&) -> bool { throw std::runtime_error("fallo"); };
    EXPECT_EQ(run(Operation::Borrar), SessionOutcome::Failed);
    EXPECT_EQ(texts().last(), "fallo");
    EXPECT_EQ(busy, QList<bool>({true, false}));
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(DeviceOperationGuard::running());
}

TEST_F(Session, ASecondOperationIsRefusedWhileOneRuns)
{
    SessionOutcome inner = SessionOutcome::Done;
    hooks.exchange = [&](Link& l) {
        inner = LinkSession(l, Operation::Borrar, {}).run();
        return true;
    };
    EXPECT_EQ(run(Operation::RecibirProgramacion), SessionOutcome::Done);
    EXPECT_EQ(inner, SessionOutcome::Refused);
    EXPECT_EQ(prompts.beeps, 1);
}

TEST_F(Session, LiveWindowSendsCanBeforeTheEnd)
{
    SessionHooks h = hooks;
    LinkSession live(link, Operation::TiempoReal, [&] {
        h.exchange = [&](Link&) {
            live.requestCanAtEnd();
            return true;
        };
        return h;
    }());
    EXPECT_EQ(live.run(), SessionOutcome::Done);
    EXPECT_EQ(port.units.first(), buildFrame(0x01)); // no CAN at the start
    EXPECT_EQ(port.units.last(), bytes({0x18}));
}

TEST_F(Session, FactoryTestTakesNoPromptNoPasswordNoIdentification)
{
    hooks.exchange = [](Link& l) { return EnviarTest(l) == kResultadoAck; };
    prompts.input("123456");
    EXPECT_EQ(run(Operation::Test), SessionOutcome::Done);
    ASSERT_EQ(port.units.size(), 2);
    EXPECT_EQ(port.units[0], bytes({0x18}));
    EXPECT_EQ(uint8_t(port.units[1].at(3)), 0x0D);
    EXPECT_TRUE(prompts.shown.isEmpty());
    EXPECT_FALSE(port.isOpen());

    prompts.cancelInput();
    EXPECT_EQ(run(Operation::Test), SessionOutcome::Failed);
    EXPECT_FALSE(port.isOpen());
}

TEST_F(Session, FactoryTestOverACallLeavesTheLineUp)
{
    link.state.ConexionModem = 1;
    link.state.ModemConectado = true;
    openPort();
    EXPECT_EQ(run(Operation::Test), SessionOutcome::Done);
    EXPECT_TRUE(port.isOpen());
    EXPECT_TRUE(link.state.ModemConectado);
    EXPECT_TRUE(prompts.shown.isEmpty());
}

TEST(SerialMatch, SheetSerialThatIsNoNumberNeverMatches)
{
    EXPECT_TRUE(serialMatches("012345", 12345));
    EXPECT_FALSE(serialMatches("12A456", 12));
    EXPECT_FALSE(serialMatches("", 0));
}

} // namespace
} // namespace nbx::test
