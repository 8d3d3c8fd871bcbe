#include "records/ui/NamedCalendar.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

namespace nbx {

NamedCalendar::NamedCalendar(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("NamedCalendar"));
    prev_ = new QToolButton(this);
    prev_->setArrowType(Qt::LeftArrow);
    prev_->setAccessibleName(QStringLiteral("<"));
    next_ = new QToolButton(this);
    next_->setArrowType(Qt::RightArrow);
    next_->setAccessibleName(QStringLiteral(">"));
    title_ = new QLabel(this);
    title_->setAlignment(Qt::AlignCenter);
    auto* bar = new QHBoxLayout;
    bar->addWidget(prev_);
    bar->addWidget(title_, 1);
    bar->addWidget(next_);

    auto* grid = new QGridLayout;
    grid->setSpacing(1);
    for (int c = 0; c < 7; ++c) {
        auto* h = new QLabel(this);
        h->setAlignment(Qt::AlignCenter);
        headers_ << h;
        grid->addWidget(h, 0, c);
    }
    for (int i = 0; i < 42; ++i) {
        auto* b = new QToolButton(this);
        b->setAutoRaise(true);
        b->setMinimumSize(30, 24);
        cells_ << b;
        grid->addWidget(b, 1 + i / 7, i % 7);
        connect(b, &QToolButton::clicked, this, [this, b] {
            const QDate d = b->property("date").toDate();
            if (d.isValid())
                emit dateChosen(d);
        });
    }
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addLayout(grid);

    connect(prev_, &QToolButton::clicked, this, [this] { showMonthOf(month_.addMonths(-1)); });
    connect(next_, &QToolButton::clicked, this, [this] { showMonthOf(month_.addMonths(1)); });
    rebuild();
}

void NamedCalendar::setNames(const QStringList& shortDays, const QStringList& days, const QStringList& months)
{
    shortDays_ = shortDays;
    days_ = days;
    months_ = months;
    rebuild();
}

void NamedCalendar::setRange(const QDate& min, const QDate& max)
{
    min_ = min;
    max_ = max;
    rebuild();
}

void NamedCalendar::showMonthOf(const QDate& date)
{
    QDate m(date.year(), date.month(), 1);
    if (min_.isValid() && m < QDate(min_.year(), min_.month(), 1))
        m = QDate(min_.year(), min_.month(), 1);
    if (max_.isValid() && m > QDate(max_.year(), max_.month(), 1))
        m = QDate(max_.year(), max_.month(), 1);
    month_ = m;
    rebuild();
}

QString NamedCalendar::title() const { return title_->text(); }

QStringList NamedCalendar::headerTexts() const
{
    QStringList out;
    for (const QLabel* h : headers_)
        out << h->text();
    return out;
}

QToolButton* NamedCalendar::dayButton(int day) const
{
    for (QToolButton* b : cells_)
        if (b->property("date").toDate() == QDate(month_.year(), month_.month(), day))
            return b;
    return nullptr;
}

void NamedCalendar::rebuild()
{
    title_->setText(QStringLiteral("%1 %2").arg(months_.value(month_.month() - 1), QString::number(month_.year())));
    for (int c = 0; c < 7; ++c) {
        headers_[c]->setText(shortDays_.value(c));
        headers_[c]->setToolTip(days_.value(c));
    }
    const int lead = month_.dayOfWeek() % 7; // Sunday first
    for (int i = 0; i < cells_.size(); ++i) {
        const QDate d = month_.addDays(i - lead);
        const bool inMonth = d.month() == month_.month();
        const bool allowed = inMonth && (!min_.isValid() || d >= min_) && (!max_.isValid() || d <= max_);
        QToolButton* b = cells_[i];
        b->setText(inMonth ? QString::number(d.day()) : QString());
        b->setToolTip(inMonth ? days_.value(d.dayOfWeek() % 7) : QString());
        b->setProperty("date", allowed ? QVariant(d) : QVariant());
        b->setEnabled(allowed);
    }
    prev_->setEnabled(!min_.isValid() || month_ > QDate(min_.year(), min_.month(), 1));
    next_->setEnabled(!max_.isValid() || month_ < QDate(max_.year(), max_.month(), 1));
}

} // namespace nbx
