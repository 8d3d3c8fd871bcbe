// Feeds arbitrary bytes to the report definition reader as the text of a definition file.
#include "reports/Report.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray text(reinterpret_cast<const char*>(data), qsizetype(size));
    const nbx::reports::LoadResult r = nbx::reports::loadReportText(text, QStringLiteral("fuzz.xml"), QStringLiteral("NBX70_1"));
    if (!r.report == r.error.isEmpty())
        __builtin_trap(); // a report or an error, never both or neither
    return 0;
}
