#include "programming/Exchange.h"

#include "common/Prompter.h"
#include "link/DeviceCommands.h"
#include "link/FrameReceiver.h"
#include "link/Link.h"
#include "localisation/DatabaseFailure.h"
#include "localisation/Strings.h"
#include "programming/ProgrammingBlock.h"
#include "programming/SavePrompt.h"
#include "programming/SheetRepository.h"
#include "programming/SheetText.h"

#include <cmath>

namespace nbx {

namespace {

using Icon = Prompter::Icon;

// An action time the device takes for the 1 s option: 1 to 10 seconds.
bool actionTimeOutOfRange(const QString& text)
{
    const double v = std::nearbyint(leadingNumber(text));
    return v < 1 || v > 10;
}

} // namespace

QString sendRefusal(const SheetValues& sheet, const QLocale& locale)
{
    QByteArray frame;
    QString error;
    if (!buildTramaProgramacion(sheet, QDateTime(QDate(2000, 1, 1), QTime(0, 0)), &frame, &error, locale))
        return error;
    // A time of 0 would be read by the device as another action type, not as a 1 s action.
    if (sheet.optionLocal == LocalAction::Leq1s && actionTimeOutOfRange(sheet.tempsActLoc))
        return invalidFieldMessage(65);
    if (sheet.optionVei == VecinoAction::Leq1s && actionTimeOutOfRange(sheet.tempsActVei))
        return invalidFieldMessage(66);
    return QString();
}

ProgrammingExchange::ProgrammingExchange(ExchangeWindow& window)
    : ProgrammingExchange(window, defaultLink(), programmingState())
{
}

ProgrammingExchange::ProgrammingExchange(ExchangeWindow& window, Link& link, ProgrammingState& state, Clock now,
                                         const QLocale& locale)
    : window_(window), link_(link), state_(state), now_(std::move(now)), locale_(locale)
{
}

SessionHooks ProgrammingExchange::hooks(bool sheetButtons, bool busyPanel)
{
    SessionHooks h;
    const SheetValues sheet = window_.sheetValues();
    h.phone = window_.telephone();
    h.sheetSerial = sheet.numeroSerie;
    h.busy = [this, sheetButtons, busyPanel](bool on) {
        if (sheetButtons)
            window_.setSheetButtonsEnabled(!on);
        if (busyPanel)
            window_.setBusyDisplay(on);
    };
    h.hourglass = [this](bool on) { window_.setWaitCursor(on); };
    return h;
}

// The one-byte answer of the programming, erase or new password command.
bool ProgrammingExchange::commandResult(int result)
{
    switch (result) {
    case kResultadoAck:
        prompter().message(GetS(61), Icon::Information);
        return true;
    case kResultadoNada:
        prompter().message(GetS(31), Icon::Critical);
        return false;
    case kResultadoPerdido: // the lost port was reported
    case kResultadoParado:  // the program is ending
        return false;
    default: // refused by the device
        prompter().message(GetS(62), Icon::Critical);
        return false;
    }
}

// ---- Receive ----

SessionOutcome ProgrammingExchange::Recibir()
{
    comparison_ = Comparison();
    SessionHooks h = hooks(true, false);
    h.before = [this] {
        ProgrammingState flag;
        flag.fichaModificada = window_.isModified();
        return Modificat(window_.sheetValues(), flag, [this] { return window_.saveSheet(); }) ==
               LeaveDecision::Proceed;
    };
    h.exchange = [this](Link& l) { return receiveExchange(l); };
    return LinkSession(link_, Operation::RecibirProgramacion, std::move(h)).run();
}

bool ProgrammingExchange::receiveExchange(Link& link)
{
    link.port.write(demanaProgramacioFrame());
    InactivityTimer timer = link.frameTimer();
    if (!RecibirTrama(link, timer))
        return false; // the receiver showed its message
    DeviceCopy copy = state_.deviceCopy;
    if (!RecibirProgramacion(link.BufferTrama.frame(), link.state.VersionEqp, copy))
        return false;
    // Whether the device has a stored sheet decides between a new sheet and a comparison: a
    // storage that cannot answer stops the receive, so a stored sheet is never replaced by a
    // blank one.
    const qint32 serial = link.state.NumeroSerieEqp;
    bool stored = sheetSerial(window_.sheetValues()) == serial;
    if (!stored) {
        QString error;
        stored = window_.hasStoredSheet(serial, &error);
        if (!error.isEmpty()) {
            reportFailureText(DatabaseTask::Read, error);
            return false;
        }
    }
    state_.deviceCopy = copy;
    prompter().message(GetS(61), Icon::Information);
    return placeReceived(stored);
}

bool ProgrammingExchange::placeReceived(bool stored)
{
    const qint32 serial = link_.state.NumeroSerieEqp;
    const QString version = link_.state.VersionEqp;
    const DeviceCopy& copy = state_.deviceCopy;
    SheetValues s = window_.sheetValues();

    const bool sameSheet = sheetSerial(s) == serial;
    if (!sameSheet && !stored) {
        // A device without a sheet: a new unsaved sheet filled from the device.
        const QDateTime now = now_();
        s.textFecha = formatSheetDate(now.date());
        s.textHora = formatLongTime(now.time());
        s.numeroSerie = QString::number(serial);
        s.fecha = formatSheetDate(now.date());
        s.contacto.clear();
        s.local.clear();
        s.direccion.clear();
        s.poblacion.clear();
        s.telefono.clear();
        s.nota.clear();
        s.version = version;
        CarregaProgEqp(s, copy, version, locale_);
        window_.showSheetValues(s);
        window_.setModified(true);
        return true;
    }
    if (!sameSheet) {
        if (!window_.loadStoredSheet(serial))
            return false; // the load showed its error
        s = window_.sheetValues();
    }
    // The sheet follows the device's firmware, so that a later save and send use its frame.
    if (s.version != version) {
        s.version = version;
        s.cmiVisible = hasCmi(version); // the CMI box and its picture follow the version at once
        window_.showSheetValues(s);
        window_.setModified(true);
    }
    if (ComparaPcEqp(s, copy, version, &comparison_, locale_)) {
        window_.showSheetValues(s);
        window_.setModified(true);
    }
    return true;
}

// ---- Send, erase, password change ----

bool ProgrammingExchange::prepareSend()
{
    const SheetValues s = window_.sheetValues();
    const QString refusal = sendRefusal(s, locale_);
    if (!refusal.isEmpty()) {
        prompter().message(refusal, Icon::Critical);
        return false;
    }
    // The values sent are the values saved: a failed save stops the send.
    return sheetSerial(s) == 0 || window_.saveSheet();
}

bool ProgrammingExchange::sendExchange(Link& link)
{
    const SheetValues s = window_.sheetValues();
    state_.intInhab = s.intervals;
    QByteArray frame;
    QString error;
    if (!buildTramaProgramacion(s, now_(), &frame, &error, locale_)) {
        prompter().message(error, Icon::Critical);
        return false;
    }
    return commandResult(EnvioPausado(link, frame.left(frame.size() - 1), link.timing.answerWaitMs));
}

SessionOutcome ProgrammingExchange::Transmitir()
{
    SessionHooks h = hooks(true, true);
    h.before = [this] { return prepareSend(); };
    h.exchange = [this](Link& l) { return sendExchange(l); };
    return LinkSession(link_, Operation::EnviarProgramacion, std::move(h)).run();
}

SessionOutcome ProgrammingExchange::Borrat()
{
    SessionHooks h = hooks(true, true);
    h.exchange = [this](Link& l) { return commandResult(EnviarBorrat(l)); };
    return LinkSession(link_, Operation::Borrar, std::move(h)).run();
}

SessionOutcome ProgrammingExchange::CanviClau()
{
    SessionHooks h = hooks(true, true);
    h.exchange = [this](Link& l) { return commandResult(EnviarNewPassword(l)); };
    return LinkSession(link_, Operation::CambiarPassword, std::move(h)).run();
}

// ---- Factory test ----

// The session's short road for the test: busy panel, port, CAN, then the serial asked in an input
// box and the test command. The port is closed at the end unless a telephone call is up.
SessionOutcome ProgrammingExchange::Test()
{
    bool cancelled = false;
    SessionHooks h = hooks(false, true);
    h.exchange = [&cancelled](Link& l) {
        switch (EnviarTest(l)) {
        case kResultadoAck:
            prompter().message(QStringLiteral("Test de inicio fábrica pasado"), Icon::Information);
            return true;
        case kResultadoOtro:
            prompter().message(QStringLiteral("Desactivar protección anti-test"), Icon::Critical);
            return false;
        case kResultadoNada:
            prompter().message(GetS(31), Icon::Critical);
            return false;
        case kTestInvalido:
            prompter().message(GetS(106), Icon::Critical);
            return false;
        case kResultadoPerdido: // the lost port was reported
        case kResultadoParado:  // the program is ending
            return false;
        default: // cancelled: nothing was sent after CAN
            cancelled = true;
            return false;
        }
    };
    const SessionOutcome out = LinkSession(link_, Operation::Test, std::move(h)).run();
    return cancelled ? SessionOutcome::Cancelled : out;
}

} // namespace nbx
