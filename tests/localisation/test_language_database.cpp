// Language database of both kinds: opening, lookups, SetupLanguage.
#include "LangFixtures.h"

#include "support/ScriptedPrompter.h"
#include "common/Cp1252.h"
#include "localisation/LangDesk.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace nbx::test {
namespace {

const QString kEn = u"English"_qs;
const QString kFr = u"Fran\u00e7ais"_qs;

class TableKind : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(u"Language.db"_qs);
        makeTableDb(path, {
            {u"Fecha"_qs, {{kEn, u"Date"_qs}, {kFr, u"Date (fr)"_qs}}},
            {u"FECHA"_qs, {{kEn, u"DATE"_qs}}},
            {u"hora"_qs, {{kEn, u"skipped"_qs}}, 1},       // case variant, skipped
            {u"Hora"_qs, {{kEn, u"Time"_qs}}},
            {u"Noche"_qs, {{kEn, u"Night"_qs}}, -1},       // skipped (Access Yes = -1)
            {u"D\u00eda"_qs, {{kEn, QVariant()}}},         // NULL: untranslated
            {u"Sesi\u00f3n"_qs, {{kEn, u""_qs}}},          // explicitly empty
            {u"Leq1'max"_qs, {{kEn, u"Leq1'max (en)"_qs}}},
            {u"Lunes"_qs, {{kEn, u"Monday"_qs}}},
            {u"Lunes"_qs, {{kEn, u"Second Monday"_qs}}},    // duplicate: the first row decides
            {u"Error\rimpresora"_qs, {{kEn, u"Printer\rerror"_qs}}},
        });
    }
    bool open(const QString& column, bool readOnly = true)
    {
        d.setSForeignColumnName(column);
        return d.OpenLanguageDatabase(path, readOnly, LangDesk::AccessLanguageDatabase);
    }
    QTemporaryDir dir;
    QString path;
    LangDesk d;
};

TEST_F(TableKind, Lookups)
{
    ASSERT_TRUE(open(kEn)) << d.sErrDescription().toStdString();
    EXPECT_TRUE(d.bDbOpen());
    EXPECT_TRUE(d.bDbReadOnly());
    EXPECT_EQ(d.sLanguageDB(), path);
    const std::pair<QString, QString> cases[] = {
        {u"Fecha"_qs, u"Date"_qs},
        {u"FECHA"_qs, u"DATE"_qs},
        {u"fecha"_qs, u"fecha"_qs},                 // no row with that exact case
        {u"Hora"_qs, u"Time"_qs},                   // a skipped case variant does not interfere
        {u"hora"_qs, u"hora"_qs},                   // skipped row: native
        {u"Noche"_qs, u"Noche"_qs},
        {u"D\u00eda"_qs, u"D\u00eda"_qs},           // NULL: native
        {u"Sesi\u00f3n"_qs, QString()},             // '' stays empty
        {u"Leq1'max"_qs, u"Leq1'max (en)"_qs},
        {u"Leq1'min"_qs, u"Leq1'min"_qs},           // apostrophe, no row: unchanged
        {u"Lunes"_qs, u"Monday"_qs},
        {u"Error\rimpresora"_qs, u"Printer\rerror"_qs},
        {u"x' OR '1'='1"_qs, u"x' OR '1'='1"_qs},
        {QString(), QString()},
    };
    for (const auto& [native, expected] : cases)
        EXPECT_EQ(d.GetTranslation(native), expected) << native.toStdString();
    EXPECT_EQ(d.GetS(12), u"Leq1'max (en)"_qs);
    EXPECT_EQ(d.GetS(37), u"Printer\rerror"_qs);
}

TEST_F(TableKind, ColumnChoiceAndMissingColumn)
{
    ASSERT_TRUE(open(u"fran\u00e7ais"_qs)); // column names match in any case
    EXPECT_EQ(d.GetTranslation(u"Fecha"_qs), u"Date (fr)"_qs);
    EXPECT_EQ(d.GetTranslation(u"Hora"_qs), u"Hora"_qs);
    ASSERT_TRUE(open(u"Klingon"_qs)); // a missing column is no open failure
    EXPECT_EQ(d.GetTranslation(u"Fecha"_qs), u"Fecha"_qs);
    EXPECT_TRUE(d.sErrDescription().contains(u"Klingon"_qs));
}

