// The range dialog: defaults, the refusal of an empty range, and every way of leaving it.
#include "localisation/LangDesk.h"
#include "localisation/Strings.h"
#include "records/PendingDownload.h"
#include "records/RecordsRepository.h"
#include "records/RecordsState.h"
#include "records/ui/Form8.h"
#include "records/ui/NamedCalendar.h"
#include "support/ScriptedPrompter.h"

#include <QPushButton>
#include <QToolButton>
#include <gtest/gtest.h>

namespace nbx::test {
namespace {

const QDateTime kNow(QDate(2024, 3, 31), QTime(2, 30, 41), Qt::UTC); // the spring-forward hour

TEST(RangeDialog, DefaultsRefusalAndLeaving)
{
    ScriptedPrompter prompts;
    const DefaultRange none = defaultRange(kNow, std::nullopt);
    EXPECT_EQ(none.to, QDateTime(QDate(2024, 3, 31), QTime(2, 30), Qt::UTC));
    EXPECT_EQ(none.from, QDateTime(QDate(2024, 1, 31), QTime(2, 30), Qt::UTC));
    const QDateTime newest(QDate(2024, 3, 30), QTime(23, 45), Qt::UTC);
    EXPECT_EQ(defaultRange(kNow, newest).from, newest);

    RecordsState& st = recordsState();
    const RangoFechas before = RangoFechas::fromMoments(newest.addDays(-1), newest);
    st.rangoFechas = before;
    {
        Form8 d;
        d.Form_Load(kNow, newest);
        EXPECT_EQ(d.MaskFechaFi->dateTime(), none.to); // 02:30 exists: no zone shifts it
        d.MaskFechaIni->setDateTime(d.MaskFechaFi->dateTime().addSecs(30)); // same minute
        d.CommandVolver->click();
        ASSERT_EQ(prompts.shown.size(), 1);
        EXPECT_EQ(prompts.shown[0].text, GetS(24));
        EXPECT_EQ(prompts.shown[0].icon, Prompter::Icon::None);
        EXPECT_EQ(st.rangoFechas, before);
        EXPECT_EQ(d.result(), 0);
        d.reject(); // the close box
        EXPECT_TRUE(st.rangoCancelado);
        EXPECT_EQ(st.rangoFechas, before);
    }
    {
        Form8 d;
        d.Form_Load(kNow, newest);
        d.CommandVolver->click();
        EXPECT_FALSE(st.rangoCancelado);
        EXPECT_EQ(st.rangoFechas, RangoFechas::fromMoments(newest, none.to));
        EXPECT_EQ(d.MaskFechaIni->minimumDate().year(), 2000);
        EXPECT_EQ(d.MaskFechaIni->maximumDate().year(), 2049);
    }
}

// After a complete download from FROM to TO the mark of records that may be missing goes only
// when what it covered reached the mark and the newest stored interval (where the default range
// begins).
TEST(RangeDialog, TheMarkGoesOnlyWithADownloadThatCoveredIt)
{
    auto at = [](int day, int hour) { return QDateTime(QDate(2024, 5, day), QTime(hour, 0), Qt::UTC); };
    using M = std::optional<QDateTime>;
    const struct {
        const char* what;
        M before;
        QDateTime from, to, received;
        M newest, after;
    } cases[] = {
        {"no mark", M{}, at(10, 0), at(14, 10), at(14, 10), at(14, 9), M{}},
        {"from the mark to now", at(5, 0), at(5, 0), at(14, 10), at(14, 10), at(14, 9), M{}},
        {"FROM after the mark", at(5, 0), at(8, 0), at(14, 10), at(14, 10), at(14, 9), at(5, 0)},
        {"TO before the newest interval", at(5, 0), at(1, 0), at(9, 0), at(9, 0), at(14, 9), at(9, 0)},
        {"TO before the mark", at(5, 0), at(1, 0), at(3, 0), at(3, 0), at(14, 9), at(5, 0)},
        {"TO before the mark, nothing received", at(5, 0), at(1, 0), at(3, 0), {}, at(14, 9), at(5, 0)},
        {"TO before the mark, nothing after it", at(5, 0), at(1, 0), at(3, 0), {}, at(4, 0), M{}},
        {"records after TO received", at(5, 0), at(1, 0), at(3, 0), at(14, 10), at(14, 9), M{}},
        {"no interval stored", at(5, 0), at(1, 0), at(3, 0), {}, M{}, M{}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(pendingAfterComplete(c.before, c.from, c.to, c.received, c.newest), c.after);
    }
}

TEST(RangeDialog, CalendarsNameDaysAndMonthsInTheProgramsLanguage)
{
    ScriptedPrompter prompts;
    QString name = QStringLiteral("Language.db");
    ASSERT_TRUE(SetupLanguage(name, QStringLiteral("English"), langDesk(), {QStringLiteral(NBX70_SOURCE_RESOURCES)}));
    {
        Form8 d;
        d.Form_Load(kNow, std::nullopt);
        for (NamedCalendar* c : {d.calendarIni, d.calendarFi}) {
            EXPECT_EQ(c->headerTexts().first(), GetS(190));
            EXPECT_EQ(c->headerTexts().at(1), GetS(184));
        }
        EXPECT_NE(GetS(184), QStringLiteral("Lun"));
        d.CalendarioIni->click();
        EXPECT_EQ(d.calendarIni->title(), GetS(172) + " 2024"); // FROM is in January
        d.calendarIni->dayButton(15)->click();
        EXPECT_EQ(d.MaskFechaIni->dateTime(), QDateTime(QDate(2024, 1, 15), QTime(2, 30), Qt::UTC));
        EXPECT_FALSE(d.calendarIni->isVisible());
    }
    QString none;
    SetupLanguage(none, QString(), langDesk());
}

} // namespace
} // namespace nbx::test
