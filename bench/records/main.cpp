// Prints the download's and the record window's figures on a large database: the program's time
// per record next to the line's time per record at 19200 baud, the memory during the download,
// and the record window's first opening, ctrl+End to the oldest row and the memory it takes, the
// slowest sort click, next/previous and default-FROM times.
#include "../BenchSupport.h"
#include "common/Database.h"
#include "common/Prompter.h"
#include "link/Link.h"
#include "nbx70-sim/SimFrame.h"
#include "nbx70-sim/SimRecords.h"
#include "nbx70-sim/Simulator.h"
#include "records/DownloadController.h"
#include "records/RecordStore.h"
#include "records/RecordsRepository.h"
#include "records/ui/Form5.h"
#include "records/ui/RecordGrid.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSocketNotifier>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace nbx;

namespace {

const QDateTime kClock(QDate(2024, 5, 14), QTime(10, 30), Qt::UTC);
constexpr qint32 kSerial = 123456;

class QuietPrompter : public Prompter {
public:
    int criticals = 0;
    Answer message(const QString& text, Icon icon, Buttons) override
    {
        if (icon == Icon::Critical) {
            ++criticals;
            std::fprintf(stderr, "message: %s\n", qPrintable(text));
        }
        return Answer::Ok;
    }
    std::optional<QString> inputText(const QString&, const QString&, const QString&) override { return std::nullopt; }
};

struct BenchUi : DownloadUi {
    RangoFechas range;
    int frames = 0;
    qint32 shownSerial() const override { return kSerial; }
    QString phone() const override { return {}; }
    bool askRange(RangoFechas& r) override { r = range; return true; }
    void setBusy(bool) override {}
    void setCounter(int n) override { frames = n; }
    void showTotals(const Totals&, const QDateTime&) override {}
    bool showDevice(qint32) override { return true; }
    void reloadDevice() override {}
};

QuietPrompter quiet;

void addDevices()
{
    QSqlQuery q(mainDb());
    for (int s : {100000, kSerial, 200000})
        q.exec(QStringLiteral("INSERT INTO Programacion (LNumeroSerie, TLocal, DFecha) VALUES (%1, 'Bench', '2024-01-01')").arg(s));
}

void fillDatabase()
{
    QSqlDatabase db = mainDb();
    // 250,000 older intervals of the device (T = 2, ending before the downloaded range).
    RecordStore store(db, 1 << 30); // one transaction
    const QDateTime last = kClock.addDays(-61);
    for (int k = 0; k < 250000; ++k) {
        const QByteArray data = sim::generatedInterval(last.addSecs(-120LL * k), 2, k);
        FrameBuffer f;
        const QByteArray frame = sim::encodeFrame(0x05, data);
        for (int i = 0; i < frame.size(); ++i)
            f[i] = uint8_t(frame[i]);
        f.setLength(int(frame.size()));
        const auto d = decodeInterval(f, QDateTime(QDate(2000, 1, 1), QTime(0, 0), Qt::UTC), kSerial);
        if (d.verdict == Verdict::Store)
            store.storeInterval(d.record, nullptr);
    }
    store.commit();
}

// ctrl+End in the interval grid: its time (with the paint that follows) and the resident memory
// before and after reaching the oldest row.
void reachTheOldestRow(Form5& form)
{
    QTableView* view = form.TDBGridIntervalos->split(1);
    RecordTableModel* model = form.TDBGridIntervalos->model();
    view->setFocus();
    view->setCurrentIndex(model->index(0, 5));
    form.grab();
    const long rssOpen = bench::statusKiB("VmRSS");
    QElapsedTimer t;
    t.start();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_End, Qt::ControlModifier);
    QApplication::sendEvent(view, &press);
    form.grab();
    const double ms = t.nsecsElapsed() / 1e6;
    const long rssOldest = bench::statusKiB("VmRSS");
    std::printf("ctrl+End in the interval grid: %.1f ms, row %d of %d selected (goal < 100 ms)\n", ms,
                view->currentIndex().row() + 1, model->rowCount());
    std::printf("memory at the oldest row: RSS %ld kB, %+.1f MB from the window's opening (%ld kB) (goal within 50 MB)\n",
                rssOldest, (rssOldest - rssOpen) / 1024.0, rssOpen);
}

