#include "records/PendingDownload.h"

#include "common/Database.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>

namespace nbx {

std::optional<QDateTime> pendingFrom(QSqlDatabase db, qint32 serial, QString* error)
{
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT DFechaDesde, THoraDesde FROM DescargaPendiente WHERE LNumeroSerie=?"));
    q.addBindValue(serial);
    if (!q.exec()) {
        if (error)
            *error = sqlErrorText(q.lastError());
        return std::nullopt;
    }
    if (!q.next())
        return std::nullopt;
    const QDate d = QDate::fromString(q.value(0).toString(), Qt::ISODate);
    const QString t = q.value(1).toString();
    const QTime time(t.left(2).toInt(), t.mid(3, 2).toInt());
    if (!d.isValid() || !time.isValid() || t.size() < 5)
        return std::nullopt;
    return QDateTime(d, time, Qt::UTC);
}

bool setPendingFrom(QSqlDatabase db, qint32 serial, const std::optional<QDateTime>& from, QString* error, int* code)
{
    WriteTransaction tx(db);
    if (!tx.begin(error, code))
        return false;
    QSqlQuery q(db);
    if (from) {
        q.prepare(QStringLiteral("INSERT INTO DescargaPendiente (LNumeroSerie, DFechaDesde, THoraDesde) VALUES (?,?,?) "
                                 "ON CONFLICT(LNumeroSerie) DO UPDATE SET DFechaDesde=excluded.DFechaDesde, "
                                 "THoraDesde=excluded.THoraDesde"));
        q.addBindValue(serial);
        q.addBindValue(from->date().toString(Qt::ISODate));
        q.addBindValue(from->time().toString(QStringLiteral("HH:mm")));
    } else {
        q.prepare(QStringLiteral("DELETE FROM DescargaPendiente WHERE LNumeroSerie=?"));
        q.addBindValue(serial);
    }
    if (!q.exec()) {
        if (error)
            *error = sqlErrorText(q.lastError());
        if (code)
            *code = sqlErrorCode(db, q.lastError());
        return false;
    }
    return tx.commit(error, code);
}

std::optional<QDateTime> pendingAfterComplete(const std::optional<QDateTime>& before, const QDateTime& from,
                                              const QDateTime& to, const QDateTime& newestReceived,
                                              const std::optional<QDateTime>& newestStart)
{
    if (!before)
        return std::nullopt;
    if (from > *before)
        return before;
    // Records after what the download covered were not received: from there on some may still be
    // missing, unless the default range, which begins at the newest stored interval, reaches back
    // that far anyway.
    const QDateTime covered = newestReceived.isValid() ? std::max(to, newestReceived) : to;
    const QDateTime rest = std::max(*before, covered);
    if (!newestStart || rest >= *newestStart)
        return std::nullopt;
    return rest;
}

} // namespace nbx
