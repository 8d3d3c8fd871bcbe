// Window translation: captions, tool tips, tabs, wrapper texts, tags, key retention.
#include "LangFixtures.h"
#include "TestWindow.h"

#include "localisation/LangDesk.h"
#include "localisation/ui/TranslateForm.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace nbx::test {
namespace {

const QString kEn = u"English"_qs;

QStringList designedTexts()
{
    return {u"Idioma"_qs, u"Hora"_qs, u"Lunes"_qs, u"Fecha:"_qs, u"Aceptar"_qs, u"Martes"_qs,
            u"Contacto:"_qs, u"Local:"_qs, u"Jueves"_qs, u"Viernes"_qs, u"INCIDENCIAS"_qs, u"Fecha"_qs,
            u"Conexi\u00f3n\rRS-232"_qs, u"Sesi\u00f3n"_qs, u"Abierto"_qs, u"D\u00eda"_qs, u"Noche"_qs,
            u"Enero"_qs, u"Febrero"_qs, u"Marzo"_qs};
}

class TranslateFormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(u"Language.db"_qs);
        QList<LangRow> rows;
        for (const QString& t : designedTexts())
            rows.append({t, {{kEn, u"EN "_qs + t}}});
        rows.append({u"EN Hora"_qs, {{kEn, u"translated twice"_qs}}});
        makeTableDb(path, rows);
        d.setSForeignColumnName(kEn);
    }
    void openReadOnly() { ASSERT_TRUE(d.OpenLanguageDatabase(path, true, 0)) << d.sErrDescription().toStdString(); }

    QTemporaryDir dir;
    QString path;
    LangDesk d;
};

TEST_F(TranslateFormTest, TranslatesCaptionsToolTipsTabsAndWrappers)
{
    openReadOnly();
    TestWindow w;
    TranslateForm(&w, d);
    EXPECT_EQ(w.windowTitle(), u"EN Idioma"_qs);
    EXPECT_EQ(w.menu->title(), u"EN Hora"_qs);
    EXPECT_EQ(w.action->text(), u"EN Lunes"_qs);
    EXPECT_EQ(w.label->text(), u"EN Fecha:"_qs);
    EXPECT_EQ(w.button->text(), u"EN Aceptar"_qs);
    EXPECT_EQ(w.button->toolTip(), u"EN Hora"_qs);
    EXPECT_EQ(w.check->text(), u"EN Martes"_qs);
    EXPECT_EQ(w.group->title(), u"EN Contacto:"_qs);
    EXPECT_EQ(w.groupLabel->text(), u"EN Local:"_qs);
    EXPECT_EQ(w.tabLabel->text(), u"EN Hora"_qs); // inside a tab page
    // Tag "!" or "!x" keeps the texts; "a!" does not.
    EXPECT_EQ(w.tagged->text(), u"Jueves"_qs);
    EXPECT_EQ(w.tagged->toolTip(), u"Viernes"_qs);
    EXPECT_EQ(w.taggedX->text(), u"Jueves"_qs);
    EXPECT_EQ(w.taggedLate->text(), u"EN Jueves"_qs);
    EXPECT_EQ(w.unnamed->text(), u"Viernes"_qs);
    // Tabs, grid and chart whatever their tag.
    EXPECT_EQ(w.tabs->tabText(0), u"EN Lunes"_qs);
    EXPECT_EQ(w.tabs->tabText(1), u"EN Martes"_qs);
    EXPECT_EQ(w.grid->caption, u"EN INCIDENCIAS"_qs);
    EXPECT_EQ(w.grid->columns, (QStringList{u"EN Fecha"_qs, u"EN Conexi\u00f3n\rRS-232"_qs}));
    EXPECT_EQ(w.grid->splits, QStringList{u"EN Sesi\u00f3n"_qs});
    EXPECT_EQ(w.chart->labels, (QStringList{u"EN Abierto"_qs, u"EN D\u00eda"_qs, u"EN Noche"_qs}));
    // Items and the Text property are not in the default list.
    EXPECT_EQ(w.combo->itemText(0), u"Enero"_qs);
    EXPECT_EQ(w.edit->text(), u"Marzo"_qs);
}

TEST_F(TranslateFormTest, HiddenGridHeadersKeepColumnCaptions)
{
    openReadOnly();
    TestWindow w;
    w.grid->headersShown = false;
    TranslateForm(&w, d);
    EXPECT_EQ(w.grid->caption, u"EN INCIDENCIAS"_qs);
    EXPECT_EQ(w.grid->columns, (QStringList{u"Fecha"_qs, u"Conexi\u00f3n\rRS-232"_qs}));
    EXPECT_EQ(w.grid->splits, QStringList{u"EN Sesi\u00f3n"_qs});
}

TEST_F(TranslateFormTest, NothingChangesWithoutReadOnlyDatabase)
{
    for (bool forWriting : {false, true}) {
        if (forWriting) {
            ASSERT_TRUE(d.OpenLanguageDatabase(path, false, 0));
        }
        TestWindow w;
        TranslateForm(&w, d);
        EXPECT_EQ(w.windowTitle(), u"Idioma"_qs);
        EXPECT_EQ(w.button->text(), u"Aceptar"_qs);
        EXPECT_EQ(w.tabs->tabText(0), u"Lunes"_qs);
        EXPECT_EQ(w.grid->caption, u"INCIDENCIAS"_qs);
    }
}