// A heading click on every interval column, each with its paint: the slowest of them.
void slowestSort(Form5& form)
{
    RecordGrid* grid = form.TDBGridIntervalos;
    double slowest = 0;
    int slowestCol = 0;
    std::vector<double> all;
    for (int col = 1; col < grid->model()->columnCount(); ++col) {
        QElapsedTimer t;
        t.start();
        form.headClick(grid, col);
        form.grab();
        const double ms = t.nsecsElapsed() / 1e6;
        all.push_back(ms);
        if (ms > slowest) {
            slowest = ms;
            slowestCol = col;
        }
    }
    std::printf("sort click on each of the %d interval columns: slowest %.1f ms (column %d), median %.1f ms (goal < 300 ms)\n",
                int(all.size()), slowest, slowestCol, bench::median(all));
    std::printf("memory after the sorts: RSS %ld kB\n", bench::statusKiB("VmRSS"));
}

// The counter as a bare label, set as often as the download controller sets it.
struct PacedUi : BenchUi {
    QLabel* counter = nullptr;
    void setCounter(int n) override
    {
        BenchUi::setCounter(n);
        counter->setText(QString::number(n));
    }
};

struct PacedFigure {
    bool ok = false;
    int records = 0;
    double seconds = 0, cpuMsPerRecord = 0, wakesPerRecord = 0;
};

// Voluntary context switches of the calling thread: each time it slept and was woken.
long threadWakes()
{
    rusage u{};
    getrusage(RUSAGE_THREAD, &u);
    return u.ru_nvcsw;
}

// Another thread writes the moment into a socket every 5 ms, as the accessibility bus would bring
// a request; the UI thread notes how long each one waited before its notifier ran.
class SocketProbe {
public:
    SocketProbe()
    {
        ::socketpair(AF_UNIX, SOCK_DGRAM, 0, fds_);
        ::fcntl(fds_[0], F_SETFL, ::fcntl(fds_[0], F_GETFL) | O_NONBLOCK);
        notifier_ = std::make_unique<QSocketNotifier>(fds_[0], QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
            qint64 sent = 0;
            while (::read(fds_[0], &sent, sizeof sent) == sizeof sent)
                delaysMs.push_back((nowNs() - sent) / 1e6);
        });
        writer_ = std::thread([this] {
            auto next = std::chrono::steady_clock::now();
            while (!done_) {
                next += std::chrono::milliseconds(5);
                std::this_thread::sleep_until(next);
                const qint64 now = nowNs();
                (void)::write(fds_[1], &now, sizeof now);
            }
        });
    }
    ~SocketProbe()
    {
        done_ = true;
        writer_.join();
        notifier_.reset();
        ::close(fds_[0]);
        ::close(fds_[1]);
    }
    std::vector<double> delaysMs;

private:
    static qint64 nowNs()
    {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    int fds_[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> notifier_;
    std::atomic<bool> done_{false};
    std::thread writer_;
};

// A download through a pseudo-terminal from the simulator writing at the pace of a 19200 baud
// line: the UI thread's processor time per record, everything included (receiving, decoding,
// storing, acknowledging, the counter and the busy bar, the window's reload at the end). `run` opens
// what the download shows, calls `begin` as the download starts (the window's own opening is not
// the download's), and returns when it has ended. Each call's records are newer than those of
// every call before.
using PacedRun = std::function<bool(const RangoFechas&, const std::function<QDateTime()>&, const std::function<void()>&)>;
PacedFigure pacedDownload(Link& link, const PacedRun& run)
{
    constexpr int kIntervals = 500, kSessions = 20;
    static int round = 0;
    const QDateTime clock = kClock.addDays(1 + 2 * round++);
    sim::Simulator sim;
    QString error;
    if (!sim.start(&error)) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(error));
        return {};
    }
    sim.setLinePace(19200);
    sim.withRecords([&](sim::RecordDevice& r) {
        r.config.clock = clock;
        r.config.intervalCount = kIntervals;
        r.config.tMinutes = 2;
        r.config.sessionCount = kSessions;
        r.config.sessionEveryMinutes = 42;
    });
    link.state.SerialDevice = sim.portPath();
    PacedFigure f;
    QElapsedTimer wall;
    wall.start();
    double cpu0 = 0;
    long wakes0 = 0;
    f.ok = run(RangoFechas::fromMoments(clock.addDays(-2), clock), [clock] { return clock; }, [&] {
        wall.restart();
        cpu0 = bench::threadCpuUs();
        wakes0 = threadWakes();
    });
    const double cpuMs = (bench::threadCpuUs() - cpu0) / 1000.0;
    const long wakes = threadWakes() - wakes0;
    f.seconds = wall.elapsed() / 1000.0;
    int intervals = 0, sessions = 0;
    sim.withRecords([&](sim::RecordDevice& r) {
        intervals = r.sent(0x05);
        sessions = r.sent(0x06);
    });
    f.records = std::max(1, intervals + sessions);
    f.cpuMsPerRecord = cpuMs / f.records;
    f.wakesPerRecord = double(wakes) / f.records;
    sim.stop();
    link.state.SerialDevice.clear();
    return f;
}

