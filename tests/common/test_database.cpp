#include "common/AppPaths.h"
#include "common/ConfiguracionRepo.h"
#include "common/Database.h"
#include "support/TempDatabase.h"

#include <QFile>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>
#include <gtest/gtest.h>
#include <optional>

using namespace nbx;

namespace {

QStringList columnsInDb(const QString& table)
{
    QStringList out;
    QSqlQuery q(mainDb());
    q.exec(QStringLiteral("PRAGMA table_info(%1)").arg(quoteIdentifier(table)));
    while (q.next())
        out << q.value(1).toString();
    return out;
}

int count(const QString& sql)
{
    QSqlQuery q(mainDb());
    q.exec(sql);
    q.next();
    return q.value(0).toInt();
}

} // namespace

TEST(Database, FirstOpenCreatesEveryTableAndOneSettingsRow)
{
    test::TempDatabase db;
    ASSERT_TRUE(Database::isOpen());
    for (const QString& table : schemaTables()) {
        QStringList have = columnsInDb(table), want = schemaColumns(table);
        have.sort();
        want.sort();
        EXPECT_EQ(have.join(',').toStdString(), want.join(',').toStdString()) << table.toStdString();
    }
    EXPECT_EQ(schemaColumns("Programacion").size(), 56);
    EXPECT_EQ(schemaColumns("Intervalos").size(), 35);
    EXPECT_EQ(schemaColumns("Sesiones").size(), 31);
    EXPECT_EQ(count("SELECT COUNT(*) FROM Configuracion"), 1);
    EXPECT_EQ(count("PRAGMA user_version"), Database::kSchemaVersion);
}

TEST(Database, KeysRefuseDuplicatesWhereTheyMustAndIndexesExist)
{
    test::TempDatabase db;
    QSqlQuery q(mainDb());
    EXPECT_TRUE(q.exec("INSERT INTO Programacion (LNumeroSerie, \"SOctava31,5Hz\") VALUES (123456, 1.5)"));
    EXPECT_FALSE(q.exec("INSERT INTO Programacion (LNumeroSerie) VALUES (123456)"));
    EXPECT_TRUE(q.exec("INSERT INTO IntervaloInhabil (LNumeroSerie, ByIntervalo) VALUES (1, 1)"));
    EXPECT_FALSE(q.exec("INSERT INTO IntervaloInhabil (LNumeroSerie, ByIntervalo) VALUES (1, 1)"));
    EXPECT_TRUE(q.exec("INSERT INTO Intervalos (LNumeroSerie, DFechaInicio, THoraInicio) VALUES (1, '2024-01-01', '10:00')"));
    EXPECT_FALSE(q.exec("INSERT INTO Intervalos (LNumeroSerie, DFechaInicio, THoraInicio) VALUES (1, '2024-01-01', '10:00')"));
    EXPECT_TRUE(q.exec("INSERT INTO Sesiones (LNumeroSerie, DFechaInicio, THoraInicio) VALUES (1, '2024-01-01', '10:00')"));
    EXPECT_TRUE(q.exec("INSERT INTO Sesiones (LNumeroSerie, DFechaInicio, THoraInicio) VALUES (1, '2024-01-01', '10:00')"));
    EXPECT_EQ(count("SELECT COUNT(*) FROM sqlite_master WHERE type='index' AND name NOT LIKE 'sqlite_%'"), 4);
}

TEST(Database, ReopeningKeepsDataAndRepairsTheSettingsRow)
{
    test::TempDatabase db;
    QSqlQuery q(mainDb());
    ASSERT_TRUE(q.exec("INSERT INTO Programacion (LNumeroSerie) VALUES (42)"));
    ASSERT_TRUE(q.exec("DELETE FROM Configuracion"));
    q.finish();
    QString error;
    ASSERT_TRUE(Database::open(AppPaths::databaseFile(), &error)) << error.toStdString();
    EXPECT_EQ(count("SELECT COUNT(*) FROM Programacion"), 1);
    EXPECT_EQ(count("SELECT COUNT(*) FROM Configuracion"), 1);
}

