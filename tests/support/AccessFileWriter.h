// Writes small Access database files, Access 97 (Jet 3) or Access 2000 (Jet 4), laid out from the
// file format alone, so that the reading of Access files is tested on real files without any file
// from elsewhere.
#pragma once

#include <QList>
#include <QString>
#include <QVariant>

namespace nbx::test {

struct AccessColumn {
    enum class Type { Long, Single, Double, DateTime, Text, Memo };
    QString name;
    Type type;
};

struct AccessTable {
    QString name;
    QList<AccessColumn> columns;
    QList<QVariantList> rows; // null for an empty cell; DateTime as QDateTime, Text and Memo as text
};

enum class AccessVersion { Jet3, Jet4 };

// Writes the tables (no indexes) into a new file at `path`. Rows must stay under 200 bytes, which
// any long text does not: put it in a Memo, which goes on pages of its own.
bool writeAccessFile(const QString& path, const QList<AccessTable>& tables,
                     AccessVersion version = AccessVersion::Jet3);

} // namespace nbx::test
