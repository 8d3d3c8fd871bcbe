// Form4: the communication settings window (port, cable or modem, tone or pulse, dial prefix).
#include "shell/ui/Form4.h"

#include "common/AppPaths.h"
#include "common/Prompter.h"
#include "link/CommSettings.h"
#include "link/Link.h"
#include "localisation/ui/TranslateForm.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace nbx {

Form4::Form4(QWidget* parent) : Form4(defaultLink(), QString(), parent) {}

Form4::Form4(Link& link, const QString& iniFile, QWidget* parent)
    : QDialog(parent), link_(link), iniFile_(iniFile)
{
    build();
}

void Form4::build()
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QString::fromLatin1(kAppTitle));

    ComboPort = new QComboBox(this);
    ComboPort->setObjectName(QStringLiteral("ComboPort"));
    ComboPort->setEditable(true); // a device path (a USB adapter, the simulator) may be typed
    ComboPort->setInsertPolicy(QComboBox::NoInsert);
    LabelPort = new QLabel(QStringLiteral("COM"), this);
    LabelPort->setObjectName(QStringLiteral("LabelPort"));
    LabelPort->setBuddy(ComboPort);

    auto* link = new QGroupBox(this);
    link->setObjectName(QStringLiteral("FrameConexion"));
    OptionRs = new QRadioButton(QStringLiteral("RS-232"), link);
    OptionRs->setObjectName(QStringLiteral("OptionRs"));
    OptionModem = new QRadioButton(QStringLiteral("Módem"), link);
    OptionModem->setObjectName(QStringLiteral("OptionModem"));
    auto* linkLayout = new QVBoxLayout(link);
    linkLayout->addWidget(OptionRs);
    linkLayout->addWidget(OptionModem);

    auto* dial = new QGroupBox(this);
    dial->setObjectName(QStringLiteral("FrameMarcado"));
    OptionTonos = new QRadioButton(QStringLiteral("Tonos"), dial);
    OptionTonos->setObjectName(QStringLiteral("OptionTonos"));
    OptionPulsos = new QRadioButton(QStringLiteral("Pulsos"), dial);
    OptionPulsos->setObjectName(QStringLiteral("OptionPulsos"));
    auto* dialLayout = new QVBoxLayout(dial);
    dialLayout->addWidget(OptionTonos);
    dialLayout->addWidget(OptionPulsos);

    MaskPrefijo = new QLineEdit(this);
    MaskPrefijo->setObjectName(QStringLiteral("MaskPrefijo"));
    MaskPrefijo->setMaxLength(20);
    LabelPrefijo = new QLabel(QStringLiteral("Prefijo:"), this);
    LabelPrefijo->setObjectName(QStringLiteral("LabelPrefijo"));
    LabelPrefijo->setBuddy(MaskPrefijo);

    SSCommandAceptar = new QPushButton(QStringLiteral("Aceptar"), this);
    SSCommandAceptar->setObjectName(QStringLiteral("SSCommandAceptar"));
    SSCommandAceptar->setDefault(true);
    SSCommandExit = new QPushButton(QStringLiteral("Cancelar"), this);
    SSCommandExit->setObjectName(QStringLiteral("SSCommandExit"));

    auto* form = new QFormLayout;
    form->addRow(LabelPort, ComboPort);
    form->addRow(LabelPrefijo, MaskPrefijo);
    auto* options = new QHBoxLayout;
    options->addWidget(link);
    options->addWidget(dial);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(SSCommandAceptar);
    buttons->addWidget(SSCommandExit);
    auto* top = new QVBoxLayout(this);
    top->addLayout(form);
    top->addLayout(options);
    top->addLayout(buttons);

    connect(SSCommandAceptar, &QPushButton::clicked, this, &Form4::SSCommandAceptar_Click);
    connect(SSCommandExit, &QPushButton::clicked, this, &Form4::SSCommandExit_Click);
}

void Form4::Form_Load()
{
    TranslateForm(this);
    setWindowTitle(QString::fromLatin1(kAppTitle));
    const CommChoice c = CommSettings::load(link_.state);
    ComboPort->clear();
    ComboPort->addItems(CommSettings::portItems(CommSettings::detectedPorts()));
    ComboPort->setCurrentText(c.port);
    (c.modem ? OptionModem : OptionRs)->setChecked(true);
    (c.tone ? OptionTonos : OptionPulsos)->setChecked(true);
    MaskPrefijo->setText(c.prefix);
}

int Form4::exec()
{
    Form_Load();
    return QDialog::exec();
}

void Form4::SSCommandAceptar_Click()
{
    CommChoice c;
    c.port = ComboPort->currentText();
    c.modem = OptionModem->isChecked();
    c.tone = !OptionPulsos->isChecked();
    c.prefix = MaskPrefijo->text();
    if (!CommSettings::accept(link_, c, iniFile_.isEmpty() ? AppPaths::configFile() : iniFile_)) {
        ComboPort->setFocus();
        return;
    }
    accept();
}

void Form4::SSCommandExit_Click() { reject(); }

} // namespace nbx
