// Password rules of the two password dialogs, without widgets, and the seam through which a
// link session asks for passwords.
#pragma once

#include <QString>

namespace nbx {

struct LinkState;

inline constexpr int kPasswordMaxLength = 4;

// Length 1 to 3 gets blanks up to 4; any other length is unchanged.
QString padPassword(const QString& p);

// At most four printable characters that Windows-1252 can carry.
bool isValidPasswordText(const QString& text);

// The current-password dialog (Form11).
struct CurrentPasswordLogic {
    // Load: the text box shows PasswordActual; NuevaPassword is emptied.
    static QString load(LinkState& st);
    // Aceptar: PasswordActual = padded text; empty shows GetS(107) and cancels.
    static void accept(LinkState& st, const QString& text);
    // Cancelar and the close box.
    static void cancel(LinkState& st);
};

// The password-change dialog (Form12).
struct NewPasswordLogic {
    static QString load(LinkState& st);
    // Leaving the confirmation box: false (after GetS(114)) when it differs from the new one.
    static bool confirmationLeft(LinkState& st, const QString& newText, const QString& confirmText);
    // Aceptar. The new password is taken only when the confirmation matches at this moment.
    static void accept(LinkState& st, const QString& current, const QString& newText,
                       const QString& confirmText, bool panelVisible = true);
    // Cancelar and the close box.
    static void cancel(LinkState& st);
};

// How a link session asks for passwords. The dialogs implement it; tests script it.
class PasswordAsker {
public:
    virtual ~PasswordAsker() = default;
    // Sets PasswordActual and PasswordCancelada.
    virtual void askCurrentPassword(LinkState& st) = 0;
    // Sets PasswordActual and NuevaPassword (kCancelarPassword when cancelled).
    virtual void askNewPassword(LinkState& st) = 0;
};

// The program-wide asker. Until one is installed every request is cancelled.
PasswordAsker& passwordAsker();
void setPasswordAsker(PasswordAsker* asker);

} // namespace nbx
