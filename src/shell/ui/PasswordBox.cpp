// The device password boxes of the password dialogs.
#include "shell/ui/PasswordBox.h"

#include "link/Passwords.h"

#include <QLineEdit>
#include <QValidator>

namespace nbx {

namespace {
class PasswordValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override
    {
        return isValidPasswordText(input) ? Acceptable : Invalid;
    }
};
} // namespace

void setUpPasswordBox(QLineEdit* box)
{
    box->setEchoMode(QLineEdit::Password);
    box->setMaxLength(kPasswordMaxLength);
    box->setValidator(new PasswordValidator(box));
}

} // namespace nbx
