#include "reports/ui/ReportPrinting.h"

#include "common/Prompter.h"
#include "localisation/LangDesk.h"
#include "common/chart/ui/ChartPainter.h"
#include "common/chart/ui/ChartView.h"
#include "programming/SheetRepository.h"
#include "programming/ui/Form2.h"
#include "records/ui/Form5.h"
#include "records/ui/Form9.h"
#include "reports/ui/Form6.h"
#include "reports/ui/Form15.h"

#include <QApplication>
#include <QDate>
#include <QLineEdit>
#include <QPainter>
#include <QSqlError>
#include <QSqlQuery>

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

namespace {

RecordWindowContextSource& contextSource()
{
    static RecordWindowContextSource source;
    return source;
}

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

// What the record window showing `serial` shows; none when no record window shows it.
std::optional<RecordWindowContext> shownByRecordWindow(qint32 serial)
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* form = qobject_cast<Form5*>(w);
        if (!form || form->serial() != serial)
            continue;
        RecordWindowContext c;
        c.fechaTotales = form->MaskFechaTotales->text();
        c.horaTotales = form->MaskHoraTotales->text();
        c.intervals = form->inhibitedIntervals();
        return c;
    }
    return std::nullopt;
}

} // namespace

void setRecordWindowContextSource(RecordWindowContextSource source) { contextSource() = std::move(source); }

RecordWindowContext recordWindowContext(qint32 serial)
{
    if (contextSource())
        return contextSource()(serial);
    if (std::optional<RecordWindowContext> shown = shownByRecordWindow(serial))
        return *shown;
    // The record window shows the stored totals stamp and the stored intervals of its device.
    RecordWindowContext c;
    QSqlQuery q(mainDb());
    const bool prepared = q.prepare(QStringLiteral("SELECT DFechaTotales, THoraTotales FROM Programacion WHERE LNumeroSerie = ?"));
    q.addBindValue(serial);
    if (!prepared || !q.exec()) {
        c.error = q.lastError().text();
        return c;
    }
    if (!q.next())
        return c; // no sheet: the report says so itself
    const QDate d = QDate::fromString(q.value(0).toString(), Qt::ISODate);
    c.fechaTotales = d.isValid() ? d.toString(QStringLiteral("dd/MM/")) + QString::number(d.year() % 100).rightJustified(2, QLatin1Char('0'))
                                 : q.value(0).toString();
    c.horaTotales = q.value(1).toString();
    SheetValues sheet;
    if (SheetRepository().load(serial, sheet, &c.error))
        c.intervals = sheet.intervals;
    return c;
}

void printGraphReport(Form9& form)
{
    const std::optional<qint32> serial = reports::parseSerialText(form.TextNumeroSerie->text());
    if (!serial)
        return;
    const RecordWindowContext context = recordWindowContext(*serial);
    if (!context.error.isEmpty()) {
        prompter().message(context.error, Prompter::Icon::Critical);
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
