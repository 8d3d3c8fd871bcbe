#include "common/chart/ui/ChartPainter.h"

#include "common/Prompter.h"

#include <QBuffer>
#include <QFile>
#include <QFontMetricsF>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QSvgGenerator>

#include <cmath>

namespace nbx {

namespace {

constexpr double kMargin = 6;
constexpr double kSwatch = 18;

bool blank(const QString& s) { return s.trimmed().isEmpty(); }

QFont fixedFont(const QFont& base)
{
    QFont f(QStringLiteral("DejaVu Sans Mono"));
    f.setStyleHint(QFont::Monospace);
    f.setFixedPitch(true);
    f.setPointSizeF(base.pointSizeF() > 0 ? base.pointSizeF() : 9);
    return f;
}

QFont titleFont(const ChartTitle& t, const QFont& base)
{
    return t.fixedPitch ? fixedFont(base) : base;
}

// Tick values of an axis (none without a step).
QList<double> ticks(const ChartAxis& a)
{
    QList<double> out;
    if (a.step <= 0 || a.max <= a.min)
        return out;
    const double first = std::ceil(a.min / a.step - 1e-9) * a.step;
    for (double v = first; v <= a.max + a.step * 1e-9 && out.size() < 1000; v += a.step)
        out << v;
    return out;
}

QString tickText(const ChartAxis& a, double v)
{
    return QString::number(v, 'f', a.decimals);
}

// Series that appear in the legend, group by group.
QList<const SeriesStyle*> legendEntries(const ChartModel& m)
{
    QList<const SeriesStyle*> out;
    for (int g = 1; g <= m.groupCount(); ++g)
        for (int s = 1; s <= m.seriesCount(g); ++s) {
            const SeriesStyle& st = m.series(g, s);
            if (st.visible && st.inLegend && !blank(st.label))
                out << &st;
        }
    return out;
}

bool hasPointLabels(const ChartModel& m)
{
    for (int p = 1; p <= m.pointCount(); ++p)
        if (!blank(m.pointLabel(1, p)))
            return true;
    return false;
}

QColor fillOf(const SeriesStyle& s) { return s.fill.isValid() ? s.fill : s.color; }

void drawSeries(QPainter& p, const ChartModel& m, const ChartLayout& L, int g, int s,
                QVector<double>& stack)
{
    const SeriesStyle& st = m.series(g, s);
    const double half = L.xScale() / 2;
    const double base = L.toPixel(0, L.yMin).y();
    QPen pen(st.color, st.lineWidth, st.penStyle, Qt::FlatCap, Qt::MiterJoin);

    // Runs of neighbouring values.
    QList<QList<QPointF>> runs;
    QList<QPointF> run;
    for (int i = 1; i <= m.pointCount(); ++i) {
        const double v = m.value(g, s, i);
        if (ChartModel::isHole(v)) {
            if (!run.isEmpty())
                runs << run;
            run.clear();
            continue;
        }
        run << L.toPixel(i, v);
    }
    if (!run.isEmpty())
        runs << run;

    switch (st.kind) {
    case SeriesKind::Line:
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        for (const QList<QPointF>& r : runs) {
            if (r.size() == 1) {
                p.setBrush(st.color);
                p.drawEllipse(r[0], st.lineWidth, st.lineWidth);
                p.setBrush(Qt::NoBrush);
            } else {
                p.drawPolyline(r.constData(), int(r.size()));
            }
        }
        p.setRenderHint(QPainter::Antialiasing, false);
        break;
    case SeriesKind::Steps:
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        for (const QList<QPointF>& r : runs) {
            QPolygonF poly;
            for (const QPointF& pt : r)
                poly << QPointF(pt.x() - half, pt.y()) << QPointF(pt.x() + half, pt.y());
            p.drawPolyline(poly);
        }
        break;
    case SeriesKind::Area:
        p.setPen(Qt::NoPen);
        p.setBrush(fillOf(st));
        for (const QList<QPointF>& r : runs) {
            QPolygonF poly;
            poly << QPointF(r.first().x() - half, base);
            for (const QPointF& pt : r)
                poly << QPointF(pt.x() - half, pt.y()) << QPointF(pt.x() + half, pt.y());
            poly << QPointF(r.last().x() + half, base);
            p.drawPolygon(poly);
        }
        break;
    case SeriesKind::Bars: {
        const bool stacked = m.isStacked(g);
        const double w = L.xScale() * 0.6;
        p.setPen(QPen(st.color, 1));
        p.setBrush(fillOf(st));
        for (int i = 1; i <= m.pointCount(); ++i) {
            const double v = m.value(g, s, i);
            if (ChartModel::isHole(v))
                continue;
            double from = L.yMin;
            double to = v;
            if (stacked) {
                from = stack[i - 1];
                to = from + v;
                stack[i - 1] = to;
            }
            const QPointF a = L.toPixel(i, from);
            const QPointF b = L.toPixel(i, to);
            p.drawRect(QRectF(QPointF(a.x() - w / 2, b.y()), QPointF(a.x() + w / 2, a.y())).normalized());
        }
        break;
    }
    }
}

void drawTitle(QPainter& p, const ChartTitle& t, const QRectF& area, const ChartLayout& L, const QFont& base)
{
    if (area.isEmpty())
        return;
    QFont f = titleFont(t, base);
    p.setPen(Qt::black);
    if (t.spanPlot) {
        // Stretch the text across the plot: padded names line up with the data under them.
        p.setFont(f);
        const double w = QFontMetricsF(f, p.device()).horizontalAdvance(t.text);
        p.save();
        p.translate(L.plot.left(), area.top());
        if (w > 0)
            p.scale(L.plot.width() / w, 1);
        p.drawText(QRectF(0, 0, qMax(w, 1.0), area.height()), Qt::AlignLeft | Qt::AlignVCenter, t.text);
        p.restore();
    } else {
        p.setFont(f);
        p.drawText(area, Qt::AlignCenter, t.text);
    }
}

void drawNamedLabel(QPainter& p, const ChartLabel& l, const ChartLayout& L, const QFontMetricsF& fm)
{
    const QString text = displayText(l.text);
    const QStringList lines = text.split(QLatin1Char('\n'));
    double w = 0;
    for (const QString& s : lines)
        w = qMax(w, fm.horizontalAdvance(s));
    const QSizeF box(w + 8, fm.height() * lines.size() + 4);
    const QPointF at = L.toPixel(l.x, l.y);
    const double o = l.offset;
    QPointF tl;
    switch (l.anchor) {
    case LabelAnchor::North: tl = {at.x() - box.width() / 2, at.y() - o - box.height()}; break;
    case LabelAnchor::South: tl = {at.x() - box.width() / 2, at.y() + o}; break;
    case LabelAnchor::East: tl = {at.x() + o, at.y() - box.height() / 2}; break;
    case LabelAnchor::West: tl = {at.x() - o - box.width(), at.y() - box.height() / 2}; break;
    case LabelAnchor::NorthEast: tl = {at.x() + o, at.y() - o - box.height()}; break;
    case LabelAnchor::NorthWest: tl = {at.x() - o - box.width(), at.y() - o - box.height()}; break;
    case LabelAnchor::SouthEast: tl = {at.x() + o, at.y() + o}; break;
    case LabelAnchor::SouthWest: tl = {at.x() - o - box.width(), at.y() + o}; break;
    case LabelAnchor::Centre: tl = {at.x() - box.width() / 2, at.y() - box.height() / 2}; break;
    }
    // Keep the box on the chart.
    tl.setX(qBound(L.chart.left(), tl.x(), qMax(L.chart.left(), L.chart.right() - box.width())));
    tl.setY(qBound(L.chart.top(), tl.y(), qMax(L.chart.top(), L.chart.bottom() - box.height())));
    const QRectF r(tl, box);
    if (l.connected) {
        p.setPen(QPen(Qt::black, 1));
        const QPointF target(qBound(r.left(), at.x(), r.right()), qBound(r.top(), at.y(), r.bottom()));
        p.drawLine(at, target);
    }
    p.setPen(l.border ? QPen(Qt::black, 1) : QPen(Qt::NoPen));
    p.setBrush(l.background);
    p.drawRect(r);
    p.setPen(Qt::black);
    p.drawText(r.adjusted(4, 2, -4, -2), Qt::AlignLeft | Qt::AlignTop, text);
}

// Room left and right of the plot inside the margins, and the legend's width (0: none).
struct PlotSides {
    double left = 0;
    double right = 0;
    double legend = 0;
};

PlotSides plotSides(const ChartModel& m, double width, const QFontMetricsF& fm)
{
    PlotSides s;
    const QList<const SeriesStyle*> entries = legendEntries(m);
    if (m.legendVisible() && !entries.isEmpty()) {
        double w = 0;
        for (const SeriesStyle* st : entries)
            w = qMax(w, fm.horizontalAdvance(displayText(st->label).section(QLatin1Char('\n'), 0, 0)));
        s.legend = qMin(w + kSwatch + 16, width * 0.35);
    }
    double left = 0;
    if (m.yAxis().visible) {
        for (double v : ticks(m.yAxis()))
            left = qMax(left, fm.horizontalAdvance(tickText(m.yAxis(), v)));
        left += 6;
        if (!blank(m.yAxis().title))
            left += fm.height() + 2;
    }
    // Half a label's width of room at the ends for the labels of the first and last points.
    const double endRoom = hasPointLabels(m) && !m.xLabelsVertical() ? fm.horizontalAdvance(QStringLiteral("00:00")) / 2 : 2;
    s.left = qMax(left, endRoom);
    s.right = endRoom + (s.legend > 0 ? s.legend + kMargin : 0);
    return s;
}

} // namespace

QPointF ChartLayout::toPixel(double x, double y) const
{
    const double fx = xMax > xMin ? (x - xMin) / (xMax - xMin) : 0;
    const double fy = yMax > yMin ? (y - yMin) / (yMax - yMin) : 0;
    return {plot.left() + fx * plot.width(), plot.bottom() - fy * plot.height()};
}

QPointF ChartLayout::toData(const QPointF& pixel) const
{
    const double fx = plot.width() > 0 ? (pixel.x() - plot.left()) / plot.width() : 0;
    const double fy = plot.height() > 0 ? (plot.bottom() - pixel.y()) / plot.height() : 0;
    return {xMin + fx * (xMax - xMin), yMin + fy * (yMax - yMin)};
}

double ChartLayout::xScale() const
{
    return xMax > xMin ? plot.width() / (xMax - xMin) : 0;
}

ChartLayout chartLayout(const ChartModel& m, const QRectF& target, const QFont& font, QPaintDevice* device)
{
    ChartLayout L;
    L.chart = target;
    L.xMin = m.xAxis().min;
    L.xMax = m.xAxis().max;
    L.yMin = m.yAxis().min;
    L.yMax = m.yAxis().max;
    const QFontMetricsF fm = device ? QFontMetricsF(font, device) : QFontMetricsF(font);
    const double lh = fm.height();
    QRectF r = target.adjusted(kMargin, kMargin, -kMargin, -kMargin);

    const ChartTitle& head = m.title(0);
    if (head.visible && !blank(head.text)) {
        const QFont tf = titleFont(head, font);
        const double h = (device ? QFontMetricsF(tf, device) : QFontMetricsF(tf)).height() * 1.4;
        L.header = QRectF(r.left(), r.top(), r.width(), h);
        r.setTop(r.top() + h);
    }
    const ChartTitle& foot = m.title(1);
    if (foot.visible && !blank(foot.text)) {
        const double h = lh * 1.4;
        L.footer = QRectF(r.left(), r.bottom() - h, r.width(), h);
        r.setBottom(r.bottom() - h);
    }

    PlotSides sides = plotSides(m, r.width(), fm);
    const double legendWidth = sides.legend;
    for (const ChartModel* other : m.alignedCharts()) {
        const PlotSides o = plotSides(*other, r.width(), fm);
        sides.left = qMax(sides.left, o.left);
        sides.right = qMax(sides.right, o.right);
    }
    if (legendWidth > 0)
        L.legend = QRectF(r.right() - legendWidth, r.top(), legendWidth, r.height());

    // Under the plot: point labels of group 1 or x tick labels, then the x axis title.
    double under = 0;
    if (m.xAxis().visible) {
        if (hasPointLabels(m)) {
            if (m.xLabelsVertical()) {
                double w = 0;
                for (int p = 1; p <= m.pointCount(); ++p)
                    w = qMax(w, fm.horizontalAdvance(m.pointLabel(1, p)));
                under = w + 6;
            } else {
                under = lh + 4;
            }
        } else if (m.xAxis().step > 0) {
            under = lh + 4;
        }
        if (!blank(m.xAxis().title))
            under += lh + 2;
    }
    L.plot = QRectF(r.left() + sides.left, r.top() + 2, 0, 0);
    L.plot.setRight(r.right() - sides.right);
    L.plot.setBottom(r.bottom() - under);
    if (L.plot.height() < 1)
        L.plot.setBottom(L.plot.top() + 1);
    if (L.plot.width() < 1)
        L.plot.setRight(L.plot.left() + 1);
    L.xLabels = QRectF(L.plot.left(), L.plot.bottom(), L.plot.width(), under);
    L.yLabels = QRectF(r.left(), L.plot.top(), L.plot.left() - r.left(), L.plot.height());
    return L;
}

void paintChart(QPainter& p, const ChartModel& m, const QRectF& target, const QFont& font)
{
    const ChartLayout L = chartLayout(m, target, font, p.device());
    const QFontMetricsF fm(font, p.device());
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(target, m.background);
    p.setFont(font);

    drawTitle(p, m.title(0), L.header, L, font);
    drawTitle(p, m.title(1), L.footer, L, font);

    // Plot area, grid, series.
    p.fillRect(L.plot, m.plotBackground);
    p.save();
    p.setClipRect(L.plot);
    p.setPen(QPen(QColor(200, 200, 200), 1, Qt::DotLine));
    if (m.yAxis().grid)
        for (double v : ticks(m.yAxis())) {
            const double y = L.toPixel(0, v).y();
            p.drawLine(QPointF(L.plot.left(), y), QPointF(L.plot.right(), y));
        }
    if (m.xAxis().grid)
        for (double v : ticks(m.xAxis())) {
            const double x = L.toPixel(v, 0).x();
            p.drawLine(QPointF(x, L.plot.top()), QPointF(x, L.plot.bottom()));
        }
    for (int g = m.groupCount(); g >= 1; --g) {
        QVector<double> stack(m.pointCount(), qMax(0.0, L.yMin));
        for (int s = 1; s <= m.seriesCount(g); ++s)
            if (m.isSeriesVisible(g, s))
                drawSeries(p, m, L, g, s, stack);
    }
    p.restore();
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(L.plot);

    // Axes.
    p.setFont(font);
    if (m.yAxis().visible) {
        for (double v : ticks(m.yAxis())) {
            const double y = L.toPixel(0, v).y();
            p.drawLine(QPointF(L.plot.left() - 3, y), QPointF(L.plot.left(), y));
            p.drawText(QRectF(L.yLabels.left(), y - fm.height() / 2, L.plot.left() - L.yLabels.left() - 5, fm.height()),
                       Qt::AlignRight | Qt::AlignVCenter, tickText(m.yAxis(), v));
        }
        if (!blank(m.yAxis().title)) {
            p.save();
            p.translate(L.yLabels.left() + fm.height() / 2, L.plot.center().y());
            p.rotate(-90);
            p.drawText(QRectF(-L.plot.height() / 2, -fm.height() / 2, L.plot.height(), fm.height()), Qt::AlignCenter,
                       m.yAxis().title);
            p.restore();
        }
    }
    if (m.xAxis().visible) {
        if (hasPointLabels(m)) {
            double lastEdge = -1e9;
            for (int i = 1; i <= m.pointCount(); ++i) {
                const QString t = m.pointLabel(1, i);
                if (blank(t))
                    continue;
                const double x = L.toPixel(i, 0).x();
                if (x < L.plot.left() - 0.5 || x > L.plot.right() + 0.5)
                    continue;
                if (m.xLabelsVertical()) {
                    if (x - fm.height() / 2 < lastEdge)
                        continue;
                    p.save();
                    p.translate(x, L.plot.bottom() + 4);
                    p.rotate(-90);
                    p.drawText(QRectF(-L.xLabels.height() + 4, -fm.height() / 2, L.xLabels.height() - 6, fm.height()),
                               Qt::AlignRight | Qt::AlignVCenter, t);
                    p.restore();
                    lastEdge = x + fm.height() / 2;
                } else {
                    const double w = fm.horizontalAdvance(t);
                    if (x - w / 2 < lastEdge)
                        continue;
                    p.drawLine(QPointF(x, L.plot.bottom()), QPointF(x, L.plot.bottom() + 3));
                    p.drawText(QRectF(x - w / 2 - 2, L.plot.bottom() + 3, w + 4, fm.height()), Qt::AlignCenter, t);
                    lastEdge = x + w / 2 + 4;
                }
            }
        } else {
            for (double v : ticks(m.xAxis())) {
                const double x = L.toPixel(v, 0).x();
                p.drawLine(QPointF(x, L.plot.bottom()), QPointF(x, L.plot.bottom() + 3));
                p.drawText(QRectF(x - 30, L.plot.bottom() + 3, 60, fm.height()), Qt::AlignCenter, tickText(m.xAxis(), v));
            }
        }
        if (!blank(m.xAxis().title))
            p.drawText(QRectF(L.xLabels.left(), L.xLabels.bottom() - fm.height() - 1, L.xLabels.width(), fm.height()),
                       Qt::AlignCenter, m.xAxis().title);
    }

    // Legend.
    if (!L.legend.isEmpty()) {
        const QList<const SeriesStyle*> entries = legendEntries(m);
        const double rowH = fm.height() + 4;
        double y = L.legend.center().y() - rowH * entries.size() / 2;
        for (const SeriesStyle* s : entries) {
            const QRectF sw(L.legend.left() + 4, y + 3, kSwatch, rowH - 6);
            if (s->kind == SeriesKind::Area || s->kind == SeriesKind::Bars) {
                p.setPen(QPen(s->color, 1));
                p.setBrush(fillOf(*s));
                p.drawRect(sw);
            } else {
                p.setPen(QPen(s->color, s->lineWidth, s->penStyle));
                p.drawLine(QPointF(sw.left(), sw.center().y()), QPointF(sw.right(), sw.center().y()));
            }
            p.setPen(Qt::black);
            p.drawText(QRectF(sw.right() + 6, y, L.legend.right() - sw.right() - 6, rowH), Qt::AlignLeft | Qt::AlignVCenter,
                       displayText(s->label).section(QLatin1Char('\n'), 0, 0));
            y += rowH;
        }
    }

    // Named labels on top of everything.
    for (const ChartLabel& l : m.labels())
        if (l.visible)
            drawNamedLabel(p, l, L, fm);
    p.restore();
}

ChartHit chartHitTest(const ChartModel& m, const QRectF& target, const QFont& font, const QPointF& pixel,
                      QPaintDevice* device)
{
    const ChartLayout L = chartLayout(m, target, font, device);
    ChartHit h;
    const QPointF d = L.toData(pixel);
    h.x = d.x();
    h.y = d.y();
    const double rounded = std::nearbyint(h.x); // the default rounding mode sends halves to even
    if (rounded >= 1 && rounded <= m.pointCount())
        h.point = int(rounded);
    if (!target.contains(pixel))
        h.region = ChartRegion::Outside;
    else if (L.plot.contains(pixel))
        h.region = ChartRegion::Plot;
    else if (L.header.contains(pixel))
        h.region = ChartRegion::Header;
    else if (L.footer.contains(pixel))
        h.region = ChartRegion::Footer;
    else if (L.legend.contains(pixel))
        h.region = ChartRegion::Legend;
    else if (L.xLabels.contains(pixel))
        h.region = ChartRegion::XAxis;
    else if (L.yLabels.contains(pixel))
        h.region = ChartRegion::YAxis;
    else
        h.region = ChartRegion::Chart;
    return h;
}

QImage renderChartImage(const ChartModel& m, const QSize& size, const QFont& font, qreal dpr)
{
    QImage img(size * dpr, QImage::Format_ARGB32_Premultiplied);
    img.setDevicePixelRatio(dpr);
    img.fill(m.background);
    QPainter p(&img);
    paintChart(p, m, QRectF(QPointF(0, 0), QSizeF(size)), font);
    return img;
}

namespace {

void paintSvg(QSvgGenerator& gen, const ChartModel& m, const QSize& size, const QFont& font)
{
    gen.setSize(size);
    gen.setViewBox(QRect(QPoint(0, 0), size));
    gen.setResolution(96);
    QPainter p(&gen);
    paintChart(p, m, QRectF(QPointF(0, 0), QSizeF(size)), font);
}

} // namespace

QByteArray renderChartSvg(const ChartModel& m, const QSize& size, const QFont& font)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator gen;
    gen.setOutputDevice(&buffer);
    paintSvg(gen, m, size, font);
    return buffer.data();
}

bool writeChartSvg(const ChartModel& m, const QString& path, const QSize& size, const QFont& font)
{
    const QByteArray svg = renderChartSvg(m, size, font);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(svg) == svg.size() && f.flush();
}

bool writeChartPdf(const ChartModel& m, const QString& path, const QSize& size, const QFont& font)
{
    QPdfWriter pdf(path);
    pdf.setResolution(96);
    pdf.setPageSize(QPageSize(QSizeF(size) * 25.4 / 96, QPageSize::Millimeter));
    pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
    QPainter p;
    if (!p.begin(&pdf))
        return false;
    paintChart(p, m, QRectF(QPointF(0, 0), QSizeF(size)), font);
    return p.end();
}

} // namespace nbx
