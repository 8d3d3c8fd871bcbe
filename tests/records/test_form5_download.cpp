// Downloads through the real record window, over the program's own link on a pseudo-terminal
// against the device simulator: one test per road, the failures in a table.
#include "common/Database.h"
#include "link/Link.h"
#include "localisation/LangDesk.h"
#include "localisation/Strings.h"
#include "nbx70-sim/SimFrame.h"
#include "nbx70-sim/SimRecords.h"
#include "nbx70-sim/Simulator.h"
#include "programming/SheetDefaults.h"
#include "programming/SheetRepository.h"
#include "programming/ui/Form2.h"
#include "records/PendingDownload.h"
#include "records/RecordStore.h"
#include "records/RecordTransfer.h"
#include "records/RecordsState.h"
#include "records/ui/Form5.h"
#include "records/ui/Form8.h"
#include "records/ui/RecordGrid.h"
#include "support/FakeSerialPort.h"
#include "support/LinkTestSupport.h"
#include "support/ScriptedPrompter.h"
#include "support/TempDatabase.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <functional>
#include <gtest/gtest.h>

namespace nbx::test {
namespace {

using Answer = Prompter::Answer;

const QDateTime kClock(QDate(2024, 5, 14), QTime(10, 30), Qt::UTC);
const QDateTime kFrom(QDate(2024, 5, 12), QTime(0, 0), Qt::UTC);

int count(const QString& sql)
{
    QSqlQuery q(mainDb());
    return q.exec(sql) && q.next() ? q.value(0).toInt() : -1;
}

QByteArray hex(const char* h) { return QByteArray::fromHex(h); }

class Form5Download : public ::testing::Test {
protected:
    void SetUp() override
    {
        QSqlQuery q(mainDb());
        for (const char* sql : {"INSERT INTO Programacion (LNumeroSerie, TLocal, TTelefono, DFecha) VALUES (111111, 'Bar Uno', '', '2024-01-02')",
                                "INSERT INTO Programacion (LNumeroSerie, TLocal, TTelefono, DFecha) VALUES (123456, 'Sala Barcelona', '5551234', '2024-02-03')"})
            ASSERT_TRUE(q.exec(QString::fromLatin1(sql)));
        QString error;
        ASSERT_TRUE(sim.start(&error)) << error.toStdString();
        sim.withRecords([](sim::RecordDevice& r) {
            r.config.clock = kClock;
            r.config.intervalCount = 20;
            r.config.tMinutes = 15;
            r.config.sessionCount = 5;
            r.config.erasureDays = {QDateTime(QDate(2024, 4, 1), QTime(9, 5), Qt::UTC)};
            r.config.reprogrammingDays = {QDateTime(QDate(2024, 3, 15), QTime(10, 5), Qt::UTC),
                                          QDateTime(QDate(2024, 4, 20), QTime(18, 0), Qt::UTC)};
        });
        Link& link = defaultLink();
        savedTiming = link.timing;
        link.timing = shortLinkTiming();
        link.state.SerialDevice = sim.portPath();
        link.state.ConexionModem = 0;
        link.state.NumeroSerieEqp = 123456;
        form.setClock([] { return kClock; });
        form.setRangeAsker([](RangoFechas& r) {
            r = RangoFechas::fromMoments(kFrom, kClock);
            return true;
        });
        form.Form_Load();
    }
    void TearDown() override
    {
        defaultLink().colgar();
        defaultLink().timing = savedTiming;
        defaultLink().state.SerialDevice.clear();
        defaultLink().state.ConexionModem = 0;
        sim.stop();
    }
    int criticals() const
    {
        int n = 0;
        for (const auto& m : prompts.shown)
            n += m.icon == Prompter::Icon::Critical;
        return n;
    }
    void expectIdle()
    {
        EXPECT_TRUE(form.SSCommandExit->isEnabled());
        EXPECT_TRUE(form.SSCommandRecibir->isEnabled());
        EXPECT_TRUE(form.SSCommandAnterior->isEnabled());
        EXPECT_FALSE(form.SSCommandStop->isVisibleTo(&form));
        EXPECT_FALSE(form.SSPanel1->isVisibleTo(&form));
        EXPECT_FALSE(defaultLink().port.isOpen());
        EXPECT_FALSE(DeviceOperationGuard::running());
        EXPECT_FALSE(defaultLink().state.PararRecepcion);
    }
    // The simulator reads on its own thread: the last byte may need a moment to arrive.
    bool endsWithCan()
    {
        return QTest::qWaitFor([&] { return sim.bytesReceived().endsWith(char(0x18)); }, 10000);
    }
    QByteArray rangeRequest(uint8_t command) const
    {
        return requestFrame(command, RangoFechas::fromMoments(kFrom, kClock));
    }
    // A history long enough to act during its download: 400 intervals, 5 ms apart.
    void slowHistory()
    {
        sim.withRecords([](sim::RecordDevice& r) {
            r.config.intervalCount = 400;
            r.config.tMinutes = 2;
            r.config.recordDelayMs = 5;
        });
    }
    // Recibir, with `during` called every few milliseconds while the download runs (the frames
    // received so far as the window's counter shows them).
    void receiveWhile(const std::function<void(int frames)>& during)
    {
        QTimer poll;
        poll.callOnTimeout([&] { during(form.Frame17->text().toInt()); });
        form.show();
        poll.start(2);
        form.SSCommandRecibir->click();
        poll.stop();
    }
    // Recibir, then Stop once `frames` records have come in.
    void receiveAndStopAfter(int frames)
    {
        receiveWhile([&](int n) {
            if (n >= frames && form.SSCommandStop->isVisible())
                form.SSCommandStop->click();
        });
    }

