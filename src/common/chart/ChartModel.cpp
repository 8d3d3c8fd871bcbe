#include "common/chart/ChartModel.h"

namespace nbx {

ChartModel::ChartModel(QObject* parent) : QObject(parent) {}

void ChartModel::setPointCount(int points)
{
    points_ = qMax(0, points);
    for (Group& g : groups_) {
        for (QVector<double>& v : g.values)
            v.resize(points_, NoValue);
        g.pointLabels.resize(points_);
    }
    notifyChanged();
}

void ChartModel::setGroupCount(int groups)
{
    groups = qMax(0, groups);
    while (groups_.size() > groups)
        groups_.removeLast();
    while (groups_.size() < groups) {
        Group g;
        g.pointLabels.resize(points_);
        groups_.append(g);
    }
    notifyChanged();
}

void ChartModel::setSeriesCount(int group, int series)
{
    Group* g = this->group(group);
    if (!g)
        return;
    series = qMax(0, series);
    while (g->styles.size() > series) {
        g->styles.removeLast();
        g->values.removeLast();
    }
    while (g->styles.size() < series) {
        g->styles.append(SeriesStyle{});
        g->values.append(QVector<double>(points_, NoValue));
    }
    notifyChanged();
}

int ChartModel::seriesCount(int group) const
{
    const Group* g = this->group(group);
    return g ? int(g->styles.size()) : 0;
}

ChartModel::Group* ChartModel::group(int g)
{
    return g >= 1 && g <= groups_.size() ? &groups_[g - 1] : nullptr;
}

const ChartModel::Group* ChartModel::group(int g) const
{
    return g >= 1 && g <= groups_.size() ? &groups_[g - 1] : nullptr;
}

bool ChartModel::valid(int g, int s) const
{
    const Group* gr = group(g);
    return gr && s >= 1 && s <= gr->styles.size();
}

void ChartModel::setValue(int group, int series, int point, double value)
{
    if (!valid(group, series) || point < 1 || point > points_)
        return;
    groups_[group - 1].values[series - 1][point - 1] = value;
    notifyChanged();
}

double ChartModel::value(int group, int series, int point) const
{
    if (!valid(group, series) || point < 1 || point > points_)
        return NoValue;
    return groups_[group - 1].values[series - 1][point - 1];
}

void ChartModel::clearSeries(int group, int series)
{
    if (!valid(group, series))
        return;
    groups_[group - 1].values[series - 1].fill(NoValue);
    notifyChanged();
}

void ChartModel::clearValues()
{
    for (Group& g : groups_)
        for (QVector<double>& v : g.values)
            v.fill(NoValue);
    notifyChanged();
}

SeriesStyle& ChartModel::series(int group, int series)
{
    if (!valid(group, series)) {
        dummy_ = SeriesStyle{};
        return dummy_;
    }
    return groups_[group - 1].styles[series - 1];
}

const SeriesStyle& ChartModel::series(int group, int series) const
{
    static const SeriesStyle none;
    return valid(group, series) ? groups_[group - 1].styles[series - 1] : none;
}

void ChartModel::setSeriesVisible(int group, int series, bool visible)
{
    if (!valid(group, series))
        return;
    groups_[group - 1].styles[series - 1].visible = visible;
    notifyChanged();
}

bool ChartModel::isSeriesVisible(int group, int series) const
{
    return valid(group, series) && groups_[group - 1].styles[series - 1].visible;
}

void ChartModel::setSeriesLabel(int group, int series, const QString& label)
{
    if (!valid(group, series))
        return;
    groups_[group - 1].styles[series - 1].label = label;
    notifyChanged();
}

QString ChartModel::seriesLabel(int group, int series) const
{
    return this->series(group, series).label;
}

void ChartModel::setStacked(int group, bool stacked)
{
    if (Group* g = this->group(group)) {
        g->stacked = stacked;
        notifyChanged();
    }
}

bool ChartModel::isStacked(int group) const
{
    const Group* g = this->group(group);
    return g && g->stacked;
}

void ChartModel::setPointLabel(int group, int point, const QString& text)
{
    Group* g = this->group(group);
    if (!g || point < 1 || point > points_)
        return;
    g->pointLabels[point - 1] = text;
    notifyChanged();
}

QString ChartModel::pointLabel(int group, int point) const
{
    const Group* g = this->group(group);
    if (!g || point < 1 || point > points_)
        return {};
    return g->pointLabels[point - 1];
}

void ChartModel::clearPointLabels(int group)
{
    if (Group* g = this->group(group)) {
        g->pointLabels.fill(QString());
        notifyChanged();
    }
}

ChartTitle& ChartModel::title(int index)
{
    if (index < 0 || index > 1) {
        dummyTitle_ = ChartTitle{};
        return dummyTitle_;
    }
    return titles_[index];
}

const ChartTitle& ChartModel::title(int index) const
{
    static const ChartTitle none;
    return index >= 0 && index <= 1 ? titles_[index] : none;
}

void ChartModel::setTitleText(int index, const QString& text)
{
    if (index < 0 || index > 1)
        return;
    titles_[index].text = text;
    notifyChanged();
}

ChartLabel& ChartModel::addLabel(const QString& name)
{
    removeLabel(name);
    ChartLabel l;
    l.name = name;
    labels_.append(l);
    notifyChanged();
    return labels_.last();
}

ChartLabel* ChartModel::label(const QString& name)
{
    for (ChartLabel& l : labels_)
        if (l.name == name)
            return &l;
    return nullptr;
}

void ChartModel::removeLabel(const QString& name)
{
    for (qsizetype i = 0; i < labels_.size(); ++i) {
        if (labels_[i].name == name) {
            labels_.removeAt(i);
            notifyChanged();
            return;
        }
    }
}

QStringList ChartModel::seriesLabels() const
{
    QStringList out;
    for (const Group& g : groups_)
        for (const SeriesStyle& s : g.styles)
            out << s.label;
    return out;
}

void ChartModel::setSeriesLabels(const QStringList& labels)
{
    qsizetype i = 0;
    for (Group& g : groups_)
        for (SeriesStyle& s : g.styles)
            if (i < labels.size())
                s.label = labels[i++];
    notifyChanged();
}

void ChartModel::setBatch(bool batch)
{
    batch_ = batch;
    if (!batch_)
        emit changed();
}

void ChartModel::notifyChanged()
{
    if (!batch_)
        emit changed();
}

void ChartModel::alignPlotWith(ChartModel& other)
{
    if (&other == this || alignedCharts().contains(&other))
        return;
    aligned_ << &other;
    other.aligned_ << this;
    connect(this, &ChartModel::changed, &other, &ChartModel::alignedChanged);
    connect(&other, &ChartModel::changed, this, &ChartModel::alignedChanged);
    notifyChanged();
    other.notifyChanged();
}

QList<const ChartModel*> ChartModel::alignedCharts() const
{
    QList<const ChartModel*> out;
    for (const QPointer<ChartModel>& m : aligned_)
        if (m)
            out << m.data();
    return out;
}

} // namespace nbx
