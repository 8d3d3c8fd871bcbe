// Merging another database into the main one: our own files and Access files (on a fake reader).
#include "common/Database.h"
#include "import/AccessReaderChild.h"
#include "common/QuitSignals.h"
#include "import/DatabaseMerge.h"
#include "support/AccessFileWriter.h"
#include "support/ExchangeFileWriter.h"
#include "support/TempDatabase.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QSqlQuery>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <locale.h>
#include <sys/stat.h>
#include <thread>

using namespace nbx;
using namespace nbx::test;

namespace {

// Runs statements on a database file of its own (created with our schema when `schema` is set).
void onFile(const QString& path, const QStringList& statements, bool schema = true)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("merge-src"));
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        if (schema) {
            QString error;
            ASSERT_TRUE(Database::ensureSchema(db, &error)) << error.toStdString();
        }
        for (const QString& sql : statements) {
            QSqlQuery q(db);
            EXPECT_TRUE(q.exec(sql)) << sql.toStdString();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("merge-src"));
}

int count(const QString& sql)
{
    QSqlQuery q(mainDb());
    q.exec(sql);
    return q.next() ? q.value(0).toInt() : -1;
}

void exec(const QString& sql)
{
    QSqlQuery q(mainDb());
    EXPECT_TRUE(q.exec(sql)) << sql.toStdString();
}

QByteArray bytesOf(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

QByteArray hashOf(const QString& path) { return QCryptographicHash::hash(bytesOf(path), QCryptographicHash::Sha1); }

class FakeAccess : public AccessReader {
public:
    bool opens = true;
    QList<std::pair<QString, QStringList>> tableDefs; // name, columns
    QHash<QString, QList<QVariantList>> rows;
    bool open(const QString&, QString*) override { return opens; }
    QStringList tables() override
    {
        QStringList out;
        for (const auto& t : tableDefs)
            out << t.first;
        return out;
    }
    bool readTable(const QString& table, QStringList* columns, const std::function<bool(const QVariantList&)>& row,
                   QString*) override
    {
        for (const auto& t : tableDefs)
            if (t.first == table)
                *columns = t.second;
        for (const QVariantList& r : rows.value(table))
            if (!row(r))
                break;
        return true;
    }
};

} // namespace

TEST(DatabaseMerge, OwnFileAddsOnlyMissingRowsAndTwiceChangesNothing)
{
    TempDatabase db;
    exec("INSERT INTO Programacion (LNumeroSerie, TLocal) VALUES (1, 'A main')");
    exec("INSERT INTO Sesiones (LNumeroSerie, DFechaInicio, THoraInicio, SLeq) VALUES (1, '2005-03-21', '20:00', 80)");
    const QString src = db.file("other.mdb");
    onFile(src, {
        "INSERT INTO Programacion (LNumeroSerie, TLocal) VALUES (1, 'A other')",   // duplicate key
        "INSERT INTO Programacion (LNumeroSerie, TLocal, \"SOctava31,5Hz\") VALUES (2, 'B', 1.5)",
        "INSERT INTO Sesiones (LNumeroSerie, DFechaInicio, THoraInicio, SLeq) VALUES (1, '2005-03-21', '20:00', 80)",
        "INSERT INTO Sesiones (LNumeroSerie, DFechaInicio, THoraInicio, SLeq) VALUES (1, '2005-03-22', '20:00', 81)",
        "UPDATE Configuracion SET TUsuario = 'other'",
        // The other file's mark of records its downloads missed says nothing of the main database's.
        "INSERT INTO DescargaPendiente (LNumeroSerie, DFechaDesde, THoraDesde) VALUES (1, '2005-03-01', '00:00')",
        "CREATE TABLE configuracion2 (x)",
        "CREATE TABLE \"x\"\"; DROP TABLE Intervalos;--\" (a)",
        "CREATE TABLE Otra (a)",
        "ALTER TABLE DiaBorrado ADD COLUMN Extra TEXT",
        "ALTER TABLE DiaBorrado ADD COLUMN \"we\"\"ird\" TEXT",
        "INSERT INTO DiaBorrado (LNumeroSerie, DFecha, THora, Extra) VALUES (1, '2005-03-21', '14:15', 'x')",
    });
    const MergeResult r = mergeDatabaseFile(mainDb(), src);
    ASSERT_EQ(r.status, MergeResult::Status::Merged) << r.error.toStdString();
    EXPECT_EQ(r.rowsAdded, 3);
    EXPECT_EQ(count("SELECT COUNT(*) FROM Programacion WHERE TLocal = 'A main'"), 1);
    EXPECT_EQ(count("SELECT COUNT(*) FROM Programacion WHERE LNumeroSerie = 2 AND CMI = 0"), 1); // a default
    EXPECT_EQ(count("SELECT COUNT(*) FROM Sesiones"), 2);
    EXPECT_EQ(count("SELECT COUNT(*) FROM Configuracion WHERE TUsuario = ''"), 1);
    EXPECT_EQ(count("SELECT COUNT(*) FROM Configuracion"), 1);
    EXPECT_EQ(count("SELECT COUNT(*) FROM DescargaPendiente"), 0);
    EXPECT_EQ(count("SELECT COUNT(*) FROM Intervalos"), 0); // still there

    EXPECT_EQ(mergeDatabaseFile(mainDb(), src).rowsAdded, 0);
    EXPECT_EQ(count("SELECT COUNT(*) FROM Sesiones") + count("SELECT COUNT(*) FROM Programacion")
                  + count("SELECT COUNT(*) FROM DiaBorrado"),
              5);
    EXPECT_EQ(mergeDatabaseFile(mainDb(), db.file("nbx70.db")).status, MergeResult::Status::NothingToMerge);
}

