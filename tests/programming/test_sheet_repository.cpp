// Storage of programming sheets on a fresh database.
#include "programming/SheetRepository.h"

#include "localisation/Strings.h"
#include "support/ScriptedPrompter.h"
#include "support/TempDatabase.h"

#include <QSqlQuery>
#include <functional>
#include <QVariant>

#include <gtest/gtest.h>

namespace nbx::test {

namespace {

const QDateTime kNow(QDate(2026, 3, 5), QTime(9, 7, 3));
Clock fixedClock() { return [] { return kNow; }; }

SheetValues fullSheet(const QString& serial = QStringLiteral("123456"))
{
    SheetValues s;
    ProgrammingState st;
    CreaProgramacio(s, st, fixedClock(), QLocale::c());
    s.numeroSerie = serial;
    s.version = QStringLiteral("1.9");
    s.fecha = QStringLiteral("24/12/06");
    s.contacto = QStringLiteral("O'Brien 100%");
    s.local = QStringLiteral("Bar Sol");
    s.direccion = QStringLiteral("Calle Mayor 1");
    s.poblacion = QStringLiteral("Lleida");
    s.telefono = QStringLiteral("973000000");
    s.nota = QStringLiteral("line one\rline two");
    s.cambioHora = 0;
    s.optionLocal = LocalAction::Leq1s;
    s.tempsActLoc = QStringLiteral("5");
    s.optionVei = VecinoAction::No;
    s.tempsActVei = QStringLiteral("01");
    s.tLeq = QStringLiteral("15");
    s.mFast = QStringLiteral("100");
    for (int d = 0; d < 7; ++d) {
        s.horarioIni[d] = QStringLiteral("1%1:00").arg(d);
        s.horarioFi[d] = QStringLiteral("23:0%1").arg(d);
    }
    s.horarioIni[Domingo] = s.horarioFi[Domingo] = QStringLiteral("--:--");
    s.diaLocal = QStringLiteral("90");
    s.diaVei = QStringLiteral("35");
    s.empiezaNoche = QStringLiteral("23:00");
    s.terminaNoche = QStringLiteral("07:00");
    s.empiezaDia = QStringLiteral("07:00");
    s.terminaDia = QStringLiteral("23:00");
    s.nitLocal = QStringLiteral("85");
    s.nitVei = QStringLiteral("30");
    s.tiempoAtenuacion = QStringLiteral("9999");
    s.rings = QStringLiteral("3");
    const char* oct[9] = {"0", "5.5", "-5", "-30", "0.1", "12.3", "0", "0", "1"};
    for (int m = 0; m < 9; ++m)
        s.octavas[m] = QString::fromLatin1(oct[m]);
    s.intervals.fechaIni[0] = QStringLiteral("24/12/06");
    s.intervals.horaIni[0] = QStringLiteral("23:59");
    s.intervals.fechaFi[0] = QStringLiteral("26/12/06");
    s.intervals.horaFi[0] = QStringLiteral("08:00");
    return s;
}

QVariant scalar(const QString& sql)
{
    QSqlQuery q(mainDb());
    if (!q.exec(sql) || !q.next())
        return QVariant();
    return q.value(0);
}

void exec(const QString& sql)
{
    QSqlQuery q(mainDb());
    ASSERT_TRUE(q.exec(sql)) << sql.toStdString();
}

} // namespace

TEST(SheetRepository, FirstSaveInsertsLaterSavesKeepTheTotals)
{
    TempDatabase db;
    SheetRepository repo;
    QString error;
    ASSERT_TRUE(repo.save(fullSheet(), kNow, &error, QLocale::c())) << error.toStdString();
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM Programacion").toInt(), 1);
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM IntervaloInhabil WHERE LNumeroSerie = 123456").toInt(), 30);
    EXPECT_EQ(scalar("SELECT DFechaTotales FROM Programacion").toString(), "2026-03-05");
    EXPECT_EQ(scalar("SELECT THoraTotales FROM Programacion").toString(), "09:07:03");
    EXPECT_EQ(scalar("SELECT LPasadasLocal + LPasadasVecino + LE3 + LCB FROM Programacion").toInt(), 0);
    EXPECT_EQ(scalar("SELECT TModelo || TIdioma || BoImpresion FROM Programacion").toString(), "NBX70Español0");
    EXPECT_EQ(scalar("SELECT DFecha FROM Programacion").toString(), "2006-12-24");

    // A download writes the totals; the next save keeps them and updates the sheet.
    exec("UPDATE Programacion SET DFechaTotales = '2020-01-01', THoraTotales = '01:02:03', LPasadasLocal = 7, "
         "LPasadasVecino = 8, LE3 = 9, LCB = 10, ByVelocidad = 4");
    SheetValues s = fullSheet();
    s.local = QStringLiteral("Bar Luna");
    ASSERT_TRUE(repo.save(s, kNow.addDays(1), &error, QLocale::c()));
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM Programacion").toInt(), 1);
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM IntervaloInhabil").toInt(), 30);
    EXPECT_EQ(scalar("SELECT TLocal FROM Programacion").toString(), "Bar Luna");
    EXPECT_EQ(scalar("SELECT DFechaTotales || ' ' || THoraTotales || ' ' || LPasadasLocal || LPasadasVecino || LE3 "
                     "|| LCB || ByVelocidad FROM Programacion")
                  .toString(),
              "2020-01-01 01:02:03 789104");
}

TEST(SheetRepository, EveryFieldRoundTrips)
{
    TempDatabase db;
    SheetRepository repo;
    const SheetValues saved = fullSheet();
    ASSERT_TRUE(repo.save(saved, kNow, nullptr, QLocale::c()));
    EXPECT_EQ(scalar("SELECT TTipoActuacionLocal FROM Programacion").toString(), "Leq05s");
    EXPECT_EQ(scalar("SELECT TTipoActuacionVecino FROM Programacion").toString(), "0");
    EXPECT_EQ(scalar("SELECT BoCambioHora FROM Programacion").toInt(), 0);

    SheetValues loaded;
    ASSERT_TRUE(repo.load(123456, loaded, nullptr, QLocale::c()));
    SheetValues want = saved;
    want.textFecha = loaded.textFecha; // the load leaves the clock fields to its caller
    want.textHora = loaded.textHora;
    want.tempsActLoc = QStringLiteral("05");
    want.tempsActVei = loaded.tempsActVei; // reception "0": the time box is not read
    want.octavas[0] = QStringLiteral("0");
    want.octavas[4] = QStringLiteral("0.1");
    EXPECT_EQ(loaded.octavas, want.octavas);
    EXPECT_EQ(loaded.intervals, want.intervals);
    EXPECT_EQ(loaded, want);
}

TEST(SheetRepository, ActionTypes)
{
    TempDatabase db;
    SheetRepository repo;
    SheetValues s = fullSheet();
    s.optionLocal = LocalAction::Leq125;
    s.optionVei = VecinoAction::None;
    ASSERT_TRUE(repo.save(s, kNow, nullptr, QLocale::c()));
    EXPECT_EQ(scalar("SELECT TTipoActuacionLocal FROM Programacion").toString(), "Leq125ms");
    EXPECT_EQ(scalar("SELECT TTipoActuacionVecino FROM Programacion").toString(), "Leq125ms");

    s.optionLocal = LocalAction::None; // neither option: the column stays
    s.optionVei = VecinoAction::Leq1s;
    s.tempsActVei = QStringLiteral("10");
    ASSERT_TRUE(repo.save(s, kNow, nullptr, QLocale::c()));
    EXPECT_EQ(scalar("SELECT TTipoActuacionLocal FROM Programacion").toString(), "Leq125ms");
    EXPECT_EQ(scalar("SELECT TTipoActuacionVecino FROM Programacion").toString(), "Leq10s");

    const struct {
        const char* local;
        const char* vecino;
        LocalAction wantLocal;
        const char* wantLocalTime;
        VecinoAction wantVecino;
        const char* wantVecinoTime;
    } cases[] = {
        {"Leq125ms", "Leq125ms", LocalAction::Leq125, "keep", VecinoAction::Leq125, "keep"},
        {"Leq5s", "Leq07s", LocalAction::Leq1s, "5", VecinoAction::Leq1s, "07"},
        {"", "", LocalAction::Leq125, "keep", VecinoAction::No, "keep"}, // unreadable
        {"xy", "0", LocalAction::Leq125, "keep", VecinoAction::No, "keep"},
        {"Leq5x", "Leqabcs", LocalAction::Leq125, "keep", VecinoAction::No, "keep"}, // not "LeqNNs"
    };
    for (const auto& tc : cases) {
        QSqlQuery q(mainDb());
        q.prepare("UPDATE Programacion SET TTipoActuacionLocal = ?, TTipoActuacionVecino = ?");
        q.addBindValue(QString::fromLatin1(tc.local));
        q.addBindValue(QString::fromLatin1(tc.vecino));
        ASSERT_TRUE(q.exec());
        SheetValues l;
        l.tempsActLoc = l.tempsActVei = QStringLiteral("keep");
        ASSERT_TRUE(repo.load(123456, l, nullptr, QLocale::c()));
        EXPECT_EQ(l.optionLocal, tc.wantLocal) << tc.local;
        EXPECT_EQ(l.tempsActLoc, tc.wantLocalTime) << tc.local;
        EXPECT_EQ(l.optionVei, tc.wantVecino) << tc.vecino;
        EXPECT_EQ(l.tempsActVei, tc.wantVecinoTime) << tc.vecino;
    }
}

TEST(SheetRepository, OctavesFollowTheLocaleSeparator)
{
    TempDatabase db;
    SheetRepository repo;
    const QLocale es(QLocale::Spanish, QLocale::Spain);
    SheetValues s = fullSheet();
    s.octavas[1] = QStringLiteral("5,5");
    s.octavas[2] = QStringLiteral("-12,3");
    ASSERT_TRUE(repo.save(s, kNow, nullptr, es));
    EXPECT_DOUBLE_EQ(scalar("SELECT \"SOctava63Hz\" FROM Programacion").toDouble(), 5.5);
    SheetValues l;
    ASSERT_TRUE(repo.load(123456, l, nullptr, es));
    EXPECT_EQ(l.octavas[1], "5,5");
    EXPECT_EQ(l.octavas[2], "-12,3");
}

TEST(SheetRepository, CmiOnlyFromFirmware20)
{
    TempDatabase db;
    SheetRepository repo;
    SheetValues s = fullSheet();
    s.cmi = 1;
    ASSERT_TRUE(repo.save(s, kNow, nullptr, QLocale::c())); // 1.9: not written
    EXPECT_EQ(scalar("SELECT CMI FROM Programacion").toInt(), 0);
    SheetValues l;
    l.cmi = 1;
    l.cmiVisible = true;
    ASSERT_TRUE(repo.load(123456, l, nullptr, QLocale::c()));
    EXPECT_FALSE(l.cmiVisible);
    EXPECT_EQ(l.cmi, 1); // hidden box keeps its value

    s.version = QStringLiteral("2.0");
    ASSERT_TRUE(repo.save(s, kNow, nullptr, QLocale::c()));
    EXPECT_EQ(scalar("SELECT CMI FROM Programacion").toInt(), -1);
    l.cmi = 0;
    ASSERT_TRUE(repo.load(123456, l, nullptr, QLocale::c()));
    EXPECT_TRUE(l.cmiVisible);
    EXPECT_EQ(l.cmi, 1);

    // Any non-zero value is yes, also one no int holds.
    exec("UPDATE Programacion SET CMI = 4294967296, BoCambioHora = 4294967296");
    l.cmi = l.cambioHora = 0;
    ASSERT_TRUE(repo.load(123456, l, nullptr, QLocale::c()));
    EXPECT_EQ(l.cmi, 1);
    EXPECT_EQ(l.cambioHora, 1);
}

TEST(SheetRepository, IntervalEdgeCases)
{
    TempDatabase db;
    SheetRepository repo;
    exec("INSERT INTO Programacion (LNumeroSerie, TVersion, TTipoActuacionLocal, TTipoActuacionVecino) "
         "VALUES (5, '1.0', 'Leq125ms', '0')");
    exec("INSERT INTO IntervaloInhabil VALUES (5, 31, 'x', 'x', 'x', 'x')");
    exec("INSERT INTO IntervaloInhabil VALUES (5, 2, '01/02/06', '1899-12-30 08:05:00', '02/02/06', '7:3')");
    SheetValues l;
    l.intervals.fechaIni[0] = QStringLiteral("previous sheet");
    ASSERT_TRUE(repo.load(5, l, nullptr, QLocale::c()));
    EXPECT_EQ(l.intervals.fechaIni[0], "00/00/00");
    EXPECT_EQ(l.intervals.horaIni[1], "08:05");
    EXPECT_EQ(l.intervals.horaFi[1], "07:03");

    SheetValues s = fullSheet(QStringLiteral("5"));
    s.intervals.fechaIni[2] = QStringLiteral("01/03/2006");
    ASSERT_TRUE(repo.save(s, kNow, nullptr, QLocale::c()));
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM IntervaloInhabil WHERE LNumeroSerie = 5").toInt(), 31);
    EXPECT_EQ(scalar("SELECT TDiaEmpiezaInt FROM IntervaloInhabil WHERE ByIntervalo = 31").toString(), "x");
    EXPECT_EQ(scalar("SELECT TDiaEmpiezaInt FROM IntervaloInhabil WHERE ByIntervalo = 3").toString(), "01/03/20");
}

TEST(SheetRepository, NullColumnsLoadAsEmptyBoxes)
{
    TempDatabase db;
    SheetRepository repo;
    exec("INSERT INTO Programacion (LNumeroSerie) VALUES (777)");
    SheetValues l = fullSheet();
    ASSERT_TRUE(repo.load(777, l, nullptr, QLocale::c()));
    EXPECT_EQ(l.numeroSerie, "777");
    EXPECT_EQ(l.diaLocal, "");
    EXPECT_EQ(l.rings, "");
    EXPECT_EQ(l.contacto, "");
    EXPECT_EQ(l.horarioIni[Lunes], "");
    EXPECT_EQ(l.fecha, "");
    EXPECT_EQ(l.cambioHora, 0);
    EXPECT_EQ(l.intervals, InhibitedIntervals());

    // A serial without a row: nothing of the sheet changes.
    const SheetValues before = l;
    QString error;
    EXPECT_FALSE(repo.load(778, l, &error, QLocale::c()));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(l, before);
}

TEST(SheetRepository, FailedSaveWritesNothing)
{
    TempDatabase db;
    ScriptedPrompter p;
    SheetRepository repo;
    ProgrammingState st;
    ASSERT_TRUE(repo.save(fullSheet(), kNow, nullptr, QLocale::c()));
    exec("CREATE TRIGGER fail15 BEFORE UPDATE ON IntervaloInhabil WHEN NEW.ByIntervalo = 15 "
         "BEGIN SELECT RAISE(ABORT, 'disk says no'); END");
    SheetValues s = fullSheet();
    s.local = QStringLiteral("changed");
    s.intervals.fechaIni[0] = QStringLiteral("01/01/07");
    st.fichaModificada = true;
    EXPECT_FALSE(GrabaProgramacio(s, st, repo, fixedClock()));
    EXPECT_TRUE(st.fichaModificada);
    ASSERT_EQ(p.shown.size(), 1);
    EXPECT_TRUE(p.shown[0].text.contains("disk says no"));
    EXPECT_EQ(p.shown[0].icon, Prompter::Icon::Critical);
    EXPECT_EQ(scalar("SELECT TLocal FROM Programacion").toString(), "Bar Sol");
    EXPECT_EQ(scalar("SELECT TDiaEmpiezaInt FROM IntervaloInhabil WHERE ByIntervalo = 1").toString(), "24/12/06");

    // A new device fails the same way: no row at all.
    s.numeroSerie = QStringLiteral("42");
    exec("CREATE TRIGGER failins BEFORE INSERT ON IntervaloInhabil WHEN NEW.ByIntervalo = 30 "
         "BEGIN SELECT RAISE(ABORT, 'full'); END");
    EXPECT_FALSE(GrabaProgramacio(s, st, repo, fixedClock()));
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM Programacion WHERE LNumeroSerie = 42").toInt(), 0);
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM IntervaloInhabil WHERE LNumeroSerie = 42").toInt(), 0);

    exec("DROP TRIGGER fail15");
    exec("DROP TRIGGER failins");
    s.numeroSerie = QStringLiteral("123456");
    EXPECT_TRUE(GrabaProgramacio(s, st, repo, fixedClock()));
    EXPECT_FALSE(st.fichaModificada);
}

TEST(SheetRepository, ValuesTheDatabaseWouldNotHoldAreRefused)
{
    TempDatabase db;
    SheetRepository repo;
    const struct {
        void (*edit)(SheetValues&);
        long labelId;
    } cases[] = {
        {[](SheetValues& s) { s.diaLocal.clear(); }, 102},
        {[](SheetValues& s) { s.rings = QStringLiteral("300"); }, 170},
        {[](SheetValues& s) { s.tiempoAtenuacion = QStringLiteral("40000"); }, 80},
        {[](SheetValues& s) { s.contacto = QString(31, QLatin1Char('a')); }, 5},
        {[](SheetValues& s) { s.telefono = QString(16, QLatin1Char('1')); }, 9},
        {[](SheetValues& s) { s.fecha = QStringLiteral("31/02/06"); }, 4},
        {[](SheetValues& s) { s.numeroSerie = QStringLiteral("0"); }, 2},
        {[](SheetValues& s) { s.tempsActLoc.clear(); }, 65},
        {[](SheetValues& s) { s.octavas[8] = QStringLiteral("x"); }, 169},
    };
    for (const auto& tc : cases) {
        SheetValues s = fullSheet();
        tc.edit(s);
        QString error;
        EXPECT_FALSE(repo.save(s, kNow, &error, QLocale::c()));
        EXPECT_TRUE(error.startsWith(GetS(106))) << error.toStdString();
        EXPECT_TRUE(error.contains(GetS(tc.labelId).trimmed().remove(QLatin1Char(':')))) << error.toStdString();
        EXPECT_EQ(scalar("SELECT COUNT(*) FROM Programacion").toInt(), 0);
    }
}

TEST(SheetRepository, DeleteRemovesOnlyThatDevice)
{
    TempDatabase db;
    SheetRepository repo;
    for (const char* serial : {"100", "200"}) {
        ASSERT_TRUE(repo.save(fullSheet(QString::fromLatin1(serial)), kNow, nullptr, QLocale::c()));
        for (const char* t : {"Sesiones", "DiaBorrado", "DiaReprogramado", "DiaFinalBateria"})
            exec(QStringLiteral("INSERT INTO %1 (LNumeroSerie) VALUES (%2)").arg(t, serial));
        exec(QStringLiteral("INSERT INTO Intervalos (LNumeroSerie, DFechaInicio, THoraInicio) VALUES (%1, '2006-01-01', '00:00')")
                 .arg(serial));
    }
    ASSERT_TRUE(BorraFicha(100, repo));
    for (const QString& t : schemaTables()) {
        if (t == "Configuracion")
            continue;
        EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE LNumeroSerie = 100").arg(t)).toInt(), 0) << t.toStdString();
        EXPECT_GT(scalar(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE LNumeroSerie = 200").arg(t)).toInt(), 0) << t.toStdString();
    }
}

TEST(SheetRepository, NavigationIsInAscendingSerial)
{
    TempDatabase db;
    SheetRepository repo;
    EXPECT_FALSE(repo.first());
    EXPECT_FALSE(repo.next(0));
    for (const char* serial : {"300", "100", "200"})
        ASSERT_TRUE(repo.save(fullSheet(QString::fromLatin1(serial)), kNow, nullptr, QLocale::c()));
    // Serials beyond 32 bits (another program's) are passed over, not read as 100 or 0.
    exec("INSERT INTO Programacion (LNumeroSerie) VALUES (4294967396), (-4294967296)");
    EXPECT_EQ(repo.orderedSerials(), (QList<qint32>{100, 200, 300}));
    EXPECT_EQ(repo.first(), 100);
    EXPECT_EQ(repo.last(), 300);
    EXPECT_EQ(repo.next(100), 200);
    EXPECT_EQ(repo.next(150), 200); // from a sheet that is not stored
    EXPECT_EQ(repo.previous(200), 100);
    EXPECT_FALSE(repo.previous(100));
    EXPECT_FALSE(repo.next(300));
}

TEST(SheetRepository, SearchIsCaseInsensitiveContainsOverShownTexts)
{
    TempDatabase db;
    SheetRepository repo;
    SheetValues a = fullSheet(QStringLiteral("300"));
    a.contacto = QStringLiteral("Ana O'Brien");
    a.fecha = QStringLiteral("05/03/26");
    SheetValues b = fullSheet(QStringLiteral("200"));
    b.contacto = QStringLiteral("JOSÉ o'brien");
    b.poblacion = QStringLiteral("Girona 50%");
    SheetValues c = fullSheet(QStringLiteral("123456"));
    c.contacto = QStringLiteral("Marta");
    for (const SheetValues& s : {a, b, c})
        ASSERT_TRUE(repo.save(s, kNow, nullptr, QLocale::c()));

    const struct {
        SearchField field;
        const char* text;
        std::optional<qint32> want;
    } cases[] = {
        {SearchField::Contacto, "o'b", 200},     // first in serial order
        {SearchField::Contacto, "josé", 200},    // beyond ASCII
        {SearchField::Contacto, "ana o", 300},
        {SearchField::Contacto, "%", std::nullopt}, // taken literally
        {SearchField::Poblacion, "50%", 200},
        {SearchField::Contacto, "' OR 1=1 --", std::nullopt},
        {SearchField::NumeroSerie, "345", 123456},
        {SearchField::Fecha, "05/03/26", 300},
        {SearchField::Fecha, "05/03/2026", 300},
        {SearchField::Fecha, "/12/06", 200},
        {SearchField::Version, "1.9", 200},
        {SearchField::Telefono, "nothing", std::nullopt},
    };
    for (const auto& tc : cases)
        EXPECT_EQ(repo.search(tc.field, QString::fromUtf8(tc.text)), tc.want) << tc.text;

    EXPECT_EQ(searchFieldFromControl("MaskContacto"), SearchField::Contacto);
    EXPECT_FALSE(searchFieldFromControl("MaskDiaLocal"));
    EXPECT_FALSE(searchFieldFromControl(""));
    EXPECT_EQ(searchPrompt(SearchField::Contacto), GetS(20) + " " + GetS(5));
}

TEST(SheetRepository, LoadOperationSetsClockAndClearsTheFlag)
{
    TempDatabase db;
    ScriptedPrompter p;
    SheetRepository repo;
    ASSERT_TRUE(repo.save(fullSheet(), kNow, nullptr, QLocale::c()));
    ProgrammingState st;
    st.fichaModificada = true;
    SheetValues s;
    ASSERT_TRUE(CarregaProgramacio(123456, s, st, repo, fixedClock()));
    EXPECT_FALSE(st.fichaModificada);
    EXPECT_EQ(s.textFecha, "05/03/26");
    EXPECT_EQ(s.textHora, "09:07:03");
    EXPECT_EQ(s.numeroSerie, "123456");

    st.fichaModificada = true;
    const SheetValues before = s;
    EXPECT_FALSE(CarregaProgramacio(999, s, st, repo, fixedClock()));
    EXPECT_EQ(s, before);
    EXPECT_TRUE(st.fichaModificada);
    ASSERT_EQ(p.shown.size(), 1);
    EXPECT_EQ(p.shown[0].icon, Prompter::Icon::Critical);
}

} // namespace nbx::test

namespace nbx::test {

// A query that cannot run reports its error; none of them answers "no such sheet" instead.
TEST(SheetRepository, EveryQueryReportsItsErrorInsteadOfNone)
{
    TempDatabase db;
    SheetRepository repo;
    ASSERT_TRUE(repo.save(fullSheet(), kNow, nullptr, QLocale::c()));
    SheetValues shown;
    const struct {
        const char* table; // made unreadable for the query
        const char* what;
        std::function<bool(QString*)> query; // true when it answered
    } cases[] = {
        {"Programacion", "exists", [&](QString* e) { return repo.exists(123456, e); }},
        {"Programacion", "first", [&](QString* e) { return repo.first(e).has_value(); }},
        {"Programacion", "last", [&](QString* e) { return repo.last(e).has_value(); }},
        {"Programacion", "next", [&](QString* e) { return repo.next(1, e).has_value(); }},
        {"Programacion", "previous", [&](QString* e) { return repo.previous(999999, e).has_value(); }},
        {"Programacion", "search",
         [&](QString* e) { return repo.search(SearchField::Contacto, "O", e).has_value(); }},
        {"Programacion", "load", [&](QString* e) { return repo.load(123456, shown, e, QLocale::c()); }},
        {"IntervaloInhabil", "load", [&](QString* e) { return repo.load(123456, shown, e, QLocale::c()); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.what) + " without " + c.table);
        exec(QStringLiteral("ALTER TABLE %1 RENAME TO Hidden").arg(QLatin1String(c.table)));
        QString error;
        EXPECT_FALSE(c.query(&error));
        EXPECT_FALSE(error.isEmpty());
        exec(QStringLiteral("ALTER TABLE Hidden RENAME TO %1").arg(QLatin1String(c.table)));
        error.clear();
        EXPECT_TRUE(c.query(&error)) << error.toStdString();
    }
}

} // namespace nbx::test
