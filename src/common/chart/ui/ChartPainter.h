// Painting of a ChartModel with QPainter: layout, drawing, hit testing, and rendering to a QImage,
// SVG or PDF. The same layout serves painting and hit testing, so a pixel of a widget maps back
// to the data it shows.
//
//   QImage img = renderChartImage(model, {800, 400});
//   writeChartSvg(model, "chart.svg", {800, 400});
//   paintChart(painter, model, pageRect, font);   // a printer, a report page, any device
#pragma once

#include "common/chart/ChartModel.h"

#include <QByteArray>
#include <QFont>
#include <QImage>
#include <QPointF>
#include <QRectF>

class QPainter;
class QPaintDevice;

namespace nbx {

class ChartModel;

struct ChartLayout {
    QRectF chart;    // the whole target
    QRectF header;   // title 0 (empty when none)
    QRectF plot;     // data area
    QRectF xLabels;  // point labels / x tick labels under the plot
    QRectF yLabels;  // y tick labels left of the plot
    QRectF footer;   // title 1
    QRectF legend;
    double xMin = 0, xMax = 1, yMin = 0, yMax = 1;

    QPointF toPixel(double x, double y) const;
    QPointF toData(const QPointF& pixel) const;
    // Pixels per unit of x (the width of one point when points are 1 apart).
    double xScale() const;
};

// What lies under a pixel.
enum class ChartRegion { Plot, Header, Footer, Legend, XAxis, YAxis, Chart, Outside };

struct ChartHit {
    ChartRegion region = ChartRegion::Outside;
    double x = 0;    // data coordinates of the pixel (also outside the plot)
    double y = 0;
    int point = 0;   // x rounded to the nearest point (halves to even) when it is 1..pointCount, else 0
};

// The layout of `model` drawn into `target` with `font` (metrics of `device` when given).
ChartLayout chartLayout(const ChartModel& model, const QRectF& target, const QFont& font,
                        QPaintDevice* device = nullptr);
void paintChart(QPainter& painter, const ChartModel& model, const QRectF& target, const QFont& font);
ChartHit chartHitTest(const ChartModel& model, const QRectF& target, const QFont& font,
                      const QPointF& pixel, QPaintDevice* device = nullptr);

// Renderings at `size` pixels (96 dpi); `font` defaults to the application font.
QImage renderChartImage(const ChartModel& model, const QSize& size, const QFont& font = QFont(),
                        qreal devicePixelRatio = 1.0);
QByteArray renderChartSvg(const ChartModel& model, const QSize& size, const QFont& font = QFont());
bool writeChartSvg(const ChartModel& model, const QString& path, const QSize& size,
                   const QFont& font = QFont());
bool writeChartPdf(const ChartModel& model, const QString& path, const QSize& size,
                   const QFont& font = QFont());

} // namespace nbx