TEST_F(TableKind, OpenedForWritingGivesNatives)
{
    ASSERT_TRUE(open(kEn, false));
    EXPECT_FALSE(d.bDbReadOnly());
    EXPECT_EQ(d.GetTranslation(u"Fecha"_qs), u"Fecha"_qs);
}

TEST_F(TableKind, SecondOpenClosesFirstAndFailedOpenLeavesClosed)
{
    ASSERT_TRUE(open(kEn));
    const QString other = dir.filePath(u"other.db"_qs);
    makeTableDb(other, {{u"Fecha"_qs, {{kEn, u"Other date"_qs}}}});
    ASSERT_TRUE(d.OpenLanguageDatabase(other, true, 0));
    EXPECT_EQ(d.GetTranslation(u"Fecha"_qs), u"Other date"_qs);
    EXPECT_FALSE(d.OpenLanguageDatabase(dir.filePath(u"missing.db"_qs), true, 0));
    EXPECT_FALSE(d.bDbOpen());
    EXPECT_TRUE(d.sLanguageDB().isEmpty());
    EXPECT_EQ(d.GetTranslation(u"Fecha"_qs), u"Fecha"_qs);
}

TEST(TableKindOpen, BadFilesFailWithDescription)
{
    QTemporaryDir dir;
    LangDesk d;
    d.setSForeignColumnName(kEn);

    const QString missing = dir.filePath(u"missing.db"_qs);
    EXPECT_FALSE(d.OpenLanguageDatabase(missing, true, 0));
    EXPECT_FALSE(QFileInfo::exists(missing)); // never created
    EXPECT_FALSE(d.sErrDescription().isEmpty());

    const QString text = dir.filePath(u"text.db"_qs);
    writeFile(text, QByteArray("this is not a database\n").repeated(50));
    EXPECT_FALSE(d.OpenLanguageDatabase(text, true, 0));
    EXPECT_FALSE(d.sErrDescription().isEmpty());

    const QString noTable = dir.filePath(u"notable.db"_qs);
    execOnFile(noTable, {u"CREATE TABLE Other (x)"_qs});
    EXPECT_FALSE(d.OpenLanguageDatabase(noTable, true, 0));
    EXPECT_TRUE(d.sErrDescription().contains(u"LangDesk"_qs)) << d.sErrDescription().toStdString();

    const QString access = dir.filePath(u"Language.mdb"_qs);
    QByteArray head(2048, '\0');
    head.replace(0, 20, QByteArray("\x00\x01\x00\x00Standard Jet DB\x00", 20));
    writeFile(access, head);
    EXPECT_FALSE(d.OpenLanguageDatabase(access, true, 0));
    EXPECT_TRUE(d.sErrDescription().contains(u"Access"_qs));
    EXPECT_FALSE(d.bDbOpen());
}

// ---- text kind ----

QStringList sortedNatives()
{
    QStringList n = {u"Fecha"_qs, u"Hora"_qs, u"Leq1'max"_qs, u"\u00bfDesea colgar el tel\u00e9fono?"_qs,
                     u"Sesi\u00f3n"_qs, u"D\u00eda"_qs, u"A"_qs};
    std::sort(n.begin(), n.end(), [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseSensitive) < 0; });
    return n;
}

QStringList englishFor(const QStringList& natives)
{
    QStringList out;
    for (const QString& n : natives)
        out << u"EN:"_qs + n;
    return out;
}

