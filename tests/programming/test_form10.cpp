// The weekly session-hours editor driven through its controls, as a user types and clicks.
#include "programming/ui/Form10.h"

#include "common/chart/ui/ChartView.h"
#include "localisation/LangDesk.h"
#include "localisation/Strings.h"
#include "localisation/ui/StringExport.h"
#include "localisation/ui/TranslateForm.h"
#include "link/Link.h"
#include "programming/ProgrammingBlock.h"
#include "programming/SheetDefaults.h"
#include "programming/ui/Form2.h"
#include "programming/ui/TimeBox.h"
#include "support/ScriptedPrompter.h"
#include "support/TempDatabase.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace nbx::test {

namespace {

class FakeSheet : public WeekSheet {
public:
    WeekTexts texts;
    QString start = QStringLiteral("22:00"), end = QStringLiteral("08:00");
    int writes = 0;
    int modified = 0;
    WeekTexts weekTexts() const override { return texts; }
    void setWeekTexts(const WeekTexts& t) override
    {
        texts = t;
        ++writes;
    }
    QString nightStart() const override { return start; }
    QString nightEnd() const override { return end; }
    void setModified() override { ++modified; }
};

void settle()
{
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

// Clicks into a box and types its new text over the old one.
void typeInto(TimeBox* box, const QString& text)
{
    QTest::mouseClick(box, Qt::LeftButton);
    settle();
    box->selectAll();
    QTest::keyClicks(box, text);
}

// Clicks a button where a user would: a radio button on its indicator.
void click(QAbstractButton* b)
{
    if (qobject_cast<QRadioButton*>(b))
        QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(8, b->height() / 2));
    else
        QTest::mouseClick(b, Qt::LeftButton);
    settle();
}

bool onlyStepEnabled(const Form10& f, int step)
{
    for (int d = 0; d < 7; ++d)
        if (f.days[d].frame->isEnabled() != (d == step) || f.days[d].step->isEnabled() != (d == step))
            return false;
    return f.SSCommandAceptar->isEnabled() == (step == 7);
}

class Form10Test : public ::testing::Test {
protected:
    void SetUp() override
    {
        sheet.texts = {u"00:00"_qs, u"23:59"_qs,  // Monday: 24h
                       u"00:00"_qs, u"23:58"_qs,  // Tuesday: hours
                       u"--:--"_qs, u"12:00"_qs,  // Wednesday: closed, end rewritten
                       u"09:00"_qs, u"17:00"_qs,  u"09:00"_qs, u"17:00"_qs,
                       u"20:00"_qs, u"02:00"_qs,  // Saturday into Sunday
                       u"22:00"_qs, u"04:00"_qs}; // Sunday into Monday
    }
    void open()
    {
        form = std::make_unique<Form10>();
        form->load(sheet);
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }
    QStringList shown() const
    {
        QStringList out;
        for (const auto& s : prompter.shown)
            out << s.text;
        return out;
    }

    ScriptedPrompter prompter;
    FakeSheet sheet;
    std::unique_ptr<Form10> form;
};

} // namespace

TEST_F(Form10Test, OpensWithTheSheetsDaysOnMonday)
{
    open();
    const Form10& f = *form;
    EXPECT_TRUE(f.days[0].option24->isChecked());
    EXPECT_TRUE(f.days[1].optionHorario->isChecked());
    EXPECT_TRUE(f.days[2].optionTancat->isChecked());
    EXPECT_EQ(f.days[2].fi->text(), u"--:--"_qs);
    EXPECT_TRUE(onlyStepEnabled(f, 0));
    EXPECT_EQ(f.windowTitle(), u"NBX-70"_qs);
    // The chart is drawn from the rewritten texts: Sunday's overrun opens Monday 00:00-04:00.
    const ChartModel& chart = *f.Chart2D1->model();
    EXPECT_EQ(chart.value(1, 1, 5), 3.5);
    EXPECT_EQ(chart.value(1, 1, 49 + 10), -1.0);  // Wednesday closed
    EXPECT_EQ(chart.pointLabel(1, 23), u"22:00"_qs);
    EXPECT_EQ(sheet.modified, 0);
}

