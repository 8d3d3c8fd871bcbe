#include "link/LinkSession.h"

#include "common/QuitSignals.h"
#include "link/DeviceCommands.h"
#include "link/Identification.h"
#include "link/Link.h"
#include "link/Modem.h"
#include "link/Passwords.h"
#include "localisation/Strings.h"

#include <exception>

namespace nbx {

namespace {
using I = Prompter::Icon;
using C = DeviceCheck;
using D = PasswordDialog;
using E = SessionEnd;

// operation, connect, open at prompt, dialog, busy after dial, CAN, password, checks,
// check icon, literal wrong-password text, hourglass, end
const OperationProfile kProfiles[] = {
    {Operation::RecibirProgramacion, true, true, D::None, true, true, false, {C::T},
     I::Critical, false, true, E::AskHangUp},
    {Operation::EnviarProgramacion, true, true, D::Current, false, true, true, {C::M, C::S, C::T},
     I::Information, false, true, E::CloseNoQuestion},
    {Operation::Borrar, true, false, D::Current, false, true, true, {C::M, C::S, C::T},
     I::Information, true, true, E::AskHangUp},
    {Operation::CambiarPassword, true, false, D::New, false, true, true, {C::S, C::T},
     I::Information, true, true, E::AskHangUp},
    {Operation::Test, false, false, D::None, false, true, false, {}, I::Critical, false, false,
     E::CloseUnlessCallUp},
    {Operation::DescargarRegistros, true, true, D::None, false, true, false, {C::T}, I::Critical,
     false, false, E::AskHangUp},
    {Operation::TiempoReal, true, true, D::None, false, false, false, {C::T, C::S}, I::Critical,
     false, false, E::AskHangUp},
    {Operation::Calibracion, true, true, D::Current, false, false, true, {C::M, C::T, C::S},
     I::Critical, false, false, E::AskHangUp},
    {Operation::Sonometro, true, true, D::Current, false, false, true, {C::M, C::T, C::S},
     I::Critical, false, false, E::AskHangUp},
};

} // namespace

const OperationProfile& operationProfile(Operation op)
{
    for (const OperationProfile& p : kProfiles)
        if (p.operation == op)
            return p;
    return kProfiles[0];
}

bool serialMatches(const QString& sheetSerial, qint32 deviceSerial)
{
    bool ok = false;
    const qlonglong n = sheetSerial.trimmed().toLongLong(&ok);
    return ok && n == deviceSerial;
}

LinkSession::LinkSession(Link& link, Operation op, SessionHooks hooks)
    : link_(link), profile_(operationProfile(op)), hooks_(std::move(hooks))
{
}

SessionOutcome LinkSession::run()
{
    DeviceOperationGuard guard;
    if (!guard.acquired()) {
        prompter().beep();
        return SessionOutcome::Refused;
    }
    // The user's Stop of an earlier run is forgotten; the program's end is never cleared.
    link_.state.PararRecepcion = false;
    link_.state.PararMarcado = false;
    if (quitPending())
        return SessionOutcome::Cancelled; // the program is ending: nothing new starts
    SessionOutcome out = SessionOutcome::Failed;
    try {
        out = road();
    } catch (const std::exception& e) {
        prompter().message(QString::fromLocal8Bit(e.what()), Prompter::Icon::Critical);
        started_ = runtimeError_ = true;
        out = SessionOutcome::Failed;
    } catch (...) {
        prompter().message(GetS(62), Prompter::Icon::Critical);
        started_ = runtimeError_ = true;
        out = SessionOutcome::Failed;
    }
    if (started_)
        endStep(runtimeError_);
    return out;
}

bool LinkSession::openPort()
{
    QString error;
    if (link_.AbrirPuerto(&error))
        return true;
    prompter().message(error, Prompter::Icon::Critical);
    runtimeError_ = true;
    return false;
}

// Returns false to stop. *stop tells a quiet stop (nothing to undo) from an error.
bool LinkSession::connectPrompt(bool* quiet)
{
    LinkState& st = link_.state;
    *quiet = true;
    if (st.ConexionModem == 0) {
        if (prompter().message(GetS(15), I::Information, Prompter::Buttons::OkCancel) !=
            Prompter::Answer::Ok)
            return false;
        if (profile_.openAtPrompt && !openPort()) {
            *quiet = false;
            return false;
        }
    } else if (!st.ModemConectado) {
        if (hooks_.phone.trimmed().isEmpty()) {
            prompter().message(GetS(34), I::Critical);
            return false;
        }
        if (prompter().message(GetS(33), I::Information, Prompter::Buttons::OkCancel) !=
            Prompter::Answer::Ok)
            return false;
    }
    return true;
}

SessionOutcome LinkSession::road()
{
    LinkState& st = link_.state;
    auto quietStop = [&] {
        // Stopped before the exchange: a port opened at the prompt is closed again on a cable.
        if (!st.ModemConectado && link_.port.isOpen())
            link_.cerrarPuerto();
        return SessionOutcome::Cancelled;
    };

    // After the program's end was asked for (in a dialog, a pause or a wait) no further step
    // starts and nothing is reported; the end step hangs up.
    // 1. Own preparation.
    if (hooks_.before && !hooks_.before())
        return SessionOutcome::Cancelled;
    if (quitPending())
        return quietStop();

    // 2. Connection prompt.
    if (profile_.connect) {
        bool quiet = true;
        if (!connectPrompt(&quiet)) {
            if (quiet)
                return quietStop();
            started_ = true;
            return SessionOutcome::Failed;
        }
        if (quitPending())
            return quietStop();
    }

    // 3. Password dialog.
    if (profile_.dialog == D::Current) {
        passwordAsker().askCurrentPassword(st);
        if (st.PasswordCancelada)
            return quietStop();
    } else if (profile_.dialog == D::New) {
        passwordAsker().askNewPassword(st);
        if (st.NuevaPassword == kCancelarPassword) {
            st.NuevaPassword.clear();
            return quietStop();
        }
    }
    if (quitPending())
        return quietStop();
    started_ = true;

    // 4. Busy state.
    auto setBusy = [&] {
        if (!busyOn_ && hooks_.busy)
            hooks_.busy(true);
        busyOn_ = true;
    };
    if (!profile_.busyAfterDial)
        setBusy();

    // 5. Port.
    if (!openPort())
        return SessionOutcome::Failed;
    if (profile_.hourglass && hooks_.hourglass) {
        hooks_.hourglass(true);
        hourglassOn_ = true;
    }

    // 6. Dial when the line is down.
    if (profile_.connect && st.ConexionModem != 0 && !st.ModemConectado) {
        if (MarcarModem(link_, hooks_.phone) != kMarcadoConectado)
            return quitPending() ? SessionOutcome::Cancelled : SessionOutcome::Failed;
        st.ModemConectado = true;
    }
    if (quitPending())
        return SessionOutcome::Cancelled;
    setBusy();
    if (hooks_.addressing)
        hooks_.addressing();

    // 7. CAN.
    if (profile_.sendCan)
        link_.port.writeByte(ctl::CAN);

    // 8. Password.
    if (profile_.sendPassword) {
        const int r = EnviarPassword(link_);
        if (r == kResultadoParado)
            return SessionOutcome::Cancelled;
        if (r == kResultadoPerdido)
            return SessionOutcome::Failed;
        if (r == kResultadoOtro) {
            prompter().message(profile_.wrongPasswordLiteral
                                   ? QStringLiteral("Contraseña incorrecta")
                                   : GetS(119),
                               I::Critical);
            return SessionOutcome::Failed;
        }
        if (r != kResultadoAck) {
            prompter().message(GetS(31), I::Critical);
            return SessionOutcome::Failed;
        }
    }

    // 9. Identification, 10. checks.
    if (profile_.connect) {
        DemanaIdentificacion(link_);
        // The identification waits as long as the operation's own receptions do.
        InactivityTimer timer(link_.clock, profile_.operation == Operation::DescargarRegistros
                                               ? link_.timing.recordsTimeoutMs
                                               : link_.timing.frameTimeoutMs);
        if (!RecibirIdentificacion(link_, timer))
            return quitPending() ? SessionOutcome::Cancelled : SessionOutcome::Failed;
        if (!runChecks())
            return SessionOutcome::Failed;
    }
    if (quitPending())
        return SessionOutcome::Cancelled;

    // The operation's own exchange.
    const bool ok = hooks_.exchange ? hooks_.exchange(link_) : true;
    return ok ? SessionOutcome::Done : SessionOutcome::Failed;
}

bool LinkSession::runChecks()
{
    const LinkState& st = link_.state;
    for (DeviceCheck c : profile_.checks) {
        switch (c) {
        case C::M:
            if (st.ModoProgramacion != 1) {
                prompter().message(GetS(64), I::Critical);
                return false;
            }
            break;
        case C::S:
            if (!serialMatches(hooks_.sheetSerial, st.NumeroSerieEqp)) {
                if (hooks_.serialMismatch)
                    hooks_.serialMismatch();
                prompter().message(GetS(63), profile_.checkIcon);
                return false;
            }
            break;
        case C::T:
            if (st.TipoAparato != kModeloNbx70) {
                prompter().message(GetS(30), profile_.checkIcon);
                return false;
            }
            break;
        }
    }
    return true;
}

// 11. The end: CAN for a live stream, busy undone, port closed or the hang-up question.
// After a run-time error (the port would not open, an exception) the line state is unknown: the
// port is closed and the line recorded down. The program's end hangs up the same way.
void LinkSession::endStep(bool afterError)
{
    LinkState& st = link_.state;
    if (canAtEnd_ && link_.port.isOpen())
        link_.port.writeByte(ctl::CAN);
    if (busyOn_ && hooks_.busy)
        hooks_.busy(false);
    busyOn_ = false;

    const bool lineUp = st.ModemConectado && link_.port.isOpen();
    if (afterError || (quitPending() && st.ConexionModem != 0)) {
        // The line state is unknown, or the program is ending: hung up without asking, a call
        // the modem may still be bringing up included.
        link_.colgar();
    } else if (lineUp && profile_.end == SessionEnd::CloseUnlessCallUp) {
        // The call stays up, as the line state says.
    } else if (!lineUp || profile_.end == SessionEnd::CloseNoQuestion) {
        if (lineUp)
            link_.colgar();
        else
            link_.cerrarPuerto();
    } else if (prompter().message(GetS(124), I::Question, Prompter::Buttons::YesNo) ==
               Prompter::Answer::Yes) {
        link_.colgar();
    }
    if (hourglassOn_ && hooks_.hourglass)
        hooks_.hourglass(false);
    hourglassOn_ = false;
}

} // namespace nbx
