#include "import/ImportService.h"

namespace nbx {

namespace {
ImportService* g_service = nullptr;
}

ImportService* importService() { return g_service; }
void setImportService(ImportService* service) { g_service = service; }

ImportFileKind importFileKind(const QString& path)
{
    if (path.isEmpty())
        return ImportFileKind::None;
    if (path.right(4).toUpper() == QLatin1String(".MDB"))
        return ImportFileKind::Database;
    if (path.right(5).toUpper() == QLatin1String(".KM70"))
        return ImportFileKind::Exchange;
    return ImportFileKind::Unknown;
}

} // namespace nbx
