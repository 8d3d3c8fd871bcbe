// What the shell asks of the import side: merging another database and importing an exchange file.
#pragma once

#include <QString>

namespace nbx {

enum class MergeOutcome {
    Merged,     // rows added (or nothing to add)
    OpenFailed, // the file cannot be merged (not a database, damaged): "Formato incorrecto" was shown
    Failed,     // not the file's fault (busy, full, read-only, I/O): rolled back, its error was shown
};

class ImportService {
public:
    virtual ~ImportService() = default;
    // Merges the database at `path` into the main one; reports its own failures to the user.
    virtual MergeOutcome mergeDatabase(const QString& path) = 0;
    // Imports an exchange (.KM70) file through its modal window.
    virtual void importExchangeFile(const QString& path) = 0;
};

// The installed service, or nullptr while the program has none.
ImportService* importService();
void setImportService(ImportService* service);

// What the import button does with a chosen file, by its ending (any case).
enum class ImportFileKind { None, Database, Exchange, Unknown };
ImportFileKind importFileKind(const QString& path); // "" None, ".MDB" Database, ".KM70" Exchange

} // namespace nbx