TEST(TextKind, LoadsWithAnyLineEndAndOffsets)
{
    QTemporaryDir dir;
    const QStringList natives = sortedNatives();
    struct Case {
        QString eol;
        bool wrongOffsets;
    };
    const Case cases[] = {{u"\r\n"_qs, false}, {u"\r\n"_qs, true}, {u"\n"_qs, false}, {u"\r"_qs, true}};
    for (const Case& c : cases) {
        const QString path = dir.filePath(u"lang.txt"_qs);
        writeFile(path, textDbBytes(natives, {{kEn, englishFor(natives)}, {kFr, natives}}, c.eol, c.wrongOffsets));
        LangDesk d;
        d.setSForeignColumnName(u"english"_qs);
        ASSERT_TRUE(d.OpenLanguageDatabase(path, false, LangDesk::TextLanguageDatabase))
            << d.sErrDescription().toStdString();
        EXPECT_TRUE(d.bDbReadOnly()); // a text database is always read-only
        EXPECT_EQ(d.lNumStrings(), natives.size());
        for (const QString& n : natives)
            EXPECT_EQ(d.GetTranslation(n), u"EN:"_qs + n) << n.toStdString();
        EXPECT_EQ(d.GetTranslation(u"fecha"_qs), u"fecha"_qs);
        EXPECT_EQ(d.GetTranslation(u"Zzz"_qs), u"Zzz"_qs);
    }
}

TEST(TextKind, Windows1252File)
{
    QTemporaryDir dir;
    const QStringList natives = sortedNatives();
    const QString path = dir.filePath(u"lang.txt"_qs);
    writeFile(path, unicodeToCp1252(QString::fromUtf8(textDbBytes(natives, {{kEn, englishFor(natives)}}))));
    LangDesk d;
    d.setSForeignColumnName(kEn);
    ASSERT_TRUE(d.OpenLanguageDatabase(path, true, 1)) << d.sErrDescription().toStdString();
    EXPECT_EQ(d.GetTranslation(u"D\u00eda"_qs), u"EN:D\u00eda"_qs);
    EXPECT_EQ(d.GetTranslation(u"\u00bfDesea colgar el tel\u00e9fono?"_qs), u"EN:\u00bfDesea colgar el tel\u00e9fono?"_qs);
}

TEST(TextKind, KeySplitFromThirdCharacter)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"lang.txt"_qs);
    const QByteArray bytes = "[Language Desk]\nNumberOfLanguages=1\nNumberOfStrings=3\nLanguage1=English\n"
                             "[Native]\n1=A\nkey=B=C\nno key\n[English]\n1=a\nk=b\n=c\n";
    writeFile(path, bytes);
    LangDesk d;
    d.setSForeignColumnName(kEn);
    ASSERT_TRUE(d.OpenLanguageDatabase(path, true, 1)) << d.sErrDescription().toStdString();
    EXPECT_EQ(d.GetTranslation(u"1=A"_qs), u"1=a"_qs); // "=" at position 2 is part of the text
    EXPECT_EQ(d.GetTranslation(u"B=C"_qs), u"k=b"_qs);
    EXPECT_EQ(d.GetTranslation(u"no key"_qs), u"=c"_qs);
}

TEST(TextKind, InvalidFilesFail)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"lang.txt"_qs);
    struct Case {
        QByteArray bytes;
        QString column;
        QString description; // expected part of the description
    };
    const QString notValid = u"Not a valid Text Language Database"_qs;
    const Case cases[] = {
        {"[Language Desk]\nNumberOfLanguages=0\nNumberOfStrings=1\n[Native]\nAB=x\n", kEn, notValid},
        {"[Language Desk]\nNumberOfLanguages=1\nNumberOfStrings=0\nLanguage1=English\n", kEn, notValid},
        {"[Language Desk]\nNumberOfLanguages=1\nNumberOfStrings=3\nLanguage1=English\n[Native]\nAB=x\nAC=y\n",
         kEn, notValid},
        {"[Language Desk]\nNumberOfLanguages=1\nNumberOfStrings=1\nLanguage1=English\n[Native]\nAB=x\n",
         kFr, u"not found"_qs},
        {"[Language Desk]\nNumberOfLanguages=1\nNumberOfStrings=1\nLanguage1=English\n[Native]\nAB=x\n",
         kEn, u"[English]"_qs},
        {"no header at all\n", kEn, notValid},
        // Counts far beyond what the file holds: the reader stays within the file (it used to look
        // up two thousand million language names, reading the file again for each).
        {"[Language Desk]\nNumberOfLanguages=2000000000\nNumberOfStrings=1\n"
         "Language1999999999=English\n[Native]\nAB=x\n",
         kEn, u"not found"_qs},
        {"[Language Desk]\nNumberOfLanguages=1e300\nNumberOfStrings=1e300\nLanguage1=English\n[Native]\nAB=x\n",
         kEn, u""_qs},
    };
    for (const Case& c : cases) {
        writeFile(path, c.bytes);
        LangDesk d;
        d.setSForeignColumnName(c.column);
        EXPECT_FALSE(d.OpenLanguageDatabase(path, true, 1)) << c.bytes.toStdString();
        EXPECT_TRUE(d.sErrDescription().contains(c.description)) << d.sErrDescription().toStdString();
        EXPECT_FALSE(d.bDbOpen());
    }
}

