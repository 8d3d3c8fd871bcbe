// Short device commands answered by one byte: password, new password, erase and factory test.
// Each frame goes out one byte at a time with a pause after each byte up to ETX.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace nbx {

class Link;

// EnviarTest outcomes besides the one-byte answers 6, 21 and 24: nothing was sent.
inline constexpr int kTestCancelado = -1; // Cancel or an empty answer
inline constexpr int kTestInvalido = -2;  // a character taken is not a digit (show GetS(106))

// Sends frameToEtx (STX .. ETX) paced, then its XOR with no pause, and waits up to waitMs for
// the answer: 6 for ACK, 21 for any other byte (only one byte is read), 24 for none,
// kResultadoPerdido when the port was lost (after its message), kResultadoParado when the program's
// end was asked for (nothing more is sent, nothing shown). Input is discarded first.
int EnvioPausado(Link& link, const QByteArray& frameToEtx, int waitMs);

// The four password bytes: Windows-1252 codes of a text padded with blanks to four.
QByteArray passwordBytes(const QString& password);

// The six digit values of a typed serial: characters 1-5 (the last one fills missing places)
// and the last one. No value when one of them is not a digit; an empty text gives an empty array.
std::optional<QByteArray> testDigits(const QString& typed);

int EnviarPassword(Link& link);     // 0x0A with PasswordActual
int EnviarNewPassword(Link& link);  // 0x0B with NuevaPassword
int EnviarBorrat(Link& link);       // 0x0C
// Asks "Entrar el numero de serie:" and sends 0x0D with the digits; waits for the test's answer.
int EnviarTest(Link& link);

} // namespace nbx
