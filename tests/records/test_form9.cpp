// The graph window on a database of generated interval records: slider, labels, menu, clipboard,
// loading failures, renderings, translation and export of its texts, and pictures to look at.
#include "records/ui/Form9.h"

#include "link/Link.h"
#include "records/ui/Form5.h"

#include "common/Database.h"
#include "common/chart/ui/ChartView.h"
#include "localisation/LangDesk.h"
#include "localisation/Strings.h"
#include "localisation/ui/StringExport.h"
#include "localisation/ui/TranslateForm.h"
#include "support/IntervalRows.h"
#include "support/ScriptedPrompter.h"
#include "support/TempDatabase.h"
#include "reports/ReportDrivers.h"
#include "reports/ui/Form15.h"
#include "reports/ui/ReportPrinting.h"

#include <QApplication>
#include <QBuffer>
#include <QPainter>
#include <QSvgGenerator>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QSlider>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>
#include <QFrame>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>
#include <QPushButton>

#include <gtest/gtest.h>

namespace nbx::test {

namespace {

constexpr qint32 kSerial = 123456;
const QDateTime kFirst(QDate(2026, 5, 1), QTime(0, 0), Qt::UTC);

QString labelOf(const IntervalRow& r)
{
    return r.start.toString(QStringLiteral("dd.MM.yy  hh:mm <> "))
           + r.start.addSecs(r.tLeq * 60).toString(QStringLiteral("hh:mm"));
}

class Form9Test : public ::testing::Test {
protected:
    void store(const QList<IntervalRow>& list)
    {
        rows = list;
        ASSERT_TRUE(insertIntervalRows(mainDb(), kSerial, rows));
    }

    std::unique_ptr<Form9> open(bool expectLoaded = true)
    {
        auto f = std::make_unique<Form9>();
        f->resize(1000, 800);
        f->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(f.get()));
        EXPECT_EQ(f->Form_Load(kSerial, QStringLiteral("01/05/26"), QStringLiteral("Bar El Sol")), expectLoaded);
        QApplication::processEvents();
        return f;
    }

    static void mouse(ChartView* chart, QEvent::Type type, const QPointF& pos, Qt::MouseButton button = Qt::NoButton)
    {
        QMouseEvent e(type, pos, chart->mapToGlobal(pos), button,
                      type == QEvent::MouseMove ? Qt::MouseButtons() : Qt::MouseButtons(button), Qt::NoModifier);
        QApplication::sendEvent(chart, &e);
    }
    static void moveTo(ChartView* chart, double x, double y) { mouse(chart, QEvent::MouseMove, chart->layout().toPixel(x, y)); }
    static const ChartLabel& onBar(ChartView* chart) { return *chart->model()->label(QStringLiteral("OnBar")); }

    TempDatabase db;
    ScriptedPrompter prompts;
    QList<IntervalRow> rows;
};

} // namespace

TEST_F(Form9Test, SliderRangeStartAndMoves)
{
    struct Case { int n, minimum, maximum, firstRecord; };
    for (const Case c : {Case{7, -1, 0, 0}, Case{50, -1, 0, 0}, Case{51, 0, 1, 1}, Case{200, 0, 150, 150}}) {
        QSqlQuery(mainDb()).exec(QStringLiteral("DELETE FROM Intervalos"));
        store(regularIntervalRows(kFirst, c.n, 15));
        auto f = open();
        EXPECT_EQ(f->Slider1->minimum(), c.minimum) << c.n;
        EXPECT_EQ(f->Slider1->maximum(), c.maximum) << c.n;
        EXPECT_EQ(f->Slider1->value(), c.maximum) << c.n;
        const ChartModel& m = *f->Chart2D1->model();
        EXPECT_EQ(m.pointLabel(1, 1), labelOf(rows[c.firstRecord])) << c.n;
        const int last = std::min(c.n, 50);
        EXPECT_EQ(m.pointLabel(1, last), labelOf(rows[c.firstRecord + last - 1])) << c.n;
        if (c.n < 50) {
            EXPECT_EQ(m.pointLabel(1, c.n + 1), QStringLiteral(" "));
        }
    }

    // 200 records: a move redraws the right 50; the arrows step by one within the range.
    auto f = open();
    const ChartModel& m = *f->Chart2D1->model();
    f->Slider1->setValue(10);
    EXPECT_EQ(m.pointLabel(1, 1), labelOf(rows[10]));
    EXPECT_EQ(m.pointLabel(1, 50), labelOf(rows[59]));
    EXPECT_EQ(m.value(1, 1, 50), rows[59].leqLocal);
    f->SSCommandSliderLeft->click();
    EXPECT_EQ(f->Slider1->value(), 9);
    EXPECT_EQ(m.pointLabel(1, 1), labelOf(rows[9]));
    f->Slider1->setValue(0);
    f->SSCommandSliderLeft->click();
    EXPECT_EQ(f->Slider1->value(), 0);
    f->Slider1->setValue(150);
    f->SSCommandSliderRight->click();
    EXPECT_EQ(f->Slider1->value(), 150);
    EXPECT_TRUE(prompts.shown.isEmpty());

    // Fewer than 51: dragging to -1 draws nothing, the right arrow brings it back to 0.
    QSqlQuery(mainDb()).exec(QStringLiteral("DELETE FROM Intervalos"));
    store(regularIntervalRows(kFirst, 7, 15));
    auto s = open();
    s->Slider1->setValue(-1);
    EXPECT_EQ(s->Chart2D1->model()->pointLabel(1, 1), labelOf(rows[0]));
    s->SSCommandSliderRight->click();
    EXPECT_EQ(s->Slider1->value(), 0);
    s->SSCommandSliderRight->click();
    EXPECT_EQ(s->Slider1->value(), 0);
}

