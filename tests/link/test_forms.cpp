#include "LinkFixture.h"

#include "common/IniFile.h"
#include "localisation/Strings.h"
#include "shell/ui/Form11.h"
#include "shell/ui/Form12.h"
#include "shell/ui/Form4.h"
#include "link/CommSettings.h"

#include <QComboBox>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

namespace nbx::test {
namespace {

class Form4Test : public LinkFixture {
protected:
    Form4Test()
    {
        ini = dir.filePath("nbx70.ini");
        QFile f(ini);
        f.open(QIODevice::WriteOnly);
        f.write("[Configuration]\nSerialPort=3\nUser=x\nModem=1\nTonePulse=0\nDialCode=9\n");
        f.close();
        link.state.PuertoCom = 3;
        link.state.ConexionModem = 1;
        link.state.MarcadoTonos = 0;
        link.state.PrefijoMarcado = "9";
    }
    QString read(const char* key) { return LeerIni("Configuration", key, "<none>", ini); }
    QByteArray iniBytes()
    {
        QFile f(ini);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }

    QTemporaryDir dir;
    QString ini;
};

TEST_F(Form4Test, LoadShowsTheCurrentSettings)
{
    Form4 w(link, ini);
    w.Form_Load();
    EXPECT_EQ(w.ComboPort->currentText(), "ttyS2");
    EXPECT_TRUE(w.OptionModem->isChecked());
    EXPECT_TRUE(w.OptionPulsos->isChecked());
    EXPECT_EQ(w.MaskPrefijo->text(), "9");
    EXPECT_EQ(w.ComboPort->itemText(0), "ttyS0");
    EXPECT_EQ(w.windowTitle(), "NBX-70");
}

TEST_F(Form4Test, AcceptWritesTheIniAndTheState)
{
    Form4 w(link, ini);
    w.Form_Load();
    w.OptionRs->setChecked(true);
    w.OptionTonos->setChecked(true);
    w.MaskPrefijo->setText("");
    w.SSCommandAceptar->click();
    EXPECT_EQ(w.result(), QDialog::Accepted);
    EXPECT_EQ(read("SerialPort"), "3");
    EXPECT_EQ(read("SerialDevice"), "");
    EXPECT_EQ(read("Modem"), "0");
    EXPECT_EQ(read("TonePulse"), "1");
    EXPECT_EQ(read("DialCode"), "");
    EXPECT_EQ(read("ModemSpeed"), "19200");
    EXPECT_EQ(read("User"), "x");
    EXPECT_EQ(link.state.ConexionModem, 0);
    EXPECT_EQ(link.state.MarcadoTonos, 1);
    EXPECT_EQ(link.state.PrefijoMarcado, "");
    EXPECT_TRUE(prompts.shown.isEmpty());
}

TEST_F(Form4Test, CancelAndTheCloseBoxChangeNothing)
{
    const QByteArray before = iniBytes();
    for (int way = 0; way < 2; ++way) {
        Form4 w(link, ini);
        w.Form_Load();
        w.OptionRs->setChecked(true);
        w.ComboPort->setCurrentText("ttyS7");
        if (way == 0)
            w.SSCommandExit->click();
        else
            w.close();
        EXPECT_EQ(iniBytes(), before);
        EXPECT_EQ(link.state.PuertoCom, 3);
        EXPECT_EQ(link.state.ConexionModem, 1);
    }
}

TEST_F(Form4Test, AnOpenPortKeepsItsNameUntilTheNextOpen)
{
    link.state.ModemConectado = true;
    ASSERT_TRUE(link.AbrirPuerto(nullptr));
    EXPECT_EQ(port.openedName, "ttyS2");
    Form4 w(link, ini);
    w.Form_Load();
    w.ComboPort->setCurrentText("ttyS4");
    w.SSCommandAceptar->click();
    EXPECT_TRUE(port.isOpen());
    EXPECT_EQ(port.openedName, "ttyS2");
    EXPECT_EQ(link.state.PuertoCom, 5);
    link.colgar();
    ASSERT_TRUE(link.AbrirPuerto(nullptr));
    EXPECT_EQ(port.openedName, "ttyS4");
}

TEST_F(Form4Test, PortTextsAndPrefix)
{
    const struct {
        QString text;
        bool ok;
        int number;
        QString device;
    } cases[] = {
        {"ttyS0", true, 1, ""},       {"/dev/ttyS15", true, 16, ""}, {"7", true, 7, ""},
        {"/dev/pts/9", true, 3, "/dev/pts/9"}, {"ttyUSB0", true, 3, "ttyUSB0"},
        {"ttyS16", true, 3, "ttyS16"}, {"", false, 3, ""},         {"0", false, 3, ""},
        {"17", false, 3, ""},         {"tty\rS1", false, 3, ""},
    };
    for (const auto& c : cases) {
        int n = 3;
        QString device;
        EXPECT_EQ(CommSettings::parsePort(c.text, &n, &device), c.ok) << c.text.toStdString();
        if (c.ok) {
            EXPECT_EQ(n, c.number);
            EXPECT_EQ(device, c.device);
        }
    }
    Form4 w(link, ini);
    w.Form_Load();
    w.ComboPort->setCurrentText(" ");
    w.SSCommandAceptar->click();
    EXPECT_EQ(prompts.shown.value(0).text, GetS(106));
    EXPECT_NE(w.result(), QDialog::Accepted);
    EXPECT_EQ(read("Modem"), "1");

    w.ComboPort->setCurrentText("/dev/pts/9");
    w.MaskPrefijo->setText("0\r\nATZ");
    w.SSCommandAceptar->click();
    EXPECT_EQ(read("SerialDevice"), "/dev/pts/9");
    EXPECT_EQ(read("DialCode"), "0ATZ");
    EXPECT_EQ(link.state.portName(), "/dev/pts/9");
}

TEST_F(Form4Test, RefusedWhileADeviceOperationRuns)
{
    const QByteArray before = iniBytes();
    DeviceOperationGuard running;
    Form4 w(link, ini);
    w.Form_Load();
    w.OptionRs->setChecked(true);
    w.SSCommandAceptar->click();
    EXPECT_EQ(prompts.beeps, 1);
    EXPECT_EQ(iniBytes(), before);
    EXPECT_EQ(link.state.ConexionModem, 1);
}

TEST_F(Form4Test, AFailedWriteIsReported)
{
    const QString badIni = dir.filePath("missing-folder/nbx70.ini");
    Form4 w(link, badIni);
    w.Form_Load();
    w.SSCommandAceptar->click();
    ASSERT_EQ(prompts.shown.size(), 1);
    EXPECT_TRUE(prompts.shown[0].text.contains(badIni));
    EXPECT_EQ(w.result(), QDialog::Accepted); // the settings still apply to this session
}

// Types one character through a key event carrying its text.
void typeChar(QWidget* w, QChar c)
{
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
    QApplication::sendEvent(w, &press);
}

TEST(PasswordDialogs, Form11)
{
    ScriptedPrompter prompts;
    LinkState st;
    st.PasswordActual = "1234";
    {
        Form11 w(st);
        w.Form_Load();
        EXPECT_EQ(w.Text1->text(), "1234");
        EXPECT_EQ(w.Label1->text(), GetS(108));
        EXPECT_EQ(w.Label1->buddy(), w.Text1);
        w.Text1->clear();
        QTest::keyClicks(w.Text1, "abcde");
        EXPECT_EQ(w.Text1->text(), "abcd");
        w.Text1->clear();
        typeChar(w.Text1, QChar(0x0436)); // not in Windows-1252
        typeChar(w.Text1, QChar(0x00F1));
        EXPECT_EQ(w.Text1->text(), QString(QChar(0x00F1)));
        w.Text1->setText("ab");
        w.CommandAceptar->click();
        EXPECT_EQ(st.PasswordActual, "ab  ");
        EXPECT_FALSE(st.PasswordCancelada);
        EXPECT_EQ(w.result(), QDialog::Accepted);
    }
    {
        Form11 w(st);
        w.Form_Load();
        w.show();
        w.close(); // the close box cancels
        EXPECT_TRUE(st.PasswordCancelada);
        EXPECT_EQ(st.PasswordActual, "ab  ");
    }
}

TEST(PasswordDialogs, Form12)
{
    ScriptedPrompter prompts;
    LinkState st;
    st.PasswordActual = "1234";
    {
        Form12 w(st);
        w.Form_Load();
        w.show();
        w.activateWindow();
        EXPECT_EQ(w.Label5->text(), GetS(112));
        EXPECT_EQ(w.Label4->text(), GetS(113));
        w.Text5->setText("xy");
        w.Text4->setText("xz");
        w.Text4->setFocus();
        w.Text4_LostFocus();
        EXPECT_TRUE(prompts.sawText(GetS(114)));
        EXPECT_EQ(w.focusWidget(), w.Text5);
        w.CommandAceptar->click();
        EXPECT_EQ(st.NuevaPassword, kCancelarPassword);
        EXPECT_TRUE(prompts.sawText(GetS(109)));
    }
    {
        Form12 w(st);
        w.Form_Load();
        w.show();
        w.Text5->setText("xy");
        w.Text4->setText("xy");
        w.close();
        EXPECT_EQ(st.NuevaPassword, kCancelarPassword);
    }
}

} // namespace
} // namespace nbx::test
