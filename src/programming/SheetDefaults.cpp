#include "programming/SheetDefaults.h"

#include "programming/SheetText.h"

namespace nbx {

void CreaProgramacio(SheetValues& s, ProgrammingState& state, const Clock& now, const QLocale& locale)
{
    s.textFecha = formatSheetDate(now().date());
    s.textHora = formatLongTime(now().time());
    s.numeroSerie = QStringLiteral("0");
    s.fecha = formatSheetDate(now().date());
    s.contacto = s.local = s.direccion = s.poblacion = s.telefono = QStringLiteral(" ");
    s.nota.clear();
    s.version = QStringLiteral("0.0");
    s.cambioHora = 1;
    s.tempsActLoc = s.tempsActVei = QStringLiteral("01");
    s.optionLocal = LocalAction::Leq1s;
    s.optionVei = VecinoAction::Leq1s;
    s.tLeq = QStringLiteral("2");
    s.mFast = QStringLiteral("80");
    for (int d = 0; d < 7; ++d) {
        s.horarioIni[d] = QStringLiteral("00:00");
        s.horarioFi[d] = QStringLiteral("00:23"); // twenty-three minutes past midnight, as the device ships
    }
    s.diaLocal = QStringLiteral("80");
    s.diaVei = QStringLiteral("30");
    s.empiezaNoche = QStringLiteral("22:00");
    s.terminaNoche = QStringLiteral("08:00");
    s.empiezaDia = QStringLiteral("08:00");
    s.terminaDia = QStringLiteral("22:00");
    s.nitLocal = QStringLiteral("75");
    s.nitVei = QStringLiteral("25");
    s.tiempoAtenuacion = QStringLiteral("2");
    s.rings = QStringLiteral("2");
    const QString octave = QStringLiteral("000") + locale.decimalPoint() + QLatin1Char('0');
    for (QString& o : s.octavas)
        o = octave;
    s.intervals.clear();
    state.fichaModificada = true;
}

} // namespace nbx
