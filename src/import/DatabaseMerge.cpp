#include "import/DatabaseMerge.h"

#include "common/Database.h"
#include "import/ExchangeReader.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <cmath>

namespace nbx {

namespace {

const char kSourceSchema[] = "nbx_merge_src";

bool isSettingsTable(const QString& name)
{
    return name.compare(QLatin1String("Configuracion"), Qt::CaseInsensitive) == 0;
}

// Names listed by a query with bound arguments.
QStringList names(QSqlDatabase db, const QString& sql, const QVariantList& args = {})
{
    QStringList out;
    QSqlQuery q(db);
    if (!q.prepare(sql))
        return out;
    for (const QVariant& a : args)
        q.addBindValue(a);
    if (!q.exec())
        return out;
    while (q.next())
        out << q.value(0).toString();
    return out;
}

QStringList mainTables(QSqlDatabase db)
{
    return names(db, QStringLiteral("SELECT name FROM main.sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\'"));
}

QStringList tableColumns(QSqlDatabase db, const QString& table, const QString& schema)
{
    return names(db, QStringLiteral("SELECT name FROM pragma_table_info(?, ?)"), {table, schema});
}

// Tables whose rows are told apart by a unique key; the others add a row only when no equal row is there.
bool hasUniqueKey(QSqlDatabase db, const QString& table)
{
    QSqlQuery q(db);
    // A one-column integer primary key is the rowid and has no index of its own.
    q.prepare(QStringLiteral("SELECT (SELECT COUNT(*) FROM pragma_table_info(?, 'main') WHERE pk > 0)"
                             " + (SELECT COUNT(*) FROM pragma_index_list(?, 'main') WHERE \"unique\")"));
    q.addBindValue(table);
    q.addBindValue(table);
    return q.exec() && q.next() && q.value(0).toInt() > 0;
}

QString findName(const QStringList& list, const QString& name)
{
    for (const QString& n : list)
        if (n.compare(name, Qt::CaseInsensitive) == 0)
            return n;
    return {};
}

// The main table's columns that the source has too (main spelling), with the source's spelling.
void commonColumns(const QStringList& mainCols, const QStringList& srcCols, QStringList* mainOut, QStringList* srcOut)
{
    for (const QString& m : mainCols) {
        const QString s = findName(srcCols, m);
        if (!s.isEmpty() && !mainOut->contains(m)) {
            *mainOut << m;
            *srcOut << s;
        }
    }
}

QString quotedList(const QStringList& cols, const QString& prefix = {})
{
    QStringList q;
    for (const QString& c : cols)
        q << prefix + quoteIdentifier(c);
    return q.join(QStringLiteral(", "));
}

QString sameRow(const QStringList& cols, const QString& left, const QStringList& rightCols, const QString& right)
{
    QStringList parts;
    for (qsizetype i = 0; i < cols.size(); ++i)
        parts << left + quoteIdentifier(cols[i]) + QStringLiteral(" IS ")
                + (right.isEmpty() ? QStringLiteral("?") : right + quoteIdentifier(rightCols[i]));
    return parts.join(QStringLiteral(" AND "));
}

bool samePath(const QString& a, const QString& b)
{
    const QString ca = QFileInfo(a).canonicalFilePath(), cb = QFileInfo(b).canonicalFilePath();
    return !ca.isEmpty() && ca == cb;
}

MergeResult failed(QSqlDatabase db, const QString& error)
{
    rollbackWrite(db);
    MergeResult r;
    r.status = MergeResult::Status::Failed;
    r.error = error;
    return r;
}

MergeResult notADatabase()
{
    MergeResult r;
    r.status = MergeResult::Status::NotADatabase;
    return r;
}

MergeResult mergeSqlite(QSqlDatabase main, const QString& path)
{
    const QString src = QLatin1String(kSourceSchema);
    {
        QSqlQuery attach(main);
        attach.prepare(QStringLiteral("ATTACH DATABASE ? AS %1").arg(src));
        attach.addBindValue(path);
        if (!attach.exec())
            return notADatabase();
    }
    auto detach = [&] { QSqlQuery(main).exec(QStringLiteral("DETACH DATABASE %1").arg(src)); };

    QSqlQuery list(main);
    if (!list.exec(QStringLiteral("SELECT name FROM %1.sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY rowid").arg(src))) {
        detach();
        return notADatabase();
    }
    QStringList sourceTables;
    while (list.next())
        sourceTables << list.value(0).toString();
    list.finish();

    MergeResult result;
    const QStringList targets = mainTables(main);
    QString why;
    if (!beginWrite(main, &why)) {
        detach();
        return failed(main, why);
    }
    for (const QString& table : std::as_const(sourceTables)) {
        const QString target = findName(targets, table);
        if (isSettingsTable(table) || target.isEmpty())
            continue;
        QStringList cols, srcCols;
        commonColumns(tableColumns(main, target, QStringLiteral("main")), tableColumns(main, table, src), &cols, &srcCols);
        if (cols.isEmpty())
            continue;
        const QString into = QStringLiteral("main.") + quoteIdentifier(target);
        const QString from = src + QLatin1Char('.') + quoteIdentifier(table);
        QString sql;
        if (hasUniqueKey(main, target))
            sql = QStringLiteral("INSERT OR IGNORE INTO %1 (%2) SELECT %3 FROM %4")
                      .arg(into, quotedList(cols), quotedList(srcCols), from);
        else
            sql = QStringLiteral("INSERT OR IGNORE INTO %1 (%2) SELECT %3 FROM %4 AS s WHERE NOT EXISTS (SELECT 1 FROM %1 AS m WHERE %5)")
                      .arg(into, quotedList(cols), quotedList(srcCols, QStringLiteral("s.")), from,
                           sameRow(cols, QStringLiteral("m."), srcCols, QStringLiteral("s.")));
        QSqlQuery q(main);
        if (!q.exec(sql)) {
            const QString error = q.lastError().text();
            q.finish();
            MergeResult r = failed(main, error);
            detach();
            return r;
        }
        result.rowsAdded += q.numRowsAffected();
    }
    if (!commitWrite(main, &why)) {
        MergeResult r = failed(main, why);
        detach();
        return r;
    }
    detach();
    return result;
}

MergeResult mergeAccess(QSqlDatabase main, AccessReader& reader)
{
    MergeResult result;
    const QStringList targets = mainTables(main);
    QString why;
    if (!beginWrite(main, &why))
        return failed(main, why);
    for (const QString& table : reader.tables()) {
        const QString target = findName(targets, table);
        if (isSettingsTable(table) || target.isEmpty())
            continue;
        const QStringList mainCols = tableColumns(main, target, QStringLiteral("main"));
        const bool unique = hasUniqueKey(main, target);
        QSqlQuery insert(main);
        QStringList cols;
        QList<int> sourceIndex;
        QString error;
        bool ok = true;
        auto onRow = [&](const QVariantList& values) {
            QVariantList stored;
            for (qsizetype i = 0; i < cols.size(); ++i)
                stored << accessValueToStorage(cols[i], values.value(sourceIndex[i]));
            for (const QVariant& v : std::as_const(stored))
                insert.addBindValue(v);
            if (!unique)
                for (const QVariant& v : std::as_const(stored))
                    insert.addBindValue(v);
            if (!insert.exec()) {
                error = insert.lastError().text();
                return ok = false;
            }
            result.rowsAdded += insert.numRowsAffected();
            return true;
        };
        QStringList srcCols;
        auto start = [&](const QVariantList& values) {
            if (cols.isEmpty())
                return true; // nothing in common: rows are read and none is stored
            return onRow(values);
        };
        bool prepared = false;
        auto rowSink = [&](const QVariantList& values) {
            if (!prepared) {
                prepared = true;
                QStringList common, srcNames;
                commonColumns(mainCols, srcCols, &common, &srcNames);
                cols = common;
                for (const QString& s : std::as_const(srcNames))
                    sourceIndex << int(srcCols.indexOf(s));
                if (!cols.isEmpty()) {
                    const QString into = quoteIdentifier(target);
                    QStringList marks;
                    for (qsizetype i = 0; i < cols.size(); ++i)
                        marks << QStringLiteral("?");
                    const QString sql = unique
                        ? QStringLiteral("INSERT OR IGNORE INTO %1 (%2) VALUES (%3)").arg(into, quotedList(cols), marks.join(u','))
                        : QStringLiteral("INSERT OR IGNORE INTO %1 (%2) SELECT %3 WHERE NOT EXISTS (SELECT 1 FROM %1 WHERE %4)")
                              .arg(into, quotedList(cols), marks.join(u','), sameRow(cols, QString(), cols, QString()));
                    if (!insert.prepare(sql)) {
                        error = insert.lastError().text();
                        return ok = false;
                    }
                }
            }
            return start(values);
        };
        QString readError;
        if (!reader.readTable(table, &srcCols, rowSink, &readError))
            return failed(main, readError);
        if (!ok)
            return failed(main, error);
    }
    if (!commitWrite(main, &why))
        return failed(main, why);
    return result;
}

QString hourText(const QString& text, bool seconds)
{
    QStringView s = QStringView(text).trimmed();
    const qsizetype blank = s.indexOf(QLatin1Char(' '));
    if (blank >= 0)
        s = s.mid(blank + 1); // a date-time: its time of day
    if (const auto t = parseClockTime(s))
        return t->toString(seconds ? QStringLiteral("HH:mm:ss") : QStringLiteral("HH:mm"));
    return text;
}

} // namespace

bool isSqliteFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    return f.read(16) == QByteArray("SQLite format 3\0", 16);
}