// How the record window answers during a paced download: the longest time between two calls of a
// 5 ms timer, how long a socket written every 5 ms by another thread waited to be handled (median
// and longest), and how long the download took to end after Stop was clicked.
struct Answers {
    double longestGapMs = 0, stopMs = 0, socketMedianMs = 0, socketLongestMs = 0;
    int socketSamples = 0;
};

// A paced download through the record window shown (its counter and busy bar). With `answers`,
// a 5 ms timer runs beside it and Stop is clicked after 8 s.
PacedFigure windowDownload(Link& link, Answers* answers = nullptr)
{
    return pacedDownload(link, [&](const RangoFechas& range, const std::function<QDateTime()>& now,
                                   const std::function<void()>& begin) {
        link.state.NumeroSerieEqp = kSerial;
        Form5 form;
        form.setClock(now);
        form.setRangeAsker([range](RangoFechas& r) {
            r = range;
            return true;
        });
        form.Form_Load();
        form.show();
        QApplication::processEvents();
        const int criticals = quiet.criticals;
        QTimer probe;
        QElapsedTimer since, stopped;
        double longest = 0;
        probe.setInterval(5);
        probe.callOnTimeout([&] {
            longest = std::max(longest, since.nsecsElapsed() / 1e6);
            since.start();
        });
        std::unique_ptr<SocketProbe> socket;
        begin();
        if (answers) {
            socket = std::make_unique<SocketProbe>();
            since.start();
            probe.start();
            QTimer::singleShot(8000, &form, [&] {
                stopped.start();
                form.SSCommandStop->click();
            });
        }
        form.SSCommandRecibir_Click();
        if (answers) {
            answers->stopMs = stopped.isValid() ? stopped.nsecsElapsed() / 1e6 : -1;
            answers->longestGapMs = longest;
            const std::vector<double>& d = socket->delaysMs;
            answers->socketSamples = int(d.size());
            if (!d.empty()) {
                answers->socketMedianMs = bench::median(d);
                answers->socketLongestMs = *std::max_element(d.begin(), d.end());
            }
        }
        return quiet.criticals == criticals;
    });
}

