// One run of a live window (real-time view, calibration, sound level meter): the device link
// session with the window's choices, the stream request and the frame loop, ended by Stop, a
// receive failure or (calibration) the result frame. No widgets: the window is a LiveView.
#pragma once

#include "link/LinkSession.h"
#include "programming/LiveFrames.h"

#include <QLocale>
#include <QString>

namespace nbx {

class Link;

enum class LiveKind { TiempoReal, Calibracion, Sonometro };

// The pause before each real-time ACK (the device's display pace), in milliseconds.
inline constexpr int kRealTimeAckPauseMs = 50;

// What a run needs from its window.
class LiveView {
public:
    virtual ~LiveView() = default;
    // Busy: Run hidden, Exit disabled, Stop shown, repainted at once. Idle: Run shown, Stop
    // hidden, Exit and Help enabled.
    virtual void setBusy(bool on) = 0;
    virtual void setHelpEnabled(bool on) = 0;
    // The run ends by itself (a failed check or receive, the calibration's result): Stop hidden,
    // Run shown, Exit enabled.
    virtual void showStopped() = 0;
    virtual void showRealTime(const RealTimeDisplay&) {}
    virtual void showCalibrationLevel(const QString&) {}
    virtual void showMeter(const MeterDisplay&) {}
};

class LiveRun {
public:
    LiveRun(Link& link, LiveKind kind, LiveView& view, const QLocale& locale = QLocale());

    // One run, from the connection prompt to the closing; returns when it has ended.
    SessionOutcome run(const QString& sheetSerial, const QString& phone);
    // Stop: a dial gives up; the loop ends before the next frame. The calibration and the meter
    // also end the frame wait at once; the real-time view takes the awaited frame and drops it.
    void stop();
    bool running() const { return running_; }
    bool stopRequested() const { return stopRequested_; }
    // Frames shown in the last run.
    int framesShown() const { return framesShown_; }

private:
    bool frameLoop(Link& link, LinkSession& session);
    bool showFrame(Link& link);

    Link& link_;
    LiveKind kind_;
    LiveView& view_;
    QLocale locale_;
    bool running_ = false;
    bool stopRequested_ = false;
    int framesShown_ = 0;
};

Operation liveOperation(LiveKind kind);
uint8_t liveCommand(LiveKind kind);

} // namespace nbx
