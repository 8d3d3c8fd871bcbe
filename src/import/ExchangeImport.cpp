#include "import/ExchangeImport.h"

#include "common/Database.h"
#include "common/SqliteStatement.h"
#include "programming/SheetText.h"

#include <QDate>
#include <QDateTime>
#include <QElapsedTimer>
#include <QStringEncoder>
#include <QSqlError>
#include <QSqlQuery>
#include <QTime>


namespace nbx {

namespace {

constexpr qint64 kProgressMs = 50;

enum Table { DiaBorrado, DiaFinalBateria, DiaReprogramado, IntervaloInhabil, Intervalos, Programacion, Sesiones };

bool isDayTable(int t) { return t <= DiaReprogramado; }

// The "hh:mm" column that goes with a date-time column of Intervalos and Sesiones.
QString timeColumnOf(const QString& dateColumn)
{
    if (dateColumn == u"DFechaInicio")
        return QStringLiteral("THoraInicio");
    if (dateColumn == u"DFechaFinal")
        return QStringLiteral("THoraFinal");
    return {};
}

// The key columns (main-database names) of each table.
QStringList keyColumns(int t)
{
    switch (t) {
    case IntervaloInhabil: return {QStringLiteral("LNumeroSerie"), QStringLiteral("ByIntervalo")};
    case Intervalos:
        return {QStringLiteral("LNumeroSerie"), QStringLiteral("DFechaInicio"), QStringLiteral("THoraInicio")};
    case Programacion: return {QStringLiteral("LNumeroSerie")};
    case Sesiones:
        return {QStringLiteral("LNumeroSerie"), QStringLiteral("DFechaInicio"), QStringLiteral("THoraInicio"),
                QStringLiteral("DFechaFinal"), QStringLiteral("THoraFinal")};
    default: return {QStringLiteral("LNumeroSerie"), QStringLiteral("DFecha"), QStringLiteral("THora")};
    }
}

// Exchange columns whose cell may not be empty.
bool isRequired(int t, const QString& column)
{
    if (column == u"LNumeroSerie")
        return true;
    if (isDayTable(t))
        return column == u"DFecha" || column == u"THora";
    if (t == IntervaloInhabil)
        return column == u"ByIntervalo";
    if (t == Intervalos)
        return column == u"DFechaInicio";
    if (t == Sesiones)
        return column == u"DFechaInicio" || column == u"DFechaFinal";
    return false;
}

bool digits(QStringView s)
{
    for (QChar c : s)
        if (!c.isDigit())
            return false;
    return !s.isEmpty();
}

QString sqlJoin(const QStringList& columns, const QString& pattern, const QString& separator)
{
    QStringList parts;
    for (const QString& c : columns)
        parts << QString(pattern).replace(QLatin1String("%c"), quoteIdentifier(c));
    return parts.join(separator);
}

QString placeholders(qsizetype n)
{
    QStringList q;
    for (qsizetype i = 0; i < n; ++i)
        q << QStringLiteral("?");
    return q.join(QStringLiteral(", "));
}

// Runs a prepared statement once and makes it ready for the next binding; true with a row in
// `rowid` (its first column) when it returned one.
bool runOnce(SqliteStatement& s, bool* gotRow = nullptr, qint64* rowid = nullptr)
{
    const int rc = sqlite3_step(s.get());
    if (gotRow)
        *gotRow = rc == SQLITE_ROW;
    if (rc == SQLITE_ROW && rowid)
        *rowid = sqlite3_column_int64(s.get(), 0);
    sqlite3_reset(s.get());
    sqlite3_clear_bindings(s.get());
    return rc == SQLITE_DONE || rc == SQLITE_ROW;
}

// Prepared statements that write one table's rows by its key rules.
class TableWriter {
public:
    TableWriter(sqlite3* db, int table)
        : db_(db), table_(table), columns_(importColumns(table)), keys_(keyColumns(table))
    {
        for (const QString& k : keys_)
            keyIndex_ << columns_.indexOf(k);
        for (qsizetype i = 0; i < columns_.size(); ++i)
            if (!keys_.contains(columns_[i]))
                otherIndex_ << i;
        const QString name = quoteIdentifier(exchangeTables()[table].tableName());
        const QString cols = sqlJoin(columns_, QStringLiteral("%c"), QStringLiteral(", "));
        QStringList others;
        for (qsizetype i : otherIndex_)
            others << columns_[i];
        const auto prepared = [db](SqliteStatement& s, const QString& sql) { return s.prepare(db, sql) == SQLITE_OK; };
        if (isDayTable(table)) {
            // No unique key: a row is added only when no equal row is there.
            ok_ = prepared(insert_, QStringLiteral("INSERT INTO %1 (%2) SELECT %3 WHERE NOT EXISTS (SELECT 1 FROM %1 WHERE %4)")
                                        .arg(name, cols, placeholders(columns_.size()),
                                             sqlJoin(keys_, QStringLiteral("%c = ?"), QStringLiteral(" AND "))));
        } else if (table == Sesiones) {
            ok_ = prepared(find_, QStringLiteral("SELECT rowid FROM %1 WHERE %2 LIMIT 1")
                                      .arg(name, sqlJoin(keys_, QStringLiteral("%c = ?"), QStringLiteral(" AND "))))
                && prepared(update_, QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?")
                                         .arg(name, sqlJoin(others, QStringLiteral("%c = ?"), QStringLiteral(", "))))
                && prepared(insert_, QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                         .arg(name, cols, placeholders(columns_.size())));
        } else {
            // The key is the table's primary key: a present row takes the file's other values.
            ok_ = prepared(insert_, QStringLiteral("INSERT INTO %1 (%2) VALUES (%3) ON CONFLICT (%4) DO UPDATE SET %5")
                                        .arg(name, cols, placeholders(columns_.size()),
                                             sqlJoin(keys_, QStringLiteral("%c"), QStringLiteral(", ")),
                                             sqlJoin(others, QStringLiteral("%c = excluded.%c"), QStringLiteral(", "))));
        }
    }

