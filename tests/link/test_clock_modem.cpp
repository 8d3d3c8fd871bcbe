#include "LinkFixture.h"

#include "link/Modem.h"
#include "localisation/Strings.h"

#include <QCoreApplication>
#include <QTimer>
#include <utility>

namespace nbx::test {
namespace {

TEST(Espera, DurationsFollowTheRoundedStart)
{
    const struct {
        double start;
        int seconds;
        qint64 ms;
    } cases[] = {{100.4, 1, 600}, {100.6, 1, 1400}, {100.5, 1, 500}, {101.5, 1, 1500},
                 {86399.7, 1, 1300}, {10.0, 3, 3000}};
    for (const auto& c : cases)
        EXPECT_EQ(esperaDurationMs(c.start, c.seconds), c.ms) << c.start;
}

TEST(Espera, BlocksWithoutRunningEvents)
{
    SystemLinkClock clock;
    LinkTiming timing;
    timing.secondMs = 20; // a "second" of 20 ms
    bool fired = false;
    QTimer::singleShot(0, [&] { fired = true; });
    Espera(clock, timing, 1);
    EXPECT_FALSE(fired);
    QCoreApplication::processEvents();
    EXPECT_TRUE(fired);
}

TEST(Modem, DialCommand)
{
    EXPECT_EQ(dialCommand(0, " 0 ", "5551234"), "ATE0V0X0DP0,5551234\r");
    EXPECT_EQ(dialCommand(1, "", "555"), "ATE0V0X0DT,555\r");
    EXPECT_EQ(dialCommand(2, "9", "555"), "ATE0V0X0DP9,555\r");
    EXPECT_EQ(dialCommand(1, "0\r", "55\r5\nATZ"), "ATE0V0X0DT0,555ATZ\r");
    EXPECT_EQ(dialCommand(1, "", "*70,555#W1"), "ATE0V0X0DT,*70,555#W1\r");
}

class ModemTest : public LinkFixture {
protected:
    ModemTest()
    {
        openPort();
        clock.setSecondsOfDay(1000.0);
        link.state.MarcadoTonos = 0;
        link.state.PrefijoMarcado = " 0 ";
    }
    // The modem echoes the command at once, then answers `answer` after `delayMs`.
    void modemAnswers(QByteArray answer, qint64 delayMs)
    {
        port.setDevice([answer, delayMs](FakeSerialPort& p, const QByteArray& u) {
            if (u.startsWith("AT")) {
                p.reply(u);
                if (!answer.isEmpty())
                    p.reply(answer, delayMs);
            }
        });
    }
};

TEST_F(ModemTest, EscapeAndDialTiming)
{
    modemAnswers("1\r", 3000);
    EXPECT_EQ(MarcarModem(link, "5551234"), kMarcadoConectado);
    EXPECT_EQ(port.written, "+++ATE0V0X0DP0,5551234\r");
    ASSERT_EQ(port.writeTimes.size(), 23);
    EXPECT_EQ(port.writeTimes[0], 1000);
    EXPECT_EQ(port.writeTimes[1], 2000);
    EXPECT_EQ(port.writeTimes[2], 3000);
    EXPECT_EQ(port.writeTimes[3], 4000);
    EXPECT_TRUE(prompts.shown.isEmpty());
    EXPECT_EQ(port.events.mid(1), QStringList({"clearInput", "clearOutput", "clearInput"}));
}

TEST_F(ModemTest, Results)
{
    const struct {
        QByteArray answer;
        qint64 delay;
        int result;
        qint64 endsAfter, endsBefore;
    } cases[] = {
        {"1\r", 500, kMarcadoConectado, 6000, 6500}, // within the pause after the dial: read
        {"1\r", 3000, kMarcadoConectado, 6000, 10000},
        {"3\r", 3000, kMarcadoFallido, 6000, 10000},
        {"\r\nERROR\r\n", 3000, kMarcadoFallido, 6000, 10000}, // the line refused, in words
        {"", 0, kMarcadoFallido, 65000, 67000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer.toStdString() + std::to_string(c.delay));
        prompts.shown.clear();
        const qint64 start = clock.nowMs();
        modemAnswers(c.answer, c.delay);
        EXPECT_EQ(MarcarModem(link, "555"), c.result);
        EXPECT_GE(clock.nowMs() - start, c.endsAfter);
        EXPECT_LT(clock.nowMs() - start, c.endsBefore);
        EXPECT_EQ(prompts.sawText(GetS(35)), c.result == kMarcadoFallido);
        if (c.result == kMarcadoFallido) {
            EXPECT_EQ(prompts.shown.value(0).icon, Prompter::Icon::Critical);
        }
    }
}

// An echo slower than the pause after the command line (a loaded machine, a slow modem) is
// skipped, wherever it is cut, and the answer after it decides.
TEST_F(ModemTest, ALateEchoIsNotTakenForTheAnswer)
{
    const struct {
        const char* what;
        bool echoPluses;
        qint64 echoDelay, echoGap;
        QByteArray answer;
        int result;
    } cases[] = {
        {"whole echo late", false, 1500, 0, "1\r", kMarcadoConectado},
        {"echo cut by the pause", false, 200, 80, "1\r", kMarcadoConectado},
        {"pluses and line, late", true, 1200, 30, "1\r", kMarcadoConectado},
        {"late echo, then busy", false, 1500, 0, "3\r", kMarcadoFallido},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        prompts.shown.clear();
        port.setDevice([&c](FakeSerialPort& p, const QByteArray& u) {
            if (!u.startsWith("AT"))
                return;
            const QByteArray echo = (c.echoPluses ? QByteArray("+++") : QByteArray()) + u;
            p.reply(echo, c.echoDelay, c.echoGap);
            p.reply(c.answer, 3000);
        });
        EXPECT_EQ(MarcarModem(link, "5551"), c.result);
        EXPECT_EQ(prompts.sawText(GetS(35)), c.result == kMarcadoFallido);
    }
}

// The reply as a schedule of bytes after the dial line (what the modem sends before its result:
// the OK to the escape, noise, its echo of the line at any time and pace, or no echo at all),
// then the result 1, 3 or none. The result is read as a line, after the echo wherever it comes.
TEST_F(ModemTest, TheResultIsReadAsALineWhereverTheEchoComes)
{
    // 21 bytes, 630 ms at 30 ms a byte; 0.7 s late, the pause ends with "1,5551234" to come.
    link.state.PrefijoMarcado = "01";
    const QByteArray line = dialCommand(0, "01", "5551234");
    struct Piece {
        QByteArray bytes;
        qint64 at, gap;
    };
    const struct {
        const char* what;
        QByteArray duringEscape; // sent at the first '+', before the dial
        QList<Piece> before;     // from the dial line on
        qint64 resultAt;
    } schedules[] = {
        {"no echo", {}, {}, 3000},
        {"no echo, the escape's OK first", {}, {{"0\r", 0, 0}}, 3000},
        {"no echo, noise first", {}, {{QByteArray("\xFF\x00", 2), 2900, 0}}, 3000},
        {"no echo, a CONNECT from before the dial", "1\r", {}, 3000},
        {"echo at once", {}, {{line, 0, 0}}, 3000},
        {"echo split across the pause", {}, {{line.left(9), 0, 0}, {line.mid(9), 1500, 0}}, 3000},
        {"echo 0.5 s late", {}, {{line, 500, 30}}, 1200},
        {"echo 1.0 s late", {}, {{line, 1000, 30}}, 1700},
        {"echo 1.6 s late", {}, {{line, 1600, 30}}, 2300},
        {"the escape's OK, echo 0.7 s late", {}, {{"0\r", 0, 0}, {line, 700, 30}}, 1400},
        {"the escape's OK, echo 1.6 s late", {}, {{"0\r", 0, 0}, {line, 1600, 30}}, 2300},
        {"noise, echo 0.7 s late", {}, {{QByteArray("\xFF\x00~\r#", 5), 0, 0}, {line, 700, 30}}, 1400},
        {"part of an echo, then the echo", {}, {{line.left(12) + '\r', 0, 0}, {line, 1000, 30}}, 1700},
    };
    const struct {
        QByteArray code;
        int result;
    } results[] = {{"1\r", kMarcadoConectado}, {"3\r", kMarcadoFallido}, {"", kMarcadoFallido}};
    for (const auto& s : schedules) {
        for (const auto& r : results) {
            SCOPED_TRACE(std::string(s.what) + ", result " + r.code.trimmed().toStdString());
            prompts.shown.clear();
            bool escaping = true;
            port.setDevice([&](FakeSerialPort& p, const QByteArray& u) {
                if (u == "+" && std::exchange(escaping, false))
                    p.reply(s.duringEscape);
                if (!u.startsWith("AT"))
                    return;
                for (const Piece& piece : s.before)
                    p.reply(piece.bytes, piece.at, piece.gap);
                p.reply(r.code, s.resultAt);
            });
            const qint64 start = clock.nowMs();
            EXPECT_EQ(MarcarModem(link, "5551234"), r.result);
            EXPECT_EQ(prompts.sawText(GetS(35)), r.result == kMarcadoFallido);
            const qint64 took = clock.nowMs() - start;
            if (r.code.isEmpty()) {
                EXPECT_GE(took, 4000 + 1000 + 60000); // the escape, the pause, then the whole wait
            } else {
                EXPECT_LT(took, 4000 + s.resultAt + 2000); // ends with the result's line
            }
        }
    }
}

TEST_F(ModemTest, StopEndsTheWaitAtOnce)
{
    modemAnswers("", 0);
    clock.at(10000, [&] { link.state.PararMarcado = true; });
    link.state.PararMarcado = true; // stale: cleared when the dial starts
    EXPECT_EQ(MarcarModem(link, "555"), kMarcadoFallido);
    EXPECT_LT(clock.nowMs(), 12000);
    EXPECT_TRUE(prompts.sawText(GetS(35)));
}

TEST_F(ModemTest, HangUpDropsDtrBeforeClosing)
{
    link.state.ModemConectado = true;
    port.dtrSupported = false; // as on a pseudo-terminal
    link.colgar();
    EXPECT_EQ(port.events.mid(1), QStringList({"dtr 0", "close"}));
    EXPECT_FALSE(link.state.ModemConectado);
}

TEST_F(ModemTest, PortNameAppliesAtTheNextOpen)
{
    link.state.PuertoCom = 3;
    EXPECT_TRUE(link.AbrirPuerto(nullptr)); // already open: keeps its name
    EXPECT_EQ(port.openedName, "ttyS0");
    link.cerrarPuerto();
    EXPECT_TRUE(link.AbrirPuerto(nullptr));
    EXPECT_EQ(port.openedName, "ttyS2");
    link.cerrarPuerto();
    link.state.SerialDevice = "/dev/pts/7";
    EXPECT_TRUE(link.AbrirPuerto(nullptr));
    EXPECT_EQ(port.openedName, "/dev/pts/7");
}

} // namespace
} // namespace nbx::test
