// The device operations through the real programming window, over the program's own link on a
// pseudo-terminal against the device simulator.
#include "link/Link.h"
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

} // namespace
} // namespace nbx::test
