// Merging another database into the main one: rows are only added, each checked against the main
// table's storage forms; an Access file is read by a child process into a file of our own first.
#include "import/DatabaseMerge.h"

#include "common/Database.h"
#include "common/QuitSignals.h"
#include "common/SqliteStatement.h"
#include "import/AccessReaderChild.h"
#include "import/ExchangeReader.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryFile>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <csignal>
#include <limits>
#include <optional>

namespace nbx {

namespace {

const char kSourceSchema[] = "nbx_merge_src";

AccessReaderCommand g_readerCommand;

// The main database's settings row and its own bookkeeping (the mark of records its downloads may
// have missed, which says nothing about the records of another file) are never taken from a file.
bool isNeverMerged(const QString& name)
{
    for (const char* own : {"Configuracion", "DescargaPendiente"})
        if (name.compare(QLatin1String(own), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

// A failure with SQLite's result code and the library's text.
struct Failure {
    int code = 0;
    QString text;
};

Failure failureOf(const QSqlError& e) { return {sqlErrorCode(e), sqlErrorText(e)}; }
Failure failureOf(sqlite3* h, int code) { return {code, QString::fromUtf8(sqlite3_errmsg(h))}; }

// A failure that would pass by itself (another writer, memory): even met while reading the file to
// be merged, it is no reason to give the file up.
bool passing(int code)
{
    const int primary = code & 0xff;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED || primary == SQLITE_NOMEM || code == SQLITE_IOERR_NOMEM;
}

// A row the main database will not take; the merge goes on without it.
bool rowRefused(int code)
{
    const int primary = code & 0xff;
    return primary == SQLITE_TOOBIG || primary == SQLITE_CONSTRAINT || primary == SQLITE_MISMATCH;
}

// Names listed by a query with bound arguments; nullopt with the database's reason when it fails.
std::optional<QStringList> names(QSqlDatabase db, const QString& sql, const QVariantList& args, Failure* error)
{
    QSqlQuery q(db);
    bool ok = q.prepare(sql);
    for (const QVariant& a : args)
        q.addBindValue(a);
    ok = ok && q.exec();
    QStringList out;
    while (ok && q.next())
        out << q.value(0).toString();
    if (!ok || q.lastError().isValid()) {
        *error = failureOf(q.lastError());
        return std::nullopt;
    }
    return out;
}

// The main table's columns with their declared types and whether each is part of a key or index.
struct MainColumn {
    QString name;
    QString type;
    bool key = false;
};

std::optional<QList<MainColumn>> mainColumns(QSqlDatabase db, const QString& table, Failure* error)
{
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT name, type, pk > 0 OR name IN (SELECT i.name FROM pragma_index_list(?, 'main') AS l,"
                             " pragma_index_info(l.name, 'main') AS i) FROM pragma_table_info(?, 'main')"));
    q.addBindValue(table);
    q.addBindValue(table);
    if (!q.exec()) {
        *error = failureOf(q.lastError());
        return std::nullopt;
    }
    QList<MainColumn> out;
    while (q.next())
        out.append({q.value(0).toString(), q.value(1).toString().toUpper(), q.value(2).toBool()});
    if (q.lastError().isValid()) {
        *error = failureOf(q.lastError());
        return std::nullopt;
    }
    return out;
}

// Tables whose rows are told apart by a unique key; the others add a row only when no equal row is
// there. Nullopt with the database's reason when the schema cannot be read.
std::optional<bool> hasUniqueKey(QSqlDatabase db, const QString& table, Failure* error)
{
    QSqlQuery q(db);
    // A one-column integer primary key is the rowid and has no index of its own.
    q.prepare(QStringLiteral("SELECT (SELECT COUNT(*) FROM pragma_table_info(?, 'main') WHERE pk > 0)"
                             " + (SELECT COUNT(*) FROM pragma_index_list(?, 'main') WHERE \"unique\")"));
    q.addBindValue(table);
    q.addBindValue(table);
    if (!q.exec() || !q.next()) {
        *error = failureOf(q.lastError());
        return std::nullopt;
    }
    return q.value(0).toInt() > 0;
}

QString findName(const QStringList& list, const QString& name)
{
    for (const QString& n : list)
        if (n.compare(name, Qt::CaseInsensitive) == 0)
            return n;
    return {};
}

QString quotedList(const QStringList& cols, const QString& prefix = {})
{
    QStringList q;
    for (const QString& c : cols)
        q << prefix + quoteIdentifier(c);
    return q.join(QStringLiteral(", "));
}

bool samePath(const QString& a, const QString& b)
{
    const QString ca = QFileInfo(a).canonicalFilePath(), cb = QFileInfo(b).canonicalFilePath();
    return !ca.isEmpty() && ca == cb;
}

// A failure of the main database or its surroundings: everything is rolled back.
MergeResult failed(QSqlDatabase db, const Failure& f)
{
    rollbackWrite(db);
    MergeResult r;
    r.status = MergeResult::Status::Failed;
    r.code = f.code;
    r.error = f.text;
    return r;
}

MergeResult notADatabase(const Failure& f = {})
{
    MergeResult r;
    r.status = MergeResult::Status::NotADatabase;
    r.code = f.code;
    r.error = f.text;
    return r;
}

// A failure met while reading the file to be merged: the file's own fault, unless it would pass.
MergeResult sourceFailed(QSqlDatabase db, const Failure& f)
{
    if (passing(f.code))
        return failed(db, f);
    rollbackWrite(db);
    return notADatabase(f);
}

// The URI that opens `path` for reading only. Without a -wal file beside it, the file is all there
// is, so it is read as immutable: SQLite then takes no locks and creates no -wal or -shm beside it.
// A -wal file holds rows not yet in the file; it is read too (and stays, as it was there already).
QString readOnlyUri(const QString& path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    QString uri = QStringLiteral("file:") + QString::fromLatin1(QUrl::toPercentEncoding(absolute, "/"))
        + QStringLiteral("?mode=ro");
    if (!QFileInfo::exists(absolute + QStringLiteral("-wal")))
        uri += QStringLiteral("&immutable=1");
    return uri;
}

// What a column of the main database can hold in its storage form.
struct ColumnRule {
    enum class Kind { Integer, Real, Date, Text } kind = Kind::Text;
    qlonglong lo = 0, hi = 0; // Integer
    bool key = false;
};

ColumnRule ruleFor(const QString& table, const MainColumn& c)
{
    ColumnRule r;
    r.key = c.key;
    const QString& n = c.name;
    if (c.type.startsWith(QLatin1String("INT"))) {
        r.kind = ColumnRule::Kind::Integer;
        r.lo = std::numeric_limits<qint32>::min();
        r.hi = std::numeric_limits<qint32>::max();
        if (n.startsWith(QLatin1String("By"))) {
            r.lo = 0;
            r.hi = 255;
            if (n == u"ByIntervalo" && table.compare(QLatin1String("IntervaloInhabil"), Qt::CaseInsensitive) == 0) {
                r.lo = 1;
                r.hi = 30;
            }
        } else if (n.startsWith(QLatin1Char('I')) && n.size() > 1 && n[1].isUpper()) {
            r.lo = std::numeric_limits<qint16>::min();
            r.hi = std::numeric_limits<qint16>::max();
        }
    } else if (c.type == u"REAL") {
        r.kind = ColumnRule::Kind::Real;
    } else if (n.startsWith(QLatin1Char('D')) && n.size() > 1 && n[1].isUpper()) {
        r.kind = ColumnRule::Kind::Date;
    }
    return r;
}

// Levels and other Single values are far below this; anything larger is damage.
constexpr double kLargestSingle = 1e6;

// True when `value` fits `rule`. An integral REAL in an integer column fits as the integer put
// in *asInteger.
bool fits(const ColumnRule& rule, sqlite3_value* value, std::optional<qint64>* asInteger)
{
    asInteger->reset();
    switch (sqlite3_value_type(value)) {
    case SQLITE_NULL:
        return !rule.key;
    case SQLITE_BLOB:
        return false;
    case SQLITE_INTEGER: {
        const qint64 v = sqlite3_value_int64(value);
        if (rule.kind == ColumnRule::Kind::Integer)
            return v >= rule.lo && v <= rule.hi;
        if (rule.kind == ColumnRule::Kind::Real)
            return v >= -kLargestSingle && v <= kLargestSingle;
        return rule.kind == ColumnRule::Kind::Text;
    }
    case SQLITE_FLOAT: {
        const double d = sqlite3_value_double(value);
        if (rule.kind == ColumnRule::Kind::Real)
            return std::isfinite(d) && std::fabs(d) <= kLargestSingle;
        if (rule.kind == ColumnRule::Kind::Integer) {
            if (!std::isfinite(d) || d != std::trunc(d) || d < double(rule.lo) || d > double(rule.hi))
                return false;
            *asInteger = qint64(d);
            return true;
        }
        return rule.kind == ColumnRule::Kind::Text;
    }
    default: // text
        if (rule.kind == ColumnRule::Kind::Text)
            return true;
        if (rule.kind != ColumnRule::Kind::Date || sqlite3_value_bytes(value) != 10)
            return false;
        return parseIsoDate(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(value)), 10)).has_value();
    }
}

MergeResult mergeSqlite(QSqlDatabase main, const QString& path)
{
    const QString src = QLatin1String(kSourceSchema);
    {
        // Read only: merging writes nothing into the file or beside it.
        QSqlQuery attach(main);
        attach.prepare(QStringLiteral("ATTACH DATABASE ? AS %1").arg(src));
        attach.addBindValue(readOnlyUri(path));
        if (!attach.exec())
            return sourceFailed(main, failureOf(attach.lastError()));
    }
    struct Detach {
        QSqlDatabase db;
        ~Detach() { QSqlQuery(db).exec(QStringLiteral("DETACH DATABASE %1").arg(QLatin1String(kSourceSchema))); }
    } detach{main};

    QStringList sourceTables;
    {
        QSqlQuery list(main);
        if (!list.exec(QStringLiteral("SELECT name FROM %1.sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY rowid").arg(src)))
            return sourceFailed(main, failureOf(list.lastError()));
        while (list.next())
            sourceTables << list.value(0).toString();
    }

    MergeResult result;
    Failure why;
    const auto targets = names(main, QStringLiteral("SELECT name FROM main.sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\'"), {}, &why);
    if (!targets)
        return failed(main, why);
    // None of its tables is one of ours: a file of another program, which would add nothing and
    // pass for merged.
    const auto ours = [&](const QString& t) { return !findName(*targets, t).isEmpty(); };
    if (std::none_of(sourceTables.cbegin(), sourceTables.cend(), ours))
        return notADatabase({SQLITE_NOTADB, {}});
    if (!beginWrite(main, &why.text, &why.code))
        return failed(main, why);
    for (const QString& table : std::as_const(sourceTables)) {
        const QString target = findName(*targets, table);
        if (isNeverMerged(table) || target.isEmpty())
            continue;
        const auto srcCols = names(main, QStringLiteral("SELECT name FROM pragma_table_info(?, ?)"), {table, src}, &why);
        if (!srcCols)
            return sourceFailed(main, why);
        const auto mainCols = mainColumns(main, target, &why);
        const auto unique = mainCols ? hasUniqueKey(main, target, &why) : std::nullopt;
        if (!unique)
            return failed(main, why);
        // The main table's columns that the source has too.
        QStringList cols, fromCols;
        QList<ColumnRule> rules;
        for (const MainColumn& m : *mainCols) {
            const QString s = findName(*srcCols, m.name);
            if (!s.isEmpty() && !cols.contains(m.name)) {
                cols << m.name;
                fromCols << s;
                rules << ruleFor(target, m);
            }
        }
        if (cols.isEmpty())
            continue;
        const QString into = QStringLiteral("main.") + quoteIdentifier(target);
        QStringList marks, same;
        for (const QString& c : std::as_const(cols)) {
            marks << QStringLiteral("?");
            same << quoteIdentifier(c) + QStringLiteral(" IS ?");
        }
        // Row by row, so that a refused row is left out alone and a row twice in the source is
        // added once.
        const QString sql = *unique
            ? QStringLiteral("INSERT OR IGNORE INTO %1 (%2) VALUES (%3)").arg(into, quotedList(cols), marks.join(u','))
            : QStringLiteral("INSERT INTO %1 (%2) SELECT %3 WHERE NOT EXISTS (SELECT 1 FROM %1 WHERE %4)")
                  .arg(into, quotedList(cols), marks.join(u','), same.join(QStringLiteral(" AND ")));
        sqlite3* h = sqliteHandle(main);
        if (!h)
            return failed(main, {0, QStringLiteral("no SQLite connection")});
        SqliteStatement insert, read;
        int rc = insert.prepare(h, sql);
        if (rc != SQLITE_OK)
            return failed(main, failureOf(h, rc));
        rc = read.prepare(h, QStringLiteral("SELECT %1 FROM %2.%3").arg(quotedList(fromCols), src, quoteIdentifier(table)));
        if (rc != SQLITE_OK)
            return sourceFailed(main, failureOf(h, rc));
        const int n = int(cols.size());
        int leftOut = 0;
        std::optional<qint64> asInteger;
        while ((rc = sqlite3_step(read.get())) == SQLITE_ROW) {
            bool ok = true;
            for (int i = 0; ok && i < n; ++i) {
                sqlite3_value* v = sqlite3_column_value(read.get(), i);
                ok = fits(rules[i], v, &asInteger);
                for (int copy = 0; ok && copy < (*unique ? 1 : 2); ++copy) {
                    const int at = i + 1 + copy * n;
                    if (asInteger)
                        sqlite3_bind_int64(insert.get(), at, *asInteger);
                    else
                        sqlite3_bind_value(insert.get(), at, v);
                }
            }
            if (!ok) {
                ++leftOut;
                continue;
            }
            const int step = sqlite3_step(insert.get());
            sqlite3_reset(insert.get());
            if (step == SQLITE_DONE) {
                result.rowsAdded += sqlite3_changes(h);
            } else if (rowRefused(step)) {
                ++leftOut;
            } else {
                return failed(main, failureOf(h, step));
            }
        }
        if (rc != SQLITE_DONE)
            return sourceFailed(main, failureOf(h, rc));
        if (leftOut > 0)
            result.rowsLeftOut.append({target, leftOut});
    }
    if (!commitWrite(main, &why.text, &why.code))
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

QString readerProgram()
{
    if (!g_readerCommand.program.isEmpty())
        return g_readerCommand.program;
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("nbx70-access-reader"));
}

enum class ChildRead {
    Done,
    FileRefused,
    NotStarted,
    Stopped,    // the program is ending
    Interrupted // killed by a signal that ends programs (Ctrl-C in the terminal reaches it too)
};

// Runs the reading child on `path` into `out`, keeping the event loop turning until it ends, its
// time is up or the program is asked to end (then it is killed).
ChildRead runReaderChild(const QString& path, const QString& out, const std::function<void(qint64)>& progress)
{
    if (quitRequest().requested())
        return ChildRead::Stopped;
    QProcess child;
    child.setStandardErrorFile(QProcess::nullDevice());
    tieAccessReaderToThisProcess(child);
    child.setProcessChannelMode(QProcess::SeparateChannels);
    QEventLoop loop;
    bool timedOut = false;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        loop.quit();
    });
    QObject::connect(&child, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&child, &QProcess::errorOccurred, &loop, [&](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart)
            loop.quit();
    });
    QObject::connect(&child, &QProcess::readyReadStandardOutput, &loop, [&] {
        qint64 rows = -1;
        while (child.canReadLine()) {
            bool ok = false;
            const qint64 n = child.readLine().trimmed().toLongLong(&ok);
            if (ok)
                rows = n;
        }
        if (rows >= 0 && progress)
            progress(rows);
    });
    bool stopped = false;
    QObject::connect(&quitRequest(), &QuitRequest::quitRequested, &loop, [&] {
        stopped = true;
        loop.quit();
    });
    child.start(readerProgram(), g_readerCommand.arguments + QStringList{path, out}, QIODevice::ReadOnly);
    deadline.start(g_readerCommand.timeLimitMs);
    if (child.state() != QProcess::NotRunning || child.error() != QProcess::FailedToStart)
        loop.exec();
    if (child.error() == QProcess::FailedToStart)
        return ChildRead::NotStarted;
    if (stopped || timedOut || child.state() != QProcess::NotRunning) {
        child.kill();
        child.waitForFinished(5000);
        return stopped ? ChildRead::Stopped : ChildRead::FileRefused;
    }
    // A crashed child's exit code is the number of the signal that ended it.
    const int code = child.exitCode();
    if (child.exitStatus() == QProcess::CrashExit && (code == SIGINT || code == SIGTERM || code == SIGHUP))
        return ChildRead::Interrupted;
    return child.exitStatus() == QProcess::NormalExit && code == 0 ? ChildRead::Done : ChildRead::FileRefused;
}

