// Form12: asks the device's current password and a new one, twice, for the password change.
#include "shell/ui/Form12.h"

#include "common/Prompter.h"
#include "link/LinkState.h"
#include "link/Passwords.h"
#include "localisation/Strings.h"
#include "shell/ui/PasswordBox.h"

#include <QFormLayout>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace nbx {

Form12::Form12(LinkState& state, QWidget* parent) : QDialog(parent), state_(state)
{
    setObjectName(QStringLiteral("Form12"));
    setWindowTitle(QString::fromLatin1(kAppTitle));
    auto box = [this](const char* name) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QString::fromLatin1(name));
        setUpPasswordBox(e);
        return e;
    };
    auto label = [](const char* name, QWidget* parent, QLineEdit* buddy) {
        auto* l = new QLabel(parent);
        l->setObjectName(QString::fromLatin1(name));
        l->setBuddy(buddy);
        return l;
    };
    Text1 = box("Text1");
    Label1 = label("Label1", this, Text1);
    SSPanel1 = new QFrame(this);
    SSPanel1->setObjectName(QStringLiteral("SSPanel1"));
    Text5 = box("Text5");
    Text5->setParent(SSPanel1);
    Label5 = label("Label5", SSPanel1, Text5);
    Text4 = box("Text4");
    Text4->setParent(SSPanel1);
    Label4 = label("Label4", SSPanel1, Text4);
    CommandAceptar = new QPushButton(QStringLiteral("Aceptar"), this);
    CommandAceptar->setObjectName(QStringLiteral("CommandAceptar"));
    CommandAceptar->setAutoDefault(false);
    CommandCancelar = new QPushButton(QStringLiteral("Cancelar"), this);
    CommandCancelar->setObjectName(QStringLiteral("CommandCancelar"));
    CommandCancelar->setAutoDefault(false);

    auto* current = new QFormLayout;
    current->addRow(Label1, Text1);
    auto* panel = new QFormLayout(SSPanel1);
    panel->addRow(Label5, Text5);
    panel->addRow(Label4, Text4);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(CommandAceptar);
    buttons->addWidget(CommandCancelar);
    auto* top = new QVBoxLayout(this);
    top->addLayout(current);
    top->addWidget(SSPanel1);
    top->addLayout(buttons);
    setTabOrder(Text1, Text5);
    setTabOrder(Text5, Text4);

    connect(Text1, &QLineEdit::returnPressed, this, &Form12::Text1_Return);
    connect(Text5, &QLineEdit::returnPressed, this, &Form12::Text5_Return);
    connect(Text4, &QLineEdit::editingFinished, this, &Form12::Text4_LostFocus);
    connect(CommandAceptar, &QPushButton::clicked, this, &Form12::CommandAceptar_Click);
    connect(CommandCancelar, &QPushButton::clicked, this, &Form12::CommandCancelar_Click);
}

void Form12::Form_Load()
{
    Label1->setText(GetS(108));
    Label5->setText(GetS(112));
    Label4->setText(GetS(113));
    Text1->setText(NewPasswordLogic::load(state_));
    Text1->setFocus();
}

int Form12::exec()
{
    Form_Load();
    return QDialog::exec();
}

void Form12::Text1_Return()
{
    if (SSPanel1->isVisibleTo(this))
        Text5->setFocus();
    else
        CommandAceptar_Click();
}

void Form12::Text5_Return() { Text4->setFocus(); }

void Form12::Text4_LostFocus()
{
    if (!NewPasswordLogic::confirmationLeft(state_, Text5->text(), Text4->text()))
        Text5->setFocus();
}

void Form12::CommandAceptar_Click()
{
    NewPasswordLogic::accept(state_, Text1->text(), Text5->text(), Text4->text(),
                             SSPanel1->isVisibleTo(this));
    state_.PasswordActual = padPassword(state_.PasswordActual);
    state_.NuevaPassword = padPassword(state_.NuevaPassword);
    done(state_.NuevaPassword == kCancelarPassword ? Rejected : Accepted);
}

void Form12::CommandCancelar_Click() { reject(); }

void Form12::reject()
{
    NewPasswordLogic::cancel(state_);
    QDialog::reject();
}

} // namespace nbx
