// Generated data for the report tests and the report benchmark: one device's sheet, day lists,
// intervals and sessions written into the main database.
#pragma once

#include "common/Database.h"

#include <QDate>
#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>
#include <cstdio>

namespace nbx::test {

inline bool seedExec(QSqlQuery& q)
{
    if (q.exec())
        return true;
    std::fprintf(stderr, "seed: %s\n", qPrintable(q.lastError().text()));
    return false;
}

inline void insertRow(const QString& table, const QVariantMap& values)
{
    QStringList cols, marks;
    for (auto it = values.begin(); it != values.end(); ++it) {
        cols << quoteIdentifier(it.key());
        marks << QStringLiteral("?");
    }
    QSqlQuery q(mainDb());
    q.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(table, cols.join(','), marks.join(',')));
    for (const QVariant& v : values)
        q.addBindValue(v);
    seedExec(q);
}

inline void seedSheet(qint32 serial, const QString& version = QStringLiteral("2.1"))
{
    QVariantMap p{{"LNumeroSerie", serial}, {"DFecha", "2026-03-05"}, {"TContacto", "Marta Vidal"},
                  {"TLocal", "Bar La Plaza"}, {"TDireccion", "Calle Mayor 12"}, {"TPoblacion", "Girona"},
                  {"TTelefono", "972000111"}, {"TNota", "Primera nota\rsegunda linea de la nota"},
                  {"TVersion", version}, {"BoCambioHora", -1}, {"ByTLeq", 15}, {"ByMFast", 95},
                  {"ByNivelDiaLocal", 90}, {"ByNivelDiaVecino", 255}, {"THoraEmpiezaNoche", "22:00"},
                  {"THoraTerminaNoche", "08:00"}, {"ByNivelNocheLocal", 85}, {"ByNivelNocheVecino", 35},
                  {"ITiempoAtenuacion", 30}, {"TTipoActuacionLocal", "Leq1s"}, {"TTipoActuacionVecino", "0"},
                  {"SOctava31,5Hz", 0.5}, {"SOctava63Hz", 12.0}, {"SOctava125Hz", 0.0}, {"SOctava250Hz", -3.0},
                  {"SOctava500Hz", 2.25}, {"SOctava1kHz", 1.0}, {"SOctava2kHz", 0.0}, {"SOctava4kHz", 0.0},
                  {"SOctava8kHz", 0.0}, {"ByRings", 3}, {"DFechaTotales", "2026-03-04"},
                  {"THoraTotales", "18:30:05"}, {"LPasadasLocal", 11}, {"LPasadasVecino", 22}, {"LE3", 33},
                  {"LCB", 44}, {"CMI", -1}};
    const char* days[] = {"Lunes", "Martes", "Miercoles", "Jueves", "Viernes", "Sabado", "Domingo"};
    for (const char* d : days) {
        p.insert(QStringLiteral("T%1Inicio").arg(d), QStringLiteral("20:00"));
        p.insert(QStringLiteral("T%1Fin").arg(d), QStringLiteral("03:00"));
    }
    insertRow(QStringLiteral("Programacion"), p);
}

// `count` rows in DiaReprogramado and DiaBorrado from 2025-01-01, one a day.
inline void seedDays(qint32 serial, int count)
{
    mainDb().transaction();
    for (int i = 0; i < count; ++i) {
        const QString d = QDate(2025, 1, 1).addDays(i).toString(Qt::ISODate);
        insertRow(QStringLiteral("DiaReprogramado"), {{"LNumeroSerie", serial}, {"DFecha", d}, {"THora", "10:15"}});
        insertRow(QStringLiteral("DiaBorrado"), {{"LNumeroSerie", serial}, {"DFecha", d}, {"THora", "11:45"}});
    }
    mainDb().commit();
}

