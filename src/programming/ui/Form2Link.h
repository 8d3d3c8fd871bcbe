// The link state the programming sheet reads and writes: the serial of the device last
// identified (NumeroSerieEqp) and the stop flag of receptions (PararRecepcion). Kept apart from
// the sheet's own headers, whose clock type shares its name with the link's.
#pragma once

#include <QtGlobal>

namespace nbx {

qint32 deviceSerial();
void setDeviceSerial(qint32 serial);
void clearStopReception();

} // namespace nbx
