// Asking the device who it is, and reading its answer into the link state.
#pragma once

#include "link/Frame.h"

#include <QString>
#include <optional>

namespace nbx {

class InactivityTimer;
class Link;

struct Identification {
    int TipoAparato = 0;
    QString VersionEqp;      // "major.minor", decimal, no padding
    qint32 NumeroSerieEqp = 0;
    int ModoProgramacion = 0;
};

// Offsets: [4] model, [5] major, [6] minor, [7..12] six ASCII digits, [13] mode flag.
// No value when the frame is too short to hold them or a serial character is not a digit.
std::optional<Identification> parseIdentification(const FrameBuffer& frame);

// A pause of one second, input flushed, then 02 00 06 01 03 06.
void DemanaIdentificacion(Link& link);

// Receives the reply and stores it in the link state. A short frame or a serial with other
// characters than digits is a bad frame (GetS(62)); the state is then left as it was.
bool RecibirIdentificacion(Link& link, InactivityTimer& timer);

} // namespace nbx
