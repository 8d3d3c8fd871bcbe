// State of the records side shared between windows: the last download range and the header texts
// of the device the record window shows.
#pragma once

#include "records/RecordFrames.h"

#include <QString>

namespace nbx {

struct RecordsState {
    RangoFechas rangoFechas;     // the last accepted range
    bool rangoCancelado = false; // RangoCancelado: the range dialog was not accepted
    QString fechaFicha;          // FechaFicha: the shown device's date box ("dd/mm/yy")
    QString localFicha;          // LocalFicha: the shown device's venue box
};

RecordsState& recordsState();

} // namespace nbx
