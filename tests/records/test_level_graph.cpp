// The level graph's values from stored interval records: gap rule, value mapping, labels, slider.
#include "records/LevelGraph.h"

#include "support/IntervalRows.h"
#include "support/TempDatabase.h"

#include "common/Database.h"

#include <QDateTime>
#include <QSqlQuery>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace nbx::test {

namespace {

GraphRecord record(const QDateTime& start, int t = 15)
{
    GraphRecord r;
    r.fechaInicio = start.date().toString(Qt::ISODate);
    r.horaInicio = start.time().toString(QStringLiteral("hh:mm"));
    r.horaFinal = start.addSecs(t * 60).time().toString(QStringLiteral("hh:mm"));
    r.tLeq = t;
    r.leqLocal = 80.5;
    r.leqVecino = 35.0;
    r.maxFast = 95.0;
    r.maxLeq1min = 85.0;
    r.minLeq1min = 70.0;
    r.statistical = {88.0, 85.0, 83.0, 78.0, 72.0};
    r.nivelLeqLocal = 90;
    r.nivelLeqVecino = 40;
    r.nivelMFast = 105;
    return r;
}

// Records of `t` minutes starting at `first` one after another (naive times).
QList<GraphRecord> regular(int count, int t = 15, QDateTime first = QDateTime(QDate(2026, 5, 4), QTime(22, 0), Qt::UTC))
{
    QList<GraphRecord> list;
    for (int i = 0; i < count; ++i)
        list.append(record(first.addSecs(qint64(i) * t * 60), t));
    return list;
}

void moveStart(GraphRecord& r, int minutes)
{
    const QDateTime s(QDate::fromString(r.fechaInicio, Qt::ISODate),
                      QTime::fromString(r.horaInicio, QStringLiteral("hh:mm")), Qt::UTC);
    const QDateTime m = s.addSecs(qint64(minutes) * 60);
    r.fechaInicio = m.date().toString(Qt::ISODate);
    r.horaInicio = m.time().toString(QStringLiteral("hh:mm"));
}

// Points (1-50) where the "Sin datos" series holds a marker.
QList<int> markers(const GraphValues& v)
{
    QList<int> points;
    for (int i = 0; i < kGraphPoints; ++i)
        if (v.group2[5][i] == kGraphNoDataMarker)
            points.append(i + 1);
    return points;
}

} // namespace

TEST(LevelGraph, GapRule)
{
    struct Case {
        const char* name;
        std::function<void(QList<GraphRecord>&)> change;
        QList<int> expected;
    };
    const QList<Case> cases = {
        {"regular series", [](QList<GraphRecord>&) {}, {}},
        {"one record a minute late", [](QList<GraphRecord>& l) { for (int i = 9; i < l.size(); ++i) moveStart(l[i], 1); }, {9, 10}},
        {"one missing record", [](QList<GraphRecord>& l) { l.removeAt(20); }, {20, 21}},
        {"two irregular starts in a row", [](QList<GraphRecord>& l) {
             for (int i = 4; i < l.size(); ++i) moveStart(l[i], 2);
             for (int i = 5; i < l.size(); ++i) moveStart(l[i], 3);
         }, {4, 5, 6}},
        {"an earlier (overlapping) start", [](QList<GraphRecord>& l) { for (int i = 30; i < l.size(); ++i) moveStart(l[i], -5); }, {30, 31}},
        {"a change of T uses the next record's T", [](QList<GraphRecord>& l) {
             // From record 12 on the device records 5-minute intervals.
             for (int i = 11; i < l.size(); ++i) {
                 l[i] = l[10];
                 moveStart(l[i], 15 + (i - 11) * 5 - 10);
                 l[i].tLeq = 5;
             }
         }, {}},
        {"across midnight and a month end", [](QList<GraphRecord>& l) {
             l = regular(50, 15, QDateTime(QDate(2026, 2, 28), QTime(20, 0), Qt::UTC));
         }, {}},
        {"a record without a start date is not tested", [](QList<GraphRecord>& l) {
             l[7].fechaInicio.clear();
             for (int i = 8; i < l.size(); ++i) moveStart(l[i], 3);  // nothing expected after it
         }, {}},
        {"a record without T is not tested", [](QList<GraphRecord>& l) {
             l[15].tLeq.reset();
             for (int i = 15; i < l.size(); ++i) moveStart(l[i], 1);
         }, {}},
    };
    for (const Case& c : cases) {
        QList<GraphRecord> list = regular(51);
        c.change(list);
        GraphValues v;
        Dibuixa(list, v);
        EXPECT_EQ(markers(v), c.expected) << c.name;
    }
}

