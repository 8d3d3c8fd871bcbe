// Bringing a KM70 exchange file into the main database, all or nothing: the rows are converted and
// written in one pass inside one transaction.
#pragma once

#include "import/ExchangeReader.h"

#include <QSqlDatabase>
#include <QVarLengthArray>
#include <functional>

struct sqlite3_stmt;

namespace nbx {

// One row in the main database's storage forms: NULL, whole numbers, reals and texts, the texts
// kept as UTF-8 in one buffer, so that converting a row allocates nothing once the buffers have grown.
class StorageRow {
public:
    void clear();
    void appendNull();
    void appendInteger(qlonglong v);
    void appendReal(double v);
    void appendText(QStringView text);
    qsizetype size() const { return cells_.size(); }
    QVariant value(qsizetype i) const; // a QString, qlonglong, double or null
    QVector<QVariant> values() const;
    // Binds cell i to parameter `index`; the text stays here until the statement has run.
    void bind(sqlite3_stmt* stmt, int index, qsizetype i) const;

private:
    enum class Kind : quint8 { Null, Integer, Real, Text };
    struct Cell {
        Kind kind = Kind::Null;
        qint64 integer = 0; // a text's offset in text_
        double real = 0;
        int length = 0; // a text's bytes
    };
    QVarLengthArray<Cell, 64> cells_;
    QByteArray text_;
};

// The main-database columns that a row of exchange table `table` fills, in order. The date-time
// columns of Intervalos and Sesiones each become a date and an "hh:mm" column.
QStringList importColumns(int table);

// Reads one row of exchange table `table` straight into the storage forms of the main database
// (values in importColumns order). Cells beyond the schema are ignored and missing ones are empty.
// Each cell is checked by its column type: Integer 32-bit, Short 16-bit, Byte 0-255, Single with
// "." or "," (one at most), Bit 0, 1, -1, True, False, Yes, No (stored -1 or 0), Date "yyyy-mm-dd"
// with an optional time of day; and by the import's own rules: a serial number 1-999999, every key
// cell present, an inhibited interval 1-30. A bad cell is named with an excerpt of its text. With
// `values` null the row is only checked.
std::optional<FormatError> convertLine(int table, QStringView line, qsizetype lineNumber, StorageRow* values);

// The rows (not blank) of the file's sections of exchange table `table`.
qsizetype countRows(const ExchangeText& text, const QList<ExchangeSection>& sections, int table);

// Converts every row of the file's sections of exchange table `table`, in file order, and hands its
// values to `use` (false from it stops the reading). Rejects a NUL byte in the column line or a
// row, a cell that is not a value of its column, and a last line of the file cut in mid-row.
std::optional<FormatError> readTableRows(const ExchangeText& text, const QList<ExchangeSection>& sections, int table,
                                         const std::function<bool(const StorageRow&)>& use);

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
    QString databaseError;                  // DatabaseError: the library's text
    int databaseCode = 0;                   // DatabaseError: SQLite's result code
    int rowsRead = 0;
};

struct ExchangeImportHooks {
    // The progress text, caption + "   n / total" of the table in hand: at the first row, then at
    // most one every 50 ms.
    std::function<void(const QString&)> progress;
    // Asked at every row; true rolls everything back.
    std::function<bool()> cancelled;
    // Milliseconds for the progress pace (tests); a monotonic clock when empty.
    std::function<qint64()> clockMs;
};

// Imports the exchange file `bytes` into `db`. `caption` heads the progress texts.
ExchangeImportResult importExchange(QSqlDatabase db, const QByteArray& bytes, const QString& caption,
                                    const ExchangeImportHooks& hooks = {});

} // namespace nbx

namespace nbx {

// "Formato incorrecto" followed by where and why, in the current language (CR between the lines).
QString formatErrorText(const FormatError& error);

} // namespace nbx
