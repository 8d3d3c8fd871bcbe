#include "import/AccessReaderChild.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <limits>
#include <sys/prctl.h>
#include <unistd.h>

namespace nbx {

namespace {

const char kPrefix[] = "nbx70-access-";

// The process id in a name "nbx70-access-<pid>-...", or 0.
pid_t ownerOf(const QString& name)
{
    const qsizetype start = qsizetype(sizeof kPrefix - 1);
    const qsizetype dash = name.indexOf(QLatin1Char('-'), start);
    if (!name.startsWith(QLatin1String(kPrefix)) || dash <= start)
        return 0;
    bool ok = false;
    const qlonglong pid = QStringView(name).mid(start, dash - start).toLongLong(&ok);
    return ok && pid > 0 && pid <= std::numeric_limits<pid_t>::max() ? pid_t(pid) : 0;
}

bool runs(pid_t pid)
{
    // Another user's process cannot be signalled, but it runs.
    return ::kill(pid, 0) == 0 || errno != ESRCH;
}

} // namespace

QString accessTempFileTemplate()
{
    return QDir(QDir::tempPath())
        .filePath(QStringLiteral("%1%2-XXXXXX.db").arg(QLatin1String(kPrefix)).arg(QCoreApplication::applicationPid()));
}

void tieAccessReaderToThisProcess(QProcess& child)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QLatin1String(kAccessReaderParentVariable), QString::number(QCoreApplication::applicationPid()));
    child.setProcessEnvironment(env);
}

void endWithParentProcess()
{
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    // A parent that ended before the line above leaves this process to another one.
    const char* parent = std::getenv(kAccessReaderParentVariable);
    if (parent && std::atoll(parent) != ::getppid())
        std::_Exit(70);
}

int removeLeftoverAccessFiles()
{
    QDir temp(QDir::tempPath());
    int removed = 0;
    const QStringList names = temp.entryList({QLatin1String(kPrefix) + QLatin1Char('*')}, QDir::Files | QDir::Hidden);
    for (const QString& name : names) {
        const pid_t owner = ownerOf(name);
        if (owner > 0 && !runs(owner) && QFile::remove(temp.filePath(name)))
            ++removed;
    }
    return removed;
}

} // namespace nbx