TEST(TextKind, HeaderNumbersTakeLeadingNumber)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"lang.txt"_qs);
    writeFile(path, "[Language Desk]\nNumberOfLanguages=1 language\nNumberOfStrings= 1.6 lines\n"
                    "Language1=English\n[Native]\nAB=x\nAC=y\n[English]\nAB=X\nAC=Y\n");
    LangDesk d;
    d.setSForeignColumnName(kEn);
    ASSERT_TRUE(d.OpenLanguageDatabase(path, true, 1)) << d.sErrDescription().toStdString();
    EXPECT_EQ(d.lNumStrings(), 2);
    EXPECT_EQ(d.GetTranslation(u"y"_qs), u"Y"_qs);
}

// A file of a megabyte, its column named last among many languages, is read in time.
TEST(TextKind, AMegabyteFileIsRead)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"lang.txt"_qs);
    const int languages = 60000;
    QByteArray bytes = "[Language Desk]\nNumberOfLanguages=" + QByteArray::number(languages) + "\nNumberOfStrings=1\n";
    for (int n = 1; n < languages; ++n)
        bytes += "Language" + QByteArray::number(n) + "=Lang" + QByteArray::number(n) + "\n";
    bytes += "Language" + QByteArray::number(languages) + "=English\n[Native]\nAB=x\n[English]\nAB=X\n";
    ASSERT_GT(bytes.size(), 1000000);
    writeFile(path, bytes);
    LangDesk d;
    d.setSForeignColumnName(kEn);
    ASSERT_TRUE(d.OpenLanguageDatabase(path, true, 1)) << d.sErrDescription().toStdString();
    EXPECT_EQ(d.GetTranslation(u"x"_qs), u"X"_qs);
}

// ---- SetupLanguage ----

class Setup : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(data.isValid());
        ASSERT_TRUE(resources.isValid());
        folders = {data.path(), resources.path()};
    }
    bool setup(QString& name, const QString& language)
    {
        return SetupLanguage(name, language, d, folders);
    }
    QTemporaryDir data, resources;
    QStringList folders;
    LangDesk d;
    ScriptedPrompter prompts;
};

TEST_F(Setup, WidthTestKeepsDatabase)
{
    makeTableDb(data.filePath(u"Language.db"_qs), {{u"Fecha"_qs, {{kEn, u"Date"_qs}}}});
    QString name = u"Language.db"_qs;
    ASSERT_TRUE(setup(name, kEn));
    QString width = u"  <testwidth> "_qs;
    EXPECT_TRUE(setup(width, kEn));
    EXPECT_TRUE(d.bTestStrWidth());
    EXPECT_TRUE(d.bDbOpen());
    EXPECT_EQ(d.GetS(16), u"FechaWWWW"_qs);
    QString again = u"Language.db"_qs;
    EXPECT_TRUE(setup(again, kEn)); // every start-up leaves the width test
    EXPECT_FALSE(d.bTestStrWidth());
    EXPECT_EQ(d.GetS(16), u"Date"_qs);
    EXPECT_TRUE(prompts.shown.isEmpty());
}

