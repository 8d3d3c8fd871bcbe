// The moment from which a device's records may be missing from the database. A download writes it
// before it receives records and clears it once it has stored everything down to it; a download
// that could not keep what it received (or a program ended in the middle) leaves it, and the next
// download's default range reaches back to it, so the records the device still holds come again.
#pragma once

#include <QDateTime>
#include <QSqlDatabase>
#include <optional>

namespace nbx {

// No value when none is kept (or on a read error, with `error` set).
std::optional<QDateTime> pendingFrom(QSqlDatabase db, qint32 serial, QString* error = nullptr);
// Keeps `from` (naive, to the minute), or forgets the device's mark when it has no value; false with
// the library's text and SQLite's code on failure.
bool setPendingFrom(QSqlDatabase db, qint32 serial, const std::optional<QDateTime>& from, QString* error, int* code);

} // namespace nbx
