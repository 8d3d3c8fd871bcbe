// The weekly hours: step checks, day order, and the week chart's drawing.
#include "common/chart/ChartModel.h"
#include "programming/WeekHours.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace nbx::test {

namespace {

// A week with every day closed but the ones given (Monday first: 0 Lunes .. 6 Domingo).
WeekTexts week(const std::map<int, std::pair<const char*, const char*>>& open)
{
    WeekTexts t;
    t.fill(kClosedTime);
    for (const auto& [d, se] : open) {
        t[2 * d] = QString::fromLatin1(se.first);
        t[2 * d + 1] = QString::fromLatin1(se.second);
    }
    return t;
}

// Points of "Abierto" drawn open.
std::set<int> openPoints(const WeekTexts& t)
{
    ChartModel m;
    setUpWeekChart(m);
    DibuixaSesions(m, t);
    std::set<int> out;
    for (int p = 1; p <= kWeekPoints; ++p) {
        const double v = m.value(1, 1, p);
        EXPECT_TRUE(v == 3.5 || v == -1) << "point " << p;
        if (v == 3.5)
            out.insert(p);
    }
    return out;
}

std::set<int> range(int from, int to)
{
    std::set<int> s;
    for (int p = from; p <= to; ++p)
        s.insert(p);
    return s;
}

// Point of a day's hour (Monday first).
int pt(int day, int hour) { return day * 24 + hour + 1; }

} // namespace