TEST(DatabaseMerge, SettingsTableInAnyCaseIsNeverCopied)
{
    TempDatabase db;
    const QString src = db.file("lower.mdb");
    onFile(src, {"CREATE TABLE configuracion (TUsuario TEXT)", "INSERT INTO configuracion VALUES ('x')"}, false);
    ASSERT_EQ(mergeDatabaseFile(mainDb(), src).status, MergeResult::Status::Merged);
    EXPECT_EQ(count("SELECT COUNT(*) FROM Configuracion"), 1);
}

TEST(DatabaseMerge, FilesThatAreNotDatabasesAndAReadOnlyMainRollBack)
{
    TempDatabase db;
    exec("INSERT INTO DiaBorrado VALUES (1, '2005-03-21', '14:15')");
    // A schema naming a table module this program lacks: the library refuses the file for ever.
    const QString module = db.file("module.db");
    onFile(module, {"PRAGMA writable_schema = ON",
                    "INSERT INTO sqlite_master (type, name, tbl_name, rootpage, sql) VALUES ('table', 'Sesiones', "
                    "'Sesiones', 0, 'CREATE VIRTUAL TABLE Sesiones USING nosuchmodule(a)')"},
           false);
    const QString other = db.file("other.db");
    onFile(other, {"CREATE TABLE Clientes (Nombre TEXT)", "INSERT INTO Clientes VALUES ('x')"}, false);
    const struct {
        const char* name;
        QByteArray bytes;
    } bad[] = {
        {"another program's.mdb", bytesOf(other)}, // none of its tables is ours
        {"notes.mdb", "just some text\n"},
        {"broken.mdb", QByteArray("SQLite format 3\0", 16) + QByteArray(200, 'x')},
        {"empty.mdb", ""},
        {"module.mdb", bytesOf(module)},
    };
    QSqlQuery(mainDb()).exec("PRAGMA wal_checkpoint(TRUNCATE)");
    const QByteArray before = hashOf(db.file("nbx70.db"));
    for (const auto& b : bad) {
        QFile f(db.file(b.name));
        f.open(QIODevice::WriteOnly);
        f.write(b.bytes);
        f.close();
        EXPECT_EQ(mergeDatabaseFile(mainDb(), f.fileName()).status, MergeResult::Status::NotADatabase) << b.name;
    }
    EXPECT_EQ(mergeDatabaseFile(mainDb(), db.file("missing.mdb")).status, MergeResult::Status::NotADatabase);
    QSqlQuery(mainDb()).exec("PRAGMA wal_checkpoint(TRUNCATE)");
    EXPECT_EQ(hashOf(db.file("nbx70.db")), before);

    const QString src = db.file("good.mdb");
    onFile(src, {"INSERT INTO DiaBorrado VALUES (2, '2005-03-21', '14:15')"});
    exec("PRAGMA query_only = ON");
    const MergeResult r = mergeDatabaseFile(mainDb(), src);
    exec("PRAGMA query_only = OFF");
    EXPECT_EQ(r.status, MergeResult::Status::Failed);
    EXPECT_FALSE(r.error.isEmpty());
    EXPECT_EQ(count("SELECT COUNT(*) FROM DiaBorrado"), 1);
    EXPECT_EQ(mergeDatabaseFile(mainDb(), src).status, MergeResult::Status::Merged); // detached again
    EXPECT_EQ(count("SELECT COUNT(*) FROM DiaBorrado"), 2);
}

