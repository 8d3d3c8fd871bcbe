#include "programming/FieldRules.h"

#include "programming/SheetText.h"

#include <QHash>

namespace nbx {

namespace {

RuleOutcome accepted(const QString& text) { return {RuleOutcome::Kind::Accepted, text, 0, PageNone}; }
RuleOutcome replaced(const char* text, int page = PageNone)
{
    return {RuleOutcome::Kind::Replaced, QString::fromLatin1(text), 0, page};
}
RuleOutcome refused(const QString& text, long id, int page = PageNone) { return {RuleOutcome::Kind::Refused, text, id, page}; }

} // namespace

RuleOutcome applyFieldRule(RuleField field, const QString& text, const QLocale& locale)
{
    const std::optional<double> n = boxNumber(text, locale);
    switch (field) {
    case RuleField::DiaLocal:
    case RuleField::NitLocal:
        if (!n)
            return refused(text, 60, PageNormativa);
        if (*n < 60)
            return replaced("60", PageNormativa);
        if (*n > 120)
            return replaced("120", PageNormativa);
        return accepted(text);
    case RuleField::DiaVei:
    case RuleField::NitVei:
        if (!n)
            return refused(text, 60, PageNormativa);
        if (*n > 120)
            return replaced("120", PageNormativa);
        return accepted(text);
    case RuleField::MFast: {
        const double v = n.value_or(0);
        if (v < 60)
            return replaced("60");
        if (v > 120)
            return replaced("120");
        return accepted(text);
    }
    case RuleField::TempsActLoc:
    case RuleField::TempsActVei:
        if (!n)
            return refused(text, 106);
        if (*n < 1)
            return replaced("01");
        if (*n > 10)
            return replaced("10");
        return accepted(text);
    case RuleField::TiempoAtenuacion:
        if (!n || (*n != 0 && (*n < 2 || *n > 9999)))
            return replaced("0", PageAtenuacion);
        return accepted(text);
    case RuleField::TLeq:
        if (!n || *n < 2)
            return replaced("2", PageTLeq);
        if (*n > 60)
            return replaced("60", PageTLeq);
        return accepted(text);
    case RuleField::Rings:
        if (!n || *n < 1)
            return replaced("1");
        if (*n > 255) // the device keeps the count in one byte
            return replaced("255");
        return accepted(text);
    }
    return accepted(text);
}

QString actionTimeOnLeq1sClick(const QString& timeText, const QLocale& locale)
{
    const std::optional<double> n = boxNumber(timeText, locale);
    if (n.value_or(0) < 1)
        return QStringLiteral("01");
    return timeText;
}

NightOutcome applyNightRule(bool leavingStart, const QString& empiezaNoche, const QString& terminaNoche)
{
    NightOutcome out;
    const QString& own = leavingStart ? empiezaNoche : terminaNoche;
    const std::optional<QTime> time = parseSheetTime(own);
    if (!time) {
        out.accepted = false;
        out.messageId = leavingStart ? 25 : 26;
        out.focus = leavingStart ? NightOutcome::Focus::Start : NightOutcome::Focus::End;
        out.page = PageNormativa;
        return out;
    }
    // The box holds "hh:mm" only, as the device frame needs it.
    out.text = time->toString(QStringLiteral("hh:mm"));
    const QString start = leavingStart ? out.text : empiezaNoche;
    const QString end = leavingStart ? terminaNoche : out.text;
    if (start == end) {
        out.accepted = false;
        out.messageId = 97;
        out.focus = NightOutcome::Focus::Start;
        out.page = PageNormativa;
        return out;
    }
    out.empiezaDia = end;
    out.terminaDia = start;
    return out;
}

RuleOutcome applyDateRule(const QString& text)
{
    const std::optional<QDate> date = parseSheetDate(text);
    if (!date)
        return refused(text, 18);
    const QString full = formatSheetDate(*date);
    if (full != text)
        return {RuleOutcome::Kind::Replaced, full, 0, PageNone};
    return accepted(text);
}

ControlBehaviour controlBehaviour(const QString& name)
{
    using C = CampoActualEffect;
    using K = KeyEffect;
    static const QHash<QString, ControlBehaviour> table = [] {
        QHash<QString, ControlBehaviour> t;
        t.insert(QStringLiteral("MaskNumeroSerie"), {C::Set, K::DiscardAllSetFlag, false, PageNone});
        t.insert(QStringLiteral("MaskVersion"), {C::Set, K::DiscardAll, false, PageNone});
        t.insert(QStringLiteral("MaskFecha"), {C::Set, K::DropBlankSetFlag, false, PageNone});
        for (const char* n : {"MaskContacto", "MaskLocal", "MaskDireccion", "MaskPoblacion", "MaskTelefono"})
            t.insert(QString::fromLatin1(n), {C::Set, K::SetFlag, false, PageNone});
        t.insert(QStringLiteral("TextNota"), {C::Keep, K::SetFlag, false, PageNone});
        t.insert(QStringLiteral("CheckCambioHora"), {C::Clear, K::None, false, PageReloj});
        for (const char* n : {"MaskDiaLocal", "MaskDiaVei", "MaskEmpiezaNoche", "MaskTerminaNoche", "MaskNitLocal",
                              "MaskNitVei"})
            t.insert(QString::fromLatin1(n), {C::Clear, K::DropBlankSetFlag, false, PageNormativa});
        for (const char* n : {"MaskEmpiezaDia", "MaskTerminaDia"})
            t.insert(QString::fromLatin1(n), {C::Keep, K::None, false, PageNormativa});
        for (const char* n : {"OptionLocalLeq125", "OptionLocalLeq1s", "OptionVeiNo", "OptionVeiLeq125", "OptionVeiLeq1s"})
            t.insert(QString::fromLatin1(n), {C::Clear, K::None, false, PageActuacion});
        for (const char* n : {"MaskTempsActLoc", "MaskTempsActVei"})
            t.insert(QString::fromLatin1(n), {C::Keep, K::DropBlankSetFlag, false, PageActuacion});
        t.insert(QStringLiteral("CheckApliCorrecioGlobal"), {C::Keep, K::None, false, PageActuacion});
        t.insert(QStringLiteral("MaskTiempoAtenuacion"), {C::Clear, K::DropBlankSetFlag, false, PageAtenuacion});
        for (int m = 1; m <= 9; ++m)
            t.insert(QStringLiteral("MaskOctava%1").arg(m), {C::Clear, K::SetFlag, true, PageAislamiento});
        t.insert(QStringLiteral("MaskMFast"), {C::Clear, K::SetFlag, false, PageLFmax});
        t.insert(QStringLiteral("MaskTLeq"), {C::Clear, K::SetFlag, false, PageTLeq});
        t.insert(QStringLiteral("MaskRings"), {C::Clear, K::DropBlankSetFlag, false, PageModem});
        for (const char* d : {"Lunes", "Martes", "Miercoles", "Jueves", "Viernes", "Sabado", "Domingo"})
            for (const char* half : {"Ini", "Fi"})
                t.insert(QStringLiteral("Mask%1%2").arg(QLatin1String(d), QLatin1String(half)),
                         {C::Keep, K::None, false, PageHorarios});
        for (const char* n : {"SSCommandAnterior", "SSCommandSiguiente", "SSCommandGrabar", "SSCommandBorrar",
                              "SSCommandExit", "SSCommandIncidencias", "SSCommandRecibir", "SSCommandTransmitir",
                              "SSCommandHelp", "SSCommandImprimir", "SSTab2"})
            t.insert(QString::fromLatin1(n), {C::Clear, K::None, false, PageNone});
        return t;
    }();
    return table.value(name, ControlBehaviour{});
}

KeyOutcome keyPressed(const QString& controlName, QChar key)
{
    const ControlBehaviour b = controlBehaviour(controlName);
    if (key == QLatin1Char('+') || (key == QLatin1Char('-') && !b.acceptsMinus))
        return {false, false};
    switch (b.key) {
    case KeyEffect::None: return {true, false};
    case KeyEffect::DiscardAll: return {false, false};
    case KeyEffect::DiscardAllSetFlag: return {false, true};
    case KeyEffect::SetFlag: return {true, true};
    case KeyEffect::DropBlankSetFlag: return {key != QLatin1Char(' '), true};
    }
    return {true, false};
}

} // namespace nbx
