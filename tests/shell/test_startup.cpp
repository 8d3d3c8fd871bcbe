#include "common/AppPaths.h"
#include "common/AppState.h"
#include "common/ConfiguracionRepo.h"
#include "common/Database.h"
#include "common/IniFile.h"
#include "common/QuitSignals.h"
#include "common/ui/QtPrompter.h"
#include "import/ImportService.h"
#include "link/CommSettings.h"
#include "link/Link.h"
#include "nbx70-sim/SimRecords.h"
#include "nbx70-sim/Simulator.h"
#include "records/PendingDownload.h"
#include "records/RecordFrames.h"
#include "records/ui/Form5.h"
#include "localisation/LangDesk.h"
#include "localisation/Strings.h"
#include "localisation/ui/Form7.h"
#include "shell/Settings.h"
#include "shell/Startup.h"
#include "shell/ui/Form1.h"
#include "shell/ui/MainController.h"
#include "programming/ui/Form2.h"
#include "programming/SheetValues.h"
#include "support/HomeFiles.h"
#include "support/LinkTestSupport.h"
#include "support/ScriptedPrompter.h"
#include "support/TempDatabase.h"
#include "support/Windows.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPointer>
#include <QProcess>
#include <QFile>
#include <QPushButton>
#include <QLabel>
#include <QRadioButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTimer>
#include <csignal>
#include <functional>
#include <optional>
#include <gtest/gtest.h>

using namespace nbx;

namespace {

// Runs the application's own loop, as main does; one still running after `ms` fails the test and
// is ended with 1 (a road that never ends fails instead of hanging).
int execWithin(int ms)
{
    QTimer watchdog;
    watchdog.setSingleShot(true);
    watchdog.callOnTimeout([ms] {
        ADD_FAILURE() << "the program's loop still ran after " << ms << " ms";
        QCoreApplication::exit(1);
    });
    watchdog.start(ms);
    return QApplication::exec();
}

class FakeHost : public StartupHost {
public:
    QStringList calls;
    bool panelVisibleDuringMerge = false;
    void setupLanguage(int, const QString& c) override { calls << "language:" + c; }
    void applySettings(const Settings&) override { calls << "settings"; }
    void setCaption(const QString& c) override { calls << "caption:" + c; }
    void translateWindow() override { calls << "translate"; }
    void showWindow() override { calls << "show"; }
    void setImportPanelVisible(bool v) override { calls << (v ? "panel:on" : "panel:off"); }
    bool importExchangeFileModal(const QString& p) override
    {
        calls << "km70:" + p + " fichero=" + appState().ficheroImportar;
        return true;
    }
    bool openProgrammingModal() override
    {
        calls << "programming:" + appState().lineaComandosTxt;
        return true;
    }
};

class FakeImport : public ImportService {
public:
    MergeOutcome outcome = MergeOutcome::Merged;
    QStringList merged;
    FakeHost* host = nullptr;
    std::function<void()> during;
    MergeReport mergeDatabase(const QString& path) override
    {
        merged << path;
        if (during)
            during();
        if (host)
            host->calls << "merge fichero=" + QFileInfo(appState().ficheroImportar).fileName();
        return outcome;
    }
    QStringList exchanged;
    void importExchangeFile(const QString& path) override { exchanged << path + " fichero=" + appState().ficheroImportar; }
};

using test::shownWindow;
using test::writeIni;
using test::writeLanguageDb;

void touch(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write("x");
}

const QByteArray kIni = "[Configuration]\nSerialPort=2\nUser=Pie\nLanguage=1036\nModem=0\nTonePulse=1\nDialCode=\n";

// A home with the settings kIni and a language database without translations.
struct ProgramHome : test::TempHome {
    ProgramHome()
    {
        writeIni(kIni);
        writeLanguageDb();
    }
};

} // namespace

TEST(Startup, FirstStartCreatesIniAndDatabaseAndRunsTheStepsInOrder)
{
    test::TempHome home;
    test::ScriptedPrompter prompts;
    FakeHost host;
    Startup s(host);
    const StartupResult r = s.run(QString(), true);
    Database::close();
    EXPECT_TRUE(r.databaseOpen);
    EXPECT_TRUE(r.reachedEnd);
    EXPECT_TRUE(QFile::exists(home.file("nbx70.ini")));
    EXPECT_TRUE(QFile::exists(home.file("nbx70.db")));
    EXPECT_TRUE(prompts.shown.isEmpty());
    ASSERT_EQ(host.calls.size(), 5);
    EXPECT_TRUE(host.calls[0].startsWith("language:"));
    EXPECT_EQ(host.calls.mid(1), QStringList({"settings", "caption:NBX-70", "translate", "show"}));
}