TEST_F(TranslateFormTest, WidthTestPadsEveryText)
{
    d.setBTestStrWidth(true);
    TestWindow w;
    TranslateForm(&w, d);
    EXPECT_EQ(w.label->text(), u"Fecha:WWWWW"_qs);
    EXPECT_EQ(w.tabs->tabText(0), u"LunesWWWW"_qs);
    EXPECT_EQ(w.chart->labels.at(1), u"D\u00edaWWW"_qs);
    EXPECT_EQ(w.tagged->text(), u"Jueves"_qs);
}

TEST_F(TranslateFormTest, TwiceIsOnceAndKeysAreKept)
{
    openReadOnly();
    TestWindow w;
    TranslateForm(&w, d);
    TranslateForm(&w, d);
    EXPECT_EQ(w.menu->title(), u"EN Hora"_qs); // not "translated twice"
    EXPECT_EQ(w.button->toolTip(), u"EN Hora"_qs);
    EXPECT_EQ(w.tabs->tabText(0), u"EN Lunes"_qs);
    EXPECT_EQ(w.grid->caption, u"EN INCIDENCIAS"_qs);
    EXPECT_EQ(GetPropertyValue(w.menu, u"caption"_qs), u"Hora"_qs);
    // Text changed by code since: the current text is the key.
    w.label->setText(u"Hora"_qs);
    TranslateForm(&w, d);
    EXPECT_EQ(w.label->text(), u"EN Hora"_qs);
}

TEST_F(TranslateFormTest, LineBreaksShownKeysKept)
{
    openReadOnly();
    TestWindow w;
    setDesignedText(w.label, u"Caption"_qs, u"Conexi\u00f3n\rRS-232"_qs);
    EXPECT_EQ(w.label->text(), u"Conexi\u00f3n\nRS-232"_qs);
    EXPECT_EQ(GetPropertyValue(w.label, u"Caption"_qs), u"Conexi\u00f3n\rRS-232"_qs);
    TranslateForm(&w, d);
    EXPECT_EQ(w.label->text(), u"EN Conexi\u00f3n\nRS-232"_qs);
    EXPECT_EQ(GetPropertyValue(w.label, u"Caption"_qs), u"Conexi\u00f3n\rRS-232"_qs);
    EXPECT_EQ(w.label->textFormat(), Qt::PlainText);
}

TEST_F(TranslateFormTest, EmptyTranslationEmptiesCaption)
{
    execOnFile(path, {u"UPDATE LangDesk SET English = '' WHERE Native = 'Aceptar'"_qs});
    openReadOnly();
    TestWindow w;
    TranslateForm(&w, d);
    EXPECT_EQ(w.button->text(), QString());
    EXPECT_EQ(GetPropertyValue(w.button, u"Caption"_qs), u"Aceptar"_qs);
}

TEST(PropertyAdapter, KnownNamesOnly)
{
    TestWindow w;
    EXPECT_EQ(GetPropertyValue(&w, u"CAPTION"_qs), u"Idioma"_qs);
    EXPECT_EQ(GetPropertyValue(&w, u"ToolTipText"_qs), QString()); // a window has no tool tip
    EXPECT_EQ(GetPropertyValue(w.edit, u"Text"_qs), u"Marzo"_qs);
    EXPECT_EQ(GetPropertyValue(w.edit, u"Caption"_qs), QString());
    EXPECT_FALSE(GetPropertyValue(w.label, u"Font.Name"_qs).isEmpty());
    EXPECT_EQ(GetPropertyValue(w.label, u"BackColor"_qs), QString());
    EXPECT_FALSE(SetPropertyValue(w.label, u"BackColor"_qs, u"x"_qs, u"x"_qs));
    EXPECT_FALSE(SetPropertyValue(w.edit, u"Caption"_qs, u"x"_qs, u"x"_qs));
    EXPECT_EQ(GetPropertyValue(w.action, u"ToolTipText"_qs), QString());
}

TEST(PropertyAdapter, InternalsAreNotVisited)
{
    TestWindow w;
    QStringList names;
    for (QObject* o : designedControls(&w))
        names << o->objectName();
    const QStringList expected = {u"menuBar"_qs, u"menuHora"_qs, u"actionLunes"_qs, u"separator1"_qs,
                                  u"Label1"_qs, u"SSCommandAceptar"_qs, u"Check1"_qs, u"Frame1"_qs,
                                  u"Label2"_qs, u"LabelTagged"_qs, u"ButtonTaggedX"_qs,
                                  u"ButtonTaggedLate"_qs, u"SSTab1"_qs, u"TabPage1"_qs, u"LabelInTab"_qs,
                                  u"TDBGrid1"_qs, u"Chart1"_qs, u"DateEdit1"_qs, u"Combo1"_qs, u"Text1"_qs};
    QStringList sortedNames = names, sortedExpected = expected;
    sortedNames.sort();
    sortedExpected.sort();
    EXPECT_EQ(sortedNames, sortedExpected);
    EXPECT_LT(names.indexOf(u"Frame1"_qs), names.indexOf(u"Label2"_qs)); // depth first
}

} // namespace
} // namespace nbx::test
