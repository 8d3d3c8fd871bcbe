// Bringing a KM70 exchange file into the main database, all or nothing: every section is read and
// converted first, then everything is written in one transaction.
#pragma once

#include "import/ExchangeReader.h"

#include <QSqlDatabase>
#include <functional>

namespace nbx {

// The main-database columns that a row of exchange table `table` fills, in order. The date-time
// columns of Intervalos and Sesiones each become a date and an "hh:mm" column.
QStringList importColumns(int table);

// Reads one row of exchange table `table` straight into the storage forms of the main database
// (values in importColumns order), with the cell checks of the typed reader and those of the
// import: a serial number 1-999999, every key cell, an inhibited interval 1-30. With `values` null
// the row is only checked.
std::optional<FormatError> convertLine(int table, QStringView line, qsizetype lineNumber, QVector<QVariant>* values);

// Device texts of the minute-level columns: a date becomes "dd/mm/yyyy" and a time "hh:mm"; a text
// that is neither is kept as it is.
QString normaliseLeqDate(const QString& text);
QString normaliseLeqTime(const QString& text);
// "yyyy-mm-dd" rearranged by character position to "dd/mm/yy" ("0000-00-00" gives "00/00/00").
QString inhibitedDay(const QString& text);

struct ExchangeImportResult {
    enum class Status { Imported, Cancelled, Rejected, DatabaseError };
    Status status = Status::Imported;
    std::optional<FormatError> formatError; // Rejected
    QString databaseError;                  // DatabaseError
    int rowsRead = 0;
};

struct ExchangeImportHooks {
    // The progress text: caption + "   " + count while reading, + "   n / total" while writing.
    std::function<void(const QString&)> progress;
    // Asked at every row; true rolls everything back.
    std::function<bool()> cancelled;
};

// Imports the exchange file `bytes` into `db`. `caption` heads the progress texts.
ExchangeImportResult importExchange(QSqlDatabase db, const QByteArray& bytes, const QString& caption,
                                    const ExchangeImportHooks& hooks = {});

} // namespace nbx

namespace nbx {

// "Formato incorrecto" followed by where and why, in the current language (CR between the lines).
QString formatErrorText(const FormatError& error);

} // namespace nbx
