#include "programming/SheetRepository.h"

#include "common/Database.h"
#include "common/Prompter.h"
#include "common/StoredValue.h"
#include "localisation/DatabaseFailure.h"
#include "localisation/Strings.h"
#include "programming/SheetText.h"

#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <cmath>

namespace nbx {

namespace {

// Weekday columns by Weekday (Sunday first): start, end.
const char* const kWeekdayColumns[7][2] = {
    {"TDomingoInicio", "TDomingoFin"},     {"TLunesInicio", "TLunesFin"},   {"TMartesInicio", "TMartesFin"},
    {"TMiercolesInicio", "TMiercolesFin"}, {"TJuevesInicio", "TJuevesFin"}, {"TViernesInicio", "TViernesFin"},
    {"TSabadoInicio", "TSabadoFin"},
};
// Weekday session labels, Sunday first.
constexpr long kWeekdayLabels[7] = {89, 83, 84, 85, 86, 87, 88};

const char* const kOctaveColumns[9] = {"SOctava31,5Hz", "SOctava63Hz", "SOctava125Hz",
                                       "SOctava250Hz",  "SOctava500Hz", "SOctava1kHz",
                                       "SOctava2kHz",   "SOctava4kHz",  "SOctava8kHz"};

const char* const kDeviceTables[] = {"IntervaloInhabil", "Sesiones",        "Intervalos",        "DiaBorrado",
                                     "DiaReprogramado",  "DiaFinalBateria", "DescargaPendiente", "Programacion"};

struct SearchColumn {
    SearchField field;
    const char* control;
    const char* column;
    long labelId;
};
const SearchColumn kSearchColumns[] = {
    {SearchField::NumeroSerie, "MaskNumeroSerie", "LNumeroSerie", 2},
    {SearchField::Version, "MaskVersion", "TVersion", 3},
    {SearchField::Fecha, "MaskFecha", "DFecha", 4},
    {SearchField::Contacto, "MaskContacto", "TContacto", 5},
    {SearchField::Local, "MaskLocal", "TLocal", 6},
    {SearchField::Direccion, "MaskDireccion", "TDireccion", 7},
    {SearchField::Poblacion, "MaskPoblacion", "TPoblacion", 8},
    {SearchField::Telefono, "MaskTelefono", "TTelefono", 9},
};

const SearchColumn& searchColumn(SearchField f)
{
    for (const SearchColumn& c : kSearchColumns)
        if (c.field == f)
            return c;
    return kSearchColumns[0];
}

QString col(const char* name) { return quoteIdentifier(QString::fromUtf8(name)); }

// The reason of a failed query; never empty, so that callers can tell a failure from "none".
QString sqlError(const QSqlQuery& q)
{
    const QString t = sqlErrorText(q.lastError());
    return t.trimmed().isEmpty() ? QStringLiteral("SQL: ") + q.lastQuery() : t;
}

// Runs a prepared query (or `sql` when given); on failure fills `error` with the reason.
bool execOrFail(QSqlQuery& q, QString* error, const QString& sql = QString())
{
    if (sql.isEmpty() ? q.exec() : q.exec(sql))
        return true;
    if (error)
        *error = sqlError(q);
    return false;
}

// Yes/No as stored: -1 or 0.
int yesNo(bool on) { return on ? -1 : 0; }

QString storedDate(const QString& sheetDate)
{
    const std::optional<QDate> d = parseSheetDate(sheetDate);
    return d ? d->toString(Qt::ISODate) : QString();
}

QString actionTime(const QString& text, const QLocale& locale)
{
    const std::optional<quint8> v = byteValue(text, locale);
    return QStringLiteral("%1").arg(int(v.value_or(0)), 2, 10, QLatin1Char('0'));
}

// The seconds of a stored "LeqNNs" action type ("Leq05s" gives "05"); none for any other text.
std::optional<QString> actionSeconds(const QString& stored)
{
    static const QRegularExpression re(QStringLiteral("^Leq(\\d{1,2})s$"));
    const QRegularExpressionMatch m = re.match(stored);
    if (!m.hasMatch())
        return std::nullopt;
    return m.captured(1);
}

// A column read as the box shows it: NULL as an empty text, numbers as their decimal text.
QString numberText(const QVariant& v)
{
    if (v.isNull())
        return QString();
    bool ok = false;
    const double d = v.toDouble(&ok);
    if (!ok)
        return v.toString();
    if (d == std::floor(d) && std::abs(d) < 1e15)
        return QString::number(qint64(d));
    return QString::number(d);
}

QString octaveText(const QVariant& v, const QLocale& locale)
{
    if (v.isNull())
        return QString();
    bool ok = false;
    const double d = v.toDouble(&ok);
    if (!ok)
        return v.toString();
    QLocale loc = locale;
    loc.setNumberOptions(QLocale::OmitGroupSeparator);
    return loc.toString(d, 'g', 7);
}

// An interval time as stored ("hh:mm", or a date-time from an import) normalised to "hh:mm".
QString intervalTime(const QVariant& v)
{
    if (v.isNull() || v.toString().trimmed().isEmpty())
        return kEmptyIntervalTime;
    static const QRegularExpression re(QStringLiteral("(\\d{1,2}):(\\d{1,2})"));
    const QString t = v.toString();
    const QRegularExpressionMatch m = re.match(t);
    if (!m.hasMatch())
        return t;
    return fmtTime(m.captured(1).toInt(), m.captured(2).toInt());
}

QString intervalDate(const QVariant& v)
{
    if (v.isNull() || v.toString().trimmed().isEmpty())
        return kEmptyIntervalDate;
    return v.toString();
}

// `query` ended by the condition that keeps the serials a sheet can show: navigation passes over
// any beyond 32 bits (left by another program).
QString shownSerials(const char* query)
{
    return QLatin1String(query) + QStringLiteral(" LNumeroSerie BETWEEN -2147483648 AND 2147483647");
}

std::optional<qint32> scalarSerial(const QSqlDatabase& db, const QString& sql, std::optional<qint32> bound,
                                   QString* error)
{
    QSqlQuery q(db);
    q.prepare(sql);
    if (bound)
        q.addBindValue(*bound);
    if (!execOrFail(q, error) || !q.next())
        return std::nullopt;
    return storedSerial(q.value(0));
}

} // namespace

std::optional<SearchField> searchFieldFromControl(const QString& campoActual)
{
    for (const SearchColumn& c : kSearchColumns)
        if (campoActual == QLatin1String(c.control))
            return c.field;
    return std::nullopt;
}

QString searchPrompt(SearchField field) { return GetS(20) + QLatin1Char(' ') + GetS(searchColumn(field).labelId); }

qint32 sheetSerial(const SheetValues& sheet)
{
    bool ok = false;
    const qlonglong v = sheet.numeroSerie.trimmed().toLongLong(&ok);
    if (!ok || v < INT32_MIN || v > INT32_MAX)
        return 0;
    return qint32(v);
}

QString validateForSave(const SheetValues& s, const QLocale& locale)
{
    const qint32 serial = sheetSerial(s);
    if (serial < 1 || serial > 999999)
        return invalidFieldMessage(2);
    if (!parseSheetDate(s.fecha))
        return invalidFieldMessage(4);
    const struct {
        const QString* text;
        int width;
        long labelId;
    } texts[] = {{&s.contacto, 30, 5},   {&s.local, 30, 6},     {&s.direccion, 30, 7},
                 {&s.poblacion, 30, 8},  {&s.telefono, 15, 9},  {&s.version, 5, 3},
                 {&s.empiezaNoche, 5, 78}, {&s.terminaNoche, 5, 79}};
    for (const auto& t : texts)
        if (t.text->size() > t.width)
            return invalidFieldMessage(t.labelId);
    for (int d = 0; d < 7; ++d)
        if (s.horarioIni[d].size() > 5 || s.horarioFi[d].size() > 5)
            return invalidFieldMessage(kWeekdayLabels[d]);
    const struct {
        const QString* text;
        long labelId;
    } bytes[] = {{&s.diaLocal, 102}, {&s.diaVei, 103}, {&s.nitLocal, 104}, {&s.nitVei, 105},
                 {&s.tLeq, 10},      {&s.mFast, 77},   {&s.rings, 170}};
    for (const auto& b : bytes)
        if (!byteValue(*b.text, locale))
            return invalidFieldMessage(b.labelId);
    const std::optional<double> att = boxNumber(s.tiempoAtenuacion, locale);
    if (!att || std::nearbyint(*att) < -32768 || std::nearbyint(*att) > 32767)
        return invalidFieldMessage(80);
    if (s.optionLocal == LocalAction::Leq1s && !byteValue(s.tempsActLoc, locale))
        return invalidFieldMessage(65);
    if (s.optionVei == VecinoAction::Leq1s && !byteValue(s.tempsActVei, locale))
        return invalidFieldMessage(66);
    for (int m = 0; m < 9; ++m)
        if (!boxNumber(s.octavas[m], locale)) // an empty box is no value, as for the levels
            return invalidFieldMessage(161 + m);
    return QString();
}

SheetRepository::SheetRepository(QSqlDatabase db) : db_(std::move(db)) {}

bool SheetRepository::exists(qint32 serial, QString* error) const
{
    QSqlQuery q(db_);
    q.prepare(QStringLiteral("SELECT 1 FROM Programacion WHERE LNumeroSerie = ?"));
    q.addBindValue(serial);
    if (!execOrFail(q, error))
        return false;
    return q.next();
}

bool SheetRepository::load(qint32 serial, SheetValues& sheet, QString* error, const QLocale& locale) const
{
    QSqlQuery q(db_);
    q.prepare(QStringLiteral("SELECT * FROM Programacion WHERE LNumeroSerie = ?"));
    q.addBindValue(serial);
    if (!execOrFail(q, error))
        return false;
    if (!q.next()) {
        if (error)
            *error = GetS(29) + QLatin1Char(' ') + QString::number(serial);
        return false;
    }
    auto v = [&](const char* name) { return q.value(QString::fromUtf8(name)); };
    auto text = [&](const char* name) { return v(name).isNull() ? QString() : v(name).toString(); };

    SheetValues s = sheet;
    s.numeroSerie = QString::number(serial);
    const QDate fecha = QDate::fromString(text("DFecha").left(10), Qt::ISODate);
    s.fecha = fecha.isValid() ? formatSheetDate(fecha) : QString();
    s.contacto = text("TContacto");
    s.local = text("TLocal");
    s.direccion = text("TDireccion");
    s.poblacion = text("TPoblacion");
    s.telefono = text("TTelefono");
    s.nota = text("TNota");
    s.version = text("TVersion");
    if (hasCmi(s.version)) {
        s.cmiVisible = true;
        s.cmi = v("CMI").toDouble() != 0 ? 1 : 0; // any non-zero value is yes
    } else {
        s.cmiVisible = false;
    }
    s.cambioHora = v("BoCambioHora").toDouble() != 0 ? 1 : 0;

    const QString local = text("TTipoActuacionLocal");
    if (const std::optional<QString> t = actionSeconds(local)) {
        s.optionLocal = LocalAction::Leq1s;
        s.tempsActLoc = *t;
    } else {
        s.optionLocal = LocalAction::Leq125;
    }
    const QString vecino = text("TTipoActuacionVecino");
    if (vecino == QLatin1String("Leq125ms")) {
        s.optionVei = VecinoAction::Leq125;
    } else if (const std::optional<QString> t = actionSeconds(vecino)) {
        s.optionVei = VecinoAction::Leq1s;
        s.tempsActVei = *t;
    } else {
        s.optionVei = VecinoAction::No;
    }
    s.tLeq = numberText(v("ByTLeq"));
    s.mFast = numberText(v("ByMFast"));
    for (int d = 0; d < 7; ++d) {
        s.horarioIni[d] = text(kWeekdayColumns[d][0]);
        s.horarioFi[d] = text(kWeekdayColumns[d][1]);
    }
    s.diaLocal = numberText(v("ByNivelDiaLocal"));
    s.diaVei = numberText(v("ByNivelDiaVecino"));
    s.empiezaNoche = text("THoraEmpiezaNoche");
    s.terminaNoche = text("THoraTerminaNoche");
    s.empiezaDia = s.terminaNoche;
    s.terminaDia = s.empiezaNoche;
    s.nitLocal = numberText(v("ByNivelNocheLocal"));
    s.nitVei = numberText(v("ByNivelNocheVecino"));
    s.tiempoAtenuacion = numberText(v("ITiempoAtenuacion"));
    s.rings = numberText(v("ByRings"));
    for (int m = 0; m < 9; ++m)
        s.octavas[m] = octaveText(v(kOctaveColumns[m]), locale);

    // Intervals: a slot without a row is empty; a failed query fails the load.
    s.intervals.clear();
    QSqlQuery iq(db_);
    iq.prepare(QStringLiteral("SELECT ByIntervalo, TDiaEmpiezaInt, THoraEmpiezaInt, TDiaTerminaInt, THoraTerminaInt "
                              "FROM IntervaloInhabil WHERE LNumeroSerie = ? AND ByIntervalo BETWEEN 1 AND 30 "
                              "ORDER BY ByIntervalo"));
    iq.addBindValue(serial);
    if (!execOrFail(iq, error))
        return false;
    while (iq.next()) {
        const std::optional<qint64> number = storedWhole(iq.value(0), 1, kIntervalCount);
        if (!number)
            continue; // the slot is tested here, not left to the query's filter
        const int i = int(*number) - 1;
        s.intervals.fechaIni[i] = intervalDate(iq.value(1));
        s.intervals.horaIni[i] = intervalTime(iq.value(2));
        s.intervals.fechaFi[i] = intervalDate(iq.value(3));
        s.intervals.horaFi[i] = intervalTime(iq.value(4));
    }
    sheet = s;
    return true;
}

bool SheetRepository::save(const SheetValues& s, const QDateTime& now, QString* error, const QLocale& locale)
{
    lastSaveCode_ = 0;
    const QString invalid = validateForSave(s, locale);
    if (!invalid.isEmpty()) {
        if (error)
            *error = invalid;
        return false;
    }
    const qint32 serial = sheetSerial(s);

    // Sheet columns and their values, in the order the sheet writes them.
    QStringList columns;
    QVariantList values;
    auto set = [&](const char* column, const QVariant& value) {
        columns << col(column);
        values << value;
    };
    auto byte = [&](const QString& t) { return QVariant(int(*byteValue(t, locale))); };
    set("DFecha", storedDate(s.fecha));
    set("TModelo", QStringLiteral("NBX70"));
    set("TContacto", s.contacto);
    set("TLocal", s.local);
    set("TDireccion", s.direccion);
    set("TPoblacion", s.poblacion);
    set("TTelefono", s.telefono);
    set("TNota", s.nota);
    set("TVersion", s.version);
    if (hasCmi(s.version))
        set("CMI", yesNo(s.cmi == 1));
    set("BoCambioHora", yesNo(s.cambioHora == 1));
    if (s.optionLocal == LocalAction::Leq1s)
        set("TTipoActuacionLocal", QStringLiteral("Leq") + actionTime(s.tempsActLoc, locale) + QLatin1Char('s'));
    else if (s.optionLocal == LocalAction::Leq125)
        set("TTipoActuacionLocal", QStringLiteral("Leq125ms"));
    if (s.optionVei == VecinoAction::No)
        set("TTipoActuacionVecino", QStringLiteral("0"));
    else if (s.optionVei == VecinoAction::Leq1s)
        set("TTipoActuacionVecino", QStringLiteral("Leq") + actionTime(s.tempsActVei, locale) + QLatin1Char('s'));
    else
        set("TTipoActuacionVecino", QStringLiteral("Leq125ms"));
    set("TIdioma", QStringLiteral("Español"));
    set("ByTLeq", byte(s.tLeq));
    set("ByMFast", byte(s.mFast));
    set("BoImpresion", yesNo(false));
    for (int d : {Lunes, Martes, Miercoles, Jueves, Viernes, Sabado, Domingo}) {
        set(kWeekdayColumns[d][0], s.horarioIni[d]);
        set(kWeekdayColumns[d][1], s.horarioFi[d]);
    }
    set("ByNivelDiaLocal", byte(s.diaLocal));
    set("ByNivelDiaVecino", byte(s.diaVei));
    set("THoraEmpiezaNoche", s.empiezaNoche);
    set("THoraTerminaNoche", s.terminaNoche);
    set("ByNivelNocheLocal", byte(s.nitLocal));
    set("ByNivelNocheVecino", byte(s.nitVei));
    set("ITiempoAtenuacion", int(std::nearbyint(*boxNumber(s.tiempoAtenuacion, locale))));
    set("ByRings", byte(s.rings));
    for (int m = 0; m < 9; ++m) {
        const double v = boxNumber(s.octavas[m], locale).value_or(0.0);
        set(kOctaveColumns[m], std::nearbyint(v * 10.0) / 10.0);
    }

    if (!beginWrite(db_, error, &lastSaveCode_))
        return false;
    auto fail = [&](const QSqlQuery& failed) {
        rollbackWrite(db_);
        if (error)
            *error = sqlErrorText(failed.lastError());
        lastSaveCode_ = sqlErrorCode(failed.lastError());
        return false;
    };

    QString existsError;
    const bool found = exists(serial, &existsError);
    if (!existsError.isEmpty()) {
        rollbackWrite(db_);
        if (error)
            *error = existsError;
        return false;
    }
    QSqlQuery q(db_);
    if (found) {
        QStringList assignments;
        for (const QString& c : columns)
            assignments << c + QStringLiteral(" = ?");
        q.prepare(QStringLiteral("UPDATE Programacion SET %1 WHERE LNumeroSerie = ?").arg(assignments.join(QStringLiteral(", "))));
        for (const QVariant& value : values)
            q.addBindValue(value);
        q.addBindValue(serial);
    } else {
        QStringList all = columns;
        QVariantList allValues = values;
        const struct {
            const char* column;
            QVariant value;
        } totals[] = {{"LNumeroSerie", serial},
                      {"DFechaTotales", now.date().toString(Qt::ISODate)},
                      {"THoraTotales", now.time().toString(QStringLiteral("HH:mm:ss"))},
                      {"LPasadasLocal", 0},
                      {"LPasadasVecino", 0},
                      {"LE3", 0},
                      {"LCB", 0}};
        for (const auto& t : totals) {
            all << col(t.column);
            allValues << t.value;
        }
        QStringList marks;
        for (int i = 0; i < all.size(); ++i)
            marks << QStringLiteral("?");
        q.prepare(QStringLiteral("INSERT INTO Programacion (%1) VALUES (%2)")
                      .arg(all.join(QStringLiteral(", ")), marks.join(QStringLiteral(", "))));
        for (const QVariant& value : allValues)
            q.addBindValue(value);
    }
    if (!q.exec())
        return fail(q);

    QSqlQuery iq(db_);
    iq.prepare(QStringLiteral(
        "INSERT INTO IntervaloInhabil (LNumeroSerie, ByIntervalo, TDiaEmpiezaInt, THoraEmpiezaInt, TDiaTerminaInt, "
        "THoraTerminaInt) VALUES (?, ?, ?, ?, ?, ?) ON CONFLICT (LNumeroSerie, ByIntervalo) DO UPDATE SET "
        "TDiaEmpiezaInt = excluded.TDiaEmpiezaInt, THoraEmpiezaInt = excluded.THoraEmpiezaInt, "
        "TDiaTerminaInt = excluded.TDiaTerminaInt, THoraTerminaInt = excluded.THoraTerminaInt"));
    for (int i = 0; i < kIntervalCount; ++i) {
        iq.addBindValue(serial);
        iq.addBindValue(i + 1);
        iq.addBindValue(s.intervals.fechaIni[i].left(8));
        iq.addBindValue(s.intervals.horaIni[i]);
        iq.addBindValue(s.intervals.fechaFi[i].left(8));
        iq.addBindValue(s.intervals.horaFi[i]);
        if (!iq.exec())
            return fail(iq);
    }
    return commitWrite(db_, error, &lastSaveCode_);
}

bool SheetRepository::deleteDevice(qint32 serial, QString* error)
{
    if (!beginWrite(db_, error))
        return false;
    for (const char* table : kDeviceTables) {
        QSqlQuery q(db_);
        q.prepare(QStringLiteral("DELETE FROM %1 WHERE LNumeroSerie = ?").arg(col(table)));
        q.addBindValue(serial);
        if (!q.exec()) {
            const QString why = sqlError(q);
            rollbackWrite(db_);
            if (error)
                *error = why;
            return false;
        }
    }
    return commitWrite(db_, error);
}

QList<qint32> SheetRepository::orderedSerials(QString* error) const
{
    QList<qint32> out;
    QSqlQuery q(db_);
    if (!execOrFail(q, error, QStringLiteral("SELECT LNumeroSerie FROM Programacion ORDER BY LNumeroSerie")))
        return out;
    while (q.next())
        if (const std::optional<qint32> serial = storedSerial(q.value(0))) // no other serial can be shown
            out << *serial;
    return out;
}

std::optional<qint32> SheetRepository::first(QString* error) const
{
    return scalarSerial(db_, shownSerials("SELECT MIN(LNumeroSerie) FROM Programacion WHERE"), std::nullopt, error);
}

std::optional<qint32> SheetRepository::last(QString* error) const
{
    return scalarSerial(db_, shownSerials("SELECT MAX(LNumeroSerie) FROM Programacion WHERE"), std::nullopt, error);
}

std::optional<qint32> SheetRepository::next(qint32 from, QString* error) const
{
    return scalarSerial(db_, shownSerials("SELECT MIN(LNumeroSerie) FROM Programacion WHERE LNumeroSerie > ? AND"), from,
                        error);
}

std::optional<qint32> SheetRepository::previous(qint32 from, QString* error) const
{
    return scalarSerial(db_, shownSerials("SELECT MAX(LNumeroSerie) FROM Programacion WHERE LNumeroSerie < ? AND"), from,
                        error);
}

std::optional<qint32> SheetRepository::search(SearchField field, const QString& text, QString* error) const
{
    const SearchColumn& sc = searchColumn(field);
    QSqlQuery q(db_);
    if (!execOrFail(q, error,
                    QStringLiteral("SELECT LNumeroSerie, %1 FROM Programacion ORDER BY LNumeroSerie").arg(col(sc.column))))
        return std::nullopt;
    while (q.next()) {
        const std::optional<qint32> serial = storedSerial(q.value(0));
        if (!serial)
            continue;
        const QVariant v = q.value(1);
        QStringList shown;
        if (field == SearchField::Fecha) {
            const QDate d = QDate::fromString(v.toString().left(10), Qt::ISODate);
            if (d.isValid())
                shown << formatSheetDate(d) << d.toString(QStringLiteral("dd/MM/yyyy"));
        } else if (field == SearchField::NumeroSerie) {
            shown << QString::number(*serial);
        } else if (!v.isNull()) {
            shown << v.toString();
        }
        for (const QString& t : shown)
            if (t.contains(text, Qt::CaseInsensitive))
                return *serial;
    }
    return std::nullopt;
}

bool GrabaProgramacio(const SheetValues& sheet, ProgrammingState& state, SheetRepository& repo, const Clock& now)
{
    QString error;
    if (!repo.save(sheet, now(), &error)) {
        // A refused sheet says what to mend; a database that failed says what and why.
        if (repo.lastSaveCode() != 0)
            reportDatabaseFailure(DatabaseTask::Save, {}, repo.lastSaveCode(), error);
        else
            prompter().message(error, Prompter::Icon::Critical);
        return false;
    }
    state.fichaModificada = false;
    return true;
}

bool CarregaProgramacio(qint32 serial, SheetValues& sheet, ProgrammingState& state, const SheetRepository& repo,
                        const Clock& now)
{
    QString error;
    SheetValues loaded = sheet;
    if (!repo.load(serial, loaded, &error)) {
        reportFailureText(DatabaseTask::Read, error);
        return false;
    }
    loaded.textFecha = formatSheetDate(now().date());
    loaded.textHora = formatLongTime(now().time());
    sheet = loaded;
    state.fichaModificada = false;
    return true;
}

bool BorraFicha(qint32 serial, SheetRepository& repo)
{
    QString error;
    if (!repo.deleteDevice(serial, &error)) {
        reportFailureText(DatabaseTask::Save, error);
        return false;
    }
    return true;
}

} // namespace nbx