TEST(LevelGraph, DaylightSavingDaysShowNoFalseGap)
{
    const QByteArray oldTz = qgetenv("TZ");
    qputenv("TZ", "Europe/Madrid");
    tzset();
    // Two-minute records through the spring-forward hour (02:00 to 03:00 does not exist in Madrid
    // on 29 March 2026) and through the repeated hour of 25 October 2026.
    for (const QDate day : {QDate(2026, 3, 29), QDate(2026, 10, 25)}) {
        GraphValues v;
        Dibuixa(regular(50, 2, QDateTime(day, QTime(1, 20), Qt::UTC)), v);
        EXPECT_TRUE(markers(v).isEmpty()) << day.toString().toStdString();
        EXPECT_EQ(v.pointLabels[21], day.toString(QStringLiteral("dd.MM.yy")) + QStringLiteral("  02:02 <> 02:04"));
    }
    if (oldTz.isEmpty())
        qunsetenv("TZ");
    else
        qputenv("TZ", oldTz);
    tzset();
}

TEST(LevelGraph, ValueMapping)
{
    struct Case {
        const char* name;
        std::function<void(GraphRecord&)> change;
        std::array<double, 8> levels;      // group 1 at the point
        std::array<double, 5> statistical; // group 2 series 1-5
    };
    const double N = kGraphNoValue, U = kGraphUnderRange;
    const QList<Case> cases = {
        {"as stored", [](GraphRecord&) {}, {80.5, 35, 95, 90, 40, 105, 85, 70}, {88, 85, 83, 78, 72}},
        {"IE3 set: no levels, limits kept", [](GraphRecord& r) { r.e3 = 2; }, {N, N, N, 90, 40, 105, N, N}, {N, N, N, N, N}},
        {"59 is UND but not for reception", [](GraphRecord& r) {
             r.leqLocal = r.leqVecino = r.maxFast = r.maxLeq1min = r.minLeq1min = 59.0;
         }, {U, 59, U, 90, 40, 105, U, U}, {88, 85, 83, 78, 72}},
        {"a stored 0 stays 0, 121 stays 121", [](GraphRecord& r) { r.leqLocal = 0.0; r.maxFast = 121.0; },
         {0, 35, 121, 90, 40, 105, 85, 70}, {88, 85, 83, 78, 72}},
        {"emission limit 255 removes both LeqT limits", [](GraphRecord& r) { r.nivelLeqLocal = 255; r.nivelLeqVecino = 30; },
         {80.5, 35, 95, N, N, 105, 85, 70}, {88, 85, 83, 78, 72}},
        {"LFmax limit 255 drawn as stored", [](GraphRecord& r) { r.nivelMFast = 255; }, {80.5, 35, 95, 90, 40, 255, 85, 70}, {88, 85, 83, 78, 72}},
        {"L50 59 only in that series", [](GraphRecord& r) { r.statistical[3] = 59.0; }, {80.5, 35, 95, 90, 40, 105, 85, 70}, {88, 85, 83, U, 72}},
        {"NULL values of a merged row", [](GraphRecord& r) {
             r.leqLocal.reset(); r.leqVecino.reset(); r.nivelLeqVecino.reset(); r.nivelMFast.reset(); r.statistical[0].reset();
         }, {N, N, 95, 90, N, N, 85, 70}, {N, 85, 83, 78, 72}},
    };
    for (const Case& c : cases) {
        QList<GraphRecord> list = regular(3);
        c.change(list[1]);
        GraphValues v;
        Dibuixa(list, v);
        for (int s = 0; s < 8; ++s)
            EXPECT_EQ(v.levels[s][1], c.levels[s]) << c.name << " series " << s + 1;
        for (int s = 0; s < 5; ++s)
            EXPECT_EQ(v.group2[s][1], c.statistical[s]) << c.name << " L series " << s + 1;
    }
}