// A source is read without writing anything beside it, also a WAL-mode one, also on a main
// database opened read-only (which opens what it attaches read-only too).
TEST(DatabaseMerge, ReadingASourceLeavesNothingBesideIt)
{
    TempDatabase db;
    const QString src = db.file("wal.mdb");
    onFile(src, {"PRAGMA journal_mode = WAL", "INSERT INTO DiaBorrado VALUES (2, '2005-03-21', '14:15')"});
    ASSERT_FALSE(QFile::exists(src + "-wal"));
    {
        QSqlDatabase ro = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("read-only-main"));
        ro.setDatabaseName(db.file("nbx70.db"));
        ro.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        ASSERT_TRUE(ro.open());
        EXPECT_EQ(mergeDatabaseFile(ro, src).status, MergeResult::Status::Failed);
    }
    QSqlDatabase::removeDatabase(QStringLiteral("read-only-main"));
    EXPECT_FALSE(QFile::exists(src + "-wal"));
    EXPECT_FALSE(QFile::exists(src + "-shm"));

    const MergeResult r = mergeDatabaseFile(mainDb(), src);
    EXPECT_EQ(r.status, MergeResult::Status::Merged) << r.error.toStdString();
    EXPECT_EQ(r.rowsAdded, 1);
    EXPECT_FALSE(QFile::exists(src + "-wal"));
    EXPECT_FALSE(QFile::exists(src + "-shm"));
}

