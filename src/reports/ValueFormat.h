// Value texts of the reports: the "#.0" number format, the leading number of a version text,
// stored values shown in their default form.
#pragma once

#include <QLocale>
#include <QString>
#include <QVariant>

namespace nbx::reports {

// "#.0": one decimal rounded half away from zero (on the value's shortest decimal form), no digit
// before the separator below 1 in magnitude (0 -> ".0", 0.5 -> ".5", -3 -> "-3.0"); NULL -> "".
QString formatOneDecimal(const QVariant& value, const QLocale& locale = QLocale::system());

// The leading number of a text: blanks skipped, "." as the decimal point, no number -> 0.
double leadingNumber(const QString& text);

// A stored value in its default form: NULL "", whole numbers as digits, reals in their shortest
// form with the locale's decimal separator, texts unchanged.
QString defaultText(const QVariant& value, const QLocale& locale = QLocale::system());

// The "int" format: a number rounded to a whole one (halves away from zero); a value no integer
// holds (infinite, NaN, 1e15 and beyond) and a text that is no number in their default form.
QString formatRounded(const QVariant& value);

// A stored "yyyy-MM-dd" date in `pattern` (a two-digit year is the year modulo 100); any other
// text unchanged.
QString formatStoredDate(const QVariant& value, const QString& pattern);

} // namespace nbx::reports
