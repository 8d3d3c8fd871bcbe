#include "link/Passwords.h"

#include "common/Cp1252.h"
#include "common/Prompter.h"
#include "link/LinkState.h"
#include "localisation/Strings.h"

namespace nbx {

QString padPassword(const QString& p)
{
    if (p.size() >= 1 && p.size() <= 3)
        return p + QString(kPasswordMaxLength - p.size(), QLatin1Char(' '));
    return p;
}

bool isValidPasswordText(const QString& text)
{
    if (text.size() > kPasswordMaxLength)
        return false;
    for (QChar c : text) {
        if (!c.isPrint() || c.isSurrogate())
            return false;
        const QString one(c);
        if (cp1252ToUnicode(unicodeToCp1252(one)) != one)
            return false;
    }
    return true;
}

QString CurrentPasswordLogic::load(LinkState& st)
{
    st.NuevaPassword.clear();
    st.PasswordCancelada = false;
    return st.PasswordActual;
}

void CurrentPasswordLogic::accept(LinkState& st, const QString& text)
{
    st.PasswordActual = padPassword(text);
    if (st.PasswordActual.isEmpty()) {
        prompter().message(GetS(107), Prompter::Icon::Critical);
        st.PasswordCancelada = true;
    }
}

void CurrentPasswordLogic::cancel(LinkState& st) { st.PasswordCancelada = true; }

QString NewPasswordLogic::load(LinkState& st)
{
    st.NuevaPassword.clear();
    return st.PasswordActual;
}

bool NewPasswordLogic::confirmationLeft(LinkState& st, const QString& newText,
                                        const QString& confirmText)
{
    if (confirmText != newText) {
        prompter().message(GetS(114), Prompter::Icon::Critical);
        return false;
    }
    st.NuevaPassword = confirmText;
    return true;
}

void NewPasswordLogic::accept(LinkState& st, const QString& current, const QString& newText,
                              const QString& confirmText, bool panelVisible)
{
    st.PasswordActual = padPassword(current);
    if (!panelVisible) {
        st.NuevaPassword.clear();
    } else if (!newText.isEmpty() && newText == confirmText) {
        st.NuevaPassword = padPassword(newText);
    } else {
        prompter().message(GetS(109), Prompter::Icon::Critical);
        st.NuevaPassword = kCancelarPassword;
    }
    if (st.PasswordActual.isEmpty()) {
        st.NuevaPassword = kCancelarPassword;
        prompter().message(GetS(111), Prompter::Icon::Critical);
    }
}

void NewPasswordLogic::cancel(LinkState& st) { st.NuevaPassword = kCancelarPassword; }

namespace {
class CancellingAsker : public PasswordAsker {
public:
    void askCurrentPassword(LinkState& st) override { st.PasswordCancelada = true; }
    void askNewPassword(LinkState& st) override { st.NuevaPassword = kCancelarPassword; }
};
CancellingAsker g_cancelling;
PasswordAsker* g_asker = nullptr;
} // namespace

PasswordAsker& passwordAsker() { return g_asker ? *g_asker : g_cancelling; }
void setPasswordAsker(PasswordAsker* asker) { g_asker = asker; }

} // namespace nbx
