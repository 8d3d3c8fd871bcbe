#include "records/LevelGraph.h"

#include "common/Database.h"
#include "localisation/Strings.h"

#include <QDate>
#include <QSqlError>
#include <QVariant>
#include <algorithm>
#include <cmath>
#include <limits>

namespace nbx {

namespace {

// A record's start as naive seconds (Julian day and time of day, no time zone, so a
// daylight-saving day neither loses nor gains an hour); none when the date or time is missing or
// not a valid moment.
std::optional<qint64> naiveStart(const GraphRecord& r)
{
    const QDate date = QDate::fromString(r.fechaInicio.trimmed(), Qt::ISODate);
    if (!date.isValid())
        return std::nullopt;
    const QStringList parts = r.horaInicio.trimmed().split(QLatin1Char(':'));
    if (parts.size() < 2 || parts.size() > 3)
        return std::nullopt;
    int hms[3] = {0, 0, 0};
    for (int k = 0; k < parts.size(); ++k) {
        bool ok = false;
        hms[k] = parts[k].toInt(&ok);
        if (!ok || hms[k] < 0)
            return std::nullopt;
    }
    if (hms[0] > 23 || hms[1] > 59 || hms[2] > 59)
        return std::nullopt;
    return date.toJulianDay() * 86400 + hms[0] * 3600 + hms[1] * 60 + hms[2];
}

QString pointLabel(const GraphRecord& r)
{
    const QDate date = QDate::fromString(r.fechaInicio.trimmed(), Qt::ISODate);
    if (!date.isValid() || r.horaInicio.trimmed().isEmpty())
        return QStringLiteral(" ");
    return date.toString(QStringLiteral("dd.MM.yy")) + QStringLiteral("  ") + r.horaInicio
           + QStringLiteral(" <> ") + r.horaFinal;
}

// A level series value: no value for NULL, the under-range code 59 as -2 where the series has it.
double levelValue(const std::optional<double>& v, bool underRangeCode)
{
    if (!v)
        return kGraphNoValue;
    if (underRangeCode && *v == 59.0)
        return kGraphUnderRange;
    return *v;
}

double limitValue(const std::optional<int>& v)
{
    return v ? double(*v) : kGraphNoValue;
}

qint16 toInt16(int v)
{
    return qint16(std::clamp(v, int(std::numeric_limits<qint16>::min()), int(std::numeric_limits<qint16>::max())));
}

quint8 toByte(int v)
{
    return quint8(std::clamp(v, 0, 255));
}

double counterFlag(qint16 v) { return v >= 1 ? 1.0 : 0.0; }
double byteFlag(quint8 v) { return (v >= 1 && v <= 254) ? 1.0 : 0.0; }

QString oneDecimal(float level, const QLocale& locale)
{
    QLocale l(locale);
    l.setNumberOptions(l.numberOptions() | QLocale::OmitGroupSeparator);
    return l.toString(double(level), 'f', 1);
}

} // namespace

GraphValues::GraphValues()
{
    pointLabels.fill(QString());
}

void Dibuixa(const QList<GraphRecord>& window, GraphValues& values)
{
    const int n = std::min<int>(int(window.size()), kGraphPoints);
    auto& noData = values.group2[5];

    std::optional<qint64> expected = n > 0 ? naiveStart(window[0]) : std::nullopt;
    for (int i = 0; i < n; ++i) {
        const GraphRecord& r = window[i];

        // Gap rule: a start other than the expected one marks this point and the one before.
        const std::optional<qint64> start = naiveStart(r);
        if (start && expected && *start != *expected) {
            noData[i] = kGraphNoDataMarker;
            if (i > 0)
                noData[i - 1] = kGraphNoDataMarker;
        } else {
            noData[i] = kGraphNoValue;
        }
        expected = start;

        values.pointLabels[i] = pointLabel(r);

        auto& lv = values.levels;
        if (r.e3 != 0) {
            for (int s : {0, 1, 2, 6, 7})
                lv[s][i] = kGraphNoValue;
            for (int s = 0; s < 5; ++s)
                values.group2[s][i] = kGraphNoValue;
        } else {
            lv[0][i] = levelValue(r.leqLocal, true);
            lv[1][i] = levelValue(r.leqVecino, false);
            lv[2][i] = levelValue(r.maxFast, true);
            lv[6][i] = levelValue(r.maxLeq1min, true);
            lv[7][i] = levelValue(r.minLeq1min, true);
            for (int s = 0; s < 5; ++s)
                values.group2[s][i] = levelValue(r.statistical[s], true);
        }
        if (r.nivelLeqLocal == 255) {
            lv[3][i] = kGraphNoValue;
            lv[4][i] = kGraphNoValue;
        } else {
            lv[3][i] = limitValue(r.nivelLeqLocal);
            lv[4][i] = limitValue(r.nivelLeqVecino);
        }
        lv[5][i] = limitValue(r.nivelMFast);

        GraphPointEvents& ev = values.pointEvents[i];
        ev.desco = toInt16(r.desco);
        ev.pasadasLocal = toInt16(r.pasadasLocal);
        ev.pasadasVecino = toInt16(r.pasadasVecino);
        ev.e3 = toInt16(r.e3);
        ev.pasMaxFast = toInt16(r.pasMaxFast);
        ev.lineaInsuficiente = toByte(r.lineaInsuficiente);
        ev.dna = toByte(r.dna);
        ev.ena = toByte(r.ena);
        values.events[0][i] = counterFlag(ev.desco);
        values.events[1][i] = counterFlag(ev.pasadasLocal);
        values.events[2][i] = counterFlag(ev.pasadasVecino);
        values.events[3][i] = counterFlag(ev.e3);
        values.events[4][i] = counterFlag(ev.pasMaxFast);
        values.events[5][i] = byteFlag(ev.lineaInsuficiente);
        values.events[6][i] = byteFlag(ev.dna);
        values.events[7][i] = byteFlag(ev.ena);

        // The next record is expected this record's start plus the next record's own length; a
        // missing length or start leaves nothing to compare it with.
        if (i + 1 < n) {
            const std::optional<int>& t = window[i + 1].tLeq;
            expected = (expected && t) ? std::optional<qint64>(*expected + qint64(*t) * 60) : std::nullopt;
        }
    }

    for (int j = n; j < kGraphPoints; ++j) {
        values.pointLabels[j] = QStringLiteral(" ");
        for (auto& s : values.levels)
            s[j] = kGraphNoValue;
        for (auto& s : values.group2)
            s[j] = kGraphNoValue;
        for (auto& s : values.events)
            s[j] = 0.0;
    }
}

GraphSliderRange graphSliderRange(int recordCount)
{
    GraphSliderRange r;
    if (recordCount < 51) {
        r.minimum = -1;
        r.maximum = 0;
    } else {
        r.maximum = recordCount - kGraphPoints;
        r.minimum = 0;
    }
    r.value = r.maximum;
    return r;
}

QString UndOrUp(float level, const QLocale& locale)
{
    if (level == -1.0f || level == 0.0f)
        return QStringLiteral("---");
    if (level < 60.0f)
        return QStringLiteral("UND");
    if (level <= 120.0f)
        return oneDecimal(level, locale);
    return QStringLiteral("UP");
}

QString UndOrUp2(float level, const QLocale& locale)
{
    if (level == -1.0f)
        return QStringLiteral("---");
    if (level <= 120.0f)
        return oneDecimal(level, locale);
    return QStringLiteral("UP");
}

LevelReadout levelReadout(const GraphValues& values, int point)
{
    const int i = point - 1;
    LevelReadout r{};
    if (i < 0 || i >= kGraphPoints)
        return r;
    const auto& lv = values.levels;
    r = {float(lv[0][i]), float(lv[1][i]), float(lv[2][i]), float(lv[6][i]), float(lv[7][i]),
         float(values.group2[0][i]), float(values.group2[1][i]), float(values.group2[2][i]),
         float(values.group2[3][i]), float(values.group2[4][i])};
    return r;
}

QString levelLabelText(const LevelReadout& v, const QLocale& locale)
{
    const QChar cr(13);
    QString t = GetS(55) + QLatin1Char(':') + UndOrUp(v[0], locale);
    t += QLatin1Char(' ') + GetS(58) + QLatin1Char(':') + UndOrUp2(v[1], locale);
    t += QLatin1Char(' ') + GetS(14) + QLatin1Char(':') + UndOrUp(v[2], locale);
    t += QLatin1Char(' ') + GetS(12) + QLatin1Char(':') + UndOrUp(v[3], locale);
    t += QLatin1Char(' ') + GetS(13) + QLatin1Char(':') + UndOrUp(v[4], locale);
    t += cr;
    t += cr;
    t += QStringLiteral("L1:") + UndOrUp(v[5], locale);
    t += QStringLiteral(" L5:") + UndOrUp(v[6], locale);
    t += QStringLiteral(" L10:") + UndOrUp(v[7], locale);
    t += QStringLiteral(" L50:") + UndOrUp(v[8], locale);
    t += QStringLiteral(" L90:") + UndOrUp(v[9], locale);
    return t;
}

QString eventLabelText(const GraphPointEvents& e)
{
    const bool uncalibrated = e.lineaInsuficiente == 255;
    const QString dash = QStringLiteral("--");
    QStringList items;
    items << GetS(50) + QString::number(e.desco) << GetS(51) + QString::number(e.pasadasLocal)
          << GetS(52) + QString::number(e.pasadasVecino) << GetS(53) + QString::number(e.e3)
          << GetS(54) + QString::number(e.pasMaxFast)
          << GetS(120) + (uncalibrated ? dash : QString::number(e.lineaInsuficiente))
          << GetS(121) + (uncalibrated ? dash : QString::number(e.dna) + QLatin1Char('\''))
          << GetS(122) + (uncalibrated ? dash : QString::number(e.ena) + QLatin1Char('\''));
    return items.join(QLatin1Char(' '));
}

int levelLabelAnchor(int point)
{
    if (point < 22)
        return 17;
    return point <= 28 ? 16 : 18;
}

int eventLabelAnchor(int point)
{
    if (point < 20)
        return 33;
    return point <= 29 ? 32 : 34;
}

GraphLabelAction graphMouseAction(bool overLevelChart, double dx, double dy, int region)
{
    GraphLabelAction a;
    if (region != kChartPlotRegion || !(dx > 0.0)) {
        a.kind = GraphLabelAction::Hide;
        return a;
    }
    if (dx > kGraphPoints + 1)
        return a;  // far right of the points: nothing changes
    const int p = int(std::nearbyint(dx));  // halves to even
    if (p < 1 || p > kGraphPoints)
        return a;
    a.kind = GraphLabelAction::Show;
    a.point = p;
    a.levelY = overLevelChart ? std::max(dy, 20.0) : 21.0;
    return a;
}

// ---- database ----

namespace {

std::optional<double> realValue(const QVariant& v)
{
    if (v.isNull())
        return std::nullopt;
    bool ok = false;
    const double d = v.toDouble(&ok);
    return ok ? std::optional<double>(d) : std::nullopt;
}

std::optional<int> intValue(const QVariant& v)
{
    const std::optional<double> d = realValue(v);
    if (!d || !std::isfinite(*d))
        return std::nullopt;
    // Clamped before it is rounded: no integer holds a huge real.
    return int(std::llround(std::clamp(*d, -2147483647.0, 2147483647.0)));
}

int counterValue(const QVariant& v)
{
    return intValue(v).value_or(0);
}

// One window of 50 records. The inner query walks the key's index alone (covering: no table row
// is read for the skipped ones), from the nearer end of the history, so that reading a window
// costs at most half the history's index entries; the outer one reads the 50 rows oldest first.
QString windowSql(bool fromNewest)
{
    const QString dir = fromNewest ? QStringLiteral(" DESC") : QString();
    return QStringLiteral(
               "SELECT DFechaInicio, THoraInicio, THoraFinal, ByTLeq, SLeqLocal, SLeqVecino, SMaxFast,"
               " SMaxLeq1min, SMinLeq1min, SL1, SL5, SL10, SL50, SL90, ByNivelLeqLocal, ByNivelLeqVecino,"
               " ByNivelMFast, IDesco, IPasadasLocal, IPasadasVecino, IE3, IPasMaxFast, ByLineaInsuficiente,"
               " ByDNA, ByENA FROM Intervalos WHERE LNumeroSerie = ? AND (DFechaInicio, THoraInicio) IN"
               " (SELECT DFechaInicio, THoraInicio FROM Intervalos WHERE LNumeroSerie = ?"
               " ORDER BY DFechaInicio%1, THoraInicio%1 LIMIT 50 OFFSET ?)"
               " ORDER BY DFechaInicio, THoraInicio")
        .arg(dir);
}

} // namespace

IntervalGraphSource::IntervalGraphSource(QSqlDatabase db, qint32 serial) : db_(std::move(db)), serial_(serial) {}

std::optional<int> IntervalGraphSource::count(QString* error)
{
    QSqlQuery q(db_);
    q.setForwardOnly(true);
    if (!q.prepare(QStringLiteral("SELECT COUNT(*) FROM Intervalos WHERE LNumeroSerie = ?"))) {
        if (error)
            *error = sqlErrorText(q.lastError());
        return std::nullopt;
    }
    q.addBindValue(serial_);
    if (!q.exec() || !q.next()) {
        if (error)
            *error = sqlErrorText(q.lastError());
        return std::nullopt;
    }
    count_ = q.value(0).toInt();
    return count_;
}

bool IntervalGraphSource::window(int offset, QList<GraphRecord>& records, QString* error)
{
    records.clear();
    offset = std::max(offset, 0);
    // From the newest end when that is nearer (the count read last tells where it is).
    const int fromEnd = count_ ? *count_ - kGraphPoints - offset : -1;
    const bool fromNewest = fromEnd >= 0 && fromEnd < offset;
    std::optional<QSqlQuery>& prepared = fromNewest ? newestQuery_ : oldestQuery_;
    if (!prepared) {
        prepared.emplace(db_);
        prepared->setForwardOnly(true);
        if (!prepared->prepare(windowSql(fromNewest))) {
            if (error)
                *error = sqlErrorText(prepared->lastError());
            prepared.reset();
            return false;
        }
    }
    QSqlQuery& q = *prepared;
    q.bindValue(0, serial_);
    q.bindValue(1, serial_);
    q.bindValue(2, fromNewest ? fromEnd : offset);
    if (!q.exec()) {
        if (error)
            *error = sqlErrorText(q.lastError());
        return false;
    }
    while (q.next()) {
        GraphRecord r;
        r.fechaInicio = q.value(0).toString();
        r.horaInicio = q.value(1).toString();
        r.horaFinal = q.value(2).toString();
        r.tLeq = intValue(q.value(3));
        r.leqLocal = realValue(q.value(4));
        r.leqVecino = realValue(q.value(5));
        r.maxFast = realValue(q.value(6));
        r.maxLeq1min = realValue(q.value(7));
        r.minLeq1min = realValue(q.value(8));
        for (int s = 0; s < 5; ++s)
            r.statistical[s] = realValue(q.value(9 + s));
        r.nivelLeqLocal = intValue(q.value(14));
        r.nivelLeqVecino = intValue(q.value(15));
        r.nivelMFast = intValue(q.value(16));
        r.desco = counterValue(q.value(17));
        r.pasadasLocal = counterValue(q.value(18));
        r.pasadasVecino = counterValue(q.value(19));
        r.e3 = counterValue(q.value(20));
        r.pasMaxFast = counterValue(q.value(21));
        r.lineaInsuficiente = counterValue(q.value(22));
        r.dna = counterValue(q.value(23));
        r.ena = counterValue(q.value(24));
        records.append(std::move(r));
    }
    if (q.lastError().isValid()) {
        if (error)
            *error = sqlErrorText(q.lastError());
        records.clear();
        return false;
    }
    q.finish();
    return true;
}

} // namespace nbx
