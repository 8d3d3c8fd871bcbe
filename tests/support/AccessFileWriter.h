// Writes small Access database files, Access 97 (Jet 3) or Access 2000 (Jet 4), laid out from the
// file format alone, so that the reading of Access files is tested on real files without any file
// from elsewhere.
#pragma once

#include <QList>
#include <QString>
#include <QVariant>

namespace nbx::test {

struct AccessColumn {
    enum class Type { Long, Single, Double, DateTime, Text, Memo, Byte, Integer, Bool };
    QString name;
    Type type;
    int width = 255; // Text: the most characters it holds
};

struct AccessTable {
    QString name;
    QList<AccessColumn> columns;
    QList<QVariantList> rows; // null for an empty cell; DateTime as QDateTime, Text and Memo as text
};

enum class AccessVersion { Jet3, Jet4 };

// Where the written file keeps what a test damages.
struct AccessLayout {
    int pageSize = 0;
    QList<qint64> typeBytes; // the type byte of every column definition, the catalog's included
};

// Writes the tables (no indexes) into a new file at `path`. Rows must stay under 200 bytes, which
// any long text does not: put it in a Memo, which goes on pages of its own. A Bool is true or false
// (a null is false), as the format keeps it in the row's mask of present columns.
bool writeAccessFile(const QString& path, const QList<AccessTable>& tables,
                     AccessVersion version = AccessVersion::Jet3, AccessLayout* layout = nullptr);

} // namespace nbx::test