    TempDatabase db;
    ScriptedPrompter prompts;
    sim::Simulator sim{[] {
        sim::DeviceConfig c;
        c.serial = "123456";
        return c;
    }()};
    LinkTiming savedTiming;
    Form5 form;
};

TEST_F(Form5Download, FullDownloadThenAgainUpdatesInsteadOfDoubling)
{
    form.SSCommandRecibir->click();
    ASSERT_FALSE(prompts.shown.isEmpty());
    EXPECT_EQ(prompts.shown.first().text, GetS(15));
    EXPECT_EQ(prompts.shown.last().text, GetS(61));
    EXPECT_EQ(criticals(), 0);

    // The program's bytes, exactly: CAN, identification, totals, dates, the interval request, one
    // ACK per record (none for the end frame), the session request, two ACKs and CAN at FROM.
    const QByteArray expected = hex("18") + hex("020006010306") + hex("020006020305") + hex("020006030304")
        + rangeRequest(0x05) + QByteArray(20, char(0x06)) + rangeRequest(0x06) + QByteArray(2, char(0x06)) + hex("18");
    // The simulator reads on its own thread: give it the last bytes.
    (void)QTest::qWaitFor([&] { return sim.bytesReceived().size() >= expected.size(); }, 10000);
    EXPECT_EQ(sim.bytesReceived().toHex(' '), expected.toHex(' '));

    EXPECT_EQ(count("SELECT COUNT(*) FROM Intervalos WHERE LNumeroSerie=123456"), 20);
    EXPECT_EQ(count("SELECT COUNT(*) FROM Sesiones WHERE LNumeroSerie=123456"), 2);
    EXPECT_EQ(count("SELECT COUNT(*) FROM DiaBorrado"), 1);
    EXPECT_EQ(count("SELECT COUNT(*) FROM DiaReprogramado"), 2);
    EXPECT_EQ(count("SELECT LPasadasLocal FROM Programacion WHERE LNumeroSerie=123456"), 1520);
    EXPECT_EQ(form.LbPasadasLocal->text(), "1520");
    EXPECT_EQ(form.MaskFechaTotales->text(), "14/05/24");
    EXPECT_EQ(form.Frame17->text(), "24"); // 21 interval frames and 3 session frames
    EXPECT_EQ(form.TDBGridIntervalos->model()->rowCount(), 20);
    expectIdle();

    sim.withRecords([](sim::RecordDevice& r) { r.config.totals[0] = 1600; });
    prompts.shown.clear();
    form.SSCommandRecibir->click();
    EXPECT_EQ(prompts.shown.last().text, GetS(61));
    EXPECT_EQ(count("SELECT COUNT(*) FROM Intervalos"), 20);
    EXPECT_EQ(count("SELECT COUNT(*) FROM Sesiones"), 2);
    EXPECT_EQ(count("SELECT COUNT(*) FROM DiaReprogramado"), 2);
    EXPECT_EQ(count("SELECT LPasadasLocal FROM Programacion WHERE LNumeroSerie=123456"), 1600);
    expectIdle();
}

TEST_F(Form5Download, TheOpenWindowLeavesCheckpointsFree)
{
    sim.withRecords([](sim::RecordDevice& r) {
        r.config.intervalCount = 600;
        r.config.tMinutes = 2;
    });
    form.SSCommandRecibir->click();
    EXPECT_EQ(prompts.shown.last().text, GetS(61));
    EXPECT_EQ(form.TDBGridIntervalos->model()->rowCount(), 600);
    form.TDBGridIntervalos->model()->index(599, 1).data(); // the oldest rows read too
    QSqlQuery q(mainDb());
    ASSERT_TRUE(q.exec("PRAGMA wal_checkpoint")) << q.lastError().text().toStdString();
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toInt(), 0); // not busy
    EXPECT_GT(q.value(1).toInt(), 0);
    EXPECT_EQ(q.value(2).toInt(), q.value(1).toInt()); // the whole log written back
}

TEST_F(Form5Download, StopInTheMiddleKeepsWhatWasStored)
{
    slowHistory();
    receiveAndStopAfter(6); // a few records came in (the window's counter moves)
    EXPECT_FALSE(prompts.sawText(GetS(61)));
    EXPECT_EQ(criticals(), 0);
    const int stored = count("SELECT COUNT(*) FROM Intervalos");
    EXPECT_GT(stored, 3);
    EXPECT_LT(stored, 400);
    EXPECT_TRUE(endsWithCan()); // CAN ends the stream
    EXPECT_FALSE(sim.bytesReceived().contains(rangeRequest(0x06)));
    EXPECT_EQ(pendingFrom(mainDb(), 123456), kFrom); // the next default range reaches back to FROM
    expectIdle();
}

// The last group is committed on Stop too; a commit that fails says so, once, and says what it lost.
TEST_F(Form5Download, AFailedCommitOnStopIsShownOnce)
{
    slowHistory();
    // Every group written from now on fails at its COMMIT (a deferred foreign key left unmet).
    QSqlQuery q(mainDb());
    for (const char* sql : {"PRAGMA foreign_keys=ON", "CREATE TEMP TABLE parent (id INTEGER PRIMARY KEY)",
                            "CREATE TEMP TABLE child (p INTEGER REFERENCES parent(id) DEFERRABLE INITIALLY DEFERRED)",
                            "CREATE TEMP TRIGGER orphan AFTER INSERT ON main.Intervalos BEGIN INSERT INTO child VALUES (1); END"})
        ASSERT_TRUE(q.exec(QString::fromLatin1(sql))) << sql;
    receiveAndStopAfter(3);
    ASSERT_EQ(criticals(), 1);
    EXPECT_TRUE(prompts.shown.last().text.contains("FOREIGN KEY")) << prompts.shown.last().text.toStdString();
    // The records acknowledged in that group are named as lost, and how they come again.
    EXPECT_TRUE(prompts.shown.last().text.startsWith(GetS(QStringLiteral(
        "No se han guardado los últimos registros recibidos. El NBX-70 los conserva: la próxima descarga propondrá "
        "empezar el %s para recibirlos de nuevo."), {u"12/05/24 00:00"_qs})));
    EXPECT_FALSE(prompts.sawText(GetS(61)));
    expectIdle();
}

// A sheet saved and another deleted in the programming window while a download runs: all three
// land. Another connection sees the records stored so far before the end.
TEST_F(Form5Download, SheetsSavedAndDeletedDuringADownloadAllLand)
{
    for (const qint32 serial : {222222, 333333}) {
        SheetValues s;
        ProgrammingState st;
        CreaProgramacio(s, st, [] { return kClock; });
        s.numeroSerie = QString::number(serial);
        QString error;
        ASSERT_TRUE(SheetRepository().save(s, kClock, &error)) << error.toStdString();
    }
    slowHistory();
    Form2 sheet;
    sheet.show();
    sheet.load(333333);
    int seenByAnother = -1;
    bool saved = false;
    receiveWhile([&](int frames) {
        if (frames >= 80 && seenByAnother < 0) {
            {
                QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "other-reader");
                other.setDatabaseName(mainDb().databaseName());
                QSqlQuery q(other);
                seenByAnother = other.open() && q.exec("SELECT COUNT(*) FROM Intervalos") && q.next() ? q.value(0).toInt() : -2;
            }
            QSqlDatabase::removeDatabase("other-reader");
        }
        if (frames >= 160 && !saved) {
            saved = true;
            sheet.MaskContacto->setText("Ana");
            prompts.answer(Answer::Ok);
            sheet.SSCommandGrabar->click();
            sheet.load(222222);
            prompts.answer(Answer::Ok);
            sheet.SSCommandBorrar->click();
        }
    });
    ASSERT_TRUE(saved);
    EXPECT_GT(seenByAnother, 0);
    EXPECT_LT(seenByAnother, 400);
    EXPECT_EQ(criticals(), 0) << prompts.shown.last().text.toStdString();
    EXPECT_EQ(prompts.shown.last().text, GetS(61));
    EXPECT_EQ(count("SELECT COUNT(*) FROM Intervalos WHERE LNumeroSerie=123456"), 400);
    EXPECT_EQ(count("SELECT COUNT(DISTINCT DFechaInicio || THoraInicio) FROM Intervalos"), 400);
    EXPECT_EQ(count("SELECT COUNT(*) FROM Sesiones WHERE LNumeroSerie=123456"), 2);
    EXPECT_EQ(count("SELECT LPasadasLocal FROM Programacion WHERE LNumeroSerie=123456"), 1520);
    SheetValues stored;
    QString error;
    ASSERT_TRUE(SheetRepository().load(333333, stored, &error)) << error.toStdString();
    EXPECT_EQ(stored.contacto.toStdString(), "Ana");
    EXPECT_EQ(count("SELECT COUNT(*) FROM Programacion WHERE LNumeroSerie=222222"), 0);
    expectIdle();
}

