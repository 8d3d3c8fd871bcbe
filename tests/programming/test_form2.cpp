// The programming sheet window driven through its controls, on a temporary database.
#include "programming/ui/Form2.h"

#include "localisation/LangDesk.h"
#include "localisation/Strings.h"
#include "localisation/ui/TranslateForm.h"
#include "programming/SheetText.h"
#include "link/Link.h"
#include "programming/ui/IntervalGrid.h"
#include "support/ScriptedPrompter.h"
#include "support/TempDatabase.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCalendarWidget>
#include <QApplication>
#include <QClipboard>
#include <QCheckBox>
#include <QDateEdit>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSet>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>
#include <memory>

namespace nbx::test {

namespace {

const QDateTime kNow(QDate(2026, 3, 5), QTime(9, 7, 3));
Clock fixedClock() { return [] { return kNow; }; }

// Runs the queued work (focus rules, posted messages).
void settle()
{
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

// Types text into the focused widget; characters outside ASCII go as key events with their text
// (QTest::keyClicks cannot send them).
void type(QWidget* w, const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x80) {
            QTest::keyClick(w, c.toLatin1());
        } else {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(w, &press);
            QApplication::sendEvent(w, &release);
        }
    }
}

void replaceText(QLineEdit* e, const QString& text)
{
    e->setFocus();
    e->selectAll();
    if (text.isEmpty())
        QTest::keyClick(e, Qt::Key_Delete);
    else
        type(e, text);
}

class Form2Test : public ::testing::Test {
protected:
    void SetUp() override
    {
        programmingState() = ProgrammingState{};
        linkState().NumeroSerieEqp = 0;
    }

    static SheetValues sheetOf(qint32 serial, const QString& contacto)
    {
        SheetValues s;
        ProgrammingState st;
        CreaProgramacio(s, st, fixedClock());
        s.numeroSerie = QString::number(serial);
        s.contacto = contacto;
        return s;
    }

    static void store(qint32 serial, const QString& contacto)
    {
        SheetRepository repo;
        QString error;
        ASSERT_TRUE(repo.save(sheetOf(serial, contacto), kNow, &error)) << error.toStdString();
    }

    static QString storedContact(qint32 serial)
    {
        SheetRepository repo;
        SheetValues s;
        QString error;
        if (!repo.load(serial, s, &error))
            return QStringLiteral("<none>");
        return s.contacto;
    }

    Form2& open(std::optional<long> serial = std::nullopt)
    {
        form_ = std::make_unique<Form2>();
        form_->setClock(fixedClock());
        form_->show();
        form_->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(form_.get()));
        form_->load(serial);
        settle();
        return *form_;
    }

    // Leaves the focused field with Tab and lets its rule run.
    static void leave(QWidget* w)
    {
        QTest::keyClick(w, Qt::Key_Tab);
        settle();
    }

    int messagesWith(const QString& text) const
    {
        int n = 0;
        for (const auto& s : prompter_.shown)
            n += s.text == text;
        return n;
    }

    TempDatabase db_;
    ScriptedPrompter prompter_;
    std::unique_ptr<Form2> form_;
};

} // namespace

TEST_F(Form2Test, ChoosesTheSheetWhenItLoads)
{
    {
        Form2& f = open();
        EXPECT_EQ(f.MaskNumeroSerie->text(), QStringLiteral("0")) << "empty table: a blank sheet";
        EXPECT_TRUE(programmingState().fichaModificada);
    }
    store(300, QStringLiteral("C"));
    store(100, QStringLiteral("A"));
    store(200, QStringLiteral("B"));
    EXPECT_EQ(open().MaskNumeroSerie->text(), QStringLiteral("100")) << "no device: the first sheet";
    EXPECT_EQ(open(200).MaskNumeroSerie->text(), QStringLiteral("200")) << "command-line serial";
    EXPECT_EQ(open(999).MaskNumeroSerie->text(), QStringLiteral("200"))
        << "an unknown command-line serial falls back to the device last shown";
    linkState().NumeroSerieEqp = 4242;
    EXPECT_EQ(open().MaskNumeroSerie->text(), QStringLiteral("0")) << "a device without a sheet: a blank sheet";
    linkState().NumeroSerieEqp = 300;
    Form2& f = open();
    EXPECT_EQ(f.MaskNumeroSerie->text(), QStringLiteral("300"));
    EXPECT_EQ(f.MaskContacto->text(), QStringLiteral("C"));
    EXPECT_FALSE(programmingState().fichaModificada);
    EXPECT_EQ(f.TextFecha->text(), QStringLiteral("05/03/26"));
    EXPECT_EQ(f.TextHora->text(), QStringLiteral("09:07:03"));
    EXPECT_EQ(f.windowTitle(), QStringLiteral("NBX-70"));
}

