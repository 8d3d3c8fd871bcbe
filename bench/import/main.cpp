// Times, on the same generated data (250,000 intervals, 5,000 sessions, 50 sheets): our exchange-file
// import, the sqlite3 tool's .import of the same rows as CSV into the same schema, and the merge of
// the resulting database file into an empty one. Prints the figures and the peak memory.
#include "../BenchSupport.h"
#include "common/Database.h"
#include "import/DatabaseMerge.h"
#include "import/ExchangeImport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <cstdio>

using namespace nbx;

namespace {

using bench::statusKiB;

constexpr int kIntervals = 250000, kSessions = 5000, kSheets = 50;

// Makes the peak start again from the present size.
void resetPeak()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

QString hhmm(int minutes) { return QString::asprintf("%02d:%02d", (minutes / 60) % 24, minutes % 60); }
QString day(int n) { return QDate(2005, 1, 1).addDays(n).toString(QStringLiteral("yyyy-MM-dd")); }

// One generated row in both forms: the exchange cells and the database's CSV cells.
void interval(int i, QByteArray* km70, QByteArray* csv)
{
    const int serial = 100000 + i % kSheets, slot = i / kSheets;
    const QString d = day(slot / 96), start = hhmm((slot % 96) * 15), end = hhmm((slot % 96) * 15 + 14);
    const QString levels = QStringLiteral("%1.%2").arg(60 + i % 60).arg(i % 10);
    const QString tail = QStringLiteral("15;%1;%1;Leq5s;0;90;255;%1;21/03/2005;14:22;%1;21/03/2005;14:16;%1;105;0;%1;%1;%1;%1;%1;0;0;0;12;0;0;0;0;0").arg(levels);
    *km70 += QStringLiteral("%1;%2 %3:00;%2 %4:00;%5\r\n").arg(serial).arg(d, start, end, tail).toLatin1();
    *csv += QStringLiteral("%1;%2;%3;%2;%4;%5\n").arg(serial).arg(d, start, end, tail).toLatin1();
}

void session(int i, QByteArray* km70, QByteArray* csv)
{
    const int serial = 100000 + i % kSheets;
    const QString d = day(i / kSheets), e = day(i / kSheets + 1);
    const QString tail = QStringLiteral("84.2;95;255;22:00;08:00;90;255;10;0;34;0;0;99.0;105;2;91.0;21/03/2005;23:41;70.3;22/03/2005;02:58;96.0;93.5;91.2;84.0;72.9");
    *km70 += QStringLiteral("%1;%2 20:00:00;%3 03:00:00;%4\r\n").arg(serial).arg(d, e, tail).toLatin1();
    *csv += QStringLiteral("%1;%2;20:00;%3;03:00;%4\n").arg(serial).arg(d, e, tail).toLatin1();
}

QByteArray header(const QStringList& columns, const char* end) { return columns.join(QLatin1Char(';')).toLatin1() + end; }

bool openMain(const QString& path)
{
    QString error;
    if (!Database::open(path, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QStringList exchangeIntervals = {"LNumeroSerie", "DFechaInicio", "DFechaFinal"};

    // The exchange file and the CSV files of the same rows.
    QByteArray km70 = "//Programacion//\r\nLNumeroSerie;DFecha\r\n";
    for (int s = 0; s < kSheets; ++s)
        km70 += QByteArray::number(100000 + s) + ";2005-01-01\r\n";
    QByteArray csvIntervals = header(importColumns(4), "\n"), csvSessions = header(importColumns(6), "\n");
    km70 += "//Intervalos//\r\nh\r\n";
    for (int i = 0; i < kIntervals; ++i)
        interval(i, &km70, &csvIntervals);
    km70 += "//Sesiones//\r\nh\r\n";
    for (int i = 0; i < kSessions; ++i)
        session(i, &km70, &csvSessions);
    for (auto [name, bytes] : {std::pair{"intervalos.csv", &csvIntervals}, std::pair{"sesiones.csv", &csvSessions}}) {
        QFile f(dir.filePath(QLatin1String(name)));
        f.open(QIODevice::WriteOnly);
        f.write(*bytes);
    }
    std::printf("exchange file: %.1f MB, %d intervals, %d sessions, %d sheets\n", km70.size() / 1e6, kIntervals,
                kSessions, kSheets);
    csvIntervals.clear();
    csvSessions.clear();

    // Our import.
    const QString ours = dir.filePath("ours.db");
    if (!openMain(ours))
        return 1;
    resetPeak();
    const long before = statusKiB("VmRSS");
    QElapsedTimer t;
    t.start();
    const ExchangeImportResult r = importExchange(mainDb(), km70, QStringLiteral("Importando datos"));
    const double importSeconds = t.nsecsElapsed() / 1e9;
    const long after = statusKiB("VmHWM");
    Database::close();
    if (r.status != ExchangeImportResult::Status::Imported) {
        std::fprintf(stderr, "import failed\n");
        return 1;
    }

    // The sqlite3 tool on the same schema and rows.
    const QString tool = dir.filePath("tool.db");
    if (!openMain(tool))
        return 1;
    Database::close();
    QProcess sqlite;
    t.restart();
    sqlite.start(QStringLiteral("sqlite3"),
                 {tool, QStringLiteral("PRAGMA synchronous=FULL"), QStringLiteral(".mode csv"), QStringLiteral(".separator ;"),
                  QStringLiteral(".import --skip 1 %1 Intervalos").arg(dir.filePath("intervalos.csv")),
                  QStringLiteral(".import --skip 1 %1 Sesiones").arg(dir.filePath("sesiones.csv"))});
    const bool toolRan = sqlite.waitForFinished(600000) && sqlite.exitCode() == 0;
    const double toolSeconds = t.nsecsElapsed() / 1e9;

    // The merge of our imported database into an empty one.
    if (!openMain(dir.filePath("empty.db")))
        return 1;
    t.restart();
    const MergeResult m = mergeDatabaseFile(mainDb(), ours);
    const double mergeSeconds = t.nsecsElapsed() / 1e9;
    Database::close();

    std::printf("our exchange-file import:     %6.2f s\n", importSeconds);
    if (toolRan)
        std::printf("sqlite3 .import of the CSV:   %6.2f s\n", toolSeconds);
    else
        std::printf("sqlite3 .import of the CSV:   did not run (%s)\n", sqlite.readAllStandardError().constData());
    std::printf("merge into an empty database: %6.2f s (%d rows added%s)\n", mergeSeconds, m.rowsAdded,
                m.status == MergeResult::Status::Merged ? "" : ", FAILED");
    std::printf("memory: %.1f MB before the import, peak %.1f MB during it: %.1f MB more, for a file of %.1f MB\n",
                before / 1024.0, after / 1024.0, (after - before) / 1024.0, km70.size() / 1e6);
    return 0;
}