// The totals are stamped with the moment their frame arrived, not the moment they were asked for.
TEST(RecordTransfer, TheTotalsStampIsTheMomentTheirFrameArrived)
{
    TempDatabase db;
    ScriptedPrompter prompts;
    QSqlQuery(mainDb()).exec("INSERT INTO Programacion (LNumeroSerie, TLocal, DFecha) VALUES (123456, 'Sala', '2024-02-03')");
    VirtualClock clock;
    FakeSerialPort port(clock);
    Link link(port, clock);
    ASSERT_TRUE(port.open(nullptr));
    port.reply(sim::encodeFrame(0x02, QByteArray(16, '\1')), 12000);
    auto now = [&] { return kClock.addMSecs(clock.nowMs()); };
    QDateTime stamp;
    {
        RecordStore store;
        TransferContext c{link, store, 123456, kFrom, {}, {}, false};
        Totals totals;
        ASSERT_TRUE(RecibirTotales(c, now, &totals, &stamp));
        EXPECT_EQ(totals.pasadasLocal, 0x01010101);
    }
    EXPECT_EQ(stamp.toString(Qt::ISODate).toStdString(), kClock.addSecs(12).toString(Qt::ISODate).toStdString());
    QSqlQuery q(mainDb());
    ASSERT_TRUE(q.exec("SELECT DFechaTotales, THoraTotales FROM Programacion") && q.next());
    EXPECT_EQ((q.value(0).toString() + " " + q.value(1).toString()).toStdString(), "2024-05-14 10:30:12");
    EXPECT_TRUE(prompts.shown.isEmpty());
}

