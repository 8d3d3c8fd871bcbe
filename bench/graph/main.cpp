// Measures the level graph on a database holding 250,000 intervals of one device: reading and
// drawing one 50-record window at several places in the history.
#include "common/Database.h"
#include "records/LevelGraph.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

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

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

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

    nbx::IntervalGraphSource source(nbx::mainDb(), kSerial);
    const int n = source.count(&error).value_or(0);
    const int maximum = nbx::graphSliderRange(n).maximum;
    std::printf("%d intervals, slider 0..%d\n", n, maximum);
    for (const int position : {0, maximum / 4, maximum / 2, maximum * 3 / 4, maximum}) {
        std::vector<double> ms;
        for (int k = 0; k < 20; ++k) {
            QElapsedTimer t;
            t.start();
            QList<nbx::GraphRecord> window;
            source.window(position, window, &error);
            nbx::GraphValues values;
            nbx::Dibuixa(window, values);
            ms.push_back(t.nsecsElapsed() / 1e6);
        }
        std::printf("one window read and turned into chart values at %6d: median %.2f ms\n", position, median(ms));
    }
    nbx::Database::close();
    return 0;
}
