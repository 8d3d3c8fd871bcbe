// nbx70-access-reader: reads an Access file into a database file of our own, for the program's merge.
// Usage: nbx70-access-reader <file.mdb> <out.db>. Exits with 0 when `out` holds the file's tables;
// writes the rows read so far on its standard output, one number a line. It ends with the program
// that started it, even when that one is killed.
#include "import/AccessReaderChild.h"
#include "import/DatabaseMerge.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    nbx::endWithParentProcess();
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3)
        return 64;
    auto reader = nbx::makeAccessReader();
    QString error;
    if (!reader->open(args[1], &error))
        return 2;
    const auto progress = [](qint64 rows) {
        std::printf("%lld\n", static_cast<long long>(rows));
        std::fflush(stdout);
    };
    return nbx::copyAccessTables(*reader, args[2], progress, &error) ? 0 : 3;
}