TEST_F(Form5Download, TheCloseBoxStopsTheDownloadAndClosesAfterItsEnd)
{
    slowHistory();
    QTimer poll;
    poll.callOnTimeout([&] {
        if (form.Frame17->text().toInt() >= 6 && form.isVisible())
            form.close();
    });
    form.show();
    poll.start(5);
    form.SSCommandRecibir->click();
    poll.stop();
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(prompts.sawText(GetS(61)));
    EXPECT_GT(count("SELECT COUNT(*) FROM Intervalos"), 3);
    EXPECT_FALSE(defaultLink().port.isOpen());
    EXPECT_FALSE(DeviceOperationGuard::running());
}

TEST_F(Form5Download, EveryFailureShowsOneMessageAndGivesTheWindowBack)
{
    struct Case {
        const char* what;
        std::function<void(sim::Simulator&)> fault;
        QString message;
        int intervalsKept;
        bool sessionsRequested;
    };
    auto recordFault = [](int command, int number, sim::RecordFault f) {
        return [=](sim::Simulator& s) { s.withRecords([=](sim::RecordDevice& r) { r.injectFault(command, number, f); }); };
    };
    const std::vector<Case> cases = {
        {"silent after 3 records", recordFault(0x05, 4, sim::RecordFault::Stall), GetS(31), 3, false},
        {"bad check byte", recordFault(0x05, 2, sim::RecordFault::BadCheckByte), GetS(62), 1, false},
        {"short record frame", recordFault(0x05, 3, sim::RecordFault::ShortLength), GetS(62), 2, false},
        {"truncated record frame", recordFault(0x05, 2, sim::RecordFault::Truncated), GetS(31), 1, false},
        {"length 0x8000", recordFault(0x05, 2, sim::RecordFault::BadLength), GetS(62), 1, false},
        {"short end frame", recordFault(0x05, 21, sim::RecordFault::ShortEndFrame), GetS(62), 20, false},
        {"session stalls", recordFault(0x06, 2, sim::RecordFault::Stall), GetS(31), 20, true},
        {"identification silent", [](sim::Simulator& s) { s.injectFault(sim::Fault::Silence, 0x01); }, GetS(31), 0, false},
        {"wrong model", [](sim::Simulator& s) { s.injectFault(sim::Fault::WrongModel, 0x01); }, GetS(30), 0, false},
        {"serial not digits", [](sim::Simulator& s) { s.injectFault(sim::Fault::SerialNotDigits, 0x01); }, GetS(62), 0, false},
        {"database read-only", [](sim::Simulator&) { QSqlQuery(mainDb()).exec("PRAGMA query_only=1"); }, QString(), 0, false},
        {"table unwritable after 3 records", [](sim::Simulator&) {
             QSqlQuery(mainDb()).exec("CREATE TEMP TRIGGER full BEFORE INSERT ON Intervalos "
                                      "WHEN (SELECT COUNT(*) FROM Intervalos) >= 3 BEGIN SELECT RAISE(ABORT, 'disk full'); END");
         }, "disk full", 3, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QSqlQuery(mainDb()).exec("PRAGMA query_only=0");
        QSqlQuery(mainDb()).exec("DROP TRIGGER IF EXISTS temp.full");
        QSqlQuery(mainDb()).exec("DELETE FROM Intervalos");
        sim.clearFaults();
        sim.withRecords([](sim::RecordDevice& r) { r.clearFaults(); });
        c.fault(sim);
        sim.clearLog();
        prompts.shown.clear();
        form.SSCommandRecibir->click();
        ASSERT_EQ(criticals(), 1);
        if (!c.message.isEmpty()) {
            EXPECT_TRUE(prompts.shown.last().text.contains(c.message)) << prompts.shown.last().text.toStdString();
        }
        EXPECT_FALSE(prompts.sawText(GetS(61)));
        EXPECT_EQ(count("SELECT COUNT(*) FROM Intervalos"), c.intervalsKept);
        EXPECT_EQ(sim.bytesReceived().contains(rangeRequest(0x06)), c.sessionsRequested);
        if (c.intervalsKept > 0) { // a failed record stream is ended with CAN
            EXPECT_TRUE(endsWithCan()) << sim.bytesReceived().right(8).toHex(' ').toStdString();
        }
        expectIdle();
    }
    QSqlQuery(mainDb()).exec("PRAGMA query_only=0");
}

// The store refuses the download's writes, from the start or after some records: one box in the
// user's language says what was not kept and how it comes again, why, and the library's text.
TEST_F(Form5Download, EveryStoreFaultShowsOneTranslatedBox)
{
    QString language = u"Language.db"_qs;
    ASSERT_TRUE(SetupLanguage(language, u"English"_qs, langDesk(), {QStringLiteral(NBX70_SOURCE_RESOURCES)}));
    slowHistory();
    QSqlQuery(mainDb()).exec("PRAGMA busy_timeout=200");
    QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "other-writer");
    other.setDatabaseName(mainDb().databaseName());
    other.setConnectOptions("QSQLITE_BUSY_TIMEOUT=0");
    ASSERT_TRUE(other.open());
    // Another program's write transaction, taken between two groups of the download (a write of
    // the program's own commits the open group first).
    auto lock = [&other] {
        QSqlDatabase main = mainDb();
        return beginWrite(main, nullptr) && commitWrite(main, nullptr) && QSqlQuery(other).exec("BEGIN IMMEDIATE");
    };
    auto readOnly = [] { return QSqlQuery(mainDb()).exec("PRAGMA query_only=1"); };
    auto full = [] {
        QSqlQuery q(mainDb());
        return q.exec("PRAGMA page_count") && q.next() && QSqlQuery(mainDb()).exec(QStringLiteral("PRAGMA max_page_count=%1").arg(q.value(0).toInt()));
    };
    const QString nothingKept = u"The download could not be saved in the database. The NBX-70 still holds its records.\r"_qs;
    const QString recordsLost = u"The last records received were not saved. The NBX-70 still holds them: the next download "
                                "will propose to start at 12/05/24 00:00 to receive them again.\r"_qs;
    const struct {
        const char* what;
        int afterFrames; // -1: before Recibir
        std::function<bool()> fault;
        QString text;
    } cases[] = {
        {"read-only", -1, readOnly, nothingKept + u"The database is read-only.\rattempt to write a readonly database"_qs},
        {"read-only after records", 6, readOnly, recordsLost + u"The database is read-only.\rattempt to write a readonly database"_qs},
        {"locked", -1, lock, nothingKept + u"Another program is using the database.\rdatabase is locked"_qs},
        {"locked after records", 6, lock, recordsLost + u"Another program is using the database.\rdatabase is locked"_qs},
        {"full", -1, full, recordsLost + u"The disk is full.\rdatabase or disk is full"_qs},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QSqlQuery(mainDb()).exec("DELETE FROM Intervalos");
        QSqlQuery(mainDb()).exec("DELETE FROM DescargaPendiente");
        QSqlQuery(mainDb()).exec("PRAGMA wal_checkpoint(TRUNCATE)");
        prompts.shown.clear();
        bool faulted = false;
        if (c.afterFrames < 0) {
            ASSERT_TRUE(c.fault());
            form.SSCommandRecibir->click();
        } else {
            receiveWhile([&](int frames) {
                if (frames >= c.afterFrames && !faulted)
                    faulted = c.fault();
            });
        }
        ASSERT_EQ(criticals(), 1);
        EXPECT_EQ(prompts.shown.last().text.toStdString(), c.text.toStdString());
        EXPECT_FALSE(prompts.sawText(GetS(61)));
        EXPECT_TRUE(c.afterFrames < 0 || faulted);
        QSqlQuery(other).exec("ROLLBACK");
        QSqlQuery(mainDb()).exec("PRAGMA query_only=0");
        QSqlQuery(mainDb()).exec("PRAGMA max_page_count=1073741823");
        expectIdle();
    }
    other.close();
    other = QSqlDatabase();
    QSqlDatabase::removeDatabase("other-writer");
    shutdownLangDesk();
}