// Another writer (a second copy of the program, the sqlite3 tool) holding the database for a
// moment is waited for.
TEST(DatabaseMerge, AMomentaryLockOfAnotherWriterIsWaitedFor)
{
    TempDatabase db;
    const QString src = db.file("other.mdb");
    onFile(src, {"INSERT INTO DiaBorrado VALUES (2, '2005-03-21', '14:15')"});
    std::atomic<int> locked{0}; // 1: holding the lock, -1: could not take it
    std::thread other([&] {
        {
            QSqlDatabase c = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other-writer"));
            c.setDatabaseName(db.file("nbx70.db"));
            QSqlQuery q(c);
            const bool ok = c.open() && q.exec("BEGIN IMMEDIATE")
                && q.exec("INSERT INTO DiaBorrado VALUES (1, '2005-03-21', '14:15')");
            locked = ok ? 1 : -1;
            std::this_thread::sleep_for(std::chrono::seconds(1));
            q.exec("COMMIT");
        }
        QSqlDatabase::removeDatabase(QStringLiteral("other-writer"));
    });
    while (locked == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(locked, 1);
    const MergeResult r = mergeDatabaseFile(mainDb(), src);
    other.join();
    EXPECT_EQ(r.status, MergeResult::Status::Merged) << r.error.toStdString();
    EXPECT_EQ(count("SELECT COUNT(*) FROM DiaBorrado"), 2);
}

TEST(DatabaseMerge, AccessFileThroughTheReaderInStorageForms)
{
    TempDatabase db;
    FakeAccess access;
    access.tableDefs = {{"Configuracion", {"TUsuario"}},
                        {"intervalos", {"LNumeroSerie", "DFechaInicio", "THoraInicio", "SLeqLocal", "SLeqVecino", "BoRS232", "Unknown"}},
                        {"DiaBorrado", {"LNumeroSerie", "DFecha", "THora"}},
                        {"Programacion", {"LNumeroSerie", "THoraTotales", "CMI", "ByVelocidad"}},
                        {"Otra", {"a"}}};
    access.rows["Configuracion"] = {{"x"}};
    // Numbers as a Spanish or German desktop prints them come over as numbers too.
    access.rows["intervalos"] = {{"123456", "2005-03-21 00:00:00", "1899-12-30 14:15:00", "85.5000019073486", "85,300003", "1", "z"},
                                 {"123456", "2005-03-21 00:00:00", "14:15", "90", "90", "0", "z"}};
    access.rows["DiaBorrado"] = {{"123456", "2005-03-21 00:00:00", "14:15"}, {"123456", "2005-03-21 00:00:00", "14:15"}};
    access.rows["Programacion"] = {{"123456", "1899-12-30 14:35:12", "true", "2"}};
    access.rows["Otra"] = {{"1"}};
    const QString copy = db.file("copy.db");
    QString error;
    ASSERT_TRUE(copyAccessTables(access, copy, {}, &error)) << error.toStdString();
    for (int pass = 0; pass < 2; ++pass) {
        const MergeResult r = mergeDatabaseFile(mainDb(), copy);
        ASSERT_EQ(r.status, MergeResult::Status::Merged);
        EXPECT_TRUE(r.rowsLeftOut.isEmpty()) << r.rowsLeftOut.value(0).first.toStdString();
    }
    const auto iv = tableRows("Intervalos");
    ASSERT_EQ(iv.size(), 1);
    EXPECT_EQ(iv[0]["DFechaInicio"], "2005-03-21");
    EXPECT_EQ(iv[0]["THoraInicio"], "14:15");
    EXPECT_DOUBLE_EQ(iv[0]["SLeqLocal"].toDouble(), 85.5);
    EXPECT_EQ(count("SELECT COUNT(*) FROM Intervalos WHERE typeof(SLeqVecino) = 'real' AND SLeqVecino = 85.3"), 1);
    EXPECT_EQ(iv[0]["BoRS232"].toInt(), -1);
    EXPECT_EQ(count("SELECT COUNT(*) FROM DiaBorrado"), 1); // identical rows are not doubled
    const auto prog = tableRows("Programacion");
    ASSERT_EQ(prog.size(), 1);
    EXPECT_EQ(prog[0]["THoraTotales"], "14:35:12");
    EXPECT_EQ(prog[0]["CMI"].toInt(), -1);
    EXPECT_EQ(count("SELECT COUNT(*) FROM Configuracion"), 1);
}

TEST(DatabaseMerge, RowsTheMainDatabaseCannotHoldAreLeftOutAndCounted)
{
    TempDatabase db;
    exec("CREATE TRIGGER refuse BEFORE INSERT ON Programacion WHEN NEW.TLocal = 'refused' BEGIN SELECT RAISE(ABORT, 'no'); END");
    const QString src = db.file("odd.mdb");
    // The source's columns have no types, so every value arrives as it was written.
    onFile(src, {
        "CREATE TABLE Programacion (LNumeroSerie, TLocal, \"SOctava31,5Hz\", DFecha, ByVelocidad)",
        "INSERT INTO Programacion VALUES (1, 'good', 80.5, '2005-03-21', 2)",
        "INSERT INTO Programacion VALUES ('12A', 'text serial', 80, NULL, 2)",
        "INSERT INTO Programacion VALUES (NULL, 'no key', 80, NULL, 2)",
        "INSERT INTO Programacion VALUES (3, 'huge level', 3e9, NULL, 2)",
        "INSERT INTO Programacion VALUES (4, 'not a date', 80, '2005-02-30', 2)",
        "INSERT INTO Programacion VALUES (5, 'text level', '85,3', NULL, 2)",
        "INSERT INTO Programacion VALUES (6, 'byte', 80, NULL, 256)",
        "INSERT INTO Programacion VALUES (7, 'refused', 80, NULL, 2)",
        "CREATE TABLE IntervaloInhabil (LNumeroSerie, ByIntervalo)",
        "INSERT INTO IntervaloInhabil VALUES (1, 30), (1, 31), (1, 0), (1, 1)",
        "CREATE TABLE DiaBorrado (LNumeroSerie, DFecha, THora)",
        "INSERT INTO DiaBorrado VALUES (1, '2005-03-21', '14:15'), (1, '2005-03-21', '14:15'), (1, '2005-03-21', '14:16')",
    }, false);
    const MergeResult r = mergeDatabaseFile(mainDb(), src);
    ASSERT_EQ(r.status, MergeResult::Status::Merged) << r.error.toStdString();
    EXPECT_EQ(r.rowsAdded, 5);
    using LeftOut = QList<std::pair<QString, int>>;
    EXPECT_EQ(r.rowsLeftOut, (LeftOut{{"Programacion", 7}, {"IntervaloInhabil", 2}}));
    EXPECT_EQ(count("SELECT COUNT(*) FROM Programacion WHERE TLocal = 'good'"), 1);
    EXPECT_EQ(count("SELECT COUNT(*) FROM IntervaloInhabil WHERE ByIntervalo IN (1, 30)"), 2);
    EXPECT_EQ(count("SELECT COUNT(*) FROM DiaBorrado"), 2); // the row written twice is added once
    EXPECT_TRUE(mergeDatabaseFile(mainDb(), src).rowsLeftOut.size() == 2);
}

TEST(DatabaseMerge, LibmdbRefusesAFileThatIsNotAnAccessFile)
{
    TempDatabase db;
    QFile f(db.file("fake.mdb"));
    f.open(QIODevice::WriteOnly);
    f.write(QByteArray(4096, '\x01'));
    f.close();
    auto reader = makeAccessReader();
    QString error;
    EXPECT_FALSE(reader->open(f.fileName(), &error));
    EXPECT_TRUE(reader->tables().isEmpty());
    EXPECT_EQ(mergeDatabaseFile(mainDb(), f.fileName()).status, MergeResult::Status::NotADatabase);
}

namespace {

// Uses a shell script as the reading child (it gets the file as $1 and the output as $2), with the
// system's temporary folder in a folder of its own.
// This process's resident memory in kB.
qint64 residentKb()
{
    QFile status("/proc/self/status");
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

// A file that starts as an Access file does, for the stand-in readers: what it holds is theirs.
QString accessLookingFile(TempDatabase& db)
{
    QFile file(db.file("old.mdb"));
    file.open(QIODevice::WriteOnly);
    file.write("Standard Jet DB");
    return file.fileName();
}

class StandInReader {
public:
    StandInReader(const QString& script, int timeLimitMs)
        : saved_(accessReaderCommand()), savedTmp_(qgetenv("TMPDIR"))
    {
        setAccessReaderCommand({"/bin/sh", {"-c", script, "reader"}, timeLimitMs});
        qputenv("TMPDIR", tmp_.path().toUtf8());
    }
    ~StandInReader()
    {
        setAccessReaderCommand(saved_);
        qputenv("TMPDIR", savedTmp_);
    }
    QStringList leftInTemp() const { return QDir(tmp_.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot); }

private:
    AccessReaderCommand saved_;
    QByteArray savedTmp_;
    QTemporaryDir tmp_;
};

} // namespace

TEST(DatabaseMerge, AccessReaderThatHangsCrashesOrFloodsItsErrorsIsRefusedWithinItsTimeLimit)
{
    TempDatabase db;
    const QString file = accessLookingFile(db);
    const char* readers[] = {
        "exec sleep 60",
        "kill -SEGV $$",
        "exec yes 'garbage garbage garbage garbage' >&2", // exec: the child itself floods, so it ends when killed
        "echo 12; echo 'not a database' > \"$2\"", // a good exit with nothing of ours in the file
        "echo 12; exit 3",
    };
    for (const char* script : readers) {
        StandInReader reader(script, 700);
        int ticks = 0;
        const qint64 before = residentKb();
        qint64 most = before;
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, [&] {
            ++ticks;
            most = std::max(most, residentKb());
        });
        tick.start(50);
        QElapsedTimer clock;
        clock.start();
        const MergeResult r = mergeDatabaseFile(mainDb(), file);
        const qint64 took = clock.elapsed();
        EXPECT_EQ(r.status, MergeResult::Status::NotADatabase) << script;
        EXPECT_LT(took, 6000) << script;
        EXPECT_TRUE(reader.leftInTemp().isEmpty()) << script;
        EXPECT_LT(std::max(most, residentKb()) - before, 8 * 1024) << script << ": kB kept of the child's output";
        if (QByteArray(script).startsWith("exec sleep")) {
            EXPECT_GT(ticks, 5); // the event loop kept turning while the child read
        }
    }
    EXPECT_EQ(count("SELECT COUNT(*) FROM Programacion"), 0);
}

// A program killed while its reading child is stuck on a file leaves no child behind. The stand-in
// program is a shell that starts the real child on a pipe, whose opening waits for a writer forever.
TEST(DatabaseMerge, AccessReaderEndsWhenItsProgramIsKilled)
{
    QTemporaryDir dir;
    const QString stuck = dir.filePath("stuck.mdb");
    ASSERT_EQ(mkfifo(QFile::encodeName(stuck).constData(), 0600), 0);
    QProcess program;
    program.start("/bin/sh", {"-c", QStringLiteral("%1=$$ \"$0\" \"$1\" \"$2\" & echo $!; wait").arg(kAccessReaderParentVariable),
                              accessReaderCommand().program, stuck, dir.filePath("out.db")});
    ASSERT_TRUE(program.waitForReadyRead(10000));
    const pid_t child = pid_t(program.readLine().trimmed().toLongLong());
    ASSERT_GT(child, 0);
    const QString exe = QStringLiteral("/proc/%1/exe").arg(child);
    const QString reader = QFileInfo(accessReaderCommand().program).canonicalFilePath();
    const auto within = [](int ms, const std::function<bool()>& done) {
        for (int waited = 0; !done() && waited < ms; waited += 20)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return done();
    };
    ASSERT_TRUE(within(10000, [&] { return QFileInfo(exe).canonicalFilePath() == reader; }));
    ::kill(pid_t(program.processId()), SIGKILL);
    program.waitForFinished();
    const auto gone = [&] {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(child));
        return !stat.open(QIODevice::ReadOnly) || stat.readAll().contains(") Z "); // ended, or not yet reaped
    };
    EXPECT_TRUE(within(5000, gone));
    if (!gone())
        ::kill(child, SIGKILL);
}

