#include "support/ScriptedPrompter.h"

#include "link/LinkState.h"
#include "link/Passwords.h"
#include "localisation/Strings.h"

#include <gtest/gtest.h>

namespace nbx::test {
namespace {

TEST(Passwords, Padding)
{
    EXPECT_EQ(padPassword(""), "");
    EXPECT_EQ(padPassword("a"), "a   ");
    EXPECT_EQ(padPassword("ab"), "ab  ");
    EXPECT_EQ(padPassword("abc"), "abc ");
    EXPECT_EQ(padPassword("abcd"), "abcd");
    EXPECT_EQ(padPassword(kCancelarPassword), kCancelarPassword);
}

TEST(Passwords, EntryLimits)
{
    EXPECT_TRUE(isValidPasswordText(QString::fromUtf8("añ€1")));
    EXPECT_FALSE(isValidPasswordText("abcde"));
    EXPECT_FALSE(isValidPasswordText(QString::fromUtf8("ж")));
    EXPECT_FALSE(isValidPasswordText("a\tb"));
}

TEST(Passwords, CurrentPasswordDialog)
{
    ScriptedPrompter prompts;
    LinkState st;
    st.PasswordActual = "1234";
    st.NuevaPassword = "zz  ";
    EXPECT_EQ(CurrentPasswordLogic::load(st), "1234"); // offered again
    EXPECT_TRUE(st.NuevaPassword.isEmpty());
    CurrentPasswordLogic::accept(st, "ab");
    EXPECT_EQ(st.PasswordActual, "ab  ");
    EXPECT_FALSE(st.PasswordCancelada);

    CurrentPasswordLogic::load(st);
    CurrentPasswordLogic::accept(st, "");
    EXPECT_TRUE(st.PasswordCancelada);
    ASSERT_EQ(prompts.shown.size(), 1);
    EXPECT_EQ(prompts.shown[0].text, GetS(107));

    CurrentPasswordLogic::load(st);
    CurrentPasswordLogic::cancel(st);
    EXPECT_TRUE(st.PasswordCancelada);
}

TEST(Passwords, NewPasswordDialog)
{
    ScriptedPrompter prompts;
    LinkState st;
    const struct {
        QString current, newText, confirm;
        QString actual, nueva;
        long message;
    } cases[] = {
        {"1234", "xy", "xy", "1234", "xy  ", 0},
        {"1234", "xy", "xz", "1234", kCancelarPassword, 109},
        {"1234", "", "", "1234", kCancelarPassword, 109},
        {"", "xy", "xy", "", kCancelarPassword, 111},
    };
    for (const auto& c : cases) {
        prompts.shown.clear();
        NewPasswordLogic::load(st);
        NewPasswordLogic::accept(st, c.current, c.newText, c.confirm);
        EXPECT_EQ(st.PasswordActual, c.actual);
        EXPECT_EQ(st.NuevaPassword, c.nueva);
        if (c.message) {
            ASSERT_FALSE(prompts.shown.isEmpty());
            EXPECT_EQ(prompts.shown.last().text, GetS(c.message));
        } else {
            EXPECT_TRUE(prompts.shown.isEmpty());
        }
    }
}

TEST(Passwords, ConfirmedThenEditedIsNotTaken)
{
    ScriptedPrompter prompts;
    LinkState st;
    NewPasswordLogic::load(st);
    EXPECT_TRUE(NewPasswordLogic::confirmationLeft(st, "xy", "xy"));
    EXPECT_EQ(st.NuevaPassword, "xy");
    // The new password is edited again; the confirmation no longer matches at Aceptar.
    NewPasswordLogic::accept(st, "1234", "xyz", "xy");
    EXPECT_EQ(st.NuevaPassword, kCancelarPassword);
    EXPECT_TRUE(prompts.sawText(GetS(109)));

    prompts.shown.clear();
    EXPECT_FALSE(NewPasswordLogic::confirmationLeft(st, "ab", "ac"));
    EXPECT_EQ(prompts.shown.value(0).text, GetS(114));
}

} // namespace
} // namespace nbx::test