// A group that cannot be kept in the middle of a download, the fault then gone, and a restart: the
// next download with the range dialog's defaults brings every record the device holds, each once.
TEST_F(Form5Download, AfterAGroupNotKeptTheDefaultRangeBringsEverythingBack)
{
    slowHistory();
    // The range dialog accepted as it comes, each time.
    QTimer accept;
    accept.callOnTimeout([] {
        if (auto* dialog = qobject_cast<Form8*>(QApplication::activeModalWidget()))
            dialog->CommandVolver->click();
    });
    accept.start(5);
    form.setRangeAsker({});
    // Every group written once 150 intervals are stored fails at its COMMIT, as on a disk that fills.
    QSqlQuery q(mainDb());
    for (const char* sql : {"PRAGMA foreign_keys=ON", "CREATE TEMP TABLE parent (id INTEGER PRIMARY KEY)",
                            "CREATE TEMP TABLE child (p INTEGER REFERENCES parent(id) DEFERRABLE INITIALLY DEFERRED)",
                            "CREATE TEMP TRIGGER orphan AFTER INSERT ON main.Intervalos "
                            "WHEN (SELECT COUNT(*) FROM main.Intervalos) > 150 BEGIN INSERT INTO child VALUES (1); END"})
        ASSERT_TRUE(q.exec(QString::fromLatin1(sql))) << sql;
    form.show();
    form.SSCommandRecibir->click();
    ASSERT_EQ(criticals(), 1);
    // FROM was the dialog's default for a device with nothing stored: 60 days back.
    EXPECT_TRUE(prompts.shown.last().text.startsWith(GetS(QStringLiteral(
        "No se han guardado los últimos registros recibidos. El NBX-70 los conserva: la próxima descarga propondrá "
        "empezar el %s para recibirlos de nuevo."), {u"15/03/24 10:30"_qs})))
        << prompts.shown.last().text.toStdString();
    const int kept = count("SELECT COUNT(*) FROM Intervalos");
    EXPECT_GT(kept, 0);
    EXPECT_LE(kept, 150);
    ASSERT_TRUE(q.exec("DROP TRIGGER temp.orphan"));

    // A restart: the main database opened again, a new record window.
    const QString path = mainDb().databaseName();
    form.close();
    Database::close();
    QString error;
    ASSERT_TRUE(Database::open(path, &error)) << error.toStdString();
    Form5 again;
    again.setClock([] { return kClock; });
    again.Form_Load();
    again.show();
    prompts.shown.clear();
    again.SSCommandRecibir->click();
    EXPECT_EQ(criticals(), 0) << prompts.shown.last().text.toStdString();
    EXPECT_EQ(prompts.shown.last().text, GetS(61));
    EXPECT_EQ(count("SELECT COUNT(*) FROM Intervalos WHERE LNumeroSerie=123456"), 400);
    EXPECT_EQ(count("SELECT COUNT(DISTINCT DFechaInicio || THoraInicio) FROM Intervalos"), 400);
    EXPECT_EQ(count("SELECT COUNT(*) FROM Sesiones"), 5);
    EXPECT_EQ(count("SELECT COUNT(DISTINCT DFechaInicio || THoraInicio) FROM Sesiones"), 5);
    // Everything down to the mark is stored: the next default continues from the newest interval.
    EXPECT_EQ(count("SELECT COUNT(*) FROM DescargaPendiente"), 0);
}

