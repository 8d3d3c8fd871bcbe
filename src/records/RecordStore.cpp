#include "records/RecordStore.h"

#include "localisation/DatabaseFailure.h"

#include <QSqlError>
#include <QStringList>
#include <QVariant>
#include <cstring>

namespace nbx {

namespace {

QString placeholders(int n)
{
    QStringList q;
    for (int i = 0; i < n; ++i)
        q << QStringLiteral("?");
    return q.join(QLatin1Char(','));
}

QString columnList(const QStringList& cols)
{
    QStringList q;
    for (const QString& c : cols)
        q << quoteIdentifier(c);
    return q.join(QLatin1Char(','));
}

void bindAll(QSqlQuery& q, const QVariantList& values)
{
    for (int i = 0; i < values.size(); ++i)
        q.bindValue(i, values[i]);
}

// Appends t as UTF-8 at out (room for three bytes a character); returns the bytes written.
qsizetype putUtf8(const QString& t, char* out)
{
    const QChar* c = t.constData();
    for (qsizetype i = 0; i < t.size(); ++i) {
        if (c[i].unicode() >= 0x80) { // rare in a record: the whole text the general way
            const QByteArray u = t.toUtf8();
            std::memcpy(out, u.constData(), size_t(u.size()));
            return u.size();
        }
        out[i] = char(c[i].unicode());
    }
    return t.size();
}

// Binds values from parameter `first` on as the SQL module would: a null text is NULL. Texts go
// in UTF-8, the database's encoding (the step then has nothing to convert), written into `texts`,
// which outlives the step. SQLITE_OK, or the code of the first bind that failed.
int bindAll(sqlite3_stmt* stmt, const QVariantList& values, QByteArray& texts, int first = 1)
{
    qsizetype room = 0;
    for (const QVariant& v : values)
        if (v.typeId() == QMetaType::QString)
            room += static_cast<const QString*>(v.constData())->size() * 3;
    if (texts.size() < room)
        texts.resize(room);
    qsizetype used = 0;
    for (int i = 0; i < values.size(); ++i) {
        const QVariant& v = values[i];
        const int at = first + i;
        int rc = SQLITE_OK;
        switch (v.typeId()) {
        case QMetaType::Int:
            rc = sqlite3_bind_int(stmt, at, *static_cast<const int*>(v.constData()));
            break;
        case QMetaType::Bool:
            rc = sqlite3_bind_int(stmt, at, *static_cast<const bool*>(v.constData()) ? 1 : 0);
            break;
        case QMetaType::LongLong:
            rc = sqlite3_bind_int64(stmt, at, *static_cast<const qlonglong*>(v.constData()));
            break;
        case QMetaType::Double:
            rc = sqlite3_bind_double(stmt, at, *static_cast<const double*>(v.constData()));
            break;
        case QMetaType::QString: {
            const QString* t = static_cast<const QString*>(v.constData());
            if (t->isNull()) {
                rc = sqlite3_bind_null(stmt, at);
                break;
            }
            char* out = texts.data() + used;
            const qsizetype n = putUtf8(*t, out);
            used += n;
            rc = sqlite3_bind_text(stmt, at, out, int(n), SQLITE_STATIC);
            break;
        }
        default:
            if (v.isNull())
                rc = sqlite3_bind_null(stmt, at);
            else
                rc = sqlite3_bind_text16(stmt, at, v.toString().utf16(), -1, SQLITE_TRANSIENT);
        }
        if (rc != SQLITE_OK)
            return rc;
    }
    return SQLITE_OK;
}

} // namespace

RecordStore::RecordStore(QSqlDatabase db, int maxUncommittedMs) : db_(std::move(db)), maxMs_(maxUncommittedMs)
{
    timer_.setSingleShot(true);
    timer_.callOnTimeout([this] { commitLater(); });
}

// A commit asked for by the timer or by another write on the connection: a failure is kept and
// reported by the next store.
void RecordStore::commitLater()
{
    QString why;
    if (!commit(&why)) {
        deferredError_ = why;
        deferredCode_ = failureCode_;
    }
}

// The download commits on every way out; a group still open here is committed all the same, and a
// commit that fails is shown rather than rolled back in silence.
RecordStore::~RecordStore()
{
    QString why;
    if (!commit(&why))
        reportDatabaseFailure(DatabaseTask::Save, {}, failureCode_, why);
}

bool RecordStore::fail(int code, const QString& why, QString* error)
{
    failureCode_ = code;
    if (error)
        *error = why;
    return false;
}

bool RecordStore::prepare(SqliteStatement& s, const QString& sql, QString* error)
{
    if (s.get())
        return true;
    if (!handle_)
        handle_ = sqliteHandle(db_);
    if (!handle_)
        return fail(0, QStringLiteral("not an SQLite connection"), error);
    const int rc = s.prepare(handle_, sql);
    if (rc == SQLITE_OK)
        return true;
    return fail(systemFaultCode(handle_, sqlite3_extended_errcode(handle_)), QString::fromUtf8(sqlite3_errmsg(handle_)),
                error);
}

// Binds the values, steps once and resets: SQLite's result of the bind that failed or of the step.
// For a query that found a row, *rowid (when given) is its first column.
int RecordStore::run(SqliteStatement& s, const QVariantList& values, qint64* rowid)
{
    sqlite3_stmt* stmt = s.get();
    int rc = bindAll(stmt, values, texts_);
    if (rc == SQLITE_OK)
        rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW && rowid)
        *rowid = sqlite3_column_int64(stmt, 0);
    // The message is kept by the connection until its next call: read it before the reset.
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
        stepError_ = QString::fromUtf8(sqlite3_errmsg(handle_));
        stepCode_ = systemFaultCode(handle_, sqlite3_extended_errcode(handle_));
    }
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt); // the texts bound point into texts_, which the next bind rewrites
    return rc;
}