TEST(WeekHours, StepChecks)
{
    using F = StepResult::Focus;
    const StepResult pass{true, false, 0, F::None};
    struct Case {
        const char* what;
        int day;
        WeekTexts texts;
        StepResult expected;
    };
    const Case cases[] = {
        {"Mon overruns to 02:00, Tue starts 02:00", 1, week({{0, {"22:00", "02:00"}}, {1, {"02:00", "10:00"}}}), {false, false, 91, F::None}},
        {"Tue starts 02:01", 1, week({{0, {"22:00", "02:00"}}, {1, {"02:01", "10:00"}}}), pass},
        {"Mon ends 20:00, Tue starts 00:00", 1, week({{0, {"08:00", "20:00"}}, {1, {"00:00", "10:00"}}}), pass},
        {"Mon closed: no joint", 1, week({{1, {"00:00", "10:00"}}}), pass},
        {"Sun overruns to 04:00, Mon 03:00", 6, week({{6, {"22:00", "04:00"}}, {0, {"03:00", "10:00"}}}), {false, false, 91, F::None}},
        {"Sun overruns to 04:00, Mon 04:00", 6, week({{6, {"22:00", "04:00"}}, {0, {"04:00", "10:00"}}}), {false, false, 91, F::None}},
        {"Sun overruns to 04:00, Mon 05:00", 6, week({{6, {"22:00", "04:00"}}, {0, {"05:00", "10:00"}}}), pass},
        {"Sun overruns, Mon closed", 6, week({{6, {"22:00", "04:00"}}}), pass},
        {"Sat overlaps Sun before the Monday joint", 6, week({{5, {"20:00", "03:00"}}, {6, {"02:00", "04:00"}}}), {false, false, 96, F::None}},
        {"24h then 00:00", 3, week({{2, {"00:00", "23:59"}}, {3, {"00:00", "12:00"}}}), pass},
        {"Wed over Thu", 3, week({{2, {"20:00", "01:00"}}, {3, {"00:30", "12:00"}}}), {false, false, 93, F::None}},
        {"start = end on Monday", 0, week({{0, {"10:00", "10:00"}}}), {false, false, 97, F::Start}},
        {"start = end on Tuesday", 1, week({{1, {"10:00", "10:00"}}}), {false, false, 19, F::Start}},
        {"start = end on Saturday", 5, week({{5, {"10:00", "10:00"}}}), {false, false, 19, F::Start}},
        {"start = end on Sunday", 6, week({{6, {"10:00", "10:00"}}}), {false, false, 97, F::Start}},
        {"closed start passes unchecked", 4, week({{4, {"--:--", "99:99"}}}), {true, true, 0, F::None}},
        {"start not a time", 2, week({{2, {"24:00", "10:00"}}}), {false, false, 19, F::Start}},
        {"end still --:--", 2, week({{2, {"08:00", "--:--"}}}), {false, false, 19, F::End}},
        {"end not a time", 2, week({{2, {"08:00", "08:60"}}}), {false, false, 19, F::End}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Step(c.day, c.texts), c.expected) << c.what;
}

TEST(WeekHours, TimesKindsAndDayOrder)
{
    for (const char* ok : {"00:00", "23:59", "09:05"})
        EXPECT_TRUE(isValidTime(QString::fromLatin1(ok))) << ok;
    for (const char* bad : {"", "8:0", "--:--", "24:00", "12:60", " 8:00", "08:00 ", "0800", "08.00"})
        EXPECT_FALSE(isValidTime(QString::fromLatin1(bad))) << bad;
    EXPECT_EQ(recogniseDay(u"--:--"_qs, u"12:00"_qs), DayKind::Closed);
    EXPECT_EQ(recogniseDay(u"00:00"_qs, u"23:59"_qs), DayKind::AllDay);
    EXPECT_EQ(recogniseDay(u"00:00"_qs, u"23:58"_qs), DayKind::Hours);

    // Monday first in the editor, Sunday first in the sheet and the device block.
    EXPECT_EQ(weekdayOfMondayFirst(0), Lunes);
    EXPECT_EQ(weekdayOfMondayFirst(6), Domingo);
    for (int d = 0; d < 7; ++d)
        EXPECT_EQ(mondayFirstOfWeekday(weekdayOfMondayFirst(d)), d);
    SheetValues sheet;
    for (int w = 0; w < 7; ++w) {
        sheet.horarioIni[w] = QStringLiteral("0%1:00").arg(w);
        sheet.horarioFi[w] = QStringLiteral("1%1:00").arg(w);
    }
    const WeekTexts t = weekTextsOf(sheet);
    EXPECT_EQ(t[0], u"01:00"_qs);   // Monday start
    EXPECT_EQ(t[13], u"10:00"_qs);  // Sunday end
    SheetValues back;
    setWeekTexts(back, t);
    EXPECT_EQ(back.horarioIni, sheet.horarioIni);
    EXPECT_EQ(back.horarioFi, sheet.horarioFi);
}

TEST(WeekChart, RoundHora)
{
    const std::pair<const char*, const char*> cases[] = {{"22:29", "22:00"}, {"22:30", "23:00"}, {"23:30", "00:00"},
                                                         {"23:59", "00:00"}, {"00:00", "00:00"}, {"00:29", "00:00"},
                                                         {"12:30", "13:00"}};
    for (const auto& [in, out] : cases)
        EXPECT_EQ(RoundHora(QString::fromLatin1(in)), QString::fromLatin1(out)) << in;
}

TEST(WeekChart, NightDayAndLabels)
{
    ChartModel m;
    setUpWeekChart(m);
    DibuixaNitDia(m, u"22:00"_qs, u"08:00"_qs);
    for (int p = 1; p <= kWeekPoints; ++p) {
        const int hour = (p - 1) % 24;
        EXPECT_EQ(m.value(1, 2, p), 2.0);
        const bool night = hour >= 22 || hour <= 8;
        EXPECT_EQ(m.hasValue(1, 3, p), night) << p;
        EXPECT_EQ(m.pointLabel(1, p), hour == 22 ? u"22:00"_qs : hour == 8 ? u"08:00"_qs : u" "_qs) << p;
    }
    // The label shows the box text, the points start at the rounded hour.
    DibuixaNitDia(m, u"22:29"_qs, u"08:00"_qs);
    EXPECT_EQ(m.pointLabel(1, pt(0, 22)), u"22:29"_qs);
    EXPECT_TRUE(m.hasValue(1, 3, pt(0, 22)));
    // Night texts that are not times: no night, blank labels, no error.
    ChartModel bad;
    setUpWeekChart(bad);
    DibuixaNitDia(bad, u""_qs, u"8:0"_qs);
    for (int p = 1; p <= kWeekPoints; ++p) {
        EXPECT_FALSE(bad.hasValue(1, 3, p));
        EXPECT_EQ(bad.pointLabel(1, p), u" "_qs);
    }
}

TEST(WeekChart, Sessions)
{
    EXPECT_EQ(openPoints(week({{2, {"08:00", "20:00"}}})), range(pt(2, 8), pt(2, 20)));
    EXPECT_EQ(openPoints(week({{2, {"00:00", "23:59"}}})), range(pt(2, 0), pt(3, 0)));
    EXPECT_EQ(openPoints(week({{2, {"22:00", "04:00"}}})), range(pt(2, 22), pt(3, 4)));
    EXPECT_EQ(openPoints(week({{2, {"23:40", "02:00"}}})), range(pt(3, 0), pt(3, 2)));
    EXPECT_EQ(openPoints(week({{2, {"23:40", "23:50"}}})), range(pt(2, 0), pt(3, 0)));
    // Point 169 is a Sunday point on the date after the last Sunday point: it sees Saturday as
    // the day before, so Saturday's overrun shows there too; Sunday's own overrun shows at the
    // start of Monday instead.
    std::set<int> saturday = range(pt(5, 20), pt(6, 2));
    saturday.insert(kWeekPoints);
    EXPECT_EQ(openPoints(week({{5, {"20:00", "02:00"}}})), saturday);
    std::set<int> sunday = range(pt(6, 22), pt(6, 23));
    sunday.merge(range(1, 5));
    EXPECT_EQ(openPoints(week({{6, {"22:00", "04:00"}}})), sunday);
    // Texts that are not times are drawn closed, without an error.
    EXPECT_TRUE(openPoints(week({{1, {"", ""}}, {2, {"8:0", "10:00"}}, {3, {"08:00", "--:--"}}, {4, {"--:--", "10:00"}}}))
                    .empty());
}

TEST(WeekChart, TitleBandsAndHoles)
{
    ChartModel m;
    setUpWeekChart(m);
    const QString longName = QStringLiteral("Mittwochnachmittagsruhetag");  // 26 characters
    DibuixaDies(m, {u"Lunes"_qs, u"Martes"_qs, longName, u"Jueves"_qs, u"Viernes"_qs, u"S\u00e1bado"_qs, u"Domingo"_qs});
    const QString title = m.titleText(0);
    EXPECT_EQ(title.size(), 6 * 23 + longName.size());
    EXPECT_TRUE(title.startsWith(u"Lunes"_qs + QString(18, QLatin1Char(' ')) + u"Martes"_qs));
    EXPECT_TRUE(title.contains(longName + u"Jueves"_qs));
    for (int s = 1; s <= 7; ++s)
        for (int p = 1; p <= kWeekPoints; ++p)
            EXPECT_EQ(m.hasValue(2, s, p), p >= 24 * (s - 1) + 1 && p <= 24 * s + 1) << s << " " << p;
    EXPECT_EQ(m.value(2, 1, 25), 4.0);
    EXPECT_EQ(m.value(2, 2, 25), 4.0);
    EXPECT_FALSE(m.hasValue(1, 1, 1));  // nothing written yet
    EXPECT_EQ(m.seriesLabels().mid(0, 3), (QStringList{u"Abierto"_qs, u"D\u00eda"_qs, u"Noche"_qs}));
}

} // namespace nbx::test