    bool ok() const { return ok_; }
    QString error() const { return QString::fromUtf8(sqlite3_errmsg(db_)); }
    int code() const { return sqlite3_extended_errcode(db_); }

    bool write(const StorageRow& values)
    {
        if (table_ == Sesiones) {
            int n = 0;
            for (qsizetype k : keyIndex_)
                values.bind(find_.get(), ++n, k);
            bool found = false;
            qint64 rowid = 0;
            if (!runOnce(find_, &found, &rowid))
                return false;
            if (found) {
                n = 0;
                for (qsizetype i : otherIndex_)
                    values.bind(update_.get(), ++n, i);
                sqlite3_bind_int64(update_.get(), ++n, rowid);
                return runOnce(update_);
            }
        }
        int n = 0;
        for (qsizetype i = 0; i < values.size(); ++i)
            values.bind(insert_.get(), ++n, i);
        if (isDayTable(table_))
            for (qsizetype k : keyIndex_)
                values.bind(insert_.get(), ++n, k);
        return runOnce(insert_);
    }

private:
    sqlite3* db_;
    int table_;
    QStringList columns_;
    QStringList keys_;
    QList<qsizetype> keyIndex_;
    QList<qsizetype> otherIndex_;
    SqliteStatement insert_, find_, update_;
    bool ok_ = false;
};

QString twoDigits(int a, QChar sep, int b)
{
    const QChar c[5] = {QChar('0' + a / 10), QChar('0' + a % 10), sep, QChar('0' + b / 10), QChar('0' + b % 10)};
    return QString(c, 5);
}

QString hhmm(const QTime& t) { return twoDigits(t.hour(), QLatin1Char(':'), t.minute()); }

QString dayMonthYear(const QDate& d)
{
    return twoDigits(d.day(), QLatin1Char('/'), d.month()) + QLatin1Char('/')
        + QString::number(d.year()).rightJustified(4, QLatin1Char('0'));
}

} // namespace

void StorageRow::clear()
{
    cells_.clear();
    text_.clear();
}

void StorageRow::appendNull() { cells_.append(Cell()); }

void StorageRow::appendInteger(qlonglong v)
{
    Cell c;
    c.kind = Kind::Integer;
    c.integer = v;
    cells_.append(c);
}

void StorageRow::appendReal(double v)
{
    Cell c;
    c.kind = Kind::Real;
    c.real = v;
    cells_.append(c);
}

void StorageRow::appendText(QStringView text)
{
    Cell c;
    c.kind = Kind::Text;
    c.integer = text_.size();
    // UTF-8 into a buffer that keeps its size from row to row; a lone surrogate becomes U+FFFD.
    // The bytes are counted first (a surrogate pair as six, then four are written), so a large
    // cell takes about its own size.
    qsizetype bytes = 0;
    for (QChar q : text)
        bytes += q.unicode() < 0x80 ? 1 : q.unicode() < 0x800 ? 2 : 3;
    text_.resize(c.integer + bytes);
    thread_local QStringEncoder utf8(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
    char* d = utf8.appendToBuffer(text_.data() + c.integer, text);
    c.length = int(d - (text_.data() + c.integer));
    text_.resize(c.integer + c.length);
    cells_.append(c);
}

QVariant StorageRow::value(qsizetype i) const
{
    const Cell& c = cells_.at(i);
    switch (c.kind) {
    case Kind::Null: return QVariant();
    case Kind::Integer: return QVariant(qlonglong(c.integer));
    case Kind::Real: return QVariant(c.real);
    case Kind::Text: return QString::fromUtf8(text_.constData() + c.integer, c.length);
    }
    return QVariant();
}

QVector<QVariant> StorageRow::values() const
{
    QVector<QVariant> out;
    for (qsizetype i = 0; i < size(); ++i)
        out << value(i);
    return out;
}

void StorageRow::bind(sqlite3_stmt* stmt, int index, qsizetype i) const
{
    const Cell& c = cells_.at(i);
    switch (c.kind) {
    case Kind::Null: sqlite3_bind_null(stmt, index); return;
    case Kind::Integer: sqlite3_bind_int64(stmt, index, c.integer); return;
    case Kind::Real: sqlite3_bind_double(stmt, index, c.real); return;
    case Kind::Text: sqlite3_bind_text(stmt, index, text_.constData() + c.integer, c.length, SQLITE_STATIC); return;
    }
}

QStringList importColumns(int table)
{
    const ExchangeTable& t = exchangeTables()[table];
    QStringList out;
    for (const ExchangeColumn& c : t.columns) {
        const QString name = QString::fromLatin1(c.name);
        out << name;
        if (t.dateTimeColumns() && c.type == ExchangeType::Date)
            out << timeColumnOf(name);
    }
    return out;
}

QString normaliseLeqDate(const QString& text)
{
    if (text.isEmpty())
        return text;
    if (const auto d = parseIsoDate(text))
        return dayMonthYear(*d);
    // "dd/mm/yyyy" or "dd/mm/yy", day first whatever the locale.
    const QStringView s(text);
    if ((s.size() == 10 || s.size() == 8) && s[2] == QLatin1Char('/') && s[5] == QLatin1Char('/')
        && digits(s.mid(0, 2)) && digits(s.mid(3, 2)) && digits(s.mid(6))) {
        int year = s.mid(6).toInt();
        if (s.size() == 8)
            year = expandTwoDigitYear(year);
        const QDate d(year, s.mid(3, 2).toInt(), s.mid(0, 2).toInt());
        if (d.isValid())
            return dayMonthYear(d);
    }
    return text;
}

QString normaliseLeqTime(const QString& text)
{
    if (const auto t = parseClockTime(text))
        return hhmm(*t);
    return text;
}

QString inhibitedDay(const QString& text)
{
    if (text.isEmpty())
        return QStringLiteral("00/00/00");
    if (text.size() == 10 && text[4] == QLatin1Char('-') && text[7] == QLatin1Char('-'))
        return text.mid(8, 2) + QLatin1Char('/') + text.mid(5, 2) + QLatin1Char('/') + text.mid(2, 2);
    return text;
}

namespace {

// How each exchange column becomes main-database values, worked out once per table.
struct Step {
    enum Kind { Integer, Single, Bit, Text, Date, DateTime, InhibitedHour, InhibitedDay, LeqDate, LeqTime };
    Kind kind = Text;
    qlonglong lo = 0, hi = 0; // Integer ranges (the import's own checks included)
    bool required = false;
};

QVector<Step> makePlan(int table)
{
    const ExchangeTable& t = exchangeTables()[table];
    QVector<Step> plan;
    for (const ExchangeColumn& c : t.columns) {
        const QString name = QString::fromLatin1(c.name);
        Step s;
        s.required = isRequired(table, name);
        switch (c.type) {
        case ExchangeType::Integer: s.kind = Step::Integer; s.lo = -2147483648LL; s.hi = 2147483647LL; break;
        case ExchangeType::Short: s.kind = Step::Integer; s.lo = -32768; s.hi = 32767; break;
        case ExchangeType::Byte: s.kind = Step::Integer; s.lo = 0; s.hi = 255; break;
        case ExchangeType::Single: s.kind = Step::Single; break;
        case ExchangeType::Bit: s.kind = Step::Bit; break;
        case ExchangeType::Date:
            s.kind = table == IntervaloInhabil ? Step::InhibitedHour : t.dateTimeColumns() ? Step::DateTime : Step::Date;
            break;
        case ExchangeType::Char:
        case ExchangeType::Memo:
            if (table == IntervaloInhabil && name.startsWith(QLatin1String("TDia")))
                s.kind = Step::InhibitedDay;
            else if (name.startsWith(QLatin1String("TFecha")) && name.endsWith(QLatin1String("Leq1min")))
                s.kind = Step::LeqDate;
            else if (name.startsWith(QLatin1String("THora")) && name.endsWith(QLatin1String("Leq1min")))
                s.kind = Step::LeqTime;
            break;
        }
        if (name == u"LNumeroSerie") {
            s.lo = 1;
            s.hi = 999999;
        }
        if (table == IntervaloInhabil && name == u"ByIntervalo") {
            s.lo = 1;
            s.hi = 30;
        }
        plan << s;
    }
    return plan;
}

const QVector<Step>& planOf(int table)
{
    static const QVector<Step> plans[kExchangeTableCount] = {makePlan(0), makePlan(1), makePlan(2), makePlan(3),
                                                             makePlan(4), makePlan(5), makePlan(6)};
    return plans[table];
}


// "dd/mm/yyyy" that is a date: then the device text is already in its stored form.
bool isDayMonthYear(QStringView s)
{
    if (s.size() != 10 || s[2] != QLatin1Char('/') || s[5] != QLatin1Char('/'))
        return false;
    int n[8];
    for (int i = 0, k = 0; i < 10; ++i) {
        if (i == 2 || i == 5)
            continue;
        const char16_t c = s[i].unicode();
        if (c < u'0' || c > u'9')
            return false;
        n[k++] = c - u'0';
    }
    return QDate(n[4] * 1000 + n[5] * 100 + n[6] * 10 + n[7], n[2] * 10 + n[3], n[0] * 10 + n[1]).isValid();
}

void appendHhmm(StorageRow* out, const QTime& t)
{
    const int h = t.hour(), m = t.minute();
    const char16_t c[5] = {char16_t('0' + h / 10), char16_t('0' + h % 10), u':', char16_t('0' + m / 10), char16_t('0' + m % 10)};
    out->appendText(QStringView(c, 5));
}

// A date-time cell ("yyyy-mm-dd" with an optional time of day) split into its date and time.
bool splitDateTime(QStringView s, QStringView* date, QTime* time)
{
    s = trimBlanks(s);
    const qsizetype blank = s.indexOf(QLatin1Char(' '));
    *date = blank < 0 ? s : s.left(blank);
    if (!parseIsoDate(*date))
        return false;
    *time = QTime(0, 0);
    if (blank >= 0) {
        const auto parsed = parseClockTime(trimBlanks(s.mid(blank + 1)));
        if (!parsed)
            return false;
        *time = *parsed;
    }
    return true;
}

// Appends the main-database value(s) of one cell; false when the cell is not a value of its column.
// With `out` null the cell is only checked.
bool convertCell(const Step& step, QStringView cell, StorageRow* out)
{
    const bool isText = step.kind == Step::Text || step.kind == Step::LeqDate || step.kind == Step::LeqTime
        || step.kind == Step::InhibitedDay;
    if (cell.isEmpty() || (!isText && trimBlanks(cell).isEmpty())) {
        if (step.required)
            return false;
        if (!out)
            return true;
        switch (step.kind) {
        case Step::DateTime: out->appendNull(); out->appendNull(); break;
        case Step::InhibitedHour: out->appendText(u"00:00"); break;
        case Step::InhibitedDay: out->appendText(u"00/00/00"); break;
        default: out->appendNull();
        }
        return true;
    }
    switch (step.kind) {
    case Step::Integer: {
        qlonglong v = 0;
        if (!parseInteger(cell, step.lo, step.hi, &v))
            return false;
        if (out)
            out->appendInteger(v);
        return true;
    }
    case Step::Single: {
        double v = 0;
        if (!parseSingle(cell, &v))
            return false;
        if (out)
            out->appendReal(v);
        return true;
    }
    case Step::Bit: {
        bool v = false;
        if (!parseBit(cell, &v))
            return false;
        if (out)
            out->appendInteger(v ? -1 : 0);
        return true;
    }
    case Step::Date:
    case Step::DateTime: {
        QStringView date;
        QTime time;
        if (!splitDateTime(cell, &date, &time))
            return false;
        if (out) {
            out->appendText(date);
            if (step.kind == Step::DateTime)
                appendHhmm(out, time);
        }
        return true;
    }
    case Step::InhibitedHour: {
        const QStringView s = trimBlanks(cell);
        auto t = parseClockTime(s);
        if (!t) {
            QStringView date;
            QTime time;
            if (!splitDateTime(s, &date, &time))
                return false;
            t = time;
        }
        if (out)
            appendHhmm(out, *t);
        return true;
    }
    default:
        break;
    }
    if (!out)
        return true;
    switch (step.kind) {
    case Step::InhibitedDay: out->appendText(inhibitedDay(cell.toString())); break;
    case Step::LeqDate:
        if (isDayMonthYear(cell))
            out->appendText(cell);
        else
            out->appendText(normaliseLeqDate(cell.toString()));
        break;
    case Step::LeqTime:
        if (const auto t = parseClockTime(cell))
            appendHhmm(out, *t);
        else
            out->appendText(cell);
        break;
    default: out->appendText(cell);
    }
    return true;
}

} // namespace

std::optional<FormatError> convertLine(int table, QStringView line, qsizetype lineNumber, StorageRow* values)
{
    thread_local FieldViews fields;
    thread_local QStringList unescaped;
    unescaped.clear();
    splitFieldViews(line, &fields, &unescaped);
    const QVector<Step>& plan = planOf(table);
    if (values)
        values->clear();
    for (qsizetype c = 0; c < plan.size(); ++c) {
        const QStringView cell = c < fields.size() ? fields[c] : QStringView();
        if (!convertCell(plan[c], cell, values)) {
            const ExchangeTable& t = exchangeTables()[table];
            FormatError e;
            e.kind = FormatError::Kind::BadCell;
            e.line = lineNumber;
            e.table = t.tableName();
            e.column = int(c + 1);
            e.columnName = QString::fromLatin1(t.columns[c].name);
            e.value = cellExcerpt(cell);
            return e;
        }
    }
    return std::nullopt;
}

namespace {

FormatError rowError(FormatError::Kind kind, int table, qsizetype line)
{
    FormatError e;
    e.kind = kind;
    e.line = line;
    e.table = exchangeTables()[table].tableName();
    return e;
}

// The cell of a line (column line or row) that holds a NUL byte.
FormatError damagedCell(const QString& line, int table, qsizetype lineNumber)
{
    FieldViews fields;
    QStringList unescaped;
    splitFieldViews(line, &fields, &unescaped);
    FormatError e = rowError(FormatError::Kind::Damaged, table, lineNumber);
    for (qsizetype c = 0; c < fields.size(); ++c) {
        if (fields[c].contains(QChar(0))) {
            e.column = int(c + 1);
            break;
        }
    }
    const auto columns = exchangeTables()[table].columns;
    if (e.column >= 1 && e.column <= qsizetype(columns.size()))
        e.columnName = QString::fromLatin1(columns[e.column - 1].name);
    return e;
}

qsizetype fieldCount(QStringView line, bool* closed = nullptr)
{
    FieldViews fields;
    QStringList unescaped;
    const bool c = splitFieldViews(line, &fields, &unescaped);
    if (closed)
        *closed = c;
    return fields.size();
}

// The file's last line, a row of `section`: a row cut by the end of the file ends inside a quoted
// cell, or has no line end and fewer cells than the column line. A short row followed by a line
// end is whole: the format lets a row leave out its last cells.
bool isCutRow(const ExchangeText& text, const ExchangeSection& section, const QString& line)
{
    bool closed = true;
    const qsizetype cells = fieldCount(line, &closed);
    if (!closed)
        return true;
    return !text.lastLineEnded() && !isBlankRow(line) && cells < fieldCount(text.line(section.firstLine));
}

} // namespace

qsizetype countRows(const ExchangeText& text, const QList<ExchangeSection>& sections, int table)
{
    qsizetype n = 0;
    for (const ExchangeSection& s : sections)
        if (s.table == table)
            for (qsizetype i = s.firstLine + 1; i < s.endLine; ++i)
                n += !text.isBlank(i);
    return n;
}

std::optional<FormatError> readTableRows(const ExchangeText& text, const QList<ExchangeSection>& sections, int table,
                                         const std::function<bool(const StorageRow&)>& use)
{
    QString line;
    StorageRow values;
    const qsizetype last = text.lineCount() - 1;
    for (const ExchangeSection& s : sections) {
        if (s.table != table)
            continue;
        for (qsizetype i = s.firstLine; i < s.endLine; ++i) {
            if (text.lineHasNul(i))
                return damagedCell(text.line(i), table, i + 1);
            if (i == s.firstLine)
                continue; // the column line
            if (i == last) {
                text.line(i, &line);
                if (isCutRow(text, s, line))
                    return rowError(FormatError::Kind::CutRow, table, i + 1);
            }
            if (text.isBlank(i))
                continue;
            if (i != last)
                text.line(i, &line);
            if (auto e = convertLine(table, line, i + 1, &values))
                return e;
            if (!use(values))
                return std::nullopt;
        }
    }
    return std::nullopt;
}

ExchangeImportResult importExchange(QSqlDatabase db, const QByteArray& bytes, const QString& caption,
                                    const ExchangeImportHooks& hooks)
{
    using Status = ExchangeImportResult::Status;
    ExchangeImportResult result;
    const QString lead = caption + QStringLiteral("   ");
    auto cancelled = [&] { return hooks.cancelled && hooks.cancelled(); };
    QElapsedTimer elapsed;
    elapsed.start();
    const std::function<qint64()> nowMs = hooks.clockMs ? hooks.clockMs : [&] { return elapsed.elapsed(); };
    qint64 shown = 0;
    bool anyShown = false;
    // At most one progress text every kProgressMs: building and showing one costs more than a row.
    auto progress = [&](qsizetype n, qsizetype total) {
        if (!hooks.progress)
            return;
        const qint64 now = nowMs();
        if (anyShown && now - shown < kProgressMs)
            return;
        anyShown = true;
        shown = now;
        hooks.progress(lead + QString::number(n) + QStringLiteral(" / ") + QString::number(total));
    };

    const ExchangeText text(bytes);
    QList<ExchangeSection> sections;
    if (auto e = splitSections(text, &sections)) {
        result.status = Status::Rejected;
        result.formatError = e;
        return result;
    }
    qsizetype totals[kExchangeTableCount] = {};
    qsizetype allRows = 0;
    for (int table = 0; table < kExchangeTableCount; ++table)
        allRows += totals[table] = countRows(text, sections, table);
    if (allRows == 0)
        return result;

    // Rows are converted and written in one pass inside one transaction: a bad cell, a cut row,
    // a refused write or a cancel rolls everything back.
    sqlite3* handle = sqliteHandle(db);
    if (!handle || !beginWrite(db, &result.databaseError, &result.databaseCode)) {
        result.status = Status::DatabaseError;
        return result;
    }
    auto end = [&](Status status) {
        rollbackWrite(db);
        result.status = status;
        return result;
    };
    for (int table = 0; table < kExchangeTableCount; ++table) {
        if (totals[table] == 0)
            continue;
        TableWriter writer(handle, table);
        if (!writer.ok()) {
            result.databaseError = writer.error();
            result.databaseCode = writer.code();
            return end(Status::DatabaseError);
        }
        qsizetype n = 0;
        bool stop = false, failed = false;
        const auto e = readTableRows(text, sections, table, [&](const StorageRow& values) {
            if (!writer.write(values)) {
                failed = true;
                return false;
            }
            progress(++n, totals[table]);
            stop = cancelled();
            return !stop;
        });
        if (failed) {
            result.databaseError = writer.error();
            result.databaseCode = writer.code();
            return end(Status::DatabaseError);
        }
        if (e) {
            result.formatError = e;
            return end(Status::Rejected);
        }
        if (stop)
            return end(Status::Cancelled);
        result.rowsRead += int(n);
    }
    if (!commitWrite(db, &result.databaseError, &result.databaseCode))
        return end(Status::DatabaseError);
    return result;
}

} // namespace nbx

#include "localisation/LangDesk.h"
#include "localisation/Strings.h"

namespace nbx {

QString formatErrorText(const FormatError& e)
{
    LangDesk& lang = langDesk();
    QString detail;
    switch (e.kind) {
    case FormatError::Kind::NoMarker:
        detail = lang.GetTranslation(QStringLiteral("Línea %1: el fichero debe empezar con una línea de marca de tabla (//Tabla//)."))
                     .arg(e.line);
        break;
    case FormatError::Kind::ShortMarker:
        detail = lang.GetTranslation(QStringLiteral("Línea %1: línea de marca de tabla demasiado corta.")).arg(e.line);
        break;
    case FormatError::Kind::BadCell:
        detail = lang.GetTranslation(QStringLiteral("Tabla %1, línea %2, columna %3 (%4): valor no válido «%5»."))
                     .arg(e.table, QString::number(e.line), QString::number(e.column), e.columnName, e.value);
        break;
    case FormatError::Kind::NoTable: return GetS(157);
    case FormatError::Kind::CutRow:
        detail = lang.GetTranslation(QStringLiteral("Tabla %1, línea %2: el fichero termina en medio de una fila."))
                     .arg(e.table, QString::number(e.line));
        break;
    case FormatError::Kind::Damaged:
        if (e.table.isEmpty())
            detail = lang.GetTranslation(QStringLiteral("Línea %1: el fichero está dañado (un byte nulo en una línea de marca de tabla)."))
                         .arg(e.line);
        else
            detail = lang.GetTranslation(QStringLiteral("Tabla %1, línea %2, columna %3: el fichero está dañado (un byte nulo)."))
                         .arg(e.table, QString::number(e.line), QString::number(e.column));
        break;
    }
    return GetS(157) + QLatin1Char('\r') + detail;
}

} // namespace nbx