TEST_F(Form9Test, PointingShowsBothLabelsWithAnchors)
{
    QList<IntervalRow> list = regularIntervalRows(kFirst, 200, 15);
    IntervalRow& r = list[154];  // point 5 of the newest window
    r.leqLocal = 59.0;
    r.leqVecino = 33.5;
    r.maxFast = 121.0;
    r.maxLeq1min = 85.2;
    r.minLeq1min = 70.0;
    r.statistical = {88.0, 59.0, 83.0, 78.0, 72.0};
    r.desco = 2;
    r.pasadasLocal = 3;
    r.lineaInsuficiente = r.dna = r.ena = 255;
    list[180].dna = 12;  // point 31
    list[180].ena = 4;
    store(list);
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Spain));
    auto f = open();
    ChartView* level = f->Chart2D1;
    ChartView* events = f->Chart2D2;
    EXPECT_FALSE(onBar(level).visible);

    moveTo(level, 5.2, 70);
    EXPECT_EQ(graficaActiva(), 1);
    EXPECT_TRUE(onBar(level).visible);
    EXPECT_TRUE(onBar(events).visible);
    EXPECT_EQ(onBar(level).text, QStringLiteral("LeqT(emisión):UND LeqT(recepción):33,5 LFmax:UP Leq1'max:85,2 "
                                                 "Leq1'min:70,0\r\rL1:88,0 L5:UND L10:83,0 L50:78,0 L90:72,0"));
    EXPECT_EQ(onBar(events).text, QStringLiteral("Desc.:2 Pas.emi.:3 Pas.recep.:0 Sens.:0 Pas.LFmax:0 Linea insuf.:-- "
                                                  "D.N.A.:-- E.N.A.:--"));
    EXPECT_EQ(onBar(level).x, 5);
    EXPECT_NEAR(onBar(level).y, 70, 0.5);
    EXPECT_EQ(onBar(level).anchor, LabelAnchor::NorthEast);
    EXPECT_EQ(onBar(events).x, 5);
    EXPECT_EQ(onBar(events).y, 0);
    EXPECT_EQ(onBar(events).anchor, LabelAnchor::NorthEast);
    EXPECT_EQ(onBar(level).background, QColor(0, 255, 255));

    // Over the event chart: the level label stands at 21, the event label at 0.
    moveTo(events, 31, 1);
    EXPECT_EQ(graficaActiva(), 2);
    EXPECT_EQ(onBar(level).x, 31);
    EXPECT_EQ(onBar(level).y, 21);
    EXPECT_EQ(onBar(level).anchor, LabelAnchor::NorthWest);
    EXPECT_EQ(onBar(events).anchor, LabelAnchor::NorthWest);
    EXPECT_TRUE(onBar(events).text.endsWith(QStringLiteral("D.N.A.:12' E.N.A.:4'")));
    moveTo(level, 25, 90);
    EXPECT_EQ(onBar(level).anchor, LabelAnchor::North);
    EXPECT_EQ(onBar(events).anchor, LabelAnchor::North);

    // Outside the plot both labels go, with their texts.
    mouse(level, QEvent::MouseMove, QPointF(2, 2));
    EXPECT_FALSE(onBar(level).visible);
    EXPECT_FALSE(onBar(events).visible);
    EXPECT_TRUE(onBar(level).text.isEmpty());
    EXPECT_TRUE(onBar(events).text.isEmpty());

    // A slider move hides them and keeps their texts.
    moveTo(level, 10, 80);
    f->Slider1->setValue(100);
    EXPECT_FALSE(onBar(level).visible);
    EXPECT_FALSE(onBar(level).text.isEmpty());

    // The right button only opens the menu, and makes the chart the active one.
    mouse(events, QEvent::MouseButtonPress, events->layout().toPixel(12, 1), Qt::RightButton);
    EXPECT_EQ(graficaActiva(), 2);
    EXPECT_TRUE(f->PopUp->isVisible());
    EXPECT_FALSE(onBar(events).visible);
    f->PopUp->close();
    QLocale::setDefault(previous);
}

