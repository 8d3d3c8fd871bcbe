// The save question before leaving a sheet.
#include "programming/SavePrompt.h"
#include "common/Database.h"

#include "localisation/Strings.h"
#include "support/ScriptedPrompter.h"
#include "support/TempDatabase.h"

#include <QSqlQuery>

#include <gtest/gtest.h>

namespace nbx::test {

TEST(SavePrompt, AsksOnlyForAStoredSerialWithChanges)
{
    using A = Prompter::Answer;
    const struct {
        const char* serial;
        bool modified;
        A answer;
        bool asked;
        bool saved;
    } cases[] = {
        {"0", true, A::Ok, false, false},      {"0", false, A::Ok, false, false},
        {"", true, A::Ok, false, false},       {"12345", false, A::Ok, false, false},
        {"12345", true, A::Ok, true, true},    {"12345", true, A::Cancel, true, false},
    };
    for (const auto& tc : cases) {
        ScriptedPrompter p;
        p.answer(tc.answer);
        SheetValues s;
        s.numeroSerie = QString::fromLatin1(tc.serial);
        ProgrammingState st;
        st.fichaModificada = tc.modified;
        int saves = 0;
        EXPECT_EQ(Modificat(s, st, [&] { ++saves; return true; }), LeaveDecision::Proceed);
        EXPECT_EQ(p.shown.size(), tc.asked ? 1 : 0) << tc.serial << tc.modified;
        if (tc.asked) {
            EXPECT_EQ(p.shown[0].text, GetS(23));
            EXPECT_EQ(p.shown[0].icon, Prompter::Icon::Question);
            EXPECT_EQ(p.shown[0].buttons, Prompter::Buttons::OkCancel);
        }
        EXPECT_EQ(saves, tc.saved ? 1 : 0);
    }
}

TEST(SavePrompt, FailedSaveAbortsTheCallerAndKeepsTheFlag)
{
    TempDatabase db;
    ScriptedPrompter p;
    SheetRepository repo;
    SheetValues s;
    ProgrammingState st;
    CreaProgramacio(s, st, [] { return QDateTime(QDate(2026, 1, 1), QTime(0, 0)); }, QLocale::c());
    s.numeroSerie = QStringLiteral("4321");
    s.diaLocal.clear(); // the save refuses it
    p.answer(Prompter::Answer::Ok);
    EXPECT_EQ(Modificat(s, st, repo), LeaveDecision::Abort);
    EXPECT_TRUE(st.fichaModificada);
    ASSERT_EQ(p.shown.size(), 2);
    EXPECT_EQ(p.shown[1].icon, Prompter::Icon::Critical);

    s.diaLocal = QStringLiteral("80");
    // A database that refuses the write: what could not be done and why.
    QSqlQuery(mainDb()).exec("PRAGMA query_only = ON");
    p.answer(Prompter::Answer::Ok);
    EXPECT_EQ(Modificat(s, st, repo), LeaveDecision::Abort);
    QSqlQuery(mainDb()).exec("PRAGMA query_only = OFF");
    ASSERT_EQ(p.shown.size(), 4);
    EXPECT_TRUE(p.shown[3].text.startsWith(GetS(QStringLiteral("No se han podido guardar los cambios en la base de datos.")) + '\r'
                                           + GetS(QStringLiteral("La base de datos es de solo lectura."))))
        << p.shown[3].text.toStdString();

    p.answer(Prompter::Answer::Ok);
    EXPECT_EQ(Modificat(s, st, repo), LeaveDecision::Proceed);
    EXPECT_FALSE(st.fichaModificada);
    EXPECT_TRUE(repo.exists(4321));
}

TEST(SavePrompt, GrabarAsksWhateverTheFlag)
{
    TempDatabase db;
    ScriptedPrompter p;
    SheetRepository repo;
    SheetValues s;
    ProgrammingState st;
    CreaProgramacio(s, st, [] { return QDateTime(QDate(2026, 1, 1), QTime(0, 0)); }, QLocale::c());
    EXPECT_FALSE(GrabarConConfirmacion(s, st, repo)); // serial 0: nothing
    EXPECT_TRUE(p.shown.isEmpty());
    s.numeroSerie = QStringLiteral("99");
    st.fichaModificada = false;
    p.answer(Prompter::Answer::Cancel);
    EXPECT_FALSE(GrabarConConfirmacion(s, st, repo));
    EXPECT_EQ(p.shown.size(), 1);
    EXPECT_FALSE(repo.exists(99));
    p.answer(Prompter::Answer::Ok);
    EXPECT_TRUE(GrabarConConfirmacion(s, st, repo));
    EXPECT_TRUE(repo.exists(99));
}

} // namespace nbx::test
