// A database failure in words: what could not be done, why, and the library's text, in the
// user's language.
#include "localisation/DatabaseFailure.h"
#include "localisation/LangDesk.h"

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace nbx::test {
namespace {

TEST(DatabaseFailure, WhatWhyAndTheLibrarysTextInTheUsersLanguage)
{
    QString name = u"Language.db"_qs;
    ASSERT_TRUE(SetupLanguage(name, u"English"_qs, langDesk(), {QStringLiteral(NBX70_SOURCE_RESOURCES)}));
    const struct {
        int code;
        DatabaseTask task;
        const char* subject;
        const char* library;
        const char* text;
    } cases[] = {
        {SQLITE_BUSY, DatabaseTask::Open, "/d/nbx70.db", "database is locked",
         "The database /d/nbx70.db could not be opened.\rAnother program is using the database.\rdatabase is locked"},
        {SQLITE_FULL, DatabaseTask::Save, "", "database or disk is full",
         "The changes could not be saved in the database.\rThe disk is full.\rdatabase or disk is full"},
        {SQLITE_READONLY_DBMOVED, DatabaseTask::Import, "/d/Sala.KM70", "attempt to write a readonly database",
         "The file /d/Sala.KM70 could not be imported.\rThe database is read-only.\rattempt to write a readonly database"},
        {SQLITE_NOTADB, DatabaseTask::Merge, "/d/a.mdb", "file is not a database",
         "The database /d/a.mdb could not be added.\rIt is not a database of this program.\rfile is not a database"},
        {SQLITE_CORRUPT, DatabaseTask::Open, "/d/nbx70.db", "database disk image is malformed",
         "The database /d/nbx70.db could not be opened.\rThe file is damaged.\rdatabase disk image is malformed"},
        {SQLITE_CANTOPEN, DatabaseTask::Open, "/d/nbx70.db", "unable to open database file",
         "The database /d/nbx70.db could not be opened.\rThe folder or the file cannot be used.\runable to open database file"},
        {SQLITE_IOERR_WRITE, DatabaseTask::Save, "", "disk I/O error",
         "The changes could not be saved in the database.\rThe disk failed to read or write.\rdisk I/O error"},
        {SQLITE_NOMEM, DatabaseTask::Import, "/d/Sala.KM70", "out of memory",
         "The file /d/Sala.KM70 could not be imported.\rThere is not enough memory.\rout of memory"},
        {SQLITE_ERROR, DatabaseTask::MergeBackup, "/d/backupnbx70.bak", "no such module: nosuchmodule",
         "The pending backup /d/backupnbx70.bak could not be added: it will be tried again at the next start.\r"
         "The file holds tables or rows that this program cannot read.\rno such module: nosuchmodule"},
        {SQLITE_ERROR, DatabaseTask::Save, "", "no such table: Configuracion",
         "The changes could not be saved in the database.\rno such table: Configuracion"},
        {SQLITE_BUSY, DatabaseTask::Read, "", "database is locked",
         "The data could not be read from the database.\rAnother program is using the database.\rdatabase is locked"},
        {SQLITE_FULL, DatabaseTask::DownloadRecords, "02/03/24 10:15", "database or disk is full",
         "The last records received were not saved. The NBX-70 still holds them: the next download will propose to "
         "start at 02/03/24 10:15 to receive them again.\rThe disk is full.\rdatabase or disk is full"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(databaseFailureText(c.task, QString::fromUtf8(c.subject), c.code, QString::fromUtf8(c.library)).toStdString(),
                  c.text);
    shutdownLangDesk();
}

// The boxes of src/ show no library text but through DatabaseFailure: none shows an expression that
// reads one, nor a text filled by a callee's error out-parameter (the library's text of a failed
// read or write). Callees whose error texts are the program's own sentences are named here.
TEST(DatabaseFailure, NoLibraryTextReachesABoxByAnotherRoad)
{
    const QRegularExpression libraryCall(QStringLiteral(
        R"(lastError\(\)\.text\(\)|\.driverText\(\)|sqlite3_errmsg|errorString\(\)|databaseText\(\))"));
    const QRegularExpression qtSuffix(QStringLiteral(R"(lastError\(\)\.text\(\)|\.driverText\(\))"));
    const QRegularExpression box(QStringLiteral(R"(prompter\(\)\.message\(\s*([A-Za-z_][\w.>-]*)\s*,)"));
    // The program's own sentences: the port's open error, a refused sheet (whose database failures
    // are told apart by their code), a frame field that does not convert, the string export's target.
    const QStringList composers = {u"AbrirPuerto"_qs, u"save"_qs, u"buildTramaProgramacion"_qs, u"prepareTarget"_qs};
    const QDir src(QStringLiteral(NBX70_SOURCE_RESOURCES "/../src"));
    QStringList found;
    QDirIterator it(src.absolutePath(), {u"*.cpp"_qs}, QDir::Files, QDirIterator::Subdirectories);
    int boxes = 0;
    while (it.hasNext()) {
        const QString path = it.next();
        if (path.endsWith(u"localisation/DatabaseFailure.cpp"_qs))
            continue;
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(f.readAll()).split(u'\n');
        for (int i = 0; i < lines.size(); ++i) {
            const QString where = src.relativeFilePath(path) + u':' + QString::number(i + 1);
            // A library's text built into any text (Qt's suffix of SQL errors is half translated).
            if (lines[i].contains(qtSuffix))
                found << where + u" reads QSqlError::text()"_qs;
            const int at = lines[i].indexOf(u"prompter().message("_qs);
            if (at < 0)
                continue;
            ++boxes;
            QString call = lines[i].mid(at);
            for (int j = i + 1; j < lines.size() && j < i + 4 && !call.contains(u';'); ++j)
                call += lines[j];
            if (call.contains(libraryCall))
                found << where + u" shows a library call"_qs;
            const QRegularExpressionMatch m = box.match(call);
            if (!m.hasMatch())
                continue;
            // The name shown, filled through `&name` earlier in the same function.
            const QString name = m.captured(1);
            // The call whose own parentheses hold `&name`.
            const QRegularExpression filled(u"(\\w+)\\s*\\((?:[^;()]|\\([^()]*\\))*&"_qs + QRegularExpression::escape(name)
                                            + u"\\b"_qs);
            for (int j = i - 1; j >= 0 && !lines[j].startsWith(u'}'); --j) {
                const QRegularExpressionMatch by = filled.match(lines[j]);
                if (by.hasMatch() && !composers.contains(by.captured(1))) {
                    found << where + u" shows the error text of "_qs + by.captured(1);
                    break;
                }
            }
        }
    }
    EXPECT_GT(boxes, 50);
    EXPECT_TRUE(found.isEmpty()) << found.join(u'\n').toStdString();
}

} // namespace
} // namespace nbx::test