TEST_F(Form9Test, MenuHidesAndShowsSeries)
{
    store(regularIntervalRows(kFirst, 120, 15));
    auto f = open();
    ChartModel& m = *f->Chart2D1->model();
    for (int s = 1; s <= 5; ++s)
        EXPECT_FALSE(m.isSeriesVisible(2, s)) << s;
    for (int k = 1; k <= 9; ++k)
        EXPECT_TRUE(f->PopUpMnu2[k]->isChecked()) << k;
    EXPECT_FALSE(f->PopUpMnu2[0]->isCheckable());

    for (int k = 1; k <= 9; ++k) {
        const int group = k == 9 ? 2 : 1, series = k == 9 ? 6 : k;
        f->PopUpMnu2[k]->trigger();
        EXPECT_FALSE(m.isSeriesVisible(group, series)) << k;
        EXPECT_FALSE(f->PopUpMnu2[k]->isChecked()) << k;
        f->Slider1->setValue(f->Slider1->value() - 1);  // survives a redraw
        EXPECT_FALSE(m.isSeriesVisible(group, series)) << k;
        f->PopUpMnu2[k]->trigger();
        EXPECT_TRUE(m.isSeriesVisible(group, series)) << k;
        EXPECT_TRUE(f->PopUpMnu2[k]->isChecked()) << k;
    }
    f->PopUpMnu2_Click(12);  // outside the items: nothing
    moveTo(f->Chart2D1, 8, 80);
    ASSERT_TRUE(onBar(f->Chart2D1).visible);
    f->PopUpMnu2[0]->trigger();  // Cursor
    EXPECT_FALSE(onBar(f->Chart2D1).visible);
    EXPECT_FALSE(onBar(f->Chart2D2).visible);
    EXPECT_TRUE(onBar(f->Chart2D2).text.isEmpty());
}

TEST_F(Form9Test, CopyPutsTheActiveChartOnTheClipboard)
{
    store(regularIntervalRows(kFirst, 60, 15));
    auto f = open();
    f->Chart2D2->resize(800, 170);
    f->Chart2D1->resize(800, 470);
    auto copied = [] {
        const QMimeData* data = QApplication::clipboard()->mimeData();
        return data && data->hasImage() ? qvariant_cast<QImage>(data->imageData()).size() : QSize();
    };
    QApplication::clipboard()->clear();
    graficaActiva() = 0;  // before any mouse event: the event chart
    f->PopUpMnu1[0]->trigger();
    EXPECT_EQ(copied(), f->Chart2D2->size());
    EXPECT_TRUE(QApplication::clipboard()->mimeData()->data(QStringLiteral("image/svg+xml")).contains("<svg"));
    graficaActiva() = 1;
    for (int k = 1; k <= 3; ++k) {
        QApplication::clipboard()->clear();
        f->PopUpMnu1[k]->trigger();
        EXPECT_EQ(copied(), f->Chart2D1->size()) << k;
        EXPECT_TRUE(QApplication::clipboard()->mimeData()->formats().contains(QStringLiteral("image/svg+xml")));
    }
    QApplication::clipboard()->clear();
    f->PopUpMnu1_Click(4);
    EXPECT_EQ(copied(), QSize());
}

