// The download's frames decoded from frames built byte by byte at their documented offsets.
#include "common/Database.h"
#include "records/RecordFrames.h"
#include "records/RecordStore.h"
#include "support/TempDatabase.h"

#include <QSqlQuery>

#include <gtest/gtest.h>
#include <functional>
#include <sqlite3.h>

namespace nbx::test {
namespace {

// A received frame of `len` bytes with the given bytes set (others zero).
FrameBuffer frameOf(int len, std::initializer_list<std::pair<int, int>> bytes = {})
{
    FrameBuffer f;
    f.clear();
    f[0] = 0x02;
    f[1] = uint8_t(len >> 8);
    f[2] = uint8_t(len);
    for (auto [k, v] : bytes)
        f[k] = uint8_t(v);
    f.setLength(len);
    return f;
}

void put16(FrameBuffer& f, int k, int v)
{
    f[k] = uint8_t((v >> 8) & 0xFF);
    f[k + 1] = uint8_t(v & 0xFF);
}

void put24(FrameBuffer& f, int k, int v)
{
    f[k] = uint8_t((v >> 16) & 0xFF);
    put16(f, k + 1, v & 0xFFFF);
}

void putMoment(FrameBuffer& f, int k, int d, int m, int y, int h, int mi)
{
    for (int v : {d, m, y, h, mi})
        f[k++] = uint8_t(v);
}

const QDateTime kFrom(QDate(2024, 3, 1), QTime(0, 0), Qt::UTC);

// A valid interval: end 15/03/2024 10:30, T = 15, every field set to a distinct value.
FrameBuffer goldenInterval()
{
    FrameBuffer f = frameOf(60);
    putMoment(f, 4, 15, 3, 124, 10, 30);
    put16(f, 9, 7);      // IDesco
    put16(f, 11, 11);    // IPasadasVecino
    put16(f, 13, 13);    // IPasadasLocal
    put16(f, 15, 0);     // IE3
    put16(f, 17, 455);   // SLeqVecino 45.5 (not clamped)
    put16(f, 19, 823);   // SLeqLocal 82.3
    f[21] = 35;          // ByNivelLeqVecino
    f[22] = 90;          // ByNivelLeqLocal
    f[23] = 15;          // ByTLeq
    put16(f, 24, 1012);
    putMoment(f, 26, 15, 3, 124, 10, 21);
    put16(f, 31, 655);
    putMoment(f, 33, 15, 3, 124, 10, 17);
    put16(f, 38, 1099);
    f[40] = 105;
    put16(f, 41, 3);
    put16(f, 43, 950);
    put16(f, 45, 900);
    put16(f, 47, 870);
    put16(f, 49, 700);
    put16(f, 51, 612);
    f[53] = 4;
    f[54] = 0x85; // RS-232 yes, ENA 5
    f[55] = 0x02; // programming no, line 2
    f[56] = 1;
    f[57] = 125;
    f[58] = 0x03;
    return f;
}

FrameBuffer goldenSession()
{
    FrameBuffer f = frameOf(70);
    putMoment(f, 4, 15, 3, 124, 22, 5);
    putMoment(f, 9, 16, 3, 124, 3, 40);
    f[14] = 90; f[15] = 35; f[16] = 22; f[17] = 0; f[18] = 8; f[19] = 0; f[20] = 85; f[21] = 30;
    put16(f, 22, 9000);
    put24(f, 24, 2);
    put24(f, 27, 300);     // emission before reception in sessions
    put24(f, 30, 90000);
    put24(f, 33, 0);
    put16(f, 36, 823);
    put16(f, 38, 1012);
    putMoment(f, 40, 15, 3, 124, 23, 1);
    put16(f, 45, 655);
    putMoment(f, 47, 16, 3, 124, 1, 2);
    put16(f, 52, 1099);
    f[54] = 105;
    put24(f, 55, 12);
    for (int k = 58, v = 950; k <= 66; k += 2, v -= 50)
        put16(f, k, v);
    f[68] = 0x03;
    return f;
}

TEST(RecordFrames, GoldenIntervalDecodesEveryColumn)
{
    const auto d = decodeInterval(goldenInterval(), kFrom, 123456);
    ASSERT_EQ(d.verdict, Verdict::Store);
    const QVariantList expected{123456, "2024-03-15", "10:15", "2024-03-15", "10:30", 15, 82.3, 45.5,
                                "Leq1s", "Leq125ms", 90, 35, 101.2, "15/03/2024", "10:21", 65.5,
                                "15/03/2024", "10:17", 109.9, 105, 3, 95.0, 90.0, 87.0, 70.0, 61.2,
                                -1, 0, 7, 13, 11, 0, 4, 5, 2};
    const QVariantList got = d.record.values();
    const QStringList cols = schemaColumns("Intervalos");
    ASSERT_EQ(got.size(), cols.size());
    for (int i = 0; i < cols.size(); ++i)
        EXPECT_EQ(got[i].toString(), expected[i].toString()) << cols[i].toStdString();
}

TEST(RecordFrames, GoldenSessionDecodesEveryColumn)
{
    const auto d = decodeSession(goldenSession(), kFrom, 123456);
    ASSERT_EQ(d.verdict, Verdict::Store);
    const QVariantList expected{123456, "2024-03-15", "22:05", "2024-03-16", "03:40", 82.3, 90, 35,
                                "22:00", "08:00", 85, 30, 9000, 2, 300, 90000, 0, 109.9, 105, 12,
                                101.2, "15/03/2024", "23:01", 65.5, "16/03/2024", "01:02", 95.0,
                                90.0, 85.0, 80.0, 75.0};
    const QVariantList got = d.record.values();
    const QStringList cols = schemaColumns("Sesiones");
    ASSERT_EQ(got.size(), cols.size());
    for (int i = 0; i < cols.size(); ++i)
        EXPECT_EQ(got[i].toString(), expected[i].toString()) << cols[i].toStdString();
}

TEST(RecordFrames, IntervalRulesTable)
{
    struct Case {
        const char* what;
        std::function<void(FrameBuffer&)> change;
        Verdict verdict;
        std::function<void(const IntervalRecord&)> check;
    };
    const std::vector<Case> cases = {
        {"end frame", [](FrameBuffer& f) { f[4] = 0; }, Verdict::End, nullptr},
        {"short end frame", [](FrameBuffer& f) { f[4] = 0; f.setLength(6); }, Verdict::Short, nullptr},
        {"short record", [](FrameBuffer& f) { f.setLength(40); }, Verdict::Short, nullptr},
        {"31 February", [](FrameBuffer& f) { f[4] = 31; f[5] = 2; }, Verdict::Skip, nullptr},
        {"hour 24", [](FrameBuffer& f) { f[7] = 24; }, Verdict::Skip, nullptr},
        {"minute 60", [](FrameBuffer& f) { f[8] = 60; }, Verdict::Skip, nullptr},
        {"month 13", [](FrameBuffer& f) { f[5] = 13; }, Verdict::Skip, nullptr},
        {"end equal to FROM", [](FrameBuffer& f) { putMoment(f, 4, 1, 3, 124, 0, 0); }, Verdict::Store, nullptr},
        {"a minute before FROM", [](FrameBuffer& f) { putMoment(f, 4, 29, 2, 124, 23, 59); }, Verdict::Older, nullptr},
        {"month 0xF4 is January", [](FrameBuffer& f) { putMoment(f, 4, 5, 0xF4, 125, 8, 0); }, Verdict::Store,
         [](const IntervalRecord& r) { EXPECT_EQ(r.DFechaFinal, QDate(2025, 1, 5)); }},
        {"L5 1401", [](FrameBuffer& f) { put16(f, 45, 1401); }, Verdict::Drop, nullptr},
        {"counter top bit", [](FrameBuffer& f) { put16(f, 9, 0x8000); }, Verdict::Drop, nullptr},
        {"IDesco 4001", [](FrameBuffer& f) { put16(f, 9, 4001); }, Verdict::Drop, nullptr},
        {"Leq1'max moment 30/2", [](FrameBuffer& f) { f[26] = 30; f[27] = 2; }, Verdict::Drop, nullptr},
        {"IE3 zeroes levels and passes", [](FrameBuffer& f) { put16(f, 15, 5); }, Verdict::Store,
         [](const IntervalRecord& r) {
             EXPECT_EQ(r.SLeqLocal, 0); EXPECT_EQ(r.SLeqVecino, 0); EXPECT_EQ(r.SL90, 0);
             EXPECT_EQ(r.IPasMaxFast, 0); EXPECT_EQ(r.IPasadasLocal, 0); EXPECT_EQ(r.IPasadasVecino, 0);
             EXPECT_EQ(r.IDesco, 7); EXPECT_EQ(r.IE3, 5);
         }},
        {"0 tenths", [](FrameBuffer& f) { put16(f, 19, 0); put16(f, 17, 0); }, Verdict::Store,
         [](const IntervalRecord& r) { EXPECT_EQ(r.SLeqLocal, 59); EXPECT_EQ(r.SLeqVecino, 0.0); }},
        {"1250 tenths", [](FrameBuffer& f) { put16(f, 19, 1250); put16(f, 17, 1250); }, Verdict::Store,
         [](const IntervalRecord& r) { EXPECT_EQ(r.SLeqLocal, 121); EXPECT_EQ(r.SLeqVecino, 125.0); }},
        {"60 and 120 unchanged", [](FrameBuffer& f) { put16(f, 43, 600); put16(f, 45, 1200); }, Verdict::Store,
         [](const IntervalRecord& r) { EXPECT_EQ(r.SL1, 60); EXPECT_EQ(r.SL5, 120); }},
        {"DNA 255", [](FrameBuffer& f) { f[53] = 255; f[54] = 0x85; }, Verdict::Store,
         [](const IntervalRecord& r) {
             EXPECT_EQ(r.ByENA, 255); EXPECT_EQ(r.ByLineaInsuficiente, 255); EXPECT_EQ(r.BoRS232, -1);
         }},
        {"action texts", [](FrameBuffer& f) { f[56] = 125; f[57] = 0; }, Verdict::Store,
         [](const IntervalRecord& r) { EXPECT_EQ(r.TTipoActuacionLocal, "Leq125ms"); EXPECT_EQ(r.TTipoActuacionVecino, "0"); }},
        {"action 10 and 0", [](FrameBuffer& f) { f[56] = 0; f[57] = 10; }, Verdict::Store,
         [](const IntervalRecord& r) { EXPECT_EQ(r.TTipoActuacionLocal, "Leq0s"); EXPECT_EQ(r.TTipoActuacionVecino, "Leq10s"); }},
        {"start on the previous day", [](FrameBuffer& f) { putMoment(f, 4, 2, 3, 124, 0, 10); f[23] = 30; }, Verdict::Store,
         [](const IntervalRecord& r) { EXPECT_EQ(r.DFechaInicio, QDate(2024, 3, 1)); EXPECT_EQ(r.THoraInicio, "23:40"); }},
        {"start across New Year", [](FrameBuffer& f) { putMoment(f, 4, 1, 1, 125, 0, 0); f[23] = 2; }, Verdict::Store,
         [](const IntervalRecord& r) { EXPECT_EQ(r.DFechaInicio, QDate(2024, 12, 31)); EXPECT_EQ(r.THoraInicio, "23:58"); }},
        {"spring-forward hour is not shifted", [](FrameBuffer& f) { putMoment(f, 4, 31, 3, 124, 3, 10); f[23] = 30; }, Verdict::Store,
         [](const IntervalRecord& r) { EXPECT_EQ(r.THoraInicio, "02:40"); EXPECT_EQ(r.THoraFinal, "03:10"); }},
    };
    qputenv("TZ", "Europe/Madrid");
    for (const Case& c : cases) {
        FrameBuffer f = goldenInterval();
        c.change(f);
        const auto d = decodeInterval(f, kFrom, 1);
        EXPECT_EQ(d.verdict, c.verdict) << c.what;
        if (c.check && d.verdict == Verdict::Store)
            c.check(d.record);
    }
    qunsetenv("TZ");
}

TEST(RecordFrames, SessionRulesTable)
{
    struct Case {
        const char* what;
        std::function<void(FrameBuffer&)> change;
        Verdict verdict;
        std::function<void(const SessionRecord&)> check;
    };
    const std::vector<Case> cases = {
        {"end frame", [](FrameBuffer& f) { f[4] = 0; }, Verdict::End, nullptr},
        {"short record", [](FrameBuffer& f) { f.setLength(60); }, Verdict::Short, nullptr},
        {"month 0xF4 skipped", [](FrameBuffer& f) { f[5] = 0xF4; }, Verdict::Skip, nullptr},
        {"starts before FROM, ends after", [](FrameBuffer& f) { putMoment(f, 4, 29, 2, 124, 23, 0); }, Verdict::Older, nullptr},
        {"starts at FROM", [](FrameBuffer& f) { putMoment(f, 4, 1, 3, 124, 0, 0); }, Verdict::Store, nullptr},
        {"end 30 February", [](FrameBuffer& f) { f[9] = 30; f[10] = 2; }, Verdict::Drop, nullptr},
        {"24-bit 90001", [](FrameBuffer& f) { put24(f, 24, 90001); }, Verdict::Drop, nullptr},
        {"attenuation 9001", [](FrameBuffer& f) { put16(f, 22, 9001); }, Verdict::Drop, nullptr},
        {"L90 top bit", [](FrameBuffer& f) { put16(f, 66, 0x8001); }, Verdict::Drop, nullptr},
        {"LE3 zeroes only levels", [](FrameBuffer& f) { put24(f, 33, 12); }, Verdict::Store,
         [](const SessionRecord& r) {
             EXPECT_EQ(r.SLeq, 0); EXPECT_EQ(r.SL1, 0); EXPECT_EQ(r.SMaxFast, 0);
             EXPECT_EQ(r.LPasadasLocal, 300); EXPECT_EQ(r.LPasMaxFast, 12); EXPECT_EQ(r.LE3, 12);
         }},
        {"Leq 550 and 1250", [](FrameBuffer& f) { put16(f, 36, 550); put16(f, 38, 1250); }, Verdict::Store,
         [](const SessionRecord& r) { EXPECT_EQ(r.SLeq, 59); EXPECT_EQ(r.SMaxLeq1min, 121); }},
        {"night hour 25 kept as received", [](FrameBuffer& f) { f[16] = 25; f[17] = 70; }, Verdict::Store,
         [](const SessionRecord& r) { EXPECT_EQ(r.THoraInicioNoche, "25:70"); }},
    };
    for (const Case& c : cases) {
        FrameBuffer f = goldenSession();
        c.change(f);
        const auto d = decodeSession(f, kFrom, 1);
        EXPECT_EQ(d.verdict, c.verdict) << c.what;
        if (c.check && d.verdict == Verdict::Store)
            c.check(d.record);
    }
}

TEST(RecordFrames, TotalsDatesAndRequests)
{
    FrameBuffer t = frameOf(22, {{6, 0x01}, {7, 0x2C}, {8, 0x80}, {12, 0x7F}, {13, 0xFF}, {14, 0xFF}, {15, 0xFF}});
    const auto totals = decodeTotals(t);
    ASSERT_TRUE(totals);
    EXPECT_EQ(*totals, (Totals{300, INT32_MIN, INT32_MAX, 0}));
    t.setLength(21);
    EXPECT_FALSE(decodeTotals(t));

    FrameBuffer d = frameOf(156);
    for (int k = 54; k < 104; ++k)
        d[k] = uint8_t(1 + k % 12); // list 2 looks valid and is ignored
    putMoment(d, 104, 15, 3, 124, 10, 5);
    const int bad[][5] = {{31, 2, 124, 1, 1}, {1, 13, 124, 1, 1}, {0, 1, 124, 1, 1},
                          {1, 1, 124, 24, 0}, {1, 1, 124, 1, 60}, {12, 25, 105, 1, 1}};
    for (int i = 0; i < 6; ++i)
        putMoment(d, 109 + 5 * i, bad[i][0], bad[i][1], bad[i][2], bad[i][3], bad[i][4]);
    const auto days = decodeDates(d);
    ASSERT_TRUE(days);
    EXPECT_TRUE(days->borrados.isEmpty());
    ASSERT_EQ(days->reprogramados.size(), 1);
    EXPECT_EQ(days->reprogramados[0], (DayEntry{QDate(2024, 3, 15), "10:05"}));
    d.setLength(100);
    EXPECT_FALSE(decodeDates(d));

    const RangoFechas r = RangoFechas::fromMoments(QDateTime(QDate(2024, 3, 15), QTime(10, 0, 42), Qt::UTC),
                                                   QDateTime(QDate(2024, 5, 14), QTime(10, 30), Qt::UTC));
    EXPECT_EQ(requestFrame(0x05, r).toHex(' '), "02 00 10 05 0f 03 7c 0a 00 0e 05 7c 0a 1e 03 0d");
    EXPECT_EQ(requestFrame(0x06, r).right(2).toHex(' '), "03 0e");
    EXPECT_EQ(requestFrame(0x02).toHex(' '), "02 00 06 02 03 05");
    EXPECT_EQ(requestFrame(0x03).toHex(' '), "02 00 06 03 03 04");

    // Two-digit years on the wire and back.
    const struct { int year; int wire; } years[] = {{2049, 149}, {2000, 100}, {1999, 99}, {1950, 50}};
    for (auto y : years) {
        const QDateTime m(QDate(y.year, 12, 31), QTime(23, 59), Qt::UTC);
        const RangoFechas w = RangoFechas::fromMoments(m, m);
        EXPECT_EQ(uint8_t(w.descarga()[2]), y.wire) << y.year;
        EXPECT_EQ(w.from(), m) << y.year;
    }
}

// What the store writes reads back as the record's values, column by column: numbers, texts (one
// beyond ASCII too) and a text with no value (NULL).
TEST(RecordFrames, RecordsAreStoredAsTheirValues)
{
    TempDatabase db;
    IntervalRecord interval = decodeInterval(goldenInterval(), kFrom, 123456).record;
    interval.TTipoActuacionLocal = QStringLiteral("Leq1s \u00f1\u20ac");
    interval.THoraMaxLeq1min = QString();
    SessionRecord session = decodeSession(goldenSession(), kFrom, 123456).record;
    session.THoraInicioNoche = QStringLiteral("d\u00eda");
    {
        RecordStore store;
        QString error;
        ASSERT_TRUE(store.storeInterval(interval, &error)) << error.toStdString();
        ASSERT_TRUE(store.storeSession(session, &error)) << error.toStdString();
        ASSERT_TRUE(store.commit(&error)) << error.toStdString();
    }
    const std::pair<QString, QVariantList> rows[] = {{"Intervalos", interval.values()}, {"Sesiones", session.values()}};
    for (const auto& [table, values] : rows) {
        const QStringList cols = schemaColumns(table);
        QSqlQuery q(mainDb());
        ASSERT_TRUE(q.exec(QStringLiteral("SELECT * FROM %1").arg(table)) && q.next());
        for (int i = 0; i < cols.size(); ++i) {
            const QVariant got = q.value(cols[i]);
            const bool none = values[i].typeId() == QMetaType::QString && values[i].toString().isNull();
            EXPECT_EQ(got.isNull(), none) << cols[i].toStdString();
            EXPECT_EQ(got.toString(), values[i].toString()) << cols[i].toStdString();
        }
    }
}

// A value the connection refuses to take (here a text beyond its length limit) fails the store
// with SQLite's message: it is not stored as nothing in its place.
TEST(RecordFrames, AValueThatCannotBeBoundFailsTheStore)
{
    TempDatabase db;
    IntervalRecord interval = decodeInterval(goldenInterval(), kFrom, 123456).record;
    RecordStore store;
    QString error;
    ASSERT_TRUE(store.storeInterval(interval, &error)) << error.toStdString(); // prepares the statement
    sqlite3* handle = sqliteHandle(mainDb());
    ASSERT_TRUE(handle);
    const int limit = sqlite3_limit(handle, SQLITE_LIMIT_LENGTH, 1000); // a whole row still fits
    interval.DFechaInicio = interval.DFechaInicio.addDays(1);
    interval.TTipoActuacionLocal = QString(1001, QLatin1Char('x'));
    EXPECT_FALSE(store.storeInterval(interval, &error));
    EXPECT_TRUE(error.contains(QLatin1String(sqlite3_errstr(SQLITE_TOOBIG)))) << error.toStdString();
    sqlite3_limit(handle, SQLITE_LIMIT_LENGTH, limit);
    store.commit();
    QSqlQuery q(mainDb());
    ASSERT_TRUE(q.exec(QStringLiteral("SELECT COUNT(*) FROM Intervalos")) && q.next());
    EXPECT_EQ(q.value(0).toInt(), 1);
}

// The record's date and time texts are printf's zero-padded numbers, whatever the bytes held.
TEST(RecordFrames, DateAndTimeTextsArePrintfs)
{
    for (int a : {-123, -5, 0, 7, 9, 10, 59, 99, 100, 255}) {
        for (int b : {-1, 0, 5, 31, 255}) {
            EXPECT_EQ(twoDigitsTime(a, b), QString::asprintf("%02d:%02d", a, b)) << a << " " << b;
        }
    }
    // The stored dates are QDate's ISO text, null where it has none.
    for (const QDate d : {QDate(2024, 2, 29), QDate(1905, 12, 1), QDate(987, 1, 10), QDate(12345, 6, 7), QDate(-44, 3, 15),
                          QDate()}) {
        EXPECT_EQ(recordDateText(d), QString::asprintf("%02d/%02d/%04d", d.day(), d.month(), d.year())) << d.year();
        IntervalRecord r;
        r.DFechaInicio = d;
        const QVariant stored = r.values()[1];
        EXPECT_EQ(stored.toString(), d.toString(Qt::ISODate)) << d.year();
        EXPECT_EQ(stored.toString().isNull(), d.toString(Qt::ISODate).isNull()) << d.year();
    }
}

} // namespace
} // namespace nbx::test