// `count` intervals of 15 minutes from `start`; levels cycle through the reserved values.
inline void seedIntervals(qint32 serial, int count, QDateTime start = QDateTime(QDate(2026, 1, 10), QTime(8, 0)))
{
    mainDb().transaction();
    const double levels[] = {65.3, 0, 59, 121, 80};
    for (int i = 0; i < count; ++i) {
        const QDateTime a = start.addSecs(qint64(i) * 900);
        const QDateTime b = a.addSecs(900);
        const double lv = levels[i % 5];
        insertRow(QStringLiteral("Intervalos"),
                  {{"LNumeroSerie", serial}, {"DFechaInicio", a.date().toString(Qt::ISODate)},
                   {"THoraInicio", a.time().toString("hh:mm")}, {"DFechaFinal", b.date().toString(Qt::ISODate)},
                   {"THoraFinal", b.time().toString("hh:mm")}, {"ByTLeq", 15}, {"SLeqLocal", lv},
                   {"SLeqVecino", i % 5 == 2 ? 59.0 : lv}, {"TTipoActuacionLocal", "Leq1s"},
                   {"TTipoActuacionVecino", "0"}, {"ByNivelLeqLocal", i % 7 == 0 ? 255 : 90},
                   {"ByNivelLeqVecino", 35}, {"SMaxLeq1min", 70.0}, {"TFechaMaxLeq1min", "10/01/26"},
                   {"THoraMaxLeq1min", "08:05"}, {"SMinLeq1min", 60.0}, {"TFechaMinLeq1min", "10/01/26"},
                   {"THoraMinLeq1min", "08:09"}, {"SMaxFast", 99.5}, {"ByNivelMFast", 95}, {"IPasMaxFast", 2},
                   {"SL1", lv}, {"SL5", 75.0}, {"SL10", 72.0}, {"SL50", 66.0}, {"SL90", 61.0},
                   {"BoRS232", i % 2 ? -1 : 0}, {"BoProgramacion", i % 3 ? 0 : -1}, {"IDesco", i % 4},
                   {"IPasadasLocal", 7}, {"IPasadasVecino", 1}, {"IE3", 0}, {"ByDNA", i % 6 ? 12 : 255},
                   {"ByENA", 255}, {"ByLineaInsuficiente", 0}});
    }
    mainDb().commit();
}

inline void seedSessions(qint32 serial, int count, QDateTime start = QDateTime(QDate(2026, 1, 10), QTime(20, 0)))
{
    mainDb().transaction();
    for (int i = 0; i < count; ++i) {
        const QDateTime a = start.addDays(i);
        const QDateTime b = a.addSecs(7 * 3600);
        insertRow(QStringLiteral("Sesiones"),
                  {{"LNumeroSerie", serial}, {"DFechaInicio", a.date().toString(Qt::ISODate)},
                   {"THoraInicio", a.time().toString("hh:mm")}, {"DFechaFinal", b.date().toString(Qt::ISODate)},
                   {"THoraFinal", b.time().toString("hh:mm")}, {"SLeq", i % 2 ? 121.0 : 64.5},
                   {"ByNivelDiaLocal", 90}, {"ByNivelDiaVecino", 255}, {"THoraInicioNoche", "22:00"},
                   {"THoraFinalNoche", "08:00"}, {"ByNivelNocheLocal", 85}, {"ByNivelNocheVecino", 35},
                   {"ITiempoAtenuacion", 30}, {"LDesco", 1}, {"LPasadasLocal", 5}, {"LPasadasVecino", 6},
                   {"LE3", 0}, {"SMaxFast", 101.0}, {"ByNivelMFast", 95}, {"LPasMaxFast", 3},
                   {"SMaxLeq1min", 88.0}, {"TFechaMaxLeq1min", "10/01/26"}, {"THoraMaxLeq1min", "23:10"},
                   {"SMinLeq1min", 0.0}, {"TFechaMinLeq1min", "11/01/26"}, {"THoraMinLeq1min", "02:10"},
                   {"SL1", 90.0}, {"SL5", 85.0}, {"SL10", 80.0}, {"SL50", 59.0}, {"SL90", 0.0}});
    }
    mainDb().commit();
}

} // namespace nbx::test
