// Measures the level graph on a database holding 250,000 intervals of one device: opening the
// graph window, one slider step (query and redraw) at several places in the history, and a drag
// across the whole history, with the process's memory before and after.
#include "../BenchSupport.h"
#include "common/Database.h"
#include "common/chart/ui/ChartView.h"
#include "records/LevelGraph.h"
#include "records/ui/Form9.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QSlider>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

using bench::median;

constexpr qint32 kSerial = 123456;
constexpr int kIntervals = 250000;

bool fill(QSqlDatabase db)
{
    db.transaction();
    QSqlQuery q(db);
    q.prepare(QStringLiteral(
        "INSERT INTO Intervalos (LNumeroSerie, DFechaInicio, THoraInicio, DFechaFinal, THoraFinal, ByTLeq,"
        " SLeqLocal, SLeqVecino, SMaxFast, SMaxLeq1min, SMinLeq1min, SL1, SL5, SL10, SL50, SL90,"
        " ByNivelLeqLocal, ByNivelLeqVecino, ByNivelMFast, IDesco, IPasadasLocal, IPasadasVecino, IE3,"
        " IPasMaxFast, ByLineaInsuficiente, ByDNA, ByENA)"
        " VALUES (?,?,?,?,?,15,?,35.5,95.2,85.0,70.1,88,85,83,78,72,90,40,105,0,?,0,0,0,0,0,0)"));
    const QDateTime first(QDate(2019, 1, 1), QTime(0, 0), Qt::UTC);
    for (int i = 0; i < kIntervals; ++i) {
        const QDateTime s = first.addSecs(qint64(i) * 900);
        const QDateTime e = s.addSecs(900);
        q.bindValue(0, kSerial);
        q.bindValue(1, s.date().toString(Qt::ISODate));
        q.bindValue(2, s.time().toString(QStringLiteral("hh:mm")));
        q.bindValue(3, e.date().toString(Qt::ISODate));
        q.bindValue(4, e.time().toString(QStringLiteral("hh:mm")));
        q.bindValue(5, 70.0 + (i % 200) / 10.0);
        q.bindValue(6, i % 7 == 0 ? 1 : 0);
        if (!q.exec())
            return false;
    }
    return db.commit();
}

// Resident memory of the process in MB.
double residentMb() { return bench::statusKiB("VmRSS") / 1024.0; }

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    qputenv("NBX70_HOME", dir.path().toUtf8());
    QString error;
    if (!nbx::Database::open(dir.filePath(QStringLiteral("nbx70.db")), &error) || !fill(nbx::mainDb())) {
        std::fprintf(stderr, "cannot build the database: %s\n", qPrintable(error));
        return 1;
    }

    std::printf("%d intervals of one device\n", kIntervals);

    // Opening: construction, loading and the first paint of both charts.
    std::vector<double> opening;
    for (int k = 0; k < 10; ++k) {
        QElapsedTimer t;
        t.start();
        nbx::Form9 form;
        form.resize(1000, 800);
        form.Form_Load(kSerial, QStringLiteral("01/01/19"), QStringLiteral("Bench"));
        form.show();
        form.Chart2D1->repaint();
        form.Chart2D2->repaint();
        opening.push_back(t.nsecsElapsed() / 1e6);
    }
    std::printf("open the window (load, draw the newest 50, paint): median %.1f ms (goal under 200 ms)\n",
                median(opening));

    nbx::Form9 form;
    form.resize(1000, 800);
    form.Form_Load(kSerial, QStringLiteral("01/01/19"), QStringLiteral("Bench"));
    form.show();
    QApplication::processEvents();
    const int maximum = form.Slider1->maximum();
    for (const int position : {1, maximum / 4, maximum / 2, maximum * 3 / 4, maximum - 1}) {
        std::vector<double> ms;
        for (int k = 0; k < 20; ++k) {
            form.Slider1->setValue(position + (k % 2 ? 1 : -1));
            QElapsedTimer t;
            t.start();
            form.Slider1->setValue(position);
            form.Chart2D1->repaint();
            form.Chart2D2->repaint();
            ms.push_back(t.nsecsElapsed() / 1e6);
        }
        std::printf("one slider step at %6d (query, redraw, paint): median %.2f ms, worst %.2f ms (goal under 16 ms)\n",
                    position, median(ms), *std::max_element(ms.begin(), ms.end()));
    }

    // A drag across the whole history: 500 positions from the oldest to the newest.
    const double before = residentMb();
    QElapsedTimer t;
    t.start();
    std::vector<double> steps;
    for (int k = 0; k <= 500; ++k) {
        QElapsedTimer s;
        s.start();
        form.Slider1->setValue(int(qint64(maximum) * k / 500));
        form.Chart2D1->repaint();
        form.Chart2D2->repaint();
        steps.push_back(s.nsecsElapsed() / 1e6);
    }
    std::printf("drag across the history (501 positions): %.0f ms in all, median step %.2f ms, worst %.2f ms\n",
                t.nsecsElapsed() / 1e6, median(steps), *std::max_element(steps.begin(), steps.end()));
    std::printf("resident memory: %.1f MB before the drag, %.1f MB after\n", before, residentMb());
    nbx::Database::close();
    return 0;
}
