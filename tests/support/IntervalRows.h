// Generated interval records (table Intervalos) for the record and graph tests.
#pragma once

#include <QDateTime>
#include <QList>
#include <QSqlDatabase>
#include <array>

namespace nbx::test {

// One stored interval record; the start is a naive date and time (Qt::UTC, no zone shift).
struct IntervalRow {
    QDateTime start;
    int tLeq = 15;
    double leqLocal = 80.0, leqVecino = 35.0, maxFast = 95.0, maxLeq1min = 85.0, minLeq1min = 70.0;
    std::array<double, 5> statistical{88.0, 85.0, 83.0, 78.0, 72.0};  // L1 L5 L10 L50 L90
    int nivelLeqLocal = 90, nivelLeqVecino = 40, nivelMFast = 105;
    int desco = 0, pasadasLocal = 0, pasadasVecino = 0, e3 = 0, pasMaxFast = 0;
    int lineaInsuficiente = 0, dna = 0, ena = 0;
};

// `count` records of `tLeq` minutes one after another from `first`, with levels that rise in the
// evening and fall at night, and now and then an exceedance or a disconnection (deterministic).
QList<IntervalRow> regularIntervalRows(const QDateTime& first, int count, int tLeq);

// Writes the rows for the device in one transaction (replacing rows with the same start).
bool insertIntervalRows(QSqlDatabase db, qint32 serial, const QList<IntervalRow>& rows);

} // namespace nbx::test
