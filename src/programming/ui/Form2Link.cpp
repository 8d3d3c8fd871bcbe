#include "programming/ui/Form2Link.h"

#include "link/Link.h"

namespace nbx {

qint32 deviceSerial() { return linkState().NumeroSerieEqp; }

void setDeviceSerial(qint32 serial) { linkState().NumeroSerieEqp = serial; }

void clearStopReception() { linkState().PararRecepcion = false; }

} // namespace nbx