MergeResult mergeAccessFile(QSqlDatabase main, const QString& path, const std::function<void(qint64)>& progress)
{
    // The child's database lives in the system's temporary folder and goes with this scope.
    QTemporaryFile out(accessTempFileTemplate());
    if (!out.open())
        return failed(main, {0, out.errorString()});
    out.close();
    const ChildRead read = runReaderChild(path, out.fileName(), progress);
    switch (read) {
    case ChildRead::Done:
        break;
    case ChildRead::FileRefused:
        // An Access file the reader refuses is damaged; anything else is no database at all.
        return notADatabase({looksLikeAccessFile(path) ? SQLITE_CORRUPT : SQLITE_NOTADB, {}});
    case ChildRead::NotStarted: {
        MergeResult r;
        r.status = MergeResult::Status::Failed;
        r.error = QStringLiteral("%1: %2").arg(readerProgram(), QStringLiteral("cannot be started"));
        return r;
    }
    case ChildRead::Stopped:
    case ChildRead::Interrupted: {
        // The file is not at fault, so a pending backup stays; the program's own end says nothing.
        MergeResult r;
        r.status = MergeResult::Status::Failed;
        if (read == ChildRead::Interrupted)
            r.error = QStringLiteral("%1: %2").arg(readerProgram(), QStringLiteral("interrupted"));
        return r;
    }
    }
    if (!isSqliteFile(out.fileName()))
        return notADatabase({SQLITE_NOTADB, {}});
    return mergeSqlite(main, out.fileName());
}

} // namespace

