#include "records/GridRows.h"

#include "common/Database.h"
#include "common/SqliteStatement.h"

#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <vector>

namespace nbx {

namespace {

bool failed(const QSqlQuery& q, QString* error)
{
    if (error)
        *error = sqlErrorText(q.lastError());
    return false;
}

// A read on the connection itself: the row orders read hundreds of thousands of rows, and through
// the SQL module each value would become a QVariant. Errors come in the database's own words.
class Statement {
public:
    Statement(const QSqlDatabase& db, const QString& sql, QString* error) : db_(sqliteHandle(db))
    {
        if (!db_) {
            if (error)
                *error = QStringLiteral("not an SQLite connection");
            return;
        }
        if (stmt_.prepare(db_, sql) != SQLITE_OK)
            fail(error);
    }

    sqlite3_stmt* get() const { return stmt_.get(); }
    explicit operator bool() const { return stmt_.get() != nullptr; }
    // The next row; false at the end or on an error (error set then).
    bool next(QString* error)
    {
        const int rc = sqlite3_step(stmt_.get());
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE)
            fail(error);
        done_ = rc == SQLITE_DONE;
        return false;
    }
    bool done() const { return done_; }

private:
    void fail(QString* error)
    {
        const QString text = QString::fromUtf8(sqlite3_errmsg(db_));
        noteSqlFailure(text, systemFaultCode(db_, sqlite3_extended_errcode(db_)));
        if (error)
            *error = text;
    }
    sqlite3* db_ = nullptr;
    SqliteStatement stmt_;
    bool done_ = false;
};

// The device's rowids in an order the table's index gives, read in SQL.
bool readIndexedOrder(QSqlDatabase db, GridKind kind, qint32 serial, int col, bool ascending, QList<qint64>& order,
                      QString* error)
{
    Statement q(db, QStringLiteral("SELECT rowid FROM %1 WHERE LNumeroSerie=?%2")
                        .arg(quoteIdentifier(gridTable(kind)), orderBy(kind, col, ascending)), error);
    if (!q)
        return false;
    sqlite3_bind_int(q.get(), 1, serial);
    while (q.next(error))
        order.append(sqlite3_column_int64(q.get(), 0));
    return q.done();
}

// The device's rowids sorted here by the key of a click on `col` (a click that no index serves
// sorts by one key), in SQLite's order of values: NULL, then numbers, then texts (bytewise), then
// blobs; equal keys keep the order read.
bool readSortedOrder(QSqlDatabase db, GridKind kind, qint32 serial, int col, bool ascending, QList<qint64>& order,
                     QString* error)
{
    const QString key = sortKeys(kind, col).value(0);
    // When the device holds a good share of the table, reading the table in its own order beats
    // visiting the device's rows through the index (one random lookup per row).
    const QString table = quoteIdentifier(gridTable(kind));
    bool scan = false;
    {
        Statement share(db, QStringLiteral("SELECT (SELECT COUNT(*) FROM %1 WHERE LNumeroSerie=?), (SELECT MAX(rowid) FROM %1)")
                                .arg(table), error);
        if (!share)
            return false;
        sqlite3_bind_int(share.get(), 1, serial);
        if (share.next(error))
            scan = sqlite3_column_int64(share.get(), 0) * 4 >= sqlite3_column_int64(share.get(), 1);
        else if (!share.done())
            return false;
    }
    // A Leq1' moment is computed here from its two texts: much cheaper than in SQL.
    const QStringList moment = sortMomentFields(kind, col);
    const QString select = moment.isEmpty() ? key : quoteIdentifier(moment[0]) + QLatin1Char(',') + quoteIdentifier(moment[1]);
    Statement q(db, QStringLiteral("SELECT rowid, %1 FROM %2 %3 WHERE LNumeroSerie=?")
                        .arg(select, table, scan ? QStringLiteral("NOT INDEXED") : QString()),
                error);
    if (!q)
        return false;
    sqlite3_bind_int(q.get(), 1, serial);
    struct Entry {
        double number = 0; // a number, or the rank of a text among the texts read
        qint64 rowid = 0;
        qint32 text = 0;   // the text's index in `texts`
        qint32 type = 0;   // 0 NULL, 1 number, 2 text, 3 blob
    };
    std::vector<Entry> entries;
    // Each distinct text once (a text column holds few of them).
    std::vector<QByteArray> texts;
    QHash<QByteArray, qint32> textIndex;
    while (q.next(error)) {
        Entry e;
        e.rowid = sqlite3_column_int64(q.get(), 0);
        if (!moment.isEmpty()) {
            if (sqlite3_column_type(q.get(), 1) != SQLITE_NULL && sqlite3_column_type(q.get(), 2) != SQLITE_NULL) {
                auto text = [&q](int i) {
                    const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(q.get(), i));
                    return QByteArrayView(t, sqlite3_column_bytes(q.get(), i));
                };
                e.type = 1;
                e.number = double(momentKeyOf(text(1), text(2)));
            }
            entries.push_back(e);
            continue;
        }
        switch (sqlite3_column_type(q.get(), 1)) {
        case SQLITE_INTEGER:
        case SQLITE_FLOAT:
            e.type = 1;
            e.number = sqlite3_column_double(q.get(), 1);
            break;
        case SQLITE_TEXT:
        case SQLITE_BLOB: {
            e.type = sqlite3_column_type(q.get(), 1) == SQLITE_TEXT ? 2 : 3;
            const auto* bytes = static_cast<const char*>(sqlite3_column_blob(q.get(), 1));
            const QByteArray text = QByteArray::fromRawData(bytes, sqlite3_column_bytes(q.get(), 1));
            const auto it = textIndex.constFind(text);
            if (it != textIndex.constEnd()) {
                e.text = *it;
            } else {
                e.text = qint32(texts.size());
                texts.emplace_back(bytes, text.size());
                textIndex.insert(texts.back(), e.text);
            }
            break;
        }
        default:
            break;
        }
        entries.push_back(e);
    }
    if (!q.done())
        return false;
    if (!texts.empty()) {
        std::vector<qint32> byText(texts.size());
        for (size_t i = 0; i < byText.size(); ++i)
            byText[i] = qint32(i);
        std::sort(byText.begin(), byText.end(), [&texts](qint32 a, qint32 b) { return texts[size_t(a)] < texts[size_t(b)]; });
        std::vector<double> rank(texts.size());
        for (size_t r = 0; r < byText.size(); ++r)
            rank[size_t(byText[r])] = double(r);
        for (Entry& e : entries)
            if (e.type >= 2)
                e.number = rank[size_t(e.text)];
    }
    std::stable_sort(entries.begin(), entries.end(), [ascending](const Entry& a, const Entry& b) {
        if (a.type != b.type)
            return ascending ? a.type < b.type : a.type > b.type;
        return ascending ? a.number < b.number : a.number > b.number;
    });
    order.reserve(qsizetype(entries.size()));
    for (const Entry& e : entries)
        order.append(e.rowid);
    return true;
}

} // namespace

