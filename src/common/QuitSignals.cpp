#include "common/QuitSignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace nbx {

namespace {

constexpr int kSignals[3] = {SIGTERM, SIGHUP, SIGINT};

// The pipe's write end as the handler sees it; -1 while no handler is installed.
volatile sig_atomic_t g_writeFd = -1;
// The read end, for the notifier and for quitPending(); -1 while none is installed.
int g_readFd = -1;

// Makes the request for every signal noted in the pipe.
void drainPipe()
{
    if (g_readFd < 0)
        return;
    unsigned char bytes[16];
    ssize_t n;
    while ((n = ::read(g_readFd, bytes, sizeof bytes)) > 0)
        for (ssize_t i = 0; i < n; ++i)
            quitRequest().request(bytes[i]);
}

// Only async-signal-safe calls: the signal's number goes into the pipe, nothing else. A full pipe
// drops it; the ones already in it have made the request.
extern "C" void onQuitSignal(int signalNumber)
{
    const int savedErrno = errno;
    const int fd = g_writeFd;
    if (fd >= 0) {
        const unsigned char b = static_cast<unsigned char>(signalNumber);
        [[maybe_unused]] const ssize_t n = ::write(fd, &b, 1);
    }
    errno = savedErrno;
}

} // namespace

void QuitRequest::request(int signalNumber)
{
    requested_ = true;
    emit quitRequested(signalNumber);
}

QuitRequest& quitRequest()
{
    static QuitRequest request;
    return request;
}

bool quitPending()
{
    if (!quitRequest().requested())
        drainPipe();
    return quitRequest().requested();
}

QuitSignals::QuitSignals()
{
    // Neither end goes to a child process; the handler never blocks on a full pipe.
    if (::pipe2(fds_, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    notifier_ = std::make_unique<QSocketNotifier>(fds_[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [] { drainPipe(); });
    g_readFd = fds_[0];
    g_writeFd = fds_[1];
    struct sigaction action = {};
    action.sa_handler = &onQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART; // reads and writes under way (port, database) go on
    for (int i = 0; i < 3; ++i)
        sigaction(kSignals[i], &action, &previous_[i]);
    installed_ = true;
}

QuitSignals::~QuitSignals()
{
    const bool ending = quitRequest().ending();
    if (installed_ && !ending)
        for (int i = 0; i < 3; ++i)
            sigaction(kSignals[i], &previous_[i], nullptr);
    g_writeFd = -1; // the handler that stays writes nowhere from now on
    g_readFd = -1;
    notifier_.reset();
    // While the program ends the pipe stays open with the handler: one already under way on another
    // thread writes into it harmlessly, never into a closed pipe (SIGPIPE) or a reused descriptor.
    if (!ending)
        for (int fd : fds_)
            if (fd >= 0)
                ::close(fd);
}

} // namespace nbx
