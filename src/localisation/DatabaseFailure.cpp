#include "localisation/DatabaseFailure.h"

#include "common/Prompter.h"
#include "localisation/Strings.h"

#include <QDir>
#include <set>
#include <sqlite3.h>

namespace nbx {

namespace {

std::set<DatabaseFault>& shownFaults()
{
    static std::set<DatabaseFault> faults;
    return faults;
}

int g_quiet = 0;

} // namespace

DatabaseFault databaseFault(int code)
{
    switch (code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return DatabaseFault::Busy;
    case SQLITE_FULL: return DatabaseFault::Full;
    case SQLITE_READONLY: return DatabaseFault::ReadOnly;
    case SQLITE_NOTADB: return DatabaseFault::NotADatabase;
    case SQLITE_CORRUPT: return DatabaseFault::Damaged;
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
    case SQLITE_AUTH: return DatabaseFault::Unusable;
    case SQLITE_IOERR: return (code == SQLITE_IOERR_NOMEM) ? DatabaseFault::NoMemory : DatabaseFault::Disk;
    case SQLITE_NOMEM: return DatabaseFault::NoMemory;
    default: return DatabaseFault::Other;
    }
}

QString databaseFailureReason(DatabaseTask task, int code, const QString& libraryText)
{
    QString why;
    switch (databaseFault(code)) {
    case DatabaseFault::Busy: why = GetS(QStringLiteral("Otro programa está usando la base de datos.")); break;
    case DatabaseFault::Full: why = GetS(QStringLiteral("El disco está lleno.")); break;
    case DatabaseFault::ReadOnly: why = GetS(QStringLiteral("La base de datos es de solo lectura.")); break;
    case DatabaseFault::NotADatabase: why = GetS(QStringLiteral("No es una base de datos de este programa.")); break;
    case DatabaseFault::Damaged: why = GetS(QStringLiteral("El fichero está dañado.")); break;
    case DatabaseFault::Unusable: why = GetS(QStringLiteral("La carpeta o el fichero no se pueden usar.")); break;
    case DatabaseFault::Disk: why = GetS(QStringLiteral("Error de lectura o escritura en el disco.")); break;
    case DatabaseFault::NoMemory: why = GetS(QStringLiteral("No hay memoria suficiente.")); break;
    case DatabaseFault::Other:
        // A file to be merged whose schema or rows the library refuses (an unknown table module).
        if (code != 0 && (task == DatabaseTask::Merge || task == DatabaseTask::MergeBackup))
            why = GetS(QStringLiteral("El fichero contiene tablas o filas que este programa no puede leer."));
        break;
    }
    QStringList lines;
    if (!why.isEmpty())
        lines << why;
    if (!libraryText.isEmpty())
        lines << libraryText;
    return lines.join(QLatin1Char('\r'));
}

QString databaseFailureText(DatabaseTask task, const QString& subject, int code, const QString& libraryText)
{
    const QString name = QDir::toNativeSeparators(subject);
    QString what;
    switch (task) {
    case DatabaseTask::Open: what = GetS(QStringLiteral("No se ha podido abrir la base de datos %s."), {name}); break;
    case DatabaseTask::Save: what = GetS(QStringLiteral("No se han podido guardar los cambios en la base de datos.")); break;
    case DatabaseTask::Import: what = GetS(QStringLiteral("No se ha podido importar el fichero %s."), {name}); break;
    case DatabaseTask::Merge: what = GetS(QStringLiteral("No se ha podido añadir la base de datos %s."), {name}); break;
    case DatabaseTask::MergeBackup:
        what = GetS(QStringLiteral("No se ha podido añadir la copia pendiente %s: se intentará de nuevo en el próximo inicio."),
                    {name});
        break;
    }
    const QString reason = databaseFailureReason(task, code, libraryText);
    return reason.isEmpty() ? what : what + QLatin1Char('\r') + reason;
}

void reportDatabaseFailure(DatabaseTask task, const QString& subject, int code, const QString& libraryText)
{
    const DatabaseFault fault = databaseFault(code);
    const bool known = fault != DatabaseFault::Other;
    if (g_quiet > 0 && known && shownFaults().count(fault))
        return;
    if (known)
        shownFaults().insert(fault);
    prompter().message(databaseFailureText(task, subject, code, libraryText), Prompter::Icon::Critical);
}

QuietRepeats::QuietRepeats() { ++g_quiet; }
QuietRepeats::~QuietRepeats() { --g_quiet; }

void forgetDatabaseFaults() { shownFaults().clear(); }

} // namespace nbx
