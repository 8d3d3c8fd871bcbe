// The print buttons' actions on the windows of the areas below the reports.
#include "reports/ui/ReportPrinting.h"

#include "common/Prompter.h"
#include "localisation/DatabaseFailure.h"
#include "localisation/LangDesk.h"
#include "common/chart/ui/ChartPainter.h"
#include "common/chart/ui/ChartView.h"
#include "programming/ui/Form2.h"
#include "records/ui/Form5.h"
#include "records/ui/Form9.h"
#include "reports/ReportDrivers.h"
#include "reports/ui/Form6.h"
#include "reports/ui/RecordWindowContext.h"
#include "reports/ui/ReportPreview.h"

#include <QLineEdit>
#include <QPainter>

namespace nbx {

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

namespace {

// A chart as a vector picture of `size` units, as the window shows it now.
QPicture chartPicture(const ChartView& view, const QSize& size)
{
    QPicture picture;
    QPainter painter(&picture);
    paintChart(painter, *view.model(), QRectF(QPointF(0, 0), QSizeF(size)), view.font());
    painter.end();
    picture.setBoundingRect(QRect(QPoint(0, 0), size));
    return picture;
}

} // namespace

void printGraphReport(Form9& form)
{
    const std::optional<qint32> serial = reports::parseSerialText(form.TextNumeroSerie->text());
    if (!serial)
        return;
    const RecordWindowContext context = recordWindowContext(*serial);
    if (!context.error.isEmpty()) {
        reportFailureText(DatabaseTask::Read, context.error);
        return;
    }
    reports::GraphReportInput in;
    in.serial = *serial;
    in.fechaTotales = context.fechaTotales;
    in.horaTotales = context.horaTotales;
    in.intervals = context.intervals;
    // The window's proportions: the level chart about 2.3:1, the event chart about 5.1:1. Both fill
    // their fields' width, so the aligned plots stay aligned on paper.
    in.levelChart = chartPicture(*form.Chart2D1, QSize(1180, 511));
    in.eventChart = chartPicture(*form.Chart2D2, QSize(1180, 230));
    showReport(reports::prepareGraphReport(in), &form);
}

void installReportPrinting()
{
    Form2::setPrintHandler([](Form2& form) { printSheetReport(form); });
    Form9::setPrintHandler([](Form9& form) { printGraphReport(form); });
    Form5::setListingOpener([](Form5& from) {
        Form6 listing(&from);
        listing.Form_Load(from.serial());
        listing.exec();
    });
}

} // namespace nbx
