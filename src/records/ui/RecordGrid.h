// A read-only record grid: a model over one bound query, fetched lazily, shown in a frozen split
// and a scrolling split that share the vertical scroll and the selection; coloured two-line
// headings; value items for the reserved values; a heading click asks the window to re-sort.
#pragma once

#include "localisation/ui/TranslateForm.h"
#include "records/RecordColumns.h"

#include <QHash>
#include <QHeaderView>
#include <QSqlDatabase>
#include <QSqlQueryModel>
#include <QWidget>

class QLabel;
class QSqlQuery;
class QTableView;

namespace nbx {

class RecordTableModel : public QSqlQueryModel {
    Q_OBJECT
public:
    RecordTableModel(QList<GridColumn> columns, QObject* parent = nullptr);
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    bool canFetchMore(const QModelIndex& parent = QModelIndex()) const override;
    QVariant headerData(int section, Qt::Orientation o, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    QList<GridColumn>& columns() { return columns_; }
    QStringList captions;     // one per column, CR line breaks
    QString uncalibratedText; // the 255 item of the minute counters
    // The raw stored value of a cell.
    QVariant stored(int row, int col) const;

    // The rows of an executed query, fetched lazily in its order.
    void useQuery(QSqlQuery&& query);
    // The rows of device `serial` ordered by `keys`, sorted here (no index serves such an order,
    // and sorting the keys alone is much faster than sorting whole rows), read a page at a time.
    bool useSorted(QSqlDatabase db, GridKind kind, qint32 serial, const QStringList& keys, bool ascending,
                   QString* error);

private:
    QList<GridColumn> columns_;
    bool sorted_ = false;
    QSqlDatabase db_;
    GridKind kind_ = GridKind::Intervalos;
    QList<qint64> order_;                          // rowids in display order
    mutable QHash<int, QList<QVariantList>> pages_; // page -> rows
};

// Paints the heading colours (styles ignore header background roles) and two-line captions.
class ColouredHeader : public QHeaderView {
    Q_OBJECT
public:
    ColouredHeader(Qt::Orientation o, int lines, QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;

private:
    int lines_;
};

class RecordGrid : public QWidget, public TranslatableTexts {
    Q_OBJECT
public:
    // `splitCaptions` empty: one split with every visible column.
    RecordGrid(const QString& objectName, GridKind kind, const QString& caption,
               const QStringList& splitCaptions, QWidget* parent = nullptr);

    GridKind kind() const { return kind_; }
    RecordTableModel* model() const { return model_; }
    QTableView* split(int i) const { return i == 0 ? view0_ : view1_; }
    QString caption() const;
    QString splitCaption(int i) const;

    // Binds the grid to an executed query; keeps the scrolling split's horizontal position.
    void setSource(QSqlQuery&& query);
    // Binds the grid to the device's rows in an order no index serves (see useSorted).
    bool setSortedSource(QSqlDatabase db, qint32 serial, const QStringList& keys, bool ascending, QString* error);
    void clearSource();
    bool hasRows() const { return model_->rowCount() > 0; }

    // DisenyaGrids for this grid: captions from the designed ones, 255 text of the minute counters.
    void design(const QString& uncalibrated);

    // Sorting: the direction of the next click (ascending after a load).
    bool nextAscending = true;

    // TranslatableTexts: the grid caption, the column captions, the split captions.
    QStringList texts() const override;
    void setTexts(const QStringList& texts) override;

signals:
    void headClick(int column);

private:
    void applyLayout();

    GridKind kind_;
    RecordTableModel* model_;
    QLabel* caption_;
    QList<QLabel*> splitLabels_;
    QTableView* view0_;
    QTableView* view1_ = nullptr;
    QString captionKey_;
    QStringList splitKeys_;
};

} // namespace nbx
