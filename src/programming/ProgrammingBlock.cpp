#include "programming/ProgrammingBlock.h"

#include "common/Prompter.h"
#include "localisation/Strings.h"
#include "programming/SheetText.h"

#include <cmath>

namespace nbx {

namespace {

constexpr quint8 kStx = 0x02;
constexpr quint8 kEtx = 0x03;
constexpr quint8 kClosed = 0x2D; // '-' in every byte of a closed day

// String ids of the labels used to name a field that cannot be converted.
constexpr long kLabelSessionByDay[7] = {89, 83, 84, 85, 86, 87, 88}; // Sunday first
constexpr long kLabelOctave1 = 161;

QString deviceLanguage(quint8 code)
{
    switch (code) {
    case 0: return QStringLiteral("Español");
    case 1: return QStringLiteral("Català");
    case 2: return QStringLiteral("English");
    case 3: return QStringLiteral("Deutsch");
    case 4: return QStringLiteral("Français");
    case 5: return QStringLiteral("Italiano");
    default: return QString();
    }
}

QString actionText(quint8 n) { return QStringLiteral("Leq%1s").arg(n); }

// Collects the block; the first conversion failure is kept and ends the build.
class BlockWriter {
public:
    explicit BlockWriter(const QLocale& locale) : locale_(locale) {}

    void put(quint8 b) { bytes_.append(char(b)); }
    void put16(int v)
    {
        const quint16 u = quint16(qint16(v));
        put(quint8(u >> 8));
        put(quint8(u & 0xFF));
    }
    bool failed() const { return !error_.isEmpty(); }
    void fail(const QString& why)
    {
        if (error_.isEmpty())
            error_ = why;
    }
    void putByte(const QString& text, long labelId, const QString& detail = QString())
    {
        const std::optional<quint8> b = byteValue(text, locale_);
        if (!b)
            fail(invalidFieldMessage(labelId, detail));
        put(b.value_or(0));
    }
    // Hour from the first two characters, minute from the last two.
    void putTime(const QString& text, long labelId, const QString& detail = QString())
    {
        putByte(text.left(2), labelId, detail);
        putByte(text.right(2), labelId, detail);
    }
    void putDate(const QString& text, long labelId, const QString& detail)
    {
        const std::optional<QDate> d = parseSheetDate(text);
        const std::optional<quint8> yy = byteValue(text.right(2), locale_);
        if (!d || !yy) {
            fail(invalidFieldMessage(labelId, detail));
            put(0);
            put(0);
            put(0);
            return;
        }
        put(quint8(d->day()));
        put(quint8(d->month()));
        put(quint8(*yy < 50 ? *yy + 100 : *yy));
    }

