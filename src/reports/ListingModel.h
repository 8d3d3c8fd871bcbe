// The listing window's grid contents: a device's interval records with the texts shown for
// reserved values, the cell and heading colours and the two-line headings.
#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QSqlDatabase>
#include <QVariant>
#include <vector>

namespace nbx::reports {

class ListingModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // Column 0 is unbound (hidden); columns 1..34 show these columns of Intervalos.
    static const QStringList& columns();

    explicit ListingModel(QObject* parent = nullptr);

    // Reads the device's intervals in ascending start order; false with the error on failure.
    bool load(QSqlDatabase db, qint32 serial, QString* error);
    // Headings and colours from their source texts (the same result however often it runs).
    void DisenyaGrids();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The stored value of a row's column (by name).
    QVariant stored(int row, const QString& column) const;

private:
    std::vector<std::vector<QVariant>> rows_;
    QStringList headings_;
    std::vector<QColor> cellColours_, headColours_;
};

} // namespace nbx::reports
