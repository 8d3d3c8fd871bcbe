#include "import/ExchangeImport.h"

#include "common/Database.h"

#include <QDate>
#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>
#include <QTime>

namespace nbx {

namespace {

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

QString valueText(const QVariant& v)
{
    if (v.typeId() == QMetaType::QDate)
        return v.toDate().toString(QStringLiteral("yyyy-MM-dd"));
    if (v.typeId() == QMetaType::QDateTime)
        return v.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (v.typeId() == QMetaType::QTime)
        return v.toTime().toString(QStringLiteral("HH:mm:ss"));
    return v.toString();
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

// Prepared statements that write one table's rows by its key rules.
class TableWriter {
public:
    TableWriter(QSqlDatabase db, int table)
        : table_(table), columns_(importColumns(table)), keys_(keyColumns(table)),
          insert_(db), find_(db), update_(db)
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
        if (isDayTable(table)) {
            // No unique key: a row is added only when no equal row is there.
            ok_ = insert_.prepare(QStringLiteral("INSERT INTO %1 (%2) SELECT %3 WHERE NOT EXISTS (SELECT 1 FROM %1 WHERE %4)")
                                      .arg(name, cols, placeholders(columns_.size()),
                                           sqlJoin(keys_, QStringLiteral("%c = ?"), QStringLiteral(" AND "))));
        } else if (table == Sesiones) {
            ok_ = find_.prepare(QStringLiteral("SELECT rowid FROM %1 WHERE %2 LIMIT 1")
                                    .arg(name, sqlJoin(keys_, QStringLiteral("%c = ?"), QStringLiteral(" AND "))))
                && update_.prepare(QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?")
                                       .arg(name, sqlJoin(others, QStringLiteral("%c = ?"), QStringLiteral(", "))))
                && insert_.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                       .arg(name, cols, placeholders(columns_.size())));
        } else {
            // The key is the table's primary key: a present row takes the file's other values.
            ok_ = insert_.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3) ON CONFLICT (%4) DO UPDATE SET %5")
                                      .arg(name, cols, placeholders(columns_.size()),
                                           sqlJoin(keys_, QStringLiteral("%c"), QStringLiteral(", ")),
                                           sqlJoin(others, QStringLiteral("%c = excluded.%c"), QStringLiteral(", "))));
        }
        if (!ok_)
            error_ = insert_.lastError().text() + find_.lastError().text() + update_.lastError().text();
    }

    bool ok() const { return ok_; }
    QString error() const { return error_; }

    bool write(const QVector<QVariant>& values)
    {
        if (table_ == Sesiones) {
            for (qsizetype k : keyIndex_)
                find_.addBindValue(values[k]);
            if (!find_.exec())
                return fail(find_);
            if (find_.next()) {
                const QVariant rowid = find_.value(0);
                find_.finish();
                for (qsizetype i : otherIndex_)
                    update_.addBindValue(values[i]);
                update_.addBindValue(rowid);
                return update_.exec() || fail(update_);
            }
            find_.finish();
        }
        for (const QVariant& v : values)
            insert_.addBindValue(v);
        if (isDayTable(table_))
            for (qsizetype k : keyIndex_)
                insert_.addBindValue(values[k]);
        return insert_.exec() || fail(insert_);
    }

private:
    bool fail(const QSqlQuery& q)
    {
        error_ = q.lastError().text();
        return false;
    }

    int table_;
    QStringList columns_;
    QStringList keys_;
    QList<qsizetype> keyIndex_;
    QList<qsizetype> otherIndex_;
    QSqlQuery insert_, find_, update_;
    bool ok_ = false;
    QString error_;
};

} // namespace

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
        return d->toString(QStringLiteral("dd/MM/yyyy"));
    const QStringList parts = text.split(QLatin1Char('/'));
    if (parts.size() == 3 && parts[0].size() == 2 && parts[1].size() == 2
        && (parts[2].size() == 4 || parts[2].size() == 2) && digits(parts[0]) && digits(parts[1]) && digits(parts[2])) {
        int year = parts[2].toInt();
        if (parts[2].size() == 2)
            year += year < 50 ? 2000 : 1900;
        const QDate d(year, parts[1].toInt(), parts[0].toInt());
        if (d.isValid())
            return d.toString(QStringLiteral("dd/MM/yyyy"));
    }
    return text;
}

