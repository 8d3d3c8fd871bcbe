// The inhibited-interval grid: validation and correction of an edited cell, and the copy of the
// grid into the interval arrays when it loses the focus.
#pragma once

#include "programming/SheetValues.h"

#include <QString>
#include <array>

namespace nbx {

// One grid row (interval): the four cells after the interval number.
struct IntervalRow {
    QString fechaIni = kEmptyIntervalDate; // grid column 1
    QString horaIni = kEmptyIntervalTime;  // grid column 2
    QString fechaFi = kEmptyIntervalDate;  // grid column 3
    QString horaFi = kEmptyIntervalTime;   // grid column 4
    bool operator==(const IntervalRow&) const = default;
};

using IntervalRows = std::array<IntervalRow, kIntervalCount>;

// Grid column indices (column 0 is the read-only interval number).
enum GridColumn { GridNumber = 0, GridFechaIni = 1, GridHoraIni = 2, GridFechaFi = 3, GridHoraFi = 4 };

// Messages posted by the validation, shown after the edit has finished (OK button, no icon).
enum class GridMessage { None = 0, DateWrong = 1, EndNotAfterStart = 2, TimeWrong = 3 };
// The string id of a posted message: 18, 24, 19; 0 (show nothing) for None.
long gridMessageId(GridMessage m);

struct GridEditResult {
    bool accepted = true;            // false: the edit is cancelled and the row keeps `before`
    IntervalRow row;                 // the whole row after the edit and its corrections
    GridMessage message = GridMessage::None;
};

// Validates `newValue` typed into `column` of a row holding `before`. Accepted values are stored
// in their padded form ("dd/mm/yy", "hh:mm"). "00/00/00" in either date clears the row; setting
// one date of an empty row gives the other the same day; an end not after the start is moved to
// the start plus one minute (silently for the start cells, with message 2 for the end date) or
// refused (end time). A row with one date empty compares as if both dates were the same day.
GridEditResult validateIntervalEdit(const IntervalRow& before, int column, const QString& newValue);

// The grid rows of the intervals, and back: the copy made when the grid loses the focus (dates
// that are valid re-formatted "dd/mm/yy", other texts unchanged; times cut to 5 characters).
IntervalRows gridRowsFromIntervals(const InhibitedIntervals& intervals);
InhibitedIntervals intervalsFromGridRows(const IntervalRows& rows);

} // namespace nbx
