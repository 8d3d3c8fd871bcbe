// A read-only record grid: a model over a device's rows read a page at a time, shown in a frozen split
// and a scrolling split that share the vertical scroll and the selection; coloured two-line
// headings; value items for the reserved values; a heading click asks the window to re-sort.
#pragma once

#include "localisation/ui/TranslateForm.h"
#include "records/GridRows.h"
#include "records/RecordColumns.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QHeaderView>
#include <QSqlDatabase>
#include <QWidget>

class QLabel;
class QTableView;

namespace nbx {

// A model over a device's rows in a chosen order: it holds their rowids and reads the values a
// page at a time with one short statement, keeping a bounded number of pages.
class RecordTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kPageRows = kGridPageRows;
    static constexpr int kCachedPages = 48;

    RecordTableModel(QList<GridColumn> columns, QObject* parent = nullptr);
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant headerData(int section, Qt::Orientation o, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    QList<GridColumn>& columns() { return columns_; }
    QStringList captions;     // one per column, CR line breaks
    QString uncalibratedText; // the 255 item of the minute counters
    // The raw stored value of a cell.
    QVariant stored(int row, int col) const;

    // Shows `rows` (read by readGridRows on `db`); reads further pages from `db`.
    void setRows(QSqlDatabase db, GridKind kind, GridRows rows);
    void clearRows();

private:
    QList<GridColumn> columns_;
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

    // Shows rows read by readGridRows on `db`; keeps the scrolling split's horizontal position.
    void setRows(QSqlDatabase db, GridRows rows);
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

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void applyLayout();
    void alignFrozenRows();

    GridKind kind_;
    RecordTableModel* model_;
    QLabel* caption_;
    QList<QLabel*> splitLabels_;
    QTableView* view0_;
    QTableView* view1_ = nullptr;
    QWidget* frozenFoot_ = nullptr; // below the frozen split: as high as the other split's scroll bar
    QString captionKey_;
    QStringList splitKeys_;
};

} // namespace nbx
