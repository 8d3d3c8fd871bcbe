#include "localisation/DatabaseFailure.h"

#include "common/Database.h"
#include "common/Prompter.h"
#include "localisation/Strings.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <cerrno>
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

namespace {

QString reasonLines(const QString& why, const QString& libraryText)
{
    QStringList lines;
    if (!why.isEmpty())
        lines << why;
    if (!libraryText.isEmpty())
        lines << libraryText;
    return lines.join(QLatin1Char('\r'));
}

// A fault on a file the program writes (the main database, its journal beside it, a file saved)
// that its folder explains better than the code: the folder cannot be written, or its disk has no
// space left. Empty when the folder explains nothing.
QString folderReason(DatabaseTask task, const QString& subject, DatabaseFault fault)
{
    const bool written = task == DatabaseTask::Open || task == DatabaseTask::WriteFile;
    if (!written || subject.isEmpty()
        || (fault != DatabaseFault::Unusable && fault != DatabaseFault::ReadOnly && fault != DatabaseFault::Disk))
        return {};
    const QFileInfo folder(QFileInfo(subject).absolutePath());
    if (!folder.isDir()) // a file saved under a folder typed wrong
        return task == DatabaseTask::WriteFile
            ? GetS(QStringLiteral("La carpeta %s no existe."), {QDir::toNativeSeparators(folder.absoluteFilePath())})
            : QString();
    if (!folder.isWritable())
        return GetS(QStringLiteral("La carpeta %s es de solo lectura."), {QDir::toNativeSeparators(folder.absoluteFilePath())});
    if (fault != DatabaseFault::ReadOnly) {
        const QStorageInfo disk(folder.absoluteFilePath());
        if (disk.isValid() && disk.isReady() && disk.bytesAvailable() == 0)
            return GetS(QStringLiteral("El disco está lleno."));
    }
    return {};
}

} // namespace

int systemErrorCode(int systemError)
{
    switch (systemError) {
    case ENOSPC:
    case EDQUOT: return SQLITE_FULL;
    case EROFS: return SQLITE_READONLY;
    case EACCES:
    case EPERM: return SQLITE_PERM;
    case ENOENT:
    case ENOTDIR: return SQLITE_CANTOPEN; // no such folder
    case EIO: return SQLITE_IOERR;
    case ENOMEM: return SQLITE_NOMEM;
    default: return 0;
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
    return reasonLines(why, libraryText);
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
    case DatabaseTask::WriteFile: what = GetS(QStringLiteral("No se ha podido escribir el fichero %s."), {name}); break;
    case DatabaseTask::Read: what = GetS(QStringLiteral("No se han podido leer los datos de la base de datos.")); break;
    case DatabaseTask::Download:
        what = GetS(QStringLiteral("No se ha podido guardar la descarga en la base de datos. El NBX-70 conserva sus registros."));
        break;
    case DatabaseTask::DownloadRecords:
        what = GetS(QStringLiteral("No se han guardado los últimos registros recibidos. El NBX-70 los conserva: la próxima "
                                   "descarga propondrá empezar el %s para recibirlos de nuevo."),
                    {subject});
        break;
    }
    const QString folder = folderReason(task, subject, databaseFault(code));
    const QString reason = folder.isEmpty() ? databaseFailureReason(task, code, libraryText) : reasonLines(folder, libraryText);
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

void reportFailureText(DatabaseTask task, const QString& text)
{
    if (sqlFailureNoted(text))
        reportDatabaseFailure(task, {}, sqlFailureCodeOf(text), text);
    else
        prompter().message(text, Prompter::Icon::Critical);
}

QString failureText(DatabaseTask task, const QString& text)
{
    return sqlFailureNoted(text) ? databaseFailureText(task, {}, sqlFailureCodeOf(text), text) : text;
}

QuietRepeats::QuietRepeats() { ++g_quiet; }
QuietRepeats::~QuietRepeats() { --g_quiet; }

void forgetDatabaseFaults() { shownFaults().clear(); }

} // namespace nbx
