// Feeds arbitrary bytes to the exchange-file reader: lines, sections, fields, the conversion of
// every row into storage forms and the messages of a refused file.
#include "import/ExchangeImport.h"
#include "import/ExchangeReader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const nbx::ExchangeText text(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    QList<nbx::ExchangeSection> sections;
    if (auto e = nbx::splitSections(text, &sections)) {
        nbx::formatErrorText(*e);
        return 0;
    }
    for (int table = 0; table < nbx::kExchangeTableCount; ++table) {
        const qsizetype total = nbx::countRows(text, sections, table);
        qsizetype n = 0;
        const auto e = nbx::readTableRows(text, sections, table, [&](const nbx::StorageRow&) { return ++n > 0; });
        if (e) {
            if (e->value.size() > 61)
                __builtin_trap();
            nbx::formatErrorText(*e);
        } else if (n != total) {
            __builtin_trap();
        }
    }
    return 0;
}
