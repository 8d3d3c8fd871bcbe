// Merging another database into the main one: rows are only added, Configuracion is never copied.
// Our own database files are attached; an Access file is first read by a child process into a
// temporary database file of our own, which is then merged the same way.
#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>

namespace nbx {

// What an Access (.mdb) file gives its reader. Values come as text (null for an empty cell): dates
// and times as "yyyy-MM-dd HH:mm:ss", yes/no as 1 or 0, numbers in C notation.
class AccessReader {
public:
    virtual ~AccessReader() = default;
    virtual bool open(const QString& path, QString* error) = 0;
    // The user tables, in the order the file lists them.
    virtual QStringList tables() = 0;
    // Gives the table's column names, then each row in turn; `row` returning false stops early.
    virtual bool readTable(const QString& table, QStringList* columns,
                           const std::function<bool(const QVariantList&)>& row, QString* error) = 0;
};

// The reader of Access files through libmdb; it reads in the C locale whatever the process's.
std::unique_ptr<AccessReader> makeAccessReader();

// Writes every user table of the open `reader` into the empty database file `out` (one table of the
// same name each, values in our storage forms), telling `progress` the rows read so far now and
// then. False with the reason when the file cannot be read or written.
bool copyAccessTables(AccessReader& reader, const QString& out, const std::function<void(qint64)>& progress,
                      QString* error);

// The child that reads Access files: `program arguments... <file.mdb> <out.db>`; it exits with 0
// when `out` holds the file's tables, writes the rows read so far on its standard output, one
// number a line, and its standard error is discarded. Past `timeLimitMs` it is killed.
struct AccessReaderCommand {
    QString program; // empty: nbx70-access-reader beside this program
    QStringList arguments;
    int timeLimitMs = 120000;
};
void setAccessReaderCommand(const AccessReaderCommand& command); // for every later merge (tests)
AccessReaderCommand accessReaderCommand();

struct MergeResult {
    // NotADatabase: the file itself cannot be merged (not a database, damaged, a schema or rows the
    // SQLite library refuses). Failed: the main database or its surroundings failed (busy, locked,
    // full, read-only, I/O, no memory), and the file may be merged later.
    enum class Status { Merged, NothingToMerge, NotADatabase, Failed };
    Status status = Status::Merged;
    int code = 0;  // SQLite's result code of the failure, 0 when it has none
    QString error; // the library's text of the failure, when it has one; Failed with neither code
                   // nor text: the program's end stopped the reading child
    int rowsAdded = 0;
    // Rows left out because the main database refused them or their values do not fit its
    // columns: per table, in merge order.
    QList<std::pair<QString, int>> rowsLeftOut;
};

// True when the file starts with the 16-byte header of an SQLite database.
bool isSqliteFile(const QString& path);
// True when the file starts as an Access database does, or is one whose first sector was zeroed.
bool looksLikeAccessFile(const QString& path);

// Merges the database file at `path` into `main`: our own files by their header, anything else as
// an Access file read by the child. The file being `main` itself merges nothing. Everything is
// added in one transaction; an error rolls it back. Our own files are opened read-only, so that
// nothing is written into or beside them. `progress` hears of the rows the child has read.
MergeResult mergeDatabaseFile(QSqlDatabase main, const QString& path,
                              const std::function<void(qint64)>& progress = {});

// A database file goes with the files SQLite keeps beside it (its -wal, -shm and -journal): they
// belong to it alone, and one left behind would be read as part of the next file of that name.
// Removes the file at `path` with them (them first); false when anything stays.
bool removeDatabaseFile(const QString& path);
// Renames the file at `path` to `to`, and them with it; false when the file itself stays.
bool renameDatabaseFile(const QString& path, const QString& to);
// Removes them when the file at `path` is gone.
void removeDatabaseLeftovers(const QString& path);

// A value of an Access file in the storage form of the main-database column `column` (dates
// "yyyy-MM-dd", times "hh:mm", yes/no -1 or 0, levels to the tenth). A value that has no such form
// is given back as it came.
QVariant accessValueToStorage(const QString& column, const QVariant& value);

} // namespace nbx
