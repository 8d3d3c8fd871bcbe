// The columns of the four record grids (field, designed caption, the caption set at load, split,
// width, colours, the texts shown for reserved values), the text a stored value shows, and the
// ORDER BY of a heading click.
#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QVariant>

namespace nbx {

enum class GridKind { Intervalos, Sesiones, DiaBorrado, DiaReprogramado };

// Value items: texts shown instead of some stored values.
enum class ValueItems {
    None,
    Level,        // 59 "UND", 121 "UP", 0 "---"
    LevelNo59,    // 121 "UP", 0 "---"
    Limit,        // 255 "---"
    Uncalibrated, // 255 GetS(123) "Sin calibrar"
    YesNo,        // a picture for 0 and one for -1
};

struct GridColumn {
    QString field;        // empty for column 0 (bound to nothing, hidden)
    QString design;       // designed caption (a translation key), may be empty
    int split = -1;       // -1 hidden, 0 frozen, 1 scrolling
    int widthTwips = 0;
    quint32 cell = 0, heading = 0; // 0xAARRGGBB; 0: the grid's default
    ValueItems items = ValueItems::None;
    bool isDate = false;  // stored "yyyy-MM-dd", shown "dd/mm/yyyy"
};

QList<GridColumn> gridColumns(GridKind kind);
QString gridTable(GridKind kind);

// DisenyaGrids' caption of column `col` (GetS texts and pieces, CR between lines); `current` is
// the column's caption after translation (kept, or with CR "min" added for the three minute
// counters).
QString designedCaption(GridKind kind, int col, const QString& current);

// The text a cell shows (decimals with the desktop's separator); `uncalibrated` is the current
// GetS(123).
QString cellText(const GridColumn& c, const QVariant& value, const QString& uncalibrated);

// The sort keys of a click on column `col` (SQL expressions); the Leq1' date texts
// ("dd/mm/yyyy") give a key that sorts chronologically.
QStringList sortKeys(GridKind kind, int col);
// The Leq1' date and time fields whose moment is the sort key of a click on `col` (see
// momentKeyOf); empty for the other columns.
QStringList sortMomentFields(GridKind kind, int col);
// That key of a date ("dd/mm/yyyy") and time ("hh:mm") text in UTF-8, computed here as the SQL
// key computes it: yyyymmddhhmm, each part read as CAST reads an integer.
qint64 momentKeyOf(QByteArrayView date, QByteArrayView time);
// True when the table's own index gives that order (the start moment, the day tables).
bool sortKeysIndexed(GridKind kind, int col);
// " ORDER BY ..." of those keys, both in the same direction.
QString orderBy(GridKind kind, int col, bool ascending);
// The rowid, then the grid's fields (column 0 a NULL), of `count` rows given by their rowids.
QString gridSelectRowids(GridKind kind, int count);

} // namespace nbx
