#include "common/AppPaths.h"
#include "common/AppState.h"
#include "common/Database.h"
#include "common/IniFile.h"
#include "localisation/LangDesk.h"
#include "localisation/ui/Form7.h"
#include "localisation/ui/StringExport.h"
#include "programming/ui/Form2.h"
#include "link/Link.h"
#include "nbx70-sim/Simulator.h"
#include "shell/ui/MainController.h"
#include "support/ScriptedPrompter.h"
#include "support/TempDatabase.h"

#include <QApplication>
#include <QFile>
#include <QPushButton>
#include <QRadioButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTimer>
#include <QVariant>
#include <gtest/gtest.h>

using namespace nbx;

namespace {

// A language database with the main window's captions in English and Catalan.
void writeLanguageDb(const QString& path)
{
    QString error;
    ASSERT_TRUE(LangDesk::CreateLanguageDatabase(path, &error)) << error.toStdString();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "lang-fixture");
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        q.prepare("INSERT INTO LangDesk (Native, bIsUsed, bSkip, \"English\", \"Català\") VALUES (?, -1, 0, ?, ?)");
        const char* rows[][3] = {{"Programación", "Programming", "Programació"},
                                 {"Salir", "Exit", "Sortir"},
                                 {"Pie página", "Page footer", "Peu de pàgina"},
                                 {"Idioma", "Language", "Idioma"}};
        for (const auto& r : rows) {
            q.addBindValue(QString::fromUtf8(r[0]));
            q.addBindValue(QString::fromUtf8(r[1]));
            q.addBindValue(QString::fromUtf8(r[2]));
            ASSERT_TRUE(q.exec());
        }
        db.close();
    }
    QSqlDatabase::removeDatabase("lang-fixture");
}

void writeIni(const char* language)
{
    QFile f(AppPaths::configFile());
    f.open(QIODevice::WriteOnly);
    f.write(QByteArray("[Configuration]\nSerialPort=1\nLanguage=") + language + "\nModem=0\nTonePulse=1\n");
}

// The settings file in `language` and the main window's captions in English and Catalan.
void prepareHome(const char* language)
{
    writeIni(language);
    writeLanguageDb(AppPaths::resolve(AppPaths::dataDir(), "Language.db"));
}

} // namespace

TEST(LanguageReload, MainWindowShowsInEnglishThenCatalanWithoutClosingAnything)
{
    test::TempHome home;
    test::ScriptedPrompter prompts;
    prepareHome("1033");

    MainController controller;
    controller.start(QString());
    ASSERT_TRUE(controller.form());
    EXPECT_EQ(controller.form()->SSCommandProgramacion->text(), "Programming");
    EXPECT_EQ(controller.form()->SSCommandExit->text(), "Exit");
    EXPECT_EQ(controller.form()->SSCommandHelp->text(), "Ayuda"); // no translation: Spanish

    QWidget otherWindow;
    otherWindow.show();
    Form1* old = controller.form();
    controller.reloadForLanguage(2000);
    QApplication::processEvents();
    ASSERT_TRUE(controller.form());
    EXPECT_NE(controller.form(), old);
    EXPECT_EQ(controller.form()->SSCommandProgramacion->text(), QString::fromUtf8("Programació"));
    EXPECT_EQ(controller.form()->SSCommandUsuario->text(), QString::fromUtf8("Peu de pàgina"));
    EXPECT_EQ(appState().codigoIdioma, 2000);
    EXPECT_TRUE(Database::isOpen());
    EXPECT_TRUE(otherWindow.isVisible());
    EXPECT_TRUE(prompts.shown.isEmpty());
    controller.form()->SSCommandExit->click();
    Database::close();
}

TEST(LanguageReload, EachOfTheSevenLanguagesReachesTheMainWindow)
{
    test::TempHome home;
    test::ScriptedPrompter prompts;
    writeIni("1034");
    const QString path = AppPaths::resolve(AppPaths::dataDir(), "Language.db");
    QString error;
    ASSERT_TRUE(LangDesk::CreateLanguageDatabase(path, &error));
    const struct {
        int code;
        const char* column;
        const char* salir;
    } languages[] = {{1000, "Español", "Salir"},  {2000, "Català", "Sortir"},   {3000, "English", "Exit"},
                     {4000, "Deutsch", "Beenden"}, {5000, "Français", "Quitter"}, {6000, "Italiano", "Esci"},
                     {7000, "Português", "Sair"}};
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "lang-seven");
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec("INSERT INTO LangDesk (Native, bIsUsed, bSkip) VALUES ('Salir', -1, 0)"));
        for (const auto& l : languages) {
            q.prepare(QStringLiteral("UPDATE LangDesk SET \"%1\" = ?").arg(QString::fromUtf8(l.column)));
            q.addBindValue(QString::fromUtf8(l.salir));
            ASSERT_TRUE(q.exec()) << l.column;
        }
        db.close();
    }
    QSqlDatabase::removeDatabase("lang-seven");

    MainController controller;
    controller.start(QString());
    for (const auto& l : languages) {
        controller.reloadForLanguage(l.code);
        EXPECT_EQ(controller.form()->SSCommandExit->text(), QString::fromUtf8(l.salir)) << l.column;
        EXPECT_EQ(controller.form()->SSCommandHelp->text(), "Ayuda") << l.column; // untranslated: Spanish
    }
    EXPECT_TRUE(prompts.shown.isEmpty());
    controller.form()->SSCommandExit->click();
    Database::close();
}

