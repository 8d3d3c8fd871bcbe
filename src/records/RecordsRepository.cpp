#include "records/RecordsRepository.h"

#include "common/Database.h"
#include "common/StoredValue.h"
#include "programming/SheetText.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>
#include <limits>

namespace nbx {

namespace {

QString text(const QSqlQuery& q, const char* col)
{
    const QVariant v = q.value(QLatin1String(col));
    return v.isNull() ? QString() : v.toString();
}

// A counter; 0 for NULL or for what is no whole number of 64 bits.
qint64 number(const QSqlQuery& q, const char* col)
{
    return storedWhole(q.value(QLatin1String(col)), std::numeric_limits<qint64>::min(),
                       std::numeric_limits<qint64>::max())
        .value_or(0);
}

// A byte column (a limit); 0 for NULL or for what no byte holds.
int byteNumber(const QSqlQuery& q, const char* col)
{
    return int(storedWhole(q.value(QLatin1String(col)), 0, 255).value_or(0));
}

bool fail(const QSqlQuery& q, QString* error)
{
    if (error)
        *error = sqlErrorText(q.lastError());
    return false;
}

// Prepares `sql`, binds `values` and runs it; false with the database's reason (a failed prepare
// keeps its own, such as "no such table").
bool run(QSqlQuery& q, const QString& sql, const QVariantList& values, QString* error)
{
    if (!q.prepare(sql))
        return fail(q, error);
    for (const QVariant& v : values)
        q.addBindValue(v);
    return q.exec() || fail(q, error);
}

// SQL's LIKE over whole characters with case folded for every letter: `%` any run of
// characters, `_` any one character, everything else itself.
bool likeMatch(const QList<uint>& text, const QList<uint>& pattern)
{
    qsizetype t = 0, p = 0, starP = -1, starT = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '%') {
            starP = p++;
            starT = t;
        } else if (p < pattern.size() && (pattern[p] == '_' || pattern[p] == text[t])) {
            ++p;
            ++t;
        } else if (starP >= 0) {
            p = starP + 1;
            t = ++starT;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '%')
        ++p;
    return p == pattern.size();
}

QDate storedDate(const QString& s)
{
    QDate d = QDate::fromString(s.left(10), Qt::ISODate);
    if (!d.isValid() && s.size() >= 10) // "dd/mm/yyyy" from older imports
        d = QDate(s.mid(6, 4).toInt(), s.mid(3, 2).toInt(), s.left(2).toInt());
    return d;
}

} // namespace

QString shortDateText(const QString& stored)
{
    const QDate d = storedDate(stored);
    return d.isValid() ? formatSheetDate(d) : QString();
}

QString hourMinuteText(const QString& stored) { return stored.trimmed().left(5); }

RecordsRepository::RecordsRepository(QSqlDatabase db) : db_(std::move(db)) {}

QList<qint32> RecordsRepository::serials(QString* error) const
{
    QList<qint32> out;
    QSqlQuery q(db_);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT LNumeroSerie FROM Programacion ORDER BY LNumeroSerie"))) {
        fail(q, error);
        return {};
    }
    while (q.next())
        if (const std::optional<qint32> serial = storedSerial(q.value(0))) // no other serial can be shown
            out.append(*serial);
    return out;
}

std::optional<DeviceHeader> RecordsRepository::header(qint32 serial, QString* error) const
{
    QSqlQuery q(db_);
    if (!run(q, QStringLiteral("SELECT * FROM Programacion WHERE LNumeroSerie=?"), {serial}, error))
        return std::nullopt;
    if (!q.next())
        return std::nullopt;
    DeviceHeader h;
    h.serial = serial;
    h.fecha = shortDateText(text(q, "DFecha"));
    h.local = text(q, "TLocal");
    h.version = text(q, "TVersion");
    h.telefono = text(q, "TTelefono");
    h.fechaTotales = shortDateText(text(q, "DFechaTotales"));
    h.horaTotales = text(q, "THoraTotales");
    h.pasadasLocal = number(q, "LPasadasLocal");
    h.pasadasVecino = number(q, "LPasadasVecino");
    h.e3 = number(q, "LE3");
    h.cb = number(q, "LCB");
    const char* days[7][2] = {{"TDomingoInicio", "TDomingoFin"},     {"TLunesInicio", "TLunesFin"},
                              {"TMartesInicio", "TMartesFin"},       {"TMiercolesInicio", "TMiercolesFin"},
                              {"TJuevesInicio", "TJuevesFin"},       {"TViernesInicio", "TViernesFin"},
                              {"TSabadoInicio", "TSabadoFin"}};
    for (int d = 0; d < 7; ++d)
        for (int x = 0; x < 2; ++x)
            h.horario[d][x] = text(q, days[d][x]);
    h.horaEmpiezaNoche = text(q, "THoraEmpiezaNoche");
    h.horaTerminaNoche = text(q, "THoraTerminaNoche");
    h.nivelDiaLocal = byteNumber(q, "ByNivelDiaLocal");
    h.nivelNocheLocal = byteNumber(q, "ByNivelNocheLocal");
    return h;
}