TEST(LevelGraph, EventFlagsAndTrailingPoints)
{
    QList<GraphRecord> list = regular(7);
    list[0].dna = 255;
    list[1].dna = 3;
    list[2].desco = 2;
    list[2].pasadasLocal = 1;
    list[2].pasadasVecino = 4000;
    list[2].e3 = 1;
    list[2].pasMaxFast = 7;
    list[2].lineaInsuficiente = 254;
    list[2].ena = 255;
    GraphValues v;
    v.pointEvents[20].desco = 9;  // raw values after the last record are not touched
    Dibuixa(list, v);

    EXPECT_EQ(v.events[6][0], 0.0);
    EXPECT_EQ(v.events[6][1], 1.0);
    for (int s = 0; s < 6; ++s)
        EXPECT_EQ(v.events[s][2], 1.0) << s;
    EXPECT_EQ(v.events[7][2], 0.0);
    EXPECT_EQ(v.pointEvents[2].pasadasVecino, 4000);
    EXPECT_EQ(v.pointEvents[2].ena, 255);
    EXPECT_EQ(v.pointLabels[0], QStringLiteral("04.05.26  22:00 <> 22:15"));
    EXPECT_EQ(v.pointLabels[6], QStringLiteral("04.05.26  23:30 <> 23:45"));
    for (int j = 7; j < kGraphPoints; ++j) {
        EXPECT_EQ(v.pointLabels[j], QStringLiteral(" "));
        for (const auto& s : v.levels)
            EXPECT_EQ(s[j], kGraphNoValue);
        for (const auto& s : v.group2)
            EXPECT_EQ(s[j], kGraphNoValue);
        for (const auto& s : v.events)
            EXPECT_EQ(s[j], 0.0);
    }
    EXPECT_EQ(v.pointEvents[20].desco, 9);
    EXPECT_EQ(levelLabelText(levelReadout(v, 8), QLocale::c()),
              QStringLiteral("LeqT(emisión):--- LeqT(recepción):--- LFmax:--- Leq1'max:--- Leq1'min:---\r\r"
                             "L1:--- L5:--- L10:--- L50:--- L90:---"));

    // Nothing at all: every point is blank.
    GraphValues empty;
    Dibuixa({}, empty);
    EXPECT_EQ(empty.pointLabels[0], QStringLiteral(" "));
    EXPECT_EQ(empty.levels[0][0], kGraphNoValue);
}

TEST(LevelGraph, SliderRange)
{
    struct Case { int n, minimum, maximum, value; };
    for (const Case c : {Case{0, -1, 0, 0}, Case{7, -1, 0, 0}, Case{50, -1, 0, 0}, Case{51, 0, 1, 1}, Case{200, 0, 150, 150}}) {
        const GraphSliderRange r = graphSliderRange(c.n);
        EXPECT_EQ(r.minimum, c.minimum) << c.n;
        EXPECT_EQ(r.maximum, c.maximum) << c.n;
        EXPECT_EQ(r.value, c.value) << c.n;
        EXPECT_EQ(r.scrolls(), c.n > 50) << c.n;
    }
}

