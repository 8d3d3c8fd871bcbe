#include "programming/ExchangeCompare.h"

#include "common/Prompter.h"
#include "localisation/Strings.h"
#include "programming/SheetText.h"

#include <QRegularExpression>

namespace nbx {

namespace {

const QChar kCr(0x0D);
const QChar kTab(0x09);
const QString kLeq125 = QStringLiteral("Leq125ms");

// Weekday rows of the report, Monday first: (label id, weekday index).
constexpr std::pair<long, int> kDayRows[7] = {{83, Lunes},  {84, Martes},  {85, Miercoles}, {86, Jueves},
                                              {87, Viernes}, {88, Sabado}, {89, Domingo}};

QString octaveText(float v, const QLocale& locale)
{
    QLocale loc = locale;
    loc.setNumberOptions(QLocale::OmitGroupSeparator);
    return loc.toString(double(v), 'g', 7);
}

QString yesNo(int v) { return GetS(v == 1 ? 68 : 69); }

class Report {
public:
    explicit Report(Comparison& c) : c_(c) { c_.informe = QStringLiteral("               PC <-> NBX70") + kCr + kCr; }

    // Appends the row when `differs`: label, tail, TAB, sheet value, separator, device value, CR.
    void row(bool differs, const QString& label, const QString& tail, const QString& pc, const QString& eqp,
             const QString& sep = QStringLiteral(" <-> "))
    {
        if (!differs)
            return;
        c_.rows.append(label);
        c_.informe += label + tail + kTab + pc + sep + eqp + kCr;
    }

private:
    Comparison& c_;
};

} // namespace

QString actionTimeText(const QString& tipo)
{
    static const QRegularExpression re(QStringLiteral("^Leq(\\d+)s$"));
    const QRegularExpressionMatch m = re.match(tipo);
    if (!m.hasMatch())
        return QString();
    return QStringLiteral("%1").arg(m.captured(1).toInt(), 2, 10, QLatin1Char('0'));
}

void CarregaProgEqp(SheetValues& s, const DeviceCopy& c, const QString& versionEqp, const QLocale& locale)
{
    s.cambioHora = c.cambioHora == 1 ? 1 : 0;

    if (c.tipoActuacionLocal == kLeq125) {
        s.optionLocal = LocalAction::Leq125;
    } else {
        s.optionLocal = LocalAction::Leq1s;
        s.tempsActLoc = actionTimeText(c.tipoActuacionLocal);
    }
    if (c.tipoActuacionVecino == QLatin1String("0")) {
        s.optionVei = VecinoAction::No;
    } else if (c.tipoActuacionVecino == kLeq125) {
        s.optionVei = VecinoAction::Leq125;
    } else {
        s.optionVei = VecinoAction::Leq1s;
        s.tempsActVei = actionTimeText(c.tipoActuacionVecino);
    }

    if (hasCmi(versionEqp)) {
        s.cmi = c.apliCorrecioGlobal == 1 ? 1 : 0;
        s.cmiVisible = true;
    } else {
        s.cmiVisible = false;
    }

    s.tLeq = QString::number(c.tLeq);
    s.mFast = QString::number(c.mFast);
    for (int d = 0; d < 7; ++d) {
        s.horarioIni[d] = c.horario[d][0];
        s.horarioFi[d] = c.horario[d][1];
    }
    s.diaLocal = QString::number(c.nivelDiaLocal);
    s.diaVei = QString::number(c.nivelDiaVecino);
    s.nitLocal = QString::number(c.nivelNocheLocal);
    s.nitVei = QString::number(c.nivelNocheVecino);
    s.empiezaNoche = c.horaEmpiezaNoche;
    s.terminaNoche = c.horaTerminaNoche;
    s.empiezaDia = s.terminaNoche;
    s.terminaDia = s.empiezaNoche;
    for (int m = 0; m < 9; ++m)
        s.octavas[m] = octaveText(c.octavas[m + 1], locale);
    s.tiempoAtenuacion = QString::number(c.tiempoAtenuacion);
    s.rings = QString::number(c.rings);
    s.intervals = c.intervals;
}

Comparison compareWithDevice(const SheetValues& s, const DeviceCopy& c, const QLocale& locale)
{
    Comparison out;
    Report r(out);

    // A numeric box against a device number: different when its text is not a number.
    auto numRow = [&](long label, const QString& tail, const QString& text, int device) {
        const std::optional<double> v = boxNumber(text, locale);
        r.row(!v || *v != double(device), GetS(label), tail, text, QString::number(device));
    };
    auto leqText = [](const QString& time) {
        return QStringLiteral("Leq") + QString::number(leadingNumber(time)) + QLatin1Char('s');
    };

    r.row(s.cambioHora != c.cambioHora, GetS(90), QString(), yesNo(s.cambioHora), yesNo(c.cambioHora),
          QStringLiteral("<->"));

    const QString local = s.optionLocal == LocalAction::Leq1s    ? leqText(s.tempsActLoc)
                          : s.optionLocal == LocalAction::Leq125 ? kLeq125
                                                                 : QString();
    r.row(local != c.tipoActuacionLocal, GetS(65), QString(), local, c.tipoActuacionLocal);
    const QString vecino = s.optionVei == VecinoAction::Leq1s    ? leqText(s.tempsActVei)
                           : s.optionVei == VecinoAction::Leq125 ? kLeq125
                                                                 : QStringLiteral("0");
    r.row(vecino != c.tipoActuacionVecino, GetS(66), QString(), vecino, c.tipoActuacionVecino);

    const QString blank = QStringLiteral(" ");
    const QString colon = QStringLiteral(": ");
    numRow(10, blank, s.tLeq, c.tLeq);
    numRow(77, blank, s.mFast, c.mFast);
    for (const auto& [label, d] : kDayRows) {
        const QString pc = s.horarioIni[d] + QLatin1Char('-') + s.horarioFi[d];
        const QString eqp = c.horario[d][0] + QLatin1Char('-') + c.horario[d][1];
        r.row(pc != eqp, GetS(label), blank, pc, eqp);
    }
    numRow(102, colon, s.diaLocal, c.nivelDiaLocal);
    numRow(103, colon, s.diaVei, c.nivelDiaVecino);
    r.row(s.empiezaNoche != c.horaEmpiezaNoche, GetS(78), blank, s.empiezaNoche, c.horaEmpiezaNoche);
    r.row(s.terminaNoche != c.horaTerminaNoche, GetS(79), blank, s.terminaNoche, c.horaTerminaNoche);
    numRow(104, colon, s.nitLocal, c.nivelNocheLocal);
    numRow(105, colon, s.nitVei, c.nivelNocheVecino);
    numRow(80, colon, s.tiempoAtenuacion, c.tiempoAtenuacion);
    numRow(170, QString(), s.rings, c.rings);
    if (versionValue(s.version) >= 2.0)
        r.row(s.cmi != c.apliCorrecioGlobal, QStringLiteral("ENOS"), QString(), yesNo(s.cmi),
              yesNo(c.apliCorrecioGlobal), QStringLiteral("<->"));
    for (int m = 0; m < 9; ++m) {
        const std::optional<double> v = boxNumber(s.octavas[m], locale);
        const float device = c.octavas[m + 1];
        r.row(!v || float(*v) != device, GetS(161 + m), QString(), s.octavas[m], octaveText(device, locale));
    }

    QString list;
    for (int i = 0; i < kIntervalCount; ++i) {
        const InhibitedIntervals& a = s.intervals;
        const InhibitedIntervals& b = c.intervals;
        if (a.fechaIni[i] != b.fechaIni[i] || a.horaIni[i] != b.horaIni[i] || a.fechaFi[i] != b.fechaFi[i] ||
            a.horaFi[i] != b.horaFi[i]) {
            out.intervals.append(i + 1);
            list += QStringLiteral("  ") + QString::number(i + 1);
        }
    }
    if (!list.isEmpty())
        out.informe += GetS(81) + kTab + list;
    out.informe += kCr;
    out.informe += kCr + GetS(82) + kCr;
    return out;
}

bool ComparaPcEqp(SheetValues& sheet, const DeviceCopy& copy, const QString& versionEqp, Comparison* result,
                  const QLocale& locale)
{
    const Comparison c = compareWithDevice(sheet, copy, locale);
    if (result)
        *result = c;
    if (!c.differs())
        return false;
    if (prompter().message(c.informe, Prompter::Icon::Question, Prompter::Buttons::OkCancel) != Prompter::Answer::Ok)
        return false;
    CarregaProgEqp(sheet, copy, versionEqp, locale);
    return true;
}

} // namespace nbx
