// The chart layer's data model: what a chart shows, without any widget.
//
// How to use it:
//   ChartModel m;
//   m.setPointCount(50);                 // points 1..50 at x = 1..50
//   m.setGroupCount(2);                  // chart groups 1..2
//   m.setSeriesCount(1, 8);              // series 1..8 in group 1, every value a hole
//   m.series(1, 1).label = "LeqT";       // designed texts: label, kind, colours, visibility
//   m.setBatch(true);                    // many changes, one repaint
//   m.setValue(1, 1, p, 63.5);           // point p of series 1 of group 1
//   m.setPointLabel(1, p, "01.02.03");   // shown under point p (group 1 labels only)
//   m.setBatch(false);                   // changed() once: views repaint
// Then show it in a ChartView (chart/ui/ChartView.h) or render it with chart/ui/ChartPainter.h
// to a QImage, SVG, PDF or any QPainter.
//
// Indices of groups, series and points start at 1, as the charts' users count them; out-of-range
// indices are ignored on writes and read as holes. A hole (no value) is never drawn; a value
// outside the y axis range is clipped away, so callers may write "below the chart" sentinels.
// Groups are painted from the last to the first (group 1 on top), the series of a group in order
// (the last on top). setBatch is a flag, not a counter: one false ends any number of trues.
#pragma once

#include <QColor>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVector>

#include <limits>

namespace nbx {

enum class SeriesKind {
    Line,   // straight segments between neighbouring values; a hole breaks the line
    Steps,  // a flat segment one point wide centred on each value
    Area,   // like Steps, filled down to the y axis minimum
    Bars,   // one bar per value, from the y axis minimum (or the stack below it)
};

struct SeriesStyle {
    QString label;              // legend text (designed Spanish text, translated with the window)
    SeriesKind kind = SeriesKind::Line;
    QColor color = Qt::black;   // line and bar outline
    QColor fill;                // Area and Bars fill; invalid = color
    Qt::PenStyle penStyle = Qt::SolidLine;
    double lineWidth = 1.5;     // in pixels at 96 dpi
    bool visible = true;        // display state (shown / hidden)
    bool inLegend = true;       // listed in the legend when visible and labelled
};

struct ChartAxis {
    double min = 0;
    double max = 1;
    double step = 0;            // tick and grid step; 0 = no ticks
    bool visible = true;        // axis line and tick labels
    bool grid = false;          // grid lines at the ticks
    int decimals = 0;           // tick label decimals
    QString title;
};

struct ChartTitle {
    QString text;
    bool visible = true;
    bool fixedPitch = false;    // monospace font
    bool spanPlot = false;      // left-aligned on the plot area and scaled to its width
};

// Where a named label stands relative to its attach point.
enum class LabelAnchor { North, South, East, West, NorthEast, NorthWest, SouthEast, SouthWest, Centre };

// A named text label attached to a point in data coordinates (a data tip, for example).
struct ChartLabel {
    QString name;
    QString text;               // CR, CR LF and LF break lines
    bool visible = false;
    double x = 0;               // attach point in data coordinates
    double y = 0;
    LabelAnchor anchor = LabelAnchor::NorthEast;
    int offset = 10;            // pixels between the attach point and the box
    bool connected = true;      // a line from the attach point to the box
    bool border = true;
    QColor background = Qt::white;
};

class ChartModel : public QObject {
    Q_OBJECT
public:
    static constexpr double NoValue = std::numeric_limits<double>::quiet_NaN();
    static bool isHole(double v) { return v != v; }

    explicit ChartModel(QObject* parent = nullptr);

    // Shape. Changing a count keeps the values that still fit; new values are holes.
    void setPointCount(int points);
    int pointCount() const { return points_; }
    void setGroupCount(int groups);
    int groupCount() const { return int(groups_.size()); }
    void setSeriesCount(int group, int series);
    int seriesCount(int group) const;