TEST(LevelGraph, DisplayTexts)
{
    const QLocale comma(QLocale::Spanish, QLocale::Spain);
    struct Case { float level; const char* undOrUp; const char* undOrUp2; };
    for (const Case c : {Case{-1, "---", "---"}, Case{0, "---", "0,0"}, Case{-2, "UND", "-2,0"}, Case{45.5f, "UND", "45,5"},
                         Case{59.9f, "UND", "59,9"}, Case{60, "60,0", "60,0"}, Case{120, "120,0", "120,0"},
                         Case{120.1f, "UP", "UP"}, Case{121, "UP", "UP"}, Case{255, "UP", "UP"}}) {
        EXPECT_EQ(UndOrUp(c.level, comma), QString::fromUtf8(c.undOrUp)) << c.level;
        EXPECT_EQ(UndOrUp2(c.level, comma), QString::fromUtf8(c.undOrUp2)) << c.level;
    }
    EXPECT_EQ(UndOrUp(85.25f, QLocale::c()), QStringLiteral("85.3"));
}

TEST(LevelGraph, LabelTexts)
{
    const LevelReadout r = {59.0f, 0.0f, 121.0f, -1.0f, 60.0f, 88.0f, -2.0f, 83.5f, 255.0f, 72.0f};
    EXPECT_EQ(levelLabelText(r, QLocale(QLocale::Spanish)),
              QStringLiteral("LeqT(emisión):UND LeqT(recepción):0,0 LFmax:UP Leq1'max:--- Leq1'min:60,0\r\r"
                             "L1:88,0 L5:UND L10:83,5 L50:UP L90:72,0"));

    GraphPointEvents e;
    e.desco = 3;
    e.pasadasLocal = 12;
    e.pasadasVecino = 0;
    e.e3 = 1;
    e.pasMaxFast = 4000;
    e.lineaInsuficiente = 2;
    e.dna = 15;
    e.ena = 7;
    EXPECT_EQ(eventLabelText(e),
              QStringLiteral("Desc.:3 Pas.emi.:12 Pas.recep.:0 Sens.:1 Pas.LFmax:4000 Linea insuf.:2 D.N.A.:15' E.N.A.:7'"));
    e.lineaInsuficiente = 255;
    EXPECT_EQ(eventLabelText(e),
              QStringLiteral("Desc.:3 Pas.emi.:12 Pas.recep.:0 Sens.:1 Pas.LFmax:4000 Linea insuf.:-- D.N.A.:-- E.N.A.:--"));
}

TEST(LevelGraph, MouseMappingAndAnchors)
{
    using A = GraphLabelAction;
    struct Case { bool level; double dx, dy; int region; A::Kind kind; int point; double y; };
    for (const Case c : {Case{true, 0.5, 80, kChartPlotRegion, A::Keep, 0, 0},
                         Case{true, 50.5, 80, kChartPlotRegion, A::Show, 50, 80},
                         Case{true, 2.5, 80, kChartPlotRegion, A::Show, 2, 80},
                         Case{true, 51.2, 80, kChartPlotRegion, A::Keep, 0, 0},
                         Case{true, 1e9, 80, kChartPlotRegion, A::Keep, 0, 0},
                         Case{true, 10, 80, 3, A::Hide, 0, 0},
                         Case{false, 10, 0.4, 3, A::Hide, 0, 0},
                         Case{true, -0.2, 80, kChartPlotRegion, A::Hide, 0, 0},
                         Case{true, 12.2, 5, kChartPlotRegion, A::Show, 12, 20},
                         Case{false, 12.2, 0.7, kChartPlotRegion, A::Show, 12, 21}}) {
        const A a = graphMouseAction(c.level, c.dx, c.dy, c.region);
        EXPECT_EQ(a.kind, c.kind) << c.dx;
        if (a.kind == A::Show) {
            EXPECT_EQ(a.point, c.point) << c.dx;
            EXPECT_EQ(a.levelY, c.y) << c.dx;
        }
    }
    struct Anchor { int point, level, event; };
    for (const Anchor c : {Anchor{1, 17, 33}, Anchor{19, 17, 33}, Anchor{20, 17, 32}, Anchor{21, 17, 32},
                           Anchor{22, 16, 32}, Anchor{28, 16, 32}, Anchor{29, 18, 32}, Anchor{30, 18, 34},
                           Anchor{50, 18, 34}}) {
        EXPECT_EQ(levelLabelAnchor(c.point), c.level) << c.point;
        EXPECT_EQ(eventLabelAnchor(c.point), c.event) << c.point;
    }
}