TEST(Startup, AKeyThatDoesNotConvertIsReportedAndStartUpGoesOn)
{
    test::TempHome home;
    writeIni("[Configuration]\nSerialPort=1\nLanguage=1034\nTonePulse=1\n");
    test::ScriptedPrompter prompts;
    FakeHost host;
    Startup s(host);
    const StartupResult r = s.run(QString(), true);
    Database::close();
    ASSERT_EQ(prompts.shown.size(), 1);
    EXPECT_TRUE(prompts.shown[0].text.contains("Modem"));
    EXPECT_EQ(prompts.shown[0].icon, Prompter::Icon::Critical);
    EXPECT_TRUE(r.databaseOpen);
    EXPECT_EQ(s.settings().conexionModem, 0);
    EXPECT_EQ(appState().codigoIdioma, 1000);
}

TEST(Startup, AnUnopenableDatabaseIsReportedAndTheWindowStillOpens)
{
    test::TempHome home;
    writeIni(kIni);
    QDir(home.path()).mkdir("nbx70.db"); // a folder where the file should be
    test::ScriptedPrompter prompts;
    FakeHost host;
    const StartupResult r = Startup(host).run(QString(), true);
    EXPECT_FALSE(r.databaseOpen);
    EXPECT_EQ(prompts.shown.size(), 1);
    EXPECT_EQ(host.calls.last(), "show");
    EXPECT_FALSE(host.calls.contains("translate"));
    EXPECT_TRUE(host.calls.contains("settings")); // the link still gets the ini's settings
}

TEST(Startup, PendingBackupIsMergedThenDeleted)
{
    test::TempHome home;
    writeIni(kIni);
    touch(AppPaths::backupFile());
    FakeHost host;
    FakeImport import;
    import.host = &host;
    setImportService(&import);
    Startup(host).run(QString(), true);
    setImportService(nullptr);
    Database::close();
    EXPECT_EQ(import.merged, QStringList({AppPaths::backupFile()}));
    EXPECT_FALSE(QFile::exists(home.file("backupnbx70.bak")));
    const int merge = host.calls.indexOf("merge fichero=backupnbx70.bak");
    ASSERT_GT(merge, 1);
    EXPECT_EQ(host.calls[merge - 2], "show"); // the window shows before the merge
    EXPECT_EQ(host.calls[merge - 1], "panel:on");
    EXPECT_EQ(host.calls[merge + 1], "panel:off");
    EXPECT_TRUE(appState().ficheroImportar.isEmpty());
}

TEST(Startup, ABackupThatFailsToMergeIsSetAsideNotDeleted)
{
    test::TempHome home;
    writeIni(kIni);
    touch(AppPaths::backupFile());
    FakeHost host;
    FakeImport import;
    setImportService(&import);
    // Busy, full, read-only, I/O: not the file's fault, so it waits for the next start.
    import.outcome = MergeOutcome::Failed;
    Startup(host).run(QString(), true);
    Database::close();
    EXPECT_TRUE(QFile::exists(home.file("backupnbx70.bak")));
    EXPECT_TRUE(QDir(home.path()).entryList({"backupnbx70.bak.failed-*"}).isEmpty());

    import.outcome = MergeOutcome::OpenFailed;
    const StartupResult r = Startup(host).run(QString(), true);
    setImportService(nullptr);
    Database::close();
    EXPECT_TRUE(r.reachedEnd);
    EXPECT_FALSE(QFile::exists(home.file("backupnbx70.bak")));
    const QStringList aside = QDir(home.path()).entryList({"backupnbx70.bak.failed-*"});
    EXPECT_EQ(aside.size(), 1);
}

TEST(Startup, WithoutAMergeServiceThePendingBackupIsLeftAlone)
{
    test::TempHome home;
    writeIni(kIni);
    touch(AppPaths::backupFile());
    FakeHost host;
    Startup(host).run(QString(), true);
    Database::close();
    EXPECT_TRUE(QFile::exists(home.file("backupnbx70.bak")));
    EXPECT_FALSE(host.calls.contains("panel:on"));
}

