// The programming sheet window: the night boxes' completion, the typed date, the rules run by
// the close box, the pending edit taken on every way out, Siguiente on a blank sheet, and
// accessible names in the window's language.
#include "programming/ui/Form2.h"

#include "common/Database.h"
#include "import/ui/ImportWindows.h"
#include "link/Link.h"
#include "localisation/Strings.h"
#include "localisation/LangDesk.h"
#include "localisation/ui/TranslateForm.h"
#include "programming/ui/IntervalGrid.h"
#include "records/ui/Form5.h"
#include "shell/ui/Form1.h"
#include "support/HomeFiles.h"
#include "support/ScriptedPrompter.h"
#include "support/TempDatabase.h"
#include "support/Windows.h"

#include <QApplication>
#include <QDateEdit>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSqlQuery>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <functional>

namespace nbx::test {
namespace {

class Form2Mends : public ::testing::Test {
protected:
    void SetUp() override
    {
        programmingState() = ProgrammingState{};
        linkState().NumeroSerieEqp = 0;
    }
    void TearDown() override { programmingState().fichaModificada = false; }
    Form2& open()
    {
        form_ = std::make_unique<Form2>();
        form_->show();
        form_->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(form_.get()));
        form_->load();
        settle();
        return *form_;
    }

    static QString storedDate(qint32 serial)
    {
        QSqlQuery q(mainDb());
        q.prepare(QStringLiteral("SELECT DFecha FROM Programacion WHERE LNumeroSerie = ?"));
        q.addBindValue(serial);
        return q.exec() && q.next() ? q.value(0).toString() : QStringLiteral("<none>");
    }

