// Pictures of the record window with downloaded data and of the range dialog, in Spanish and in
// English, for a person to look at. Runs only when NBX70_SCREENSHOT_DIR names a folder.
#include "link/Link.h"
#include "localisation/LangDesk.h"
#include "nbx70-sim/SimRecords.h"
#include "nbx70-sim/Simulator.h"
#include "records/ui/Form5.h"
#include "records/ui/Form8.h"
#include "records/ui/NamedCalendar.h"
#include "support/LinkTestSupport.h"
#include "support/ScriptedPrompter.h"
#include "support/TempDatabase.h"

#include <QDir>
#include <QSqlQuery>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace nbx::test {
namespace {

void shoot(const QString& dir, const QString& suffix)
{
    Form5 f;
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    f.Form_Load();
    QTest::qWait(50);
    ASSERT_TRUE(f.grab().save(QDir(dir).filePath(QStringLiteral("form5_%1.png").arg(suffix))));
    Form8 d;
    d.Form_Load(QDateTime(QDate(2024, 5, 14), QTime(10, 30), Qt::UTC), std::nullopt);
    d.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
    ASSERT_TRUE(d.grab().save(QDir(dir).filePath(QStringLiteral("form8_%1.png").arg(suffix))));
    d.CalendarioIni->click();
    QTest::qWait(20);
    ASSERT_TRUE(d.calendarIni->grab().save(QDir(dir).filePath(QStringLiteral("form8_calendar_%1.png").arg(suffix))));
}

TEST(Form5Screenshot, SpanishAndEnglishWithDownloadedData)
{
    const QString dir = qEnvironmentVariable("NBX70_SCREENSHOT_DIR");
    if (dir.isEmpty())
        GTEST_SKIP() << "NBX70_SCREENSHOT_DIR not set";
    TempDatabase db;
    ScriptedPrompter prompts;
    QSqlQuery(mainDb()).exec(QStringLiteral("INSERT INTO Programacion (LNumeroSerie, TLocal, TVersion, DFecha) "
                                            "VALUES (123456, 'Sala Barcelona', '2.1', '2024-02-03')"));
    sim::Simulator sim;
    QString error;
    ASSERT_TRUE(sim.start(&error)) << error.toStdString();
    const QDateTime clock(QDate(2024, 5, 14), QTime(10, 30), Qt::UTC);
    sim.withRecords([&](sim::RecordDevice& r) {
        r.config.clock = clock;
        r.config.intervalCount = 300;
        r.config.sessionCount = 8;
        r.config.erasureDays = {QDateTime(QDate(2024, 4, 1), QTime(9, 5), Qt::UTC)};
        r.config.reprogrammingDays = {QDateTime(QDate(2024, 3, 15), QTime(10, 5), Qt::UTC)};
    });
    Link& link = defaultLink();
    const LinkTiming saved = link.timing;
    link.timing = shortLinkTiming();
    link.state.SerialDevice = sim.portPath();
    link.state.NumeroSerieEqp = 123456;
    {
        Form5 f;
        f.setClock([&] { return clock; });
        f.setRangeAsker([&](RangoFechas& r) {
            r = RangoFechas::fromMoments(clock.addDays(-20), clock);
            return true;
        });
        f.Form_Load();
        f.SSCommandRecibir->click();
    }
    link.state.SerialDevice.clear();
    link.timing = saved;
    sim.stop();

    shoot(dir, QStringLiteral("es"));
    QString name = QStringLiteral("Language.db");
    ASSERT_TRUE(SetupLanguage(name, QStringLiteral("English"), langDesk(), {QStringLiteral(NBX70_SOURCE_RESOURCES)}));
    shoot(dir, QStringLiteral("en"));
    QString none;
    SetupLanguage(none, QString(), langDesk());
}

} // namespace
} // namespace nbx::test