TEST_F(Form10Test, WalkingTheWeekChecksEachStepAndAceptarWritesBack)
{
    open();
    Form10& f = *form;
    click(f.days[0].step);
    EXPECT_TRUE(onlyStepEnabled(f, 1));

    // Tuesday: start equal to end gives "Hora incorrecta" there, with the focus on the start.
    typeInto(f.days[1].ini, u"10:00"_qs);
    typeInto(f.days[1].fi, u"10:00"_qs);
    click(f.days[1].step);
    EXPECT_EQ(shown(), QStringList{u"Hora incorrecta"_qs});
    EXPECT_TRUE(f.days[1].ini->hasFocus());
    typeInto(f.days[1].fi, u"02:00"_qs);
    click(f.days[1].step);
    EXPECT_TRUE(onlyStepEnabled(f, 2));

    // Wednesday was closed: entering a box selects Horario; the end still "--:--" fails the step
    // with the focus on the end; then the joint with Tuesday's overrun.
    typeInto(f.days[2].ini, u"01:00"_qs);
    EXPECT_TRUE(f.days[2].optionHorario->isChecked());
    click(f.days[2].step);
    EXPECT_EQ(shown().size(), 2);
    EXPECT_EQ(shown().last(), u"Hora incorrecta"_qs);
    EXPECT_TRUE(f.days[2].fi->hasFocus());
    typeInto(f.days[2].fi, u"05:00"_qs);
    click(f.days[2].step);
    EXPECT_EQ(shown().last(), u"Error con martes"_qs);
    EXPECT_TRUE(onlyStepEnabled(f, 2));
    typeInto(f.days[2].ini, u"02:01"_qs);
    click(f.days[2].step);
    for (int d = 3; d <= 5; ++d)
        click(f.days[d].step);

    // Sunday 22:00-04:00 meets Monday 00:00: refused by the Monday joint, only Sunday stays open.
    click(f.days[6].step);
    EXPECT_EQ(shown().last(), u"Error con lunes"_qs);
    EXPECT_EQ(f.Chart2D1->model()->value(1, 1, 50), -1.0);  // edits are not drawn yet
    EXPECT_TRUE(onlyStepEnabled(f, 6));
    typeInto(f.days[6].fi, u"23:00"_qs);
    click(f.days[6].step);
    EXPECT_TRUE(onlyStepEnabled(f, 7));
    EXPECT_EQ(f.Chart2D1->model()->value(1, 1, 50), 3.5);  // Sunday's step redraws: Tuesday's overrun

    // Retry starts again from Monday; the texts stay.
    click(f.SSCommandRetry);
    EXPECT_TRUE(onlyStepEnabled(f, 0));
    for (int d = 0; d < 7; ++d)
        click(f.days[d].step);
    EXPECT_EQ(shown().size(), 4);
    click(f.SSCommandAceptar);
    EXPECT_FALSE(f.isVisible());
    EXPECT_EQ(sheet.writes, 1);
    EXPECT_GE(sheet.modified, 1);
    const WeekTexts expected = {u"00:00"_qs, u"23:59"_qs, u"10:00"_qs, u"02:00"_qs, u"02:01"_qs, u"05:00"_qs,
                                u"09:00"_qs, u"17:00"_qs, u"09:00"_qs, u"17:00"_qs, u"20:00"_qs, u"02:00"_qs,
                                u"22:00"_qs, u"23:00"_qs};
    EXPECT_EQ(sheet.texts, expected);
}

TEST_F(Form10Test, FocusRulesNeverTrapTheUser)
{
    open();
    Form10& f = *form;
    // A bad time left with Tab: one message, the focus back on the box.
    typeInto(f.days[0].ini, u"25:00"_qs);
    QTest::keyClick(f.days[0].ini, Qt::Key_Tab);
    settle();
    EXPECT_EQ(shown(), QStringList{u"Hora incorrecta"_qs});
    EXPECT_TRUE(f.days[0].ini->hasFocus());
    // The day's own options stay reachable: Cerrado rewrites both boxes.
    click(f.days[0].optionTancat);
    EXPECT_EQ(f.days[0].ini->text(), u"--:--"_qs);
    EXPECT_EQ(shown().size(), 1);
    // A typed blank is dropped but marks the sheet modified.
    const int before = sheet.modified;
    typeInto(f.days[0].ini, u"0 8:15"_qs);
    EXPECT_EQ(f.days[0].ini->text(), u"08:15"_qs);
    EXPECT_GT(sheet.modified, before);
    // Cancelar with a bad box closes at once and writes nothing.
    typeInto(f.days[0].fi, u"99:99"_qs);
    click(f.SSCommandExit);
    EXPECT_FALSE(f.isVisible());
    EXPECT_EQ(shown().size(), 1);
    EXPECT_EQ(sheet.writes, 0);

    // Escape too.
    open();
    typeInto(form->days[0].ini, u"77:00"_qs);
    QTest::keyClick(form->days[0].ini, Qt::Key_Escape);
    settle();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(shown().size(), 1);
    EXPECT_EQ(sheet.writes, 0);
}