// A commit the timer could not make is reported once, here or by the final commit.
bool RecordStore::takeDeferredError(QString* error)
{
    if (deferredError_.isEmpty())
        return false;
    fail(deferredCode_, deferredError_, error);
    deferredError_.clear();
    deferredCode_ = 0;
    return true;
}

bool RecordStore::begin(QString* error)
{
    if (takeDeferredError(error))
        return false;
    if (inTransaction_)
        return true;
    if (!beginWrite(db_, error, &failureCode_))
        return false;
    inTransaction_ = true;
    group_ = std::make_unique<OpenGroup>(db_, [this] { commitLater(); });
    age_.start();
    timer_.start(maxMs_);
    return true;
}

bool RecordStore::commit(QString* error)
{
    timer_.stop();
    if (!inTransaction_)
        return !takeDeferredError(error);
    inTransaction_ = false;
    group_.reset();
    // The group is rolled back: records the device was told had arrived are not stored. It keeps
    // them; the caller says how they are received again.
    return commitWrite(db_, error, &failureCode_);
}

// A failed statement or prepare: what came before it is committed; a commit that fails too is
// named in the same message. The statement's code tells why.
bool RecordStore::failKeepingTheGroup(int code, QString why, QString* error)
{
    // Some faults (a full disk) make SQLite roll the whole group back itself: nothing is left to commit.
    sqlite3* h = handle_ ? handle_ : sqliteHandle(db_);
    if (inTransaction_ && h && sqlite3_get_autocommit(h)) {
        timer_.stop();
        inTransaction_ = false;
        group_.reset();
    }
    QString commitError;
    if (!commit(&commitError)) {
        why += QLatin1Char('\r') + commitError;
        if (code == 0)
            code = failureCode_;
    }
    return fail(code, why, error);
}

// After a statement: its failure is reported with what came before kept; a group older than the
// limit is committed at once.
bool RecordStore::afterWrite(bool ok, const QSqlQuery& q, QString* error)
{
    if (!ok)
        return failKeepingTheGroup(sqlErrorCode(db_, q.lastError()), sqlErrorText(q.lastError()), error);
    if (age_.elapsed() >= maxMs_)
        return commit(error);
    return true;
}

bool RecordStore::afterWrite(int rc, QString* error)
{
    if (rc != SQLITE_DONE && rc != SQLITE_ROW)
        return failKeepingTheGroup(stepCode_, stepError_, error);
    if (age_.elapsed() >= maxMs_)
        return commit(error);
    return true;
}

