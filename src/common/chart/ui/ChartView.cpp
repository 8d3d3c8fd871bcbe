#include "common/chart/ui/ChartView.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>

namespace nbx {

ChartView::ChartView(QWidget* parent) : QWidget(parent)
{
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    connect(&model_, &ChartModel::changed, this, qOverload<>(&QWidget::update));
    connect(&model_, &ChartModel::alignedChanged, this, qOverload<>(&QWidget::update));
}

ChartLayout ChartView::layout() const
{
    return chartLayout(model_, QRectF(rect()), font(), const_cast<ChartView*>(this));
}

ChartHit ChartView::hitTest(const QPointF& pos) const
{
    return chartHitTest(model_, QRectF(rect()), font(), pos, const_cast<ChartView*>(this));
}

QImage ChartView::renderImage(const QSize& size) const
{
    return renderChartImage(model_, size.isValid() ? size : this->size(), font());
}

void ChartView::copyToClipboard(ChartClipFormat format) const
{
    const QImage image = renderImage();
    if (format == ChartClipFormat::Bitmap) {
        QApplication::clipboard()->setImage(image);
        return;
    }
    auto* data = new QMimeData;
    data->setData(QStringLiteral("image/svg+xml"), renderChartSvg(model_, size(), font()));
    data->setImageData(image);
    QApplication::clipboard()->setMimeData(data);
}

QStringList ChartView::texts() const
{
    return model_.seriesLabels();
}

void ChartView::setTexts(const QStringList& texts)
{
    model_.setSeriesLabels(texts);
}

void ChartView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    paintChart(p, model_, QRectF(rect()), font());
}

void ChartView::mousePressEvent(QMouseEvent* event)
{
    emit mousePressed(event->button(), event->modifiers(), event->position().toPoint());
}

void ChartView::mouseReleaseEvent(QMouseEvent* event)
{
    emit mouseReleased(event->button(), event->modifiers(), event->position().toPoint());
}

void ChartView::mouseMoveEvent(QMouseEvent* event)
{
    emit mouseMoved(event->buttons(), event->modifiers(), event->position().toPoint());
}

} // namespace nbx
