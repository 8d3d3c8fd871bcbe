// The save question asked before the sheet shown is left (Modificat) and by the Grabar button.
#pragma once

#include "programming/SheetRepository.h"
#include "programming/SheetValues.h"

#include <functional>

namespace nbx {

enum class LeaveDecision {
    Proceed, // nothing to save, saved, or the user chose not to save: the caller goes on
    Abort,   // the user chose to save and the save failed: the caller stays on the sheet
};

// Modificat: when the sheet's serial is not 0 and FichaModificada is set, asks GetS(23)
// (OK/Cancel, question icon) through prompter() and on OK calls `graba`, which saves and reports
// its own failure. A serial that is not a number counts as 0.
LeaveDecision Modificat(const SheetValues& sheet, const ProgrammingState& state, const std::function<bool()>& graba);

// The same as Modificat, saving with GrabaProgramacio into `repo`.
LeaveDecision Modificat(const SheetValues& sheet, ProgrammingState& state, SheetRepository& repo,
                        const Clock& now = &QDateTime::currentDateTime);

// The Grabar button: with a serial other than 0 asks GetS(23) whatever the flag, and on OK saves.
// Returns true when the sheet was saved.
bool GrabarConConfirmacion(const SheetValues& sheet, ProgrammingState& state, SheetRepository& repo,
                           const Clock& now = &QDateTime::currentDateTime);

} // namespace nbx