TEST_F(Form9Test, FailedLoadsShowTheirMessageAndEndTheBusyDisplay)
{
    // No records: "No hay datos", and the opener's busy display is stopped; no window stays open.
    int loaded = 0;
    Form9::showGraph(nullptr, kSerial, QString(), QString(), [&] { ++loaded; });
    EXPECT_EQ(loaded, 1);
    ASSERT_EQ(prompts.shown.size(), 1);
    EXPECT_EQ(prompts.shown[0].text, GetS(59));
    EXPECT_EQ(prompts.shown[0].icon, Prompter::Icon::Critical);

    // A database without the table: its description, the display stopped, the window usable.
    {
        QSqlDatabase bare = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("form9_bare"));
        bare.setDatabaseName(QStringLiteral(":memory:"));
        ASSERT_TRUE(bare.open());
        Form9 f;
        QObject::connect(&f, &Form9::loadFinished, [&] { ++loaded; });
        EXPECT_FALSE(f.Form_Load(kSerial, QString(), QString(), bare));
        EXPECT_EQ(loaded, 2);
        EXPECT_EQ(prompts.shown.size(), 2);
        EXPECT_TRUE(prompts.shown[1].text.contains(QStringLiteral("Intervalos")));
        f.Chart2D1_MouseEvent(1, QPoint(300, 200));  // no labels were created: nothing happens
        f.PopUpMnu2_Click(0);
        f.Slider1->setValue(0);
    }
    QSqlDatabase::removeDatabase(QStringLiteral("form9_bare"));

    // A redraw that fails on a slider move: its message, and the window stays as it was.
    store(regularIntervalRows(kFirst, 60, 15));
    auto f = open();
    const QString first = f->Chart2D1->model()->pointLabel(1, 1);
    ASSERT_TRUE(QSqlQuery(mainDb()).exec(QStringLiteral("DROP TABLE Intervalos")));
    f->Slider1->setValue(3);
    EXPECT_EQ(prompts.shown.size(), 3);
    EXPECT_EQ(prompts.shown.last().icon, Prompter::Icon::Critical);
    EXPECT_EQ(f->Chart2D1->model()->pointLabel(1, 1), first);
    EXPECT_TRUE(f->isVisible());
}

TEST_F(Form9Test, RecordWindowGraphButtonOpensItAndTheBusyPanelStops)
{
    ASSERT_TRUE(QSqlQuery(mainDb()).exec(QStringLiteral(
        "INSERT INTO Programacion (LNumeroSerie, TLocal, TTelefono, DFecha) VALUES (123456, 'Bar El Sol', '', '2026-04-30')")));
    store(regularIntervalRows(kFirst, 120, 15));
    Form5::setGraphOpener(&Form9::openFromRecordWindow);
    linkState().NumeroSerieEqp = kSerial;
    Form5 records;
    records.Form_Load();
    records.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&records));
    ASSERT_TRUE(records.SSCommandGrafica->isEnabled());

    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* graph = qobject_cast<Form9*>(QApplication::activeModalWidget());
        ASSERT_NE(graph, nullptr);
        seen = true;
        EXPECT_FALSE(records.SSPanel1->isVisible());  // stopped once the graph had loaded
        EXPECT_EQ(graph->TextNumeroSerie->text(), QStringLiteral("123456"));
        EXPECT_EQ(graph->TextLocal->text(), QStringLiteral("Bar El Sol"));
        EXPECT_EQ(graph->TextFecha->text(), records.TextFecha->text());
        EXPECT_EQ(graph->Slider1->maximum(), 70);
        EXPECT_EQ(graph->Chart2D1->model()->pointLabel(1, 50), labelOf(rows[119]));
        graph->SSCommandExit->click();
    });
    records.SSCommandGrafica->click();
    EXPECT_TRUE(seen);
    EXPECT_FALSE(records.SSPanel1->isVisible());
    EXPECT_TRUE(prompts.shown.isEmpty());
    Form5::setGraphOpener({});
}

TEST_F(Form9Test, ChartsRenderToImageSvgAndPdfAtAnySize)
{
    store(regularIntervalRows(kFirst, 80, 15));
    auto f = open();
    QTemporaryDir dir;
    for (const QSize size : {QSize(400, 200), QSize(2400, 1200)}) {
        for (ChartView* chart : {f->Chart2D1, f->Chart2D2}) {
            const QImage image = renderChartImage(*chart->model(), size);
            EXPECT_EQ(image.size(), size);
            EXPECT_TRUE(renderChartSvg(*chart->model(), size).contains("<svg"));
            const QString pdf = dir.filePath(QStringLiteral("chart.pdf"));
            ASSERT_TRUE(writeChartPdf(*chart->model(), pdf, size));
            QFile file(pdf);
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            EXPECT_EQ(file.read(5), QByteArray("%PDF-"));
        }
    }
}

// The texts a picture paints, as its SVG rendering holds them.
QByteArray pictureSvg(const QPicture& picture)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(picture.boundingRect().size());
    QPainter p(&svg);
    p.drawPicture(0, 0, picture);
    p.end();
    return buffer.data();
}

