// A month calendar that names its days and months with the texts it is given (the program's own
// translations), Sunday first; a click on a day chooses it. Shown as a popup below a date field.
#pragma once

#include <QDate>
#include <QStringList>
#include <QWidget>

class QGridLayout;
class QLabel;
class QToolButton;

namespace nbx {

class NamedCalendar : public QWidget {
    Q_OBJECT
public:
    explicit NamedCalendar(QWidget* parent = nullptr);

    // Seven short and seven long day names (Sunday first) and twelve month names.
    void setNames(const QStringList& shortDays, const QStringList& days, const QStringList& months);
    void setRange(const QDate& min, const QDate& max);
    void showMonthOf(const QDate& date);
    QDate shownMonth() const { return month_; }

    QString title() const;             // the month name and year shown
    QStringList headerTexts() const;   // the short day names as shown
    QToolButton* dayButton(int day) const; // the button of day `day` (1-31) of the shown month

signals:
    void dateChosen(const QDate& date);

private:
    void rebuild();

    QDate month_ = QDate::currentDate();
    QDate min_, max_;
    QStringList shortDays_, days_, months_;
    QLabel* title_;
    QToolButton* prev_;
    QToolButton* next_;
    QList<QLabel*> headers_;
    QList<QToolButton*> cells_; // 6 weeks x 7 days
};

} // namespace nbx