TEST(Startup, CommandLineIsFollowedOncePerProcess)
{
    test::TempHome home;
    writeIni(kIni);
    FakeHost host;
    Startup(host).run("\"/data/Sala 1.km70\"", true);
    Startup(host).run("\"/data/Sala 1.km70\"", false); // the reload after a language change
    Database::close();
    EXPECT_EQ(host.calls.filter("km70:").size(), 1);
    EXPECT_TRUE(host.calls.contains("km70:/data/Sala 1.km70 fichero=/data/Sala 1.km70"));
    EXPECT_TRUE(appState().ficheroImportar.isEmpty());

    FakeHost other;
    Startup(other).run(" 123456 ", true);
    Database::close();
    EXPECT_TRUE(other.calls.contains("programming:123456"));
}

TEST(Form1, CloseBoxSavesTheSettingsRowAndSalirDoesNot)
{
    ProgramHome home;
    test::ScriptedPrompter prompts;
    {
        Form1 form;
        form.start(QString(), true);
        EXPECT_TRUE(form.isVisible());
        EXPECT_EQ(form.windowTitle(), "NBX-70");
        EXPECT_EQ(form.SSCommandProgramacion->text(), QString::fromUtf8("Programación"));
        EXPECT_EQ(form.SSCommandUsuario->text(), QString::fromUtf8("Pie página"));
        EXPECT_EQ(form.SSCommandExit->text(), "Salir");
        EXPECT_FALSE(form.SSPanel1->isVisible());
        EXPECT_FALSE(form.CommandExportar->isVisible());
        form.close(); // the close box
    }
    ConfiguracionRow row;
    QString error;
    ASSERT_TRUE(ConfiguracionRepo::load(&row, &error));
    EXPECT_EQ(row.byCom, 2);
    EXPECT_EQ(row.iIdioma, 5000);
    EXPECT_EQ(row.byTono, 1);
    EXPECT_EQ(row.byModem, 0);
    EXPECT_EQ(row.tPrefijo, " "); // no prefix is stored as one blank
    EXPECT_EQ(row.iModemSpeed, 19200);
    EXPECT_EQ(row.tUsuario, "Pie");

    EscribirIni("Configuration", "SerialPort", "9", AppPaths::configFile());
    {
        Form1 form;
        form.start(QString(), true);
        form.SSCommandExit->click();
    }
    ASSERT_TRUE(ConfiguracionRepo::load(&row, &error));
    EXPECT_EQ(row.byCom, 2);
    Database::close();
    EXPECT_TRUE(prompts.shown.isEmpty());
}

TEST(Form1, FooterPromptCancelKeepsAndOkStoresFiftyCharacters)
{
    ProgramHome home;
    test::ScriptedPrompter prompts;
    Form1 form;
    form.start(QString(), true);

    prompts.cancelInput();
    form.SSCommandUsuario->click();
    EXPECT_EQ(appState().textoUsuario, "Pie");
    EXPECT_EQ(LeerIni("Configuration", "User", "", AppPaths::configFile()), "Pie");

    prompts.input(QString(60, QChar('a')));
    form.SSCommandUsuario->click();
    ConfiguracionRow row;
    QString error;
    ASSERT_TRUE(ConfiguracionRepo::load(&row, &error));
    EXPECT_EQ(appState().textoUsuario, QString(50, QChar('a')));
    EXPECT_EQ(LeerIni("Configuration", "User", "", AppPaths::configFile()), QString(50, QChar('a')));
    EXPECT_EQ(row.tUsuario, QString(50, QChar('a')));

    prompts.input(QString());
    form.SSCommandUsuario->click();
    ASSERT_TRUE(ConfiguracionRepo::load(&row, &error));
    EXPECT_EQ(appState().textoUsuario, "");
    EXPECT_EQ(row.tUsuario, "");
    ASSERT_EQ(prompts.prompts.size(), 3);
    EXPECT_EQ(prompts.prompts[0], QString::fromUtf8("Texto para el pie de página (máximo 50 carácteres): "));
    form.SSCommandExit->click();
    Database::close();
}

TEST(Form1, AnExchangeFileOnTheCommandLineGoesToTheImportService)
{
    ProgramHome home;
    test::ScriptedPrompter prompts;
    FakeImport import;
    setImportService(&import);
    {
        Form1 form;
        const StartupResult r = form.start("\"/data/Sala 1.KM70\"", true);
        EXPECT_TRUE(r.commandLineFollowed);
        form.SSCommandExit->click();
    }
    setImportService(nullptr);
    Database::close();
    EXPECT_EQ(import.exchanged, QStringList({"/data/Sala 1.KM70 fichero=/data/Sala 1.KM70"}));
    EXPECT_TRUE(appState().ficheroImportar.isEmpty());
}

