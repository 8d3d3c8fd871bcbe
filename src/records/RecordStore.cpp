#include "records/RecordStore.h"

#include "common/Prompter.h"
#include "localisation/DatabaseFailure.h"
#include "localisation/Strings.h"

#include <QSqlError>
#include <QStringList>
#include <QVariant>

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
    if (!commit(&why))
        deferredError_ = why;
}

// The download commits on every way out; a group still open here is committed all the same, and a
// commit that fails is shown rather than rolled back in silence.
RecordStore::~RecordStore()
{
    QString why;
    if (!commit(&why))
        prompter().message(why, Prompter::Icon::Critical);
}

bool RecordStore::prepare(std::unique_ptr<QSqlQuery>& q, const QString& sql, QString* error)
{
    if (q)
        return true;
    q = std::make_unique<QSqlQuery>(db_);
    if (q->prepare(sql))
        return true;
    if (error)
        *error = q->lastError().text();
    q.reset();
    return false;
}

// A commit the timer could not make is reported once, here or by the final commit.
bool RecordStore::takeDeferredError(QString* error)
{
    if (deferredError_.isEmpty())
        return false;
    if (error)
        *error = deferredError_;
    deferredError_.clear();
    return true;
}

bool RecordStore::begin(QString* error)
{
    if (takeDeferredError(error))
        return false;
    if (inTransaction_)
        return true;
    if (!beginWrite(db_, error))
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
    QString why;
    int code = 0;
    if (commitWrite(db_, &why, &code))
        return true;
    // The group is rolled back: records the device was told had arrived are not stored. It keeps
    // them, so the next download brings them again.
    if (error)
        *error = GetS(QStringLiteral("No se han guardado los últimos registros recibidos. El NBX-70 los "
                                     "conserva: se recibirán de nuevo en la próxima descarga."))
            + QLatin1Char('\r') + databaseFailureReason(DatabaseTask::Save, code, why);
    return false;
}

// A failed statement or prepare: what came before it is committed; a commit that fails too is
// named in the same message.
bool RecordStore::failKeepingTheGroup(QString why, QString* error)
{
    QString commitError;
    if (!commit(&commitError))
        why += QLatin1Char('\n') + commitError;
    if (error)
        *error = why;
    return false;
}

// After a statement: its failure is reported with what came before kept; a group older than the
// limit is committed at once.
bool RecordStore::afterWrite(bool ok, const QSqlQuery& q, QString* error)
{
    if (!ok)
        return failKeepingTheGroup(q.lastError().text(), error);
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
    if (!interval_) {
        const QStringList cols = schemaColumns(QStringLiteral("Intervalos"));
        QStringList sets;
        for (const QString& c : cols.mid(3))
            sets << QStringLiteral("%1=excluded.%1").arg(quoteIdentifier(c));
        const QString sql = QStringLiteral("INSERT INTO Intervalos (%1) VALUES (%2) "
                                           "ON CONFLICT(LNumeroSerie, DFechaInicio, THoraInicio) DO UPDATE SET %3")
                                .arg(columnList(cols), placeholders(int(cols.size())), sets.join(QLatin1Char(',')));
        QString why;
        if (!prepare(interval_, sql, &why))
            return failKeepingTheGroup(why, error);
    }
    bindAll(*interval_, r.values());
    return afterWrite(interval_->exec(), *interval_, error);
}

bool RecordStore::storeSession(const SessionRecord& r, QString* error)
{
    if (!begin(error))
        return false;
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
        return failKeepingTheGroup(why, error);
    const QVariantList values = r.values();
    bindAll(*sessionFind_, {values[0], values[1], values[2]});
    if (!sessionFind_->exec())
        return afterWrite(false, *sessionFind_, error);
    if (sessionFind_->next()) {
        const QVariant rowid = sessionFind_->value(0);
        sessionFind_->finish();
        bindAll(*sessionUpdate_, values);
        sessionUpdate_->bindValue(int(values.size()), rowid);
        return afterWrite(sessionUpdate_->exec(), *sessionUpdate_, error);
    }
    sessionFind_->finish();
    bindAll(*sessionInsert_, values);
    return afterWrite(sessionInsert_->exec(), *sessionInsert_, error);
}

} // namespace nbx
