// The shipped language database: its translation source, the committed resources/Language.db
// generated from it, and lookups through it.
#include "localisation/LangDesk.h"
#include "localisation/Strings.h"
#include "make-language-db/StringsTsv.h"

#include <QDir>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <gtest/gtest.h>

namespace nbx::test {
namespace {

const QString kResources = QStringLiteral(NBX70_SOURCE_RESOURCES);
const QString kTsv = kResources + QStringLiteral("/language/strings.tsv");
const QString kDb = kResources + QStringLiteral("/Language.db");

QList<StringRow> sourceRows()
{
    QString error;
    const auto rows = readStringsTsv(kTsv, &error);
    EXPECT_TRUE(rows.has_value()) << error.toStdString();
    return rows.value_or(QList<StringRow>{});
}

struct DbRow {
    QVariant used, skip, spanish;
    QList<QVariant> translations; // in tsvLanguages() order
};

// Every row of the committed database keyed by Native; `count` receives the number of rows.
QHash<QString, DbRow> shippedRows(qsizetype* count, QStringList* columns)
{
    QHash<QString, DbRow> out;
    const QString name = QStringLiteral("shipped_language_test");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(kDb);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        EXPECT_TRUE(db.open()) << db.lastError().text().toStdString();
        const QSqlRecord record = db.record(QStringLiteral("LangDesk"));
        for (int i = 0; i < record.count(); ++i)
            *columns << record.fieldName(i);
        QSqlQuery q(db);
        EXPECT_TRUE(q.exec(QStringLiteral("SELECT * FROM LangDesk ORDER BY rowid")));
        *count = 0;
        while (q.next()) {
            ++*count;
            DbRow row{q.value(QStringLiteral("bIsUsed")), q.value(QStringLiteral("bSkip")),
                      q.value(QStringLiteral("Espa\u00f1ol")), {}};
            for (const QString& lang : tsvLanguages())
                row.translations << q.value(lang);
            out.insert(q.value(QStringLiteral("Native")).toString(), row);
        }
    }
    QSqlDatabase::removeDatabase(name);
    return out;
}

TEST(ShippedLanguageTsv, FieldEscapes)
{
    const struct {
        QString field;
        std::optional<QString> text;
    } cases[] = {
        {u"plain"_qs, u"plain"_qs},
        {u"a\\rb"_qs, u"a\rb"_qs},
        {u"a\\r\\nb"_qs, u"a\r\nb"_qs},
        {u"\\t\\\\"_qs, u"\t\\"_qs},
        {u"\\\\r"_qs, u"\\r"_qs}, // an escaped backslash followed by a plain r
        {u"bad\\x"_qs, std::nullopt},
        {u"trailing\\"_qs, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(unescapeTsvField(c.field), c.text) << c.field.toStdString();
        if (c.text) {
            EXPECT_EQ(escapeTsvField(*c.text), c.field) << c.field.toStdString();
        }
    }
}

TEST(ShippedLanguageTsv, MalformedFilesRejectedWithLine)
{
    const struct {
        QByteArray bytes;
        const char* reason;
    } cases[] = {
        {"a\tb\tc\n", "line 1: 3 fields"},
        {"x\t1\t2\t3\t4\t5\t6\ny\t1\t2\t3\t4\t5\t6\t7\n", "line 2: 8 fields"},
        {"x\t1\t2\t3\t4\t5\t6\nx\t1\t2\t3\t4\t5\t6\n", "line 2: Spanish text repeated"},
        {"\t1\t2\t3\t4\t5\t6\n", "line 1: empty Spanish text"},
        {"x\\q\t1\t2\t3\t4\t5\t6\n", "line 1: bad escape"},
        {"\xe9\t1\t2\t3\t4\t5\t6\n", "not valid UTF-8"},
    };
    for (const auto& c : cases) {
        QString error;
        EXPECT_FALSE(parseStringsTsv(c.bytes, &error).has_value()) << c.reason;
        EXPECT_TRUE(error.contains(QString::fromLatin1(c.reason))) << error.toStdString();
    }
    QString error;
    const auto rows = parseStringsTsv("x\t\t2\t3\t4\t5\t6\r\n\ny\\r\t1\\r\t2\\r\t3\\r\t4\\r\t5\\r\t6\\r", &error);
    ASSERT_TRUE(rows.has_value()) << error.toStdString();
    ASSERT_EQ(rows->size(), 2);
    EXPECT_TRUE(rows->at(0).translations.at(0).isEmpty());
    EXPECT_EQ(rows->at(1).native, u"y\r"_qs);
    EXPECT_EQ(rows->at(1).line, 3);
}

// The committed database holds exactly the source's rows, so the two cannot drift apart.
TEST(ShippedLanguage, DatabaseMatchesSource)
{
    const QList<StringRow> rows = sourceRows();
    ASSERT_FALSE(rows.isEmpty());
    qsizetype count = 0;
    QStringList columns;
    const QHash<QString, DbRow> db = shippedRows(&count, &columns);
    EXPECT_EQ(columns, QStringList({u"Native"_qs, u"bIsUsed"_qs, u"bSkip"_qs}) + LangDesk::languageColumns());
    EXPECT_EQ(count, rows.size()) << "regenerate with: cmake --build <dir> --target language-db";
    EXPECT_EQ(db.size(), rows.size()) << "repeated Native texts in the database";
    for (const StringRow& row : rows) {
        const auto it = db.constFind(row.native);
        ASSERT_NE(it, db.constEnd()) << "missing in Language.db: " << row.native.toStdString();
        EXPECT_NE(it->used.toInt(), 0);
        EXPECT_EQ(it->skip.toInt(), 0);
        EXPECT_TRUE(it->spanish.isNull());
        for (qsizetype l = 0; l < row.translations.size(); ++l) {
            const QString& t = row.translations.at(l);
            const QVariant& stored = it->translations.at(l);
            if (t.isEmpty()) {
                EXPECT_TRUE(stored.isNull()) << row.native.toStdString();
            } else {
                EXPECT_EQ(stored.toString(), t) << row.native.toStdString() << " / "
                                                << tsvLanguages().at(l).toStdString();
            }
        }
    }
}

TEST(ShippedLanguage, EveryBuiltInTextTranslatedInEveryLanguage)
{
    QHash<QString, StringRow> byNative;
    for (const StringRow& row : sourceRows())
        byNative.insert(row.native, row);
    for (long id = kFirstStringId; id <= kLastStringId; ++id) {
        if (!HasNativeString(id))
            continue;
        const QString native = GetNativeString(id, QString());
        const auto it = byNative.constFind(native);
        ASSERT_NE(it, byNative.constEnd()) << "id " << id << " has no row";
        for (qsizetype l = 0; l < it->translations.size(); ++l)
            EXPECT_FALSE(it->translations.at(l).isEmpty())
                << "id " << id << " untranslated in " << tsvLanguages().at(l).toStdString();
    }
}

// Messages fill "%s" in turn and grid headings break at CR: a translation must keep both.
TEST(ShippedLanguage, TranslationsKeepPlaceholdersAndLineBreaks)
{
    for (const StringRow& row : sourceRows()) {
        for (qsizetype l = 0; l < row.translations.size(); ++l) {
            const QString& t = row.translations.at(l);
            if (t.isEmpty())
                continue;
            const std::string where = "line " + std::to_string(row.line) + " " + tsvLanguages().at(l).toStdString();
            EXPECT_EQ(t.count(u"%s"_qs), row.native.count(u"%s"_qs)) << where;
            EXPECT_EQ(t.count(QLatin1Char('\r')), row.native.count(QLatin1Char('\r'))) << where;
            EXPECT_EQ(t.count(QLatin1Char('\n')), row.native.count(QLatin1Char('\n'))) << where;
        }
    }
}

TEST(ShippedLanguage, LookupsThroughShippedDatabase)
{
    const struct {
        const char* column;
        long id;
        QString text;
    } cases[] = {
        {"English", 1, u"Language"_qs},
        {"English", 23, u"Do you want to save the changes?"_qs},
        {"English", 41, u"LeqT\rT(min)"_qs},
        {"English", 12, u"Leq1'max"_qs},
        {"Catal\u00e0", 1, u"Idioma"_qs},
        {"Catal\u00e0", 70, u"Dilluns"_qs},
        {"Catal\u00e0", 119, u"Contrasenya incorrecta"_qs},
        {"Deutsch", 158, u"Daten importieren"_qs},
        {"Espa\u00f1ol", 158, u"Importar datos"_qs}, // Spanish column empty: the built-in text
    };
    for (const auto& c : cases) {
        LangDesk engine;
        QString name = u"Language.db"_qs;
        ASSERT_TRUE(SetupLanguage(name, QString::fromUtf8(c.column), engine, {kResources}))
            << engine.sErrDescription().toStdString();
        EXPECT_EQ(engine.GetS(c.id), c.text) << c.column << " " << c.id;
        engine.CloseLanguageDatabase();
    }
}

} // namespace
} // namespace nbx::test
