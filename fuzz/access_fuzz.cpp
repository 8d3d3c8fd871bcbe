// Feeds arbitrary bytes as a database file to the merge: anything that is not our own file goes to
// the Access reading child, whose failures, crashes and hangs must all end as "not a database"
// within its time limit, and whose output is merged like our own files. The seeds are an Access 97
// and an Access 2000 file written by the tests' Access file writer (tests/support/AccessFileWriter)
// with rows for three tables of the main database.
#include "FuzzFile.h"
#include "common/Database.h"
#include "import/DatabaseMerge.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

struct Setup {
    int argc = 1;
    char name[16] = "fuzz_access";
    char* argv[2] = {name, nullptr};
    QCoreApplication app{argc, argv};
    QTemporaryDir dir;
    QString input;

    Setup()
    {
        QString error;
        if (!dir.isValid() || !nbx::Database::open(dir.filePath(QStringLiteral("nbx70.db")), &error))
            std::abort();
        nbx::setAccessReaderCommand({QStringLiteral(NBX70_ACCESS_READER), {}, 3000});
        input = dir.filePath(QStringLiteral("input.mdb"));
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Setup setup;
    if (!writeFuzzFile(setup.input, data, size))
        std::abort();
    const nbx::MergeResult r = nbx::mergeDatabaseFile(nbx::mainDb(), setup.input);
    if (r.status == nbx::MergeResult::Status::Failed && r.error.contains(QLatin1String("cannot be started")))
        std::abort(); // the reading child must be there
    return 0;
}
