// Reading a KM70 exchange file in memory: decoding, lines, sections, fields and the cell parsers;
// the import (ExchangeImport.h) turns rows into storage forms. Nothing here touches a file or the database.
#pragma once

#include "import/ExchangeSchema.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTime>
#include <QVarLengthArray>
#include <QVector>
#include <optional>

namespace nbx {

// Where and why a file was refused. Lines and columns count from 1; column 0 means the whole line.
// NoTable: the file holds no section of a known table (an empty file included). CutRow: the file
// ends in the middle of a row. Damaged: a NUL byte in a marker line (no table) or in a cell.
// `value` holds at most an excerpt of the bad cell (cellExcerpt).
struct FormatError {
    enum class Kind { NoMarker, ShortMarker, BadCell, NoTable, CutRow, Damaged };
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
    // The same decoded into `out`, whose buffer is reused from line to line.
    void line(qsizetype index, QString* out) const;
    // True when the line starts with "//".
    bool isMarker(qsizetype index) const;
    // True for a line that holds no value (isBlankRow), mostly told from its first byte.
    bool isBlank(qsizetype index) const;
    // True when the file's last line has a line end after it.
    bool lastLineEnded() const { return lastLineEnded_; }
    bool lineHasNul(qsizetype index) const;

private:
    QByteArray bytes_;
    bool utf8_ = false;
    bool lastLineEnded_ = true;
    bool hasNul_ = false;
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

// Splits a row on ";". A field wrapped in double quotes may hold ";" and "" for one quote; what
// stands between its closing quote and the next ";" stays with it. Each field is a view into
// `line`, or into `unescaped` for a quoted field holding "" (which must then outlive the views).
// False when the line ends inside a quoted field.
using FieldViews = QVarLengthArray<QStringView, 64>;
bool splitFieldViews(QStringView line, FieldViews* fields, QStringList* unescaped);

// A cell as a message quotes it: at most 60 characters, then "…"; control characters replaced.
QString cellExcerpt(QStringView cell);

// True for a line that holds no value: blank, or nothing but empty fields.
bool isBlankRow(const QString& line);

// The text without the blanks at its ends.
inline QStringView trimBlanks(QStringView s)
{
    if (!s.isEmpty() && !s.front().isSpace() && !s.back().isSpace())
        return s;
    return s.trimmed();
}

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
