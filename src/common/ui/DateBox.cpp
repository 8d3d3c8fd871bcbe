#include "common/ui/DateBox.h"

#include "common/DateText.h"

#include <QAction>
#include <QKeyEvent>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QStyleOption>
#include <QTimeZone>

namespace nbx {

namespace {

const QString kDateMask = QStringLiteral("99/99/99");
const QString kDateTimeMask = QStringLiteral("99/99/99 99:99");

QIcon dropDownArrow(const QWidget* w)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    QStyleOption option;
    option.initFrom(w);
    option.rect = pixmap.rect();
    w->style()->drawPrimitive(QStyle::PE_IndicatorArrowDown, &option, &painter, w);
    return QIcon(pixmap);
}

} // namespace

DateBox::DateBox(Kind kind, const QString& name, QWidget* parent) : QLineEdit(parent), kind_(kind)
{
    setObjectName(name);
    // "9" takes a digit or leaves the place blank, so "5/6/24" can be typed as it is said.
    setInputMask(kind == Kind::Date ? kDateMask : kDateTimeMask);
}

void DateBox::setDateRange(const QDate& min, const QDate& max)
{
    min_ = min;
    max_ = max;
}

bool DateBox::inRange(const QDate& d) const
{
    return (!min_.isValid() || d >= min_) && (!max_.isValid() || d <= max_);
}

long DateBox::refusal() const
{
    const TypedDateTime t = kind_ == Kind::Date ? TypedDateTime{parseSheetDate(text()), QTime(0, 0)}
                                                : parseSheetDateTime(text());
    if (!t.date || !inRange(*t.date))
        return 18;
    if (!t.time)
        return 19;
    return 0;
}

std::optional<QDate> DateBox::date() const
{
    const QString t = text();
    const std::optional<QDate> d = parseSheetDate(kind_ == Kind::Date ? t : t.section(QLatin1Char(' '), 0, 0));
    if (!d || !inRange(*d))
        return std::nullopt;
    return d;
}

QDateTime DateBox::dateTime() const
{
    if (refusal() != 0)
        return {};
    if (kind_ == Kind::Date)
        return QDateTime(*date(), QTime(0, 0), QTimeZone::utc());
    return *parseSheetDateTime(text()).moment();
}

void DateBox::setDate(const QDate& date)
{
    if (kind_ == Kind::Date) {
        setText(formatSheetDate(date));
        return;
    }
    // The time part as it stands, blanks included, after the date.
    setText(formatSheetDate(date) + displayText().mid(8));
}

void DateBox::setDateTime(const QDateTime& moment)
{
    if (kind_ == Kind::Date) {
        setDate(moment.date());
        return;
    }
    setText(formatSheetDate(moment.date()) + QLatin1Char(' ') + formatSheetTime(moment.time()));
}

void DateBox::keyPressEvent(QKeyEvent* event)
{
    // A mask alone types over the digits in their places and keeps the ones not typed over: "5/"
    // over a day of "15" would leave "55", and "5" at the end over minutes "30" would leave "50".
    // Each part is begun anew instead: a digit typed at its start blanks the rest of it, and a
    // separator typed inside it blanks what is left of it and moves on, so what is typed is what
    // is read.
    const QString& mask = kind_ == Kind::Date ? kDateMask : kDateTimeMask;
    const QString typed = event->text();
    const bool digit = typed.size() == 1 && typed.at(0).isDigit();
    const bool separator = typed.size() == 1 && !digit && mask.contains(typed);
    if ((!digit && !separator) || isReadOnly() || (digit && hasSelectedText())) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    if (hasSelectedText())
        del(); // the selection becomes blanks and the cursor stands at its start
    int pos = cursorPosition();
    auto blank = [this](qsizetype from, qsizetype to) {
        if (to > from) {
            setSelection(int(from), int(to - from));
            del(); // a masked box blanks the digits and keeps the separators
        }
    };
    auto partEnd = [&mask](qsizetype from) {
        qsizetype i = from;
        while (i < mask.size() && mask.at(i) == QLatin1Char('9'))
            ++i;
        return i;
    };
    if (digit) {
        while (pos < mask.size() && mask.at(pos) != QLatin1Char('9'))
            ++pos;
        if (pos < mask.size() && (pos == 0 || mask.at(pos - 1) != QLatin1Char('9'))) {
            blank(pos + 1, partEnd(pos));
            setCursorPosition(pos);
        }
        QLineEdit::keyPressEvent(event);
        return;
    }
    event->accept();
    if (pos > 0 && mask.at(pos - 1) == typed.at(0))
        return; // the part was just filled and the mask has already moved over this separator
    const qsizetype next = mask.indexOf(typed, pos);
    if (next < 0)
        return;
    blank(pos, next);
    setCursorPosition(int(next) + 1);
}

QAction* DateBox::addCalendarArrow()
{
    QAction* arrow = addAction(dropDownArrow(this), QLineEdit::TrailingPosition);
    connect(arrow, &QAction::triggered, this, &DateBox::calendarRequested);
    return arrow;
}

} // namespace nbx
