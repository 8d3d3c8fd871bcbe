#include "common/chart/ChartModel.h"
#include "common/chart/ui/ChartPainter.h"
#include "common/chart/ui/ChartView.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace nbx;

namespace {

// 10 points, y 0..10; group 1 a red area, group 2 a line.
void fill(ChartModel& m)
{
    m.setPointCount(10);
    m.setGroupCount(2);
    m.setSeriesCount(1, 1);
    m.setSeriesCount(2, 1);
    m.xAxis() = {0.5, 10.5, 0, true, false, 0, {}};
    m.yAxis() = {0, 10, 5, true, true, 0, {}};
    m.setLegendVisible(false);
    SeriesStyle& a = m.series(1, 1);
    a.kind = SeriesKind::Area;
    a.color = a.fill = QColor(255, 0, 0);
    a.label = QStringLiteral("Abierto");
    m.series(2, 1).label = QStringLiteral("Noche");
}

} // namespace

TEST(ChartModel, HolesBatchAndLabels)
{
    ChartModel m;
    fill(m);
    EXPECT_TRUE(ChartModel::isHole(m.value(1, 1, 3)));
    m.setValue(1, 1, 3, 4.0);
    m.setValue(1, 1, 11, 1.0);  // out of range: ignored
    m.setValue(3, 1, 1, 1.0);
    EXPECT_EQ(m.value(1, 1, 3), 4.0);
    EXPECT_TRUE(ChartModel::isHole(m.value(1, 1, 11)));
    EXPECT_TRUE(ChartModel::isHole(m.value(3, 1, 1)));

    // A flag, not a counter: two trues, one false, one repaint.
    QSignalSpy spy(&m, &ChartModel::changed);
    m.setBatch(true);
    m.setBatch(true);
    for (int p = 1; p <= 10; ++p)
        m.setValue(2, 1, p, p);
    EXPECT_EQ(spy.count(), 0);
    m.setBatch(false);
    EXPECT_EQ(spy.count(), 1);

    // Growing keeps values; the new points are holes.
    m.setPointCount(12);
    EXPECT_EQ(m.value(2, 1, 10), 10.0);
    EXPECT_FALSE(m.hasValue(2, 1, 12));

    EXPECT_EQ(m.seriesLabels(), (QStringList{QStringLiteral("Abierto"), QStringLiteral("Noche")}));
    m.setSeriesLabels({QStringLiteral("Open"), QStringLiteral("Night")});
    EXPECT_EQ(m.seriesLabel(2, 1), QStringLiteral("Night"));

    ChartLabel& tip = m.addLabel(QStringLiteral("OnBar"));
    tip.text = QStringLiteral("a");
    m.addLabel(QStringLiteral("OnBar"));  // replaces
    ASSERT_NE(m.label(QStringLiteral("OnBar")), nullptr);
    EXPECT_TRUE(m.label(QStringLiteral("OnBar"))->text.isEmpty());
    EXPECT_EQ(m.labels().size(), 1);
}

TEST(ChartPainter, DrawsValuesSkipsHolesAndHitTestsPoints)
{
    ChartModel m;
    fill(m);
    m.setValue(1, 1, 2, 8);   // drawn
    m.setValue(1, 1, 5, -1);  // below the axis: clipped away
    const QSize size(400, 200);
    const QImage img = renderChartImage(m, size);
    const ChartLayout L = chartLayout(m, QRectF(0, 0, 400, 200), QFont(), const_cast<QImage*>(&img));
    auto colourAt = [&](double x, double y) { return img.pixelColor(L.toPixel(x, y).toPoint()); };
    EXPECT_EQ(colourAt(2, 4), QColor(255, 0, 0));
    EXPECT_EQ(colourAt(4, 4), QColor(Qt::white));  // hole
    EXPECT_EQ(colourAt(5, 1), QColor(Qt::white));  // -1 stays below the plot

    // A pixel maps back to its data and to the nearest point, halves to even.
    const QRectF r(0, 0, 400, 200);
    ChartHit h = chartHitTest(m, r, QFont(), L.toPixel(7, 3), const_cast<QImage*>(&img));
    EXPECT_EQ(h.region, ChartRegion::Plot);
    EXPECT_EQ(h.point, 7);
    EXPECT_NEAR(h.y, 3, 0.1);
    EXPECT_EQ(chartHitTest(m, r, QFont(), L.toPixel(2.5, 3), const_cast<QImage*>(&img)).point, 2);
    EXPECT_EQ(chartHitTest(m, r, QFont(), L.toPixel(3.5, 3), const_cast<QImage*>(&img)).point, 4);
    EXPECT_NE(chartHitTest(m, r, QFont(), QPointF(1, 1), const_cast<QImage*>(&img)).region, ChartRegion::Plot);
}

TEST(ChartPainter, WritesSvgPdfAndCopiesToTheClipboard)
{
    ChartView view;
    fill(*view.model());
    view.resize(300, 150);
    view.model()->setValue(1, 1, 1, 5);
    QTemporaryDir dir;
    const QString svg = dir.filePath(QStringLiteral("c.svg"));
    const QString pdf = dir.filePath(QStringLiteral("c.pdf"));
    ASSERT_TRUE(writeChartSvg(*view.model(), svg, {300, 150}));
    ASSERT_TRUE(writeChartPdf(*view.model(), pdf, {300, 150}));
    QFile s(svg), p(pdf);
    ASSERT_TRUE(s.open(QIODevice::ReadOnly));
    ASSERT_TRUE(p.open(QIODevice::ReadOnly));
    EXPECT_TRUE(s.readAll().contains("<svg"));
    EXPECT_TRUE(p.read(5) == "%PDF-");

    view.copyToClipboard(ChartClipFormat::Vector);
    const QMimeData* data = QApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_TRUE(data->hasImage());
    EXPECT_TRUE(data->data(QStringLiteral("image/svg+xml")).contains("<svg"));
    EXPECT_EQ(view.texts(), (QStringList{QStringLiteral("Abierto"), QStringLiteral("Noche")}));
}