    QByteArray bytes_;
    QString error_;
    const QLocale& locale_;
};

} // namespace

quint8 xorOf(const QByteArray& bytes)
{
    quint8 x = 0;
    for (char c : bytes)
        x ^= quint8(c);
    return x;
}

QByteArray demanaProgramacioFrame()
{
    QByteArray f;
    f.append(char(kStx)).append(char(0x00)).append(char(0x06)).append(char(kCommandProgramRequest)).append(char(kEtx));
    f.append(char(xorOf(f)));
    return f;
}

ReplyOutcome parseProgrammingReply(const QByteArray& frame, const QString& versionEqp, DeviceCopy& copy)
{
    ReplyOutcome out;
    if (frame.size() < kReplyBlockOffset)
        return out;
    const int len = (quint8(frame[1]) << 8) | quint8(frame[2]);
    if (len < kReplyLength || frame.size() < kReplyLength)
        return out;
    auto b = [&](int k) { return quint8(frame[k + kReplyBlockOffset]); };
    auto s16 = [&](int k) { return int(qint16(quint16((b(k) << 8) | b(k + 1)))); };

    DeviceCopy c = copy;
    for (int d = 0; d < 7; ++d) {
        for (int half = 0; half < 2; ++half) {
            const int k = 4 * d + 2 * half;
            c.horario[d][half] = (b(k) == kClosed && b(k + 1) == kClosed) ? QStringLiteral("--:--")
                                                                           : fmtTime(b(k), b(k + 1));
        }
    }
    c.nivelDiaLocal = b(28);
    c.nivelDiaVecino = b(29);
    c.horaEmpiezaNoche = fmtTime(b(30), b(31));
    c.horaTerminaNoche = fmtTime(b(32), b(33));
    c.nivelNocheLocal = b(34);
    c.nivelNocheVecino = b(35);
    c.cambioHora = b(36);
    c.tiempoAtenuacion = qint16(s16(37));
    c.tLeq = b(39);
    c.mFast = b(40);
    if (const QString lang = deviceLanguage(b(42)); !lang.isEmpty())
        c.idioma = lang;
    c.rings = b(43);

    auto date = [&](int j) {
        if (b(j) == 0 && b(j + 1) == 0 && b(j + 2) == 0)
            return kEmptyIntervalDate;
        return fmtDate(b(j), b(j + 1), b(j + 2));
    };
    for (int i = 0; i < kIntervalCount; ++i) {
        const int j = 44 + 10 * i;
        c.intervals.fechaIni[i] = date(j);
        c.intervals.horaIni[i] = fmtTime(b(j + 3), b(j + 4));
        c.intervals.fechaFi[i] = date(j + 5);
        c.intervals.horaFi[i] = fmtTime(b(j + 8), b(j + 9));
    }

    const quint8 local = b(344);
    c.tipoActuacionLocal = (local >= 1 && local <= 10) ? actionText(local) : QStringLiteral("Leq125ms");
    const quint8 vecino = b(345);
    c.tipoActuacionVecino = vecino == 0 ? QStringLiteral("0")
                            : vecino <= 10 ? actionText(vecino)
                                           : QStringLiteral("Leq125ms");
    c.octavas[0] = 0.0f;
    for (int m = 1; m <= 9; ++m)
        c.octavas[m] = float(s16(344 + 2 * m)) / 10.0f;

    if (hasCmi(versionEqp)) {
        // A 2.0 device that sent no CMI byte: position 364 is the ETX, so the flag reads as off.
        const bool present = len >= kReplyLengthCmi && frame.size() >= kReplyLengthCmi;
        c.apliCorrecioGlobal = present ? b(364) : 0;
        out.cmiPresent = true;
    }
    copy = c;
    out.status = ReplyStatus::Ok;
    return out;
}

bool RecibirProgramacion(const QByteArray& frame, const QString& versionEqp, DeviceCopy& copy, bool* cmiPresent)
{
    const ReplyOutcome r = parseProgrammingReply(frame, versionEqp, copy);
    if (cmiPresent)
        *cmiPresent = r.cmiPresent;
    if (r.status != ReplyStatus::Ok) {
        prompter().message(GetS(62), Prompter::Icon::Critical);
        return false;
    }
    return true;
}

bool buildProgrammingBlock(const SheetValues& s, QByteArray* block, QString* error, const QLocale& locale)
{
    BlockWriter w(locale);
    for (int d = 0; d < 7; ++d) {
        if (s.horarioIni[d].left(2) == QLatin1String("--")) {
            for (int n = 0; n < 4; ++n)
                w.put(kClosed);
        } else {
            w.putTime(s.horarioIni[d], kLabelSessionByDay[d]);
            w.putTime(s.horarioFi[d], kLabelSessionByDay[d]);
        }
    }
    w.putByte(s.diaLocal, 102);
    w.putByte(s.diaVei, 103);
    w.putTime(s.empiezaNoche, 78);
    w.putTime(s.terminaNoche, 79);
    w.putByte(s.nitLocal, 104);
    w.putByte(s.nitVei, 105);
    w.put(s.cambioHora == 1 ? 1 : 0);
    {
        const std::optional<double> v = boxNumber(s.tiempoAtenuacion, locale);
        const double r = v ? std::nearbyint(*v) : 0.0;
        if (!v || r < -32768 || r > 32767)
            w.fail(invalidFieldMessage(80));
        w.put16(v ? int(r) : 0);
    }
    w.putByte(s.tLeq, 10);
    w.putByte(s.mFast, 77);
    w.put(0); // reserved
    w.put(0); // device display language: always sent as 0
    w.putByte(s.rings, 170);

    for (int i = 0; i < kIntervalCount; ++i) {
        const QString n = QString::number(i + 1);
        if (!parseSheetDate(s.intervals.fechaIni[i])) {
            for (int k = 0; k < 10; ++k)
                w.put(0);
            continue;
        }
        // A used interval goes out whole or not at all: stored or imported data may hold a time
        // such as "25:00" that the grid would never take.
        if (!parseSheetTime(s.intervals.horaIni[i]) || !parseSheetTime(s.intervals.horaFi[i]))
            w.fail(invalidFieldMessage(143, n));
        w.putDate(s.intervals.fechaIni[i], 143, n);
        w.putTime(s.intervals.horaIni[i], 143, n);
        w.putDate(s.intervals.fechaFi[i], 143, n);
        w.putTime(s.intervals.horaFi[i], 143, n);
    }

    auto action = [&](const QString& text, long labelId) {
        const double r = std::nearbyint(leadingNumber(text));
        if (r < 0 || r > 255)
            w.fail(invalidFieldMessage(labelId));
        w.put(r >= 0 && r <= 255 ? quint8(r) : 0);
    };
    if (s.optionLocal == LocalAction::Leq125)
        w.put(125);
    else
        action(s.tempsActLoc, 65);
    if (s.optionVei == VecinoAction::No)
        w.put(0);
    else if (s.optionVei == VecinoAction::Leq125)
        w.put(125);
    else
        action(s.tempsActVei, 66);

    for (int m = 0; m < 9; ++m) {
        const QString& t = s.octavas[m];
        const std::optional<double> v = boxNumber(t, locale); // an empty box is refused like a level
        const double tenths = v ? std::nearbyint(*v * 10.0) : 0.0;
        if (!v || tenths < -32768 || tenths > 32767)
            w.fail(invalidFieldMessage(kLabelOctave1 + m));
        w.put16(v ? int(tenths) : 0);
    }
    if (hasCmi(s.version))
        w.put(s.cmi == 1 ? 1 : 0);

    if (w.failed()) {
        if (error)
            *error = w.error_;
        return false;
    }
    *block = w.bytes_;
    return true;
}

bool buildTramaProgramacion(const SheetValues& sheet, const QDateTime& now, QByteArray* frame, QString* error,
                            const QLocale& locale)
{
    QByteArray block;
    if (!buildProgrammingBlock(sheet, &block, error, locale))
        return false;
    const int len = 4 + 6 + int(block.size()) + 2;
    QByteArray f;
    f.append(char(kStx)).append(char(len >> 8)).append(char(len & 0xFF)).append(char(kCommandProgramSend));
    const QDate d = now.date();
    const QTime t = now.time();
    f.append(char(d.day())).append(char(d.month())).append(char(d.year() - 1900));
    f.append(char(t.hour())).append(char(t.minute())).append(char(t.second()));
    f.append(block);
    f.append(char(kEtx));
    f.append(char(xorOf(f)));
    *frame = f;
    return true;
}

} // namespace nbx