// The program's end stops a merge: the reading child is ended, its temporary file removed, and
// nothing is said (the file is not at fault: a pending backup stays for the next start).
TEST(DatabaseMerge, TheProgramsEndEndsTheReadingChild)
{
    TempDatabase db;
    const QString file = accessLookingFile(db);
    StandInReader reader("echo $$; exec sleep 600", 30000); // its progress is its process id
    qint64 child = 0;
    const MergeResult r = mergeDatabaseFile(mainDb(), file, [&](qint64 pid) {
        child = pid;
        quitRequest().request(SIGTERM);
    });
    quitRequest().reset();
    EXPECT_EQ(r.status, MergeResult::Status::Failed);
    EXPECT_TRUE(r.error.isEmpty());
    ASSERT_GT(child, 0);
    EXPECT_NE(::kill(pid_t(child), 0), 0); // ended and reaped
    EXPECT_TRUE(reader.leftInTemp().isEmpty());

    // Ctrl-C in the terminal reaches the child too, maybe first: the file is not refused for it.
    StandInReader interrupted("kill -INT $$", 30000);
    const MergeResult i = mergeDatabaseFile(mainDb(), file);
    EXPECT_EQ(i.status, MergeResult::Status::Failed);
    EXPECT_FALSE(i.error.isEmpty());
}