TEST(Form1, NoButtonReactsWhileABackupIsMerged)
{
    ProgramHome home;
    touch(AppPaths::backupFile());
    test::ScriptedPrompter prompts;
    Form1 form;
    FakeImport import;
    QStringList enabledDuringMerge;
    bool closedDuringMerge = true;
    import.during = [&] {
        for (QPushButton* b : form.findChildren<QPushButton*>())
            if (b->isEnabled())
                enabledDuringMerge << b->objectName();
        closedDuringMerge = form.close(); // the close box
    };
    setImportService(&import);
    form.start(QString(), true);
    setImportService(nullptr);
    EXPECT_EQ(import.merged.size(), 1);
    EXPECT_TRUE(enabledDuringMerge.isEmpty()) << enabledDuringMerge.join(' ').toStdString();
    EXPECT_FALSE(closedDuringMerge);
    EXPECT_EQ(prompts.beeps, 1);
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(form.SSCommandProgramacion->isEnabled());
    EXPECT_TRUE(form.SSCommandIncidencias->isEnabled()); // the record window, like the sheet, needs the database
    form.SSCommandExit->click();
    Database::close();
}

TEST(Form1, WithoutItsDatabaseTheProgrammingWindowCannotBeOpened)
{
    ProgramHome home;
    QDir(home.path()).mkdir("nbx70.db"); // a folder where the file should be
    test::ScriptedPrompter prompts;
    Form1 form;
    const StartupResult r = form.start(QString(), true);
    EXPECT_FALSE(r.databaseOpen);
    ASSERT_EQ(prompts.shown.size(), 1); // the reason, once
    EXPECT_FALSE(form.SSCommandProgramacion->isEnabled());
    EXPECT_TRUE(form.SSCommandUsuario->isEnabled());
    form.SSCommandExit->click();
}