    // Values.
    void setValue(int group, int series, int point, double value);
    double value(int group, int series, int point) const;
    bool hasValue(int group, int series, int point) const { return !isHole(value(group, series, point)); }
    void clearValue(int group, int series, int point) { setValue(group, series, point, NoValue); }
    // Every value of a series (or of all series of all groups) back to a hole.
    void clearSeries(int group, int series);
    void clearValues();

    // Design of a series. series() returns a dummy for bad indices; call notifyChanged() after
    // editing it directly, or use the setters, which repaint.
    SeriesStyle& series(int group, int series);
    const SeriesStyle& series(int group, int series) const;
    void setSeriesVisible(int group, int series, bool visible);
    bool isSeriesVisible(int group, int series) const;
    void setSeriesLabel(int group, int series, const QString& label);
    QString seriesLabel(int group, int series) const;
    // Group stacking: bars of a stacked group stand on the bars of the series before them.
    void setStacked(int group, bool stacked);
    bool isStacked(int group) const;

    // Point labels of a group (group 1's are drawn under the x axis). Empty or blank = none.
    void setPointLabel(int group, int point, const QString& text);
    QString pointLabel(int group, int point) const;
    void clearPointLabels(int group);

    // Titles: 0 header (above the plot), 1 footer (below the axis labels).
    ChartTitle& title(int index);
    const ChartTitle& title(int index) const;
    void setTitleText(int index, const QString& text);
    QString titleText(int index) const { return title(index).text; }

    ChartAxis& xAxis() { return x_; }
    const ChartAxis& xAxis() const { return x_; }
    ChartAxis& yAxis() { return y_; }
    const ChartAxis& yAxis() const { return y_; }
    bool xLabelsVertical() const { return xLabelsVertical_; }
    void setXLabelsVertical(bool v) { xLabelsVertical_ = v; notifyChanged(); }

    void setLegendVisible(bool v) { legendVisible_ = v; notifyChanged(); }
    bool legendVisible() const { return legendVisible_; }
    QColor background = Qt::white;      // whole chart
    QColor plotBackground = Qt::white;  // plot area

    // Named labels. addLabel replaces a label of the same name; label() is null when missing.
    ChartLabel& addLabel(const QString& name);
    ChartLabel* label(const QString& name);
    const QList<ChartLabel>& labels() const { return labels_; }
    void removeLabel(const QString& name);

    // The translatable texts: every series label, group by group, series by series.
    QStringList seriesLabels() const;
    void setSeriesLabels(const QStringList& labels);

    // Charts shown one above the other at the same width, their points lined up: each lays its
    // plot out between the same left and right edges, the widest room any of them needs on either
    // side (y axis labels, legend, end labels), measured with the font and width it is drawn at.
    // Links both ways; a change of either sends alignedChanged() from the other.
    void alignPlotWith(ChartModel& other);
    QList<const ChartModel*> alignedCharts() const;

    // Batch flag: true holds changed() back, false sends it once.
    void setBatch(bool batch);
    bool isBatch() const { return batch_; }
    // Sends changed() now unless batched (after editing series() or an axis directly).
    void notifyChanged();

signals:
    void changed();
    // A chart aligned with this one changed, so this one's plot may have moved.
    void alignedChanged();

private:
    struct Group {
        QList<SeriesStyle> styles;
        QList<QVector<double>> values;
        QVector<QString> pointLabels;
        bool stacked = false;
    };
    Group* group(int g);
    const Group* group(int g) const;
    bool valid(int g, int s) const;

    int points_ = 0;
    QList<Group> groups_;
    ChartTitle titles_[2];
    ChartTitle dummyTitle_;
    ChartAxis x_;
    ChartAxis y_;
    bool xLabelsVertical_ = false;
    bool legendVisible_ = true;
    QList<ChartLabel> labels_;
    QList<QPointer<ChartModel>> aligned_;
    SeriesStyle dummy_;
    bool batch_ = false;
};

} // namespace nbx
