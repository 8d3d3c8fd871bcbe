#include "LinkFixture.h"

#include "common/QuitSignals.h"
#include "link/DeviceCommands.h"

namespace nbx::test {
namespace {

class Commands : public LinkFixture {
protected:
    Commands()
    {
        openPort();
        dev.install(port);
    }
    FakeNbx70 dev;
};

TEST_F(Commands, FramesOnTheWire)
{
    link.state.PasswordActual = "ab  ";
    link.state.NuevaPassword = "xy  ";
    EnviarPassword(link);
    EnviarNewPassword(link);
    EnviarBorrat(link);
    prompts.input("012345");
    EnviarTest(link);
    ASSERT_EQ(port.units.size(), 4);
    EXPECT_EQ(port.units[0], bytes({0x02, 0x00, 0x0A, 0x0A, 0x61, 0x62, 0x20, 0x20, 0x03, 0x02 ^ 0x0A ^ 0x0A ^ 0x61 ^ 0x62 ^ 0x03}));
    EXPECT_EQ(port.units[1].mid(3, 5), bytes({0x0B, 0x78, 0x79, 0x20, 0x20}));
    EXPECT_EQ(port.units[2], bytes({0x02, 0x00, 0x06, 0x0C, 0x03, 0x0B}));
    EXPECT_EQ(port.units[3].left(10), bytes({0x02, 0x00, 0x0C, 0x0D, 0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(prompts.prompts, QList<QString>({"Entrar el numero de serie:"}));
}

TEST_F(Commands, PacingPausesAfterEachByteUpToEtx)
{
    EnviarBorrat(link);
    ASSERT_EQ(port.writeTimes.size(), 6);
    for (int i = 1; i < 6; ++i)
        EXPECT_EQ(port.writeTimes[i] - port.writeTimes[i - 1], 50) << i;
}

TEST(TestDigits, Mapping)
{
    EXPECT_EQ(testDigits("012345"), bytes({0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(testDigits("1234"), bytes({1, 2, 3, 4, 4, 4}));
    EXPECT_EQ(testDigits("1234567"), bytes({1, 2, 3, 4, 5, 7}));
    EXPECT_EQ(testDigits("7"), bytes({7, 7, 7, 7, 7, 7}));
    EXPECT_FALSE(testDigits("12a456"));
    EXPECT_FALSE(testDigits("１23456")); // a full-width digit is no digit here
}

TEST_F(Commands, TestCancelledOrInvalidSendsNothing)
{
    prompts.cancelInput();
    EXPECT_EQ(EnviarTest(link), kTestCancelado);
    prompts.input("");
    EXPECT_EQ(EnviarTest(link), kTestCancelado);
    prompts.input("12a456");
    EXPECT_EQ(EnviarTest(link), kTestInvalido);
    EXPECT_TRUE(port.written.isEmpty());
}

TEST_F(Commands, OneByteAnswers)
{
    const struct {
        QByteArray answer;
        int result;
        qint64 left;
    } cases[] = {{bytes({0x06}), 6, 0}, {bytes({0x15}), 21, 0}, {bytes({0x41}), 21, 0},
                 {bytes({0x06, 0x06}), 6, 1}, {QByteArray(), 24, 0}};
    for (const auto& c : cases) {
        port.setDevice([&](FakeSerialPort& p, const QByteArray& u) {
            if (u.size() >= 6)
                p.reply(c.answer, 100);
        });
        port.clearInput();
        const qint64 start = clock.nowMs();
        EXPECT_EQ(EnviarBorrat(link), c.result);
        EXPECT_EQ(port.bytesAvailable(), c.left);
        if (c.result == 24) {
            EXPECT_GE(clock.nowMs() - start, 10000);
        }
    }
}

TEST_F(Commands, TestWaitsItsLongAnswer)
{
    dev.answerDelayMs = 2000 * 1000; // the device's test takes 33 minutes
    prompts.input("123456");
    EXPECT_EQ(EnviarTest(link), 6);
    dev.testSerial = "654321";
    prompts.input("123456");
    EXPECT_EQ(EnviarTest(link), 21);
    // The program's end (a signal) does not wait for the answer.
    quitRequest().request(SIGTERM);
    prompts.input("123456");
    const qint64 start = clock.nowMs();
    EXPECT_EQ(EnviarTest(link), kResultadoParado);
    quitRequest().reset();
    EXPECT_LT(clock.nowMs() - start, 1000);
}

TEST_F(Commands, PasswordBytesAreWindows1252)
{
    EXPECT_EQ(passwordBytes(QString::fromUtf8("ñ€")), bytes({0xF1, 0x80, 0x20, 0x20}));
    EXPECT_EQ(passwordBytes("12345"), "1234");
}

} // namespace
} // namespace nbx::test
