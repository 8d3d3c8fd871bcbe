#include "reports/ui/ReportPrinting.h"

#include "common/Prompter.h"
#include "localisation/LangDesk.h"
#include "programming/ui/Form2.h"
#include "reports/ui/Form15.h"

#include <QApplication>
#include <QLineEdit>

namespace nbx {

bool showReport(reports::PrintJob job, QWidget* parent)
{
    if (!job.error.isEmpty()) {
        prompter().message(job.error, Prompter::Icon::Critical);
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

void printSheetReport(Form2& form)
{
    const QString text = form.MaskNumeroSerie->text();
    const std::optional<qint32> serial = reports::parseSerialText(text);
    if (!serial) {
        prompter().message(langDesk().GetTranslation(QStringLiteral("El número de serie %1 no es válido")).arg(text.trimmed()),
                           Prompter::Icon::Critical);
        return;
    }
    if (*serial == 0)
        return;
    form.Modificat();
    showReport(reports::prepareSheetReport(*serial, form.MaskVersion->text(), form.sheet().intervals), &form);
}

void installReportPrinting()
{
    Form2::setPrintHandler([](Form2& form) { printSheetReport(form); });
}

} // namespace nbx
