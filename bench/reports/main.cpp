// Measures the interval report of a device with 10,000 intervals: layout and page count, writing
// the whole PDF, and the time until the preview window shows its first page.
#include "../../tests/reports/ReportSeed.h"

#include "common/AppPaths.h"
#include "common/Database.h"
#include "reports/ReportDrivers.h"
#include "reports/ui/Form15.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QPdfWriter>
#include <QPicture>
#include <QPrintPreviewWidget>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    qputenv("NBX70_HOME", dir.path().toUtf8());
    QString error;
    if (!nbx::Database::open(nbx::AppPaths::databaseFile(), &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    constexpr int kIntervals = 10000;
    nbx::test::seedSheet(123456);
    nbx::test::seedDays(123456, 20);
    nbx::test::seedIntervals(123456, kIntervals);
    const QDateTime last = QDateTime(QDate(2026, 1, 10), QTime(8, 0)).addSecs(qint64(kIntervals - 1) * 900);

    nbx::reports::ListingReportInput in;
    in.serial = 123456;
    in.fromDate = "2026-01-10";
    in.fromTime = "08:00";
    in.toDate = last.date().toString(Qt::ISODate);
    in.toTime = last.time().toString("hh:mm");
    in.fechaTotales = "04/03/26";
    in.horaTotales = "18:30:05";

    for (int run = 0; run < 3; ++run) {
        QElapsedTimer total;
        total.start();
        QElapsedTimer t;
        t.start();
        nbx::reports::PrintJob job = nbx::reports::prepareListingReport(in);
        if (!job.report) {
            std::fprintf(stderr, "%s\n", qPrintable(job.error));
            return 1;
        }
        const nbx::reports::LayoutResult layout = job.report->layout();
        const double layoutMs = t.nsecsElapsed() / 1e6;
        if (!layout.document) {
            std::fprintf(stderr, "%s\n", qPrintable(layout.error));
            return 1;
        }
        t.restart();
        {
            QPdfWriter writer(dir.filePath("intervals.pdf"));
            layout.document->print(writer, &error);
        }
        const double pdfMs = t.nsecsElapsed() / 1e6;
        t.restart();
        {
            const QRectF target(0, 0, 297 * 1200 / 25.4, 210 * 1200 / 25.4);
            for (int p = 0; p < layout.document->pageCount(); ++p) {
                QPicture picture;
                QPainter painter(&picture);
                layout.document->paint(painter, p, target);
            }
        }
        std::printf("painting every page into pictures: %.0f ms\n", t.nsecsElapsed() / 1e6);

        // From the press of the print button to the preview showing its first page.
        t.restart();
        nbx::reports::PrintJob again = nbx::reports::prepareListingReport(in);
        const nbx::reports::LayoutResult shown = again.report->layout();
        nbx::Form15 preview(shown.document);
        preview.show();
        QApplication::processEvents();
        const double previewMs = t.nsecsElapsed() / 1e6;
        const int firstPages = preview.VSPrinter1->pageCount();
        while (preview.VSPrinter1->pageCount() < shown.document->pageCount() && t.elapsed() < 60000)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        const double allMs = t.nsecsElapsed() / 1e6;
        std::printf("run %d: %d intervals: layout %.0f ms, %d pages; PDF written in %.0f ms (whole PDF %.0f ms); "
                    "preview first page after %.0f ms (%d pages shown first), all pages after %.0f ms\n",
                    run + 1, kIntervals, layoutMs, layout.document->pageCount(), pdfMs, layoutMs + pdfMs, previewMs, firstPages,
                    allMs);
    }
    std::printf("goals: whole PDF under 3000 ms, first preview page under 1000 ms\n");
    nbx::Database::close();
    return 0;
}
