#include "IntervalRows.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <cmath>
#include <cstdio>

namespace nbx::test {

QList<IntervalRow> regularIntervalRows(const QDateTime& first, int count, int tLeq)
{
    QList<IntervalRow> rows;
    rows.reserve(count);
    for (int i = 0; i < count; ++i) {
        IntervalRow r;
        r.start = first.addSecs(qint64(i) * tLeq * 60);
        r.tLeq = tLeq;
        const double hour = r.start.time().hour() + r.start.time().minute() / 60.0;
        // Music from the evening into the night, quiet by day.
        const double music = std::max(0.0, std::cos((hour - 1.0) / 24.0 * 2 * M_PI));
        const double wobble = 2.0 * std::sin(i * 0.7) + std::sin(i * 2.3);
        r.leqLocal = std::round((66.0 + 22.0 * music + wobble) * 10) / 10;
        r.leqVecino = std::round((28.0 + 9.0 * music + wobble / 2) * 10) / 10;
        r.maxFast = std::round((r.leqLocal + 9.0 + std::fabs(wobble)) * 10) / 10;
        r.maxLeq1min = std::round((r.leqLocal + 3.5) * 10) / 10;
        r.minLeq1min = std::max(60.0, std::round((r.leqLocal - 6.0) * 10) / 10);
        r.statistical = {r.leqLocal + 6.0, r.leqLocal + 4.0, r.leqLocal + 2.5, r.leqLocal - 2.0,
                         std::max(60.0, r.leqLocal - 7.0)};
        r.pasadasLocal = r.leqLocal > 88.5 ? 1 + i % 3 : 0;
        r.pasadasVecino = r.leqVecino > 36.5 ? 1 : 0;
        r.pasMaxFast = r.maxFast > 104.0 ? 1 : 0;
        r.desco = (i % 97 == 40) ? 1 : 0;
        rows.append(r);
    }
    return rows;
}

bool insertIntervalRows(QSqlDatabase db, qint32 serial, const QList<IntervalRow>& rows)
{
    if (!db.transaction())
        return false;
    QSqlQuery q(db);
    q.prepare(QStringLiteral(
        "INSERT OR REPLACE INTO Intervalos (LNumeroSerie, DFechaInicio, THoraInicio, DFechaFinal,"
        " THoraFinal, ByTLeq, SLeqLocal, SLeqVecino, SMaxFast, SMaxLeq1min, SMinLeq1min, SL1, SL5,"
        " SL10, SL50, SL90, ByNivelLeqLocal, ByNivelLeqVecino, ByNivelMFast, IDesco, IPasadasLocal,"
        " IPasadasVecino, IE3, IPasMaxFast, ByLineaInsuficiente, ByDNA, ByENA, TTipoActuacionLocal,"
        " TTipoActuacionVecino, BoRS232, BoProgramacion)"
        " VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,'Leq1s','0',0,0)"));
    for (const IntervalRow& r : rows) {
        const QDateTime end = r.start.addSecs(qint64(r.tLeq) * 60);
        const QVariantList values = {serial, r.start.date().toString(Qt::ISODate),
                                     r.start.time().toString(QStringLiteral("hh:mm")),
                                     end.date().toString(Qt::ISODate), end.time().toString(QStringLiteral("hh:mm")),
                                     r.tLeq, r.leqLocal, r.leqVecino, r.maxFast, r.maxLeq1min, r.minLeq1min,
                                     r.statistical[0], r.statistical[1], r.statistical[2], r.statistical[3],
                                     r.statistical[4], r.nivelLeqLocal, r.nivelLeqVecino, r.nivelMFast, r.desco,
                                     r.pasadasLocal, r.pasadasVecino, r.e3, r.pasMaxFast, r.lineaInsuficiente,
                                     r.dna, r.ena};
        for (int k = 0; k < values.size(); ++k)
            q.bindValue(k, values[k]);
        if (!q.exec()) {
            std::fprintf(stderr, "insertIntervalRows: %s\n", qPrintable(q.lastError().text()));
            db.rollback();
            return false;
        }
    }
    return db.commit();
}

} // namespace nbx::test