QVariant accessValueToStorage(const QString& column, const QVariant& value)
{
    if (value.isNull())
        return value;
    const QString text = value.toString();
    if (column.startsWith(QLatin1String("Bo")) || column == u"CMI") {
        const QString t = text.trimmed().toLower();
        if (t == u"true" || t == u"yes")
            return -1;
        if (t == u"false" || t == u"no")
            return 0;
        bool ok = false;
        const double v = t.toDouble(&ok);
        return ok ? QVariant(v != 0 ? -1 : 0) : value;
    }
    if (column.startsWith(QLatin1Char('D')) && column.size() > 1 && column[1].isUpper()) {
        const auto d = parseIsoDate(QStringView(text).trimmed().left(10));
        return d ? QVariant(d->toString(QStringLiteral("yyyy-MM-dd"))) : value;
    }
    if (column.startsWith(QLatin1String("THora")) && !column.endsWith(QLatin1String("Leq1min")))
        return hourText(text, column == u"THoraTotales");
    if (column.startsWith(QLatin1Char('S')) && column.size() > 1 && column[1].isUpper()) {
        bool ok = false;
        const double v = text.trimmed().toDouble(&ok);
        return ok ? QVariant(std::round(v * 10.0) / 10.0) : value;
    }
    if ((column.startsWith(QLatin1Char('L')) || column.startsWith(QLatin1Char('I'))
         || column.startsWith(QLatin1String("By"))) && column.size() > 1 && column[1].isUpper()) {
        bool ok = false;
        const double v = text.trimmed().toDouble(&ok);
        return ok ? QVariant(qlonglong(std::llround(v))) : value;
    }
    return value;
}

MergeResult mergeDatabaseFile(QSqlDatabase main, const QString& path, AccessReader* access)
{
    if (samePath(path, main.databaseName())) {
        MergeResult r;
        r.status = MergeResult::Status::NothingToMerge;
        return r;
    }
    if (!QFileInfo(path).isFile())
        return notADatabase();
    if (isSqliteFile(path))
        return mergeSqlite(main, path);
    std::unique_ptr<AccessReader> own;
    if (!access) {
        own = makeAccessReader();
        access = own.get();
    }
    QString error;
    if (!access->open(path, &error))
        return notADatabase();
    return mergeAccess(main, *access);
}

} // namespace nbx