// From a click on the sheet's weekday box to the stored sheet and the block sent to the device.
TEST(Form10Road, SheetClickEditorSaveAndBlock)
{
    TempDatabase db;
    ScriptedPrompter prompter;
    programmingState() = ProgrammingState{};
    linkState().NumeroSerieEqp = 0;
    SheetValues s;
    ProgrammingState st;
    CreaProgramacio(s, st);  // every day 00:00-00:23
    s.numeroSerie = u"4711"_qs;
    s.version = u"2.1"_qs;
    SheetRepository repo;
    QString error;
    ASSERT_TRUE(repo.save(s, QDateTime::currentDateTime(), &error)) << error.toStdString();

    Form2 sheet;
    sheet.show();
    sheet.load();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&sheet));
    ASSERT_EQ(sheet.MaskNumeroSerie->text(), u"4711"_qs);
    ASSERT_FALSE(programmingState().fichaModificada);

    {
        // Not while a device operation reads the sheet.
        DeviceOperationGuard operation;
        QTest::mouseClick(sheet.weekdayFi[Jueves], Qt::LeftButton);
        settle();
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    }
    bool driven = false;
    QTest::mouseClick(sheet.weekdayFi[Jueves], Qt::LeftButton);
    QTimer::singleShot(0, [&] {
        auto* f = qobject_cast<Form10*>(QApplication::activeModalWidget());
        ASSERT_NE(f, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(f));
        click(f->days[0].option24);
        click(f->days[0].step);
        typeInto(f->days[1].ini, u"20:00"_qs);
        typeInto(f->days[1].fi, u"03:00"_qs);
        click(f->days[1].step);
        click(f->days[2].optionTancat);
        for (int d = 2; d < 7; ++d)
            click(f->days[d].step);
        click(f->SSCommandAceptar);
        driven = true;
    });
    settle();
    ASSERT_TRUE(driven);
    EXPECT_TRUE(prompter.shown.isEmpty());
    EXPECT_TRUE(programmingState().fichaModificada);
    EXPECT_EQ(sheet.weekdayIni[Lunes]->text(), u"00:00"_qs);
    EXPECT_EQ(sheet.weekdayFi[Lunes]->text(), u"23:59"_qs);
    EXPECT_EQ(sheet.weekdayIni[Martes]->text(), u"20:00"_qs);
    EXPECT_EQ(sheet.weekdayIni[Miercoles]->text(), u"--:--"_qs);

    ASSERT_TRUE(sheet.GrabaProgramacio());
    SheetValues stored;
    ASSERT_TRUE(repo.load(4711, stored, &error)) << error.toStdString();
    QByteArray block;
    ASSERT_TRUE(buildProgrammingBlock(stored, &block, &error, QLocale::c())) << error.toStdString();
    // Sunday first: Sunday, Monday 00:00-23:59, Tuesday 20:00-03:00, Wednesday closed, ...
    EXPECT_EQ(block.left(16), QByteArray::fromHex("00000017" "0000173B" "14000300" "2D2D2D2D"));
}