// A download over a typed range that ends short of its FROM, in the intervals or in the sessions,
// whatever ends it; then Recibir in a new record window with the range dialog's defaults: every
// record the device holds is stored exactly once.
TEST_F(Form5Download, AfterADownloadEndedShortTheDefaultRangeBringsEveryRecordOnce)
{
    slowHistory();
    const QDateTime typedFrom(QDate(2024, 5, 1), QTime(0, 0), Qt::UTC); // before every record
    form.setRangeAsker([&](RangoFechas& r) {
        r = RangoFechas::fromMoments(typedFrom, kClock);
        return true;
    });
    enum class Act { None, Stop, CloseBox, LosePort };
    auto recordFault = [](int command, int number, sim::RecordFault f) {
        return [=](sim::Simulator& s) { s.withRecords([=](sim::RecordDevice& r) { r.injectFault(command, number, f); }); };
    };
    const auto none = [](sim::Simulator&) {};
    const struct {
        const char* what;
        std::function<void(sim::Simulator&)> fault;
        Act act; // after 100 frames
        QString message; // a lost line's names the port
        bool modem = false;
    } cases[] = {
        {"interval stream stalls", recordFault(0x05, 200, sim::RecordFault::Stall), Act::None, GetS(31)},
        {"bad check byte", recordFault(0x05, 150, sim::RecordFault::BadCheckByte), Act::None, GetS(62)},
        {"NAK in place of a record", recordFault(0x05, 120, sim::RecordFault::Nak), Act::None, GetS(31)},
        {"session stream stalls", recordFault(0x06, 3, sim::RecordFault::Stall), Act::None, GetS(31)},
        {"port lost", none, Act::LosePort, QString()},
        {"modem line dropped", none, Act::LosePort, QString(), true},
        {"Stop", none, Act::Stop, QString()},
        {"close box", none, Act::CloseBox, QString()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        defaultLink().state.ConexionModem = c.modem ? 1 : 0;
        sim.setModemMode(c.modem, sim::ModemAnswer::Connect, 20);
        for (const char* table : {"Intervalos", "Sesiones", "DescargaPendiente"})
            QSqlQuery(mainDb()).exec(QStringLiteral("DELETE FROM %1").arg(QLatin1String(table)));
        // Paced only where the test acts in the middle of the stream.
        sim.withRecords([&](sim::RecordDevice& r) {
            r.clearFaults();
            r.config.recordDelayMs = c.act == Act::None ? 0 : 5;
        });
        c.fault(sim);
        prompts.shown.clear();
        const QString port = sim.portPath();
        receiveWhile([&](int frames) {
            if (frames < 100 || !form.SSCommandStop->isVisible() || !sim.isRunning())
                return;
            if (c.act == Act::Stop)
                form.SSCommandStop->click();
            else if (c.act == Act::CloseBox)
                form.close();
            else if (c.act == Act::LosePort)
                sim.stop();
        });
        EXPECT_TRUE(prompts.sawText(GetS(c.modem ? 33 : 15)));
        const QString message = c.act == Act::LosePort ? lineLostText(port) : c.message;
        EXPECT_EQ(criticals(), message.isEmpty() ? 0 : 1);
        EXPECT_TRUE(message.isEmpty() || prompts.sawText(message)) << prompts.shown.last().text.toStdString();
        EXPECT_FALSE(prompts.sawText(GetS(61)));
        EXPECT_LT(count("SELECT COUNT(*) FROM Intervalos") + count("SELECT COUNT(*) FROM Sesiones"), 405);
        EXPECT_EQ(pendingFrom(mainDb(), 123456), typedFrom);
        if (!sim.isRunning()) { // the adapter plugged in again
            QString error;
            ASSERT_TRUE(sim.start(&error)) << error.toStdString();
            defaultLink().state.SerialDevice = sim.portPath();
        }
        sim.withRecords([](sim::RecordDevice& r) {
            r.clearFaults();
            r.config.recordDelayMs = 0;
        });

        Form5 again;
        again.setClock([] { return kClock; });
        again.Form_Load();
        again.show();
        QTimer accept; // the range dialog accepted as it comes
        accept.callOnTimeout([] {
            if (auto* dialog = qobject_cast<Form8*>(QApplication::activeModalWidget()))
                dialog->CommandVolver->click();
        });
        accept.start(5);
        prompts.shown.clear();
        again.SSCommandRecibir->click();
        EXPECT_EQ(criticals(), 0) << prompts.shown.last().text.toStdString();
        EXPECT_TRUE(prompts.sawText(GetS(61)));
        sim.withRecords([&](sim::RecordDevice& r) { EXPECT_EQ(r.rangeRequested().value(0), typedFrom); });
        EXPECT_EQ(count("SELECT COUNT(*) FROM Intervalos WHERE LNumeroSerie=123456"), 400);
        EXPECT_EQ(count("SELECT COUNT(*) FROM Sesiones WHERE LNumeroSerie=123456"), 5);
        EXPECT_EQ(count("SELECT COUNT(DISTINCT DFechaInicio || THoraInicio) FROM Sesiones"), 5);
        EXPECT_EQ(count("SELECT COUNT(*) FROM DescargaPendiente"), 0);
    }
}

TEST_F(Form5Download, UnknownDeviceIsRefusedAndTheWindowKeepsItsDevice)
{
    sim.setConfig([] {
        sim::DeviceConfig c;
        c.serial = "012345";
        return c;
    }());
    form.SSCommandRecibir->click();
    ASSERT_EQ(criticals(), 1);
    EXPECT_EQ(prompts.shown.last().text, GetS(29) + "12345");
    EXPECT_EQ(sim.bytesReceived(), hex("18") + hex("020006010306")); // nothing after the identification
    EXPECT_EQ(form.TextNumeroSerie->text(), "123456");
    EXPECT_EQ(linkState().NumeroSerieEqp, 123456);
    expectIdle();
}

TEST_F(Form5Download, AnotherDeviceShownSwitchesToTheIdentifiedOne)
{
    form.SSCommandAnterior->click();
    ASSERT_EQ(form.TextNumeroSerie->text(), "111111");
    form.SSCommandRecibir->click();
    EXPECT_EQ(prompts.shown.last().text, GetS(61));
    EXPECT_EQ(form.TextNumeroSerie->text(), "123456");
    EXPECT_EQ(count("SELECT LPasadasLocal FROM Programacion WHERE LNumeroSerie=123456"), 1520);
    EXPECT_EQ(count("SELECT COUNT(*) FROM Programacion WHERE LPasadasLocal IS NOT NULL"), 1);
}

TEST_F(Form5Download, CancelledPromptWritesNothing)
{
    prompts.answer(Answer::Cancel);
    form.SSCommandRecibir->click();
    EXPECT_TRUE(sim.bytesReceived().isEmpty());
    expectIdle();
    // A cancelled range changes nothing either.
    form.setRangeAsker([](RangoFechas&) { return false; });
    prompts.shown.clear();
    form.SSCommandRecibir->click();
    EXPECT_TRUE(prompts.shown.isEmpty());
    expectIdle();
}

TEST_F(Form5Download, ModemDownloadKeepsTheCallWhenAsked)
{
    sim.setModemMode(true, sim::ModemAnswer::Connect, 20);
    defaultLink().state.ConexionModem = 1;
    prompts.answer(Answer::Ok); // connect the modem
    prompts.answer(Answer::Ok); // done
    prompts.answer(Answer::No); // keep the call
    form.SSCommandRecibir->click();
    EXPECT_EQ(prompts.shown.first().text, GetS(33));
    EXPECT_EQ(prompts.shown.at(1).text, GetS(61));
    EXPECT_EQ(prompts.shown.last().text, GetS(124));
    EXPECT_TRUE(sim.lastDialCommand().endsWith(",5551234"));
    EXPECT_TRUE(defaultLink().port.isOpen());
    EXPECT_EQ(count("SELECT COUNT(*) FROM Intervalos"), 20);

    // The call is up: no prompt, no dial, CAN first.
    sim.clearLog();
    prompts.shown.clear();
    prompts.answer(Answer::Ok);
    prompts.answer(Answer::Yes); // hang up
    form.SSCommandRecibir->click();
    ASSERT_FALSE(prompts.shown.isEmpty());
    EXPECT_EQ(prompts.shown.first().text, GetS(61));
    EXPECT_EQ(sim.bytesReceived().left(1), hex("18"));
    expectIdle();
}

} // namespace
} // namespace nbx::test
