// The box every date ("dd/mm/yy") or date and time ("dd/mm/yy hh:mm") of the program is typed in.
#pragma once

#include <QDate>
#include <QDateTime>
#include <QLineEdit>
#include <optional>

class QAction;

namespace nbx {

// A mask holds each digit in its place: digits typed one after the other fill the day, month,
// year (and hour, minute) in turn, and a typed separator ends the part it is typed in and moves
// on to the next, so "310324" and "31/03/24" give the same text and "5/" is day 5 whatever
// digits the day held before. The text
// is read strictly when the owner takes it (two-digit years below 50 are 20yy, the others 19yy):
// a date that does not exist, or lies outside the box's range, is refused, never moved to a
// near one.
class DateBox : public QLineEdit {
    Q_OBJECT
public:
    enum class Kind { Date, DateTime };
    DateBox(Kind kind, const QString& name, QWidget* parent = nullptr);

    Kind kind() const { return kind_; }

    // The dates taken (inclusive); any valid date when not set.
    void setDateRange(const QDate& min, const QDate& max);
    QDate minimumDate() const { return min_; }
    QDate maximumDate() const { return max_; }

    // The string id of the message that refuses what the box holds: 18 "Fecha incorrecta" for a
    // date that does not exist or is out of range, 19 "Hora incorrecta" for a time that does not
    // (hour 0-23, minute 0-59); 0 when it is taken.
    long refusal() const;
    // The date typed, when it exists and is in range.
    std::optional<QDate> date() const;
    // The date and time typed (UTC, no zone, to the minute); invalid when refused.
    QDateTime dateTime() const;

    void setDate(const QDate& date); // a date-time box keeps the time it holds
    void setDateTime(const QDateTime& moment); // seconds are dropped

    // An arrow at the box's end that asks for a calendar (calendarRequested).
    QAction* addCalendarArrow();

signals:
    void calendarRequested();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool inRange(const QDate& d) const;

    Kind kind_;
    QDate min_, max_;
};

} // namespace nbx
