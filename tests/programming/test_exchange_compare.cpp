// The comparison report of a sheet against the device copy, the sheet filled from the device
// copy, and the checks that refuse a send.
#include "programming/Exchange.h"
#include "programming/ExchangeCompare.h"
#include "programming/SheetRepository.h"

#include "localisation/Strings.h"
#include "nbx70-sim/Simulator.h"
#include "programming/ProgrammingBlock.h"
#include "programming/SheetText.h"

#include <gtest/gtest.h>

namespace nbx::test {
namespace {

const QChar CR(0x0D);
const QChar TAB(0x09);

DeviceCopy defaultCopy()
{
    QByteArray f = QByteArray::fromHex("020173") + QByteArray(1, char(0x04)) + sim::defaultProgrammingBlock(true);
    f.append(char(0x03));
    f.append(char(xorOf(f)));
    DeviceCopy c;
    EXPECT_EQ(parseProgrammingReply(f, QStringLiteral("2.0"), c).status, ReplyStatus::Ok);
    return c;
}

SheetValues sheetOf(const DeviceCopy& c, const QString& version = QStringLiteral("2.0"))
{
    SheetValues s;
    s.version = version;
    CarregaProgEqp(s, c, version, QLocale::c());
    return s;
}

TEST(ExchangeCompare, OnlyTheLeqTimeDiffersGivesTheWholeReport)
{
    DeviceCopy c = defaultCopy();
    SheetValues s = sheetOf(c);
    EXPECT_FALSE(compareWithDevice(s, c, QLocale::c()).differs());
    c.tLeq = 2;
    s.tLeq = QStringLiteral("5");
    const QString expected = QStringLiteral("               PC <-> NBX70") + CR + CR + GetS(10) + " " + TAB + "5 <-> 2" +
                             CR + CR + CR + GetS(82) + CR;
    EXPECT_EQ(compareWithDevice(s, c, QLocale::c()).informe, expected);
    s.tLeq = QStringLiteral("02"); // compared as a number
    EXPECT_FALSE(compareWithDevice(s, c, QLocale::c()).differs());
}

TEST(ExchangeCompare, RowsAndTheirTexts)
{
    const DeviceCopy c = defaultCopy();
    struct Case {
        const char* name;
        std::function<void(SheetValues&)> edit;
        QString line; // expected line of the report, without its CR
    };
    const Case cases[] = {
        {"Monday", [](SheetValues& s) { s.horarioFi[Lunes] = "23:00"; },
         GetS(83) + " " + TAB + "08:00-23:00 <-> 08:00-23:30"},
        {"emission 125 ms", [](SheetValues& s) { s.optionLocal = LocalAction::Leq125; },
         GetS(65) + TAB + "Leq125ms <-> Leq1s"},
        {"reception", [](SheetValues& s) { s.optionVei = VecinoAction::Leq1s, s.tempsActVei = "05"; },
         GetS(66) + TAB + "Leq5s <-> 0"},
        {"change of hour", [](SheetValues& s) { s.cambioHora = 0; }, GetS(90) + TAB + GetS(69) + "<->" + GetS(68)},
        {"not a number", [](SheetValues& s) { s.diaVei = "3x"; }, GetS(103) + ": " + TAB + "3x <-> 35"},
        {"attenuation", [](SheetValues& s) { s.tiempoAtenuacion = "-1"; }, GetS(80) + ": " + TAB + "-1 <-> 10"},
        {"octave", [](SheetValues& s) { s.octavas[1] = "-5.5"; }, GetS(162) + TAB + "-5.5 <-> -5"},
        {"ENOS on 2.0", [](SheetValues& s) { s.cmi = 0; }, QStringLiteral("ENOS") + TAB + GetS(69) + "<->" + GetS(68)},
        {"intervals", [](SheetValues& s) { s.intervals.horaIni[2] = "01:00", s.intervals.fechaFi[16] = "01/01/07"; },
         GetS(81) + TAB + "  3  17"},
    };
    for (const Case& k : cases) {
        SheetValues s = sheetOf(c);
        k.edit(s);
        const Comparison r = compareWithDevice(s, c, QLocale::c());
        EXPECT_TRUE(r.informe.contains(k.line + CR)) << k.name << ": " << r.informe.toStdString();
        EXPECT_EQ(r.rows.size() + (r.intervals.isEmpty() ? 0 : 1), 1) << k.name;
    }
    SheetValues old = sheetOf(c, QStringLiteral("1.9"));
    old.cmi = 0;
    EXPECT_FALSE(compareWithDevice(old, c, QLocale::c()).differs()); // no ENOS row below 2.0
}

TEST(ExchangeCompare, CarregaProgEqpTakesActionTimesAndHidesCmiBelow20)
{
    DeviceCopy c = defaultCopy();
    c.tipoActuacionLocal = QStringLiteral("Leq10s");
    c.tipoActuacionVecino = QStringLiteral("Leq125ms");
    SheetValues s;
    s.cmiVisible = true;
    s.numeroSerie = QStringLiteral("42");
    CarregaProgEqp(s, c, QStringLiteral("1.9"), QLocale::c());
    EXPECT_EQ(s.optionLocal, LocalAction::Leq1s);
    EXPECT_EQ(s.tempsActLoc, "10");
    EXPECT_EQ(s.optionVei, VecinoAction::Leq125);
    EXPECT_FALSE(s.cmiVisible);
    EXPECT_EQ(s.numeroSerie, "42");
    EXPECT_EQ(s.empiezaDia, s.terminaNoche);
    EXPECT_EQ(actionTimeText("Leq5s"), "05");
    EXPECT_EQ(actionTimeText("Leq125ms"), "");
}

TEST(ExchangeCompare, SendRefusesTimesOutsideOneToTenAndUnconvertibleFields)
{
    const SheetValues ok = sheetOf(defaultCopy());
    EXPECT_EQ(sendRefusal(ok, QLocale::c()), QString());
    struct Case {
        std::function<void(SheetValues&)> edit;
        long label;
        QString detail;
    };
    // A used second interval, as stored or imported data may hold it.
    auto interval = [](SheetValues& s, const char* endDate, const char* startTime, const char* endTime) {
        s.intervals.fechaIni[1] = "24/12/24";
        s.intervals.horaIni[1] = QString::fromLatin1(startTime);
        s.intervals.fechaFi[1] = QString::fromLatin1(endDate);
        s.intervals.horaFi[1] = QString::fromLatin1(endTime);
    };
    const Case cases[] = {
        {[](SheetValues& s) { s.tempsActLoc = ""; }, 65, {}},
        {[](SheetValues& s) { s.tempsActLoc = "11"; }, 65, {}},
        {[](SheetValues& s) { s.optionVei = VecinoAction::Leq1s, s.tempsActVei = "0"; }, 66, {}},
        {[](SheetValues& s) { s.rings = "300"; }, 170, {}},
        {[](SheetValues& s) { s.diaLocal = ""; }, 102, {}},
        {[](SheetValues& s) { s.octavas[0] = ""; }, 161, {}},
        {[](SheetValues& s) { s.octavas[8] = " "; }, 169, {}},
        {[&](SheetValues& s) { interval(s, "26/12/24", "23:00", "25:00"); }, 143, "2"},
        {[&](SheetValues& s) { interval(s, "26/12/24", "24:00", "08:00"); }, 143, "2"},
        {[&](SheetValues& s) { interval(s, "26/12/24", "23:00", "08:60"); }, 143, "2"},
        {[&](SheetValues& s) { interval(s, "31/02/24", "23:00", "08:00"); }, 143, "2"},
    };
    for (const Case& k : cases) {
        SheetValues s = ok;
        k.edit(s);
        EXPECT_EQ(sendRefusal(s, QLocale::c()), invalidFieldMessage(k.label, k.detail));
        if (k.label == 161 || k.label == 169) {
            s.numeroSerie = "123456";
            s.fecha = "01/01/24";
            EXPECT_EQ(validateForSave(s, QLocale::c()), invalidFieldMessage(k.label)) << "refused at save too";
        }
    }
    SheetValues used = ok;
    interval(used, "26/12/24", "23:00", "08:00");
    EXPECT_EQ(sendRefusal(used, QLocale::c()), QString());
    SheetValues leq125 = ok;
    leq125.optionLocal = LocalAction::Leq125;
    leq125.tempsActLoc = "";
    EXPECT_EQ(sendRefusal(leq125, QLocale::c()), QString());
}

} // namespace
} // namespace nbx::test
