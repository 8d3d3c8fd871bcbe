// Windows-1252 ("ANSI") text: the encoding of exchange files, language text files, old INI files
// and the texts sent to the device.
#pragma once

#include <QByteArray>
#include <QString>

namespace nbx {

QString cp1252ToUnicode(const QByteArray& bytes);
// Characters with no Windows-1252 byte become '?'.
QByteArray unicodeToCp1252(const QString& text);
bool isValidUtf8(const QByteArray& bytes);
// UTF-8 when the bytes are valid UTF-8 (a leading BOM is dropped), else Windows-1252.
QString decodeUtf8OrCp1252(const QByteArray& bytes);

} // namespace nbx
