// Form11: asks the device's current password before an operation that changes the device.
#pragma once

#include "link/Passwords.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace nbx {

struct LinkState;

class Form11 : public QDialog {
    Q_OBJECT
public:
    explicit Form11(LinkState& state, QWidget* parent = nullptr);
    void Form_Load();
    int exec() override;

    QLabel* Label1;
    QLineEdit* Text1;
    QPushButton* CommandAceptar;
    QPushButton* CommandCancelar;

public slots:
    void CommandAceptar_Click();
    void CommandCancelar_Click();
    // The close box and Escape cancel.
    void reject() override;

private:
    LinkState& state_;
};

// The password dialogs as the link session's password asker.
class DialogPasswordAsker : public PasswordAsker {
public:
    void askCurrentPassword(LinkState& st) override;
    void askNewPassword(LinkState& st) override;
};

// Makes Form11 and Form12 the program's password asker (call once at start-up).
void installPasswordDialogs();

} // namespace nbx