// An empty or garbled settings file: one message naming the file and the keys that could not be
// read; those keys are written back with their defaults, so the next start says nothing.
TEST(Startup, UnreadableSettingsAreNamedOnceAndWrittenBack)
{
    const struct {
        const char* what;
        QByteArray ini;
        QStringList named;
        QStringList notNamed;
    } cases[] = {
        {"empty", "", {"SerialPort", "Language", "Modem", "TonePulse"}, {}},
        {"binary noise", QByteArray("\x00\xff\xfe\x01garbage\x00", 13), {"SerialPort", "Modem", "TonePulse"}, {}},
        {"one bad value", "[Configuration]\nSerialPort=abc\nUser=Pie\nLanguage=1034\nModem=0\nTonePulse=1\n",
         {"SerialPort"}, {"Modem", "TonePulse", "Language"}},
        {"out of range", "[Configuration]\nSerialPort=1\nLanguage=1034\nModem=300\nTonePulse=1\n",
         {"Modem"}, {"SerialPort"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempHome home;
        writeIni(c.ini);
        test::ScriptedPrompter prompts;
        FakeHost host;
        EXPECT_TRUE(Startup(host).run(QString(), true).databaseOpen);
        Database::close();
        ASSERT_EQ(prompts.shown.size(), 1);
        const QString text = prompts.shown[0].text;
        EXPECT_TRUE(text.contains(AppPaths::configFile()));
        for (const QString& k : c.named)
            EXPECT_TRUE(text.contains(k)) << k.toStdString();
        for (const QString& k : c.notNamed)
            EXPECT_FALSE(text.contains(k)) << k.toStdString();
        QStringList errors;
        readSettings(AppPaths::configFile(), &errors);
        EXPECT_TRUE(errors.isEmpty()) << errors.join('|').toStdString();
        if (c.ini.contains("User=Pie")) {
            EXPECT_EQ(LeerIni("Configuration", "User", "", AppPaths::configFile()), "Pie");
        }
        prompts.shown.clear();
        Startup(host).run(QString(), true);
        Database::close();
        EXPECT_TRUE(prompts.shown.isEmpty());
    }
}

// Settings and data in a folder that cannot be written: one message says that neither the settings
// nor the database can be used there, and why; the program still starts.
TEST(Startup, AnUnwritableSettingsFolderGivesOneMessage)
{
    test::TempHome home;
    touch(home.file("file"));
    qputenv("NBX70_HOME", home.file("file/nbx70").toLocal8Bit()); // below a plain file
    test::ScriptedPrompter prompts;
    FakeHost host;
    const StartupResult r = Startup(host).run(QString(), true);
    EXPECT_FALSE(r.databaseOpen);
    ASSERT_EQ(prompts.shown.size(), 1);
    const QStringList lines = prompts.shown[0].text.split('\r');
    ASSERT_GE(lines.size(), 4) << prompts.shown[0].text.toStdString();
    EXPECT_EQ(lines[0], settingsWriteFailedText(AppPaths::configFile()));
    EXPECT_EQ(lines[1], GetS(QStringLiteral("No se ha podido abrir la base de datos %s."), {AppPaths::databaseFile()}));
    EXPECT_EQ(lines[2], GetS(QStringLiteral("La carpeta o el fichero no se pueden usar.")));
    EXPECT_EQ(host.calls.last(), "show");
}

// A database written by a newer program (its own tables and rows) is neither used nor changed.
TEST(Startup, ANewerDatabaseIsRefusedWithItsName)
{
    test::TempHome home;
    writeIni(kIni);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "newer");
        db.setDatabaseName(AppPaths::databaseFile());
        ASSERT_TRUE(db.open());
        QString error;
        ASSERT_TRUE(Database::ensureSchema(db, &error)) << error.toStdString();
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec("INSERT INTO Programacion (LNumeroSerie, TLocal) VALUES (1, 'Bar Sol')"));
        ASSERT_TRUE(q.exec("CREATE TABLE Novedad (a)"));
        ASSERT_TRUE(q.exec(QStringLiteral("PRAGMA user_version = %1").arg(Database::kSchemaVersion + 1)));
        q.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase("newer");
    auto bytes = [] {
        QFile f(AppPaths::databaseFile());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    const QByteArray before = bytes();
    test::ScriptedPrompter prompts;
    FakeHost host;
    EXPECT_FALSE(Startup(host).run(QString(), true).databaseOpen);
    ASSERT_EQ(prompts.shown.size(), 1);
    EXPECT_EQ(prompts.shown[0].text.toStdString(),
              GetS(QStringLiteral("La base de datos %s es de una versión más reciente del programa: no se usa ni se modifica."),
                   {AppPaths::databaseFile()})
                  .toStdString());
    EXPECT_FALSE(Database::isOpen());
    EXPECT_TRUE(before == bytes()) << "the file is left as it was";
}

// The settings row holds the settings in use from the first start, and follows the language and
// communication settings as they change (the footer text already did).
TEST(Startup, TheSettingsRowFollowsTheSettings)
{
    ProgramHome home;
    test::ScriptedPrompter prompts;
    FakeHost host;
    ASSERT_TRUE(Startup(host).run(QString(), true).databaseOpen);
    auto row = [] {
        ConfiguracionRow r;
        QString error;
        EXPECT_TRUE(ConfiguracionRepo::load(&r, &error)) << error.toStdString();
        return r;
    };
    EXPECT_EQ(row().byCom, 2);
    EXPECT_EQ(row().iIdioma, 5000);
    EXPECT_EQ(row().tUsuario, "Pie");

    {
        Form7 f;
        f.Form_Load();
        f.option(3000)->click(); // English
        f.SSCommandAceptar->click();
    }
    EXPECT_EQ(row().iIdioma, 3000);

    Link& link = defaultLink();
    CommChoice choice;
    choice.port = "ttyS4";
    choice.modem = true;
    choice.tone = false;
    choice.prefix = "9";
    ASSERT_TRUE(CommSettings::accept(link, choice, AppPaths::configFile()));
    EXPECT_EQ(row().byCom, 5);
    EXPECT_EQ(row().byModem, 1);
    EXPECT_EQ(row().byTono, 0);
    EXPECT_EQ(row().tPrefijo, "9");
    link.state = LinkState{};
    Database::close();
    EXPECT_TRUE(prompts.shown.isEmpty());
}

// The string export ends the program, but not over a sheet that refuses to close: here its save
// prompt is answered OK and the save fails, so the sheet and its unsaved edits stay.
TEST(Form1, TheExportRespectsTheSheetsRefusalToClose)
{
    ProgramHome home;
    test::ScriptedPrompter prompts;
    Form1 form;
    form.start(QString(), true);
    form.SSCommandProgramacion->click();
    Form2* sheet = shownWindow<Form2>();
    ASSERT_TRUE(sheet);
    QPointer<Form2> alive(sheet);
    sheet->MaskNumeroSerie->setText("123456");
    sheet->MaskDiaLocal->setText(""); // a save cannot store this
    programmingState().fichaModificada = true;
    prompts.answer(Prompter::Answer::Ok); // save the changes
    form.CommandExportar->click();
    EXPECT_TRUE(alive);
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(prompts.sawText(GetS(23)));
    programmingState().fichaModificada = false;
    form.SSCommandExit->click();
    Database::close();
}

// The reading child's files left in the temporary folder by a program that was killed go at the
// next start; those of a program that still runs, and any other file, stay.
TEST(Startup, AccessReadingFilesOfAProgramThatEndedAreRemoved)
{
    test::TempHome home;
    writeIni(kIni);
    QTemporaryDir tmp;
    const QByteArray savedTmp = qgetenv("TMPDIR");
    qputenv("TMPDIR", tmp.path().toUtf8());
    QProcess ended;
    ended.start("/bin/sh", {"-c", "echo $$"});
    ASSERT_TRUE(ended.waitForFinished());
    const QString gone = QString::fromLatin1(ended.readAll().trimmed());
    const QString running = QString::number(QCoreApplication::applicationPid());
    const QStringList left = {"nbx70-access-" + gone + "-a1B2c3.db", "nbx70-access-" + running + "-a1B2c3.db",
                              "nbx70-access-a1B2c3.db", "other.db"};
    for (const QString& name : left)
        touch(tmp.filePath(name));
    FakeHost host;
    Startup(host).run(QString(), true);
    Database::close();
    qputenv("TMPDIR", savedTmp);
    EXPECT_EQ(QDir(tmp.path()).entryList(QDir::Files, QDir::Name), QStringList(left.mid(1)));
}

namespace {

// The home of a program whose stored device is the simulator behind a modem that connects, reached
// with short link timings; the link as it was and the database closed again at the end.
struct ModemDevice {
    ~ModemDevice()
    {
        link.timing = savedTiming;
        link.state.SerialDevice.clear();
        link.state.ConexionModem = 0;
        Database::close();
    }
    // With `history`, the device holds 400 intervals that it gives 5 ms apart.
    void start(bool history)
    {
        writeLanguageDb();
        QString error;
        ASSERT_TRUE(sim.start(&error)) << error.toStdString();
        sim.setModemMode(true, sim::ModemAnswer::Connect, 20);
        writeIni("[Configuration]\nSerialPort=1\nSerialDevice=" + sim.portPath().toUtf8()
                 + "\nUser=\nLanguage=1034\nModem=1\nTonePulse=1\nDialCode=\n");
        if (history)
            sim.withRecords([&](sim::RecordDevice& r) {
                r.config.clock = clock;
                r.config.intervalCount = 400;
                r.config.tMinutes = 2;
                r.config.recordDelayMs = 5;
            });
        link.timing = test::shortLinkTiming();
    }
    // Recibir in `records` over `range`, the modem question answered OK, in the program's own loop
    // as in main (60 s at most); `signal` is raised once 20 records came in. Returns the loop's
    // exit code.
    int download(const QPointer<Form5>& records, test::ScriptedPrompter& prompts, int signal)
    {
        records->setRangeAsker([this](RangoFechas& r) {
            r = range;
            return true;
        });
        prompts.answer(Prompter::Answer::Ok); // the modem is connected
        QTimer poll;
        poll.callOnTimeout([&] {
            if (!raised && records && records->Frame17->text().toInt() >= 20) {
                raised = true;
                std::raise(signal);
            }
        });
        poll.start(2);
        QTimer::singleShot(0, records, [&] { records->SSCommandRecibir->click(); });
        const int rc = execWithin(60000);
        poll.stop();
        return rc;
    }
    // What the program sent after the interval request, once it ended with CAN; none without it.
    std::optional<QByteArray> answersToTheIntervalRequest()
    {
        const QByteArray request = requestFrame(0x05, range);
        if (!QTest::qWaitFor([&] { return sim.bytesReceived().endsWith(char(0x18)); }, 5000))
            return std::nullopt;
        const QByteArray received = sim.bytesReceived();
        return received.mid(received.indexOf(request) + request.size());
    }

    test::TempHome home;
    sim::Simulator sim;
    const QDateTime clock{QDate(2024, 5, 14), QTime(10, 30), Qt::UTC};
    const RangoFechas range = RangoFechas::fromMoments(clock.addDays(-2), clock);
    Link& link = defaultLink();
    const LinkTiming savedTiming = link.timing;
    bool raised = false;
};

// Starts the program with one stored sheet and opens its record window from the main window.
QPointer<Form5> openRecordsOfAStoredDevice(MainController& program)
{
    program.start(QString());
    QSqlQuery(mainDb()).exec("INSERT INTO Programacion (LNumeroSerie, TLocal, TTelefono, DFecha) "
                             "VALUES (123456, 'Sala', '5551234', '2024-02-03')");
    program.form()->SSCommandIncidencias->click();
    return shownWindow<Form5>();
}

} // namespace

// SIGTERM during a modem download: the download stops as on Stop with every record acknowledged to
// the device stored, the call is hung up without the question, and the program ends as on Salir.
TEST(Form1, ASignalDuringADownloadEndsTheProgramWithEveryAcknowledgedRecordStored)
{
    ModemDevice device;
    ASSERT_NO_FATAL_FAILURE(device.start(true));
    test::ScriptedPrompter prompts;
    QuitSignals quitSignals;
    ASSERT_TRUE(quitSignals.installed());
    MainController program;
    const QPointer<Form5> records = openRecordsOfAStoredDevice(program);
    ASSERT_TRUE(records);
    const int rc = device.download(records, prompts, SIGTERM);
    quitRequest().reset();

    EXPECT_EQ(rc, 0);
    EXPECT_TRUE(device.raised);
    EXPECT_FALSE(program.form()->isVisible());
    EXPECT_TRUE(!records || !records->isVisible());
    EXPECT_FALSE(prompts.sawText(GetS(61)));
    EXPECT_FALSE(prompts.sawText(GetS(124)));
    EXPECT_FALSE(device.link.port.isOpen());
    EXPECT_FALSE(device.link.state.ModemConectado);
    // The device's own count: the ACKs that followed the interval request, then CAN.
    const std::optional<QByteArray> answers = device.answersToTheIntervalRequest();
    ASSERT_TRUE(answers);
    ASSERT_TRUE(device.sim.bytesReceived().contains(requestFrame(0x05, device.range)));
    const int acknowledged = int(answers->count(char(0x06)));
    EXPECT_EQ(answers->size(), acknowledged + 1);
    EXPECT_GE(acknowledged, 20);
    EXPECT_LT(acknowledged, 400);
    QSqlQuery q(mainDb());
    ASSERT_TRUE(q.exec("SELECT COUNT(*) FROM Intervalos") && q.next());
    EXPECT_EQ(q.value(0).toInt(), acknowledged);
    // The older records the device still holds are fetched by the next download's default range.
    EXPECT_EQ(pendingFrom(mainDb(), 123456), device.range.from());
}

// Further signals once the end has begun end the program as one signal does: its exit status, the
// acknowledged records stored. The later ones land where they could cut the end short: as the end
// starts, and the last in the shutdown after the loop, once the signals' pipe is gone as at the end
// of main (there a signal given back to its old handler would kill the program).
TEST(Form1, FurtherSignalsWhileTheProgramEndsAreTakenAndIgnored)
{
    const struct {
        int first;          // during the download
        int asTheEndStarts; // 0: none
        int inTheShutdown;
    } rows[] = {{SIGTERM, 0, SIGINT}, {SIGTERM, SIGHUP, SIGINT}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.asTheEndStarts);
        ModemDevice device;
        ASSERT_NO_FATAL_FAILURE(device.start(true));
        test::ScriptedPrompter prompts;
        int rc = -1;
        {
            QuitSignals quitSignals; // as in main: around the loop and the shutdown after it
            MainController program;
            const QPointer<Form5> records = openRecordsOfAStoredDevice(program);
            ASSERT_TRUE(records);
            int requests = 0;
            const QMetaObject::Connection told = QObject::connect(&quitRequest(), &QuitRequest::quitRequested, [&] {
                if (++requests == 1 && row.asTheEndStarts != 0)
                    std::raise(row.asTheEndStarts);
            });
            rc = device.download(records, prompts, row.first);
            QObject::disconnect(told);
            EXPECT_TRUE(device.raised);
            EXPECT_EQ(requests, row.asTheEndStarts != 0 ? 2 : 1);
            EXPECT_FALSE(program.form()->isVisible());
            const std::optional<QByteArray> answers = device.answersToTheIntervalRequest();
            ASSERT_TRUE(answers);
            QSqlQuery q(mainDb());
            ASSERT_TRUE(q.exec("SELECT COUNT(*) FROM Intervalos") && q.next());
            EXPECT_EQ(q.value(0).toInt(), int(answers->count(char(0x06))));
            EXPECT_GE(q.value(0).toInt(), 20);
        }
        std::raise(row.inTheShutdown); // without the end's hold, this ends the test process
        quitRequest().reset();
        EXPECT_EQ(rc, 0);
    }
}

