// Reading a device's rows for the record grids: the rowids in a heading's order, then their values
// a page at a time, each read with statements finished before it returns (no statement stays open
// between events, so checkpoints are never blocked).
#pragma once

#include "records/RecordColumns.h"

#include <QList>
#include <QSqlDatabase>
#include <QVariant>
#include <optional>

namespace nbx {

// The rows a grid reads at once.
inline constexpr int kGridPageRows = 128;

// The rows a grid shows, read before anything is shown: the rowids in display order and the
// first page of their values.
struct GridRows {
    QList<qint64> order;
    QList<QVariantList> firstPage;
};

// Reads the rows of device `serial` in the order of a heading click on column `col` (see
// sortKeys). An order the table's index gives is read in SQL; any other is sorted here (no index
// serves it, and sorting the keys alone is much faster than sorting whole rows). No value on a
// failure, with the database's reason.
std::optional<GridRows> readGridRows(QSqlDatabase db, GridKind kind, qint32 serial, int col, bool ascending,
                                     QString* error);

// The values (the grid's `columns` fields) of the rows `ids` in that order, an empty row for a
// rowid no longer there; false with the database's reason.
bool readGridPage(QSqlDatabase db, GridKind kind, const QList<qint64>& ids, int columns, QList<QVariantList>& rows,
                  QString* error);

} // namespace nbx
