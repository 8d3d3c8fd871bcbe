// Form11: asks the device's current password before an operation that changes the device.
#include "shell/ui/Form11.h"

#include "common/Prompter.h"
#include "link/LinkState.h"
#include "localisation/Strings.h"
#include "shell/ui/Form12.h"
#include "shell/ui/PasswordBox.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace nbx {

Form11::Form11(LinkState& state, QWidget* parent) : QDialog(parent), state_(state)
{
    setObjectName(QStringLiteral("Form11"));
    setWindowTitle(QString::fromLatin1(kAppTitle));
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    setUpPasswordBox(Text1);
    Label1->setBuddy(Text1);
    CommandAceptar = new QPushButton(QStringLiteral("Aceptar"), this);
    CommandAceptar->setObjectName(QStringLiteral("CommandAceptar"));
    CommandAceptar->setDefault(true);
    CommandCancelar = new QPushButton(QStringLiteral("Cancelar"), this);
    CommandCancelar->setObjectName(QStringLiteral("CommandCancelar"));

    auto* row = new QHBoxLayout;
    row->addWidget(Label1);
    row->addWidget(Text1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(CommandAceptar);
    buttons->addWidget(CommandCancelar);
    auto* top = new QVBoxLayout(this);
    top->addLayout(row);
    top->addLayout(buttons);

    connect(CommandAceptar, &QPushButton::clicked, this, &Form11::CommandAceptar_Click);
    connect(CommandCancelar, &QPushButton::clicked, this, &Form11::CommandCancelar_Click);
}

void Form11::Form_Load()
{
    Label1->setText(GetS(108));
    Text1->setText(CurrentPasswordLogic::load(state_));
    Text1->selectAll();
    Text1->setFocus();
}

int Form11::exec()
{
    Form_Load();
    return QDialog::exec();
}

void Form11::CommandAceptar_Click()
{
    CurrentPasswordLogic::accept(state_, Text1->text());
    done(state_.PasswordCancelada ? Rejected : Accepted);
}

void Form11::CommandCancelar_Click() { reject(); }

void Form11::reject()
{
    CurrentPasswordLogic::cancel(state_);
    QDialog::reject();
}

void DialogPasswordAsker::askCurrentPassword(LinkState& st)
{
    Form11 dialog(st, QApplication::activeWindow());
    dialog.exec();
}

void DialogPasswordAsker::askNewPassword(LinkState& st)
{
    Form12 dialog(st, QApplication::activeWindow());
    dialog.exec();
}

void installPasswordDialogs()
{
    static DialogPasswordAsker asker;
    setPasswordAsker(&asker);
}

} // namespace nbx