TEST_F(Form2Test, LimitRulesRunWhenAFieldIsLeft)
{
    Form2& f = open();
    struct Case {
        QLineEdit* field;
        const char* typed;
        const char* after;
        int page; // the page shown afterwards
    };
    const Case cases[] = {
        {f.MaskDiaLocal, "55", "60", 2},   {f.MaskDiaLocal, "130", "120", 2}, {f.MaskNitVei, "125", "120", 2},
        {f.MaskDiaVei, "30", "30", 2},     {f.MaskTLeq, "61", "60", 7},       {f.MaskTLeq, "1", "2", 7},
        {f.MaskRings, "0", "1", 8},        {f.MaskMFast, "", "60", 6},        {f.MaskTiempoAtenuacion, "1", "0", 4},
        {f.MaskTempsActLoc, "12", "10", 3},
    };
    for (const Case& c : cases) {
        f.SSTab2->setCurrentIndex(0);
        const int home = f.MaskDiaLocal == c.field || f.MaskNitVei == c.field || f.MaskDiaVei == c.field ? 2
                         : c.field == f.MaskTLeq                                                          ? 7
                         : c.field == f.MaskRings                                                         ? 8
                         : c.field == f.MaskMFast                                                         ? 6
                         : c.field == f.MaskTiempoAtenuacion                                              ? 4
                                                                                                          : 3;
        f.SSTab2->setCurrentIndex(home);
        replaceText(c.field, QString::fromLatin1(c.typed));
        leave(c.field);
        EXPECT_EQ(c.field->text(), QString::fromLatin1(c.after)) << c.field->objectName().toStdString() << " " << c.typed;
        EXPECT_EQ(f.SSTab2->currentIndex(), c.page) << c.field->objectName().toStdString();
    }
    EXPECT_TRUE(prompter_.shown.isEmpty());
}

TEST_F(Form2Test, AnEmptyLimitIsRefusedOnceAndTheFocusGoesBack)
{
    Form2& f = open();
    f.SSTab2->setCurrentIndex(2);
    f.MaskDiaVei->setText(QString()); // a second bad field next to the first must not bounce
    replaceText(f.MaskDiaLocal, QString());
    f.SSTab2->setCurrentIndex(2);
    f.MaskDiaLocal->setFocus();
    f.MaskDiaVei->setFocus();
    settle();
    settle();
    ASSERT_EQ(prompter_.shown.size(), 1);
    EXPECT_EQ(prompter_.shown[0].text, GetS(60));
    EXPECT_EQ(prompter_.shown[0].icon, Prompter::Icon::Critical);
    EXPECT_EQ(QApplication::focusWidget(), f.MaskDiaLocal);
    EXPECT_EQ(f.SSTab2->currentIndex(), 2);
    EXPECT_EQ(f.MaskDiaLocal->text(), QString());
}

TEST_F(Form2Test, NightRules)
{
    Form2& f = open();
    f.SSTab2->setCurrentIndex(2);
    replaceText(f.MaskEmpiezaNoche, QStringLiteral("23:00"));
    leave(f.MaskEmpiezaNoche);
    EXPECT_EQ(f.MaskEmpiezaDia->text(), QStringLiteral("08:00"));
    EXPECT_EQ(f.MaskTerminaDia->text(), QStringLiteral("23:00"));
    replaceText(f.MaskTerminaNoche, QStringLiteral("23:00"));
    leave(f.MaskTerminaNoche);
    ASSERT_EQ(prompter_.shown.size(), 1);
    EXPECT_EQ(prompter_.shown[0].text, GetS(97));
    EXPECT_EQ(QApplication::focusWidget(), f.MaskEmpiezaNoche) << "equal times: the focus goes to the start";
    replaceText(f.MaskEmpiezaNoche, QStringLiteral("25:00"));
    leave(f.MaskEmpiezaNoche);
    ASSERT_EQ(prompter_.shown.size(), 2);
    EXPECT_EQ(prompter_.shown[1].text, GetS(25));
    EXPECT_EQ(QApplication::focusWidget(), f.MaskEmpiezaNoche);
}

