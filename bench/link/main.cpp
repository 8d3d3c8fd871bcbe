// Frame reception throughput: frames from the simulator over a pseudo-terminal, received as fast
// as it sends them, and the receiver's processor time per byte next to the line's budget.
#include "../BenchSupport.h"
#include "link/LinkClock.h"
#include "link/Frame.h"
#include "link/FrameReceiver.h"
#include "link/Link.h"
#include "link/QtSerialPort.h"
#include "nbx70-sim/Simulator.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QList>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <sys/resource.h>

namespace {

using bench::threadCpuUs;

// Serves bytes from memory, so that only the receiver's own work is measured.
class MemoryPort : public nbx::ISerialPort {
public:
    explicit MemoryPort(QByteArray data) : data_(std::move(data)) {}
    void setPortName(const QString&) override {}
    QString portName() const override { return {}; }
    bool open(QString*) override { return true; }
    void close() override {}
    bool isOpen() const override { return true; }
    qint64 bytesAvailable() override { return data_.size() - pos_; }
    int readByte() override { return pos_ < data_.size() ? uint8_t(data_[pos_++]) : -1; }
    QByteArray read(qint64) override { return {}; }
    bool write(const QByteArray&) override { return true; }
    void clearInput() override {}
    void clearOutput() override {}
    bool setDtr(bool) override { return false; }
    void waitForInput(int) override {}

private:
    QByteArray data_;
    qsizetype pos_ = 0;
};

constexpr double kBudgetUsPerByte = 520.0; // 10 bits per byte at 19200 baud

void report(const char* what, qint64 bytes, double wallUs, double cpuUs)
{
    const double perByte = cpuUs / double(bytes);
    std::printf("%-28s %9lld bytes  %12.0f bytes/s  %8.3f us CPU/byte  (%.4f%% of %.0f us)\n",
                what, static_cast<long long>(bytes), bytes / (wallUs / 1e6), perByte,
                100.0 * perByte / kBudgetUsPerByte, kBudgetUsPerByte);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int frames = argc > 1 ? std::atoi(argv[1]) : 300;

    // In memory: the receiver alone.
    {
        const QByteArray frame = nbx::buildFrame(0x04, QByteArray(365, '\x5A'));
        QByteArray all;
        for (int i = 0; i < 2000; ++i)
            all += frame;
        MemoryPort port(all);
        nbx::SystemLinkClock clock;
        nbx::LinkTiming timing;
        nbx::Waiter waiter(port, clock, timing);
        nbx::InactivityTimer timer(clock, timing.frameTimeoutMs);
        nbx::FrameBuffer buffer;
        QElapsedTimer wall;
        wall.start();
        const double cpu0 = threadCpuUs();
        for (int i = 0; i < 2000; ++i)
            if (nbx::receiveFrame(port, waiter, timer, buffer, nullptr, 4096) !=
                nbx::ReceiveResult::Ok)
                return 1;
        report("receiver, bytes in memory", all.size(), wall.nsecsElapsed() / 1e3,
               threadCpuUs() - cpu0);
    }

    // Over the pseudo-terminal: programming requests answered by the simulator.
    nbx::sim::Simulator sim;
    QString error;
    if (!sim.start(&error)) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(error));
        return 1;
    }
    nbx::QtSerialPort port;
    nbx::SystemLinkClock clock;
    nbx::Link link(port, clock);
    link.state.SerialDevice = sim.portPath();
    if (!link.AbrirPuerto(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    const QByteArray request = nbx::buildFrame(nbx::cmd::ComandoPedirProgramacion);
    qint64 bytes = 0;
    double receiveCpu = 0;
    QElapsedTimer wall;
    wall.start();
    for (int i = 0; i < frames; ++i) {
        port.write(request);
        nbx::InactivityTimer timer = link.frameTimer();
        const double cpu0 = threadCpuUs();
        const bool ok = nbx::RecibirTrama(link, timer);
        receiveCpu += threadCpuUs() - cpu0;
        if (!ok) {
            std::fprintf(stderr, "frame %d not received\n", i);
            return 1;
        }
        bytes += link.BufferTrama.length();
    }
    report("receiver, frames over pty", bytes, wall.nsecsElapsed() / 1e3, receiveCpu);
    std::printf("(the line itself carries %.0f bytes/s at 19200 baud)\n", 1e6 / kBudgetUsPerByte);

    // At the line's pace: how often the receiving thread wakes for one 371-byte frame (193 ms),
    // counted as its voluntary context switches; a thread woken once a byte would show 371.
    sim.setLinePace(19200);
    QList<long> wakes;
    for (int i = 0; i < 7; ++i) {
        port.write(request);
        nbx::InactivityTimer timer = link.frameTimer();
        rusage before{};
        getrusage(RUSAGE_THREAD, &before);
        const bool ok = nbx::RecibirTrama(link, timer);
        rusage after{};
        getrusage(RUSAGE_THREAD, &after);
        if (!ok) {
            std::fprintf(stderr, "paced frame %d not received\n", i);
            return 1;
        }
        wakes << after.ru_nvcsw - before.ru_nvcsw;
    }
    std::sort(wakes.begin(), wakes.end());
    std::printf("%-28s %9ld wakes a frame (median of %lld, %ld to %ld)\n", "receiver, frames at 19200",
                wakes[wakes.size() / 2], static_cast<long long>(wakes.size()), wakes.first(), wakes.last());
    link.cerrarPuerto();
    sim.stop();
    return 0;
}
