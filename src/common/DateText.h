// Dates and times as the program shows and reads them: "dd/mm/yy" and "hh:mm", read strictly.
#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>
#include <optional>

namespace nbx {

// A two-digit year: below 50 is 20yy, otherwise 19yy.
int expandTwoDigitYear(int yy);

// Reads a "dd/mm/yy" text (one- or two-digit day and month; a year of one or two digits, taken as
// above, or of four). Strict: day 0, month 13 and 31/02 are refused.
std::optional<QDate> parseSheetDate(const QString& text);

// Reads an "hh:mm" text (one or two digits each). Hour 0-23, minute 0-59.
std::optional<QTime> parseSheetTime(const QString& text);

// A "dd/mm/yy hh:mm" text, date and time read as above and joined by one blank.
struct TypedDateTime {
    std::optional<QDate> date; // none when the date part is not a date
    std::optional<QTime> time; // none when the time part is not a time
    // The wall-clock moment (UTC, no zone), when both parts are valid.
    std::optional<QDateTime> moment() const;
};
TypedDateTime parseSheetDateTime(const QString& text);

QString formatSheetDate(const QDate& d); // "dd/mm/yy"
QString formatSheetTime(const QTime& t); // "hh:mm"

} // namespace nbx
