#include "programming/LiveSession.h"

#include "common/Prompter.h"
#include "common/QuitSignals.h"
#include "link/FrameReceiver.h"
#include "link/Link.h"
#include "localisation/Strings.h"

namespace nbx {

Operation liveOperation(LiveKind kind)
{
    switch (kind) {
    case LiveKind::TiempoReal: return Operation::TiempoReal;
    case LiveKind::Calibracion: return Operation::Calibracion;
    case LiveKind::Sonometro: return Operation::Sonometro;
    }
    return Operation::TiempoReal;
}

uint8_t liveCommand(LiveKind kind)
{
    switch (kind) {
    case LiveKind::TiempoReal: return cmd::ComandoTiempoReal;
    case LiveKind::Calibracion: return cmd::ComandoCalibracion;
    case LiveKind::Sonometro: return cmd::ComandoSonometro;
    }
    return cmd::ComandoTiempoReal;
}

LiveRun::LiveRun(Link& link, LiveKind kind, LiveView& view, const QLocale& locale)
    : link_(link), kind_(kind), view_(view), locale_(locale)
{
}

void LiveRun::stop()
{
    stopRequested_ = true;
    link_.state.PararMarcado = true;
    if (kind_ != LiveKind::TiempoReal)
        link_.state.PararRecepcion = true;
}

SessionOutcome LiveRun::run(const QString& sheetSerial, const QString& phone)
{
    if (running_)
        return SessionOutcome::Refused;
    running_ = true;
    stopRequested_ = false;
    framesShown_ = 0;
    SessionHooks hooks;
    hooks.phone = phone;
    hooks.sheetSerial = sheetSerial;
    hooks.busy = [this](bool on) { view_.setBusy(on); };
    hooks.addressing = [this] { view_.setHelpEnabled(false); };
    // Another device than the sheet's: Stop hidden and Run shown before the message.
    hooks.serialMismatch = [this] { view_.showStopped(); };
    LinkSession* current = nullptr;
    hooks.exchange = [this, &current](Link& link) { return frameLoop(link, *current); };
    LinkSession session(link_, liveOperation(kind_), std::move(hooks));
    current = &session;
    const SessionOutcome out = session.run();
    running_ = false;
    return out;
}

bool LiveRun::frameLoop(Link& link, LinkSession& session)
{
    link.port.write(liveRequest(liveCommand(kind_)));
    // From here on the stream is ended with CAN, whatever ends the loop.
    session.requestCanAtEnd();
    Waiter waiter = link.waiter();
    // The program's end asked for ends the loop as Stop does, the awaited frame included: only
    // CAN follows.
    for (;;) {
        if (stopRequested_ || quitPending())
            break;
        InactivityTimer timer = link.frameTimer();
        if (!RecibirTrama(link, timer)) {
            stopRequested_ = true;
            view_.showStopped();
            break;
        }
        if (stopRequested_ || quitPending())
            break; // the frame is dropped: not shown, not acknowledged
        if (!showFrame(link))
            break;
        if (kind_ == LiveKind::TiempoReal) {
            waiter.pause(kRealTimeAckPauseMs);
            if (quitPending())
                break;
            link.port.writeByte(ctl::ACK);
        }
    }
    return true;
}

// Shows the frame in the buffer; false when it ended the stream (the calibration's result).
bool LiveRun::showFrame(Link& link)
{
    const FrameBuffer& f = link.BufferTrama;
    switch (kind_) {
    case LiveKind::TiempoReal:
        view_.showRealTime(decodeRealTime(f, locale_));
        break;
    case LiveKind::Sonometro:
        view_.showMeter(decodeMeter(f, locale_));
        break;
    case LiveKind::Calibracion:
        if (!isCalibrationLevel(f)) {
            stopRequested_ = true;
            view_.showStopped();
            if (const auto m = calibrationResult(f.at(4)))
                prompter().message(GetS(m->id), m->icon);
            return false;
        }
        view_.showCalibrationLevel(calibrationLevelText(f, locale_));
        break;
    }
    ++framesShown_;
    return true;
}

} // namespace nbx
