// Language databases of both kinds, written by the tests themselves.
#pragma once

#include <QFile>
#include <QMap>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <gtest/gtest.h>

namespace nbx::test {

struct LangRow {
    QString native;
    QMap<QString, QVariant> translations; // column -> text (a null QVariant stores NULL)
    int skip = 0;
    int used = 0;
};

// Runs `sql` statements on the SQLite file `path` through a private connection.
inline void execOnFile(const QString& path, const QStringList& sql,
                       const QList<LangRow>& rows = {})
{
    static int counter = 0;
    const QString name = QStringLiteral("langfixture_%1").arg(++counter);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        for (const QString& s : sql)
            ASSERT_TRUE(q.exec(s)) << s.toStdString() << q.lastError().text().toStdString();
        for (const LangRow& r : rows) {
            QStringList cols = {QStringLiteral("Native"), QStringLiteral("bSkip"), QStringLiteral("bIsUsed")};
            QStringList marks = {QStringLiteral("?"), QStringLiteral("?"), QStringLiteral("?")};
            for (auto it = r.translations.begin(); it != r.translations.end(); ++it) {
                cols << QLatin1Char('"') + it.key() + QLatin1Char('"');
                marks << QStringLiteral("?");
            }
            ASSERT_TRUE(q.prepare(QStringLiteral("INSERT INTO LangDesk (%1) VALUES (%2)")
                                      .arg(cols.join(QLatin1Char(',')), marks.join(QLatin1Char(',')))));
            q.addBindValue(r.native);
            q.addBindValue(r.skip);
            q.addBindValue(r.used);
            for (auto it = r.translations.begin(); it != r.translations.end(); ++it)
                q.addBindValue(it.value());
            ASSERT_TRUE(q.exec()) << q.lastError().text().toStdString();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

inline const QStringList& allLanguages()
{
    static const QStringList langs = {u"Espa\u00f1ol"_qs, u"Catal\u00e0"_qs, u"English"_qs, u"Deutsch"_qs,
                                      u"Fran\u00e7ais"_qs, u"Italiano"_qs, u"Portugu\u00eas"_qs};
    return langs;
}

// A table-kind database with the seven language columns and `rows`.
inline void makeTableDb(const QString& path, const QList<LangRow>& rows)
{
    QStringList cols;
    for (const QString& l : allLanguages())
        cols << QLatin1Char('"') + l + QStringLiteral("\" TEXT");
    execOnFile(path,
               {QStringLiteral("CREATE TABLE LangDesk (Native TEXT NOT NULL, bIsUsed INTEGER NOT NULL "
                               "DEFAULT 0, bSkip INTEGER NOT NULL DEFAULT 0, %1)")
                    .arg(cols.join(QStringLiteral(", ")))},
               rows);
}

// A text-kind database: `natives` (sorted by the caller), one section per language. Offsets are
// written right unless `wrongOffsets`.
inline QByteArray textDbBytes(const QStringList& natives, const QMap<QString, QStringList>& columns,
                              const QString& eol = QStringLiteral("\r\n"), bool wrongOffsets = false)
{
    QStringList sectionNames = {QStringLiteral("Native")};
    sectionNames += columns.keys();
    // Header length depends on the offsets' digits: build until the offsets settle.
    QList<int> offsets(sectionNames.size(), 0);
    QByteArray out;
    for (int pass = 0; pass < 5; ++pass) {
        const QList<int> used = offsets;
        QString text = QStringLiteral("[Language Desk]") + eol;
        text += QStringLiteral("NumberOfLanguages=%1").arg(columns.size()) + eol;
        text += QStringLiteral("NumberOfStrings=%1").arg(natives.size()) + eol;
        for (int n = 1; n < sectionNames.size(); ++n)
            text += QStringLiteral("Language%1=%2").arg(n).arg(sectionNames[n]) + eol;
        for (int n = 0; n < sectionNames.size(); ++n)
            text += QStringLiteral("Language%1_Offset=%2").arg(n).arg(wrongOffsets ? 7 + n : offsets[n]) + eol;
        text += eol;
        out = text.toUtf8();
        for (int n = 0; n < sectionNames.size(); ++n) {
            offsets[n] = out.size() + 1;
            QString sec = QLatin1Char('[') + sectionNames[n] + QLatin1Char(']') + eol;
            const QStringList& values = n == 0 ? natives : columns[sectionNames[n]];
            for (int i = 0; i < values.size(); ++i)
                sec += QStringLiteral("S%1=").arg(i + 1, 3, 10, QLatin1Char('0')) + values[i] + eol;
            out += sec.toUtf8();
        }
        if (offsets == used)
            break;
    }
    return out;
}

inline void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

} // namespace nbx::test
