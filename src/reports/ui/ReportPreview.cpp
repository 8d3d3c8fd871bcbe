// A prepared report laid out and shown in the preview, or its failure shown in one critical message.
#include "reports/ui/ReportPreview.h"

#include "common/Prompter.h"
#include "localisation/DatabaseFailure.h"
#include "localisation/LangDesk.h"
#include "reports/ui/Form15.h"

#include <QApplication>

namespace nbx {

bool showReport(reports::PrintJob job, QWidget* parent)
{
    if (!job.error.isEmpty()) {
        reportFailureText(DatabaseTask::Read, job.error);
        return false;
    }
    if (!job.report)
        return false;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const reports::LayoutResult layout = job.report->layout();
    QApplication::restoreOverrideCursor();
    if (!layout.document) {
        prompter().message(langDesk().GetTranslation(QStringLiteral("No se puede preparar el informe:\r%1")).arg(layout.error),
                           Prompter::Icon::Critical);
        return false;
    }
    Form15 preview(layout.document, parent);
    preview.exec();
    return true;
}

} // namespace nbx
