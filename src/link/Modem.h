// The Hayes modem dialogue that brings up a telephone line before a device operation.
#pragma once

#include <QByteArray>
#include <QString>

namespace nbx {

class Link;

inline constexpr int kMarcadoConectado = 1;
inline constexpr int kMarcadoFallido = 2;

// The text without control characters (below 0x20, and DEL): dial prefixes and numbers.
QString withoutControls(const QString& s);

// "ATE0V0X0" + "DT" (tone) or "DP" + trimmed prefix + "," + number + CR. Control characters in
// the prefix and the number are dropped so that they cannot end the command early.
QByteArray dialCommand(int marcadoTonos, const QString& prefix, const QString& phone);

// Escapes to command mode ("+++" with one-second guards), dials and reads the result code as a
// line, after the echo of the dial line wherever it comes and whatever came before it. 1 when
// the result is CONNECT, else 2 after GetS(35), also when no result could be read in time. The caller opens the port first and
// records ModemConectado on 1. PararMarcado ends the wait at once. After the program's end was
// asked for (quitPending) nothing more is sent and nothing shown: 2, and the caller hangs up.
int MarcarModem(Link& link, const QString& phone);

} // namespace nbx
