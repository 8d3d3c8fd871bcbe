// The database's locks: shared by the connections of the process as before, still in conflict with
// another process's, and kept when the process opens and closes the files by other descriptors.
#include "common/DatabaseLocks.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <vector>

namespace {

// The sqlite3 tool on the same file: another process, with the library's own POSIX locks.
class Tool {
public:
    explicit Tool(const QString& file) : file_(file) { process_.setProcessChannelMode(QProcess::MergedChannels); }
    ~Tool() { quit(); }
    bool start()
    {
        process_.start(QStringLiteral("sqlite3"), {file_});
        return process_.waitForStarted(10000);
    }
    // Runs `sql` and returns what the tool printed.
    QString run(const char* sql)
    {
        process_.write(QByteArray(sql) + "\n.print <done>\n");
        QByteArray out;
        while (!out.contains("<done>") && process_.waitForReadyRead(10000))
            out += process_.readAll();
        return QString::fromUtf8(out);
    }
    void quit()
    {
        if (process_.state() == QProcess::NotRunning)
            return;
        process_.closeWriteChannel(); // the tool closes the database and ends
        if (!process_.waitForFinished(10000))
            process_.kill();
    }

private:
    QString file_;
    QProcess process_;
};

// A and B: two connections of this process; the tool: another process, which may end (closing the
// database) and start again.
enum class Who { A, B, Tool, ToolAgain, OtherDescriptors };

struct Step {
    Who who;
    const char* sql;
    int rc = SQLITE_OK; // A and B: SQLite's result; the tool: SQLITE_BUSY when it finds the file locked
    const char* shows = nullptr; // the tool: what it prints
};

int execOn(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }

} // namespace

TEST(DatabaseLocks, ConnectionsShareTheProcesssLocksAndOtherDescriptorsKeepThem)
{
    ASSERT_TRUE(nbx::shareDatabaseLocks());
    const struct {
        const char* what;
        const char* journal;
        std::vector<Step> steps;
        bool walKept;
        const char* rows; // the rows of the file once all have let it go
    } cases[] = {
        // Read transactions of both connections that end in either order, then writes of each.
        {"rollback journal, readers then writers", "DELETE",
         {{Who::A, "BEGIN; SELECT * FROM t"}, {Who::B, "BEGIN; SELECT * FROM t"}, {Who::A, "COMMIT"},
          {Who::B, "COMMIT"}, {Who::B, "BEGIN IMMEDIATE; INSERT INTO t VALUES (2); COMMIT"},
          {Who::A, "BEGIN IMMEDIATE; INSERT INTO t VALUES (3); COMMIT"},
          {Who::B, "BEGIN; SELECT * FROM t"}, {Who::A, "BEGIN EXCLUSIVE", SQLITE_BUSY}, {Who::B, "COMMIT"},
          {Who::A, "BEGIN EXCLUSIVE; COMMIT"}},
         false, "1,2,3"},
        {"write-ahead log, readers then writers", "WAL",
         {{Who::A, "BEGIN; SELECT * FROM t"}, {Who::B, "BEGIN; SELECT * FROM t"}, {Who::A, "COMMIT"},
          {Who::B, "COMMIT"}, {Who::B, "BEGIN IMMEDIATE; INSERT INTO t VALUES (2); COMMIT"},
          {Who::A, "BEGIN IMMEDIATE"}, {Who::B, "BEGIN IMMEDIATE", SQLITE_BUSY},
          {Who::A, "INSERT INTO t VALUES (3); COMMIT"}, {Who::B, "BEGIN IMMEDIATE; COMMIT"},
          {Who::A, "PRAGMA wal_checkpoint(TRUNCATE)"}},
         true, "1,2,3"},
        // Another process's lock still stops a writer here, and this process's stops it.
        {"another process's write lock", "WAL",
         {{Who::Tool, "BEGIN IMMEDIATE;"}, {Who::A, "BEGIN IMMEDIATE", SQLITE_BUSY}, {Who::Tool, "COMMIT;"},
          {Who::A, "BEGIN IMMEDIATE"}, {Who::Tool, "BEGIN IMMEDIATE;", SQLITE_BUSY}, {Who::A, "COMMIT"},
          {Who::Tool, "INSERT INTO t VALUES (4);"}, {Who::A, "SELECT * FROM t"}},
         true, "1,4"},
        // Descriptors of the files opened and closed outside SQLite (a file dialog, a copy), then
        // another process opens and closes the database: it leaves the log to the user still here.
        {"other descriptors closed", "WAL",
         {{Who::A, "SELECT * FROM t"}, {Who::OtherDescriptors, nullptr}, {Who::Tool, "SELECT * FROM t;"},
          {Who::ToolAgain, nullptr}, {Who::A, "INSERT INTO t VALUES (5)"},
          {Who::ToolAgain, nullptr}, {Who::Tool, "SELECT group_concat(a) FROM t;", SQLITE_OK, "1,5"}},
         true, "1,5"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("nbx70.db"));
        sqlite3 *a = nullptr, *b = nullptr;
        for (sqlite3** db : {&a, &b})
            ASSERT_EQ(sqlite3_open(file.toUtf8().constData(), db), SQLITE_OK);
        ASSERT_EQ(execOn(a, QByteArray("PRAGMA journal_mode=").append(c.journal).constData()), SQLITE_OK);
        ASSERT_EQ(execOn(a, "CREATE TABLE t (a); INSERT INTO t VALUES (1)"), SQLITE_OK);
        Tool tool(file);
        ASSERT_TRUE(tool.start());
        for (size_t i = 0; i < c.steps.size(); ++i) {
            const Step& s = c.steps[i];
            SCOPED_TRACE(testing::Message() << "step " << i + 1);
            switch (s.who) {
            case Who::A:
            case Who::B:
                EXPECT_EQ(execOn(s.who == Who::A ? a : b, s.sql), s.rc) << s.sql;
                break;
            case Who::Tool: {
                const QString out = tool.run(s.sql);
                EXPECT_EQ(out.contains(QStringLiteral("database is locked")), s.rc == SQLITE_BUSY) << out.toStdString();
                if (s.shows) {
                    EXPECT_TRUE(out.contains(QLatin1String(s.shows))) << out.toStdString();
                }
                break;
            }
            case Who::ToolAgain:
                tool.quit();
                ASSERT_TRUE(tool.start());
                break;
            case Who::OtherDescriptors:
                for (const char* suffix : {"", "-wal", "-shm"}) {
                    QFile other(file + QLatin1String(suffix));
                    EXPECT_TRUE(other.open(QIODevice::ReadOnly)) << suffix;
                    other.read(16);
                }
                break;
            }
        }
        EXPECT_EQ(QFile::exists(file + QStringLiteral("-wal")), c.walKept);
        tool.quit();
        sqlite3_close(b);
        sqlite3_close(a);
        // What either side committed is in the file once all have let it go.
        Tool reader(file);
        ASSERT_TRUE(reader.start());
        EXPECT_TRUE(reader.run("SELECT group_concat(a) FROM t;").startsWith(QLatin1String(c.rows)));
    }
}
