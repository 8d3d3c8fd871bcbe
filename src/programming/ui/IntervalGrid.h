// The inhibited-interval grid of the programming sheet: a 30-row model and its table view.
#pragma once

#include "localisation/ui/TranslateForm.h"
#include "programming/SheetValues.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <QTableView>
#include <array>
#include <functional>

namespace nbx {

// ArrayIntervalos: row r is interval r + 1; column 0 the number, 1 start date, 2 start time,
// 3 end date, 4 end time. Each edit is validated; a refused edit is not stored and its message
// is shown after the edit has finished.
class IntervalModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit IntervalModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    void setIntervals(const InhibitedIntervals& intervals);
    InhibitedIntervals intervals() const;

    QStringList captions() const { return captions_; }
    void setCaptions(const QStringList& captions);

signals:
    // A refused or corrected edit's message (string id), posted after the edit.
    void messagePosted(long stringId);
    // An edit was refused: it was not stored.
    void editRefused();

private:
    std::array<std::array<QString, 4>, kIntervalCount> rows_;
    QStringList captions_;
};

class IntervalGridView : public QTableView, public TranslatableTexts {
    Q_OBJECT
public:
    explicit IntervalGridView(QWidget* parent = nullptr);
    void setModel(QAbstractItemModel* model) override;

    // Hands a cell edit still open in its editor to the model; false when no editor was open.
    bool commitPendingEdit();
    // True when `w` is the view or one of its cell editors.
    bool owns(const QWidget* w) const;

    // The grid's caption (none), then its five column captions.
    QStringList texts() const override;
    void setTexts(const QStringList& texts) override;

    using QTableView::edit;

protected:
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace nbx
