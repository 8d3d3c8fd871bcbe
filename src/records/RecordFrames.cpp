#include "records/RecordFrames.h"

#include "programming/SheetText.h"

#include <QTime>

namespace nbx {

std::optional<QDateTime> deviceMoment(int day, int month, int yearSince1900, int hour, int minute)
{
    const QDate d(1900 + yearSince1900, month, day);
    if (!d.isValid() || hour < 0 || hour > 23 || minute < 0 || minute > 59)
        return std::nullopt;
    return QDateTime(d, QTime(hour, minute), Qt::UTC);
}

namespace {
// Appends n as printf's "%0*d" would with `width`, without its cost (four per record).
void appendPadded(QString& s, int n, int width)
{
    if (n < 0) {
        s += QString::asprintf("%0*d", width, n);
        return;
    }
    char digits[12];
    int len = 0;
    do {
        digits[len++] = char('0' + n % 10);
        n /= 10;
    } while (n > 0);
    for (int i = len; i < width; ++i)
        s += QLatin1Char('0');
    while (len > 0)
        s += QLatin1Char(digits[--len]);
}
} // namespace

QString recordDateText(const QDate& d)
{
    QString s;
    s.reserve(10);
    appendPadded(s, d.day(), 2);
    s += QLatin1Char('/');
    appendPadded(s, d.month(), 2);
    s += QLatin1Char('/');
    appendPadded(s, d.year(), 4);
    return s;
}

QString twoDigitsTime(int hour, int minute)
{
    QString s;
    s.reserve(5);
    appendPadded(s, hour, 2);
    s += QLatin1Char(':');
    appendPadded(s, minute, 2);
    return s;
}

RangoFechas RangoFechas::fromMoments(const QDateTime& from, const QDateTime& to)
{
    RangoFechas r;
    auto put = [&r](int at, const QDateTime& m) {
        r.bytes[at] = uint8_t(m.date().day());
        r.bytes[at + 1] = uint8_t(m.date().month());
        r.bytes[at + 2] = uint8_t(m.date().year() % 100);
        r.bytes[at + 3] = uint8_t(m.time().hour());
        r.bytes[at + 4] = uint8_t(m.time().minute());
    };
    put(0, from);
    put(5, to);
    return r;
}

namespace {
QDateTime momentAt(const std::array<uint8_t, 10>& b, int at)
{
    return QDateTime(QDate(expandTwoDigitYear(b[at + 2]), b[at + 1], b[at]), QTime(b[at + 3], b[at + 4]), Qt::UTC);
}
} // namespace

QDateTime RangoFechas::from() const { return momentAt(bytes, 0); }
QDateTime RangoFechas::to() const { return momentAt(bytes, 5); }

QByteArray RangoFechas::descarga() const
{
    QByteArray out;
    for (int i = 0; i < 10; ++i) {
        int v = bytes[i];
        if ((i == 2 || i == 7) && v < 50)
            v += 100;
        out.append(char(v));
    }
    return out;
}

QByteArray requestFrame(uint8_t command, const RangoFechas& range)
{
    if (command == cmd::ComandoIntervalos || command == cmd::ComandoSesiones)
        return buildFrame(command, range.descarga());
    return buildFrame(command);
}

std::optional<Totals> decodeTotals(const FrameBuffer& f)
{
    if (f.length() < kTotalsLen)
        return std::nullopt;
    return Totals{f.readI32BE(4), f.readI32BE(8), f.readI32BE(12), f.readI32BE(16)};
}

std::optional<DayLists> decodeDates(const FrameBuffer& f)
{
    if (f.length() < kDatesLen)
        return std::nullopt;
    DayLists out;
    auto walk = [&f](int base, QList<DayEntry>& list) {
        for (int i = 0; i < 10; ++i) {
            const int k = base + 5 * i;
            if (auto m = deviceMoment(f.at(k), f.at(k + 1), f.at(k + 2), f.at(k + 3), f.at(k + 4)))
                list.append({m->date(), twoDigitsTime(f.at(k + 3), f.at(k + 4))});
        }
    };
    walk(4, out.borrados);
    walk(104, out.reprogramados);
    return out;
}

double UndOrUp(double level)
{
    if (level < 60)
        return 59;
    if (level > 120)
        return 121;
    return level;
}

namespace {

// A moment's bytes at k: day, month, year since 1900, hour, minute.
std::optional<QDateTime> momentAt(const FrameBuffer& f, int k)
{
    return deviceMoment(f.at(k), f.at(k + 1), f.at(k + 2), f.at(k + 3), f.at(k + 4));
}

bool in16(const FrameBuffer& f, int k, int max)
{
    const int v = f.readI16BE(k);
    return v >= 0 && v <= max;
}

bool in24(const FrameBuffer& f, int k, int max)
{
    return f.readU24BE(k) <= uint32_t(max);
}

double tenths(const FrameBuffer& f, int k) { return f.readI16BE(k) / 10.0; }

QString actionText(int n, bool zeroIsNone)
{
    if (zeroIsNone && n == 0)
        return QStringLiteral("0");
    if (n == 125)
        return QStringLiteral("Leq125ms");
    QString s = QStringLiteral("Leq");
    appendPadded(s, n, 1);
    return s + QLatin1Char('s');
}

// The verdict of a frame before its fields: end frame, short frame, or go on.
std::optional<Verdict> frameVerdict(const FrameBuffer& f, int layoutLen)
{
    if (f.length() < kEndFrameMinLen)
        return Verdict::Short;
    if (f.at(4) == 0)
        return Verdict::End;
    if (f.length() < layoutLen)
        return Verdict::Short;
    return std::nullopt;
}

// yyyy-MM-dd, as QDate's ISO text (null for an invalid date), built by hand: twice per record.
QVariant isoDate(const QDate& d)
{
    int y = 0, m = 0, day = 0;
    d.getDate(&y, &m, &day);
    if (!d.isValid() || y < 0 || y > 9999)
        return d.toString(Qt::ISODate);
    QString s;
    s.reserve(10);
    appendPadded(s, y, 4);
    s += QLatin1Char('-');
    appendPadded(s, m, 2);
    s += QLatin1Char('-');
    appendPadded(s, day, 2);
    return s;
}

// The verdict of a frame by its key moment: none (unreadable) is skipped, one before `from` ends
// the download; go on otherwise.
std::optional<Verdict> momentVerdict(const std::optional<QDateTime>& moment, const QDateTime& from)
{
    if (!moment)
        return Verdict::Skip;
    if (*moment < from)
        return Verdict::Older;
    return std::nullopt;
}

// The moments of the highest and lowest one-minute levels, whose bytes start at maxK and minK.
template <class R>
void putExtremeMoments(R& r, const FrameBuffer& f, const QDateTime& maxAt, int maxK, const QDateTime& minAt, int minK)
{
    r.TFechaMaxLeq1min = recordDateText(maxAt.date());
    r.THoraMaxLeq1min = twoDigitsTime(f.at(maxK + 3), f.at(maxK + 4));
    r.TFechaMinLeq1min = recordDateText(minAt.date());
    r.THoraMinLeq1min = twoDigitsTime(f.at(minK + 3), f.at(minK + 4));
}

// L1, L5, L10, L50 and L90, five tenths of dB from k on.
template <class R>
void putPercentiles(R& r, const FrameBuffer& f, int k)
{
    r.SL1 = UndOrUp(tenths(f, k));
    r.SL5 = UndOrUp(tenths(f, k + 2));
    r.SL10 = UndOrUp(tenths(f, k + 4));
    r.SL50 = UndOrUp(tenths(f, k + 6));
    r.SL90 = UndOrUp(tenths(f, k + 8));
}

} // namespace

Decoded<IntervalRecord> decodeInterval(const FrameBuffer& f, const QDateTime& from, qint32 serial)
{
    Decoded<IntervalRecord> out;
    if (auto v = frameVerdict(f, kIntervalLen)) {
        out.verdict = *v;
        return out;
    }
    IntervalRecord& r = out.record;
    const int month = f.at(5) == 0xF4 ? 1 : f.at(5);
    const auto end = deviceMoment(f.at(4), month, f.at(6), f.at(7), f.at(8));
    if (auto v = momentVerdict(end, from)) {
        out.verdict = *v;
        return out;
    }
    const auto maxAt = momentAt(f, 26);
    const auto minAt = momentAt(f, 33);
    bool ok = in16(f, 9, 4000) && in16(f, 11, 4000) && in16(f, 13, 4000) && in16(f, 15, 4000)
        && in16(f, 17, 1400) && in16(f, 19, 1400) && in16(f, 24, 1400) && maxAt
        && in16(f, 31, 1400) && minAt && in16(f, 38, 1400) && in16(f, 41, 4000);
    for (int k = 43; ok && k <= 51; k += 2)
        ok = in16(f, k, 1400);
    if (!ok) {
        out.verdict = Verdict::Drop;
        return out;
    }

    r.LNumeroSerie = serial;
    r.end = *end;
    r.DFechaFinal = end->date();
    r.THoraFinal = twoDigitsTime(f.at(7), f.at(8));
    r.ByTLeq = f.at(23);
    const QDateTime start = end->addSecs(-60 * qint64(r.ByTLeq));
    r.DFechaInicio = start.date();
    r.THoraInicio = twoDigitsTime(start.time().hour(), start.time().minute());
    r.ByNivelLeqVecino = f.at(21);
    r.ByNivelLeqLocal = f.at(22);
    putExtremeMoments(r, f, *maxAt, 26, *minAt, 33);
    r.ByNivelMFast = f.at(40);
    r.IDesco = f.readI16BE(9);
    r.IE3 = f.readI16BE(15);
    const uint8_t b54 = f.at(54), b55 = f.at(55);
    r.BoRS232 = (b54 & 0x80) ? -1 : 0;
    r.ByENA = b54 & 0x7F;
    r.BoProgramacion = (b55 & 0x80) ? -1 : 0;
    r.ByLineaInsuficiente = b55 & 0x7F;
    r.ByDNA = f.at(53);
    if (r.ByDNA == 255)
        r.ByENA = r.ByLineaInsuficiente = 255;
    r.TTipoActuacionLocal = actionText(f.at(56), false);
    r.TTipoActuacionVecino = actionText(f.at(57), true);
    if (r.IE3 == 0) {
        r.SLeqVecino = tenths(f, 17);
        r.SLeqLocal = UndOrUp(tenths(f, 19));
        r.SMaxLeq1min = UndOrUp(tenths(f, 24));
        r.SMinLeq1min = UndOrUp(tenths(f, 31));
        r.SMaxFast = UndOrUp(tenths(f, 38));
        putPercentiles(r, f, 43);
        r.IPasMaxFast = f.readI16BE(41);
        r.IPasadasLocal = f.readI16BE(13);
        r.IPasadasVecino = f.readI16BE(11);
    }
    out.verdict = Verdict::Store;
    return out;
}

Decoded<SessionRecord> decodeSession(const FrameBuffer& f, const QDateTime& from, qint32 serial)
{
    Decoded<SessionRecord> out;
    if (auto v = frameVerdict(f, kSessionLen)) {
        out.verdict = *v;
        return out;
    }
    SessionRecord& r = out.record;
    const auto start = momentAt(f, 4);
    if (auto v = momentVerdict(start, from)) {
        out.verdict = *v;
        return out;
    }
    const auto end = momentAt(f, 9);
    bool ok = end && in16(f, 22, 9000) && in24(f, 24, 90000) && in24(f, 27, 90000)
        && in24(f, 30, 90000) && in24(f, 33, 90000) && in16(f, 36, 1400) && in16(f, 38, 1400);
    const auto maxAt = ok ? momentAt(f, 40) : std::nullopt;
    ok = ok && maxAt && in16(f, 45, 1400);
    const auto minAt = ok ? momentAt(f, 47) : std::nullopt;
    ok = ok && minAt && in16(f, 52, 1400) && in24(f, 55, 90000);
    for (int k = 58; ok && k <= 66; k += 2)
        ok = in16(f, k, 1400);
    if (!ok) {
        out.verdict = Verdict::Drop;
        return out;
    }

    r.LNumeroSerie = serial;
    r.start = *start;
    r.DFechaInicio = start->date();
    r.THoraInicio = twoDigitsTime(f.at(7), f.at(8));
    r.DFechaFinal = end->date();
    r.THoraFinal = twoDigitsTime(f.at(12), f.at(13));
    r.ByNivelDiaLocal = f.at(14);
    r.ByNivelDiaVecino = f.at(15);
    r.THoraInicioNoche = twoDigitsTime(f.at(16), f.at(17));
    r.THoraFinalNoche = twoDigitsTime(f.at(18), f.at(19));
    r.ByNivelNocheLocal = f.at(20);
    r.ByNivelNocheVecino = f.at(21);
    r.ITiempoAtenuacion = f.readI16BE(22);
    r.LDesco = qint32(f.readU24BE(24));
    r.LPasadasLocal = qint32(f.readU24BE(27));
    r.LPasadasVecino = qint32(f.readU24BE(30));
    r.LE3 = qint32(f.readU24BE(33));
    r.ByNivelMFast = f.at(54);
    r.LPasMaxFast = qint32(f.readU24BE(55));
    putExtremeMoments(r, f, *maxAt, 40, *minAt, 47);
    if (r.LE3 == 0) {
        r.SLeq = UndOrUp(tenths(f, 36));
        r.SMaxLeq1min = UndOrUp(tenths(f, 38));
        r.SMinLeq1min = UndOrUp(tenths(f, 45));
        r.SMaxFast = UndOrUp(tenths(f, 52));
        putPercentiles(r, f, 58);
    }
    out.verdict = Verdict::Store;
    return out;
}

QVariantList IntervalRecord::values() const
{
    return {LNumeroSerie, isoDate(DFechaInicio), THoraInicio, isoDate(DFechaFinal), THoraFinal,
            ByTLeq, SLeqLocal, SLeqVecino, TTipoActuacionLocal, TTipoActuacionVecino,
            ByNivelLeqLocal, ByNivelLeqVecino, SMaxLeq1min, TFechaMaxLeq1min, THoraMaxLeq1min,
            SMinLeq1min, TFechaMinLeq1min, THoraMinLeq1min, SMaxFast, ByNivelMFast, IPasMaxFast,
            SL1, SL5, SL10, SL50, SL90, BoRS232, BoProgramacion, IDesco, IPasadasLocal,
            IPasadasVecino, IE3, ByDNA, ByENA, ByLineaInsuficiente};
}

QVariantList SessionRecord::values() const
{
    return {LNumeroSerie, isoDate(DFechaInicio), THoraInicio, isoDate(DFechaFinal), THoraFinal,
            SLeq, ByNivelDiaLocal, ByNivelDiaVecino, THoraInicioNoche, THoraFinalNoche,
            ByNivelNocheLocal, ByNivelNocheVecino, ITiempoAtenuacion, LDesco, LPasadasLocal,
            LPasadasVecino, LE3, SMaxFast, ByNivelMFast, LPasMaxFast, SMaxLeq1min,
            TFechaMaxLeq1min, THoraMaxLeq1min, SMinLeq1min, TFechaMinLeq1min, THoraMinLeq1min,
            SL1, SL5, SL10, SL50, SL90};
}

} // namespace nbx