TEST(DatabaseMerge, AccessReaderOutputIsMergedAsOurOwnFileWithProgress)
{
    TempDatabase db;
    const QString read = db.file("read.db");
    onFile(read, {"INSERT INTO DiaBorrado VALUES (1, '2005-03-21', '14:15')"});
    const QString file = accessLookingFile(db);
    StandInReader reader(QStringLiteral("echo 500; echo 1000; cat '%1' > \"$2\"").arg(read), 5000);
    QList<qint64> heard;
    const MergeResult r = mergeDatabaseFile(mainDb(), file, [&](qint64 rows) { heard << rows; });
    ASSERT_EQ(r.status, MergeResult::Status::Merged);
    EXPECT_EQ(r.rowsAdded, 1);
    ASSERT_FALSE(heard.isEmpty());
    EXPECT_EQ(heard.last(), 1000);
    EXPECT_TRUE(reader.leftInTemp().isEmpty());
}

TEST(DatabaseMerge, AccessFileOnSpanishAndGermanDesktopsKeepsItsNumbersAndWholeMemos)
{
    QString memo;
    for (int i = 0; memo.size() < 70000; ++i)
        memo += QString::number(i) + QLatin1Char(' ');
    // "Nivel" has no storage form of ours: it keeps the child's own text, which the merge leaves out.
    const QList<AccessTable> tables = {
        {"Intervalos",
         {{"LNumeroSerie", AccessColumn::Type::Long}, {"DFechaInicio", AccessColumn::Type::DateTime},
          {"THoraInicio", AccessColumn::Type::DateTime}, {"SLeqLocal", AccessColumn::Type::Single},
          {"SLeqVecino", AccessColumn::Type::Single}, {"TTipoActuacionLocal", AccessColumn::Type::Text},
          {"Nivel", AccessColumn::Type::Double}},
         {{123456, QDateTime(QDate(2005, 3, 21), QTime()), QDateTime(QDate(1899, 12, 30), QTime(14, 15)), 85.3, 72.2, "A", 72.25},
          {123456, QDateTime(QDate(2005, 3, 21), QTime()), QDateTime(QDate(1899, 12, 30), QTime(14, 20)), 1234.5, QVariant(), QVariant(), QVariant()}}},
        {"Programacion",
         {{"LNumeroSerie", AccessColumn::Type::Long}, {"TLocal", AccessColumn::Type::Text}, {"TNota", AccessColumn::Type::Memo}},
         {{123456, "Sala", memo}}},
    };
    const QByteArray savedAll = qgetenv("LC_ALL");
    for (const char* desktop : {"es_ES.UTF-8", "de_DE.UTF-8"}) {
        for (const AccessVersion version : {AccessVersion::Jet3, AccessVersion::Jet4}) {
            const std::string on = std::string(desktop) + (version == AccessVersion::Jet3 ? " Jet 3" : " Jet 4");
            const locale_t installed = newlocale(LC_ALL_MASK, desktop, locale_t(0));
            ASSERT_TRUE(installed) << desktop << " is not installed: see scripts/install-deps.sh";
            freelocale(installed);
            TempDatabase db;
            const QString path = db.file("genuine.mdb");
            ASSERT_TRUE(writeAccessFile(path, tables, version));
            qputenv("LC_ALL", desktop); // the reading child's desktop
            const MergeResult r = mergeDatabaseFile(mainDb(), path);
            QProcess child;
            child.start(accessReaderCommand().program, {path, db.file("read.db")});
            const bool read = child.waitForFinished() && child.exitCode() == 0;
            qputenv("LC_ALL", savedAll);
            ASSERT_EQ(r.status, MergeResult::Status::Merged) << on << " " << r.error.toStdString();
            EXPECT_TRUE(r.rowsLeftOut.isEmpty()) << on;
            EXPECT_EQ(r.rowsAdded, 3) << on;
            EXPECT_EQ(count("SELECT COUNT(*) FROM Intervalos WHERE typeof(SLeqLocal) = 'real' AND SLeqLocal IN (85.3, 1234.5)"), 2) << on;
            EXPECT_EQ(count("SELECT COUNT(*) FROM Intervalos WHERE SLeqVecino = 72.2 AND DFechaInicio = '2005-03-21' AND THoraInicio = '14:15'"), 1) << on;
            const auto prog = tableRows("Programacion");
            ASSERT_EQ(prog.size(), 1);
            EXPECT_EQ(prog[0]["TLocal"], "Sala");
            EXPECT_EQ(prog[0]["TNota"].toString(), memo) << on << ": " << prog[0]["TNota"].toString().size() << " characters";
            ASSERT_TRUE(read) << on;
            QString nivel;
            {
                QSqlDatabase c = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("child-output"));
                c.setDatabaseName(db.file("read.db"));
                QSqlQuery q(c.open() ? c : QSqlDatabase());
                if (q.exec("SELECT group_concat(Nivel, ' ') FROM Intervalos") && q.next())
                    nivel = q.value(0).toString();
            }
            QSqlDatabase::removeDatabase(QStringLiteral("child-output"));
            EXPECT_EQ(nivel.toStdString(), "72.25") << on;
        }
    }
    if (savedAll.isNull())
        qunsetenv("LC_ALL");
}