TEST(LevelGraph, SourceReadsWindowsInKeyOrderAndMergedNulls)
{
    TempDatabase db;
    QList<IntervalRow> rows = regularIntervalRows(QDateTime(QDate(2026, 1, 31), QTime(23, 0), Qt::UTC), 120, 15);
    std::reverse(rows.begin(), rows.end());  // stored newest first: the query still orders by start
    ASSERT_TRUE(insertIntervalRows(mainDb(), 123456, rows));
    ASSERT_TRUE(insertIntervalRows(mainDb(), 654321, regularIntervalRows(QDateTime(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC), 5, 15)));
    // A merged row: only its key columns are known.
    QSqlQuery q(mainDb());
    ASSERT_TRUE(q.exec(QStringLiteral("INSERT INTO Intervalos (LNumeroSerie, DFechaInicio, THoraInicio) VALUES (123456, '2026-02-02', '05:00')")));

    IntervalGraphSource source(mainDb(), 123456);
    QString error;
    EXPECT_EQ(source.count(&error), 121);
    QList<GraphRecord> window;
    ASSERT_TRUE(source.window(0, window, &error)) << error.toStdString();
    ASSERT_EQ(window.size(), 50);
    EXPECT_EQ(window[0].fechaInicio, QStringLiteral("2026-01-31"));
    EXPECT_EQ(window[0].horaInicio, QStringLiteral("23:00"));
    EXPECT_EQ(window[4].fechaInicio, QStringLiteral("2026-02-01"));

    ASSERT_TRUE(source.window(71, window, &error));
    ASSERT_EQ(window.size(), 50);
    EXPECT_EQ(window[0].fechaInicio + window[0].horaInicio, QStringLiteral("2026-02-0116:45"));
    EXPECT_EQ(window[49].horaInicio, QStringLiteral("05:00"));
    const GraphRecord& merged = window[49];
    EXPECT_FALSE(merged.tLeq.has_value());
    EXPECT_FALSE(merged.leqLocal.has_value());
    EXPECT_FALSE(merged.nivelMFast.has_value());
    EXPECT_EQ(merged.desco, 0);
    GraphValues v;
    Dibuixa(window, v);
    EXPECT_EQ(v.levels[0][49], kGraphNoValue);
    EXPECT_EQ(v.levels[5][49], kGraphNoValue);
    EXPECT_EQ(v.pointLabels[49], QStringLiteral("02.02.26  05:00 <> "));
    EXPECT_TRUE(markers(v).isEmpty());  // its T is unknown: not tested

    ASSERT_TRUE(source.window(100, window, &error));
    EXPECT_EQ(window.size(), 21);
    IntervalGraphSource none(mainDb(), 111111);
    EXPECT_EQ(none.count(&error), 0);

    // A limit another program stored as a huge real reads as the largest one, not as a negative.
    ASSERT_TRUE(q.exec(QStringLiteral("UPDATE Intervalos SET ByNivelMFast = 1e300 WHERE LNumeroSerie = 654321")));
    IntervalGraphSource huge(mainDb(), 654321);
    ASSERT_TRUE(huge.window(0, window, &error));
    EXPECT_EQ(window[0].nivelMFast, 2147483647);
}

} // namespace nbx::test
