// Storage of downloaded records: totals, erasure and reprogramming days, intervals (one row per
// start moment, updated on a second download) and sessions (the first row with the same start is
// updated). Writes are grouped in transactions, but a group never holds more than 250 ms of
// received records: a timer commits it while the transfer waits for the next frame.
#pragma once

#include "common/Database.h"
#include "common/SqliteStatement.h"
#include "records/RecordFrames.h"

#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTimer>
#include <memory>

namespace nbx {

class RecordStore {
public:
    explicit RecordStore(QSqlDatabase db = mainDb(), int maxUncommittedMs = 250);
    ~RecordStore(); // commits what is pending; a failure is shown
    RecordStore(const RecordStore&) = delete;
    RecordStore& operator=(const RecordStore&) = delete;

    // Each returns false with the library's text of the failure; failureCode() then holds SQLite's
    // result code of it.
    bool storeTotals(qint32 serial, const Totals& t, const QDateTime& stamp, QString* error);
    bool storeDays(qint32 serial, const DayLists& days, QString* error);
    bool storeInterval(const IntervalRecord& r, QString* error);
    bool storeSession(const SessionRecord& r, QString* error);

    // Commits the open group; false with the reason when that commit, or an earlier one made by the
    // timer and not yet reported, failed.
    bool commit(QString* error = nullptr);
    bool pending() const { return inTransaction_; }
    int failureCode() const { return failureCode_; }

private:
    bool begin(QString* error);
    void commitLater();
    bool takeDeferredError(QString* error);
    bool fail(int code, const QString& why, QString* error);
    bool failKeepingTheGroup(int code, QString why, QString* error);
    bool afterWrite(bool ok, const QSqlQuery& q, QString* error);
    bool afterWrite(int rc, QString* error);
    bool prepare(SqliteStatement& s, const QString& sql, QString* error);
    int run(SqliteStatement& s, const QVariantList& values, qint64* rowid = nullptr);
    bool storeDay(const QString& table, qint32 serial, const DayEntry& e, QString* error);

    QSqlDatabase db_;
    int maxMs_;
    bool inTransaction_ = false;
    QElapsedTimer age_;
    QTimer timer_;
    QString deferredError_; // a commit the timer or another writer could not make
    int deferredCode_ = 0;
    int failureCode_ = 0;
    std::unique_ptr<OpenGroup> group_; // registered while a group is open
    // The records' statements, on the SQLite connection under the Qt one: through the SQL module
    // each of a record's 35 values would cost more than its storing.
    sqlite3* handle_ = nullptr;
    SqliteStatement interval_, sessionFind_, sessionUpdate_, sessionInsert_;
    QString stepError_; // the connection's message for the last step that failed
    int stepCode_ = 0;  // and its result code
    QByteArray texts_;  // the texts bound for the step in progress
};

} // namespace nbx
