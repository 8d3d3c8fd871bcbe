// The device operations through the real programming window, over the program's own link on a
// pseudo-terminal against the device simulator.
#include "link/Link.h"
#include "localisation/LangDesk.h"
#include "localisation/Strings.h"
#include "nbx70-sim/Simulator.h"
#include "programming/SheetRepository.h"
#include "programming/ui/Form2.h"
#include "support/LinkTestSupport.h"
#include "support/ScriptedPrompter.h"
#include "support/TempDatabase.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

namespace nbx::test {
namespace {

class Form2Exchange : public ::testing::Test {
protected:
    void SetUp() override
    {
        QString error;
        ASSERT_TRUE(sim.start(&error)) << error.toStdString();
        Link& link = defaultLink();
        savedTiming = link.timing;
        link.timing = shortLinkTiming();
        link.state.SerialDevice = sim.portPath();
        link.state.ConexionModem = 0;
        form.load();
    }
    void TearDown() override
    {
        defaultLink().cerrarPuerto();
        defaultLink().timing = savedTiming;
        defaultLink().state.SerialDevice.clear();
        programmingState().fichaModificada = false;
        sim.stop();
    }
    void expectIdle()
    {
        EXPECT_FALSE(form.SSPanel2->isVisible());
        EXPECT_TRUE(form.SSCommandGrabar->isEnabled());
        EXPECT_TRUE(form.SSCommandSiguiente->isEnabled());
        EXPECT_FALSE(defaultLink().port.isOpen());
        EXPECT_FALSE(DeviceOperationGuard::running());
    }

