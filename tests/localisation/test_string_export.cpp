// String export: built-in and window texts into the language database, idempotence, filtering,
// failures rolled back.
#include "LangFixtures.h"
#include "TestWindow.h"

#include "localisation/LangDesk.h"
#include "localisation/ui/StringExport.h"
#include "localisation/ui/TranslateForm.h"
#include "support/ScriptedPrompter.h"
#include "support/TempDatabase.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace nbx::test {
namespace {

const QString kEn = u"English"_qs;

// All rows of the file's LangDesk table, in rowid order, as "Native|bIsUsed|bSkip|English".
QStringList tableRows(const QString& path)
{
    static int counter = 0;
    const QString name = QStringLiteral("exportcheck_%1").arg(++counter);
    QStringList out;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        EXPECT_TRUE(db.open());
        QSqlQuery q(db);
        EXPECT_TRUE(q.exec(QStringLiteral("SELECT Native, bIsUsed, bSkip, English FROM LangDesk ORDER BY rowid")));
        while (q.next())
            out << QStringList{q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                               q.value(3).isNull() ? u"NULL"_qs : q.value(3).toString()}
                       .join(QLatin1Char('|'));
        q = QSqlQuery();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return out;
}

int countNative(const QStringList& rows, const QString& native)
{
    return int(std::count_if(rows.begin(), rows.end(),
                             [&](const QString& r) { return r.section(QLatin1Char('|'), 0, 0) == native; }));
}

QString rowOf(const QStringList& rows, const QString& native)
{
    for (const QString& r : rows)
        if (r.section(QLatin1Char('|'), 0, 0) == native)
            return r;
    return {};
}

// A window with texts found nowhere else, to check the filtering.
std::unique_ptr<QWidget> ownWindow()
{
    auto w = std::make_unique<QWidget>();
    w->setObjectName(u"OwnWindow"_qs); // no title: nothing to export for the window itself
    auto add = [&](QObject* o, const QString& name, const char* tag = nullptr) {
        o->setObjectName(name);
        if (tag)
            o->setProperty("tag", QString::fromLatin1(tag));
    };
    add(new QLabel(u"Ventana propia"_qs, w.get()), u"L1"_qs);
    add(new QLabel(u"Solo en ventana"_qs, w.get()), u"L2"_qs, "!");
    add(new QPushButton(QString(), w.get()), u"B1"_qs);
    add(new QAction(u"-"_qs, w.get()), u"MenuSep"_qs);
    add(new QLabel(u"Leq1'max"_qs, w.get()), u"L3"_qs);
    auto* tabs = new QTabWidget(w.get());
    add(tabs, u"Tabs"_qs, "!");
    tabs->addTab(new QWidget, u"Pesta\u00f1a exclusiva"_qs);
    return w;
}

QList<ExportableWindow> testWindows()
{
    return {{1, u"TestWindow"_qs, [] { return std::unique_ptr<QWidget>(new TestWindow); }},
            {2, u"OwnWindow"_qs, ownWindow}};
}

class StringExportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(u"Language.db"_qs);
        d.setSForeignColumnName(kEn);
    }
    QTemporaryDir dir;
    QString path;
    LangDesk d;
    ScriptedPrompter prompts;
};

TEST_F(StringExportTest, EmptyTableReceivesEveryText)
{
    QString error;
    ASSERT_TRUE(LangDesk::CreateLanguageDatabase(path, &error)) << error.toStdString();
    ASSERT_TRUE(ExportAllStrings(d, path, testWindows()));
    const QStringList rows = tableRows(path);
    // 187 built-in texts, "Aceptar", "INCIDENCIAS", "Abierto", "Ventana propia", "Pestaña exclusiva".
    EXPECT_EQ(rows.size(), 192);
    for (const QString& r : rows) {
        EXPECT_EQ(r.section(QLatin1Char('|'), 1, 2), u"1|0"_qs) << r.toStdString();
        EXPECT_FALSE(r.startsWith(u"GetS: Unknown String ID"_qs));
    }
    for (const QString& t : {u"Aceptar"_qs, u"INCIDENCIAS"_qs, u"Abierto"_qs, u"Ventana propia"_qs,
                             u"Pesta\u00f1a exclusiva"_qs, u"Leq1'max"_qs, u"Conexi\u00f3n\rRS-232"_qs,
                             u"Error\rimpresora"_qs, u"Tiempo atenuaci\u00f3n"_qs})
        EXPECT_EQ(countNative(rows, t), 1) << t.toStdString();
    for (const QString& t : {u"Solo en ventana"_qs, u"-"_qs, QString(), u"Leq1''max"_qs})
        EXPECT_EQ(countNative(rows, t), 0) << t.toStdString();
    EXPECT_TRUE(prompts.shown.isEmpty());
    EXPECT_TRUE(d.bConvertEscapes());
    EXPECT_FALSE(d.bDbOpen()); // nothing was open before
}

