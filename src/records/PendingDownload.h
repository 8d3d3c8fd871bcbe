// The moment from which a device's records may be missing from the database. A download writes it
// (the earlier of the mark kept and its FROM) before it receives records, and whatever ends it short
// of its FROM (a line fault, Stop, the close box, the program's end, a kill, the database) leaves it
// there: the device sends its records newest first, so what lies between FROM and the oldest record
// received is missing. The next download's default range reaches back to it, so the records the
// device still holds come again. Only a download that completes over the mark clears it.
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

// The mark after a download that stored every record from `from` to `to`, given the mark kept
// before it, the end of the newest interval it received (invalid when none; a device that sends
// records after TO covers up to there) and the start of the newest interval stored (where the
// default range begins). A range that began after the mark leaves it; one that ended before the
// newest stored interval leaves what lies after its end (or the mark, when that is later).
std::optional<QDateTime> pendingAfterComplete(const std::optional<QDateTime>& before, const QDateTime& from,
                                              const QDateTime& to, const QDateTime& newestReceived,
                                              const std::optional<QDateTime>& newestStart);

} // namespace nbx