// Salir, then a signal in the shutdown after the loop: the end has begun, the signal is ignored.
TEST(Form1, ASignalAfterSalirIsTakenAndIgnored)
{
    ProgramHome home;
    test::ScriptedPrompter prompts;
    int rc = -1;
    {
        QuitSignals quitSignals;
        MainController program;
        program.start(QString());
        QTimer::singleShot(0, program.form(), [&] { program.form()->SSCommandExit->click(); });
        rc = execWithin(30000);
    }
    std::raise(SIGTERM); // without the end's hold, this ends the test process
    quitRequest().reset();
    EXPECT_EQ(rc, 0);
    Database::close();
}

// SIGTERM as the modem question of a download is accepted: no escape and no dial follow, no
// message, and the program ends as on Salir.
TEST(Form1, ASignalAsTheModemQuestionIsAcceptedEndsTheProgramWithoutDialling)
{
    ModemDevice device;
    ASSERT_NO_FATAL_FAILURE(device.start(false));
    struct : test::ScriptedPrompter {
        Answer message(const QString& text, Icon icon, Buttons buttons) override
        {
            if (text == GetS(33))
                std::raise(SIGTERM);
            return ScriptedPrompter::message(text, icon, buttons);
        }
    } prompts;
    QuitSignals quitSignals;
    MainController program;
    const QPointer<Form5> records = openRecordsOfAStoredDevice(program);
    ASSERT_TRUE(records);
    records->setRangeAsker([](RangoFechas&) { return true; });
    QTimer::singleShot(0, records, [&] { records->SSCommandRecibir->click(); });
    const int rc = execWithin(30000);
    quitRequest().reset();

    EXPECT_EQ(rc, 0);
    EXPECT_FALSE(program.form()->isVisible());
    ASSERT_EQ(prompts.shown.size(), 1);
    EXPECT_EQ(prompts.shown[0].text, GetS(33));
    EXPECT_TRUE(device.sim.bytesReceived().isEmpty()) << device.sim.bytesReceived().constData();
    EXPECT_FALSE(device.link.port.isOpen());
}

