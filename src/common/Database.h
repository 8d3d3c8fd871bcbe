// The main database: one SQLite connection for the life of the program, with the whole schema.
#pragma once

#include <QSqlDatabase>
#include <QString>

class QSqlError;

#include <functional>

struct sqlite3;

namespace nbx {

inline constexpr const char* kMainConnection = "nbx70-main";

// The main connection (invalid until Database::open succeeded).
QSqlDatabase mainDb();

class Database {
public:
    // Opens (creating when missing) the database at `path` as the main connection, brings its schema
    // to the current version and makes sure `Configuracion` holds exactly one row. On failure returns
    // false with a readable description and leaves no main connection open. A database of a newer
    // schema than this program's is refused untouched, with *newer set. `code` receives SQLite's
    // result code of the failure (0 when it has none).
    static bool open(const QString& path, QString* error, bool* newer = nullptr, int* code = nullptr);
    static bool isOpen();
    static void close();

    // Creates or migrates the schema on any connection (used for the main database and for tests):
    // adds what is missing (tables, columns, indexes) and keeps every row. Refuses a newer schema.
    static bool ensureSchema(QSqlDatabase& db, QString* error, int* code = nullptr);
    // PRAGMA user_version, or -1 with the error.
    static int schemaVersion(QSqlDatabase& db, QString* error);

    // 1: the tables of the exchanged data; 2: adds DescargaPendiente.
    static constexpr int kSchemaVersion = 2;
};

// Every write transaction of the program begins here. A writer that keeps a group of writes open
// between events (the record download) registers it with OpenGroup; beginWrite has that group
// committed first, then begins IMMEDIATE, so a writer in another process is waited for on the busy
// timeout instead of failing at the first write. Each returns false with the database's reason and,
// in `code`, SQLite's result code.
bool beginWrite(QSqlDatabase& db, QString* error, int* code = nullptr);
bool commitWrite(QSqlDatabase& db, QString* error, int* code = nullptr); // rolls back when the commit fails
void rollbackWrite(QSqlDatabase& db);

// One write transaction for the life of a scope: rolled back unless committed.
class WriteTransaction {
public:
    explicit WriteTransaction(QSqlDatabase db = mainDb()) : db_(std::move(db)) {}
    ~WriteTransaction() { rollback(); }
    WriteTransaction(const WriteTransaction&) = delete;
    WriteTransaction& operator=(const WriteTransaction&) = delete;

    bool begin(QString* error, int* code = nullptr);
    bool commit(QString* error, int* code = nullptr);
    void rollback();

private:
    QSqlDatabase db_;
    bool active_ = false;
};

// An open group of writes on a connection and how to commit it now; registered while the group is
// open, so that another write on the same connection commits it before beginning its own.
class OpenGroup {
public:
    OpenGroup(const QSqlDatabase& db, std::function<void()> commitNow);
    ~OpenGroup();
    OpenGroup(const OpenGroup&) = delete;
    OpenGroup& operator=(const OpenGroup&) = delete;

private:
    QString connection_;
};

// The SQLite connection under a Qt one, for bulk reads and writes that bypass the SQL module's
// per-value conversions; null for another driver.
sqlite3* sqliteHandle(const QSqlDatabase& db);

// SQLite's result code of a failed statement (0 when the error has none), and the library's own
// text of it, without the SQL module's suffix ("Unable to fetch row").
int sqlErrorCode(const QSqlError& error);
QString sqlErrorText(const QSqlError& error);
// The same code, made plainer with what the system said about the failure: an I/O or open failure
// because the disk (or the user's quota) is full becomes SQLITE_FULL, one on a read-only file
// system SQLITE_READONLY.
int sqlErrorCode(const QSqlDatabase& db, const QSqlError& error);
int systemFaultCode(sqlite3* handle, int code);
// A failure handed on as its text alone keeps its code here: sqlErrorText notes each failure it
// reads, and the code of the last noted failure with exactly `text` is found again (0 for any other
// text), so a box shown later can say why.
void noteSqlFailure(const QString& text, int code);
int sqlFailureCodeOf(const QString& text);
bool sqlFailureNoted(const QString& text);

// Quotes an identifier for SQL ("SOctava31,5Hz" has a comma in its name).
QString quoteIdentifier(const QString& name);

// The column names of a table of the schema, in their defined order (empty for an unknown table).
QStringList schemaColumns(const QString& table);
// The tables of the schema, in their defined order.
QStringList schemaTables();

} // namespace nbx
