// Form12: asks the device's current password and a new one, twice, for the password change.
#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace nbx {

struct LinkState;

class Form12 : public QDialog {
    Q_OBJECT
public:
    explicit Form12(LinkState& state, QWidget* parent = nullptr);
    void Form_Load();
    int exec() override;

    QLabel* Label1;
    QLineEdit* Text1;  // current password
    QFrame* SSPanel1;
    QLabel* Label5;
    QLineEdit* Text5;  // new password
    QLabel* Label4;
    QLineEdit* Text4;  // confirmation
    QPushButton* CommandAceptar;
    QPushButton* CommandCancelar;

public slots:
    void Text1_Return();
    void Text5_Return();
    void Text4_LostFocus();
    void CommandAceptar_Click();
    void CommandCancelar_Click();
    // The close box and Escape cancel.
    void reject() override;

private:
    LinkState& state_;
};

} // namespace nbx