TEST(Database, AFileThatIsNoDatabaseGivesAReadableError)
{
    test::TempHome home;
    const QString path = home.file("nbx70.db");
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(QByteArray(4096, 'x'));
    f.close();
    QString error;
    EXPECT_FALSE(Database::open(path, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(Database::isOpen());
}

TEST(ConfiguracionRepo, SavesAndLoadsTheSettings)
{
    test::TempDatabase db;
    ConfiguracionRow row;
    row.byCom = 3;
    row.iIdioma = 5000;
    row.byTono = 0;
    row.byModem = 1;
    row.tPrefijo = " ";
    row.tUsuario = QString::fromUtf8("Pie ñ");
    QString error;
    ASSERT_TRUE(ConfiguracionRepo::saveSettings(row, &error));
    ASSERT_TRUE(ConfiguracionRepo::saveMemo("1 01/01/24", &error));
    ConfiguracionRow back;
    ASSERT_TRUE(ConfiguracionRepo::load(&back, &error));
    EXPECT_EQ(back.byCom, 3);
    EXPECT_EQ(back.iIdioma, 5000);
    EXPECT_EQ(back.byTono, 0);
    EXPECT_EQ(back.byModem, 1);
    EXPECT_EQ(back.tPrefijo, " ");
    EXPECT_EQ(back.tUsuario, QString::fromUtf8("Pie ñ"));
    EXPECT_EQ(back.memo, "1 01/01/24");
}

// A settings save while a download's group of writes is open does not join that group: when the
// group's commit then fails, the saved settings stay saved.
TEST(ConfiguracionRepo, ASaveIsNotRolledBackWithAnOpenDownloadGroup)
{
    test::TempDatabase db;
    QSqlDatabase main = mainDb();
    ASSERT_TRUE(QSqlQuery(main).exec("BEGIN"));
    ASSERT_TRUE(QSqlQuery(main).exec("INSERT INTO DiaBorrado VALUES (1, '2024-01-01', '10:00')"));
    std::optional<OpenGroup> group;
    const auto commitFails = [&] { // what a failed commit leaves: the group rolled back
        QSqlQuery(main).exec("ROLLBACK");
        group.reset();
    };
    group.emplace(main, commitFails);
    QString error;
    EXPECT_TRUE(ConfiguracionRepo::saveUsuario("Pie", &error)) << error.toStdString();
    if (group)
        commitFails(); // the download's own commit, later
    ConfiguracionRow row;
    ASSERT_TRUE(ConfiguracionRepo::load(&row, &error));
    EXPECT_EQ(row.tUsuario, "Pie");
}

TEST(AppPaths, HomeOverrideAndCaseInsensitiveNames)
{
    test::TempHome home;
    EXPECT_EQ(AppPaths::configDir(), home.path());
    EXPECT_EQ(AppPaths::dataDir(), home.path());
    QFile f(home.file("NBX70.INI"));
    f.open(QIODevice::WriteOnly);
    f.close();
    EXPECT_EQ(AppPaths::configFile(), home.file("NBX70.INI"));
    EXPECT_EQ(AppPaths::databaseFile(), home.file("nbx70.db"));
    EXPECT_TRUE(ExisteFichero(home.file("NBX70.INI")));
    EXPECT_FALSE(ExisteFichero(home.path()));
    EXPECT_FALSE(ExisteFichero(home.file("*.INI")));
}

namespace {

// Runs statements on a database file outside the main connection.
void onFile(const QString& path, const QStringList& statements)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "raw-file");
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        for (const QString& s : statements)
            ASSERT_TRUE(q.exec(s)) << s.toStdString();
        db.close();
    }
    QSqlDatabase::removeDatabase("raw-file");
}

QByteArray bytesOf(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

} // namespace

// A file of an older program or one damaged by hand: what is missing is added, rows are kept.
TEST(Database, OpenAddsMissingTablesColumnsAndIndexesKeepingRows)
{
    test::TempHome home;
    const QString path = home.file("nbx70.db");
    onFile(path, {"CREATE TABLE Programacion (LNumeroSerie INTEGER NOT NULL, TContacto TEXT, PRIMARY KEY (LNumeroSerie))",
                  "INSERT INTO Programacion VALUES (42, 'Ana')",
                  "CREATE TABLE Configuracion (ByCom INTEGER)", "INSERT INTO Configuracion VALUES (7)",
                  "PRAGMA user_version = 1"});
    QString error;
    ASSERT_TRUE(Database::open(path, &error)) << error.toStdString();
    for (const QString& table : schemaTables()) {
        QStringList have = columnsInDb(table), want = schemaColumns(table);
        have.sort();
        want.sort();
        EXPECT_EQ(have.join(',').toStdString(), want.join(',').toStdString()) << table.toStdString();
    }
    EXPECT_EQ(count("SELECT COUNT(*) FROM sqlite_master WHERE type='index' AND name NOT LIKE 'sqlite_%'"), 4);
    EXPECT_EQ(count("SELECT COUNT(*) FROM Programacion WHERE LNumeroSerie = 42 AND TContacto = 'Ana' "
                    "AND CMI = 0"), 1);
    EXPECT_EQ(count("SELECT ByCom FROM Configuracion"), 7);
    EXPECT_EQ(count("SELECT COUNT(*) FROM pragma_table_info('DescargaPendiente')"), 3); // version 2
    EXPECT_EQ(count("PRAGMA user_version"), Database::kSchemaVersion);
    QSqlQuery q(mainDb());
    q.prepare("UPDATE Programacion SET \"SOctava31,5Hz\" = ?, TVersion = ? WHERE LNumeroSerie = 42");
    q.addBindValue(1.5);
    q.addBindValue("2.0");
    EXPECT_TRUE(q.exec()) << "a save after the migration finds every column";
    q.finish();
    Database::close();
}

// A database of a newer program is refused and not touched at all.
TEST(Database, ANewerDatabaseIsRefusedUntouched)
{
    test::TempHome home;
    const QString path = home.file("nbx70.db");
    onFile(path, {"CREATE TABLE Programacion (LNumeroSerie INTEGER)",
                  QStringLiteral("PRAGMA user_version = %1").arg(Database::kSchemaVersion + 1)});
    const QByteArray before = bytesOf(path);
    QString error;
    bool newer = false;
    EXPECT_FALSE(Database::open(path, &error, &newer));
    EXPECT_TRUE(newer);
    EXPECT_TRUE(error.contains(path));
    EXPECT_FALSE(Database::isOpen());
    EXPECT_EQ(bytesOf(path), before);
    EXPECT_FALSE(QFile::exists(path + "-wal"));
}
