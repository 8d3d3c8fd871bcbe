// The blank programming sheet (CreaProgramacio): the starting value of every field.
#pragma once

#include "programming/SheetValues.h"

#include <QDateTime>
#include <QLocale>
#include <functional>

namespace nbx {

using Clock = std::function<QDateTime()>;

// Fills `sheet` with the blank sheet: clock fields and the sheet date from `now` (read afresh for
// each), serial "0", version "0.0", the default programming, 30 empty intervals; then marks the
// sheet modified in `state`. The CMI box, its visibility and the database are not touched. The
// octave texts use the locale's decimal separator ("000.0").
void CreaProgramacio(SheetValues& sheet, ProgrammingState& state, const Clock& now = &QDateTime::currentDateTime,
                     const QLocale& locale = QLocale::system());

} // namespace nbx