void setAccessReaderCommand(const AccessReaderCommand& command) { g_readerCommand = command; }
AccessReaderCommand accessReaderCommand() { return g_readerCommand; }

bool isSqliteFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    return f.read(16) == QByteArray("SQLite format 3\0", 16);
}

bool looksLikeAccessFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray start = f.read(512);
    const QByteArray name = start.mid(4, 15);
    if (name == "Standard Jet DB" || name == "Standard ACE DB")
        return true;
    // Its first sector lost: zeros, then page 1 (a data page) of 2 or 4 KB pages where it belongs.
    if (start.size() < 512 || start.count('\0') != 512)
        return false;
    const QByteArray dataPage("\x01\x01", 2);
    return (f.seek(2048) && f.read(2) == dataPage) || (f.seek(4096) && f.read(2) == dataPage);
}

namespace {

QStringList companionsOf(const QString& path)
{
    return {path + QStringLiteral("-wal"), path + QStringLiteral("-shm"), path + QStringLiteral("-journal")};
}

} // namespace

bool removeDatabaseFile(const QString& path)
{
    // Without them the file is whole as far as anyone reading it later can tell: a -wal that stays
    // while its file goes would be read into the next one.
    for (const QString& c : companionsOf(path))
        if (QFileInfo::exists(c) && !QFile::remove(c))
            return false;
    return QFile::remove(path);
}