TEST(LanguageReload, TheChosenLanguageAppliesEvenWhenTheIniCannotBeWritten)
{
    test::TempHome home;
    test::ScriptedPrompter prompts;
    prepareHome("1034");
    MainController controller;
    controller.start(QString());
    EXPECT_EQ(controller.form()->SSCommandProgramacion->text(), QString::fromUtf8("Programación"));
    controller.reloadForLanguage(3000); // the ini still says Spanish
    EXPECT_EQ(LeerIni("Configuration", "Language", "", AppPaths::configFile()), "1034");
    EXPECT_EQ(controller.form()->SSCommandProgramacion->text(), "Programming");
    controller.form()->SSCommandExit->click();
    Database::close();
}

// A modem call left up survives a language change: the port stays open and the line state still
// says so, so the next operation does not dial over the live call.
TEST(LanguageReload, AModemCallUpStaysUpAndRecorded)
{
    test::TempHome home;
    test::ScriptedPrompter prompts;
    prepareHome("1034");
    sim::Simulator device;
    QString error;
    ASSERT_TRUE(device.start(&error)) << error.toStdString();
    MainController controller;
    controller.start(QString());

    Link& link = defaultLink();
    link.state.SerialDevice = device.portPath();
    ASSERT_TRUE(link.AbrirPuerto(&error)) << error.toStdString();
    link.state.ModemConectado = true; // as a dial that connected leaves it
    controller.reloadForLanguage(3000);
    EXPECT_TRUE(link.port.isOpen());
    EXPECT_TRUE(link.state.ModemConectado);

    // With the port closed the state can only say "no call".
    link.port.close();
    controller.reloadForLanguage(1000);
    EXPECT_FALSE(link.state.ModemConectado);
    controller.form()->SSCommandExit->click();
    Database::close();
}

TEST(StringExport, FillsTheLanguageDatabaseWithTheMainWindowTexts)
{
    test::TempHome home;
    test::ScriptedPrompter prompts;
    registerProgramWindows();
    QStringList names; // every window in order, the preview's tooltips among them
    for (const ExportableWindow& w : exportableWindows())
        names << w.name;
    EXPECT_EQ(names.join(' '), "Form1 Form2 Form3 Form4 Form5 Form6 Form7 Form8 Form9 Form10 Form11 Form12 Form13 "
                               "Form14 Form15 Form16");
    const QString path = home.file("Export.db");
    QString error;
    ASSERT_TRUE(LangDesk::CreateLanguageDatabase(path, &error));
    ASSERT_TRUE(ExportAllStrings(langDesk(), path, exportableWindows()));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "export-check");
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        for (const char* text : {"Programación", "Importar datos", "Pie página", "Salir"}) {
            q.prepare("SELECT COUNT(*) FROM LangDesk WHERE Native = ? AND bIsUsed <> 0");
            q.addBindValue(QString::fromUtf8(text));
            ASSERT_TRUE(q.exec());
            q.next();
            EXPECT_EQ(q.value(0).toInt(), 1) << text;
        }
        db.close();
    }
    QSqlDatabase::removeDatabase("export-check");
}

namespace {

QList<Form2*> programmingWindows()
{
    QList<Form2*> out;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* f = qobject_cast<Form2*>(w); f && f->isVisible())
            out << f;
    return out;
}

} // namespace

TEST(MainWindow, ProgrammingOpensOneWindowThatClosesWithTheMainWindow)
{
    test::TempHome home;
    test::ScriptedPrompter prompts;
    prepareHome("1034");
    MainController controller;
    controller.start(QString());
    controller.form()->SSCommandProgramacion->click();
    controller.form()->SSCommandProgramacion->click();
    EXPECT_EQ(programmingWindows().size(), 1);

    controller.reloadForLanguage(3000); // another language leaves it open
    QApplication::processEvents();
    EXPECT_EQ(programmingWindows().size(), 1);

    controller.form()->close();
    QApplication::processEvents();
    EXPECT_TRUE(programmingWindows().isEmpty());
    Database::close();
}

TEST(MainWindow, ASerialOnTheCommandLineOpensTheSheetModalBeforeTheMainWindow)
{
    test::TempHome home;
    test::ScriptedPrompter prompts;
    prepareHome("1034");
    bool wasModal = false;
    bool mainVisible = true;
    MainController controller;
    QTimer::singleShot(50, [&] {
        const auto windows = programmingWindows();
        ASSERT_EQ(windows.size(), 1);
        wasModal = windows[0]->isModal();
        mainVisible = controller.form() && controller.form()->isVisible();
        windows[0]->close();
    });
    controller.start("\"123456\"");
    EXPECT_TRUE(wasModal);
    EXPECT_FALSE(mainVisible);
    EXPECT_TRUE(controller.form()->isVisible());
    EXPECT_EQ(appState().lineaComandosTxt, "123456");
    controller.form()->SSCommandExit->click();
    Database::close();
}

TEST(MainWindow, TheLanguageButtonOpensTheChoiceOnTheRunningLanguage)
{
    test::TempHome home;
    test::ScriptedPrompter prompts;
    prepareHome("1036");
    MainController controller;
    controller.start(QString());
    bool frenchChecked = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<Form7*>(QApplication::activeModalWidget());
        ASSERT_TRUE(dialog);
        frenchChecked = dialog->option(5000)->isChecked();
        dialog->SSCommandAceptar->click();
    });
    controller.form()->SSCommandIdioma->click();
    QApplication::processEvents();
    EXPECT_TRUE(frenchChecked);
    EXPECT_EQ(appState().codigoIdioma, 5000);
    controller.form()->SSCommandExit->click();
    Database::close();
}