std::optional<GridRows> readGridRows(QSqlDatabase db, GridKind kind, qint32 serial, int col, bool ascending,
                                     QString* error)
{
    GridRows rows;
    const bool ok = sortKeysIndexed(kind, col) ? readIndexedOrder(db, kind, serial, col, ascending, rows.order, error)
                                               : readSortedOrder(db, kind, serial, col, ascending, rows.order, error);
    if (!ok || !readGridPage(db, kind, rows.order.mid(0, kGridPageRows), int(gridColumns(kind).size()),
                         rows.firstPage, error))
        return std::nullopt;
    return rows;
}

bool readGridPage(QSqlDatabase db, GridKind kind, const QList<qint64>& ids, int columns, QList<QVariantList>& rows,
              QString* error)
{
    rows.clear();
    if (ids.isEmpty())
        return true;
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(gridSelectRowids(kind, int(ids.size()))))
        return failed(q, error);
    for (qint64 id : ids)
        q.addBindValue(id);
    if (!q.exec())
        return failed(q, error);
    QHash<qint64, QVariantList> byId;
    byId.reserve(ids.size());
    while (q.next()) {
        QVariantList values;
        values.reserve(columns);
        for (int c = 0; c < columns; ++c)
            values << q.value(c + 1);
        byId.insert(q.value(0).toLongLong(), values);
    }
    if (q.lastError().isValid())
        return failed(q, error);
    for (qint64 id : ids)
        rows << byId.value(id);
    return true;
}

} // namespace nbx