TEST_F(Form2Test, KeysAndClicksThatMarkTheSheet)
{
    store(100, QStringLiteral("Ana"));
    Form2& f = open();
    auto flag = [] { return programmingState().fichaModificada; };
    auto reset = [] { programmingState().fichaModificada = false; };

    f.MaskVersion->setFocus();
    type(f.MaskVersion, QStringLiteral("9"));
    EXPECT_FALSE(flag()) << "the version box ignores keys";
    f.MaskNumeroSerie->setFocus();
    type(f.MaskNumeroSerie, QStringLiteral("9"));
    EXPECT_EQ(f.MaskNumeroSerie->text(), QStringLiteral("100"));
    EXPECT_TRUE(flag()) << "a key in the serial box marks the sheet although nothing changes";
    reset();

    f.SSTab2->setCurrentIndex(3);
    f.CheckApliCorrecioGlobal->setVisible(true);
    QTest::mouseClick(f.CheckApliCorrecioGlobal, Qt::LeftButton);
    EXPECT_FALSE(flag()) << "the CMI box alone does not mark the sheet";
    f.SSTab2->setCurrentIndex(0);
    settle();
    const bool before = f.CheckCambioHora->isChecked();
    QTest::mouseClick(f.CheckCambioHora, Qt::LeftButton, {}, QPoint(8, f.CheckCambioHora->height() / 2));
    EXPECT_NE(f.CheckCambioHora->isChecked(), before);
    EXPECT_TRUE(flag());
    reset();

    f.SSTab2->setCurrentIndex(2);
    replaceText(f.MaskDiaLocal, QStringLiteral("9 0"));
    EXPECT_EQ(f.MaskDiaLocal->text(), QStringLiteral("90")) << "blanks are dropped";
    EXPECT_TRUE(flag());

    reset();
    f.TextNota->setFocus();
    type(f.TextNota, QStringLiteral("n"));
    EXPECT_TRUE(flag()) << "the note";

    f.MaskContacto->setFocus();
    f.MaskContacto->end(false);
    type(f.MaskContacto, QStringLiteral("+-ñ"));
    EXPECT_EQ(f.MaskContacto->text(), QStringLiteral("Anañ")) << "+ and - never reach a field";
    f.SSTab2->setCurrentIndex(5);
    replaceText(f.MaskOctava[0], QStringLiteral("-5"));
    EXPECT_EQ(f.MaskOctava[0]->text(), QStringLiteral("-5")) << "octave corrections may be negative";
}

TEST_F(Form2Test, TabLeavesTheReadOnlyBoxesAndMarksNothing)
{
    Form2& f = open();
    programmingState().fichaModificada = false;
    f.MaskNumeroSerie->setFocus();
    QTest::keyClick(f.MaskNumeroSerie, Qt::Key_Tab);
    settle();
    EXPECT_EQ(QApplication::focusWidget(), f.MaskVersion);
    QTest::keyClick(f.MaskVersion, Qt::Key_Tab);
    settle();
    EXPECT_NE(QApplication::focusWidget(), f.MaskVersion);
    f.MaskContacto->setFocus();
    QTest::keyClick(f.MaskContacto, Qt::Key_Tab);
    settle();
    EXPECT_FALSE(programmingState().fichaModificada);
}

TEST_F(Form2Test, APasteMarksTheSheetLikeTyping)
{
    store(100, QStringLiteral("Ana"));
    Form2& f = open();
    QGuiApplication::clipboard()->setText(QStringLiteral("93 555"));
    for (QWidget* w : {static_cast<QWidget*>(f.MaskTelefono), static_cast<QWidget*>(f.TextNota)}) {
        programmingState().fichaModificada = false;
        if (auto* line = qobject_cast<QLineEdit*>(w))
            line->paste(); // what the context menu's Paste does
        else
            f.TextNota->paste();
        EXPECT_TRUE(programmingState().fichaModificada) << w->objectName().toStdString();
    }
    EXPECT_TRUE(f.sheet().telefono.endsWith(QStringLiteral("93 555")));
}