bool renameDatabaseFile(const QString& path, const QString& to)
{
    if (!QFile::rename(path, to))
        return false;
    const QStringList from = companionsOf(path), into = companionsOf(to);
    for (qsizetype i = 0; i < from.size(); ++i)
        if (QFileInfo::exists(from[i]) && !QFile::rename(from[i], into[i]))
            QFile::remove(from[i]); // it must not stay for the next file of this name
    return true;
}

void removeDatabaseLeftovers(const QString& path)
{
    if (QFileInfo::exists(path))
        return;
    for (const QString& c : companionsOf(path))
        QFile::remove(c);
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
        double v = 0;
        return parseSingle(t, &v) ? QVariant(v != 0 ? -1 : 0) : value;
    }
    if (column.startsWith(QLatin1Char('D')) && column.size() > 1 && column[1].isUpper()) {
        const auto d = parseIsoDate(QStringView(text).trimmed().left(10));
        return d ? QVariant(d->toString(QStringLiteral("yyyy-MM-dd"))) : value;
    }
    if (column.startsWith(QLatin1String("THora")) && !column.endsWith(QLatin1String("Leq1min")))
        return hourText(text, column == u"THoraTotales");
    // Numbers: a point or a comma as the decimal separator, whatever locale wrote them.
    if (column.startsWith(QLatin1Char('S')) && column.size() > 1 && column[1].isUpper()) {
        double v = 0;
        return parseSingle(text.trimmed(), &v) && std::isfinite(v) ? QVariant(std::round(v * 10.0) / 10.0) : value;
    }
    const auto typed = [&](QLatin1String prefix) {
        return column.startsWith(prefix) && column.size() > prefix.size() && column[prefix.size()].isUpper();
    };
    if (typed(QLatin1String("L")) || typed(QLatin1String("I")) || typed(QLatin1String("By"))) {
        double v = 0;
        if (!parseSingle(text.trimmed(), &v) || !std::isfinite(v) || std::fabs(v) > 9e15)
            return value;
        return QVariant(qlonglong(std::llround(v)));
    }
    return value;
}