    TempDatabase db_;
    ScriptedPrompter prompts_;
    std::unique_ptr<Form2> form_;
};

// A one-digit hour is completed when the box is left, so the sheet stores what a send accepts.
TEST_F(Form2Mends, NightBoxesAreCompletedToHhMm)
{
    Form2& f = open();
    f.SSTab2->setCurrentIndex(2);
    settle();
    const struct {
        QLineEdit* box;
        const char* typed;
        const char* kept;
    } cases[] = {{f.MaskEmpiezaNoche, "9:00", "09:00"}, {f.MaskTerminaNoche, "7:5", "07:05"}};
    for (const auto& c : cases) {
        c.box->setFocus();
        c.box->selectAll();
        QTest::keyClicks(c.box, c.typed);
        QTest::keyClick(c.box, Qt::Key_Tab);
        settle();
        EXPECT_EQ(c.box->text(), QString::fromLatin1(c.kept));
    }
    EXPECT_EQ(f.MaskTerminaDia->text(), "09:00");
    EXPECT_EQ(f.MaskEmpiezaDia->text(), "07:05");
    EXPECT_TRUE(prompts_.shown.isEmpty());
}

// The date typed is the date stored, whatever date the sheet showed (a February included); a
// date that does not exist is refused with "Fecha incorrecta" and nothing is stored. Two-digit
// years below 50 are 20yy, the others 19yy.
TEST_F(Form2Mends, ATypedSheetDateIsStoredAsTypedOrRefused)
{
    storeSheet(100);
    Form2& f = open();
    const struct {
        const char* shown;  // the date on the sheet before the typing ("": none)
        const char* typed;  // typed from the day on, then Grabar
        const char* stored; // DFecha afterwards; nullptr: refused
    } cases[] = {{"15/03/06", "24/12/99", "1999-12-24"}, {"15/03/06", "01/01/50", "1950-01-01"},
                 {"15/03/75", "31/12/49", "2049-12-31"}, {"15/03/75", "29/02/00", "2000-02-29"},
                 {"15/03/26", "29/02/24", "2024-02-29"}, {"15/03/04", "29/02/24", "2024-02-29"},
                 {"15/02/26", "29/02/24", "2024-02-29"}, {"", "5/6/7", "2007-06-05"},
                 {"28/02/23", "31/03/24", "2024-03-31"}, {"28/02/23", "31/12/24", "2024-12-31"},
                 {"28/02/23", "30/04/24", "2024-04-30"}, {"28/02/23", "30/06/25", "2025-06-30"},
                 {"29/02/24", "31/03/24", "2024-03-31"}, {"29/02/24", "31/12/24", "2024-12-31"},
                 {"29/02/24", "30/04/24", "2024-04-30"}, {"29/02/24", "30/06/25", "2025-06-30"},
                 {"15/02/26", "31/03/24", "2024-03-31"}, {"15/02/26", "31/12/24", "2024-12-31"},
                 {"15/02/26", "30/04/24", "2024-04-30"}, {"15/02/26", "30/06/25", "2025-06-30"},
                 {"28/02/23", "29/02/23", nullptr},      {"15/02/26", "31/04/24", nullptr},
                 {"29/02/24", "00/05/24", nullptr},      {"29/02/24", "15/13/24", nullptr}};
    for (const auto& c : cases) {
        SheetValues v = f.sheet();
        v.fecha = QString::fromLatin1(c.shown);
        f.showSheet(v);
        const QString before = storedDate(100);
        prompts_.shown.clear();
        f.MaskFecha->setFocus();
        f.MaskFecha->setSelection(0, 2); // the day
        QTest::keyClicks(f.MaskFecha, c.typed);
        QTest::mouseClick(f.SSCommandGrabar, Qt::LeftButton); // the save question gets OK
        settle();
        ASSERT_EQ(prompts_.shown.size(), 1) << c.shown << " " << c.typed;
        if (c.stored) {
            EXPECT_EQ(storedDate(100), QString::fromLatin1(c.stored)) << c.shown << " " << c.typed;
            continue;
        }
        EXPECT_EQ(prompts_.shown[0].text, GetS(18)) << c.shown << " " << c.typed;
        EXPECT_EQ(storedDate(100), before) << c.shown << " " << c.typed;
        EXPECT_EQ(QApplication::focusWidget(), f.MaskFecha);
    }
}

// Closing the window with the focus still in a box runs that box's rule before the save
// question, also while another window is active: a corrected value is what is stored, a refused
// one keeps the window open with nothing stored.
TEST_F(Form2Mends, TheCloseBoxRunsTheRuleOfTheBoxBeingEdited)
{
    storeSheet(100, [](SheetValues& s) {
        s.tLeq = "15";
        s.rings = "5";
        s.tempsActVei = "05";
    });
    const struct {
        QLineEdit* Form2::*box;
        int page;
        const char* typed;
        QString SheetValues::*field;
        const char* stored; // nullptr: refused with `message`
        long message;
    } cases[] = {
        {&Form2::MaskDiaLocal, 2, "55", &SheetValues::diaLocal, "60", 0},
        {&Form2::MaskNitLocal, 2, "", &SheetValues::nitLocal, nullptr, 60},
        {&Form2::MaskDiaVei, 2, "125", &SheetValues::diaVei, "120", 0},
        {&Form2::MaskNitVei, 2, "130", &SheetValues::nitVei, "120", 0},
        {&Form2::MaskMFast, 6, "50", &SheetValues::mFast, "60", 0},
        {&Form2::MaskTempsActLoc, 3, "12", &SheetValues::tempsActLoc, "10", 0},
        {&Form2::MaskTempsActVei, 3, "0", &SheetValues::tempsActVei, "01", 0},
        {&Form2::MaskTiempoAtenuacion, 4, "1", &SheetValues::tiempoAtenuacion, "0", 0},
        {&Form2::MaskTLeq, 7, "1", &SheetValues::tLeq, "2", 0},
        {&Form2::MaskRings, 8, "0", &SheetValues::rings, "1", 0},
        {&Form2::MaskEmpiezaNoche, 2, "25:00", &SheetValues::empiezaNoche, nullptr, 25},
        {&Form2::MaskTerminaNoche, 2, "7:5", &SheetValues::terminaNoche, "07:05", 0},
    };
    for (const auto& c : cases) {
        for (const bool elsewhere : {false, true}) {
            const SheetValues before = storedSheet(100);
            Form2& f = open();
            QLineEdit* box = f.*c.box;
            const std::string name = box->objectName().toStdString() + (elsewhere ? ", another window active" : "");
            f.SSTab2->setCurrentIndex(c.page);
            box->setFocus();
            box->selectAll();
            if (*c.typed)
                QTest::keyClicks(box, c.typed);
            else
                QTest::keyClick(box, Qt::Key_Delete);
            QWidget other; // the box keeps the sheet's own focus while another window is active
            if (elsewhere) {
                other.show();
                other.activateWindow();
                ASSERT_TRUE(QTest::qWaitForWindowActive(&other)) << name;
            }
            prompts_.shown.clear();
            const bool closed = f.close(); // the save question gets OK
            ASSERT_FALSE(prompts_.shown.isEmpty()) << name;
            if (c.stored) {
                EXPECT_TRUE(closed) << name;
                EXPECT_EQ(prompts_.shown.last().text, GetS(23)) << name;
                EXPECT_EQ(storedSheet(100).*c.field, QString::fromLatin1(c.stored)) << name;
                continue;
            }
            EXPECT_FALSE(closed) << name;
            ASSERT_EQ(prompts_.shown.size(), 1) << name;
            EXPECT_EQ(prompts_.shown[0].text, GetS(c.message)) << name;
            EXPECT_EQ(storedSheet(100), before) << name;
            EXPECT_TRUE(f.isVisible()) << name;
        }
    }
}

// Every road out of the sheet, or into its data, takes the edit still pending in it whatever
// window is active: the box being edited runs its rule and an open interval cell is committed
// with its rule. A refused value shows its message and keeps the sheet open, with the focus back
// in it and nothing stored; a value taken is the value the road goes on with.
TEST_F(Form2Mends, EveryRoadTakesTheSheetsPendingEdit)
{
    auto base = [](SheetValues& s) {
        s.empiezaNoche = "22:00";
        s.terminaNoche = "07:00";
        s.intervals.fechaIni[1] = s.intervals.fechaFi[1] = "01/03/24";
        s.intervals.horaIni[1] = "08:00";
        s.intervals.horaFi[1] = "09:00";
    };
    storeSheet(100);
    storeSheet(300);
    const struct {
        const char* name;
        int column; // 0: typed into "Empieza noche"; else into interval 2's cell of that grid column
        const char* typed;
        std::function<QString(const SheetValues&)> value;
        const char* taken; // nullptr: refused with `message`
        long message;
    } edits[] = {
        {"refused box", 0, "25:00", {}, nullptr, 25},
        {"box the rule changes", 0, "9:00", [](const SheetValues& v) { return v.empiezaNoche; }, "09:00", 0},
        {"date in an open cell", 1, "15/03/24", [](const SheetValues& v) { return v.intervals.fechaIni[1]; },
         "15/03/24", 0},
        {"time in an open cell", 2, "08:30", [](const SheetValues& v) { return v.intervals.horaIni[1]; }, "08:30", 0},
        {"impossible date in an open cell", 1, "31/04/24", {}, nullptr, 18},
    };
    bool liveOpened = false;
    const struct {
        const char* name;
        bool fromMain; // the main window is made active before the road is taken
        bool asks;     // the road offers to save the sheet (answered OK)
        std::function<void(Form1&, Form2&)> take;
    } roads[] = {
        {"sheet's close box", false, true, [](Form1&, Form2& f) { f.close(); }},
        {"sheet's close box from the main window", true, true, [](Form1&, Form2& f) { f.close(); }},
        {"sheet's Salir", true, true, [](Form1&, Form2& f) { QTest::mouseClick(f.SSCommandExit, Qt::LeftButton); }},
        {"Siguiente", true, true, [](Form1&, Form2& f) { QTest::mouseClick(f.SSCommandSiguiente, Qt::LeftButton); }},
        {"Anterior", true, true, [](Form1&, Form2& f) { QTest::mouseClick(f.SSCommandAnterior, Qt::LeftButton); }},
        {"Buscar", true, false, [](Form1&, Form2& f) { QTest::mouseClick(f.SSCommandBuscar, Qt::LeftButton); }},
        {"Incidencias", true, true,
         [](Form1&, Form2& f) { QTest::mouseClick(f.SSCommandIncidencias, Qt::LeftButton); }},
        {"Tiempo real", true, false,
         [&liveOpened](Form1&, Form2& f) {
             QTimer::singleShot(0, [&liveOpened] {
                 if (QWidget* live = QApplication::activeModalWidget()) {
                     liveOpened = true;
                     live->close();
                 }
             });
             QTest::mouseClick(f.SSCommandRealTime, Qt::LeftButton);
         }},
        {"main window's Salir", true, true,
         [](Form1& m, Form2&) { QTest::mouseClick(m.SSCommandExit, Qt::LeftButton); }},
        {"main window's close box", true, true, [](Form1& m, Form2&) { m.close(); }},
        {"main window's Exportar", true, true,
         [](Form1& m, Form2&) {
             m.CommandExportar->show();
             QTest::mouseClick(m.CommandExportar, Qt::LeftButton);
         }},
        {"main window's Importar datos", true, true,
         [&liveOpened](Form1& m, Form2&) {
             installImportService();
             setOpenFileDialog([&liveOpened](QWidget*, const QString&, const QStringList&) {
                 liveOpened = true; // the import went on to its file
                 return QString();
             });
             m.SSCommand1->setEnabled(true);
             QTest::mouseClick(m.SSCommand1, Qt::LeftButton);
             setOpenFileDialog({});
             setImportService(nullptr);
         }},
    };
    for (const auto& road : roads) {
        for (const auto& edit : edits) {
            const std::string what = std::string(road.name) + ", " + edit.name;
            storeSheet(200, base);
            const SheetValues before = storedSheet(200);
            linkState().NumeroSerieEqp = 200;
            Form1 main;
            main.show();
            QPointer<Form2> sheet; // the road's checks stop at the first that fails
            [&] {
                QTest::mouseClick(main.SSCommandProgramacion, Qt::LeftButton);
                sheet = shownWindow<Form2>();
                ASSERT_TRUE(sheet) << what;
                Form2& f = *sheet;
                f.activateWindow();
                ASSERT_TRUE(QTest::qWaitForWindowActive(&f)) << what;
                ASSERT_EQ(f.MaskNumeroSerie->text(), "200") << what;

                QWidget* editing = f.TDBGrid1;
                if (edit.column == 0) {
                    editing = f.MaskEmpiezaNoche;
                    f.SSTab2->setCurrentIndex(2);
                    QTest::mouseClick(editing, Qt::LeftButton);
                    f.MaskEmpiezaNoche->selectAll();
                    QTest::keyClicks(editing, edit.typed);
                } else {
                    const QModelIndex cell = f.intervalModel()->index(1, edit.column);
                    const QPoint at = f.TDBGrid1->visualRect(cell).center();
                    QTest::mouseClick(f.TDBGrid1->viewport(), Qt::LeftButton, {}, at);
                    QTest::mouseDClick(f.TDBGrid1->viewport(), Qt::LeftButton, {}, at);
                    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
                    ASSERT_TRUE(editor && f.TDBGrid1->isAncestorOf(editor)) << what << ": the cell is open";
                    editor->selectAll();
                    QTest::keyClicks(editor, edit.typed);
                }
                settle();
                if (road.fromMain) {
                    main.activateWindow();
                    main.SSCommandProgramacion->setFocus();
                    ASSERT_TRUE(QTest::qWaitForWindowActive(&main)) << what;
                    settle();
                }
                prompts_.shown.clear();
                prompts_.prompts.clear();
                liveOpened = false;
                prompts_.answer(Prompter::Answer::Ok); // the save question, when asked
                road.take(main, f);
                settle();
                const bool wentOn = liveOpened || !prompts_.prompts.isEmpty(); // Buscar asks what to find

                if (!edit.taken) {
                    ASSERT_FALSE(prompts_.shown.isEmpty()) << what;
                    EXPECT_EQ(prompts_.shown[0].text, GetS(edit.message)) << what;
                    EXPECT_FALSE(prompts_.sawText(GetS(23)) || wentOn) << what;
                    ASSERT_TRUE(sheet && f.isVisible()) << what;
                    EXPECT_EQ(f.MaskNumeroSerie->text(), "200") << what;
                    EXPECT_TRUE(f.focusWidget() == editing || editing->isAncestorOf(f.focusWidget())) << what;
                    EXPECT_TRUE(main.isVisible()) << what;
                    EXPECT_EQ(storedSheet(200), before) << what;
                } else if (road.asks) {
                    EXPECT_TRUE(prompts_.sawText(GetS(23))) << what;
                    EXPECT_EQ(edit.value(storedSheet(200)), QString::fromLatin1(edit.taken)) << what;
                } else {
                    ASSERT_TRUE(sheet) << what;
                    SheetValues shown; // as the sheet shows it, nothing more committed
                    shown.empiezaNoche = f.MaskEmpiezaNoche->text();
                    shown.intervals = f.intervalModel()->intervals();
                    EXPECT_EQ(edit.value(shown), QString::fromLatin1(edit.taken)) << what;
                    EXPECT_TRUE(programmingState().fichaModificada) << what;
                }
            }();
            programmingState().fichaModificada = false;
            delete sheet.data();
            for (QWidget* w : QApplication::topLevelWidgets())
                if (qobject_cast<Form5*>(w))
                    delete w;
        }
    }
    Form2::setRecordsOpener({});
    Form5::setProgrammingOpener({});
}

// A device without a sheet gives a blank sheet at load; Siguiente has nowhere to go from it and
// does nothing (no beep), while Anterior still reaches the last sheet.
TEST_F(Form2Mends, SiguienteOnABlankSheetMadeAtLoadDoesNothing)
{
    ASSERT_NO_FATAL_FAILURE(storeSheet(100));
    linkState().NumeroSerieEqp = 4242;
    Form2& f = open();
    ASSERT_EQ(f.MaskNumeroSerie->text(), "0");
    f.SSCommandSiguiente->click();
    EXPECT_EQ(prompts_.beeps, 0);
    EXPECT_EQ(f.MaskNumeroSerie->text(), "0");
    EXPECT_TRUE(prompts_.shown.isEmpty());
    f.SSCommandAnterior->click();
    EXPECT_EQ(f.MaskNumeroSerie->text(), "100");
}

// The names a screen reader announces follow the language like the visible texts.
TEST(Form2Accessibility, NamesFollowTheLanguage)
{
    TempDatabase db;
    LangDesk english;
    english.setSForeignColumnName("English");
    ASSERT_TRUE(english.OpenLanguageDatabase(QStringLiteral(NBX70_SOURCE_RESOURCES "/Language.db"), true,
                                             LangDesk::AccessLanguageDatabase))
        << english.sErrDescription().toStdString();
    Form2 f;
    EXPECT_EQ(f.MaskEmpiezaNoche->accessibleName(), QString::fromUtf8("Noche Empieza"));
    TranslateForm(&f, english);
    const struct {
        QWidget* w;
        QStringList parts;
    } cases[] = {
        {f.MaskEmpiezaNoche, {"Noche", "Empieza"}},
        {f.MaskDiaVei, {QString::fromUtf8("Día"), QString::fromUtf8("Límite (recepción)")}},
        {f.TDBGrid1, {"INTERVALOS INHABILES"}},
    };
    for (const auto& c : cases) {
        QStringList english_;
        for (const QString& p : c.parts)
            english_ << english.GetTranslation(p);
        EXPECT_EQ(c.w->accessibleName(), english_.join(' ')) << c.w->objectName().toStdString();
        EXPECT_NE(c.w->accessibleName(), c.parts.join(' ')) << "still Spanish";
    }
}

} // namespace
} // namespace nbx::test