TEST_F(Form2Test, SheetDateIsTypedAsTwoDigitYears)
{
    Form2& f = open();
    programmingState().fichaModificada = false;
    for (const auto& [typed, year] : {std::pair{"24/12/06", 2006}, std::pair{"01/02/49", 2049}}) {
        replaceText(f.MaskFecha, QString::fromLatin1(typed));
        leave(f.MaskFecha);
        EXPECT_EQ(parseSheetDate(f.sheet().fecha).value_or(QDate()).year(), year) << typed;
        EXPECT_EQ(f.sheet().fecha, QString::fromLatin1(typed));
    }
    EXPECT_TRUE(programmingState().fichaModificada);
    EXPECT_TRUE(prompter_.shown.isEmpty());
}

TEST_F(Form2Test, SheetDateIsTypedWholeWithItsSlashes)
{
    Form2& f = open();
    const struct {
        const char* typed;
        bool blank; // the sheet shows no date before the typing
        const char* want;
    } cases[] = {{"15/03/06", false, "15/03/06"}, {"5/11/26", false, "05/11/26"}, {"31/12/07", true, "31/12/07"}};
    for (const auto& c : cases) {
        SheetValues v = f.sheet();
        v.fecha = c.blank ? QString() : QStringLiteral("08/12/26");
        f.showSheet(v);
        replaceText(f.MaskFecha, QString::fromLatin1(c.typed));
        leave(f.MaskFecha);
        EXPECT_EQ(f.sheet().fecha, QString::fromLatin1(c.want)) << c.typed;
    }
    EXPECT_TRUE(prompter_.shown.isEmpty());
}

TEST_F(Form2Test, LeavingAModifiedSheetAsksToSave)
{
    store(100, QStringLiteral("Ana"));
    store(200, QStringLiteral("Luis"));
    Form2& f = open();
    f.MaskContacto->setFocus();
    f.MaskContacto->end(false);
    type(f.MaskContacto, QStringLiteral("X"));

    prompter_.answer(Prompter::Answer::Cancel);
    f.SSCommandSiguiente->click();
    ASSERT_EQ(prompter_.shown.size(), 1);
    EXPECT_EQ(prompter_.shown[0].text, GetS(23));
    EXPECT_EQ(prompter_.shown[0].buttons, Prompter::Buttons::OkCancel);
    EXPECT_EQ(f.MaskNumeroSerie->text(), QStringLiteral("200")) << "Cancel goes on without saving";
    EXPECT_FALSE(programmingState().fichaModificada);
    EXPECT_EQ(storedContact(100), QStringLiteral("Ana"));

    f.MaskContacto->setFocus();
    f.MaskContacto->end(false);
    type(f.MaskContacto, QStringLiteral("Z"));
    prompter_.answer(Prompter::Answer::Ok);
    f.SSCommandAnterior->click();
    EXPECT_EQ(storedContact(200), QStringLiteral("LuisZ"));
    EXPECT_EQ(f.MaskNumeroSerie->text(), QStringLiteral("100"));

    // A save that fails keeps the user on the sheet with the edits.
    f.SSTab2->setCurrentIndex(2);
    f.MaskDiaLocal->setText(QString());
    f.MaskContacto->setFocus();
    type(f.MaskContacto, QStringLiteral("Q"));
    prompter_.answer(Prompter::Answer::Ok);
    f.SSCommandSiguiente->click();
    EXPECT_EQ(f.MaskNumeroSerie->text(), QStringLiteral("100"));
    EXPECT_TRUE(f.MaskContacto->text().endsWith(QLatin1Char('Q')));
    EXPECT_TRUE(programmingState().fichaModificada);
    EXPECT_EQ(prompter_.shown.last().icon, Prompter::Icon::Critical);

    // The close box asks too; a failed save keeps the window open.
    const int before = prompter_.shown.size();
    prompter_.answer(Prompter::Answer::Ok);
    EXPECT_FALSE(f.close());
    EXPECT_GT(prompter_.shown.size(), before);
    f.MaskDiaLocal->setText(QStringLiteral("80"));
    prompter_.answer(Prompter::Answer::Ok);
    EXPECT_TRUE(f.close());
    EXPECT_EQ(storedContact(100), f.MaskContacto->text());
}

