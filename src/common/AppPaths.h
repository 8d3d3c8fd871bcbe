// Every file location of the program. Nothing else builds paths.
#pragma once

#include <QString>

namespace nbx {

class AppPaths {
public:
    // Folder of nbx70.ini; folder of the databases and the pending backup. With NBX70_HOME set,
    // both are that folder. Created on demand.
    static QString configDir();
    static QString dataDir();
    // Read-only files installed beside the program (help, report layouts, language file):
    // <prefix>/share/nbx70 beside the binary, else the source tree's resources folder.
    static QString resourceDir();

    static QString configFile();   // nbx70.ini
    static QString databaseFile(); // nbx70.db
    static QString backupFile();   // backupnbx70.bak

    // The entry of `dir` named `name`, compared case-insensitively; empty when there is none.
    static QString findFile(const QString& dir, const QString& name);
    // `dir`/`name` with the case of an existing entry when there is one.
    static QString resolve(const QString& dir, const QString& name);
};

// True when `path` names an existing file (no wildcards).
bool ExisteFichero(const QString& path);

} // namespace nbx