TEST_F(Form9Test, ChartsLineUpInTheWindowAndInTheReportsPictures)
{
    QList<IntervalRow> list = regularIntervalRows(kFirst, 50, 15);
    list[0].maxFast = 138;  // levels the records can hold: 0 to 140 dB
    list[1].leqVecino = 12;
    store(list);
    ASSERT_TRUE(QSqlQuery(mainDb()).exec(QStringLiteral(
        "INSERT INTO Programacion (LNumeroSerie, TLocal, TTelefono, DFecha) VALUES (123456, 'Bar El Sol', '', '2026-04-30')")));
    installReportPrinting();
    auto f = open();
    ChartView* level = f->Chart2D1;
    ChartView* events = f->Chart2D2;
    const ChartLayout lv = level->layout();
    EXPECT_TRUE(lv.plot.contains(lv.toPixel(1, level->model()->value(1, 3, 1))));
    EXPECT_TRUE(lv.plot.contains(lv.toPixel(2, level->model()->value(1, 2, 2))));

    // The report's fields: the event chart's picture above the level chart's.
    const reports::LoadResult def = reports::loadReport(reports::definitionPath(4), QStringLiteral("NBX70_4"));
    ASSERT_TRUE(def.report) << def.error.toStdString();
    ASSERT_EQ(def.report->field(QStringLiteral("Pic2"))->image, QStringLiteral("NBX70_4Pic2"));
    ASSERT_EQ(def.report->field(QStringLiteral("Pic3"))->image, QStringLiteral("NBX70_4Pic3"));
    ASSERT_LT(def.report->field(QStringLiteral("Pic2"))->rect.top(), def.report->field(QStringLiteral("Pic3"))->rect.top());

    auto check = [&](const char* state) {
        SCOPED_TRACE(state);
        QApplication::processEvents();
        // In the window.
        const ChartLayout a = level->layout(), b = events->layout();
        for (int p = 1; p <= kGraphPoints; ++p) {
            const double xa = level->mapTo(f.get(), a.toPixel(p, 0)).x();
            const double xb = events->mapTo(f.get(), b.toPixel(p, 0)).x();
            ASSERT_NEAR(xa, xb, 1.0) << "point " << p;
        }
        // In the report the print button shows.
        std::vector<reports::DrawItem> pictures;
        QTimer::singleShot(0, [&] {
            if (auto* preview = qobject_cast<Form15*>(QApplication::activeModalWidget())) {
                for (const reports::DrawItem& d : preview->document()->pageItems(0))
                    if (d.type == reports::DrawItem::Picture)
                        pictures.push_back(d);
                preview->SSCommandExit->click();
            }
        });
        f->SSCommandImprimir->click();
        ASSERT_EQ(pictures.size(), 2u);
        std::sort(pictures.begin(), pictures.end(), [](const auto& x, const auto& y) { return x.rect.top() < y.rect.top(); });
        const reports::DrawItem& pic2 = pictures[0];
        const reports::DrawItem& pic3 = pictures[1];
        const QByteArray svg2 = pictureSvg(*pic2.picture), svg3 = pictureSvg(*pic3.picture);
        // The level chart has the dB axis, the event chart its legend.
        EXPECT_TRUE(svg2.contains(">Desconexiones<") && !svg2.contains(">140<"));
        EXPECT_TRUE(svg3.contains(">140<") && !svg3.contains(">Desconexiones<"));
        QPicture device;
        auto xMm = [&](const reports::DrawItem& d, const ChartModel& m, int p) {
            const QRectF box = d.picture->boundingRect();
            const ChartLayout L = chartLayout(m, QRectF(QPointF(0, 0), box.size()), level->font(), &device);
            return d.rect.left() + L.toPixel(p, 0).x() * d.rect.width() / box.width();
        };
        const double pxMm = std::max(pic2.rect.width() / pic2.picture->boundingRect().width(),
                                     pic3.rect.width() / pic3.picture->boundingRect().width());
        for (int p = 1; p <= kGraphPoints; ++p)
            ASSERT_NEAR(xMm(pic3, *level->model(), p), xMm(pic2, *events->model(), p), pxMm) << "point " << p;
    };
    check("all shown");
    f->PopUpMnu2_Click(3);  // LFmax hidden
    check("LFmax hidden");
    for (int k = 1; k <= 9; ++k)
        if (f->PopUpMnu2[k]->isChecked())
            f->PopUpMnu2_Click(k);
    check("all hidden");
    for (int k = 1; k <= 9; ++k)
        f->PopUpMnu2_Click(k);
    check("shown again");
    EXPECT_TRUE(prompts.shown.isEmpty());
}