// libmdb has no checksums: it reads a cut or partly zeroed file without an error, and the rows,
// memo pieces or column values it does not find would be missing without a word. Such a file is
// refused whole.
TEST(DatabaseMerge, AnAccessFileCutShortOrWithALostPageIsRefusedWhole)
{
    QList<QVariantList> days;
    for (int i = 1; i <= 21; ++i)
        days << QVariantList{123456, QDateTime(QDate(2005, 3, i), QTime()), QDateTime(QDate(1899, 12, 30), QTime(14, i))};
    const QList<AccessTable> tables = {
        {"DiaBorrado",
         {{"LNumeroSerie", AccessColumn::Type::Long}, {"DFecha", AccessColumn::Type::DateTime}, {"THora", AccessColumn::Type::DateTime}},
         days},
        {"Programacion",
         {{"LNumeroSerie", AccessColumn::Type::Long}, {"TLocal", AccessColumn::Type::Text}, {"TNota", AccessColumn::Type::Memo}},
         {{123456, "Sala", QString(5000, QLatin1Char('n'))}}},
    };
    // Pages: 0 header, 1 usage maps, 2 and 3 the catalog, 4 and 5 DiaBorrado, 6 Programacion's
    // definition, 7 to 9 its memo (1800, 1800 and 1400 bytes, each a row at the page's end that
    // starts with where the next one is), 10 its row, which ends with the offsets of its memo and
    // its text, their count and the mask of present columns. Column entries start at byte 43 of a
    // definition, 18 bytes each, with the type first.
    const struct {
        const char* damage;
        qint64 keep; // bytes kept, or -1
        qint64 at;   // where `bytes` are written, or -1
        QByteArray bytes;
    } files[] = {
        {"cut inside a page", 15000, -1, {}},
        {"cut at a page", 7 * 2048, -1, {}},
        {"data page zeroed", -1, 5 * 2048, QByteArray(2048, '\0')},
        {"catalog row marked deleted", -1, 3 * 2048 + 12, QByteArray("\x00\xc0", 2)},
        {"memo's middle page zeroed", -1, 8 * 2048, QByteArray(2048, '\0')},
        {"memo's last page zeroed", -1, 9 * 2048, QByteArray(2048, '\0')},
        {"memo's first page not a data page", -1, 7 * 2048, "\x03"},
        {"memo's chain ending before its length", -1, 8 * 2048 + 2048 - 1804, QByteArray(4, '\0')},
        {"column of a type that does not exist", -1, 4 * 2048 + 43 + 18, "\xf7"},
        {"column of a wider type than its size", -1, 6 * 2048 + 43, "\x07"},
        {"row whose variable columns count none", -1, 11 * 2048 - 2, QByteArray(1, '\0')},
        {"text marked empty that has bytes", -1, 11 * 2048 - 1, "\x05"},
    };
    for (const auto& f : files) {
        TempDatabase db;
        const QString path = db.file("damaged.mdb");
        ASSERT_TRUE(writeAccessFile(path, tables));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        if (f.keep >= 0)
            file.resize(f.keep);
        if (f.at >= 0 && file.seek(f.at))
            file.write(f.bytes);
        file.close();
        EXPECT_EQ(mergeDatabaseFile(mainDb(), path).status, MergeResult::Status::NotADatabase) << f.damage;
        EXPECT_EQ(count("SELECT COUNT(*) FROM DiaBorrado") + count("SELECT COUNT(*) FROM Programacion"), 0) << f.damage;
        ASSERT_TRUE(writeAccessFile(path, tables));
        EXPECT_EQ(mergeDatabaseFile(mainDb(), path).rowsAdded, 22) << f.damage; // the whole file
        EXPECT_EQ(count("SELECT COUNT(*) FROM Programacion WHERE length(TNota) = 5000"), 1) << f.damage;
    }
    // Whole, with its tables empty: a file of ours that adds nothing, not one of another program.
    TempDatabase db;
    const QString empty = db.file("empty.mdb");
    ASSERT_TRUE(writeAccessFile(empty, {{tables[1].name, tables[1].columns, {}}}));
    EXPECT_EQ(mergeDatabaseFile(mainDb(), empty).status, MergeResult::Status::Merged);
    // Of two tables of one name only the first could be read.
    ASSERT_TRUE(writeAccessFile(empty, {tables[0], {"diaborrado", tables[0].columns, {}}}));
    EXPECT_EQ(mergeDatabaseFile(mainDb(), empty).status, MergeResult::Status::NotADatabase);
}