    TempDatabase db;
    ScriptedPrompter prompts;
    ScriptedPasswords passwords;
    sim::Simulator sim;
    LinkTiming savedTiming;
    Form2 form;
};

TEST_F(Form2Exchange, ReceiveFillsANewSheetThenSendAndReceiveAgainRoundTrips)
{
    form.SSCommandRecibir->click();
    EXPECT_EQ(form.MaskNumeroSerie->text(), "123456");
    EXPECT_TRUE(programmingState().fichaModificada);
    EXPECT_FALSE(SheetRepository().exists(123456));
    expectIdle();

    form.MaskDiaLocal->setText(QStringLiteral("88"));
    prompts.shown.clear();
    form.SSCommandTransmitir->click();
    EXPECT_TRUE(SheetRepository().exists(123456)); // the send saves the sheet first
    EXPECT_FALSE(sim.storedBlock().isEmpty());
    ASSERT_FALSE(prompts.shown.isEmpty());
    EXPECT_EQ(prompts.shown.last().text, GetS(61)); // "Transmisión realizada correctamente"
    expectIdle();

    form.MaskDiaLocal->setText(QStringLiteral("70"));
    programmingState().fichaModificada = false;
    prompts.shown.clear();
    prompts.answer(Prompter::Answer::Ok);     // connect the cable
    prompts.answer(Prompter::Answer::Ok);     // received
    prompts.answer(Prompter::Answer::Ok);     // take the device's values
    form.SSCommandRecibir->click();
    EXPECT_EQ(form.MaskDiaLocal->text(), "88"); // the device holds what was sent
    expectIdle();
}

TEST_F(Form2Exchange, AFailureShowsOneMessageAndGivesTheWindowBack)
{
    sim.injectFault(sim::Fault::Silence, 0x01);
    prompts.shown.clear();
    form.SSCommandRecibir->click();
    int failures = 0;
    for (const auto& m : prompts.shown)
        if (m.icon == Prompter::Icon::Critical)
            ++failures;
    EXPECT_EQ(failures, 1);
    EXPECT_TRUE(prompts.sawText(GetS(31)));
    expectIdle();
}

// The storage cannot say whether the device has a sheet: the receive stops with the error and
// neither the sheet shown nor the stored one changes (never a blank sheet over a stored one).
TEST_F(Form2Exchange, AStorageErrorStopsTheReceiveAndKeepsTheStoredSheet)
{
    SheetRepository repo;
    for (const char* serial : {"111111", "123456"}) {
        form.CreaProgramacio();
        form.MaskNumeroSerie->setText(QString::fromLatin1(serial));
        form.MaskContacto->setText(QStringLiteral("Contacto %1").arg(QLatin1String(serial)));
        ASSERT_TRUE(form.GrabaProgramacio());
    }
    ASSERT_TRUE(form.CarregaProgramacio(111111));
    QSqlQuery q(mainDb());
    ASSERT_TRUE(q.exec("ALTER TABLE Programacion RENAME TO Hidden"));
    prompts.shown.clear();
    form.SSCommandRecibir->click();
    ASSERT_TRUE(q.exec("ALTER TABLE Hidden RENAME TO Programacion"));

    QStringList critical;
    for (const auto& m : prompts.shown)
        if (m.icon == Prompter::Icon::Critical)
            critical << m.text;
    ASSERT_EQ(critical.size(), 1);
    EXPECT_FALSE(critical.first().isEmpty());
    EXPECT_FALSE(prompts.sawText(GetS(61)));
    EXPECT_EQ(form.MaskNumeroSerie->text(), "111111");
    EXPECT_FALSE(programmingState().fichaModificada);
    SheetValues stored;
    ASSERT_TRUE(repo.load(123456, stored, nullptr));
    EXPECT_EQ(stored.contacto, "Contacto 123456");
    expectIdle();
}

// Erase, password change and the factory test through the window's own buttons, over the cable
// and then over a dialled modem line.
TEST_F(Form2Exchange, EraseNewPasswordTestAndModemThroughTheWindow)
{
    form.SSCommandRecibir->click(); // the device's sheet, so that its serial checks pass
    ASSERT_EQ(form.MaskNumeroSerie->text(), "123456");
    prompts.shown.clear();

    form.SSCommandBorrat->click();
    EXPECT_EQ(sim.recordsCleared(), 1);
    EXPECT_EQ(prompts.shown.last().text, GetS(61));
    expectIdle();

    form.CommandCanviClau->click();
    EXPECT_EQ(sim.config().password, "ab  ");
    EXPECT_EQ(prompts.shown.last().text, GetS(61));
    passwords.current = "ab";
    expectIdle();

    prompts.input("123456");
    form.SSCommandTest->click();
    EXPECT_EQ(prompts.shown.last().text, QString::fromUtf8("Test de inicio fábrica pasado"));
    expectIdle();

    // The modem road: dial, erase, hang up when asked.
    Link& link = defaultLink();
    link.state.ConexionModem = 1;
    link.timing.secondMs = 100; // the modem's echo is read away a "second" after the dial
    sim.setModemMode(true, sim::ModemAnswer::Connect, 400);
    form.MaskTelefono->setText("5551234");
    prompts.shown.clear();
    prompts.answer(Prompter::Answer::Ok);  // GetS(33): connect the modem
    prompts.answer(Prompter::Answer::Ok);  // GetS(61)
    prompts.answer(Prompter::Answer::Yes); // hang up
    form.SSCommandBorrat->click();
    link.state.ConexionModem = 0;
    EXPECT_EQ(sim.recordsCleared(), 2);
    EXPECT_EQ(sim.lastDialCommand().right(8), ",5551234");
    EXPECT_TRUE(prompts.sawText(GetS(124)));
    EXPECT_FALSE(link.state.ModemConectado);
    expectIdle();
}

// A click takes the focus from a box before its button acts: the box's rule runs first, so what
// is stored and sent is what the box then shows. A stored one-digit hour is shown with two.
TEST_F(Form2Exchange, ABoxsRuleRunsBeforeTheClickedButtonActs)
{
    form.SSCommandRecibir->click();
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    form.SSTab2->setCurrentIndex(2);
    auto typeAndClick = [&](QLineEdit* box, const char* text, QPushButton* button) {
        box->setFocus();
        box->selectAll();
        QTest::keyClicks(box, text);
        QTest::mouseClick(button, Qt::LeftButton);
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    };
    auto stored = [] {
        SheetValues v;
        QString error;
        EXPECT_TRUE(SheetRepository().load(123456, v, &error)) << error.toStdString();
        return v;
    };
    prompts.shown.clear();
    typeAndClick(form.MaskDiaLocal, "130", form.SSCommandGrabar);
    EXPECT_EQ(stored().diaLocal, "120");
    typeAndClick(form.MaskEmpiezaNoche, "9:00", form.SSCommandTransmitir);
    ASSERT_FALSE(prompts.shown.isEmpty());
    EXPECT_EQ(prompts.shown.last().text, GetS(61)); // "Transmisión realizada correctamente"
    EXPECT_EQ(stored().empiezaNoche, "09:00");

    SheetValues old = stored();
    old.terminaNoche = QStringLiteral("7:05");
    QString error;
    ASSERT_TRUE(SheetRepository().save(old, QDateTime::currentDateTime(), &error)) << error.toStdString();
    ASSERT_TRUE(form.CarregaProgramacio(123456));
    EXPECT_EQ(form.MaskTerminaNoche->text(), "07:05");
    ASSERT_TRUE(form.GrabaProgramacio());
    EXPECT_EQ(stored().terminaNoche, "07:05");
}

// A wrong password in an English window: the send says it in English; erase and password change
// keep their fixed Spanish text, as designed.
TEST_F(Form2Exchange, WrongPasswordInATranslatedWindow)
{
    LangDesk& desk = langDesk();
    desk.setSForeignColumnName("English");
    ASSERT_TRUE(desk.OpenLanguageDatabase(QStringLiteral(NBX70_SOURCE_RESOURCES "/Language.db"), true,
                                          LangDesk::AccessLanguageDatabase));
    form.SSCommandRecibir->click();
    passwords.current = "9999";
    const struct {
        QPushButton* button;
        QString text;
    } cases[] = {{form.SSCommandTransmitir, GetS(119)},
                 {form.SSCommandBorrat, QString::fromUtf8("Contraseña incorrecta")}};
    EXPECT_NE(GetS(119), QString::fromUtf8("Contraseña incorrecta")) << "translated";
    for (const auto& c : cases) {
        prompts.shown.clear();
        programmingState().fichaModificada = false;
        c.button->click();
        ASSERT_FALSE(prompts.shown.isEmpty());
        EXPECT_EQ(prompts.shown.last().text, c.text);
        expectIdle();
    }
    desk.CloseLanguageDatabase();
    EXPECT_EQ(sim.recordsCleared(), 0);
}

} // namespace
} // namespace nbx::test