bool copyAccessTables(AccessReader& reader, const QString& out, const std::function<void(qint64)>& progress,
                      QString* error)
{
    const QString connection = QStringLiteral("nbx70-access-copy");
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(out);
        ok = db.open();
        QSqlQuery q(db);
        // A file that lives only until the merge has read it: no journal, no syncing.
        ok = ok && q.exec(QStringLiteral("PRAGMA journal_mode = OFF")) && q.exec(QStringLiteral("PRAGMA synchronous = OFF"))
            && db.transaction();
        if (!ok)
            *error = q.lastError().isValid() ? sqlErrorText(q.lastError()) : sqlErrorText(db.lastError());
        qint64 rows = 0;
        QStringList created;
        for (const QString& table : reader.tables()) {
            if (!ok)
                break;
            QStringList columns;
            QSqlQuery insert(db);
            bool prepared = false, writable = true;
            // The table is made once its columns are known: at its first row, or after it is read
            // when it has none (an empty table still tells whose file this is).
            const auto prepare = [&] {
                if (prepared)
                    return;
                prepared = true;
                QStringList marks;
                for (qsizetype i = 0; i < columns.size(); ++i)
                    marks << QStringLiteral("?");
                // A name met twice (SQLite's names ignore case) keeps its first table.
                writable = !columns.isEmpty() && findName(created, table).isEmpty()
                    && QSqlQuery(db).exec(QStringLiteral("CREATE TABLE %1 (%2)").arg(quoteIdentifier(table), quotedList(columns)))
                    && insert.prepare(QStringLiteral("INSERT INTO %1 VALUES (%2)").arg(quoteIdentifier(table), marks.join(u',')));
                if (writable)
                    created << table;
            };
            auto row = [&](const QVariantList& values) {
                prepare();
                if (writable) {
                    for (qsizetype i = 0; i < columns.size(); ++i)
                        insert.addBindValue(accessValueToStorage(columns[i], values.value(i)));
                    if (!insert.exec()) {
                        *error = sqlErrorText(insert.lastError());
                        return ok = false;
                    }
                }
                if (++rows % 1000 == 0 && progress)
                    progress(rows);
                return true;
            };
            if (!reader.readTable(table, &columns, row, error))
                ok = false;
            else
                prepare();
        }
        ok = ok && db.commit();
        if (progress)
            progress(rows);
    }
    QSqlDatabase::removeDatabase(connection);
    return ok;
}

MergeResult mergeDatabaseFile(QSqlDatabase main, const QString& path, const std::function<void(qint64)>& progress)
{
    if (samePath(path, main.databaseName())) {
        MergeResult r;
        r.status = MergeResult::Status::NothingToMerge;
        return r;
    }
    if (!QFileInfo(path).isFile())
        return notADatabase();
    {
        // A file that cannot be read (no permission, I/O) is not known to be damaged.
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) {
            MergeResult r;
            r.status = MergeResult::Status::Failed;
            r.error = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), f.errorString());
            return r;
        }
    }
    if (isSqliteFile(path))
        return mergeSqlite(main, path);
    return mergeAccessFile(main, path, progress);
}

} // namespace nbx