TEST_F(StringExportTest, SecondRunChangesNothingAndKeepsTranslations)
{
    makeTableDb(path, {
        {u"Fecha"_qs, {{kEn, u"Date"_qs}}, 1, 0},        // skipped, unused: becomes used, rest kept
        {u"IDIOMA"_qs, {{kEn, u"LANGUAGE"_qs}}, 0, 1},   // only another case of a used text
        {u"Texto antiguo"_qs, {{kEn, u"Old"_qs}}, 0, 1}, // no longer used
    });
    ASSERT_TRUE(ExportAllStrings(d, path, testWindows()));
    const QStringList first = tableRows(path);
    EXPECT_EQ(first.size(), 3 + 192 - 1);
    EXPECT_EQ(rowOf(first, u"Fecha"_qs), u"Fecha|1|1|Date"_qs);
    EXPECT_EQ(rowOf(first, u"IDIOMA"_qs), u"IDIOMA|0|0|LANGUAGE"_qs);
    EXPECT_EQ(rowOf(first, u"Idioma"_qs), u"Idioma|1|0|NULL"_qs);
    EXPECT_EQ(rowOf(first, u"Texto antiguo"_qs), u"Texto antiguo|0|0|Old"_qs);

    ASSERT_TRUE(ExportAllStrings(d, path, testWindows()));
    EXPECT_EQ(tableRows(path), first);
}

TEST_F(StringExportTest, TranslatedWindowExportsSpanishKeysAndPreviousDatabaseComesBack)
{
    QString error;
    ASSERT_TRUE(LangDesk::CreateLanguageDatabase(path, &error));
    const QString english = dir.filePath(u"english.db"_qs);
    makeTableDb(english, {{u"Aceptar"_qs, {{kEn, u"OK"_qs}}}, {u"Abierto"_qs, {{kEn, u"Open"_qs}}}});
    ASSERT_TRUE(d.OpenLanguageDatabase(english, true, 0));
    // The window is translated by a second engine, as the main window is while on screen.
    LangDesk shown;
    shown.setSForeignColumnName(kEn);
    ASSERT_TRUE(shown.OpenLanguageDatabase(english, true, 0));
    QList<ExportableWindow> windows = {{1, u"Shown"_qs, {}}};
    windows[0].factory = [&shown] {
        auto w = std::make_unique<TestWindow>();
        TranslateForm(w.get(), shown);
        EXPECT_EQ(w->button->text(), u"OK"_qs);
        return std::unique_ptr<QWidget>(std::move(w));
    };
    ASSERT_TRUE(ExportAllStrings(d, path, windows));
    const QStringList rows = tableRows(path);
    EXPECT_EQ(countNative(rows, u"Aceptar"_qs), 1);
    EXPECT_EQ(countNative(rows, u"OK"_qs), 0);
    EXPECT_EQ(countNative(rows, u"Open"_qs), 0);
    // The translation database is open again, read-only.
    EXPECT_EQ(d.sLanguageDB(), english);
    EXPECT_TRUE(d.bDbReadOnly());
    EXPECT_EQ(d.GetTranslation(u"Aceptar"_qs), u"OK"_qs);
}

