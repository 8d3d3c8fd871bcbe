#include "import/ImportService.h"

#include "common/Prompter.h"
#include "localisation/DatabaseFailure.h"
#include "localisation/Strings.h"

namespace nbx {

namespace {
ImportService* g_service = nullptr;
std::function<void()> g_rowsImported;
}

ImportService* importService() { return g_service; }
void setImportService(ImportService* service) { g_service = service; }

void setRowsImportedHandler(std::function<void()> handler) { g_rowsImported = std::move(handler); }

void rowsImported()
{
    if (g_rowsImported)
        g_rowsImported();
}

void reportMergeFailure(const QString& path, const MergeReport& report)
{
    switch (report.outcome) {
    case MergeOutcome::OpenFailed: {
        const QString reason = databaseFailureReason(DatabaseTask::Merge, report.code, report.error);
        prompter().message(reason.isEmpty() ? GetS(157) : GetS(157) + QLatin1Char('\r') + reason, Prompter::Icon::Critical);
        break;
    }
    case MergeOutcome::Failed: reportDatabaseFailure(DatabaseTask::Merge, path, report.code, report.error); break;
    case MergeOutcome::Merged:
        if (!report.rowsLeftOut.isEmpty())
            prompter().message(report.rowsLeftOut.join(u'\n'), Prompter::Icon::Exclamation);
        break;
    case MergeOutcome::NotRun: break;
    }
}

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