TEST_F(Form2Test, GridRefusesAnEndBeforeItsStart)
{
    store(100, QStringLiteral("Ana"));
    Form2& f = open();
    IntervalGridView* grid = f.TDBGrid1;
    IntervalModel* model = f.intervalModel();

    auto editCell = [&](int column, const QString& text) {
        const QModelIndex index = model->index(0, column);
        grid->setFocus();
        grid->setCurrentIndex(index);
        grid->edit(index);
        QWidget* editor = QApplication::focusWidget();
        ASSERT_NE(editor, grid) << "an editor is open";
        auto* line = qobject_cast<QLineEdit*>(editor);
        ASSERT_NE(line, nullptr);
        line->selectAll();
        type(line, text);
        QTest::keyClick(line, Qt::Key_Return);
        settle();
    };
    editCell(1, QStringLiteral("+15/03/06-")); // "+" and "-" never reach a cell either
    EXPECT_EQ(model->index(0, 3).data().toString(), QStringLiteral("15/03/06"));
    EXPECT_EQ(model->index(0, 4).data().toString(), QStringLiteral("00:01"));
    EXPECT_TRUE(prompter_.shown.isEmpty());
    EXPECT_FALSE(programmingState().fichaModificada) << "the grid marks the sheet when it is left";

    editCell(4, QStringLiteral("00:00"));
    ASSERT_EQ(prompter_.shown.size(), 1);
    EXPECT_EQ(prompter_.shown[0].text, GetS(24));
    EXPECT_EQ(prompter_.shown[0].icon, Prompter::Icon::None);
    EXPECT_EQ(model->index(0, 4).data().toString(), QStringLiteral("00:01")) << "the refused cell keeps its value";

    f.MaskContacto->setFocus();
    settle();
    EXPECT_TRUE(programmingState().fichaModificada);
    const SheetValues v = f.sheet();
    EXPECT_EQ(v.intervals.fechaIni[0], QStringLiteral("15/03/06"));
    EXPECT_EQ(v.intervals.horaFi[0], QStringLiteral("00:01"));

    // A pending edit reaches the sheet that is saved.
    prompter_.answer(Prompter::Answer::Ok);
    const QModelIndex index = model->index(1, 1);
    grid->setFocus();
    grid->setCurrentIndex(index);
    grid->edit(index);
    auto* line = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    ASSERT_NE(line, nullptr);
    type(line, QStringLiteral("01/04/06"));
    f.SSCommandGrabar_Click();
    SheetRepository repo;
    SheetValues stored;
    QString error;
    ASSERT_TRUE(repo.load(100, stored, &error));
    EXPECT_EQ(stored.intervals.fechaIni[0], QStringLiteral("15/03/06"));
    EXPECT_EQ(stored.intervals.fechaIni[1], QStringLiteral("01/04/06"));
    EXPECT_EQ(stored.intervals.fechaFi[1], QStringLiteral("01/04/06"));
}

TEST_F(Form2Test, GridCellLeftUnchangedIsNotValidated)
{
    Form2& f = open();
    const QModelIndex index = f.intervalModel()->index(0, 4); // end time of an empty interval
    f.TDBGrid1->setFocus();
    f.TDBGrid1->setCurrentIndex(index);
    f.TDBGrid1->edit(index);
    QWidget* editor = QApplication::focusWidget();
    ASSERT_NE(editor, f.TDBGrid1) << "an editor is open";
    QTest::keyClick(editor, Qt::Key_Return);
    settle();
    EXPECT_TRUE(prompter_.shown.isEmpty());
    EXPECT_EQ(index.data().toString(), QStringLiteral("00:00"));
}

