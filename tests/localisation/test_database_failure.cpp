// A database failure in words: what could not be done, why, and the library's text, in the
// user's language.
#include "localisation/DatabaseFailure.h"
#include "localisation/LangDesk.h"

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
    };
    for (const auto& c : cases)
        EXPECT_EQ(databaseFailureText(c.task, QString::fromUtf8(c.subject), c.code, QString::fromUtf8(c.library)).toStdString(),
                  c.text);
    shutdownLangDesk();
}

} // namespace
} // namespace nbx::test