QString normaliseLeqTime(const QString& text)
{
    if (const auto t = parseClockTime(text))
        return t->toString(QStringLiteral("HH:mm"));
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

std::optional<FormatError> toDatabaseRow(int table, const TypedRow& row, QVector<QVariant>* values)
{
    const ExchangeTable& t = exchangeTables()[table];
    values->clear();
    values->reserve(t.columns.size() + 2);
    for (qsizetype c = 0; c < qsizetype(t.columns.size()); ++c) {
        const ExchangeColumn& column = t.columns[c];
        const QString name = QString::fromLatin1(column.name);
        const QVariant& v = row.cells.value(c);
        bool bad = v.isNull() && isRequired(table, name);
        if (name == u"LNumeroSerie" && !v.isNull())
            bad = v.toLongLong() < 1 || v.toLongLong() > 999999;
        if (table == IntervaloInhabil && name == u"ByIntervalo" && !v.isNull())
            bad = v.toLongLong() < 1 || v.toLongLong() > 30;
        if (bad) {
            FormatError e;
            e.kind = FormatError::Kind::BadCell;
            e.line = row.line;
            e.table = t.tableName();
            e.column = int(c + 1);
            e.columnName = name;
            e.value = valueText(v);
            return e;
        }
        switch (column.type) {
        case ExchangeType::Bit:
            values->append(v.isNull() ? QVariant() : QVariant(v.toBool() ? -1 : 0));
            break;
        case ExchangeType::Date:
            if (table == IntervaloInhabil) {
                values->append(v.isNull() ? QStringLiteral("00:00") : v.toTime().toString(QStringLiteral("HH:mm")));
            } else if (t.dateTimeColumns()) {
                const QDateTime dt = v.toDateTime();
                values->append(v.isNull() ? QVariant() : QVariant(dt.date().toString(QStringLiteral("yyyy-MM-dd"))));
                values->append(v.isNull() ? QVariant() : QVariant(dt.time().toString(QStringLiteral("HH:mm"))));
            } else {
                values->append(v.isNull() ? QVariant() : QVariant(v.toDate().toString(QStringLiteral("yyyy-MM-dd"))));
            }
            break;
        case ExchangeType::Char:
            if (table == IntervaloInhabil && name.startsWith(QLatin1String("TDia")))
                values->append(inhibitedDay(v.toString()));
            else if (v.isNull())
                values->append(QVariant());
            else if (name.startsWith(QLatin1String("TFecha")) && name.endsWith(QLatin1String("Leq1min")))
                values->append(normaliseLeqDate(v.toString()));
            else if (name.startsWith(QLatin1String("THora")) && name.endsWith(QLatin1String("Leq1min")))
                values->append(normaliseLeqTime(v.toString()));
            else
                values->append(v);
            break;
        default:
            values->append(v);
        }
    }
    return std::nullopt;
}

ExchangeImportResult importExchange(QSqlDatabase db, const QByteArray& bytes, const QString& caption,
                                    const ExchangeImportHooks& hooks)
{
    using Status = ExchangeImportResult::Status;
    ExchangeImportResult result;
    auto progress = [&](const QString& text) {
        if (hooks.progress)
            hooks.progress(text);
    };
    auto cancelled = [&] { return hooks.cancelled && hooks.cancelled(); };
    const QString lead = caption + QStringLiteral("   ");

    const ExchangeText text(bytes);
    QList<ExchangeSection> sections;
    if (auto e = splitSections(text, &sections)) {
        result.status = Status::Rejected;
        result.formatError = e;
        return result;
    }

    // Every row is read, converted and checked before anything is written; the rows are read again
    // while writing, so that a large file is held in memory only once.
    auto eachRow = [&](int table, const std::function<bool(const TypedRow&)>& use) -> std::optional<FormatError> {
        const ExchangeTable& schema = exchangeTables()[table];
        for (const ExchangeSection& s : std::as_const(sections)) {
            if (s.table != table)
                continue;
            for (qsizetype i = s.firstLine + 1; i < s.endLine; ++i) {
                const QString line = text.line(i);
                if (isBlankRow(line))
                    continue;
                TypedRow row;
                row.line = i + 1;
                if (auto e = readRow(schema, line, row.line, &row.cells))
                    return e;
                if (!use(row))
                    return std::nullopt;
            }
        }
        return std::nullopt;
    };

    int totals[kExchangeTableCount] = {};
    QVector<QVariant> values;
    for (int table = 0; table < kExchangeTableCount; ++table) {
        std::optional<FormatError> bad;
        bool stop = false;
        auto e = eachRow(table, [&](const TypedRow& row) {
            if ((bad = toDatabaseRow(table, row, &values)))
                return false;
            progress(lead + QString::number(++totals[table]));
            if (cancelled()) {
                stop = true;
                return false;
            }
            return true;
        });
        if (stop) {
            result.status = Status::Cancelled;
            return result;
        }
        if (e || bad) {
            result.status = Status::Rejected;
            result.formatError = e ? e : bad;
            return result;
        }
        result.rowsRead += totals[table];
    }
    if (result.rowsRead == 0)
        return result;

    auto dbFailed = [&](const QString& error) {
        db.rollback();
        result.status = Status::DatabaseError;
        result.databaseError = error;
        return result;
    };
    if (!db.transaction()) {
        result.status = Status::DatabaseError;
        result.databaseError = db.lastError().text();
        return result;
    }
    for (int table = 0; table < kExchangeTableCount; ++table) {
        if (totals[table] == 0)
            continue;
        TableWriter writer(db, table);
        if (!writer.ok())
            return dbFailed(writer.error());
        int n = 0;
        bool stop = false, failed = false;
        eachRow(table, [&](const TypedRow& row) {
            toDatabaseRow(table, row, &values);
            if (!writer.write(values)) {
                failed = true;
                return false;
            }
            progress(lead + QStringLiteral("%1 / %2").arg(++n).arg(totals[table]));
            if (cancelled()) {
                stop = true;
                return false;
            }
            return true;
        });
        if (failed)
            return dbFailed(writer.error());
        if (stop) {
            db.rollback();
            result.status = Status::Cancelled;
            return result;
        }
    }
    if (!db.commit())
        return dbFailed(db.lastError().text());
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
    }
    return GetS(157) + QLatin1Char('\r') + detail;
}

} // namespace nbx
