// Merging another database into the main one: rows are only added, Configuracion is never copied.
// Our own database files are attached; Access files are read through an AccessReader.
#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>

namespace nbx {

// What an Access (.mdb) file gives the merge. Values come as text (null for an empty cell): dates
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

// The reader of Access files through libmdb.
std::unique_ptr<AccessReader> makeAccessReader();

struct MergeResult {
    enum class Status { Merged, NothingToMerge, NotADatabase, Failed };
    Status status = Status::Merged;
    QString error; // Failed: the database's description
    int rowsAdded = 0;
};

// True when the file starts with the 16-byte header of an SQLite database.
bool isSqliteFile(const QString& path);

// Merges the database file at `path` into `main`: our own files by their header, anything else as
// an Access file read by `access` (libmdb when null). The file being `main` itself merges nothing.
// Everything is added in one transaction; an error rolls it back.
MergeResult mergeDatabaseFile(QSqlDatabase main, const QString& path, AccessReader* access = nullptr);

// A value of an Access file in the storage form of the main-database column `column` (dates
// "yyyy-MM-dd", times "hh:mm", yes/no -1 or 0, levels to the tenth).
QVariant accessValueToStorage(const QString& column, const QVariant& value);

} // namespace nbx
