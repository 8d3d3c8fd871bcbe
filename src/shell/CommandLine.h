// The program's command line: one optional argument, a .KM70 file or a serial number.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace nbx {

// Joins the arguments (program name excluded) with single blanks, as one raw command line.
QString joinArguments(const QStringList& args);

// Trims the line, then removes its first double quote and the next one, if any. Not trimmed again.
QString LineaComandos(const QString& rawLine);

// True when the line names an exchange file (last five characters ".KM70", any case).
bool isExchangeFile(const QString& line);

// A serial number given on the command line: blanks trimmed, digits only, at most nine digits.
std::optional<long> parseSerial(const QString& text);

} // namespace nbx
