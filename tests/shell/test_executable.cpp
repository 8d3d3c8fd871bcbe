// The nbx70 program itself, started on an empty home: the first-run settings file and the
// settings row of the new database.
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <QVariant>
#include <gtest/gtest.h>

#include "common/IniFile.h"

namespace {

// The Configuracion row as text, or empty while the database is not there yet.
QStringList settingsRow(const QString& dbFile)
{
    QStringList row;
    if (!QFile::exists(dbFile))
        return row;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "started-program");
        db.setDatabaseName(dbFile);
        db.setConnectOptions("QSQLITE_OPEN_READONLY");
        if (db.open()) {
            QSqlQuery q(db);
            if (q.exec("SELECT ByCom, IIdioma, ByTono, ByModem, TPrefijo, IModemSpeed, TUsuario FROM Configuracion")
                && q.next())
                for (int i = 0; i < 7; ++i)
                    row << q.value(i).toString();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase("started-program");
    return row;
}

} // namespace

TEST(Executable, FirstStartWritesTheIniAndTheSettingsRow)
{
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("NBX70_HOME", home.path());
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("LANG", "es_ES.UTF-8"); // a Spanish system: the first run takes Spanish
    env.insert("LC_ALL", "es_ES.UTF-8");
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(NBX70_EXECUTABLE), {});
    ASSERT_TRUE(program.waitForStarted(30000)) << program.errorString().toStdString();

    // The row starts as the settings in use: port 1, Spanish, tone, cable, no prefix (one blank),
    // 19200, no footer text. Start-up writes it just after creating the database, so the test waits
    // for it (a wrong row shows after the wait).
    const QStringList expected{"1", "1000", "1", "0", " ", "19200", ""};
    const QString dbFile = home.filePath("nbx70.db");
    QStringList row;
    QElapsedTimer waited;
    waited.start();
    while (row != expected && waited.elapsed() < 30000 && program.state() == QProcess::Running) {
        QThread::msleep(100);
        row = settingsRow(dbFile);
    }
    program.kill();
    program.waitForFinished(10000);

    const QString ini = home.filePath("nbx70.ini");
    const struct {
        const char* key;
        const char* value;
    } keys[] = {{"SerialPort", "1"}, {"SerialDevice", ""}, {"User", ""}, {"Language", "1034"},
                {"Modem", "0"},      {"TonePulse", "1"},   {"DialCode", ""}, {"ModemSpeed", "19200"}};
    for (const auto& k : keys) {
        EXPECT_TRUE(nbx::IniFile(ini).contains("Configuration", k.key)) << k.key;
        EXPECT_EQ(nbx::LeerIni("Configuration", k.key, "<none>", ini), QString::fromLatin1(k.value)) << k.key;
    }
    EXPECT_EQ(row, expected);
}
