#include "records/RecordColumns.h"

#include "common/Database.h"
#include "localisation/Strings.h"
#include "records/RecordFrames.h"

#include <QDate>
#include <QLocale>
#include <QStringList>
#include <cmath>

namespace nbx {

namespace {

constexpr quint32 rgb(int r, int g, int b) { return 0xFF000000u | quint32(r) << 16 | quint32(g) << 8 | quint32(b); }
constexpr quint32 kBlueC = rgb(220, 220, 255), kBlueH = rgb(150, 150, 255), kPinkC = rgb(255, 220, 220),
    kYelC = rgb(251, 248, 200), kYelH = rgb(251, 248, 150), kGrnC = rgb(220, 255, 220), kGrnH = rgb(150, 255, 150),
    kCyanC = rgb(96, 253, 253), kCyanH = rgb(3, 233, 233), kVioC = rgb(251, 205, 252), kVioH = rgb(245, 152, 248),
    kRedH = rgb(255, 150, 150), kDBlueH = rgb(108, 179, 236), kLBlueC = rgb(180, 216, 245);

// How DisenyaGrids builds a caption: GetS(id1), then CR and GetS(id2) or CR and a piece; a
// literal piece alone; or the current caption (kept, or with CR "min").
struct Caption {
    int id1 = 0;
    int id2 = 0;
    const char* piece = nullptr;
    bool addMin = false;
};

struct Def {
    const char* field;
    const char* design;
    Caption caption;
    ValueItems items;
    int split, width;
    quint32 cell, heading;
};

using V = ValueItems;

const Def kIntervals[] = {
    {"", "", {}, V::None, -1, 0, {}, {}},
    {"DFechaInicio", "Fecha", {}, V::None, 0, 1640, {}, {}},
    {"THoraInicio", "Hora", {}, V::None, 0, 1085, {}, {}},
    {"DFechaFinal", "Fecha", {}, V::None, 0, 1773, {}, {}},
    {"THoraFinal", "Hora", {}, V::None, 0, 1111, {}, {}},
    {"ByTLeq", "", {41}, V::None, 1, 873, kBlueC, kBlueH},
    {"SLeqLocal", "", {56}, V::Level, 1, 2275, kBlueC, kBlueH},
    {"ByNivelLeqLocal", "", {48}, V::Limit, 1, 3175, kPinkC, kBlueH},
    {"IPasadasLocal", "", {46}, V::None, 1, 3704, kPinkC, kBlueH},
    {"TTipoActuacionLocal", "", {67}, V::None, 1, 2646, kPinkC, kBlueH},
    {"SLeqVecino", "", {57}, V::LevelNo59, 1, 2275, kBlueC, kBlueH},
    {"ByNivelLeqVecino", "", {49}, V::Limit, 1, 3360, kPinkC, kBlueH},
    {"IPasadasVecino", "", {47}, V::None, 1, 3704, kPinkC, kBlueH},
    {"TTipoActuacionVecino", "", {101}, V::None, 1, 2646, kPinkC, kBlueH},
    {"SMaxLeq1min", "", {12, 0, "dBA"}, V::Level, 1, 1376, kYelC, kYelH},
    {"TFechaMaxLeq1min", "", {12, 16}, V::None, 1, 1720, kYelC, kYelH},
    {"THoraMaxLeq1min", "", {12, 17}, V::None, 1, 1376, kYelC, kYelH},
    {"SMinLeq1min", "", {13, 0, "dBA"}, V::Level, 1, 1376, kGrnC, kGrnH},
    {"TFechaMinLeq1min", "", {13, 16}, V::None, 1, 1720, kGrnC, kGrnH},
    {"THoraMinLeq1min", "", {13, 17}, V::None, 1, 1376, kGrnC, kGrnH},
    {"SMaxFast", "", {14, 0, "dBA"}, V::Level, 1, 1032, kCyanC, kCyanH},
    {"ByNivelMFast", "", {36, 0, "dBA"}, V::None, 1, 1032, kPinkC, kCyanH},
    {"IPasMaxFast", "Pasadas", {}, V::None, 1, 2831, kPinkC, kCyanH},
    {"SL1", "", {0, 0, "L1\rdBA"}, V::Level, 1, 1058, kVioC, kVioH},
    {"SL5", "", {0, 0, "L5\rdBA"}, V::Level, 1, 1058, kVioC, kVioH},
    {"SL10", "", {0, 0, "L10\rdBA"}, V::Level, 1, 1058, kVioC, kVioH},
    {"SL50", "", {0, 0, "L50\rdBA"}, V::Level, 1, 1058, kVioC, kVioH},
    {"SL90", "", {0, 0, "L90\rdBA"}, V::Level, 1, 1058, kVioC, kVioH},
    {"BoRS232", "", {38}, V::YesNo, 1, 1561, kPinkC, kRedH},
    {"BoProgramacion", "Reprogramación", {}, V::YesNo, 1, 2646, kPinkC, kRedH},
    {"IDesco", "", {39}, V::None, 1, 2831, kPinkC, kRedH},
    {"IE3", "", {40}, V::None, 1, 2831, kPinkC, kRedH},
    {"ByLineaInsuficiente", "Línea insuficiente", {0, 0, nullptr, true}, V::Uncalibrated, 1, 2540, kPinkC, kRedH},
    {"ByDNA", "D.N.A.", {0, 0, nullptr, true}, V::Uncalibrated, 1, 2170, kPinkC, kRedH},
    {"ByENA", "E.N.A.", {0, 0, nullptr, true}, V::Uncalibrated, 1, 2170, kPinkC, kRedH},
};

const Def kSessions[] = {
    {"", "", {}, V::None, -1, 0, {}, {}},
    {"DFechaInicio", "Fecha", {}, V::None, 0, 1667, {}, {}},
    {"THoraInicio", "Hora", {}, V::None, 0, 1085, {}, {}},
    {"DFechaFinal", "Fecha", {}, V::None, 0, 1773, {}, {}},
    {"THoraFinal", "Hora", {}, V::None, 0, 1111, {}, {}},
    {"SLeq", "", {42}, V::Level, 1, 1693, kBlueC, kBlueH},
    {"LPasadasLocal", "", {46}, V::None, 1, 3704, kPinkC, kBlueH},
    {"LPasadasVecino", "", {47}, V::None, 1, 3704, kPinkC, kBlueH},
    {"ITiempoAtenuacion", "", {45}, V::None, 1, 2302, kPinkC, kBlueH},
    {"ByNivelDiaLocal", "", {102, 0, "dBA"}, V::None, 1, 3889, kPinkC, kDBlueH},
    {"ByNivelDiaVecino", "", {103, 0, "dBA"}, V::None, 1, 3969, kPinkC, kDBlueH},
    {"ByNivelNocheLocal", "", {104, 0, "dBA"}, V::None, 1, 3889, kPinkC, kDBlueH},
    {"ByNivelNocheVecino", "", {105, 0, "dBA"}, V::None, 1, 4075, kPinkC, kDBlueH},
    {"THoraInicioNoche", "", {43}, V::None, 1, 1191, kLBlueC, kDBlueH},
    {"THoraFinalNoche", "", {44}, V::None, 1, 1270, kLBlueC, kDBlueH},
    {"SMaxLeq1min", "", {12, 0, "dBA"}, V::Level, 1, 1376, kYelC, kYelH},
    {"TFechaMaxLeq1min", "", {12, 16}, V::None, 1, 1720, kYelC, kYelH},
    {"THoraMaxLeq1min", "", {12, 17}, V::None, 1, 1376, kYelC, kYelH},
    {"SMinLeq1min", "", {13, 0, "dBA"}, V::Level, 1, 1376, kGrnC, kGrnH},
    {"TFechaMinLeq1min", "", {13, 16}, V::None, 1, 1720, kGrnC, kGrnH},
    {"THoraMinLeq1min", "", {13, 17}, V::None, 1, 1376, kGrnC, kGrnH},
    {"SMaxFast", "", {14, 0, "dBA"}, V::Level, 1, 1032, kCyanC, kCyanH},
    {"ByNivelMFast", "", {36, 0, "dBA"}, V::None, 1, 1032, kPinkC, kCyanH},
    {"LPasMaxFast", "Pasadas", {}, V::None, 1, 2831, kPinkC, kCyanH},
    {"SL1", "", {0, 0, "L1\rdBA"}, V::Level, 1, 1058, kVioC, kVioH},
    {"SL5", "", {0, 0, "L5\rdBA"}, V::Level, 1, 1058, kVioC, kVioH},
    {"SL10", "", {0, 0, "L10\rdBA"}, V::Level, 1, 1058, kVioC, kVioH},
    {"SL50", "", {0, 0, "L50\rdBA"}, V::Level, 1, 1058, kVioC, kVioH},
    {"SL90", "", {0, 0, "L90\rdBA"}, V::Level, 1, 1058, kVioC, kVioH},
    {"LDesco", "", {39}, V::None, 1, 2831, kPinkC, kRedH},
    {"LE3", "", {40}, V::None, 1, 1270, kPinkC, kRedH},
};

const Def kDays[] = {
    {"DFecha", "Fecha", {}, V::None, 0, 2461, kPinkC, kRedH},
    {"THora", "Hora", {}, V::None, 0, 1773, kPinkC, kRedH},
};

template <size_t N>
std::pair<const Def*, int> span(const Def (&a)[N])
{
    return {a, int(N)};
}

std::pair<const Def*, int> defs(GridKind kind)
{
    switch (kind) {
    case GridKind::Intervalos: return span(kIntervals);
    case GridKind::Sesiones: return span(kSessions);
    default: return span(kDays);
    }
}

// A "dd/mm/yyyy" date text and its "hh:mm" time as one number yyyymmddhhmm: chronological, and
// cheap to sort.
QString momentKey(const QString& date, const QString& time)
{
    return QStringLiteral("(CAST(substr(%1,7,4) AS INTEGER)*100000000+CAST(substr(%1,4,2) AS INTEGER)*1000000"
                          "+CAST(substr(%1,1,2) AS INTEGER)*10000+CAST(substr(%2,1,2) AS INTEGER)*100"
                          "+CAST(substr(%2,4,2) AS INTEGER))")
        .arg(date, time);
}

} // namespace

QList<GridColumn> gridColumns(GridKind kind)
{
    QList<GridColumn> out;
    const auto [d, n] = defs(kind);
    for (int i = 0; i < n; ++i) {
        GridColumn c;
        c.field = QString::fromUtf8(d[i].field);
        c.design = QString::fromUtf8(d[i].design);
        c.split = d[i].split;
        c.widthTwips = d[i].width;
        c.cell = d[i].cell;
        c.heading = d[i].heading;
        c.items = d[i].items;
        c.isDate = c.field.startsWith(QLatin1Char('D'));
        out.append(c);
    }
    return out;
}

QString gridTable(GridKind kind)
{
    switch (kind) {
    case GridKind::Intervalos: return QStringLiteral("Intervalos");
    case GridKind::Sesiones: return QStringLiteral("Sesiones");
    case GridKind::DiaBorrado: return QStringLiteral("DiaBorrado");
    case GridKind::DiaReprogramado: return QStringLiteral("DiaReprogramado");
    }
    return QString();
}

QString designedCaption(GridKind kind, int col, const QString& current)
{
    const auto [d, n] = defs(kind);
    if (col < 0 || col >= n)
        return current;
    const Caption& c = d[col].caption;
    if (c.addMin)
        return current + QStringLiteral("\rmin");
    if (c.id1 == 0 && !c.piece)
        return current;
    QString text = c.id1 ? GetS(c.id1) : QString();
    if (c.id2)
        text += QLatin1Char('\r') + GetS(c.id2);
    else if (c.piece)
        text = text.isEmpty() ? QString::fromUtf8(c.piece) : text + QLatin1Char('\r') + QString::fromUtf8(c.piece);
    return text;
}

QString cellText(const GridColumn& c, const QVariant& value, const QString& uncalibrated)
{
    if (value.isNull())
        return QString();
    if (c.isDate) {
        const QDate d = QDate::fromString(value.toString().left(10), Qt::ISODate);
        return d.isValid() ? recordDateText(d) : value.toString();
    }
    bool numeric = false;
    const double v = value.toDouble(&numeric);
    if (numeric) {
        switch (c.items) {
        case ValueItems::Level:
            if (v == 59)
                return QStringLiteral("UND");
            [[fallthrough]];
        case ValueItems::LevelNo59:
            if (v == 121)
                return QStringLiteral("UP");
            if (v == 0)
                return QStringLiteral("---");
            break;
        case ValueItems::Limit:
            if (v == 255)
                return QStringLiteral("---");
            break;
        case ValueItems::Uncalibrated:
            if (v == 255)
                return uncalibrated;
            break;
        case ValueItems::YesNo:
            return QString();
        case ValueItems::None:
            break;
        }
        if (value.typeId() == QMetaType::Double) {
            // The decimal separator is the desktop's, as in the live windows.
            QLocale locale;
            locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
            // No level is that large (another program's data): shown in short scientific form.
            if (!(std::abs(v) < 2147483647.0))
                return locale.toString(v, 'g', 6);
            return locale.toString(v, 'f', v == std::round(v) ? 0 : 1);
        }
    }
    return value.toString();
}

QStringList sortKeys(GridKind kind, int col)
{
    if (kind == GridKind::DiaBorrado || kind == GridKind::DiaReprogramado)
        return {QStringLiteral("DFecha"), QStringLiteral("THora")};
    const int maxDate = kind == GridKind::Intervalos ? 15 : 16;
    const int minDate = kind == GridKind::Intervalos ? 18 : 19;
    const QList<GridColumn> cols = gridColumns(kind);
    if (col < 1 || col >= cols.size() || col <= 4)
        return {QStringLiteral("DFechaInicio"), QStringLiteral("THoraInicio")};
    if (col == maxDate || col == maxDate + 1)
        return {momentKey(QStringLiteral("TFechaMaxLeq1min"), QStringLiteral("THoraMaxLeq1min"))};
    if (col == minDate || col == minDate + 1)
        return {momentKey(QStringLiteral("TFechaMinLeq1min"), QStringLiteral("THoraMinLeq1min"))};
    return {quoteIdentifier(cols[col].field)};
}

QStringList sortMomentFields(GridKind kind, int col)
{
    const QString key = sortKeys(kind, col).value(0);
    for (const char* which : {"Max", "Min"}) {
        const QString date = QStringLiteral("TFecha%1Leq1min").arg(QLatin1String(which));
        const QString time = QStringLiteral("THora%1Leq1min").arg(QLatin1String(which));
        if (key == momentKey(date, time))
            return {date, time};
    }
    return {};
}

namespace {

// SQL's CAST(substr(text, start, count) AS INTEGER) of UTF-8 text: characters counted from 1,
// then the longest leading integer after white space (0 when there is none).
qint64 castSubstr(QByteArrayView text, int start, int count)
{
    auto isContinuation = [](char c) { return (uchar(c) & 0xC0) == 0x80; };
    qsizetype i = 0;
    for (int skipped = 1; skipped < start && i < text.size(); ++skipped)
        for (++i; i < text.size() && isContinuation(text[i]); ++i) {}
    qsizetype end = i;
    for (int taken = 0; taken < count && end < text.size(); ++taken)
        for (++end; end < text.size() && isContinuation(text[end]); ++end) {}
    while (i < end && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < end && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    qint64 v = 0;
    for (; i < end && text[i] >= '0' && text[i] <= '9'; ++i)
        v = v * 10 + (text[i] - '0');
    return negative ? -v : v;
}

} // namespace

qint64 momentKeyOf(QByteArrayView date, QByteArrayView time)
{
    return castSubstr(date, 7, 4) * 100000000 + castSubstr(date, 4, 2) * 1000000 + castSubstr(date, 1, 2) * 10000
        + castSubstr(time, 1, 2) * 100 + castSubstr(time, 4, 2);
}

bool sortKeysIndexed(GridKind kind, int col)
{
    return sortKeys(kind, col).first() == QLatin1String(kind == GridKind::Intervalos || kind == GridKind::Sesiones
                                                            ? "DFechaInicio" : "DFecha");
}

QString orderBy(GridKind kind, int col, bool ascending)
{
    const QString dir = ascending ? QStringLiteral(" ASC") : QStringLiteral(" DESC");
    QStringList parts;
    for (const QString& k : sortKeys(kind, col))
        parts << k + dir;
    return QStringLiteral(" ORDER BY ") + parts.join(QStringLiteral(", "));
}

namespace {

// The grid's columns as a select list (NULL for the unbound first column).
QStringList selectFields(GridKind kind)
{
    QStringList fields;
    for (const GridColumn& c : gridColumns(kind))
        fields << (c.field.isEmpty() ? QStringLiteral("NULL") : quoteIdentifier(c.field));
    return fields;
}

} // namespace

QString gridSelectRowids(GridKind kind, int count)
{
    const QStringList fields = QStringList{QStringLiteral("rowid")} + selectFields(kind);
    QStringList marks;
    for (int i = 0; i < count; ++i)
        marks << QStringLiteral("?");
    return QStringLiteral("SELECT %1 FROM %2 WHERE rowid IN (%3)")
        .arg(fields.join(QLatin1Char(',')), quoteIdentifier(gridTable(kind)), marks.join(QLatin1Char(',')));
}

} // namespace nbx