bool RecordStore::storeTotals(qint32 serial, const Totals& t, const QDateTime& stamp, QString* error)
{
    if (!begin(error))
        return false;
    QSqlQuery q(db_);
    q.prepare(QStringLiteral("UPDATE Programacion SET DFechaTotales=?, THoraTotales=?, LPasadasLocal=?, "
                             "LPasadasVecino=?, LE3=?, LCB=? WHERE LNumeroSerie=?"));
    bindAll(q, {stamp.date().toString(Qt::ISODate), stamp.time().toString(QStringLiteral("HH:mm:ss")),
                t.pasadasLocal, t.pasadasVecino, t.e3, t.cb, serial});
    return afterWrite(q.exec(), q, error);
}

bool RecordStore::storeDay(const QString& table, qint32 serial, const DayEntry& e, QString* error)
{
    const QVariantList key{serial, e.fecha.toString(Qt::ISODate), e.hora};
    QSqlQuery find(db_);
    find.prepare(QStringLiteral("SELECT 1 FROM %1 WHERE LNumeroSerie=? AND DFecha=? AND THora=? LIMIT 1")
                     .arg(quoteIdentifier(table)));
    bindAll(find, key);
    if (!find.exec())
        return afterWrite(false, find, error);
    if (find.next())
        return true; // already stored with the same values
    QSqlQuery ins(db_);
    ins.prepare(QStringLiteral("INSERT INTO %1 (LNumeroSerie, DFecha, THora) VALUES (?,?,?)")
                    .arg(quoteIdentifier(table)));
    bindAll(ins, key);
    return afterWrite(ins.exec(), ins, error);
}

bool RecordStore::storeDays(qint32 serial, const DayLists& days, QString* error)
{
    if (!begin(error))
        return false;
    for (const DayEntry& e : days.borrados)
        if (!storeDay(QStringLiteral("DiaBorrado"), serial, e, error))
            return false;
    for (const DayEntry& e : days.reprogramados)
        if (!storeDay(QStringLiteral("DiaReprogramado"), serial, e, error))
            return false;
    return true;
}

bool RecordStore::storeInterval(const IntervalRecord& r, QString* error)
{
    if (!begin(error))
        return false;
    if (!interval_.get()) {
        const QStringList cols = schemaColumns(QStringLiteral("Intervalos"));
        QStringList sets;
        for (const QString& c : cols.mid(3))
            sets << QStringLiteral("%1=excluded.%1").arg(quoteIdentifier(c));
        const QString sql = QStringLiteral("INSERT INTO Intervalos (%1) VALUES (%2) "
                                           "ON CONFLICT(LNumeroSerie, DFechaInicio, THoraInicio) DO UPDATE SET %3")
                                .arg(columnList(cols), placeholders(int(cols.size())), sets.join(QLatin1Char(',')));
        QString why;
        if (!prepare(interval_, sql, &why))
            return failKeepingTheGroup(failureCode_, why, error);
    }
    return afterWrite(run(interval_, r.values()), error);
}

bool RecordStore::storeSession(const SessionRecord& r, QString* error)
{
    if (!begin(error))
        return false;
    if (!sessionFind_.get() || !sessionUpdate_.get() || !sessionInsert_.get()) {
        const QStringList cols = schemaColumns(QStringLiteral("Sesiones"));
        QStringList sets;
        for (const QString& c : cols)
            sets << quoteIdentifier(c) + QStringLiteral("=?");
        QString why;
        if (!prepare(sessionFind_, QStringLiteral("SELECT rowid FROM Sesiones WHERE LNumeroSerie=? AND DFechaInicio=? "
                                                  "AND THoraInicio=? ORDER BY rowid LIMIT 1"), &why)
            || !prepare(sessionUpdate_, QStringLiteral("UPDATE Sesiones SET %1 WHERE rowid=?").arg(sets.join(QLatin1Char(','))),
                        &why)
            || !prepare(sessionInsert_, QStringLiteral("INSERT INTO Sesiones (%1) VALUES (%2)")
                                            .arg(columnList(cols), placeholders(int(cols.size()))), &why))
            return failKeepingTheGroup(failureCode_, why, error);
    }
    QVariantList values = r.values();
    qint64 rowid = 0;
    const int found = run(sessionFind_, values.mid(0, 3), &rowid);
    if (found == SQLITE_ROW) {
        values.append(rowid);
        return afterWrite(run(sessionUpdate_, values), error);
    }
    if (found != SQLITE_DONE)
        return afterWrite(found, error);
    return afterWrite(run(sessionInsert_, values), error);
}

} // namespace nbx