TEST_F(StringExportTest, TooLongTextReportedAndSkipped)
{
    const QString longText(256, QLatin1Char('x'));
    d.ExportOneString(longText); // reported even with no database open
    ASSERT_EQ(prompts.shown.size(), 1);
    EXPECT_EQ(prompts.shown[0].text,
              u"The following string of 256 characters is longer than the maximum of 255 characters "
              "that can be stored in the language database:\r\r"_qs + longText);
    EXPECT_EQ(prompts.shown[0].icon, Prompter::Icon::None);

    QString error;
    ASSERT_TRUE(LangDesk::CreateLanguageDatabase(path, &error));
    QList<ExportableWindow> windows = {{1, u"Long"_qs, [longText] {
                                            auto w = std::make_unique<QWidget>();
                                            auto* l = new QLabel(longText, w.get());
                                            l->setObjectName(u"Long"_qs);
                                            auto* ok = new QLabel(u"Despu\u00e9s"_qs, w.get());
                                            ok->setObjectName(u"After"_qs);
                                            return w;
                                        }}};
    ASSERT_TRUE(ExportAllStrings(d, path, windows));
    EXPECT_EQ(prompts.shown.size(), 2);
    const QStringList rows = tableRows(path);
    EXPECT_EQ(countNative(rows, longText), 0);
    EXPECT_EQ(countNative(rows, u"Despu\u00e9s"_qs), 1);
}

TEST_F(StringExportTest, TextDatabaseRefused)
{
    const QString txt = dir.filePath(u"lang.txt"_qs);
    writeFile(txt, textDbBytes({u"AB"_qs}, {{kEn, {u"ab"_qs}}}));
    ASSERT_TRUE(d.OpenLanguageDatabase(txt, true, LangDesk::TextLanguageDatabase));
    try {
        d.ExportOneString(u"Fecha"_qs);
        FAIL() << "no error";
    } catch (const LangDeskError& e) {
        EXPECT_EQ(e.description(), u"Text can only be exported to an Access Language Database"_qs);
    }
    EXPECT_EQ(d.sErrDescription(), u"Text can only be exported to an Access Language Database"_qs);
}

TEST_F(StringExportTest, FailureHalfWayRollsBack)
{
    makeTableDb(path, {{u"Texto antiguo"_qs, {{kEn, u"Old"_qs}}, 0, 1}, {u"Fecha"_qs, {}, 0, 0}});
    execOnFile(path, {u"CREATE TRIGGER refuse BEFORE INSERT ON LangDesk WHEN NEW.Native = 'Abierto' "
                      "BEGIN SELECT RAISE(ABORT, 'injected failure'); END"_qs});
    const QStringList before = tableRows(path);
    const QString english = dir.filePath(u"english.db"_qs);
    makeTableDb(english, {{u"Fecha"_qs, {{kEn, u"Date"_qs}}}});
    ASSERT_TRUE(d.OpenLanguageDatabase(english, true, 0));

    EXPECT_FALSE(ExportAllStrings(d, path, testWindows()));
    EXPECT_EQ(tableRows(path), before);
    ASSERT_EQ(prompts.shown.size(), 1);
    EXPECT_TRUE(prompts.shown[0].text.contains(u"injected failure"_qs)) << prompts.shown[0].text.toStdString();
    EXPECT_EQ(prompts.shown[0].icon, Prompter::Icon::Exclamation);
    EXPECT_TRUE(d.bConvertEscapes());
    EXPECT_EQ(d.GetS(16), u"Date"_qs);
}

TEST_F(StringExportTest, UnopenableTargetReported)
{
    writeFile(path, QByteArray("not a database").repeated(100));
    EXPECT_FALSE(ExportAllStrings(d, path, testWindows()));
    ASSERT_EQ(prompts.shown.size(), 1);
    EXPECT_FALSE(prompts.shown[0].text.isEmpty());
}

TEST(StringExportRegistry, OrderAndDefaultTarget)
{
    clearExportableWindows();
    registerExportableWindow(2, u"OwnWindow"_qs, ownWindow);
    registerExportableWindow(1, u"TestWindow"_qs, [] { return std::unique_ptr<QWidget>(new TestWindow); });
    registerExportableWindow(2, u"OwnWindow"_qs, ownWindow);
    const QList<ExportableWindow> list = exportableWindows();
    ASSERT_EQ(list.size(), 2);
    EXPECT_EQ(list[0].name, u"TestWindow"_qs);
    EXPECT_EQ(list[1].name, u"OwnWindow"_qs);

    TempHome home;
    ScriptedPrompter prompts;
    LangDesk d;
    ASSERT_TRUE(ExportAllStrings(d));
    const QString target = QDir(home.path()).filePath(u"Language.db"_qs);
    ASSERT_TRUE(QFileInfo::exists(target));
    const QStringList rows = tableRows(target);
    EXPECT_EQ(countNative(rows, u"Ventana propia"_qs), 1);
    EXPECT_GE(rows.size(), 192);
    clearExportableWindows();
}

} // namespace
} // namespace nbx::test
