// The programming block: request bytes, reading replies of 370 and 371 bytes, building the block.
#include "programming/ProgrammingBlock.h"
#include "programming/SheetText.h"

#include "support/ScriptedPrompter.h"
#include "localisation/Strings.h"

#include <gtest/gtest.h>

namespace nbx::test {

namespace {

// A reply laid out by hand from the block table: offset 0 STX, 1-2 LEN, 3 command, block at 4.
struct Reply {
    explicit Reply(int len) : bytes(len, '\0')
    {
        bytes[0] = 0x02;
        bytes[1] = char(len >> 8);
        bytes[2] = char(len & 0xFF);
        bytes[3] = 0x04;
        bytes[len - 2] = 0x03;
    }
    void set(int k, int v) { bytes[k + 4] = char(quint8(v)); }
    QByteArray frame()
    {
        quint8 x = 0;
        for (int i = 0; i < bytes.size() - 1; ++i)
            x ^= quint8(bytes[i]);
        bytes[bytes.size() - 1] = char(x);
        return bytes;
    }
    QByteArray bytes;
};

Reply goldenReply(int len)
{
    Reply r(len);
    // Sunday closed, Monday start closed and end 09:30, Tuesday 08:00-23:59.
    for (int k = 0; k < 4; ++k)
        r.set(k, 0x2D);
    r.set(4, 0x2D), r.set(5, 0x2D), r.set(6, 9), r.set(7, 30);
    r.set(8, 8), r.set(9, 0), r.set(10, 23), r.set(11, 59);
    r.set(28, 90), r.set(29, 35);
    r.set(30, 22), r.set(31, 0), r.set(32, 8), r.set(33, 0);
    r.set(34, 85), r.set(35, 30), r.set(36, 1);
    r.set(37, 0x27), r.set(38, 0x0F); // 9999
    r.set(39, 15), r.set(40, 100), r.set(41, 0xAA), r.set(42, 2), r.set(43, 3);
    // interval 1: 24/12/06 23:59 to 26/12/06 08:00
    const int iv[10] = {24, 12, 106, 23, 59, 26, 12, 106, 8, 0};
    for (int n = 0; n < 10; ++n)
        r.set(44 + n, iv[n]);
    r.set(344, 10), r.set(345, 0);
    r.set(346, 0x00), r.set(347, 0x32); // 31.5 Hz: 5.0
    r.set(348, 0xFF), r.set(349, 0xCE); // 63 Hz: -5.0
    r.set(362, 0xFE), r.set(363, 0xD4); // 8 kHz: -30.0
    return r;
}

} // namespace

TEST(ProgrammingBlock, RequestIsTheSixBytes)
{
    EXPECT_EQ(demanaProgramacioFrame(), QByteArray::fromHex("020006040303"));
}

TEST(ProgrammingBlock, GoldenReplyWithCmi)
{
    Reply r = goldenReply(371);
    r.set(364, 1);
    DeviceCopy c;
    const ReplyOutcome out = parseProgrammingReply(r.frame(), QStringLiteral("2.0"), c);
    ASSERT_EQ(out.status, ReplyStatus::Ok);
    EXPECT_TRUE(out.cmiPresent);
    EXPECT_EQ(c.horario[0][0], "--:--");
    EXPECT_EQ(c.horario[0][1], "--:--");
    EXPECT_EQ(c.horario[1][0], "--:--");
    EXPECT_EQ(c.horario[1][1], "09:30");
    EXPECT_EQ(c.horario[2][0], "08:00");
    EXPECT_EQ(c.horario[2][1], "23:59");
    EXPECT_EQ(c.horario[6][0], "00:00");
    EXPECT_EQ(c.nivelDiaLocal, 90);
    EXPECT_EQ(c.nivelDiaVecino, 35);
    EXPECT_EQ(c.horaEmpiezaNoche, "22:00");
    EXPECT_EQ(c.horaTerminaNoche, "08:00");
    EXPECT_EQ(c.nivelNocheLocal, 85);
    EXPECT_EQ(c.nivelNocheVecino, 30);
    EXPECT_EQ(c.cambioHora, 1);
    EXPECT_EQ(c.tiempoAtenuacion, 9999);
    EXPECT_EQ(c.tLeq, 15);
    EXPECT_EQ(c.mFast, 100);
    EXPECT_EQ(c.idioma, "English");
    EXPECT_EQ(c.rings, 3);
    EXPECT_EQ(c.intervals.fechaIni[0], "24/12/06");
    EXPECT_EQ(c.intervals.horaIni[0], "23:59");
    EXPECT_EQ(c.intervals.fechaFi[0], "26/12/06");
    EXPECT_EQ(c.intervals.horaFi[0], "08:00");
    EXPECT_EQ(c.intervals.fechaIni[29], "00/00/00");
    EXPECT_EQ(c.intervals.horaFi[29], "00:00");
    EXPECT_EQ(c.tipoActuacionLocal, "Leq10s");
    EXPECT_EQ(c.tipoActuacionVecino, "0");
    EXPECT_FLOAT_EQ(c.octavas[1], 5.0f);
    EXPECT_FLOAT_EQ(c.octavas[2], -5.0f);
    EXPECT_FLOAT_EQ(c.octavas[3], 0.0f);
    EXPECT_FLOAT_EQ(c.octavas[9], -30.0f);
    EXPECT_EQ(c.apliCorrecioGlobal, 1);
}

TEST(ProgrammingBlock, Firmware19ReadsNoCmiAndLeavesIt)
{
    Reply r = goldenReply(370);
    DeviceCopy c;
    c.apliCorrecioGlobal = 7;
    const ReplyOutcome out = parseProgrammingReply(r.frame(), QStringLiteral("1.9"), c);
    ASSERT_EQ(out.status, ReplyStatus::Ok);
    EXPECT_FALSE(out.cmiPresent);
    EXPECT_EQ(c.apliCorrecioGlobal, 7);
    EXPECT_EQ(c.tiempoAtenuacion, 9999);
}

TEST(ProgrammingBlock, Firmware20WithShortReplyTakesCmiAsOff)
{
    // Offset 368 is the ETX (3) of a 370-byte reply: it must not be read as the flag.
    Reply r = goldenReply(370);
    DeviceCopy c;
    const ReplyOutcome out = parseProgrammingReply(r.frame(), QStringLiteral("2.0"), c);
    ASSERT_EQ(out.status, ReplyStatus::Ok);
    EXPECT_TRUE(out.cmiPresent);
    EXPECT_EQ(c.apliCorrecioGlobal, 0);
}

TEST(ProgrammingBlock, Firmware20WithCmiZeroStillShowsTheControls)
{
    Reply r = goldenReply(371);
    DeviceCopy c;
    c.apliCorrecioGlobal = 1;
    const ReplyOutcome out = parseProgrammingReply(r.frame(), QStringLiteral("2.12"), c);
    EXPECT_TRUE(out.cmiPresent);
    EXPECT_EQ(c.apliCorrecioGlobal, 0);
}

TEST(ProgrammingBlock, ShortReplyFailsAndKeepsTheCopy)
{
    ScriptedPrompter p;
    DeviceCopy c;
    c.idioma = QStringLiteral("Català");
    c.nivelDiaLocal = 77;
    const DeviceCopy before = c;
    Reply r(368);
    r.set(28, 99);
    bool cmi = true;
    EXPECT_FALSE(RecibirProgramacion(r.frame(), QStringLiteral("2.0"), c, &cmi));
    EXPECT_EQ(c, before);
    ASSERT_EQ(p.shown.size(), 1);
    EXPECT_EQ(p.shown[0].text, GetS(62));
    EXPECT_EQ(p.shown[0].icon, Prompter::Icon::Critical);
    // LEN says 370 but fewer bytes are present.
    QByteArray cut = goldenReply(370).frame().left(300);
    EXPECT_EQ(parseProgrammingReply(cut, QStringLiteral("1.0"), c).status, ReplyStatus::TooShort);
    EXPECT_EQ(c, before);
}

TEST(ProgrammingBlock, IntervalBytes)
{
    struct Case {
        int b[10];
        const char* fi;
        const char* hi;
        const char* ff;
        const char* hf;
    };
    const Case cases[] = {
        {{0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, "00/00/00", "00:00", "00/00/00", "00:00"},
        {{24, 12, 106, 23, 59, 15, 3, 105, 8, 0}, "24/12/06", "23:59", "15/03/05", "08:00"},
        {{31, 2, 124, 25, 0, 29, 2, 100, 0, 0}, "31/2/124", "25:0", "29/02/00", "00:00"},
        {{29, 2, 101, 12, 60, 1, 1, 0, 0, 0}, "29/2/101", "12:60", "01/01/00", "00:00"},
    };
    for (const Case& tc : cases) {
        Reply r(370);
        for (int n = 0; n < 10; ++n)
            r.set(44 + 10 * 7 + n, tc.b[n]); // interval 8
        DeviceCopy c;
        ASSERT_EQ(parseProgrammingReply(r.frame(), QStringLiteral("1.0"), c).status, ReplyStatus::Ok);
        EXPECT_EQ(c.intervals.fechaIni[7], tc.fi);
        EXPECT_EQ(c.intervals.horaIni[7], tc.hi);
        EXPECT_EQ(c.intervals.fechaFi[7], tc.ff);
        EXPECT_EQ(c.intervals.horaFi[7], tc.hf);
    }
}

TEST(ProgrammingBlock, ActionAndLanguageBytes)
{
    const struct {
        int local, vecino;
        const char* localText;
        const char* vecinoText;
    } cases[] = {{0, 0, "Leq125ms", "0"}, {1, 1, "Leq1s", "Leq1s"}, {10, 10, "Leq10s", "Leq10s"},
                 {11, 11, "Leq125ms", "Leq125ms"}, {125, 125, "Leq125ms", "Leq125ms"}};
    for (const auto& tc : cases) {
        Reply r(370);
        r.set(344, tc.local);
        r.set(345, tc.vecino);
        r.set(42, 9);
        DeviceCopy c;
        c.idioma = QStringLiteral("Deutsch");
        parseProgrammingReply(r.frame(), QString(), c);
        EXPECT_EQ(c.tipoActuacionLocal, tc.localText) << tc.local;
        EXPECT_EQ(c.tipoActuacionVecino, tc.vecinoText) << tc.vecino;
        EXPECT_EQ(c.idioma, "Deutsch"); // unknown code 9 leaves the name
    }
    Reply r(370);
    r.set(37, 0xFF), r.set(38, 0xFF);
    DeviceCopy c;
    parseProgrammingReply(r.frame(), QString(), c);
    EXPECT_EQ(c.tiempoAtenuacion, -1);
    EXPECT_EQ(c.idioma, "Español");
}

namespace {

SheetValues sheetForSending()
{
    SheetValues s;
    for (int d = 0; d < 7; ++d) {
        s.horarioIni[d] = QStringLiteral("10:15");
        s.horarioFi[d] = QStringLiteral("23:45");
    }
    s.horarioIni[Domingo] = QStringLiteral("--:--");
    s.horarioFi[Domingo] = QStringLiteral("12:00"); // ignored: the start says closed
    s.diaLocal = QStringLiteral("80");
    s.diaVei = QStringLiteral("30");
    s.empiezaNoche = QStringLiteral("22:00");
    s.terminaNoche = QStringLiteral("08:00");
    s.nitLocal = QStringLiteral("75");
    s.nitVei = QStringLiteral("25");
    s.cambioHora = 1;
    s.tiempoAtenuacion = QStringLiteral("2");
    s.tLeq = QStringLiteral("2");
    s.mFast = QStringLiteral("80");
    s.rings = QStringLiteral("2");
    s.optionLocal = LocalAction::Leq125;
    s.tempsActLoc = QStringLiteral("05");
    s.optionVei = VecinoAction::No;
    s.tempsActVei = QStringLiteral("07");
    const char* oct[9] = {"0.0", "5.5", "-5.0", "-30.0", "0", "0", "0", "0", "12.3"};
    for (int m = 0; m < 9; ++m)
        s.octavas[m] = QString::fromLatin1(oct[m]);
    s.intervals.fechaIni[0] = QStringLiteral("24/12/06");
    s.intervals.horaIni[0] = QStringLiteral("23:59");
    s.intervals.fechaFi[0] = QStringLiteral("26/12/06");
    s.intervals.horaFi[0] = QStringLiteral("08:00");
    s.intervals.fechaIni[1] = QStringLiteral("01/02/99");
    s.intervals.horaIni[1] = QStringLiteral("00:00");
    s.intervals.fechaFi[1] = QStringLiteral("02/02/99");
    s.intervals.horaFi[1] = QStringLiteral("00:01");
    s.version = QStringLiteral("1.9");
    s.cmi = 1;
    return s;
}

} // namespace

TEST(ProgrammingBlock, BuildsTheBlockFromTheSheet)
{
    QByteArray block;
    QString error;
    ASSERT_TRUE(buildProgrammingBlock(sheetForSending(), &block, &error, QLocale::c())) << error.toStdString();
    ASSERT_EQ(block.size(), 364);
    QByteArray want(364, '\0');
    auto set = [&](int k, int v) { want[k] = char(quint8(v)); };
    for (int k = 0; k < 4; ++k)
        set(k, 0x2D);
    for (int d = 1; d < 7; ++d)
        set(4 * d, 10), set(4 * d + 1, 15), set(4 * d + 2, 23), set(4 * d + 3, 45);
    set(28, 80), set(29, 30), set(30, 22), set(31, 0), set(32, 8), set(33, 0);
    set(34, 75), set(35, 25), set(36, 1), set(37, 0), set(38, 2), set(39, 2), set(40, 80);
    set(43, 2);
    const int iv[20] = {24, 12, 106, 23, 59, 26, 12, 106, 8, 0, 1, 2, 99, 0, 0, 2, 2, 99, 0, 1};
    for (int n = 0; n < 20; ++n)
        set(44 + n, iv[n]);
    set(344, 125), set(345, 0);
    set(348, 0x00), set(349, 0x37); // 5.5
    set(350, 0xFF), set(351, 0xCE); // -5.0
    set(352, 0xFE), set(353, 0xD4); // -30.0
    set(362, 0x00), set(363, 0x7B); // 12.3
    EXPECT_EQ(block.toHex(' '), want.toHex(' '));
}

TEST(ProgrammingBlock, SendFrameWithAndWithoutCmi)
{
    SheetValues s = sheetForSending();
    const QDateTime now(QDate(2026, 12, 31), QTime(23, 59, 58));
    QByteArray f;
    QString error;
    ASSERT_TRUE(buildTramaProgramacion(s, now, &f, &error, QLocale::c()));
    ASSERT_EQ(f.size(), 376);
    EXPECT_EQ(f.left(10).toHex(' '), QByteArray("02 01 78 08 1f 0c 7e 17 3b 3a"));
    EXPECT_EQ(quint8(f[374]), 0x03);
    EXPECT_EQ(quint8(f[375]), xorOf(f.left(375)));

    s.version = QStringLiteral("2.0");
    ASSERT_TRUE(buildTramaProgramacion(s, now, &f, &error, QLocale::c()));
    ASSERT_EQ(f.size(), 377);
    EXPECT_EQ(quint8(f[2]), 0x79);
    EXPECT_EQ(quint8(f[374]), 1); // CMI
    EXPECT_EQ(quint8(f[375]), 0x03);
}

TEST(ProgrammingBlock, UnconvertibleFieldsBuildNothing)
{
    const struct {
        void (*edit)(SheetValues&);
        long labelId;
    } cases[] = {
        {[](SheetValues& s) { s.diaLocal.clear(); }, 102},
        {[](SheetValues& s) { s.rings = QStringLiteral("300"); }, 170},
        {[](SheetValues& s) { s.nitVei = QStringLiteral("x"); }, 105},
        {[](SheetValues& s) { s.tiempoAtenuacion = QStringLiteral("40000"); }, 80},
        {[](SheetValues& s) { s.intervals.horaFi[1] = QStringLiteral("ab:cd"); }, 143},
        {[](SheetValues& s) { s.intervals.fechaFi[0] = QStringLiteral("32/12/06"); }, 143},
        {[](SheetValues& s) { s.octavas[4] = QStringLiteral("abc"); }, 165},
    };
    for (const auto& tc : cases) {
        SheetValues s = sheetForSending();
        tc.edit(s);
        QByteArray block("untouched");
        QString error;
        EXPECT_FALSE(buildProgrammingBlock(s, &block, &error, QLocale::c()));
        EXPECT_EQ(block, "untouched");
        EXPECT_TRUE(error.startsWith(GetS(106))) << error.toStdString();
        EXPECT_TRUE(error.contains(GetS(tc.labelId).trimmed().remove(QLatin1Char(':')))) << error.toStdString();
    }
    // An unused interval (start not a date) sends ten zeros whatever its other cells hold.
    SheetValues s = sheetForSending();
    s.intervals.fechaIni[0] = QStringLiteral("00/00/00");
    s.intervals.fechaFi[0] = QStringLiteral("garbage");
    QByteArray block;
    ASSERT_TRUE(buildProgrammingBlock(s, &block, nullptr, QLocale::c()));
    EXPECT_EQ(block.mid(44, 10), QByteArray(10, '\0'));
}

TEST(ProgrammingBlock, OctavesReadWithTheLocaleSeparator)
{
    SheetValues s = sheetForSending();
    s.octavas[1] = QStringLiteral("5,5");
    QByteArray block;
    ASSERT_TRUE(buildProgrammingBlock(s, &block, nullptr, QLocale(QLocale::Spanish, QLocale::Spain)));
    EXPECT_EQ(block.mid(348, 2).toHex(), "0037");
}

} // namespace nbx::test
