// The download of a device's records behind a small window interface, so that it runs the same
// in the record window and headless in tests: range, connection (cable or modem), CAN,
// identification (only the model is checked), the identified device's row, then totals, dates,
// intervals and sessions, each after the previous one succeeded; Stop; the end steps always run.
#pragma once

#include "records/RecordFrames.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <functional>

namespace nbx {

class Link;

class DownloadUi {
public:
    virtual ~DownloadUi() = default;
    // The serial of the device shown (0: none) and its telephone number.
    virtual qint32 shownSerial() const = 0;
    virtual QString phone() const = 0;
    // The range dialog; false when it was not accepted. `range` holds the last accepted range.
    virtual bool askRange(RangoFechas& range) = 0;
    // Busy state: the nine buttons, Recibir swapped for Stop, the wait pointer, the panel.
    virtual void setBusy(bool on) = 0;
    // The frames received so far: during the transfer at most every 200 ms, exactly at its end.
    virtual void setCounter(int frames) = 0;
    virtual void showTotals(const Totals& totals, const QDateTime& stamp) = 0;
    // Shows the identified device; false when it has no programming sheet.
    virtual bool showDevice(qint32 serial) = 0;
    // The end: the grids and the shown device reloaded with what was stored.
    virtual void reloadDevice() = 0;
};

class DownloadController {
public:
    using Clock = std::function<QDateTime()>;
    DownloadController(Link& link, DownloadUi& ui, Clock now = {});

    // Recibir. True when the four steps succeeded (GetS(61) shown).
    bool run();
    // Stop: ends a wait at once (the dial too) and the transfer before the next record.
    void stop();
    bool running() const { return running_; }
    int frames() const { return frames_; }

private:
    bool exchange();
    void countFrame();
    void showCounter();

    // A repaint of the counter at each record costs more than the record itself at line pace;
    // five a second still read as counting.
    static constexpr int kCounterEveryMs = 200;

    Link& link_;
    DownloadUi& ui_;
    Clock now_;
    RangoFechas range_;
    bool running_ = false;
    int frames_ = 0;
    int framesShown_ = 0;
    QElapsedTimer counterShown_; // since the counter was last shown
};

} // namespace nbx
