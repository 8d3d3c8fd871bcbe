// The preview window and the programming window's print button, through the real windows.
#include "ReportSeed.h"

#include "programming/ui/Form2.h"
#include "records/ui/Form9.h"
#include "reports/ReportDrivers.h"
#include "reports/ui/Form15.h"
#include "reports/ui/ReportPrinting.h"
#include "link/LinkState.h"
#include "link/Link.h"
#include "support/ScriptedPrompter.h"
#include "support/TempDatabase.h"
#include "localisation/LangDesk.h"
#include "localisation/Strings.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QSqlQuery>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <tuple>

namespace nbx::test {

namespace {

std::shared_ptr<const reports::ReportDocument> sheetDocument()
{
    reports::PrintJob job = reports::prepareSheetReport(123456, "2.0", InhibitedIntervals{});
    EXPECT_TRUE(job.report) << job.error.toStdString();
    return job.report ? job.report->layout().document : nullptr;
}

// The print dialog accepted with `file` as a PDF output, of pages `from` to `to` when given.
Form15::PrintDialog printsTo(const QString& file, int from = 0, int to = 0)
{
    return [=](QPrinter& printer, QWidget*) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(file);
        if (from) {
            printer.setPrintRange(QPrinter::PageRange);
            printer.setFromTo(from, to);
        }
        return true;
    };
}

QString pdfToText(const QString& path)
{
    QProcess p;
    p.start("pdftotext", {path, "-"});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace

TEST(Form15, NullDocumentGivesAnEmptyPreviewThatPrintsNothing)
{
    ScriptedPrompter prompter;
    Form15 form(nullptr);
    int dialogs = 0;
    form.setPrintDialog([&](QPrinter&, QWidget*) { return ++dialogs, true; });
    form.show();
    QApplication::processEvents();
    form.SSCommandImprimir->click();
    EXPECT_EQ(dialogs, 0);
    EXPECT_TRUE(prompter.shown.isEmpty());
    EXPECT_EQ(form.windowTitle(), "NBX-70");
    EXPECT_EQ(form.SSCommandExit->toolTip(), "Volver");
}

TEST(Form15, PrintsThroughQPrinterAndReportsAnOutputThatCannotOpen)
{
    TempDatabase db;
    seedSheet(123456);
    ScriptedPrompter prompter;
    Form15 form(sheetDocument());
    const QString out = db.file("printed.pdf");
    form.setPrintDialog(printsTo(out));
    form.show();
    QApplication::processEvents();
    EXPECT_EQ(form.VSPrinter1->pageCount(), 1);
    form.SSCommandImprimir->click();
    EXPECT_TRUE(prompter.shown.isEmpty());
    EXPECT_TRUE(pdfToText(out).contains("Marta Vidal"));

    form.setPrintDialog(printsTo(db.file("missing/folder/out.pdf")));
    form.SSCommandImprimir->click();
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_EQ(prompter.shown[0].icon, Prompter::Icon::Critical);

    form.setPrintDialog([&](QPrinter&, QWidget*) { return false; }); // cancelled: nothing
    form.SSCommandImprimir->click();
    EXPECT_EQ(prompter.shown.size(), 1);

    // A PDF that cannot be written whole: one message each with the system's reason, no partial
    // file, a device kept.
    QFile plain(db.file("plain"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    const QString partial = db.file("partial.pdf");
    const std::tuple<QString, int, QString> targets[] = {
        {QStringLiteral("/dev/full"), ENOSPC, GetS(QStringLiteral("El disco está lleno."))},
        {db.file("plain/out.pdf"), ENOTDIR, GetS(QStringLiteral("La carpeta %s no existe."), {db.file("plain")})},
        {partial, EFBIG, QString()}};
    for (const auto& [target, reason, why] : targets) {
        form.setPrintDialog(printsTo(target));
        // The last as on a disk that fills up: no file may grow past 2 KB.
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        if (target == partial) {
            rlimit small = old;
            small.rlim_cur = 2048;
            setrlimit(RLIMIT_FSIZE, &small);
        }
        form.SSCommandImprimir->click();
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
        ASSERT_EQ(prompter.shown.size(), 2) << target.toStdString();
        // What could not be done, why in words when the system's number has them, the system's text.
        const QString what = GetS(QStringLiteral("No se ha podido escribir el fichero %s."), {target});
        EXPECT_EQ(prompter.shown.last().text.toStdString(),
                  (why.isEmpty() ? QStringList{what} : QStringList{what, why})
                      .join(u'\r')
                      .append(u'\r' + target + ": " + QString::fromLocal8Bit(std::strerror(reason)))
                      .toStdString());
        prompter.shown.removeLast();
    }
    EXPECT_FALSE(QFileInfo("/dev/full").isFile());
    EXPECT_EQ(QDir(db.file(".")).entryList({"*.pdf*"}, QDir::Files), QStringList{"printed.pdf"});
}

// A print that fails, on the printer or into a PDF file, in the user's language: one box each,
// what could not be done, why in words, the system's text last.
TEST(Form15, APrintThatFailsSaysWhatAndWhyInTheUsersLanguage)
{
    qputenv("CUPS_SERVER", "/nonexistent/cups.sock"); // no printer, whatever this machine has
    TempDatabase db;
    seedSheet(123456);
    ScriptedPrompter prompter;
    Form15 form(sheetDocument());
    const QString folder = db.file("missing"), missing = folder + "/out.pdf", pdf = db.file("out.pdf");
    const QString system = missing + ": " + QString::fromLocal8Bit(std::strerror(ENOENT));
    const struct {
        const char* language; // empty: Spanish, none set up
        const char* printer;
        const char* missing; // %1 the folder, %2 the file, %3 the system's text
        const char* range;   // %1 the file; pages 2 to 3 of a one-page report
    } cases[] = {
        {"", "No se ha podido imprimir el informe.\rNo hay ninguna impresora instalada.",
         "No se ha podido escribir el fichero %2.\rLa carpeta %1 no existe.\r%3",
         "No se ha podido escribir el fichero %1.\rNinguna página del informe está en el intervalo elegido (1-1)."},
        {"English", "The report could not be printed.\rNo printer is installed.",
         "The file %2 could not be written.\rThe folder %1 does not exist.\r%3",
         "The file %1 could not be written.\rNo page of the report is in the range chosen (1-1)."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.language);
        QString name = QStringLiteral("Language.db");
        if (*c.language) {
            ASSERT_TRUE(SetupLanguage(name, QString::fromUtf8(c.language), langDesk(), {QStringLiteral(NBX70_SOURCE_RESOURCES)}));
        }
        const std::pair<QString, QString> targets[] = {
            {QString(), QString::fromUtf8(c.printer)},
            {missing, QString::fromUtf8(c.missing).arg(folder, missing, system)},
            {pdf, QString::fromUtf8(c.range).arg(pdf)},
        };
        for (const auto& [target, expected] : targets) {
            form.setPrintDialog(target.isEmpty() ? [](QPrinter& printer, QWidget*) {
                printer.setOutputFormat(QPrinter::NativeFormat);
                printer.setPrinterName("Oficina");
                return true;
            } : printsTo(target, target == pdf ? 2 : 0, 3));
            prompter.shown.clear();
            form.SSCommandImprimir->click();
            ASSERT_EQ(prompter.shown.size(), 1) << target.toStdString();
            EXPECT_EQ(prompter.shown[0].icon, Prompter::Icon::Critical);
            EXPECT_EQ(prompter.shown[0].text.toStdString(), expected.toStdString());
        }
    }
    EXPECT_FALSE(QFile::exists(pdf));
    shutdownLangDesk();
}

TEST(Form15, LongDocumentShowsEveryPageAtOnceAndPrintsTheRangeChosen)
{
    TempDatabase db;
    seedSheet(123456);
    seedIntervals(123456, 150);
    reports::ListingReportInput in;
    in.serial = 123456;
    in.fromDate = "2026-01-01"; in.fromTime = "00:00";
    in.toDate = "2026-12-31"; in.toTime = "23:59";
    reports::PrintJob job = reports::prepareListingReport(in);
    ASSERT_TRUE(job.report) << job.error.toStdString();
    auto doc = job.report->layout().document;
    ASSERT_TRUE(doc);
    ASSERT_GT(doc->pageCount(), 10);
    ScriptedPrompter prompter;
    Form15 form(doc);
    form.show();
    EXPECT_EQ(form.VSPrinter1->pageCount(), doc->pageCount());
    // The last page shows when scrolled to: page paper, not the background.
    form.VSPrinter1->verticalScrollBar()->setValue(form.VSPrinter1->verticalScrollBar()->maximum());
    const QImage end = form.VSPrinter1->viewport()->grab().toImage();
    EXPECT_EQ(end.pixelColor(end.width() / 2, end.height() / 2), QColor(Qt::white));

    const QString out = db.file("range.pdf");
    form.setPrintDialog(printsTo(out, 2, 2));
    form.SSCommandImprimir->click();
    EXPECT_TRUE(prompter.shown.isEmpty());
    const QString text = pdfToText(out);
    EXPECT_EQ(text.count('\f'), 1); // one page
    const QStringList first = doc->pageTexts(0), second = doc->pageTexts(1);
    EXPECT_TRUE(text.contains(second.last())) << second.last().toStdString();
    EXPECT_FALSE(text.contains(first.last())) << first.last().toStdString();
}

TEST(Form15, ProgrammingWindowPrintButtonShowsTheSheetReport)
{
    TempDatabase db;
    seedSheet(123456);
    programmingState() = ProgrammingState{};
    linkState().NumeroSerieEqp = 123456;
    installReportPrinting();
    ScriptedPrompter prompter;
    Form2 form;
    form.load(123456);
    form.show();
    ASSERT_TRUE(form.SSCommandImprimir->isEnabled());
    int pages = -1;
    QTimer::singleShot(0, [&] {
        if (auto* preview = qobject_cast<Form15*>(QApplication::activeModalWidget())) {
            pages = preview->VSPrinter1->pageCount();
            if (const QString dir = qEnvironmentVariable("NBX70_SCREENSHOT_DIR"); !dir.isEmpty())
                preview->grab().save(dir + "/form15.png");
            preview->SSCommandExit->click();
        }
    });
    form.SSCommandImprimir->click();
    EXPECT_EQ(pages, 1);
    EXPECT_TRUE(prompter.shown.isEmpty());

    // A serial that is not a number reaches no query.
    form.MaskNumeroSerie->setText("1 OR 1=1");
    form.SSCommandImprimir->click();
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_EQ(prompter.shown[0].icon, Prompter::Icon::Critical);
    form.close();
}

TEST(Form15, GraphWindowPrintButtonShowsBothChartsAndTheSheet)
{
    TempDatabase db;
    seedSheet(123456);
    seedIntervals(123456, 80);
    installReportPrinting();
    ScriptedPrompter prompter;
    Form9 form;
    ASSERT_TRUE(form.Form_Load(123456, "05/03/26", "Bar La Plaza"));
    form.show();
    ASSERT_TRUE(form.SSCommandImprimir->isEnabled());
    std::shared_ptr<const reports::ReportDocument> shown;
    int pages = -1;
    QTimer::singleShot(0, [&] {
        if (auto* preview = qobject_cast<Form15*>(QApplication::activeModalWidget())) {
            pages = preview->VSPrinter1->pageCount();
            if (const QString dir = qEnvironmentVariable("NBX70_SCREENSHOT_DIR"); !dir.isEmpty())
                preview->grab().save(dir + "/form15_graph.png");
            preview->SSCommandExit->click();
        }
    });
    form.SSCommandImprimir->click();
    EXPECT_TRUE(prompter.shown.isEmpty()) << (prompter.shown.isEmpty() ? "" : prompter.shown[0].text.toStdString());
    EXPECT_EQ(pages, 2);

    // The device's totals cannot be read: the database's own error, no preview.
    QSqlQuery q(mainDb());
    ASSERT_TRUE(q.exec("ALTER TABLE Programacion RENAME COLUMN THoraTotales TO Otra"));
    pages = -1;
    QTimer::singleShot(0, [&] {
        if (auto* preview = qobject_cast<Form15*>(QApplication::activeModalWidget())) {
            pages = preview->VSPrinter1->pageCount();
            preview->SSCommandExit->click();
        }
    });
    form.SSCommandImprimir->click();
    QApplication::processEvents();
    EXPECT_EQ(pages, -1);
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_TRUE(prompter.shown[0].text.contains("THoraTotales")) << prompter.shown[0].text.toStdString();
    EXPECT_EQ(prompter.shown[0].icon, Prompter::Icon::Critical);
    ASSERT_TRUE(q.exec("ALTER TABLE Programacion RENAME COLUMN Otra TO THoraTotales"));
    prompter.shown.clear();

    // A device without a sheet: one message, no preview.
    q.exec("DELETE FROM Programacion");
    form.SSCommandImprimir->click();
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_EQ(prompter.shown[0].text, GetS(59));
}

} // namespace nbx::test