InhibitedIntervals RecordsRepository::inhibitedIntervals(qint32 serial, QString* error) const
{
    InhibitedIntervals out;
    QSqlQuery q(db_);
    if (!run(q, QStringLiteral("SELECT ByIntervalo, TDiaEmpiezaInt, THoraEmpiezaInt, TDiaTerminaInt, THoraTerminaInt "
                               "FROM IntervaloInhabil WHERE LNumeroSerie=?"),
             {serial}, error))
        return out;
    while (q.next()) {
        const std::optional<qint64> number = storedWhole(q.value(0), 1, kIntervalCount);
        if (!number || q.value(1).isNull() || q.value(2).isNull() || q.value(3).isNull() || q.value(4).isNull())
            continue; // an unreadable interval keeps the empty markers
        const int i = int(*number) - 1;
        out.fechaIni[i] = q.value(1).toString();
        out.horaIni[i] = hourMinuteText(q.value(2).toString());
        out.fechaFi[i] = q.value(3).toString();
        out.horaFi[i] = hourMinuteText(q.value(4).toString());
    }
    return out;
}

std::optional<qint32> RecordsRepository::search(RecordSearchField field, const QString& typed, QString* error) const
{
    QString column;
    switch (field) {
    case RecordSearchField::NumeroSerie: column = QStringLiteral("CAST(LNumeroSerie AS TEXT)"); break;
    case RecordSearchField::Version: column = QStringLiteral("TVersion"); break;
    case RecordSearchField::Local: column = QStringLiteral("TLocal"); break;
    case RecordSearchField::Fecha:
        column = QStringLiteral("(substr(DFecha,9,2)||'/'||substr(DFecha,6,2)||'/'||substr(DFecha,1,4))");
        break;
    }
    // SQLite's LIKE folds only ASCII letters: the fields are matched here, with every letter's
    // case folded (the table holds one row per device).
    QSqlQuery q(db_);
    q.setForwardOnly(true);
    if (!run(q, QStringLiteral("SELECT LNumeroSerie, %1 FROM Programacion ORDER BY LNumeroSerie").arg(column), {}, error))
        return std::nullopt;
    const QList<uint> pattern = (QLatin1Char('%') + typed.toCaseFolded() + QLatin1Char('%')).toUcs4();
    while (q.next()) {
        const std::optional<qint32> serial = storedSerial(q.value(0));
        if (serial && !q.value(1).isNull() && likeMatch(q.value(1).toString().toCaseFolded().toUcs4(), pattern))
            return *serial;
    }
    if (q.lastError().isValid())
        fail(q, error);
    return std::nullopt;
}

std::optional<QDateTime> RecordsRepository::newestIntervalStart(qint32 serial, QString* error) const
{
    QSqlQuery q(db_);
    if (!run(q, QStringLiteral("SELECT DFechaInicio, THoraInicio FROM Intervalos WHERE LNumeroSerie=? "
                               "ORDER BY DFechaInicio DESC, THoraInicio DESC LIMIT 1"),
             {serial}, error))
        return std::nullopt;
    if (!q.next())
        return std::nullopt;
    const QDate d = storedDate(q.value(0).toString());
    const QString t = q.value(1).toString();
    const QTime time(t.left(2).toInt(), t.mid(3, 2).toInt());
    if (!d.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(d, time, Qt::UTC);
}

bool RecordsRepository::hasIntervals(qint32 serial) const
{
    QSqlQuery q(db_);
    return run(q, QStringLiteral("SELECT 1 FROM Intervalos WHERE LNumeroSerie=? LIMIT 1"), {serial}, nullptr) && q.next();
}

DefaultRange defaultRange(const QDateTime& now, const std::optional<QDateTime>& newestStart)
{
    // Naive wall-clock values: the date and time as they read, without a zone.
    const QDateTime to(now.date(), QTime(now.time().hour(), now.time().minute()), Qt::UTC);
    if (newestStart)
        return {*newestStart, to};
    return {QDateTime(to.date().addDays(-60), to.time(), Qt::UTC), to};
}

} // namespace nbx
