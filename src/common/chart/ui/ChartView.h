// The chart layer's widget: shows a ChartModel, reports the mouse with the data under it, copies
// itself to the clipboard, and lets TranslateForm and the string export reach its series labels.
//
//   auto* view = new ChartView(parent);
//   view->setObjectName("Chart2D1");          // a designed control: its series labels translate
//   ChartModel& m = *view->model();           // fill it (see ChartModel.h); it repaints on change
//   connect(view, &ChartView::mouseMoved, ...); view->hitTest(pos).point
//   view->copyToClipboard(ChartClipFormat::Bitmap);
#pragma once

#include "common/chart/ChartModel.h"
#include "common/chart/ui/ChartPainter.h"
#include "common/ui/TranslatableTexts.h"

#include <QWidget>

namespace nbx {

enum class ChartClipFormat {
    Bitmap,  // an image
    Vector,  // SVG (with an image beside it for programs that take only images)
};

class ChartView : public QWidget, public TranslatableTexts {
    Q_OBJECT
public:
    explicit ChartView(QWidget* parent = nullptr);

    ChartModel* model() { return &model_; }
    const ChartModel* model() const { return &model_; }

    ChartLayout layout() const;
    ChartHit hitTest(const QPointF& pos) const;
    // The chart as it stands, at the widget's size unless another is given.
    QImage renderImage(const QSize& size = QSize()) const;
    void copyToClipboard(ChartClipFormat format = ChartClipFormat::Bitmap) const;

    // Series labels of every group in turn.
    QStringList texts() const override;
    void setTexts(const QStringList& texts) override;

    QSize sizeHint() const override { return {640, 320}; }

signals:
    void mousePressed(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, const QPoint& pos);
    void mouseReleased(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, const QPoint& pos);
    void mouseMoved(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, const QPoint& pos);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    ChartModel model_;
};

} // namespace nbx
