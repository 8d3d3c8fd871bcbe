// The localisation engine: properties, tokens, GetS filling, escapes, width test, unknown ids.
#include "LangFixtures.h"

#include "localisation/LangDesk.h"
#include "localisation/Strings.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace nbx::test {
namespace {

TEST(LangDesk, Defaults)
{
    LangDesk d;
    EXPECT_EQ(d.sForeignColumnName(), u"Foreign"_qs);
    EXPECT_TRUE(d.bEnabled());
    EXPECT_FALSE(d.bTestStrWidth());
    EXPECT_EQ(d.sStrWidthFactors(), u"4:100,10:80,20:60,30:40,50:20,9999:10"_qs);
    EXPECT_EQ(d.sPadChar(), u"W"_qs);
    EXPECT_FALSE(d.bDbOpen());
    EXPECT_FALSE(d.bDbReadOnly());
    EXPECT_TRUE(d.bConvertEscapes());
    EXPECT_EQ(d.lMaxNativeLen(), 255);
    EXPECT_EQ(d.sTagExclude(), u"!"_qs);
    EXPECT_EQ(d.lTagExcludeLen(), 1);
    EXPECT_EQ(d.colProperties(), (QStringList{u"Caption"_qs, u"ToolTipText"_qs}));
    EXPECT_EQ(d.sUnknownStrID(), u"GetS: Unknown String ID "_qs);
    EXPECT_EQ(d.lDbType(), 0);
    EXPECT_TRUE(d.sLanguageDB().isEmpty());
}

TEST(LangDesk, Setters)
{
    LangDesk d;
    d.setSPadChar(QString());
    EXPECT_EQ(d.sPadChar(), u"W"_qs);
    d.setSPadChar(u"abc"_qs);
    EXPECT_EQ(d.sPadChar(), u"a"_qs);
    d.setSProperties(u" Caption , ToolTipText "_qs);
    EXPECT_EQ(d.colProperties(), (QStringList{u"Caption"_qs, u"ToolTipText"_qs}));
    d.setSProperties(u"Caption,,ToolTipText"_qs);
    EXPECT_EQ(d.colProperties(), QStringList{u"Caption"_qs});
    d.setSProperties(u"Text,Text"_qs);
    EXPECT_EQ(d.colProperties(), (QStringList{u"Text"_qs, u"Text"_qs}));
    d.setSTagExclude(u"##"_qs);
    EXPECT_EQ(d.lTagExcludeLen(), 2);
    d.setSTagExclude(QString());
    EXPECT_EQ(d.lTagExcludeLen(), 0);
}

TEST(LangDesk, GetToken)
{
    struct Case {
        QString source, separator, token, rest;
    };
    const Case cases[] = {
        {u"\"a,b\",c,d"_qs, u","_qs, u"a,b"_qs, u"c,d"_qs},
        {u"   abc,def"_qs, u","_qs, u"abc"_qs, u"def"_qs},
        {u"'abc'def,x"_qs, u","_qs, u"abc"_qs, u"def,x"_qs},
        {u"no separator"_qs, u","_qs, u"no separator"_qs, QString()},
        {u"abc  ,x"_qs, u","_qs, u"abc  "_qs, u"x"_qs},
        {u"\"open, never closed"_qs, u","_qs, u"open, never closed"_qs, QString()},
        {u"a,,b"_qs, u","_qs, u"a"_qs, u",b"_qs},
        {u",b"_qs, u","_qs, QString(), u"b"_qs},
        {u"a::b"_qs, u"::"_qs, u"a::b"_qs, QString()}, // a two-character separator never matches
        {u"\tx,y"_qs, u","_qs, u"\tx"_qs, u"y"_qs},    // only spaces are skipped
        {u"4:100"_qs, u":"_qs, u"4"_qs, u"100"_qs},
    };
    LangDesk d;
    for (const Case& c : cases) {
        QString src = c.source;
        EXPECT_EQ(d.GetToken(src, c.separator), c.token) << c.source.toStdString();
        EXPECT_EQ(src, c.rest) << c.source.toStdString();
    }
}

TEST(LangDesk, ConvertCrLf)
{
    const QString in = u"a{\\r}{\\n}b{\\r}c{\\n}"_qs;
    EXPECT_EQ(LangDesk::ConvertCrLf(in), u"a\r\nb\rc\n"_qs);
    EXPECT_EQ(in, u"a{\\r}{\\n}b{\\r}c{\\n}"_qs);
    EXPECT_EQ(LangDesk::ConvertCrLf(u"{\\R}{r}"_qs), u"{\\R}{r}"_qs);
}

TEST(LangDesk, WidthTest)
{
    LangDesk d;
    d.setBTestStrWidth(true);
    struct Case {
        int length, pad;
    };
    const Case cases[] = {{0, 0}, {1, 1}, {4, 4}, {5, 4}, {10, 8}, {11, 7}, {20, 12},
                          {30, 12}, {50, 10}, {55, 6}, {9999, 1000}, {10000, 0}};
    for (const Case& c : cases) {
        const QString text(c.length, QLatin1Char('x'));
        const QString padded = d.GetTranslation(text);
        EXPECT_EQ(padded.size() - c.length, c.pad) << c.length;
        EXPECT_TRUE(padded.startsWith(text));
        EXPECT_EQ(padded.mid(c.length), QString(c.pad, QLatin1Char('W')));
    }
    EXPECT_EQ(d.GetS(16), u"FechaWWWW"_qs);
    EXPECT_EQ(d.GetS(110), u"GetS: Unknown String ID 110"_qs + QString(11, QLatin1Char('W')));

    d.setSPadChar(u"#"_qs);
    d.setSStrWidthFactors(u"3:50,,x"_qs);
    EXPECT_EQ(d.GetTranslation(u"abc"_qs), u"abc#"_qs); // 3 * 1.5 = 4.5 -> 4 (half to even)
    EXPECT_EQ(d.GetTranslation(u"abcd"_qs), u"abcd"_qs);
}

TEST(LangDesk, UnknownIdsWithoutDatabase)
{
    LangDesk d;
    for (long id : {0L, 110L, 193L, -5L})
        EXPECT_EQ(d.GetS(id), u"GetS: Unknown String ID "_qs + QString::number(id));
    EXPECT_EQ(d.GetS(37), u"Error\rimpresora"_qs);
    d.setSUnknownStrID(u"?"_qs);
    EXPECT_EQ(d.GetS(110), u"?110"_qs);
}

// Placeholders and escapes need translations that hold them: a small table-kind database.
class LangDeskWithDb : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(u"Language.db"_qs);
        const QString en = u"English"_qs;
        makeTableDb(path, {
            {u"Fecha"_qs, {{en, u"Date %s"_qs}}},
            {u"Hora"_qs, {{en, u"%s at %s"_qs}}},
            {u"Fecha:"_qs, {{en, u"a{\\r}{\\n}b {\\n}{\\n}"_qs}}},
            {u"Lunes"_qs, {{en, u"%S and %s"_qs}}},
            {u"GetS: Unknown String ID 110"_qs, {{en, u"no text"_qs}}},
        });
        d.setSForeignColumnName(en);
        ASSERT_TRUE(d.OpenLanguageDatabase(path, true, LangDesk::AccessLanguageDatabase))
            << d.sErrDescription().toStdString();
    }
    QTemporaryDir dir;
    QString path;
    LangDesk d;
};