TEST_F(Form2Test, NavigatesSearchesAndDeletes)
{
    store(300, QStringLiteral("Ana"));
    store(100, QStringLiteral("O'Brien"));
    store(200, QStringLiteral("Luis"));
    Form2& f = open();
    EXPECT_EQ(f.MaskNumeroSerie->text(), QStringLiteral("100"));

    f.SSCommandAnterior->click();
    EXPECT_EQ(prompter_.beeps, 1) << "no sheet before the first";
    EXPECT_EQ(f.MaskNumeroSerie->text(), QStringLiteral("100"));
    f.SSCommandSiguiente->click();
    f.SSCommandSiguiente->click();
    EXPECT_EQ(f.MaskNumeroSerie->text(), QStringLiteral("300"));
    f.SSCommandSiguiente->click();
    EXPECT_EQ(prompter_.beeps, 2);
    EXPECT_EQ(f.MaskNumeroSerie->text(), QStringLiteral("300"));

    // Search on the header field that last had the focus; the Buscar button keeps it.
    f.MaskContacto->setFocus();
    QTest::mouseClick(f.SSCommandBuscar, Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_EQ(f.campoActual(), QStringLiteral("MaskContacto"));
    ASSERT_EQ(prompter_.prompts.size(), 1) << "cancelled input";
    EXPECT_EQ(prompter_.prompts[0], GetS(20) + QStringLiteral(" ") + GetS(5));
    prompter_.input(QStringLiteral("o'b"));
    f.SSCommandBuscar->click();
    EXPECT_EQ(f.MaskNumeroSerie->text(), QStringLiteral("100"));
    prompter_.input(QStringLiteral("nobody"));
    f.SSCommandBuscar->click();
    EXPECT_EQ(f.MaskNumeroSerie->text(), QStringLiteral("100")) << "no match changes nothing";
    f.SSCommandSiguiente->click();
    EXPECT_EQ(f.MaskNumeroSerie->text(), QStringLiteral("200")) << "navigation goes on from the sheet shown";

    f.SSTab2->setCurrentIndex(2);
    f.MaskDiaLocal->setFocus();
    settle();
    EXPECT_TRUE(f.campoActual().isEmpty());
    f.SSCommandBuscar->click();
    EXPECT_EQ(prompter_.prompts.size(), 3) << "after a level field Buscar asks nothing";

    // Delete: the sheet shown goes, the first sheet is shown; the last one leaves a blank sheet.
    prompter_.answer(Prompter::Answer::Cancel);
    f.SSCommandBorrar->click();
    EXPECT_EQ(prompter_.shown.last().text, GetS(27));
    EXPECT_EQ(storedContact(200), QStringLiteral("Luis"));
    prompter_.answer(Prompter::Answer::Ok);
    f.SSCommandBorrar->click();
    EXPECT_EQ(storedContact(200), QStringLiteral("<none>"));
    EXPECT_EQ(f.MaskNumeroSerie->text(), QStringLiteral("100"));
    prompter_.answer(Prompter::Answer::Ok);
    f.SSCommandBorrar->click();
    prompter_.answer(Prompter::Answer::Ok);
    f.SSCommandBorrar->click();
    EXPECT_EQ(f.MaskNumeroSerie->text(), QStringLiteral("0"));
    EXPECT_EQ(storedContact(300), QStringLiteral("<none>"));

    // Nothing to save or delete on a blank sheet.
    const int shown = prompter_.shown.size();
    f.SSCommandGrabar->click();
    f.SSCommandBorrar->click();
    EXPECT_EQ(prompter_.shown.size(), shown);
}

TEST_F(Form2Test, SaveAsksFirstAndStoresWhatIsShown)
{
    store(100, QStringLiteral("Ana"));
    Form2& f = open();
    f.MaskContacto->setText(QStringLiteral("Ana María"));
    EXPECT_FALSE(programmingState().fichaModificada);
    // A date picked in the calendar; the box left for its arrow is checked first.
    f.SSTab2->setCurrentIndex(2);
    f.MaskDiaLocal->setFocus();
    f.MaskDiaLocal->setText(QStringLiteral("55"));
    f.MaskFecha->actions().constFirst()->trigger();
    EXPECT_EQ(f.MaskDiaLocal->text(), QStringLiteral("60"));
    auto* calendar = f.findChild<QCalendarWidget*>();
    ASSERT_TRUE(calendar && calendar->isVisible());
    emit calendar->clicked(QDate(2006, 12, 24));
    EXPECT_FALSE(calendar->isVisible());
    EXPECT_TRUE(programmingState().fichaModificada);
    prompter_.answer(Prompter::Answer::Cancel);
    f.SSCommandGrabar->click();
    EXPECT_EQ(storedContact(100), QStringLiteral("Ana"));
    prompter_.answer(Prompter::Answer::Ok);
    f.SSCommandGrabar->click();
    EXPECT_EQ(prompter_.shown.size(), 2);
    EXPECT_EQ(storedContact(100), QStringLiteral("Ana María"));
    SheetRepository repo;
    SheetValues stored;
    QString error;
    ASSERT_TRUE(repo.load(100, stored, &error));
    EXPECT_EQ(stored.fecha, QStringLiteral("24/12/06"));
    EXPECT_EQ(stored, [&] {
        SheetValues shown = f.sheet();
        shown.textFecha = stored.textFecha;
        shown.textHora = stored.textHora;
        return shown;
    }());
}

TEST_F(Form2Test, BusyStateGivesTheButtonsBack)
{
    Form2& f = open();
    EXPECT_FALSE(f.SSCommandImprimir->isEnabled());
    f.CanviaEstatBotons();
    EXPECT_FALSE(f.SSCommandGrabar->isEnabled());
    EXPECT_TRUE(f.SSCommandExit->isEnabled());
    EXPECT_FALSE(f.close()) << "the window stays while an operation runs";
    f.CanviaEstatBotons();
    EXPECT_TRUE(f.SSCommandGrabar->isEnabled());
    EXPECT_FALSE(f.SSCommandImprimir->isEnabled()) << "a disabled button stays disabled";
    EXPECT_TRUE(f.close());
}

} // namespace nbx::test