TEST_F(Setup, KindFromName)
{
    const QStringList natives = sortedNatives();
    struct Case {
        QString name;
        long type;
    };
    const Case cases[] = {{u"language.MDB"_qs, 0}, {u"Language.db"_qs, 0}, {u"lang.mdb.bak"_qs, 0},
                          {u"LANG.DB"_qs, 0}, {u"lang.txt"_qs, 1}, {u"lang.dbx"_qs, 1}};
    for (const Case& c : cases) {
        const QString path = data.filePath(c.name);
        if (c.type == 0)
            makeTableDb(path, {{u"Fecha"_qs, {{kEn, u"Date"_qs}}}});
        else
            writeFile(path, textDbBytes(natives, {{kEn, englishFor(natives)}}));
        QString name = c.name;
        EXPECT_TRUE(setup(name, kEn)) << c.name.toStdString();
        EXPECT_EQ(d.lDbType(), c.type) << c.name.toStdString();
        EXPECT_EQ(name, path);
        EXPECT_NE(d.GetTranslation(u"Fecha"_qs), u"Fecha"_qs);
    }
    EXPECT_TRUE(prompts.shown.isEmpty());
}

TEST_F(Setup, DataFolderFirstThenResources)
{
    makeTableDb(resources.filePath(u"Language.db"_qs), {{u"Fecha"_qs, {{kEn, u"from resources"_qs}}}});
    QString name = u"Language.db"_qs;
    ASSERT_TRUE(setup(name, kEn));
    EXPECT_EQ(name, resources.filePath(u"Language.db"_qs));
    EXPECT_EQ(d.GetTranslation(u"Fecha"_qs), u"from resources"_qs);

    makeTableDb(data.filePath(u"language.DB"_qs), {{u"Fecha"_qs, {{kEn, u"from data"_qs}}}});
    name = u"Language.db"_qs;
    ASSERT_TRUE(setup(name, kEn));
    EXPECT_EQ(name, data.filePath(u"language.DB"_qs)); // names match in any case
    EXPECT_EQ(d.GetTranslation(u"Fecha"_qs), u"from data"_qs);
}

TEST_F(Setup, FailureReportedAndSpanishKept)
{
    QString name = u"Language.db"_qs;
    EXPECT_FALSE(setup(name, kEn));
    EXPECT_EQ(name, u"Language.db"_qs);
    EXPECT_FALSE(d.bDbOpen());
    ASSERT_EQ(prompts.shown.size(), 1);
    EXPECT_TRUE(prompts.shown[0].text.startsWith(
        u"While opening Language Database (Language.db) the following error occurred:\r\r"_qs));
    EXPECT_EQ(prompts.shown[0].icon, Prompter::Icon::Exclamation);
    EXPECT_EQ(d.GetS(16), u"Fecha"_qs);

    // A broken file in the data folder is the reason given, not the absence from the resources.
    writeFile(data.filePath(u"Language.db"_qs), QByteArray("\x00\x01\x00\x00Standard Jet DB\x00", 20) + QByteArray(500, 'x'));
    EXPECT_FALSE(setup(name, kEn));
    ASSERT_EQ(prompts.shown.size(), 2);
    EXPECT_TRUE(prompts.shown[1].text.contains(u"Access"_qs)) << prompts.shown[1].text.toStdString();
}

TEST_F(Setup, EmptyNameOrLanguageCloses)
{
    makeTableDb(data.filePath(u"Language.db"_qs), {{u"Fecha"_qs, {{kEn, u"Date"_qs}}}});
    QString name = u"Language.db"_qs;
    ASSERT_TRUE(setup(name, kEn));
    QString same = name;
    EXPECT_TRUE(setup(same, u"  "_qs));
    EXPECT_FALSE(d.bDbOpen());
    QString empty;
    ASSERT_TRUE(setup(name, kEn));
    EXPECT_TRUE(setup(empty, kEn));
    EXPECT_FALSE(d.bDbOpen());
    EXPECT_TRUE(prompts.shown.isEmpty());
}

} // namespace
} // namespace nbx::test