// Pictures for a person to look at: NBX70_SCREENSHOT_DIR names the folder.
TEST_F(Form10Test, Screenshots)
{
    const QString dir = qEnvironmentVariable("NBX70_SCREENSHOT_DIR");
    if (dir.isEmpty())
        GTEST_SKIP() << "NBX70_SCREENSHOT_DIR not set";
    TempHome home;
    sheet.texts = {u"10:00"_qs, u"23:00"_qs, u"10:00"_qs, u"23:00"_qs, u"--:--"_qs, u"--:--"_qs, u"10:00"_qs,
                   u"23:00"_qs, u"18:00"_qs, u"03:00"_qs, u"18:00"_qs, u"05:00"_qs, u"12:00"_qs, u"22:00"_qs};
    open();
    QTest::qWait(30);
    ASSERT_TRUE(form->grab().save(QDir(dir).filePath(u"form10_es.png"_qs)));
    form->close();

    QFile::copy(QStringLiteral(NBX70_SOURCE_RESOURCES "/Language.db"), home.file(u"Language.db"_qs));
    QString name = home.file(u"Language.db"_qs);
    ASSERT_TRUE(SetupLanguage(name, u"English"_qs, langDesk()));
    open();
    QTest::qWait(30);
    ASSERT_TRUE(form->grab().save(QDir(dir).filePath(u"form10_en.png"_qs)));
    QString none;
    SetupLanguage(none, QString(), langDesk());
}

} // namespace nbx::test

namespace nbx::test {

// The string export reaches the editor's texts and the chart's series labels; each has a row with
// its translations in the shipped table.
TEST(Form10Strings, ExportedAndTranslated)
{
    ScriptedPrompter prompter;
    QTemporaryDir dir;
    const QString path = dir.filePath(u"Language.db"_qs);
    QString error;
    ASSERT_TRUE(LangDesk::CreateLanguageDatabase(path, &error)) << error.toStdString();
    LangDesk engine;
    engine.setSForeignColumnName(u"English"_qs);
    ASSERT_TRUE(ExportAllStrings(engine, path, {{10, u"Form10"_qs, [] { return std::make_unique<Form10>(); }}}));

    QSet<QString> tsv;
    QFile f(QStringLiteral(NBX70_SOURCE_RESOURCES "/language/strings.tsv"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.count('\t') == 6)
            tsv.insert(QString::fromUtf8(line.left(line.indexOf('\t'))));

    QStringList used;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_qs, u"form10_export"_qs);
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec(u"SELECT Native FROM LangDesk WHERE bIsUsed <> 0"_qs));
        while (q.next())
            used << q.value(0).toString();
    }
    QSqlDatabase::removeDatabase(u"form10_export"_qs);
    for (const QString& t : {u"Abierto"_qs, u"D\u00eda"_qs, u"Noche"_qs, u"Cerrado"_qs, u"24h"_qs, u"Horario"_qs,
                             u"Miercoles"_qs, u"S\u00e1bado"_qs, u"HORARIOS DE SESION"_qs, u"Cancelar"_qs})
        EXPECT_TRUE(used.contains(t)) << t.toStdString();
    // Every text of the window (the built-in ones have rows of their own).
    Form10 form;
    for (QObject* o : designedControls(&form)) {
        QStringList texts;
        if (auto* tt = dynamic_cast<TranslatableTexts*>(o))
            texts = tt->texts();
        else
            texts << GetPropertyValue(o, u"Caption"_qs);
        for (const QString& t : texts) {
            if (!t.trimmed().isEmpty()) {
                EXPECT_TRUE(tsv.contains(t)) << t.toStdString();
            }
        }
    }
}

// The names a screen reader announces follow the language like the visible texts.
TEST(Form10Strings, AccessibleNamesFollowTheLanguage)
{
    LangDesk german;
    german.setSForeignColumnName(languageColumnForCode(4000));
    ASSERT_TRUE(german.OpenLanguageDatabase(QStringLiteral(NBX70_SOURCE_RESOURCES "/Language.db"), true,
                                            LangDesk::AccessLanguageDatabase))
        << german.sErrDescription().toStdString();
    Form10 f;
    TranslateForm(&f, german);
    EXPECT_EQ(f.days[0].ini->accessibleName(), u"Montag Beginn"_qs);
    EXPECT_EQ(f.days[5].fi->accessibleName(), u"Samstag Ende"_qs);
    EXPECT_EQ(f.days[2].step->accessibleName(), u"Mittwoch"_qs);
    EXPECT_EQ(f.SSCommandRetry->accessibleName(), u"Wiederholen"_qs);
}

} // namespace nbx::test