// The paced download with the counter as a bare label, then through the record window shown,
// `rounds` times each; then once more through the window, for how long its events may wait.
void pacedDownloadFigures(Link& link, int rounds)
{
    std::vector<double> bare, window;
    auto print = [](const char* what, const PacedFigure& f) {
        std::printf("paced download at 19200 baud, %s, %s: %d records in %.2f s (%.2f ms per record),"
                    " UI thread CPU %.3f ms and %.2f wakes per record\n",
                    what, f.ok ? "complete" : "FAILED", f.records, f.seconds, f.seconds * 1000 / f.records,
                    f.cpuMsPerRecord, f.wakesPerRecord);
    };
    for (int i = 0; i < rounds; ++i) {
        const PacedFigure b = pacedDownload(link, [&](const RangoFechas& range, const std::function<QDateTime()>& now,
                                                      const std::function<void()>& begin) {
            QLabel counter;
            counter.show();
            PacedUi ui;
            ui.counter = &counter;
            ui.range = range;
            QApplication::processEvents();
            begin();
            return DownloadController(link, ui, now).run();
        });
        print("counter as a bare label", b);
        bare.push_back(b.cpuMsPerRecord);

        const PacedFigure w = windowDownload(link);
        print("through the record window shown", w);
        window.push_back(w.cpuMsPerRecord);
    }
    std::printf("UI thread CPU per paced record: through the record window shown %.3f ms (median of %d, %.3f-%.3f),"
                " bare label %.3f ms (%.3f-%.3f) (goal < 0.31 ms through the window, 1%% of an interval's 31.25 ms)\n",
                bench::median(window), rounds, *std::min_element(window.begin(), window.end()),
                *std::max_element(window.begin(), window.end()), bench::median(bare),
                *std::min_element(bare.begin(), bare.end()), *std::max_element(bare.begin(), bare.end()));
    Answers a;
    const PacedFigure probed = windowDownload(link, &a);
    std::printf("paced download through the record window shown, %s: the events waited at most %.1f ms between two"
                " calls of a 5 ms timer (goal: the window answers within 50 ms); Stop clicked after %d records, the"
                " download ended %.1f ms later, its end steps included (goal < 100 ms)\n",
                probed.ok ? "ended" : "FAILED", a.longestGapMs, probed.records, a.stopMs);
    std::printf("beside it, a socket written by another thread every 5 ms waited %.2f ms at the median and %.1f ms"
                " at most before the UI thread handled it (%d writes) (goal: 2 ms at the median, 50 ms at most)\n",
                a.socketMedianMs, a.socketLongestMs, a.socketSamples);
}

