#include "common/AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace nbx {

namespace {

QString homeOverride() { return qEnvironmentVariable("NBX70_HOME"); }

QString ensured(const QString& dir)
{
    QDir().mkpath(dir);
    return dir;
}

} // namespace

QString AppPaths::configDir()
{
    const QString home = homeOverride();
    if (!home.isEmpty())
        return ensured(home);
    return ensured(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation));
}

QString AppPaths::dataDir()
{
    const QString home = homeOverride();
    if (!home.isEmpty())
        return ensured(home);
    return ensured(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
}

QString AppPaths::resourceDir()
{
    const QString installed =
        QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(QStringLiteral("../share/nbx70"));
    if (QFileInfo(installed).isDir())
        return QDir::cleanPath(installed);
    return QStringLiteral(NBX70_SOURCE_RESOURCES);
}

QString AppPaths::configFile() { return resolve(configDir(), QStringLiteral("nbx70.ini")); }
QString AppPaths::databaseFile() { return resolve(dataDir(), QStringLiteral("nbx70.db")); }
QString AppPaths::backupFile() { return resolve(dataDir(), QStringLiteral("backupnbx70.bak")); }

QString AppPaths::findFile(const QString& dir, const QString& name)
{
    QDir d(dir);
    if (QFileInfo::exists(d.filePath(name)))
        return d.filePath(name);
    const QStringList entries = d.entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QString& e : entries)
        if (e.compare(name, Qt::CaseInsensitive) == 0)
            return d.filePath(e);
    return {};
}

QString AppPaths::resolve(const QString& dir, const QString& name)
{
    const QString found = findFile(dir, name);
    return found.isEmpty() ? QDir(dir).filePath(name) : found;
}

bool ExisteFichero(const QString& path) { return !path.isEmpty() && QFileInfo(path).isFile(); }

} // namespace nbx
