#include "programming/IntervalGrid.h"

#include "programming/SheetText.h"

#include <QDateTime>
#include <QTimeZone>

namespace nbx {

namespace {

bool isEmptyDate(const QString& text) { return text.left(8) == kEmptyIntervalDate; }

// Start and end of a row as moments; a missing date takes the other one's day.
struct Moments {
    std::optional<QDateTime> start;
    std::optional<QDateTime> end;
};

Moments momentsOf(const IntervalRow& r)
{
    QString fi = r.fechaIni;
    QString ff = r.fechaFi;
    if (isEmptyDate(fi))
        fi = ff;
    if (isEmptyDate(ff))
        ff = fi;
    Moments m;
    const auto di = parseSheetDate(fi);
    const auto ti = parseSheetTime(r.horaIni);
    const auto df = parseSheetDate(ff);
    const auto tf = parseSheetTime(r.horaFi);
    if (di && ti)
        m.start = QDateTime(*di, *ti, QTimeZone::utc());
    if (df && tf)
        m.end = QDateTime(*df, *tf, QTimeZone::utc());
    return m;
}

// False when the end is not after the start; true also when the start cannot be read (nothing
// to compare with).
bool endAfterStart(const IntervalRow& r)
{
    const Moments m = momentsOf(r);
    if (!m.start)
        return true;
    return m.end && *m.end > *m.start;
}

void moveEnd(IntervalRow& r)
{
    const Moments m = momentsOf(r);
    if (!m.start)
        return;
    const QDateTime end = m.start->addSecs(60);
    r.fechaFi = formatSheetDate(end.date());
    r.horaFi = formatSheetTime(end.time());
}

GridEditResult cancel(const IntervalRow& before, GridMessage m) { return {false, before, m}; }

} // namespace

long gridMessageId(GridMessage m)
{
    switch (m) {
    case GridMessage::DateWrong: return 18;
    case GridMessage::EndNotAfterStart: return 24;
    case GridMessage::TimeWrong: return 19;
    case GridMessage::None: break;
    }
    return 0;
}

GridEditResult validateIntervalEdit(const IntervalRow& before, int column, const QString& newValue)
{
    IntervalRow r = before;
    switch (column) {
    case GridFechaIni:
    case GridFechaFi: {
        const bool start = column == GridFechaIni;
        if (isEmptyDate(newValue))
            return {true, IntervalRow{}, GridMessage::None};
        const std::optional<QDate> d = parseSheetDate(newValue);
        if (!d)
            return cancel(before, GridMessage::DateWrong);
        QString& own = start ? r.fechaIni : r.fechaFi;
        QString& other = start ? r.fechaFi : r.fechaIni;
        own = formatSheetDate(*d);
        if (isEmptyDate(other))
            other = own;
        if (!endAfterStart(r)) {
            moveEnd(r);
            return {true, r, start ? GridMessage::None : GridMessage::EndNotAfterStart};
        }
        return {true, r, GridMessage::None};
    }
    case GridHoraIni:
    case GridHoraFi: {
        const bool start = column == GridHoraIni;
        const std::optional<QTime> t = parseSheetTime(newValue);
        if (!t)
            return cancel(before, GridMessage::TimeWrong);
        QString& ownDate = start ? r.fechaIni : r.fechaFi;
        const QString& otherDate = start ? r.fechaFi : r.fechaIni;
        if (!parseSheetDate(ownDate)) {
            // A date left empty while the other is set takes the other's day, as editing a date does.
            if (isEmptyDate(ownDate) && parseSheetDate(otherDate))
                ownDate = otherDate;
            else
                return cancel(before, GridMessage::DateWrong);
        }
        (start ? r.horaIni : r.horaFi) = formatSheetTime(*t);
        if (!endAfterStart(r)) {
            if (!start)
                return cancel(before, GridMessage::EndNotAfterStart);
            moveEnd(r);
        }
        return {true, r, GridMessage::None};
    }
    default:
        return {true, before, GridMessage::None};
    }
}

IntervalRows gridRowsFromIntervals(const InhibitedIntervals& iv)
{
    IntervalRows rows;
    for (int i = 0; i < kIntervalCount; ++i)
        rows[i] = {iv.fechaIni[i], iv.horaIni[i], iv.fechaFi[i], iv.horaFi[i]};
    return rows;
}

InhibitedIntervals intervalsFromGridRows(const IntervalRows& rows)
{
    auto date = [](const QString& t) {
        const std::optional<QDate> d = parseSheetDate(t);
        return d ? formatSheetDate(*d) : t;
    };
    InhibitedIntervals iv;
    for (int i = 0; i < kIntervalCount; ++i) {
        iv.fechaIni[i] = date(rows[i].fechaIni);
        iv.horaIni[i] = rows[i].horaIni.left(5);
        iv.fechaFi[i] = date(rows[i].fechaFi);
        iv.horaFi[i] = rows[i].horaFi.left(5);
    }
    return iv;
}

} // namespace nbx
