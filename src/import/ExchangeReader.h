// Reading a KM70 exchange file in memory: decoding, lines, sections, fields and typed cells.
// Pure functions; nothing here touches a file or the database.
#pragma once

#include "import/ExchangeSchema.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <optional>

namespace nbx {

// Where and why a file was refused. Lines and columns count from 1; column 0 means the whole line.
struct FormatError {
    enum class Kind { NoMarker, ShortMarker, BadCell };
    Kind kind = Kind::BadCell;
    qsizetype line = 0;
    QString table;
    int column = 0;
    QString columnName;
    QString value;

    bool operator==(const FormatError&) const = default;
};

// "ANSI" text is Windows-1252; a file that starts with a UTF-8 byte-order mark is read as UTF-8.
QString decodeExchangeBytes(const QByteArray& bytes);

struct LineSpan {
    qsizetype offset = 0;
    qsizetype length = 0;
};

// The line rule: CR or CR LF ends a line and a bare LF stays inside it; a file without any CR
// ends its lines at LF. A last line without an end counts; an empty file has no lines.
// `start` skips a byte-order mark.
QVector<LineSpan> splitLineSpans(const QByteArray& bytes, qsizetype start = 0);

// The file's bytes with their lines; a line is decoded when it is asked for, so a large file is
// held once, as bytes.
class ExchangeText {
public:
    explicit ExchangeText(QByteArray bytes);
    qsizetype lineCount() const { return lines_.size(); }
    QString line(qsizetype index) const; // index from 0

private:
    QByteArray bytes_;
    bool utf8_ = false;
    QVector<LineSpan> lines_;
};

// Decoded lines of a whole file (tests and small files).
QStringList splitExchangeLines(const QByteArray& bytes);

// One "//Name??" marker and the lines up to the next marker: lines [firstLine, endLine), indices
// from 0; the first of them is the column-name line.
struct ExchangeSection {
    QString name;
    int table = -1; // index into exchangeTables(), -1 for a table the import does not know
    qsizetype markerLine = 0;
    qsizetype firstLine = 0;
    qsizetype endLine = 0;
};

// Splits the lines into sections. The first line must be a marker line ("//" + name + two
// characters); a marker line shorter than four characters is an error. The name is only compared
// with the known tables (any case); it never names a file.
std::optional<FormatError> splitSections(const ExchangeText& text, QList<ExchangeSection>* sections);

// Splits a row on ";". A field wrapped in double quotes may hold ";" and "" for one quote.
QStringList splitFields(const QString& line);

// The same without copying: each field is a view into `line`, or into `unescaped` for a quoted
// field holding "" (which must then outlive the views).
void splitFieldViews(QStringView line, QList<QStringView>* fields, QStringList* unescaped);

// True for a line that holds no value: blank, or nothing but empty fields.
bool isBlankRow(const QString& line);

// Converts one cell by its column type. An empty cell gives a null QVariant. Integer is 32-bit
// signed, Short 16-bit, Byte 0-255 (qlonglong values); Single accepts "." or "," (double); Bit
// accepts 0, 1, -1, True, False, Yes, No (bool); Date gives a QDate in the date tables, a
// QDateTime (no zone) in the date-time tables and a QTime in IntervaloInhabil; Char and Memo
// keep the text whole. False when the text is not a value of that type.
bool readCell(const ExchangeTable& table, const ExchangeColumn& column, const QString& text, QVariant* value);

// Typed cells of one row: cells beyond the schema are ignored, missing ones are null.
std::optional<FormatError> readRow(const ExchangeTable& table, const QString& line, qsizetype lineNumber,
                                   QVector<QVariant>* cells);

struct TypedRow {
    qsizetype line = 0; // from 1
    QVector<QVariant> cells;
};

// Every row of a section (column-name line and blank rows skipped), typed by `table`.
std::optional<FormatError> readSection(const ExchangeText& text, const ExchangeSection& section,
                                       const ExchangeTable& table, QList<TypedRow>* rows);

// Whole numbers with an optional sign; false outside [lo, hi].
bool parseInteger(QStringView text, qlonglong lo, qlonglong hi, qlonglong* value);
// A Single with "." or "," as the decimal separator.
bool parseSingle(QStringView text, double* value);
// 0, 1, -1, True, False, Yes, No in any case.
bool parseBit(QStringView text, bool* value);

// Strict parsers shared with the import: "yyyy-mm-dd"; "h:mm", "hh:mm" or "hh:mm:ss".
std::optional<QDate> parseIsoDate(QStringView text);
std::optional<QTime> parseClockTime(QStringView text);

} // namespace nbx
