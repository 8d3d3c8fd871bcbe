// The program's orderly end asked for by SIGTERM (logout, shutdown), SIGHUP (its terminal closed)
// or SIGINT. The signal handler only writes to a pipe; a socket notifier turns that into a request
// in whichever event loop is running (a download's wait, a modal dialog), where the code with
// something to end listens to it.
#pragma once

#include <QObject>

#include <csignal>
#include <memory>

class QSocketNotifier;

namespace nbx {

// The end was asked for. Code that would otherwise keep going (a download, the reading child of a
// merge, a device operation about to start) looks at requested() or listens to quitRequested.
class QuitRequest : public QObject {
    Q_OBJECT
public:
    bool requested() const { return requested_; }
    // Marks the request and tells the listeners; a repeated signal is told again.
    void request(int signalNumber);
    // The end has begun: asked for, or on its way through Exit. From then on the program takes and
    // ignores further signals until it has ended (see QuitSignals).
    bool ending() const { return requested_ || ending_; }
    void markEnding() { ending_ = true; }
    void reset() { requested_ = ending_ = false; } // for tests, which go on after a request

Q_SIGNALS:
    void quitRequested(int signalNumber);

private:
    bool requested_ = false;
    bool ending_ = false;
};

// The program's one request.
QuitRequest& quitRequest();

// Whether the end was asked for, also by a signal that came while no events ran (a blocking
// pause): its note is taken from the pipe here. Nothing clears the request, so a device operation
// that starts or goes on after it sees it at every step and every wait.
bool quitPending();

// While it lives, SIGTERM, SIGHUP and SIGINT become quitRequest().request() in the event loop; the
// handlers that were there before come back when it is destroyed, unless the end has begun: then
// the signals stay taken and ignored until the process ends, so that a second signal in the
// shutdown after the loop neither kills the program nor changes its exit status. Needs the
// application object.
class QuitSignals {
public:
    QuitSignals();
    ~QuitSignals();
    QuitSignals(const QuitSignals&) = delete;
    QuitSignals& operator=(const QuitSignals&) = delete;

    bool installed() const { return installed_; }

private:
    int fds_[2] = {-1, -1}; // read end, write end
    std::unique_ptr<QSocketNotifier> notifier_;
    struct sigaction previous_[3] = {};
    bool installed_ = false;
};

} // namespace nbx
