// What the shell asks of the import side: merging another database and importing an exchange file.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace nbx {

enum class MergeOutcome {
    Merged,     // rows added (or nothing to add)
    OpenFailed, // the file itself cannot be merged (not a database, damaged, refused by the library)
    Failed,     // not the file's fault (busy, full, read-only, I/O, no memory): rolled back
    NotRun,     // a device operation was running (the user heard a beep), or the program is ending
};

struct MergeReport {
    MergeReport(MergeOutcome o = MergeOutcome::Merged, int c = 0, QString e = {}) : outcome(o), code(c), error(std::move(e)) {}
    MergeOutcome outcome;
    int code;      // SQLite's result code of a failure
    QString error; // the library's text of a failure
    QStringList rowsLeftOut; // of a merge: one line for the user per table whose rows were left out
};

class ImportService {
public:
    virtual ~ImportService() = default;
    // Merges the database at `path` into the main one. Rows left out and failures are left to the
    // caller to tell (reportMergeFailure).
    virtual MergeReport mergeDatabase(const QString& path) = 0;
    // Imports an exchange (.KM70) file through its modal window.
    virtual void importExchangeFile(const QString& path) = 0;
};

// Tells the user why the file at `path` could not be merged ("Formato incorrecto" when it is the
// file's fault), or which rows a merge left out; nothing for a whole merge or one that did not run.
void reportMergeFailure(const QString& path, const MergeReport& report);

// Called by the service after a merge or an import that wrote rows into the main database, so that
// the open windows read what they show again. Installed by the main window.
void setRowsImportedHandler(std::function<void()> handler);
void rowsImported();

// The installed service, or nullptr while the program has none.
ImportService* importService();
void setImportService(ImportService* service);

// What the import button does with a chosen file, by its ending (any case).
enum class ImportFileKind { None, Database, Exchange, Unknown };
ImportFileKind importFileKind(const QString& path); // "" None, ".MDB" Database, ".KM70" Exchange

} // namespace nbx
