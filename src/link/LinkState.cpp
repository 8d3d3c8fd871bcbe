#include "link/LinkState.h"

#include "link/SerialPort.h"

namespace nbx {

QString LinkState::portName() const { return serialPortName(PuertoCom, SerialDevice); }

} // namespace nbx
