// Language choice window and Qt's own translations.
#include "LangFixtures.h"

#include "common/AppPaths.h"
#include "common/AppState.h"
#include "common/IniFile.h"
#include "localisation/LangDesk.h"
#include "localisation/Strings.h"
#include "localisation/QtTranslations.h"
#include "localisation/ui/Form7.h"
#include "support/ScriptedPrompter.h"
#include "support/TempDatabase.h"

#include <QCoreApplication>
#include <QDir>
#include <QPushButton>
#include <QRadioButton>
#include <gtest/gtest.h>

namespace nbx::test {
namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class Form7Test : public ::testing::Test {
protected:
    void SetUp() override
    {
        savedCode = appState().codigoIdioma;
        ini = AppPaths::configFile();
        writeFile(ini, "; settings\r\n[Configuration]\r\nSerialPort=2\r\nLanguage=1034\r\n[Other]\r\nKey=x\r\n");
    }
    void TearDown() override { appState().codigoIdioma = savedCode; }

    // Opens the window as the main window does, with the restart observed.
    std::unique_ptr<Form7> open(int code)
    {
        appState().codigoIdioma = code;
        auto f = std::make_unique<Form7>();
        f->setRestartHook([this](int c) { restarts.append(c); });
        f->Form_Load();
        return f;
    }

    TempHome home;
    ScriptedPrompter prompts;
    QString ini;
    QList<int> restarts;
    int savedCode = 0;
};

TEST_F(Form7Test, AceptarWithoutTouchingWritesTheRunningLanguage)
{
    const std::pair<int, QString> cases[] = {{1000, u"1034"_qs}, {2000, u"1027"_qs}, {3000, u"1033"_qs},
                                             {4000, u"1031"_qs}, {5000, u"1036"_qs}, {6000, u"1040"_qs},
                                             {7000, u"2070"_qs}};
    for (const auto& [code, value] : cases) {
        restarts.clear();
        auto f = open(code);
        ASSERT_NE(f->option(code), nullptr);
        EXPECT_TRUE(f->option(code)->isChecked()) << code;
        f->SSCommandAceptar->click();
        EXPECT_EQ(LeerIni(u"Configuration"_qs, u"Language"_qs, QString(), ini), value) << code;
        EXPECT_EQ(appState().codigoIdioma, code);
        EXPECT_EQ(restarts, QList<int>{code});
        EXPECT_EQ(f->result(), QDialog::Accepted);
    }
    EXPECT_EQ(LeerIni(u"Configuration"_qs, u"SerialPort"_qs, QString(), ini), u"2"_qs);
    EXPECT_EQ(LeerIni(u"Other"_qs, u"Key"_qs, QString(), ini), u"x"_qs);
    EXPECT_TRUE(readAll(ini).startsWith("; settings"));
    EXPECT_TRUE(prompts.shown.isEmpty());
}

TEST_F(Form7Test, ChoosingAnotherLanguage)
{
    auto f = open(1000);
    f->option(5000)->click();
    EXPECT_FALSE(f->option(1000)->isChecked());
    EXPECT_EQ(f->chosenCode(), 5000);
    f->SSCommandAceptar->click();
    EXPECT_EQ(LeerIni(u"Configuration"_qs, u"Language"_qs, QString(), ini), u"1036"_qs);
    EXPECT_EQ(appState().codigoIdioma, 5000);
    EXPECT_EQ(restarts, QList<int>{5000});
}

TEST_F(Form7Test, CancelAndCloseChangeNothing)
{
    const QByteArray before = readAll(ini);
    {
        auto f = open(1000);
        f->option(4000)->click();
        f->SSCommandCancelar->click();
        EXPECT_EQ(f->result(), QDialog::Rejected);
    }
    {
        auto f = open(1000);
        f->option(4000)->click();
        f->show();
        f->close();
    }
    EXPECT_EQ(readAll(ini), before);
    EXPECT_EQ(appState().codigoIdioma, 1000);
    EXPECT_TRUE(restarts.isEmpty());
}

TEST_F(Form7Test, CodeOutsideTheTable)
{
    const QByteArray before = readAll(ini);
    auto f = open(0);
    for (int code = 1000; code <= 7000; code += 1000)
        EXPECT_FALSE(f->option(code)->isChecked());
    f->SSCommandAceptar->click();
    EXPECT_EQ(appState().codigoIdioma, 0);
    EXPECT_EQ(readAll(ini), before);
    EXPECT_EQ(restarts, QList<int>{0});
}

TEST_F(Form7Test, FailedWriteIsReportedAndLanguageStillApplies)
{
    QFile::remove(ini);
    ASSERT_TRUE(QDir().mkpath(ini)); // a folder where the file should be: it cannot be written
    auto f = open(1000);
    f->option(3000)->click();
    f->SSCommandAceptar->click();
    ASSERT_EQ(prompts.shown.size(), 1);
    EXPECT_EQ(prompts.shown[0].text, settingsWriteFailedText(ini));
    EXPECT_EQ(prompts.shown[0].icon, Prompter::Icon::Critical);
    EXPECT_EQ(appState().codigoIdioma, 3000);
    EXPECT_EQ(restarts, QList<int>{3000});
    QDir().rmdir(ini);
}

TEST_F(Form7Test, TranslatedAtLoadExceptLanguageNames)
{
    const QString db = QDir(home.path()).filePath(u"Language.db"_qs);
    makeTableDb(db, {{u"Aceptar"_qs, {{u"English"_qs, u"OK"_qs}}},
                     {u"English"_qs, {{u"English"_qs, u"Translated name"_qs}}}});
    langDesk().setSForeignColumnName(u"English"_qs);
    ASSERT_TRUE(langDesk().OpenLanguageDatabase(db, true, 0));
    auto f = open(3000);
    EXPECT_EQ(f->SSCommandAceptar->text(), u"OK"_qs);
    EXPECT_EQ(f->SSCommandCancelar->text(), u"Cancelar"_qs);
    EXPECT_EQ(f->option(3000)->text(), u"English"_qs);
    EXPECT_TRUE(f->windowTitle().isEmpty());
    shutdownLangDesk();
}

TEST(QtTranslations, DialogButtonsFollowTheLanguage)
{
    const auto cancel = [] { return QCoreApplication::translate("QPlatformTheme", "Cancel"); };
    ASSERT_TRUE(applyQtTranslations(5000));
    EXPECT_EQ(cancel(), u"Annuler"_qs);
    ASSERT_TRUE(applyQtTranslations(1000));
    EXPECT_EQ(cancel(), u"Cancelar"_qs);
    EXPECT_TRUE(applyQtTranslations(7000));
    EXPECT_TRUE(applyQtTranslations(2000));
    applyQtTranslations(3000);
    EXPECT_EQ(cancel(), u"Cancel"_qs);
    EXPECT_EQ(qtCatalogueLocales(0), QStringList{u"en"_qs});
}

} // namespace
} // namespace nbx::test
