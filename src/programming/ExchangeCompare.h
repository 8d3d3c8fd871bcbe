// The received programming against the sheet: filling the sheet from the device copy
// (CarregaProgEqp) and the field-by-field comparison report (ComparaPcEqp).
#pragma once

#include "programming/SheetValues.h"

#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>

namespace nbx {

// CarregaProgEqp: copies every programming field of the device copy into `sheet`: the change of
// hour, both action types (a "LeqNs" type gives the 1 s option with the time "0N"), the CMI box
// (shown and set for firmware `versionEqp` 2.0 or later, otherwise hidden), Leq time, LFmax,
// weekday hours, limits, night times and the day period as their complement, octaves (in the
// locale's decimal form), attenuation, rings and the thirty intervals. Serial, version, sheet
// date, contacts, note and clock fields are left alone. The caller marks the sheet modified.
void CarregaProgEqp(SheetValues& sheet, const DeviceCopy& copy, const QString& versionEqp,
                    const QLocale& locale = QLocale::system());

// The comparison of a sheet with the device copy.
struct Comparison {
    QString informe;        // InformeComparacion: header, differing rows, interval line, question
    QStringList rows;       // label (without its tail) of each differing row, in report order
    QList<int> intervals;   // numbers of the intervals that differ in any of their four texts
    bool differs() const { return !rows.isEmpty() || !intervals.isEmpty(); }
};

// Compares field by field. Numeric boxes are compared as numbers ("05" equals 5; octaves in
// single precision); a box whose text is not a number counts as different and is shown as it is.
// Times and action types are compared as text. The "ENOS" row is compared only when the sheet's
// version is 2.0 or later. An interval differs when any of its four texts differs.
Comparison compareWithDevice(const SheetValues& sheet, const DeviceCopy& copy,
                             const QLocale& locale = QLocale::system());

// ComparaPcEqp: compares; when anything differs shows the report (OK/Cancel, question icon) and
// on OK fills the sheet from the device copy. Returns true when the sheet was replaced (the caller
// then marks it modified). `result` receives the comparison when given.
bool ComparaPcEqp(SheetValues& sheet, const DeviceCopy& copy, const QString& versionEqp,
                  Comparison* result = nullptr, const QLocale& locale = QLocale::system());

// The action time a "LeqNs" type carries ("Leq5s" gives "05"); empty for any other text.
QString actionTimeText(const QString& tipoActuacion);

} // namespace nbx
