#include "common/AppPaths.h"
#include "common/IniFile.h"
#include "common/ui/Help.h"
#include "shell/CommandLine.h"
#include "shell/Settings.h"
#include "common/AppState.h"
#include "support/ScriptedPrompter.h"
#include "support/TempDatabase.h"
#include <QTemporaryDir>

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

using namespace nbx;

TEST(LanguageMap, MapsTheSevenLocaleIdsAndDefaultsToEnglish)
{
    const struct {
        const char* ini;
        int code;
        const char* column;
    } cases[] = {
        {"1027", 2000, "Català"},   {"1034", 1000, "Español"},  {"1040", 6000, "Italiano"},
        {"1031", 4000, "Deutsch"},  {"1036", 5000, "Français"}, {"1033", 3000, "English"},
        {"2070", 7000, "Português"}, {"", 3000, "English"},     {"9999", 3000, "English"},
        {" 1036", 3000, "English"}, // compared as exact text; the ini reader trims before this
    };
    for (const auto& c : cases) {
        const LanguageChoice l = mapLanguage(QString::fromUtf8(c.ini));
        EXPECT_EQ(l.code, c.code) << c.ini;
        EXPECT_EQ(l.column, QString::fromUtf8(c.column)) << c.ini;
    }
}

TEST(Settings, ByteConversionLikeTheHistoricalOne)
{
    QString why;
    EXPECT_EQ(toByte(" 3 ", &why), 3);
    EXPECT_EQ(toByte("2.5", &why), 2); // halves to even
    EXPECT_EQ(toByte("255", &why), 255);
    EXPECT_FALSE(toByte("", &why));
    EXPECT_EQ(why, "Type mismatch");
    EXPECT_FALSE(toByte("COM1", &why));
    EXPECT_EQ(why, "Type mismatch");
    EXPECT_FALSE(toByte("256", &why));
    EXPECT_EQ(why, "Overflow");
    EXPECT_FALSE(toByte("-1", &why));
    EXPECT_EQ(why, "Overflow");
}

TEST(Settings, MissingKeysKeepTheirDefaultsAndAreReported)
{
    test::TempHome home;
    const QString ini = home.file("nbx70.ini");
    QFile f(ini);
    f.open(QIODevice::WriteOnly);
    f.write("[Configuration]\nSerialPort=4\nUser=Bar\nLanguage=1036\nTonePulse=x\nDialCode=0\n");
    f.close();
    QStringList errors;
    const Settings s = readSettings(ini, &errors);
    EXPECT_EQ(s.puertoCom, 4);
    EXPECT_EQ(s.textoUsuario, "Bar");
    EXPECT_EQ(s.languageText, "1036");
    EXPECT_EQ(s.conexionModem, 0);
    EXPECT_EQ(s.marcadoTonos, 1);
    EXPECT_EQ(s.prefijoMarcado, "0");
    ASSERT_EQ(errors.size(), 2);
    EXPECT_TRUE(errors[0].contains("Modem"));
    EXPECT_TRUE(errors[1].contains("TonePulse"));
}

TEST(Settings, FirstRunWritesTheDefaults)
{
    test::TempHome home;
    const QString ini = AppPaths::configFile();
    ASSERT_TRUE(createDefaultIni(ini));
    QStringList errors;
    const Settings s = readSettings(ini, &errors);
    EXPECT_TRUE(errors.isEmpty());
    EXPECT_EQ(s.puertoCom, 1);
    EXPECT_EQ(s.conexionModem, 0);
    EXPECT_EQ(s.marcadoTonos, 1);
    EXPECT_EQ(LeerIni("Configuration", "ModemSpeed", "", ini), "19200");
    EXPECT_EQ(LeerIni("Configuration", "Language", "", ini), QString::number(systemLocaleId()));
    // An existing file is never overwritten.
    EscribirIni("Configuration", "SerialPort", "7", ini);
    ASSERT_TRUE(createDefaultIni(ini));
    EXPECT_EQ(LeerIni("Configuration", "SerialPort", "", ini), "7");
}

TEST(CommandLine, CleansQuotesLikeTheHistoricalProgram)
{
    EXPECT_EQ(LineaComandos("  \"my files/x.km70\"  "), "my files/x.km70");
    EXPECT_EQ(LineaComandos("a\"b\"c\"d"), "abc\"d");
    EXPECT_EQ(LineaComandos("   "), "");
    EXPECT_EQ(LineaComandos("\"  123456\""), "  123456");
    EXPECT_TRUE(isExchangeFile("/home/u/data.Km70"));
    EXPECT_FALSE(isExchangeFile("/home/u/data.km7"));
    EXPECT_EQ(joinArguments({"my", "file.km70"}), "my file.km70");
}

TEST(CommandLine, SerialNumbersAreParsedNeverPasted)
{
    EXPECT_EQ(parseSerial(" 123456"), 123456L);
    EXPECT_EQ(parseSerial("000042"), 42L);
    EXPECT_FALSE(parseSerial("12'3"));
    EXPECT_FALSE(parseSerial("12%"));
    EXPECT_FALSE(parseSerial(""));
    EXPECT_FALSE(parseSerial("1234567890"));
}

TEST(Help, FileNamesByLanguageAndPreferredExtension)
{
    const struct {
        int code;
        const char* base;
    } cases[] = {{1000, "NBX-70_ESP"}, {2000, "NBX-70_CAT"}, {3000, "NBX-70_ENG"}, {4000, "NBX-70_ALE"},
                 {5000, "NBX-70_FRA"}, {6000, "NBX-70_ITA"}, {7000, "NBX-70_PTR"}, {0, "NBX-70_ENG"},
                 {9999, "NBX-70_ENG"}};
    for (const auto& c : cases)
        EXPECT_EQ(helpFileBase(c.code), QString::fromLatin1(c.base)) << c.code;

    QTemporaryDir dir;
    auto touch = [&](const QString& name) {
        QFile f(dir.filePath(name));
        f.open(QIODevice::WriteOnly);
    };
    EXPECT_EQ(findHelpFile(4000, dir.path()), "");
    touch("NBX-70_ALE.chm");
    EXPECT_EQ(findHelpFile(4000, dir.path()), dir.filePath("NBX-70_ALE.chm"));
    touch("nbx-70_ale.PDF");
    EXPECT_EQ(findHelpFile(4000, dir.path()), dir.filePath("nbx-70_ale.PDF"));
    QDir(dir.path()).mkdir("NBX-70_ALE");
    touch("NBX-70_ALE/index.html");
    EXPECT_EQ(findHelpFile(4000, dir.path()), dir.filePath("NBX-70_ALE/index.html"));
    touch("NBX-70_ALE.html");
    EXPECT_EQ(findHelpFile(4000, dir.path()), dir.filePath("NBX-70_ALE.html"));
    EXPECT_EQ(findHelpFile(0, dir.path()), "");
}

TEST(Help, AMissingFileOpensNothingAndShowsNothing)
{
    test::ScriptedPrompter prompts;
    int opened = 0;
    setHelpOpener([&](const QString&) { return ++opened > 0; });
    appState().codigoIdioma = 9999;
    EXPECT_EQ(AbrirAyuda(), !findHelpFile(9999, AppPaths::resourceDir()).isEmpty());
    EXPECT_TRUE(prompts.shown.isEmpty());
    setHelpOpener([](const QString&) { return false; });
}
