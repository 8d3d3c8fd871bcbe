// Feeds arbitrary bytes to the exchange-file reader: lines, sections, fields and cell conversion.
#include "import/ExchangeImport.h"
#include "import/ExchangeReader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const nbx::ExchangeText text(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    QList<nbx::ExchangeSection> sections;
    if (nbx::splitSections(text, &sections))
        return 0;
    QVector<QVariant> values;
    QList<nbx::TypedRow> rows;
    for (const nbx::ExchangeSection& s : sections) {
        if (s.table < 0)
            continue;
        nbx::readSection(text, s, nbx::exchangeTables()[s.table], &rows);
        for (qsizetype i = s.firstLine + 1; i < s.endLine; ++i)
            if (auto e = nbx::convertLine(s.table, text.line(i), i + 1, &values))
                nbx::formatErrorText(*e);
    }
    return 0;
}
