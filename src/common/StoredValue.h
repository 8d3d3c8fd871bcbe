// Numbers read back from the database as another program may have left them: any column can hold
// any type (an integer of any size, a real that is infinite or huge, a text, a blob). The range is
// tested before anything is converted.
#pragma once

#include <QVariant>
#include <optional>

namespace nbx {

// A stored whole number within [lo, hi]: an integer as it is, a real rounded to the nearest
// (halves away from zero, as Qt's own conversion does), a text that reads as an integer. None for
// NULL, for any other value and for a value outside the range.
std::optional<qint64> storedWhole(const QVariant& value, qint64 lo, qint64 hi);

// A stored serial number (a Long column): none unless it is a whole number of 32 bits.
std::optional<qint32> storedSerial(const QVariant& value);

} // namespace nbx