TEST_F(LangDeskWithDb, PlaceholderFilling)
{
    EXPECT_EQ(d.GetS(16, {u"1"_qs, u"2"_qs}), u"Date 1"_qs);            // surplus argument dropped
    EXPECT_EQ(d.GetS(17, {u"x"_qs}), u"x at %s"_qs);                    // second "%s" kept
    EXPECT_EQ(d.GetS(17, {u"%s!"_qs, u"y"_qs}), u"y! at %s"_qs);        // search restarts at 0
    EXPECT_EQ(d.GetS(70, {u"z"_qs}), u"%S and z"_qs);                   // case-sensitive
    EXPECT_EQ(d.GetS(16), u"Date %s"_qs);
}

TEST_F(LangDeskWithDb, EscapesExpandedOnlyWhenAsked)
{
    EXPECT_EQ(d.GetS(4), u"a\r\nb \n\n"_qs);
    d.setBConvertEscapes(false);
    EXPECT_EQ(d.GetS(4), u"a{\\r}{\\n}b {\\n}{\\n}"_qs);
}

TEST_F(LangDeskWithDb, UnknownIdTextIsLookedUpToo)
{
    EXPECT_EQ(d.GetS(110), u"no text"_qs);
    EXPECT_EQ(d.GetS(193), u"GetS: Unknown String ID 193"_qs);
}

TEST_F(LangDeskWithDb, DisabledOrWidthTestSkipsLookup)
{
    d.setBEnabled(false);
    EXPECT_EQ(d.GetS(16), u"Fecha"_qs);
    d.setBEnabled(true);
    d.setBTestStrWidth(true);
    EXPECT_EQ(d.GetS(16), u"FechaWWWW"_qs);
}

TEST(LangDesk, GlobalEngineServesGetS)
{
    EXPECT_EQ(&langDesk(), &langDesk());
    EXPECT_EQ(GetS(2), u"N. Serie:"_qs);
    shutdownLangDesk();
    EXPECT_FALSE(langDesk().bDbOpen());
}

TEST(LangDesk, LanguageColumnsForCodes)
{
    EXPECT_EQ(languageColumnForCode(1000), u"Espa\u00f1ol"_qs);
    EXPECT_EQ(languageColumnForCode(2000), u"Catal\u00e0"_qs);
    EXPECT_EQ(languageColumnForCode(5000), u"Fran\u00e7ais"_qs);
    EXPECT_EQ(languageColumnForCode(7000), u"Portugu\u00eas"_qs);
    EXPECT_EQ(languageColumnForCode(0), u"English"_qs);
    EXPECT_EQ(LangDesk::languageColumns(), allLanguages());
}

} // namespace
} // namespace nbx::test
