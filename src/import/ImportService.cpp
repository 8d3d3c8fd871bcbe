#include "import/ImportService.h"

namespace nbx {

namespace {
ImportService* g_service = nullptr;
}

ImportService* importService() { return g_service; }
void setImportService(ImportService* service) { g_service = service; }

} // namespace nbx