// A signal while the sheet has unsaved edits: its save question, a real message box here, cannot
// wait for an answer. It is closed as its close box would close it (Cancel): the stored sheets stay
// as they were and the program ends, a value its box would refuse included.
TEST(Form1, ASignalClosesTheSheetsSaveQuestionWithCancelAndEnds)
{
    ProgramHome home;
    QtPrompter boxes;
    setPrompter(&boxes);
    MainController program;
    program.start(QString());
    program.form()->SSCommandProgramacion->click();
    const QPointer<Form2> sheet = shownWindow<Form2>();
    ASSERT_TRUE(sheet);
    sheet->MaskNumeroSerie->setText("123456");
    sheet->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(sheet));
    sheet->SSTab2->setCurrentIndex(2);
    sheet->MaskEmpiezaNoche->setFocus();
    sheet->MaskEmpiezaNoche->setText("25:00");
    programmingState().fichaModificada = true;
    QTimer::singleShot(0, [] { quitRequest().request(SIGTERM); });
    const int rc = execWithin(30000); // a box left waiting fails here instead of hanging
    quitRequest().reset();
    setPrompter(nullptr);
    programmingState().fichaModificada = false;

    EXPECT_EQ(rc, 0);
    EXPECT_TRUE(!sheet || !sheet->isVisible());
    EXPECT_FALSE(program.form()->isVisible());
    QSqlQuery q(mainDb());
    ASSERT_TRUE(q.exec("SELECT COUNT(*) FROM Programacion") && q.next());
    EXPECT_EQ(q.value(0).toInt(), 0);
    Database::close();
}
