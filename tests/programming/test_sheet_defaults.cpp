// The blank sheet.
#include "programming/ProgrammingBlock.h"
#include "programming/SheetDefaults.h"

#include <gtest/gtest.h>

namespace nbx::test {

TEST(SheetDefaults, BlankSheetHoldsTheDefaultProgramming)
{
    ProgrammingState st;
    SheetValues s;
    s.cmi = 1;
    s.cmiVisible = true;
    s.intervals.fechaIni[3] = QStringLiteral("01/01/06");
    int calls = 0;
    const Clock clock = [&] { ++calls; return QDateTime(QDate(2026, 3, 5), QTime(9, 7, 3)); };
    CreaProgramacio(s, st, clock, QLocale::c());

    EXPECT_EQ(calls, 3);
    EXPECT_EQ(s.textFecha, "05/03/26");
    EXPECT_EQ(s.textHora, "09:07:03");
    EXPECT_EQ(s.fecha, "05/03/26");
    EXPECT_EQ(s.numeroSerie, "0");
    for (const QString* t : {&s.contacto, &s.local, &s.direccion, &s.poblacion, &s.telefono})
        EXPECT_EQ(*t, " ");
    EXPECT_EQ(s.nota, "");
    EXPECT_EQ(s.version, "0.0");
    EXPECT_EQ(s.cambioHora, 1);
    EXPECT_EQ(s.tempsActLoc, "01");
    EXPECT_EQ(s.tempsActVei, "01");
    EXPECT_EQ(s.optionLocal, LocalAction::Leq1s);
    EXPECT_EQ(s.optionVei, VecinoAction::Leq1s);
    EXPECT_EQ(s.tLeq, "2");
    EXPECT_EQ(s.mFast, "80");
    for (int d = 0; d < 7; ++d) {
        EXPECT_EQ(s.horarioIni[d], "00:00");
        EXPECT_EQ(s.horarioFi[d], "00:23");
    }
    EXPECT_EQ(s.diaLocal, "80");
    EXPECT_EQ(s.diaVei, "30");
    EXPECT_EQ(s.nitLocal, "75");
    EXPECT_EQ(s.nitVei, "25");
    EXPECT_EQ(s.empiezaNoche, "22:00");
    EXPECT_EQ(s.terminaNoche, "08:00");
    EXPECT_EQ(s.empiezaDia, "08:00");
    EXPECT_EQ(s.terminaDia, "22:00");
    EXPECT_EQ(s.tiempoAtenuacion, "2");
    EXPECT_EQ(s.rings, "2");
    for (const QString& o : s.octavas)
        EXPECT_EQ(o, "000.0");
    EXPECT_EQ(s.intervals, InhibitedIntervals());
    EXPECT_EQ(s.intervals.fechaIni[3], "00/00/00");
    // Left alone.
    EXPECT_EQ(s.cmi, 1);
    EXPECT_TRUE(s.cmiVisible);
    EXPECT_TRUE(st.fichaModificada);

    // The blank sheet can be sent as it is, without the CMI byte.
    QByteArray block;
    QString error;
    ASSERT_TRUE(buildProgrammingBlock(s, &block, &error, QLocale::c())) << error.toStdString();
    EXPECT_EQ(block.size(), 364);
    EXPECT_EQ(block.mid(0, 4).toHex(' '), "00 00 00 17");
}

} // namespace nbx::test