namespace nbx::test {

TEST(Form2Design, DesignedTextsAreTranslatedWithoutLoading)
{
    TempDatabase db;
    Form2 f; // constructed only, as the string export does
    EXPECT_TRUE(f.MaskNumeroSerie->text().isEmpty());
    EXPECT_TRUE(f.MaskContacto->text().isEmpty());

    QStringList keys;
    for (QObject* o : designedControls(&f))
        keys << GetPropertyValue(o, QStringLiteral("Caption"));
    for (int i = 0; i < f.SSTab2->count(); ++i)
        keys << f.SSTab2->tabText(i);
    keys += f.TDBGrid1->texts();
    for (const char* designed :
         {"Reloj", "Horarios sesion", "Normativa", "Tipo de actuación", "Tiempo atenuación", "Aislamiento acústico",
          "LFmax", "Tiempo de Leq", "Parámetros módem", "0 - Sin atenuación de 60dB",
          "Rings antes de que el modem decuelgue:", "(Cambiar la hora automáticamente según el horario de verano)",
          "INTERVALOS INHABILES", "Empieza:", "Termina:", "N", "Fecha", "Hora", "N. Serie:", "Versión:", "Fecha:",
          "Contacto:", "Local:", "Dirección:", "Población:", "Teléfono:"})
        EXPECT_TRUE(keys.contains(QString::fromUtf8(designed))) << designed;

    // The width test pads every text it translates: tab captions and grid captions included.
    LangDesk engine;
    engine.setBTestStrWidth(true);
    TranslateForm(&f, engine);
    EXPECT_EQ(f.SSTab2->tabText(0), QStringLiteral("RelojWWWW"));
    EXPECT_EQ(f.intervalModel()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("NW"));
    EXPECT_EQ(f.SSCommandGrabar->text(), QStringLiteral("GrabarWWWWW"));
    EXPECT_TRUE(f.MaskContacto->text().isEmpty()) << "field contents are not texts to translate";
}

TEST(Form2Design, EveryInputHasANameForAssistiveTechnology)
{
    TempDatabase db;
    Form2 f;
    QSet<const QWidget*> buddies;
    for (const QLabel* l : f.findChildren<QLabel*>())
        if (l->buddy())
            buddies.insert(l->buddy());
    const QList<QWidget*> all = f.findChildren<QWidget*>();
    int inputs = 0;
    for (const QWidget* w : all) {
        const bool input = qobject_cast<const QLineEdit*>(w) || qobject_cast<const QAbstractSpinBox*>(w)
                           || qobject_cast<const QPlainTextEdit*>(w) || qobject_cast<const QAbstractItemView*>(w);
        if (!input || w->objectName().isEmpty() || w->objectName().startsWith(QLatin1String("qt_")))
            continue;
        ++inputs;
        EXPECT_TRUE(buddies.contains(w) || !w->accessibleName().isEmpty()) << w->objectName().toStdString();
    }
    EXPECT_EQ(inputs, 49) << "every field of the sheet";
}

} // namespace nbx::test
