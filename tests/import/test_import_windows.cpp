// The import window Form16, the main window's import button and the imports of start-up, through
// the real windows (offscreen).
#include "common/AppPaths.h"
#include "common/AppState.h"
#include "common/Database.h"
#include "import/ui/Form16.h"
#include "import/ui/ImportWindows.h"
#include "localisation/DatabaseFailure.h"
#include "localisation/LangDesk.h"
#include "localisation/Strings.h"
#include "shell/ui/Form1.h"
#include "support/AccessFileWriter.h"
#include "support/ExchangeFileWriter.h"
#include "support/ScriptedPrompter.h"
#include "support/TempDatabase.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace nbx;
using namespace nbx::test;

namespace {

QString writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return path;
}

int rows(const char* table)
{
    QSqlQuery q(mainDb());
    q.exec(QStringLiteral("SELECT COUNT(*) FROM %1").arg(QLatin1String(table)));
    return q.next() ? q.value(0).toInt() : -1;
}

QByteArray intervals(int n)
{
    ExchangeSectionRows s{"Intervalos", {}};
    for (int i = 0; i < n; ++i)
        s.rows << sampleRow("Intervalos", i);
    return writeExchangeFile({s});
}

// Runs Form16 on `path` as the program does; `hook` sees every progress text.
ExchangeImportResult::Status runForm16(const QString& path, std::function<void(Form16&, const QString&)> hook = {})
{
    Form16 form;
    form.Form_Load();
    form.setFile(path);
    if (hook)
        form.progressHook = [&](const QString& t) { hook(form, t); };
    form.exec();
    return form.outcome();
}

class RecordingImport : public ImportService {
public:
    QStringList calls;
    Form1* form = nullptr;
    MergeReport mergeDatabase(const QString& path) override
    {
        calls << "merge:" + path + (form && form->SSPanel1->isVisibleTo(form) ? " panel" : "");
        return MergeOutcome::Merged;
    }
    void importExchangeFile(const QString& path) override
    {
        calls << "km70:" + path + (form && !form->SSCommandExit->isEnabled() ? " held" : "");
    }
};

// A pending backup of our own schema holding sheet 654321, and what `more` adds to it.
bool writeBackupWithASheet(const char* more = nullptr)
{
    {
        QSqlDatabase src = QSqlDatabase::addDatabase("QSQLITE", "backup-src");
        src.setDatabaseName(AppPaths::backupFile());
        QString error;
        if (!src.open() || !Database::ensureSchema(src, &error))
            return false;
        QSqlQuery(src).exec("INSERT INTO Programacion (LNumeroSerie, TLocal) VALUES (654321, 'Bar')");
        if (more)
            QSqlQuery(src).exec(more);
    }
    QSqlDatabase::removeDatabase("backup-src");
    return true;
}

// Puts at `path` a copy of a database in use, as a copier takes it: its file and, beside it, its
// -wal, which alone holds what `statements` wrote (on our schema when `ours`).
bool copyOfADatabaseInUse(const QString& path, const QStringList& statements, bool ours = true)
{
    QTemporaryDir dir;
    const QString live = dir.filePath("live.db");
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "in-use");
        db.setDatabaseName(live);
        QString error;
        ok = db.open() && QSqlQuery(db).exec("PRAGMA journal_mode = WAL") && QSqlQuery(db).exec("PRAGMA wal_autocheckpoint = 0");
        ok = ok && (!ours || Database::ensureSchema(db, &error));
        for (const QString& sql : statements)
            ok = ok && QSqlQuery(db).exec(sql);
        ok = ok && QFile::copy(live, path) && QFile::copy(live + "-wal", path + "-wal");
    }
    QSqlDatabase::removeDatabase("in-use");
    return ok;
}

// An Access file holding sheet 123456, whose memo spans three pages, with `bytes` written at `at`.
// Pages: 0 header, 1 usage maps, 2 and 3 the catalog, 4 the table's definition (its first
// column's type at byte 43), 5 to 7 the memo, 8 the row.
bool writeDamagedAccessFile(const QString& path, qint64 at, const QByteArray& bytes)
{
    const QList<AccessColumn> columns = {{"LNumeroSerie", AccessColumn::Type::Long}, {"TNota", AccessColumn::Type::Memo}};
    QFile f(path);
    return writeAccessFile(path, {{"Programacion", columns, {{123456, QString(5000, QLatin1Char('n'))}}}})
        && f.open(QIODevice::ReadWrite) && f.seek(at) && f.write(bytes) == bytes.size();
}
const qint64 kMemoPage = 6 * 2048, kFirstColumnType = 4 * 2048 + 43;

