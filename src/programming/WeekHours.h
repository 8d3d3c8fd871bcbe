// The weekly session hours: day order conversion, time texts, the editor's step checks and the
// week chart's drawing (the four Dibuixa/RoundHora procedures) over a ChartModel.
//
// The editor works Monday first (day 0 = Lunes .. 6 = Domingo) on 14 texts: start and end of each
// day, "hh:mm" or "--:--". The sheet and the device block keep the days Sunday first (Weekday).
#pragma once

#include "programming/SheetValues.h"

#include <QString>
#include <array>

namespace nbx {

class ChartModel;

using WeekTexts = std::array<QString, 14>; // Monday start, Monday end, ..., Sunday end

inline const QString kClosedTime = QStringLiteral("--:--");

// Monday-first day (0..6) <-> Sunday-first Weekday.
constexpr Weekday weekdayOfMondayFirst(int day) { return Weekday((day + 1) % 7); }
constexpr int mondayFirstOfWeekday(Weekday w) { return (int(w) + 6) % 7; }

WeekTexts weekTextsOf(const SheetValues& sheet);
void setWeekTexts(SheetValues& sheet, const WeekTexts& texts);

// Exactly "hh:mm" with hh 00-23 and mm 00-59.
bool isValidTime(const QString& text);
// Minutes after midnight of a valid time; -1 otherwise.
int timeMinutes(const QString& text);

enum class DayKind { Closed, AllDay, Hours };
// The kind an opening day is shown with: start "--:--" closed (end not looked at), "00:00" with
// "23:59" all day, anything else hours.
DayKind recogniseDay(const QString& start, const QString& end);

// Result of the step of one day.
struct StepResult {
    enum class Focus { None, Start, End };
    bool passes = false;
    bool closeDay = false;  // the day's start was "--:--": Cerrado is selected again
    long messageId = 0;     // GetS id of the refusal
    Focus focus = Focus::None;
    bool operator==(const StepResult&) const = default;
};
// The checks of the step of `day` (Monday first) over the editor's 14 texts.
StepResult Step(int day, const WeekTexts& texts);

// The week chart: 169 hourly points from Monday 00:00 to the next Monday 00:00.
inline constexpr int kWeekPoints = 169;
// Day (Monday first) of a point: points 1-24 Monday ... 145-169 Sunday.
int dayOfPoint(int point);

// The chart's stored design: groups, series ("Abierto", "Día", "Noche", seven day bands), kinds,
// colours, axes and title style. Values and labels stay empty.
void setUpWeekChart(ChartModel& chart);

QString RoundHora(const QString& time);
// The title: the seven names padded to 23 characters (longer ones kept whole), Monday first.
QString weekTitle(const std::array<QString, 7>& dayNames);
// Title from GetS(70..76) and the day bands of group 2.
void DibuixaDies(ChartModel& chart);
void DibuixaDies(ChartModel& chart, const std::array<QString, 7>& dayNames);
// "Día", "Noche" and the night labels from the sheet's night start and end texts.
void DibuixaNitDia(ChartModel& chart, const QString& nightStart, const QString& nightEnd);
// "Abierto" from the 14 texts; a day whose start or end is not a valid time is drawn closed.
void DibuixaSesions(ChartModel& chart, const WeekTexts& texts);

} // namespace nbx
