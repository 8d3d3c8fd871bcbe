// The live windows' frame loops over a pseudo-terminal against the simulator at its fastest rate:
// frames per second handled and the program's processor time per frame (decoding and showing
// included), next to the time the frame itself takes on the line at 19200 baud.
#include "../BenchSupport.h"
#include "common/Prompter.h"
#include "link/Link.h"
#include "link/LinkClock.h"
#include "link/Passwords.h"
#include "link/QtSerialPort.h"
#include "nbx70-sim/Simulator.h"
#include "programming/LiveSession.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <array>
#include <cstdio>
#include <ctime>

namespace {

using bench::threadCpuUs;

class QuietPrompter : public nbx::Prompter {
public:
    Answer message(const QString& text, Icon icon, Buttons buttons) override
    {
        if (icon == Icon::Critical)
            std::fprintf(stderr, "message: %s\n", qPrintable(text));
        return buttons == Buttons::YesNo ? Answer::Yes : Answer::Ok;
    }
    std::optional<QString> inputText(const QString&, const QString&, const QString&) override { return {}; }
};

class Password : public nbx::PasswordAsker {
public:
    void askCurrentPassword(nbx::LinkState& st) override { nbx::CurrentPasswordLogic::accept(st, "1234"); }
    void askNewPassword(nbx::LinkState& st) override { nbx::NewPasswordLogic::cancel(st); }
};

// Labels as the windows have them, filled per frame; the run stops after `frames`.
class View : public nbx::LiveView {
public:
    explicit View(int frames) : frames_(frames) {}
    nbx::LiveRun* run = nullptr;
    double cpuFirst = 0, cpuLast = 0;
    qint64 wallFirst = 0, wallLast = 0;
    int shown = 0;
    QElapsedTimer wall;

    void setBusy(bool) override {}
    void setHelpEnabled(bool) override {}
    void showStopped() override {}
    void showRealTime(const nbx::RealTimeDisplay& d) override
    {
        labels_[0].setText(d.fecha);
        labels_[1].setText(d.hora);
        labels_[2].setText(d.nivel);
        labels_[3].setText(d.atenuador);
        count();
    }
    void showMeter(const nbx::MeterDisplay& d) override
    {
        for (size_t i = 0; i < 4; ++i)
            labels_[i].setText(d.values[i]);
        labels_[4].setText(d.leqTLabel);
        for (size_t b = 0; b < 9; ++b)
            labels_[5 + b].setText(d.bands[b]);
        count();
    }

private:
    void count()
    {
        if (++shown == 1) {
            wall.start();
            cpuFirst = threadCpuUs();
        }
        if (shown == frames_ + 1) {
            cpuLast = threadCpuUs();
            wallLast = wall.nsecsElapsed();
            run->stop();
        }
    }
    int frames_;
    std::array<QLabel, 14> labels_;
};

bool measure(const char* what, nbx::LiveKind kind, nbx::Link& link, int frames, double lineUsPerFrame)
{
    View view(frames);
    nbx::LiveRun run(link, kind, view);
    view.run = &run;
    run.run(QStringLiteral("123456"), QString());
    if (view.shown <= frames) {
        std::fprintf(stderr, "%s: only %d frames\n", what, view.shown);
        return false;
    }
    const double cpuPerFrame = (view.cpuLast - view.cpuFirst) / frames;
    const double fps = frames / (view.wallLast / 1e9);
    const double cycleUs = view.wallLast / 1e3 / frames;
    std::printf("%-20s %6d frames %9.1f frames/s %7.1f us CPU/frame = %.3f%% of the line's %.1f ms a frame, "
                "%.3f%% of the %.1f ms between frames\n",
                what, frames, fps, cpuPerFrame, 100.0 * cpuPerFrame / lineUsPerFrame, lineUsPerFrame / 1000.0,
                100.0 * cpuPerFrame / cycleUs, cycleUs / 1000.0);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int meterFrames = argc > 1 ? std::atoi(argv[1]) : 2000;
    const int realTimeFrames = argc > 2 ? std::atoi(argv[2]) : 60;
    QuietPrompter prompter;
    nbx::setPrompter(&prompter);
    Password password;
    nbx::setPasswordAsker(&password);

    nbx::sim::Simulator sim;
    nbx::sim::StreamScript script = nbx::sim::defaultStreamScript();
    script.meterPeriodMs = 0;      // as fast as the line takes them
    script.realTimePeriodMs = 0;   // the next frame as soon as the ACK comes
    sim.setStreamScript(script);
    QString error;
    if (!sim.start(&error)) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(error));
        return 1;
    }
    nbx::QtSerialPort port;
    nbx::SystemLinkClock clock;
    nbx::Link link(port, clock);
    link.state.SerialDevice = sim.portPath();

    constexpr double kUsPerByte = 10.0 * 1e6 / 19200.0; // 10 bits a byte at 19200 baud
    bool ok = measure("meter (LEN 34)", nbx::LiveKind::Sonometro, link, meterFrames, 34 * kUsPerByte);
    ok = measure("real time (LEN 20)", nbx::LiveKind::TiempoReal, link, realTimeFrames, 20 * kUsPerByte) && ok;
    std::printf("(the real-time view waits 50 ms before each ACK, so it cannot exceed about 20 frames/s;\n"
                " the pseudo-terminal has no baud rate, so the meter runs faster than a line could)\n");
    sim.stop();
    return ok ? 0 : 1;
}
