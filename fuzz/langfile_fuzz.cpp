// Feeds arbitrary bytes to the text language database reader and its lookups.
#include "FuzzFile.h"
#include "localisation/LangDesk.h"

#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("lang.txt"));
    if (!writeFuzzFile(path, data, size))
        return 0;
    for (const char* column : {"English", "Native"}) {
        nbx::LangDesk d;
        d.setSForeignColumnName(QString::fromLatin1(column));
        if (d.OpenLanguageDatabase(path, true, nbx::LangDesk::TextLanguageDatabase)) {
            d.GetTranslation(QStringLiteral("Fecha"));
            d.GetTranslation(QStringLiteral("A"));
            d.GetS(37);
        }
    }
    return 0;
}
