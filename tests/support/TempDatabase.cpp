#include "TempDatabase.h"

#include "common/AppPaths.h"
#include "common/Database.h"

#include <cstdio>

namespace nbx::test {

TempHome::TempHome()
{
    hadPrevious_ = qEnvironmentVariableIsSet("NBX70_HOME");
    previous_ = qgetenv("NBX70_HOME");
    qputenv("NBX70_HOME", dir_.path().toUtf8());
}

TempHome::~TempHome()
{
    if (hadPrevious_)
        qputenv("NBX70_HOME", previous_);
    else
        qunsetenv("NBX70_HOME");
}

TempDatabase::TempDatabase()
{
    QString error;
    if (!Database::open(AppPaths::databaseFile(), &error))
        std::fprintf(stderr, "TempDatabase: %s\n", qPrintable(error));
}

TempDatabase::~TempDatabase() { Database::close(); }

} // namespace nbx::test