TEST_F(Form9Test, TranslatesAndExportsItsTexts)
{
    // The export finds the series labels and the menu texts.
    const QString file = db.file(QStringLiteral("Export.db"));
    QString error;
    ASSERT_TRUE(LangDesk::CreateLanguageDatabase(file, &error)) << error.toStdString();
    LangDesk engine;
    ASSERT_TRUE(ExportAllStrings(engine, file, {{9, QStringLiteral("Form9"), [] { return std::make_unique<Form9>(); }}}));
    QStringList natives;
    {
        QSqlDatabase ldb = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("form9_export"));
        ldb.setDatabaseName(file);
        ASSERT_TRUE(ldb.open());
        QSqlQuery q(ldb);
        ASSERT_TRUE(q.exec(QStringLiteral("SELECT Native FROM LangDesk WHERE bIsUsed <> 0")));
        while (q.next())
            natives << q.value(0).toString();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("form9_export"));
    for (const char* text : {"LeqT(emisión)", "Límte LeqT(emisión)", "Límite LeqT(recepción)", "Límite LFmax",
                             "Sin datos", "Desconexiones", "Pasadas (recepción)", "Sensor inhábil", "P.MaxFast",
                             "Línea insuficiente", "Copiar al clipboard", "Enhanced Metafile", "Ocultar/Mostrar",
                             "Cursor", "Volver", "N. Serie:"})
        EXPECT_TRUE(natives.contains(QString::fromUtf8(text))) << text;

    // The shipped translations reach the charts' series and the menu.
    QString name = QStringLiteral(NBX70_SOURCE_RESOURCES) + QStringLiteral("/Language.db");
    ASSERT_TRUE(SetupLanguage(name, QStringLiteral("English"), langDesk()));
    Form9 f;
    TranslateForm(&f);
    EXPECT_EQ(f.Chart2D1->model()->seriesLabel(1, 4), QStringLiteral("Limit LeqT(emission)"));
    EXPECT_EQ(f.Chart2D1->model()->seriesLabel(2, 6), QStringLiteral("No data"));
    EXPECT_EQ(f.Chart2D2->model()->seriesLabel(1, 4), QStringLiteral("Sensor inactive"));
    EXPECT_EQ(f.PopUpMnu2[0]->text(), QStringLiteral("Cursor"));
    EXPECT_EQ(f.SSCommandExit->text(), QStringLiteral("Back"));
    QString none;
    SetupLanguage(none, QString(), langDesk());
}

// Pictures for a person to look at (NBX70_SCREENSHOT_DIR=<folder>): a generated month with a gap
// and an under-range value, in Spanish and English, with the data labels shown.
TEST_F(Form9Test, Screenshots)
{
    const QString dir = qEnvironmentVariable("NBX70_SCREENSHOT_DIR");
    if (dir.isEmpty())
        GTEST_SKIP() << "set NBX70_SCREENSHOT_DIR to write the pictures";
    QList<IntervalRow> month = regularIntervalRows(kFirst, 30 * 96, 15);
    month.erase(month.begin() + 2000, month.begin() + 2012);  // three hours missing
    month[2020].leqLocal = 59.0;
    month[2021].e3 = 1;
    month[2025].lineaInsuficiente = month[2025].dna = month[2025].ena = 255;
    store(month);
    auto shoot = [&](const QString& suffix) {
        auto f = open();
        f->Slider1->setValue(1985);
        moveTo(f->Chart2D1, 36, 90);
        QApplication::processEvents();
        EXPECT_TRUE(f->grab().save(QDir(dir).filePath(QStringLiteral("form9_%1.png").arg(suffix))));
        moveTo(f->Chart2D2, 12, 1);
        QApplication::processEvents();
        EXPECT_TRUE(f->grab().save(QDir(dir).filePath(QStringLiteral("form9_%1_events.png").arg(suffix))));
    };
    shoot(QStringLiteral("es"));
    QString name = QStringLiteral(NBX70_SOURCE_RESOURCES) + QStringLiteral("/Language.db");
    ASSERT_TRUE(SetupLanguage(name, QStringLiteral("English"), langDesk()));
    shoot(QStringLiteral("en"));
    QString none;
    SetupLanguage(none, QString(), langDesk());
}

} // namespace nbx::test
