// A statement prepared on the SQLite connection under a Qt one (sqliteHandle), for reads and writes
// of hundreds of thousands of values, where the SQL module's conversion of each value to and from a
// QVariant would cost more than the work itself. Finalized when it goes out of scope.
#pragma once

#include <QByteArray>
#include <QString>
#include <sqlite3.h>

namespace nbx {

class SqliteStatement {
public:
    SqliteStatement() = default;
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;
    ~SqliteStatement() { sqlite3_finalize(stmt_); }

    // SQLite's result code of the preparation (SQLITE_OK when prepared).
    int prepare(sqlite3* db, const QString& sql)
    {
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
        const QByteArray text = sql.toUtf8();
        return sqlite3_prepare_v2(db, text.constData(), int(text.size()), &stmt_, nullptr);
    }

    sqlite3_stmt* get() const { return stmt_; }

private:
    sqlite3_stmt* stmt_ = nullptr;
};

} // namespace nbx
