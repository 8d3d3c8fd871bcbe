// Text helpers shared by the programming block, the sheet storage, the field rules and the grid.
#pragma once

#include "common/DateText.h"

#include <QDate>
#include <QLocale>
#include <QString>
#include <QTime>
#include <optional>

namespace nbx {

// The leading decimal number of a version text, "." as separator whatever the locale
// ("2.12" gives 2.12, "1.9b" 1.9); 0 when the text does not start with a number.
double versionValue(const QString& text);

// True when the version text means firmware 2.0 or later (the block carries the CMI byte).
bool hasCmi(const QString& versionText);

// "hh:mm" when 0 <= h <= 23 and 0 <= m <= 59; otherwise the unpadded "h:m".
QString fmtTime(int h, int m);

// y counts years from 1900. "dd/mm/yy" when the date exists in year 1900 + y; otherwise the
// unpadded "d/m/y".
QString fmtDate(int d, int m, int y);

QString formatLongTime(const QTime& t);  // "HH:mm:ss"

// The number a box's text holds: the locale's form first, then the C form; none when empty or
// not a number.
std::optional<double> boxNumber(const QString& text, const QLocale& locale = QLocale::system());

// The leading number of a text, as a reader of "01", "12abc" or "" would take it (0 when none).
double leadingNumber(const QString& text);

// "Valor incorrecto" followed by the label of the field (string id), for a value that cannot be
// stored or sent; `detail` is appended when not empty (an interval number).
QString invalidFieldMessage(long labelId, const QString& detail = QString());

// A box's number rounded to a whole number as an unsigned byte; none when empty, not a number or
// outside 0-255.
std::optional<quint8> byteValue(const QString& text, const QLocale& locale = QLocale::system());

} // namespace nbx