// The whole download from the simulator, unpaced, over a pseudo-terminal: 43,200 intervals and
// 2,000 sessions up to `clock`. Returns the time per record in milliseconds.
double unpacedDownload(Link& link, const QDateTime& clock, bool memory)
{
    sim::Simulator sim;
    QString error;
    if (!sim.start(&error)) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(error));
        return -1;
    }
    sim.withRecords([&](sim::RecordDevice& r) {
        r.config.clock = clock;
        r.config.intervalCount = 43200;
        r.config.tMinutes = 2;
        r.config.sessionCount = 2000;
        r.config.sessionEveryMinutes = 42;
    });
    link.state.SerialDevice = sim.portPath();
    BenchUi ui;
    ui.range = RangoFechas::fromMoments(clock.addDays(-60), clock);
    DownloadController controller(link, ui, [clock] { return clock; });
    long rssMin = bench::statusKiB("VmRSS"), rssMax = rssMin;
    QTimer sampler;
    sampler.callOnTimeout([&] {
        sim.clearLog(); // the simulator shares the process: its byte log is not the program's memory
        const long r = bench::statusKiB("VmRSS");
        rssMin = std::min(rssMin, r);
        rssMax = std::max(rssMax, r);
    });
    sampler.start(50);
    const long rssBefore = bench::statusKiB("VmRSS");
    QElapsedTimer t;
    t.start();
    const bool ok = controller.run();
    const double seconds = t.elapsed() / 1000.0;
    sampler.stop();
    int intervals = 0, sessions = 0;
    sim.withRecords([&](sim::RecordDevice& r) {
        intervals = r.sent(0x05);
        sessions = r.sent(0x06);
    });
    const int records = std::max(1, intervals + sessions);
    std::printf("download %s: %d intervals + %d sessions (%d frames) in %.2f s\n", ok ? "complete" : "FAILED",
                intervals, sessions, ui.frames, seconds);
    std::printf("per record: program and pseudo-terminal %.3f ms | line at 19200 baud: interval 31.25 ms, session 36.46 ms"
                " (+0.52 ms ACK) | ratio %.2f%%\n",
                seconds * 1000 / records, seconds * 1000 / records / 31.25 * 100);
    if (memory)
        std::printf("memory during the download: RSS before %ld kB, min %ld kB, max %ld kB\n", rssBefore, rssMin, rssMax);
    sim.stop();
    link.state.SerialDevice.clear();
    return seconds * 1000 / records;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir home;
    qputenv("NBX70_HOME", home.path().toUtf8());
    QString error;
    if (!Database::open(home.filePath(QStringLiteral("nbx70.db")), &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    setPrompter(&quiet);
    addDevices();
    Link& link = defaultLink();
    link.timing.secondMs = 10;

    // "bench_records unpaced [runs]": only the unpaced download, on a small database, `runs` times.
    if (argc > 1 && QByteArray(argv[1]) == "unpaced") {
        const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1;
        std::vector<double> ms;
        for (int i = 0; i < runs; ++i)
            ms.push_back(unpacedDownload(link, kClock.addDays(61 * (i + 1)), false));
        std::printf("unpaced download: %.3f ms per record (median of %d, %.3f-%.3f)\n", bench::median(ms), runs,
                    *std::min_element(ms.begin(), ms.end()), *std::max_element(ms.begin(), ms.end()));
        setPrompter(nullptr);
        return 0;
    }

    // The paced download first, on a small database: the window's reload at its end stays short.
    // "bench_records paced [rounds]" measures only that.
    const bool pacedOnly = argc > 1 && QByteArray(argv[1]) == "paced";
    pacedDownloadFigures(link, pacedOnly && argc > 2 ? std::max(1, std::atoi(argv[2])) : 3);
    if (pacedOnly) {
        setPrompter(nullptr);
        return 0;
    }

    QElapsedTimer t;
    t.start();
    fillDatabase();
    std::printf("database: 250000 intervals of device %d written in %.1f s\n", kSerial, t.elapsed() / 1000.0);

    // The program's own work per record, without the line: decode, checks, store, counter.
    {
        RecordStore store;
        int counter = 0;
        QList<QByteArray> frames;
        for (int k = 0; k < 43200; ++k)
            frames << sim::encodeFrame(0x05, sim::generatedInterval(kClock.addSecs(-120LL * k), 2, k));
        const QDateTime from = kClock.addDays(-60);
        t.restart();
        for (const QByteArray& frame : frames) {
            FrameBuffer f;
            for (int i = 0; i < frame.size(); ++i)
                f[i] = uint8_t(frame[i]);
            f.setLength(int(frame.size()));
            const auto d = decodeInterval(f, from, kSerial);
            if (d.verdict == Verdict::Store)
                store.storeInterval(d.record, nullptr);
            ++counter;
        }
        store.commit();
        const double ms = double(t.nsecsElapsed()) / 1e6 / counter;
        std::printf("program only (decode, checks, store, counter): %.4f ms per interval record\n", ms);
        QSqlQuery(mainDb()).exec(QStringLiteral("DELETE FROM Intervalos WHERE DFechaInicio >= '2024-03-01'"));
    }

    unpacedDownload(link, kClock, true);

    // The record window on that database.
    link.state.NumeroSerieEqp = kSerial;
    {
        RecordsRepository repo;
        t.restart();
        const auto start = repo.newestIntervalStart(kSerial);
        std::printf("default-FROM query: %.2f ms (%s)\n", t.nsecsElapsed() / 1e6,
                    qPrintable(start ? start->toString(Qt::ISODate) : QStringLiteral("none")));
    }
    Form5 form;
    t.restart();
    form.Form_Load();
    form.show();
    form.grab();
    std::printf("record window first opening (load and first paint) on %d intervals of the device: %.1f ms\n",
                form.TDBGridIntervalos->model()->rowCount(), t.nsecsElapsed() / 1e6);
    reachTheOldestRow(form);
    slowestSort(form);
    for (int col : {26, 1, 15}) {
        t.restart();
        form.headClick(form.TDBGridIntervalos, col);
        form.grab();
        std::printf("sort click on interval column %d: %.1f ms\n", col, t.nsecsElapsed() / 1e6);
    }
    t.restart();
    form.SSCommandSiguiente->click();
    form.grab();
    std::printf("next device: %.1f ms\n", t.nsecsElapsed() / 1e6);
    t.restart();
    form.SSCommandAnterior->click();
    form.grab();
    std::printf("previous device (back to %d rows and more): %.1f ms\n", kSerial, t.nsecsElapsed() / 1e6);
    setPrompter(nullptr);
    return 0;
}
