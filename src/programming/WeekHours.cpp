#include "programming/WeekHours.h"

#include "common/chart/ChartModel.h"
#include "localisation/Strings.h"

namespace nbx {

namespace {

constexpr int kDay = 1440;
constexpr double kOpen = 3.5;
constexpr double kClosed = -1;
constexpr double kBand = 4;
constexpr double kDayNight = 2;

// Group and series numbers of the week chart.
constexpr int kGroupHours = 1, kSeriesAbierto = 1, kSeriesDia = 2, kSeriesNoche = 3;
constexpr int kGroupBands = 2;

QString hourText(int minutes)
{
    const int h = (minutes / 60) % 24;
    return QStringLiteral("%1:%2").arg(h, 2, 10, QLatin1Char('0')).arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

// Minutes after midnight of RoundHora(text): a whole hour.
int roundedMinutes(const QString& text)
{
    return ((timeMinutes(text) + 30) / 60) % 24 * 60;
}

// A closed interval on the week's time line, in minutes from the first point's date.
struct Window {
    int from, to;
    bool contains(int t) const { return t >= from && t <= to; }
};

// Drawing window of a day that is open, anchored on `anchorDate` (in days from the first point).
bool sessionWindow(const QString& start, const QString& end, int anchorDate, Window* w)
{
    if (!isValidTime(start) || !isValidTime(end))
        return false; // closed, or texts that are not times: nothing drawn
    bool overrun = timeMinutes(end) <= timeMinutes(start);
    const int a = roundedMinutes(start);
    const int b = roundedMinutes(end);
    bool moved = false;
    if (a == 0 && overrun)
        moved = true;
    else if (b == 0)
        overrun = true;
    w->from = anchorDate * kDay + a + (moved ? kDay : 0);
    w->to = anchorDate * kDay + b + (overrun ? kDay : 0);
    return true;
}

} // namespace

WeekTexts weekTextsOf(const SheetValues& sheet)
{
    WeekTexts t;
    for (int d = 0; d < 7; ++d) {
        t[2 * d] = sheet.horarioIni[weekdayOfMondayFirst(d)];
        t[2 * d + 1] = sheet.horarioFi[weekdayOfMondayFirst(d)];
    }
    return t;
}

void setWeekTexts(SheetValues& sheet, const WeekTexts& texts)
{
    for (int d = 0; d < 7; ++d) {
        sheet.horarioIni[weekdayOfMondayFirst(d)] = texts[2 * d];
        sheet.horarioFi[weekdayOfMondayFirst(d)] = texts[2 * d + 1];
    }
}

bool isValidTime(const QString& text)
{
    return timeMinutes(text) >= 0;
}

int timeMinutes(const QString& t)
{
    if (t.size() != 5 || t[2] != QLatin1Char(':'))
        return -1;
    for (int i : {0, 1, 3, 4})
        if (t[i] < QLatin1Char('0') || t[i] > QLatin1Char('9'))
            return -1;
    const int h = t[0].digitValue() * 10 + t[1].digitValue();
    const int m = t[3].digitValue() * 10 + t[4].digitValue();
    if (h > 23 || m > 59)
        return -1;
    return h * 60 + m;
}

DayKind recogniseDay(const QString& start, const QString& end)
{
    if (start == kClosedTime)
        return DayKind::Closed;
    if (start == QLatin1String("00:00") && end == QLatin1String("23:59"))
        return DayKind::AllDay;
    return DayKind::Hours;
}

StepResult Step(int day, const WeekTexts& texts)
{
    using Focus = StepResult::Focus;
    const QString& start = texts[2 * day];
    const QString& end = texts[2 * day + 1];
    if (start == kClosedTime)
        return {true, true, 0, Focus::None};
    if (!isValidTime(start))
        return {false, false, 19, Focus::Start};
    // A session needs an end too: a "--:--" end would reach the chart and the device.
    if (!isValidTime(end))
        return {false, false, 19, Focus::End};
    if (end == start) {
        const bool tuesdayOrSaturday = day == 1 || day == 5;
        return {false, false, tuesdayOrSaturday ? 19L : 97L, Focus::Start};
    }
    // Joint with the day before: its session, placed on its own day (its end on the next day when
    // it overruns), must end before this day's start placed on the next day.
    auto overlaps = [&texts](int before, int after) {
        const int ps = timeMinutes(texts[2 * before]);
        const int pe = timeMinutes(texts[2 * before + 1]);
        if (ps < 0 || pe < 0)
            return false; // closed (or not a session): no joint
        const int pend = pe + (pe < ps ? kDay : 0);
        const int ds = timeMinutes(texts[2 * after]);
        return ds >= 0 && kDay + ds <= pend;
    };
    if (day > 0 && overlaps(day - 1, day))
        return {false, false, 90L + day, Focus::None};
    if (day == 6 && overlaps(6, 0))
        return {false, false, 91, Focus::None};
    return {true, false, 0, Focus::None};
}

int dayOfPoint(int point)
{
    return qBound(0, (point - 1) / 24, 6);
}

void setUpWeekChart(ChartModel& c)
{
    c.setBatch(true);
    c.setPointCount(kWeekPoints);
    c.setGroupCount(2);
    c.setSeriesCount(kGroupHours, 3);
    c.setSeriesCount(kGroupBands, 7);
    SeriesStyle& open = c.series(kGroupHours, kSeriesAbierto);
    open.label = QStringLiteral("Abierto");
    open.kind = SeriesKind::Area;
    open.color = open.fill = QColor(46, 160, 67);
    SeriesStyle& dia = c.series(kGroupHours, kSeriesDia);
    dia.label = QStringLiteral("D\u00eda");
    dia.kind = SeriesKind::Area;
    dia.color = dia.fill = QColor(255, 222, 120);
    SeriesStyle& noche = c.series(kGroupHours, kSeriesNoche);
    noche.label = QStringLiteral("Noche");
    noche.kind = SeriesKind::Area;
    noche.color = noche.fill = QColor(40, 50, 110);
    for (int s = 1; s <= 7; ++s) {
        SeriesStyle& band = c.series(kGroupBands, s);
        band.kind = SeriesKind::Area;
        band.color = band.fill = s % 2 ? QColor(214, 222, 235) : QColor(184, 196, 218);
        band.inLegend = false;
    }
    c.xAxis() = ChartAxis{0.5, kWeekPoints + 0.5, 0, true, false, 0, {}};
    c.yAxis() = ChartAxis{0, 4.5, 0, false, false, 0, {}};
    ChartTitle& title = c.title(0);
    title.fixedPitch = true;
    title.spanPlot = true;
    c.setLegendVisible(true);
}

QString RoundHora(const QString& time)
{
    const int m = timeMinutes(time);
    return hourText(m < 0 ? 0 : roundedMinutes(time));
}

QString weekTitle(const std::array<QString, 7>& names)
{
    QString title;
    for (const QString& n : names)
        title += n.leftJustified(23, QLatin1Char(' '), false);
    return title;
}

void DibuixaDies(ChartModel& chart)
{
    std::array<QString, 7> names;
    for (int d = 0; d < 7; ++d)
        names[d] = GetS(70 + d);
    DibuixaDies(chart, names);
}

void DibuixaDies(ChartModel& c, const std::array<QString, 7>& names)
{
    c.setBatch(true);
    c.setTitleText(0, weekTitle(names));
    // Band k covers its day's 24 points and the next midnight, shared with the next band.
    for (int p = 1; p <= kWeekPoints; ++p)
        for (int s = 1; s <= 7; ++s)
            if (p >= 24 * (s - 1) + 1 && p <= 24 * s + 1)
                c.setValue(kGroupBands, s, p, kBand);
}

void DibuixaNitDia(ChartModel& c, const QString& nightStart, const QString& nightEnd)
{
    c.setBatch(true);
    // A night text that is not a time gives no night and blank labels.
    const bool night = isValidTime(nightStart) && isValidTime(nightEnd);
    const int n1 = night ? roundedMinutes(nightStart) : -1;
    const int n2 = night ? roundedMinutes(nightEnd) : -1;
    for (int p = 1; p <= kWeekPoints; ++p) {
        const int t = (p - 1) * 60;
        const int date = t / kDay;
        const int clock = t % kDay;
        c.setValue(kGroupHours, kSeriesDia, p, kDayNight);
        QString label = QStringLiteral(" ");
        if (night) {
            for (int d : {date, date - 1}) {
                const Window w{d * kDay + n1, d * kDay + n2 + (n2 < n1 ? kDay : 0)};
                if (w.contains(t)) {
                    c.setValue(kGroupHours, kSeriesNoche, p, kDayNight);
                    break;
                }
            }
            if (clock == n1)
                label = nightStart;
            else if (clock == n2)
                label = nightEnd;
        }
        c.setPointLabel(kGroupHours, p, label);
    }
    c.setBatch(false);
}

void DibuixaSesions(ChartModel& c, const WeekTexts& texts)
{
    c.setBatch(true);
    for (int p = 1; p <= kWeekPoints; ++p) {
        const int t = (p - 1) * 60;
        const int date = t / kDay;
        const int d = dayOfPoint(p);
        const int before = (d + 6) % 7;
        Window w{};
        bool open = sessionWindow(texts[2 * d], texts[2 * d + 1], date, &w) && w.contains(t);
        if (!open)
            open = sessionWindow(texts[2 * before], texts[2 * before + 1], date - 1, &w) && w.contains(t);
        c.setValue(kGroupHours, kSeriesAbierto, p, open ? kOpen : kClosed);
    }
    c.setBatch(false);
}

} // namespace nbx
