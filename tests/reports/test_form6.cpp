// The listing window through the real Form6: grids, headings, colours, options, starting rows and
// the range handed to the report; and pictures of the window and the reports in two languages.
#include "ReportSeed.h"

#include "common/AppState.h"
#include "localisation/LangDesk.h"
#include "localisation/Strings.h"
#include "reports/ListingModel.h"
#include "reports/ReportDrivers.h"
#include "reports/ui/Form15.h"
#include "reports/ui/Form6.h"
#include "reports/ui/ReportPrinting.h"
#include "records/ui/Form5.h"
#include "records/ui/Form9.h"
#include "common/chart/ui/ChartPainter.h"
#include "common/chart/ui/ChartView.h"
#include "link/LinkState.h"
#include "link/Link.h"
#include <QLineEdit>
#include "support/ScriptedPrompter.h"
#include "support/TempDatabase.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QPdfWriter>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTimer>

#include <gtest/gtest.h>

namespace nbx::test {

namespace {

constexpr qint32 kSerial = 123456;

int column(const char* name) { return int(reports::ListingModel::columns().indexOf(QString::fromLatin1(name))); }

// Clicks Imprimir and returns the document the preview showed (null when none was shown).
std::shared_ptr<const reports::ReportDocument> printFrom(Form6& form)
{
    std::shared_ptr<const reports::ReportDocument> shown;
    QTimer::singleShot(0, [&] {
        if (auto* preview = qobject_cast<Form15*>(QApplication::activeModalWidget())) {
            shown = preview->document();
            preview->SSCommandExit->click();
        }
    });
    form.SSCommandImprimir->click();
    QApplication::processEvents();
    return shown;
}

int records(const reports::ReportDocument& doc)
{
    int n = 0;
    for (int p = 0; p < doc.pageCount(); ++p)
        n += int(doc.pageTexts(p).count(QStringLiteral("0min"))); // one a record
    return n;
}

} // namespace

TEST(Form6Test, GridsOptionsStartingRowsAndTheRangeReported)
{
    TempDatabase db;
    seedSheet(kSerial);
    seedIntervals(kSerial, 3, QDateTime(QDate(2010, 1, 1), QTime(0, 0)));
    seedIntervals(kSerial, 2, QDateTime(QDate(2009, 12, 31), QTime(23, 30)));
    seedIntervals(kSerial, 1, QDateTime(QDate(1999, 12, 31), QTime(23, 45)));
    QSqlQuery q(mainDb());
    q.exec("UPDATE Intervalos SET SL1 = 59, SL5 = 0, SLeqVecino = 59, ByNivelLeqLocal = 255, ByDNA = 255, "
           "ByENA = 255, BoRS232 = 1, SMaxFast = 121 WHERE DFechaInicio = '1999-12-31'");
    ScriptedPrompter prompter;
    Form6 form;
    form.Form_Load(kSerial);
    form.show();
    QApplication::processEvents();
    reports::ListingModel& m = *form.model();
    ASSERT_EQ(m.rowCount(), 6);
    EXPECT_EQ(form.TDBGridInici->currentIndex().row(), 0);
    EXPECT_EQ(form.TDBGridFi->currentIndex().row(), 5);
    EXPECT_EQ(m.stored(0, "DFechaInicio").toString(), "1999-12-31");
    EXPECT_EQ(m.stored(5, "THoraInicio").toString(), "00:30");
    EXPECT_TRUE(form.TDBGridInici->isColumnHidden(0));
    EXPECT_TRUE(form.OptionIntervalos->isChecked());

    auto shown = [&](int row, const char* col) { return m.index(row, column(col)).data().toString(); };
    EXPECT_EQ(shown(0, "SL1"), "UND");
    EXPECT_EQ(shown(0, "SL5"), "---");
    EXPECT_EQ(shown(0, "SMaxFast"), "UP");
    EXPECT_EQ(shown(0, "SLeqVecino"), "59");
    EXPECT_EQ(shown(0, "ByNivelLeqLocal"), "---");
    EXPECT_EQ(shown(0, "ByDNA"), GetS(123));
    EXPECT_EQ(shown(0, "ByENA"), GetS(123));
    EXPECT_EQ(shown(0, "DFechaInicio"), "31/12/99");
    EXPECT_EQ(m.index(0, column("BoRS232")).data(Qt::CheckStateRole).toInt(), Qt::Checked);
    EXPECT_EQ(m.index(1, column("BoRS232")).data(Qt::CheckStateRole).toInt(), Qt::Unchecked);
    EXPECT_EQ(m.index(2, column("BoRS232")).data(Qt::CheckStateRole).toInt(), Qt::Checked); // stored -1
    EXPECT_EQ(m.index(0, column("SMaxFast")).data(Qt::BackgroundRole).value<QColor>(), QColor(96, 253, 253));
    EXPECT_EQ(m.headerData(column("SMaxFast"), Qt::Horizontal, Qt::BackgroundRole).value<QColor>(), QColor(3, 233, 233));
    EXPECT_EQ(m.headerData(column("ByENA"), Qt::Horizontal, Qt::BackgroundRole).value<QColor>(), QColor(255, 150, 150));
    EXPECT_EQ(m.headerData(column("SL10"), Qt::Horizontal).toString(), "L10\ndBA");
    EXPECT_EQ(m.headerData(column("THoraMaxLeq1min"), Qt::Horizontal).toString(), GetS(12) + "\n" + GetS(17));

    // Loading again builds the headings from their sources: one "min" line each.
    form.Form_Load(kSerial);
    for (const char* c : {"ByLineaInsuficiente", "ByDNA", "ByENA"})
        EXPECT_EQ(m.headerData(column(c), Qt::Horizontal).toString().count("min"), 1) << c;

    // The range is the stored starts of the two current rows, across the turn of 2009/2010.
    form.TDBGridInici->selectRow(2);
    form.TDBGridFi->selectRow(4);
    appState().textoUsuario = "Pie del listado";
    auto doc = printFrom(form);
    ASSERT_TRUE(doc);
    EXPECT_EQ(records(*doc), 3);
    EXPECT_TRUE(doc->pageTexts(doc->pageCount() - 1).contains("Pie del listado"))
        << doc->pageTexts(doc->pageCount() - 1).join('|').toStdString();
    EXPECT_TRUE(prompter.shown.isEmpty());

    form.OptionSesiones->click();
    EXPECT_FALSE(printFrom(form));
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_EQ(prompter.shown[0].text, GetS(59));
    seedSessions(kSerial, 2, QDateTime(QDate(2009, 12, 31), QTime(23, 50)));
    doc = printFrom(form);
    ASSERT_TRUE(doc);
    int sessions = 0;
    for (int p = 0; p < doc->pageCount(); ++p)
        sessions += int(doc->pageTexts(p).count(GetS(100) + ":"));
    EXPECT_EQ(sessions, 1); // the second starts a day later, after the range
}

TEST(Form6Test, DeviceWithoutIntervalsGivesEmptyGridsAndPrintsNothing)
{
    TempDatabase db;
    seedSheet(kSerial);
    ScriptedPrompter prompter;
    Form6 form;
    form.Form_Load(kSerial);
    form.show();
    EXPECT_EQ(form.model()->rowCount(), 0);
    EXPECT_FALSE(printFrom(form));
    EXPECT_TRUE(prompter.shown.isEmpty());
}

TEST(Form6Test, OpenedFromTheRecordWindowPrintsItsTotalsAndIntervals)
{
    TempDatabase db;
    seedSheet(kSerial);
    seedIntervals(kSerial, 5);
    QSqlQuery q(mainDb());
    q.exec("INSERT INTO IntervaloInhabil (LNumeroSerie, ByIntervalo, TDiaEmpiezaInt, THoraEmpiezaInt, TDiaTerminaInt, "
           "THoraTerminaInt) VALUES (123456, 3, '01/08/26', '00:00', '31/08/26', '23:59')");
    installReportPrinting();
    linkState().NumeroSerieEqp = kSerial;
    ScriptedPrompter prompter;
    Form5 recordWindow;
    recordWindow.Form_Load();
    recordWindow.show();
    ASSERT_TRUE(recordWindow.SSCommandImprimir->isEnabled());
    const QString totals = recordWindow.MaskFechaTotales->text() + " " + recordWindow.MaskHoraTotales->text();
    std::shared_ptr<const reports::ReportDocument> doc;
    int rows = -1;
    QTimer::singleShot(0, [&] {
        auto* listing = qobject_cast<Form6*>(QApplication::activeModalWidget());
        if (!listing)
            return;
        rows = listing->model()->rowCount();
        doc = printFrom(*listing);
        listing->SSCommandExit->click();
    });
    recordWindow.SSCommandImprimir->click();
    EXPECT_EQ(rows, 5);
    ASSERT_TRUE(doc);
    EXPECT_EQ(records(*doc), 5);
    const QStringList first = doc->pageTexts(0);
    EXPECT_TRUE(first.contains(totals)) << totals.toStdString() << "\n" << first.join('|').toStdString();
    EXPECT_TRUE(first.join('|').contains("03 - 01/08/26 00:00 <-> 31/08/26 23:59"));
    EXPECT_TRUE(prompter.shown.isEmpty());
    recordWindow.close();
}

TEST(Form6Test, PicturesOfTheWindowAndTheReports)
{
    const QString dir = qEnvironmentVariable("NBX70_SCREENSHOT_DIR");
    if (dir.isEmpty())
        GTEST_SKIP() << "set NBX70_SCREENSHOT_DIR to write the pictures";
    TempDatabase db;
    seedSheet(kSerial);
    seedDays(kSerial, 40);
    seedIntervals(kSerial, 300);
    seedSessions(kSerial, 30);
    ScriptedPrompter prompter;
    auto shoot = [&](const QString& lang) {
        Form6 form;
        form.Form_Load(kSerial);
        form.show();
        QApplication::processEvents();
        EXPECT_TRUE(form.grab().save(QDir(dir).filePath("form6_" + lang + ".png")));
        for (bool sessions : {false, true}) {
            (sessions ? form.OptionSesiones : form.OptionIntervalos)->click();
            auto doc = printFrom(form);
            ASSERT_TRUE(doc);
            QPdfWriter writer(QDir(dir).filePath(QStringLiteral("nbx70_%1_%2.pdf").arg(sessions ? 3 : 2).arg(lang)));
            QString error;
            EXPECT_TRUE(doc->print(writer, &error));
        }
        // The sheet and graph reports of the same device, the graph from the real graph window.
        InhibitedIntervals iv;
        iv.fechaIni[0] = "01/08/26"; iv.horaIni[0] = "00:00"; iv.fechaFi[0] = "31/08/26"; iv.horaFi[0] = "23:59";
        iv.fechaIni[6] = "24/12/26"; iv.horaIni[6] = "18:00"; iv.fechaFi[6] = "26/12/26"; iv.horaFi[6] = "08:00";
        Form9 graph;
        ASSERT_TRUE(graph.Form_Load(kSerial, "05/03/26", "Bar La Plaza"));
        reports::GraphReportInput g;
        g.serial = kSerial;
        g.fechaTotales = "04/03/26";
        g.horaTotales = "18:30:05";
        g.intervals = iv;
        for (auto [pic, view, size] : {std::tuple{&g.levelChart, graph.Chart2D1, QSize(1180, 511)},
                                       std::tuple{&g.eventChart, graph.Chart2D2, QSize(1180, 230)}}) {
            QPainter p(pic);
            paintChart(p, *view->model(), QRectF(QPointF(0, 0), QSizeF(size)), view->font());
            p.end();
            pic->setBoundingRect(QRect(QPoint(0, 0), size));
        }
        for (int n : {1, 4}) {
            reports::PrintJob job = n == 1 ? reports::prepareSheetReport(kSerial, "2.1", iv) : reports::prepareGraphReport(g);
            ASSERT_TRUE(job.report) << job.error.toStdString();
            auto doc = job.report->layout().document;
            ASSERT_TRUE(doc);
            QPdfWriter writer(QDir(dir).filePath(QStringLiteral("nbx70_%1_%2.pdf").arg(n).arg(lang)));
            QString error;
            EXPECT_TRUE(doc->print(writer, &error));
        }
    };
    shoot("es");
    QString name = QStringLiteral(NBX70_SOURCE_RESOURCES) + QStringLiteral("/Language.db");
    ASSERT_TRUE(SetupLanguage(name, QStringLiteral("English"), langDesk()));
    shoot("en");
    QString none;
    SetupLanguage(none, QString(), langDesk());
}

} // namespace nbx::test