// Why a file is refused, or rows of IntervaloInhabil were left out, in the language shown.
QString damaged() { return GetS(QStringLiteral("El fichero está dañado.")); }
QString notOurs() { return GetS(QStringLiteral("No es una base de datos de este programa.")); }
QString rowsLeftOut(const char* n)
{
    return GetS(QStringLiteral("No se han añadido %s filas de la tabla %s: sus valores no caben en la base de datos."),
                {n, "IntervaloInhabil"});
}

} // namespace

TEST(Form16, ImportsShowsProgressAndReportsAFormatError)
{
    TempDatabase db;
    ScriptedPrompter prompts;
    QStringList progress;
    const QString good = writeFile(db.file("Sala 1.KM70"), intervals(30));
    EXPECT_EQ(runForm16(good, [&](Form16& f, const QString& t) {
                  progress << t;
                  EXPECT_EQ(f.lblFitxer->text(), "Sala 1.KM70");
              }),
              ExchangeImportResult::Status::Imported);
    EXPECT_TRUE(prompts.shown.isEmpty());
    EXPECT_EQ(rows("Intervalos"), 30);
    EXPECT_EQ(progress.first(), "Importando datos   1 / 30");

    const QString bad = writeFile(db.file("bad.km70"), "//Sesiones//\r\nh\r\n123456;2005-03-21;2005-03-21;1;999\r\n");
    EXPECT_EQ(runForm16(bad), ExchangeImportResult::Status::Rejected);
    ASSERT_EQ(prompts.shown.size(), 1);
    EXPECT_EQ(prompts.shown[0].icon, Prompter::Icon::Critical);
    EXPECT_EQ(prompts.shown[0].text, QStringLiteral("Formato incorrecto\rTabla Sesiones, línea 3, columna 5 (ByNivelDiaLocal): valor no válido «999»."));

    EXPECT_EQ(runForm16(db.file("missing.km70")), ExchangeImportResult::Status::DatabaseError);
    ASSERT_EQ(prompts.shown.size(), 2);
    EXPECT_TRUE(prompts.shown[1].text.startsWith("No se puede leer el fichero"));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(Form16, CancelInMidImportRollsBackSilentlyAndASecondImportWorks)
{
    TempDatabase db;
    ScriptedPrompter prompts;
    const QString file = writeFile(db.file("big.km70"), intervals(400));
    const auto status = runForm16(file, [](Form16& f, const QString& t) {
        if (t.endsWith(QLatin1String("1 / 400")))
            f.sscmdCancel->click();
    });
    EXPECT_EQ(status, ExchangeImportResult::Status::Cancelled);
    EXPECT_TRUE(prompts.shown.isEmpty());
    EXPECT_EQ(rows("Intervalos"), 0);
    EXPECT_EQ(runForm16(file), ExchangeImportResult::Status::Imported);
    EXPECT_EQ(rows("Intervalos"), 400);
}

TEST(ImportButton, FileDialogFiltersAndTheDispatchByEnding)
{
    TempDatabase db;
    ScriptedPrompter prompts;
    Form1 form;
    RecordingImport import;
    import.form = &form;
    setImportService(&import);
    QStringList filters;
    QString chosen;
    setOpenFileDialog([&](QWidget*, const QString& dir, const QStringList& f) {
        filters = f;
        EXPECT_EQ(dir, AppPaths::dataDir());
        return chosen;
    });
    const struct {
        QString chosen;
        QString call; // empty: nothing imported
        bool wrongFormat;
    } cases[] = {
        {"/d/DATA.MDB", "merge:/d/DATA.MDB panel", false},
        {"/d/data.mdb", "merge:/d/data.mdb panel", false},
        {"/d/x.KM70", "km70:/d/x.KM70 held", false},
        {"/d/x.km70", "km70:/d/x.km70 held", false},
        {"/d/notes.txt", "", true},
        {"", "", false}, // the dialog was cancelled
    };
    for (const auto& c : cases) {
        chosen = c.chosen;
        import.calls.clear();
        prompts.shown.clear();
        form.SSCommand1_Click();
        EXPECT_EQ(import.calls, c.call.isEmpty() ? QStringList() : QStringList{c.call}) << c.chosen.toStdString();
        EXPECT_EQ(prompts.sawText("Formato incorrecto"), c.wrongFormat) << c.chosen.toStdString();
        EXPECT_TRUE(appState().ficheroImportar.isEmpty());
        EXPECT_TRUE(form.SSCommandExit->isEnabled());
        EXPECT_FALSE(form.SSPanel1->isVisibleTo(&form));
    }
    EXPECT_EQ(filters, QStringList({"Bases de datos de Access (*.mdb *.MDB)",
                                    "Ficheros de intercambio NBX-70 (*.km70 *.KM70)", "Todos los ficheros (*)"}));
    setOpenFileDialog({});
    setImportService(nullptr);
}

// The import button with the program's own merge: a damaged Access file, or a database of another
// program, is refused with "Formato incorrecto" and adds nothing; the file stays as it was.
TEST(ImportButton, ADamagedFileOrAnotherProgramsDatabaseAddsNothing)
{
    TempDatabase db;
    ScriptedPrompter prompts;
    installImportService();
    Form1 form;
    QString chosen;
    setOpenFileDialog([&](QWidget*, const QString&, const QStringList&) { return chosen; });
    const QString memo = db.file("memo.mdb"), sector = db.file("sector.mdb"), type = db.file("type.mdb"),
                  other = db.file("other.mdb");
    ASSERT_TRUE(writeDamagedAccessFile(memo, kMemoPage, QByteArray(2048, '\0')));
    ASSERT_TRUE(writeDamagedAccessFile(sector, kMemoPage + 1024, QByteArray(512, '\0'))); // within its text
    ASSERT_TRUE(writeDamagedAccessFile(type, kFirstColumnType, "\xfb")); // Long (4) with its bits flipped
    ASSERT_TRUE(copyOfADatabaseInUse(other, {"CREATE TABLE Clientes (Nombre TEXT)", "INSERT INTO Clientes VALUES ('x')"}, false));
    for (const auto& [file, why] : {std::pair(memo, damaged()), {sector, damaged()}, {type, damaged()}, {other, notOurs()}}) {
        chosen = file;
        prompts.shown.clear();
        form.SSCommand1_Click();
        ASSERT_EQ(prompts.shown.size(), 1) << file.toStdString();
        EXPECT_EQ(prompts.shown[0].text, GetS(157) + '\r' + why) << prompts.shown[0].text.toStdString();
        EXPECT_EQ(rows("Programacion"), 0) << file.toStdString();
        EXPECT_TRUE(QFile::exists(file));
    }
    EXPECT_TRUE(QFile::exists(other + "-wal")); // a file the user chose is never touched
    setOpenFileDialog({});
    setImportService(nullptr);
}

// The rows a chosen file adds are kept, and those it cannot add are told; the file stays as it was.
TEST(ImportButton, RowsLeftOutOfAChosenFileAreTold)
{
    TempDatabase db;
    ScriptedPrompter prompts;
    installImportService();
    Form1 form;
    const QString chosen = db.file("odd.mdb"); // our own file, told by its header
    ASSERT_TRUE(copyOfADatabaseInUse(chosen, {"INSERT INTO IntervaloInhabil (LNumeroSerie, ByIntervalo) VALUES (111111, 30), (111111, 31)"}));
    setOpenFileDialog([&](QWidget*, const QString&, const QStringList&) { return chosen; });
    form.SSCommand1_Click();
    ASSERT_EQ(prompts.shown.size(), 1);
    EXPECT_EQ(prompts.shown[0].text, rowsLeftOut("1"));
    EXPECT_EQ(rows("IntervaloInhabil"), 1);
    EXPECT_TRUE(QFile::exists(chosen));
    setOpenFileDialog({});
    setImportService(nullptr);
}

TEST(ImportStartup, PendingBackupIsMergedAndAKm70OnTheCommandLineIsImported)
{
    TempHome home;
    ScriptedPrompter prompts;
    installImportService();
    // A backup holding a sheet, made with our own schema. Inhibited intervals are numbered 1 to 30:
    // these two are left out, said so once, and the backup is kept aside with them.
    ASSERT_TRUE(writeBackupWithASheet(
        "INSERT INTO IntervaloInhabil (LNumeroSerie, ByIntervalo) VALUES (654321, 31), (654321, 40)"));
    const QString km70 = writeFile(home.file("Sala.KM70"), intervals(5));
    {
        Form1 form;
        const StartupResult r = form.start("\"" + km70 + "\"", true);
        EXPECT_TRUE(r.commandLineFollowed);
        EXPECT_TRUE(form.SSCommand1->isEnabled());
        EXPECT_EQ(rows("Programacion"), 1);
        EXPECT_EQ(rows("Intervalos"), 5);
        form.SSCommandExit->click();
    }
    EXPECT_FALSE(QFile::exists(AppPaths::backupFile()));
    QStringList aside = QDir(home.path()).entryList({"backupnbx70.bak.failed-*"});
    ASSERT_EQ(aside.size(), 1);
    ASSERT_EQ(prompts.shown.size(), 1);
    EXPECT_EQ(prompts.shown[0].text.split('\r'),
              QStringList({GetS(QStringLiteral("La copia pendiente no se ha añadido entera y se ha guardado como %s."),
                                {QDir(home.path()).absoluteFilePath(aside[0])}),
                           rowsLeftOut("2")}));
    QFile::remove(QDir(home.path()).absoluteFilePath(aside[0]));
    prompts.shown.clear();
    Database::close();

    // A backup that is not a database is set aside, never deleted: one message says where and why.
    writeFile(AppPaths::backupFile(), "not a database");
    {
        Form1 form;
        form.start(QString(), true);
        form.SSCommandExit->click();
    }
    ASSERT_EQ(prompts.shown.size(), 1);
    EXPECT_FALSE(QFile::exists(AppPaths::backupFile()));
    aside = QDir(home.path()).entryList({"backupnbx70.bak.failed-*"});
    ASSERT_EQ(aside.size(), 1);
    EXPECT_TRUE(prompts.shown[0].text.startsWith(GetS(157) + '\r'));
    EXPECT_TRUE(prompts.shown[0].text.contains(QDir(home.path()).absoluteFilePath(aside[0]))) // where it went
        << prompts.shown[0].text.toStdString();
    EXPECT_TRUE(prompts.shown[0].text.contains(notOurs()));
    setImportService(nullptr);
    Database::close();
}

// A merged backup goes with the files SQLite keeps beside it, so none is read into the next one;
// one that cannot be merged (damaged, another program's) is set aside with them, never deleted.
TEST(ImportStartup, APendingBackupLeavesNothingBehindAndOneThatCannotBeMergedIsSetAsideWhole)
{
    TempHome home;
    ScriptedPrompter prompts;
    installImportService();
    const QString backup = AppPaths::backupFile(), next = home.file("next.db");
    ASSERT_TRUE(writeBackupWithASheet() && QFile::rename(backup, next));
    const QStringList clientes = {"CREATE TABLE Clientes (Nombre TEXT)", "INSERT INTO Clientes VALUES ('x')"};
    const QStringList sheet = {"INSERT INTO Programacion (LNumeroSerie) VALUES (111111)"};
    const struct {
        const char* backup;
        std::function<bool()> place;
        QString sheets; // in the main database after the start
        bool setAside;
        std::function<QString()> why; // the message's last line, when it is set aside (in the language it is shown in)
    } starts[] = {
        {"a copy of a database in use, its sheet in its -wal alone", [&] { return copyOfADatabaseInUse(backup, sheet); }, "111111", false, {}},
        {"the next backup, which does not hold that sheet", [&] { return QFile::copy(next, backup); }, "654321", false, {}},
        {"what SQLite kept beside a backup that is gone", [&] { return copyOfADatabaseInUse(backup, sheet) && QFile::remove(backup); }, "", false, {}},
        {"another program's database in use", [&] { return copyOfADatabaseInUse(backup, clientes, false); }, "", true, notOurs},
        {"an Access file with a memo page zeroed", [&] { return writeDamagedAccessFile(backup, kMemoPage, QByteArray(2048, '\0')); }, "", true,
         damaged},
        {"an Access file with a sector of its memo's text zeroed",
         [&] { return writeDamagedAccessFile(backup, kMemoPage + 1024, QByteArray(512, '\0')); }, "", true, damaged},
        {"a backup of ours with a row that does not fit", [&] {
             return copyOfADatabaseInUse(backup, sheet + QStringList{"INSERT INTO IntervaloInhabil (LNumeroSerie, ByIntervalo) VALUES (111111, 31)"});
         }, "111111", true, [] { return rowsLeftOut("1"); }},
    };
    for (const auto& start : starts) {
        ASSERT_TRUE(start.place()) << start.backup;
        const bool withWal = QFile::exists(backup + "-wal");
        QByteArray bytes;
        if (QFile f(backup); f.open(QIODevice::ReadOnly))
            bytes = f.readAll();
        prompts.shown.clear();
        {
            Form1 form;
            form.start(QString(), true);
            QSqlQuery q(mainDb());
            EXPECT_TRUE(q.exec("SELECT group_concat(LNumeroSerie) FROM Programacion") && q.next());
            EXPECT_EQ(q.value(0).toString(), start.sheets) << start.backup;
            q.exec("DELETE FROM Programacion");
            form.SSCommandExit->click();
        }
        Database::close();
        for (const QString& file : {backup, backup + "-wal", backup + "-shm"})
            EXPECT_FALSE(QFile::exists(file)) << start.backup << ": " << file.toStdString();
        QDir dir(home.path());
        const QStringList aside = dir.entryList({"backupnbx70.bak.failed-*"}).filter(QRegularExpression("-\\d{6}$"));
        ASSERT_EQ(aside.size(), start.setAside ? 1 : 0) << start.backup;
        ASSERT_EQ(prompts.shown.size(), start.setAside ? 1 : 0) << start.backup;
        if (start.setAside) {
            const QString kept = dir.absoluteFilePath(aside[0]);
            QFile f(kept);
            EXPECT_TRUE(prompts.shown[0].text.contains(kept)) << prompts.shown[0].text.toStdString();
            EXPECT_EQ(prompts.shown[0].text.split('\r').last(), start.why()) << start.backup;
            // A file that cannot be merged at all is refused by its format.
            EXPECT_EQ(prompts.shown[0].text.startsWith(GetS(157) + '\r'), start.sheets.isEmpty()) << start.backup;
            EXPECT_TRUE(f.open(QIODevice::ReadOnly) && f.readAll() == bytes) << start.backup;
            EXPECT_EQ(QFile::exists(kept + "-wal"), withWal) << start.backup;
            for (const QString& file : dir.entryList({"backupnbx70.bak.failed-*"}))
                dir.remove(file); // the next one may be set aside within the same second
        }
    }
    setImportService(nullptr);
}

// A read-only database with a pending backup and a KM70 file on the command line: one message, from
// the first step the fault stops; the later steps (the import, the close-time save) say nothing more.
TEST(ImportStartup, AReadOnlyDatabaseGivesOneMessageForEverythingItStops)
{
    TempHome home;
    ScriptedPrompter prompts;
    installImportService();
    ASSERT_TRUE(writeBackupWithASheet());
    const QString km70 = writeFile(home.file("Sala.KM70"), intervals(5));
    QString error;
    ASSERT_TRUE(Database::open(AppPaths::databaseFile(), &error)) << error.toStdString();
    QSqlQuery(mainDb()).exec("PRAGMA query_only = ON");
    forgetDatabaseFaults();
    {
        Form1 form;
        form.start("\"" + km70 + "\"", true);
        form.close(); // the close box: the settings row cannot be saved either
    }
    ASSERT_EQ(prompts.shown.size(), 1) << prompts.shown.value(0).text.toStdString() << "|" << prompts.shown.value(1).text.toStdString();
    const QStringList lines = prompts.shown[0].text.split('\r');
    EXPECT_TRUE(lines[0].contains(AppPaths::backupFile())) << lines[0].toStdString();
    EXPECT_EQ(lines.value(1), GetS(QStringLiteral("La base de datos es de solo lectura.")));
    EXPECT_TRUE(QFile::exists(AppPaths::backupFile())); // kept for the next start
    setImportService(nullptr);
    Database::close();
}

TEST(ImportScreenshots, Form16)
{
    const QString dir = qEnvironmentVariable("NBX70_SCREENSHOT_DIR");
    if (dir.isEmpty())
        GTEST_SKIP() << "set NBX70_SCREENSHOT_DIR to write the pictures";
    TempHome home;
    for (const char* language : {"Español", "English"}) {
        QString name = "Language.db";
        SetupLanguage(name, QString::fromUtf8(language), langDesk());
        Form16 form;
        form.Form_Load();
        form.lblFitxer->setText("Sala de conciertos 2005.KM70");
        form.lblText->setText(form.lblText->text() + "   7 / 120");
        form.adjustSize();
        EXPECT_TRUE(form.grab().save(QDir(dir).filePath(QStringLiteral("form16-%1.png").arg(language))));
    }
    shutdownLangDesk();
}
