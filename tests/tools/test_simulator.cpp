// The device simulator driven from the line: exact reply bytes, faults, modem dialogue and log.
#include "SlaveLine.h"

#include "nbx70-sim/SimFrame.h"
#include "nbx70-sim/Simulator.h"

#include <QSerialPort>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

namespace nbx::test {
namespace {

using sim::DeviceConfig;
using sim::Fault;
using sim::ModemAnswer;
using sim::Simulator;

const QByteArray kIdentRequest = bytes("02 00 06 01 03 06");
const QByteArray kIdentReply = bytes("02 00 10 01 05 02 00 31 32 33 34 35 36 01 03 11");
const QByteArray kEraseRequest = bytes("02 00 06 0C 03 0B");
const QByteArray kProgRequest = bytes("02 00 06 04 03 03");
const QByteArray kPassword1234 = bytes("02 00 0A 0A 31 32 33 34 03 05");
const QByteArray kTest123456 = bytes("02 00 0C 0D 01 02 03 04 05 06 03 07");
const QByteArray kAck = bytes("06");
const QByteArray kNak = bytes("15");

// A started simulator and an open line to it.
struct Rig {
    explicit Rig(DeviceConfig cfg = {}) : sim(std::move(cfg))
    {
        QString error;
        started = sim.start(&error);
        EXPECT_TRUE(started) << error.toStdString();
        line = std::make_unique<SlaveLine>(sim.portPath());
        EXPECT_TRUE(line->isOpen());
    }
    // The right password, which programming, new password and erase need first.
    void authorise() { EXPECT_EQ(ask(kPassword1234, 1), kAck); }
    QByteArray ask(const QByteArray& request, int replySize, int timeoutMs = 10000)
    {
        EXPECT_TRUE(line->write(request));
        return line->read(replySize, timeoutMs);
    }
    Simulator sim;
    bool started = false;
    std::unique_ptr<SlaveLine> line;
};

TEST(SimFrame, EncodesBareAndDataFrames)
{
    EXPECT_EQ(sim::encodeFrame(0x01, {}), kIdentRequest);
    EXPECT_EQ(sim::encodeFrame(0x0C, {}), kEraseRequest);
    EXPECT_EQ(sim::encodeFrame(0x0A, "1234"), kPassword1234);
}

TEST(SimFrame, DecoderJudgesLengthCheckByteAndEtx)
{
    struct Case { const char* hex; bool complete; bool valid; int stored; };
    const Case cases[] = {
        {"FF 00 02 00 06 01 03 06", true, true, 6},     // noise before STX skipped
        {"02 00 06 01 03 07", true, false, 6},          // check byte wrong
        {"02 00 06 01 04 01", true, false, 6},          // no ETX (check byte right)
        {"02 80 00", true, false, 3},                   // negative length: ends at once
        {"02 02 02", true, false, 3},                   // 514: ends at once
        {"02 00 05", true, false, 3},                   // below 6
        {"02 00 10 01 05", false, false, 0},            // still inside
    };
    for (const Case& c : cases) {
        sim::FrameDecoder dec;
        bool complete = false;
        for (char b : bytes(c.hex))
            if (dec.feed(quint8(b)) == sim::FrameDecoder::Result::Complete)
                complete = true;
        EXPECT_EQ(complete, c.complete) << c.hex;
        if (complete) {
            EXPECT_EQ(dec.frame().valid, c.valid) << c.hex;
            EXPECT_EQ(dec.frame().raw.size(), c.stored) << c.hex;
        }
    }
}

TEST(Simulator, IdentificationRepliesCarryTheConfiguredDevice)
{
    {
        Rig rig;
        EXPECT_EQ(rig.ask(kIdentRequest, 16), kIdentReply);
    }
    {
        DeviceConfig cfg;
        cfg.firmware = "1.9";
        cfg.serial = "012345";
        cfg.programmingMode = false;
        Rig rig(cfg);
        EXPECT_EQ(rig.ask(kIdentRequest, 16),
                  bytes("02 00 10 01 05 01 09 30 31 32 33 34 35 00 03 1C"));
    }
}

TEST(Simulator, CanAndAckBetweenFramesAreIgnored)
{
    Rig rig;
    EXPECT_EQ(rig.ask(bytes("18 06 18") + kIdentRequest, 16), kIdentReply);
}

TEST(Simulator, PasswordAnswersAckOnlyWhenAllFourBytesMatch)
{
    Rig rig;
    EXPECT_EQ(rig.ask(kPassword1234, 1), kAck);
    EXPECT_EQ(rig.ask(sim::encodeFrame(0x0A, "1235"), 1), kNak);
    EXPECT_EQ(rig.ask(sim::encodeFrame(0x0A, "123"), 1), kNak);  // too short a frame

    DeviceConfig cfg;
    cfg.password = "ab";
    Rig padded(cfg);
    EXPECT_EQ(padded.ask(bytes("02 00 0A 0A 61 62 20 20 03 02"), 1), kAck);
}

TEST(Simulator, NewPasswordIsStoredAndThenRequired)
{
    Rig rig;
    rig.authorise();
    EXPECT_EQ(rig.ask(bytes("02 00 0A 0B 61 62 63 64 03 04"), 1), kAck);
    EXPECT_EQ(rig.sim.config().password, QByteArray("abcd"));
    EXPECT_EQ(rig.ask(kPassword1234, 1), kNak);
    EXPECT_EQ(rig.ask(sim::encodeFrame(0x0A, "abcd"), 1), kAck);
}

TEST(Simulator, EraseAnswersAckAndCounts)
{
    Rig rig;
    rig.authorise();
    EXPECT_EQ(rig.ask(kEraseRequest, 1), kAck);
    rig.authorise();
    EXPECT_EQ(rig.ask(kEraseRequest, 1), kAck);
    EXPECT_EQ(rig.sim.recordsCleared(), 2);
}

TEST(Simulator, TestCommandComparesDigitValuesWithTheSerial)
{
    Rig rig;
    EXPECT_EQ(rig.ask(kTest123456, 1), kAck);
    EXPECT_EQ(rig.ask(sim::encodeFrame(0x0D, bytes("01 02 03 04 04 04")), 1), kNak);
    EXPECT_EQ(rig.ask(sim::encodeFrame(0x0D, "123456"), 1), kNak);  // ASCII, not values

    DeviceConfig cfg;
    cfg.antiTestProtection = true;
    Rig protectedRig(cfg);
    EXPECT_EQ(protectedRig.ask(kTest123456, 1), kNak);
}

TEST(Simulator, TestCommandAnswersAfterItsDelay)
{
    Rig rig;
    rig.sim.setAnswerDelayMs(0x0D, 150);
    ASSERT_TRUE(rig.line->write(kTest123456));
    EXPECT_EQ(rig.line->read(1), kAck);

    // The log shows the wait between the request's last byte and the answer, on the simulator's
    // own clock (what the line's reader sees also carries its own scheduling delays).
    const auto log = rig.sim.log();
    ASSERT_FALSE(log.isEmpty());
    qint64 lastIn = 0;
    for (const auto& e : log)
        if (!e.fromDevice)
            lastIn = e.usecs;
    EXPECT_TRUE(log.last().fromDevice);
    EXPECT_GE(log.last().usecs - lastIn, 150000);
}

TEST(Simulator, FaultsShapeTheIdentificationReply)
{
    struct Case { Fault fault; const char* expected; };
    const Case cases[] = {
        {Fault::Nak, "15"},
        {Fault::OtherByte, "41"},
        {Fault::StallMidFrame, "02 00 10 01 05 02 00 31"},
        {Fault::NoiseBeforeStx, "FF 00 02 00 10 01 05 02 00 31 32 33 34 35 36 01 03 11"},
        {Fault::BadCheckByte, "02 00 10 01 05 02 00 31 32 33 34 35 36 01 03 EE"},
        {Fault::BadLength, "02 80 00 01 05 02 00 31 32 33 34 35 36 01 03 81"},
        {Fault::LengthTooLong, "02 02 02 01 05 02 00 31 32 33 34 35 36 01 03 01"},
        {Fault::ShortLength, "02 00 0B 01 05 02 00 31 32 03 0F"},
        {Fault::WrongModel, "02 00 10 01 06 02 00 31 32 33 34 35 36 01 03 12"},
        {Fault::WrongSerial, "02 00 10 01 05 02 00 31 32 33 34 35 37 01 03 10"},
        {Fault::SerialNotDigits, "02 00 10 01 05 02 00 31 32 41 34 35 36 01 03 63"},
        {Fault::ProgrammingModeOff, "02 00 10 01 05 02 00 31 32 33 34 35 36 00 03 10"},
    };
    for (const Case& c : cases) {
        Rig rig;
        rig.sim.injectFault(c.fault, 0x01);
        const QByteArray want = bytes(c.expected);
        EXPECT_EQ(rig.ask(kIdentRequest, int(want.size())).toHex(' '), want.toHex(' ')) << int(c.fault);
        EXPECT_TRUE(rig.line->readFor(80).isEmpty()) << int(c.fault); // and nothing more
        // One answer only: the next is whole again.
        EXPECT_EQ(rig.ask(kIdentRequest, 16), kIdentReply) << int(c.fault);
    }
}

TEST(Simulator, FaultsOnOneByteAnswers)
{
    struct Case { Fault fault; int command; const char* expected; };
    const Case cases[] = {
        {Fault::Silence, 0x0C, ""},
        {Fault::Nak, 0x0C, "15"},
        {Fault::OtherByte, -1, "41"},
        {Fault::DoubleAck, 0x0C, "06 06"},
        {Fault::WrongModel, -1, "06"},     // identification faults leave the erase alone
        {Fault::BadCheckByte, -1, "06"},   // frame faults too
        {Fault::Nak, 0x0A, "06"},          // a fault for another command
    };
    for (const Case& c : cases) {
        Rig rig;
        rig.authorise();
        rig.sim.injectFault(c.fault, c.command);
        // Everything expected comes, however slowly; then nothing more.
        const QByteArray expected = bytes(c.expected);
        EXPECT_EQ(rig.ask(kEraseRequest, int(expected.size()), 5000).toHex(' '), expected.toHex(' '))
            << int(c.fault);
        EXPECT_TRUE(rig.line->readFor(100).isEmpty()) << int(c.fault);
    }
}

TEST(Simulator, RefusedOrSilentCommandsChangeNothing)
{
    Rig rig;
    rig.authorise();
    rig.sim.injectFault(Fault::Silence, 0x0B);
    rig.sim.injectFault(Fault::Nak, 0x0C);
    EXPECT_TRUE(rig.ask(sim::encodeFrame(0x0B, "abcd"), 1, 100).isEmpty());
    EXPECT_EQ(rig.ask(kEraseRequest, 1), kNak);
    EXPECT_EQ(rig.sim.config().password, QByteArray("1234"));
    EXPECT_EQ(rig.sim.recordsCleared(), 0);
}

TEST(Simulator, FaultRepeatsTheGivenNumberOfTimes)
{
    Rig rig;
    rig.sim.injectFault(Fault::Nak, -1, 2);
    EXPECT_EQ(rig.ask(kEraseRequest, 1), kNak);
    EXPECT_EQ(rig.ask(kPassword1234, 1), kNak);
    rig.authorise();
    EXPECT_EQ(rig.ask(kEraseRequest, 1), kAck);
}

TEST(Simulator, BadFramesFromTheProgramGetNoAnswer)
{
    Rig rig;
    rig.sim.setFrameTimeoutMs(20);
    EXPECT_TRUE(rig.ask(bytes("02 00 06 01 03 07"), 1, 80).isEmpty());   // check byte
    EXPECT_TRUE(rig.ask(bytes("02 00 06 0C 04 0B"), 1, 80).isEmpty());   // no ETX
    EXPECT_TRUE(rig.ask(bytes("02 00 10 01 05"), 1, 80).isEmpty());      // stalled
    // The stalled frame is dropped (the simulator's thread may be late to see it); then the next
    // request is answered.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !rig.sim.events().filter("stalled: dropped").isEmpty(); }, 10000));
    EXPECT_EQ(rig.ask(kIdentRequest, 16), kIdentReply);
}

TEST(Simulator, BadFramesCanBeAnsweredWithAChosenByte)
{
    Rig rig;
    rig.sim.setBadFrameAnswer(0x15);
    EXPECT_EQ(rig.ask(bytes("02 00 06 01 03 07"), 1), kNak);
    EXPECT_EQ(rig.ask(bytes("02 80 00"), 1), kNak);
}

QByteArray progReply(const QByteArray& block)
{
    return sim::encodeFrame(0x04, block);
}

TEST(Simulator, ProgrammingRequestLengthFollowsFirmware)
{
    struct Case { const char* firmware; const char* head; int size; };
    const Case cases[] = {{"2.0", "02 01 73 04", 371}, {"2.12", "02 01 73 04", 371},
                          {"1.9", "02 01 72 04", 370}, {"", "02 01 72 04", 370}};
    for (const Case& c : cases) {
        DeviceConfig cfg;
        cfg.firmware = c.firmware;
        Rig rig(cfg);
        const QByteArray reply = rig.ask(kProgRequest, c.size);
        ASSERT_EQ(reply.size(), c.size) << c.firmware;
        EXPECT_TRUE(rig.line->readFor(50).isEmpty()) << c.firmware; // and nothing more
        EXPECT_EQ(reply.left(4), bytes(c.head)) << c.firmware;
        EXPECT_EQ(quint8(reply[c.size - 2]), 0x03) << c.firmware;
        quint8 x = 0;
        for (int i = 0; i < c.size - 1; ++i)
            x ^= quint8(reply[i]);
        EXPECT_EQ(quint8(reply[c.size - 1]), x) << c.firmware;
    }
}

TEST(Simulator, DefaultBlockHoldsAPlausibleProgramming)
{
    const QByteArray b = sim::defaultProgrammingBlock(true);
    ASSERT_EQ(b.size(), 365);
    EXPECT_EQ(b.left(8), bytes("2D 2D 2D 2D 08 00 17 1E"));     // Sunday closed, Monday 08:00-23:30
    EXPECT_EQ(b.mid(28, 8), bytes("5A 23 16 00 08 00 55 1E"));  // limits and night
    EXPECT_EQ(b.mid(44, 10), bytes("18 0C 6A 17 3B 1A 0C 6A 08 00"));  // 24/12/06 23:59 to 26/12/06
    EXPECT_EQ(b.mid(346, 6), bytes("00 32 FF CE 00 37"));       // 5.0, -5.0, 5.5 dB
    EXPECT_EQ(quint8(b[364]), 1);
    EXPECT_EQ(sim::defaultProgrammingBlock(false), b.left(364));
}

TEST(Simulator, ConfiguredBlockIsSentAsItIs)
{
    DeviceConfig cfg;
    cfg.programmingBlock = QByteArray(365, '\x07');
    Rig rig(cfg);
    EXPECT_EQ(rig.ask(kProgRequest, 371), progReply(QByteArray(365, '\x07')));
}

TEST(Simulator, ProgrammingSendIsStoredAndReturnedByTheNextRequest)
{
    Rig rig;
    QByteArray block(365, '\0');
    for (int k = 0; k < block.size(); ++k)
        block[k] = char(k * 7);
    const QByteArray clock = bytes("1F 0C 7E 17 3B 3A");  // 31/12/2026 23:59:58
    const QByteArray send = sim::encodeFrame(0x08, clock + block);
    ASSERT_EQ(send.size(), 377);
    EXPECT_EQ(send.left(4), bytes("02 01 79 08"));
    rig.authorise();
    EXPECT_EQ(rig.ask(send, 1), kAck);
    EXPECT_EQ(rig.sim.storedBlock(), block);
    EXPECT_EQ(rig.sim.storedClockBytes(), clock);
    EXPECT_EQ(rig.sim.storedClock(), QDateTime(QDate(2026, 12, 31), QTime(23, 59, 58)));
    EXPECT_EQ(rig.ask(kProgRequest, 371), progReply(block));
}

TEST(Simulator, ProgrammingSendOfTheWrongLengthIsRefused)
{
    Rig rig;  // firmware 2.0 takes 377 bytes
    const QByteArray send = sim::encodeFrame(0x08, bytes("1F 0C 7E 17 3B 3A") + QByteArray(364, '\1'));
    ASSERT_EQ(send.size(), 376);
    rig.authorise();
    EXPECT_EQ(rig.ask(send, 1), kNak);
    EXPECT_TRUE(rig.sim.storedBlock().isEmpty());
    EXPECT_EQ(rig.ask(kProgRequest, 371), progReply(sim::defaultProgrammingBlock(true)));
}

TEST(Simulator, FaultsShapeTheProgrammingReply)
{
    Rig rig;
    const QByteArray good = progReply(sim::defaultProgrammingBlock(true));
    rig.sim.injectFault(Fault::StallMidFrame, 0x04);
    // The first half comes, however slowly the simulator's thread runs; then nothing more.
    EXPECT_EQ(rig.ask(kProgRequest, 185, 5000), good.left(185));
    EXPECT_TRUE(rig.line->readFor(100).isEmpty());
    rig.sim.injectFault(Fault::BadCheckByte, 0x04);
    const QByteArray bad = rig.ask(kProgRequest, 371);
    ASSERT_EQ(bad.size(), good.size());
    EXPECT_EQ(bad.left(370), good.left(370));
    EXPECT_EQ(quint8(bad[370]), quint8(good[370]) ^ 0xFF);
}

TEST(Simulator, ModemConnectsThenPassesBytesToTheDevice)
{
    Rig rig;
    rig.sim.setModemMode(true, ModemAnswer::Connect, 20);
    rig.sim.setEscapeGuardMs(100);
    // Before the call the device does not answer; the modem echoes the line (no E0 carried out).
    EXPECT_EQ(rig.ask(kIdentRequest, 6, 5000), kIdentRequest);
    EXPECT_TRUE(rig.line->readFor(100).isEmpty());
    const QByteArray dial = "+++ATE0V0X0DT,5551234\r";
    ASSERT_TRUE(rig.line->write(dial));
    EXPECT_EQ(rig.line->read(dial.size() + 2, 5000), dial + "1\r"); // the echo, then CONNECT
    EXPECT_EQ(rig.sim.lastDialCommand(), QString("ATE0V0X0DT,5551234"));
    EXPECT_TRUE(rig.sim.modemConnected());
    EXPECT_EQ(rig.ask(kIdentRequest, 16), kIdentReply);

    // "+++" without its guard times is data: the call stays online.
    EXPECT_EQ(rig.ask("+++" + kIdentRequest, 16), kIdentReply);
    EXPECT_TRUE(rig.line->readFor(250).isEmpty());

    // With the guards it escapes (OK, no echo after E0); a dial over the live call is an ERROR,
    // ATO goes back online, ATH hangs up and a pulse dial connects again.
    QThread::msleep(150);
    ASSERT_TRUE(rig.line->write("+++"));
    EXPECT_EQ(rig.line->read(2, 1000), QByteArray("0\r"));
    EXPECT_TRUE(rig.sim.modemConnected());
    EXPECT_EQ(rig.ask("ATE0V0X0DT,5551234\r", 2), QByteArray("4\r"));
    EXPECT_EQ(rig.ask("ATO\r", 2), QByteArray("1\r"));
    EXPECT_EQ(rig.ask(kIdentRequest, 16), kIdentReply);
    QThread::msleep(150);
    ASSERT_TRUE(rig.line->write("+++"));
    EXPECT_EQ(rig.line->read(2, 1000), QByteArray("0\r"));
    EXPECT_EQ(rig.ask("ATH\r", 2), QByteArray("0\r"));
    EXPECT_FALSE(rig.sim.modemConnected());
    EXPECT_EQ(rig.ask("ATE0V0X0DP0,5551234\r", 2), QByteArray("1\r"));
    EXPECT_EQ(rig.sim.lastDialCommand(), QString("ATE0V0X0DP0,5551234"));
    rig.authorise();
    EXPECT_EQ(rig.ask(kEraseRequest, 1), kAck);
}

TEST(Simulator, ModemBusyOrSilentLeavesTheDeviceUnreached)
{
    struct Case { ModemAnswer answer; const char* expected; };
    for (const Case& c : {Case{ModemAnswer::Busy, "3\r"}, Case{ModemAnswer::Silent, ""}}) {
        Rig rig;
        rig.sim.setModemMode(true, c.answer, 10);
        const QByteArray dial = "+++ATE0V0X0DT,5551234\r";
        ASSERT_TRUE(rig.line->write(dial));
        const QByteArray expected = dial + c.expected;
        EXPECT_EQ(rig.line->read(int(expected.size()), 5000), expected);
        EXPECT_TRUE(rig.line->readFor(100).isEmpty());
        EXPECT_FALSE(rig.sim.modemConnected());
        EXPECT_TRUE(rig.ask(kIdentRequest, 1, 60).isEmpty());
    }
}

// An untidy modem in a call left up: "+++" without guard times escapes at once, and everything
// the modem sends (its OK, its echo of the dial line, noise, the result) leaves late and slowly.
// The dial drops the call.
TEST(Simulator, AnUntidyModemAnswersLateSlowlyAndWithNoise)
{
    Rig rig;
    rig.sim.setModemMode(true, ModemAnswer::Busy, 50);
    rig.sim.setEscapeGuardMs(0);
    const QByteArray noise("\xFF\x00", 2);
    rig.sim.setModemQuirks({200, 30, noise, true});
    rig.sim.setModemInCall();
    ASSERT_TRUE(rig.line->write("+++"));
    EXPECT_EQ(rig.line->read(2, 5000), QByteArray("0\r"));
    const QByteArray dial = "ATE0V0X0DT,5551234\r";
    ASSERT_TRUE(rig.line->write(dial));
    const QByteArray expected = dial + noise + "3\r";
    EXPECT_EQ(rig.line->read(int(expected.size()), 10000), expected);
    EXPECT_FALSE(rig.sim.modemConnected()); // dropped for the dial
    EXPECT_TRUE(rig.line->readFor(100).isEmpty());

    // No byte left before its time: the OK 200 ms after the third '+', the echo's last byte
    // 200 ms and 30 ms a byte after the dial line's first.
    const QList<sim::LogEntry> log = rig.sim.log();
    const auto at = [&log](bool fromDevice, int n) {
        for (const sim::LogEntry& e : log)
            if (e.fromDevice == fromDevice && n-- == 0)
                return e.usecs;
        return qint64(-1);
    };
    EXPECT_GE(at(true, 0) - at(false, 2), 200000);
    EXPECT_GE(at(true, 2 + dial.size() - 1) - at(false, 3), 200000 + (dial.size() - 1) * 30000);
}

// Programming, new password and erase are refused without a right password just before; a
// wrong password or a CAN takes the permission back, and each command uses it up.
TEST(Simulator, ProtectedCommandsNeedARightPasswordFirst)
{
    Rig rig;
    const QByteArray program = sim::encodeFrame(0x08, bytes("01 01 7E 00 00 00") + QByteArray(365, '\0'));
    const QByteArray newPassword = sim::encodeFrame(0x0B, "abcd");
    for (const QByteArray& command : {kEraseRequest, newPassword, program}) {
        EXPECT_EQ(rig.ask(command, 1), kNak);
        EXPECT_EQ(rig.ask(sim::encodeFrame(0x0A, "9999"), 1), kNak);
        EXPECT_EQ(rig.ask(command, 1), kNak);
        rig.authorise();
        EXPECT_TRUE(rig.line->write(bytes("18")));
        EXPECT_EQ(rig.ask(command, 1), kNak);
        rig.authorise();
        EXPECT_EQ(rig.ask(command, 1), kAck);
        EXPECT_EQ(rig.ask(command, 1), kNak);
        if (command == newPassword) { // put the password back
            EXPECT_EQ(rig.ask(sim::encodeFrame(0x0A, "abcd"), 1), kAck);
            EXPECT_EQ(rig.ask(sim::encodeFrame(0x0B, "1234"), 1), kAck);
        }
    }
    EXPECT_EQ(rig.sim.recordsCleared(), 1);
    EXPECT_EQ(rig.sim.config().password, QByteArray("1234"));
}

TEST(Simulator, LogRecordsEveryByteBothWaysInOrder)
{
    Rig rig;
    rig.sim.setByteDelayMs(3);
    ASSERT_EQ(rig.ask(bytes("18") + kIdentRequest, 16), kIdentReply);
    EXPECT_EQ(rig.sim.bytesReceived(), bytes("18") + kIdentRequest);
    EXPECT_EQ(rig.sim.bytesSent(), kIdentReply);

    const auto log = rig.sim.log();
    ASSERT_EQ(log.size(), 23);
    for (int i = 1; i < log.size(); ++i) {
        EXPECT_LE(log[i - 1].usecs, log[i].usecs);
        if (log[i - 1].fromDevice && log[i].fromDevice) {
            EXPECT_GE(log[i].usecs - log[i - 1].usecs, 3000);  // the configured byte pause
        }
    }
    const auto frames = rig.sim.frames();
    ASSERT_EQ(frames.size(), 2);
    EXPECT_FALSE(frames[0].fromDevice);
    EXPECT_EQ(frames[0].raw, kIdentRequest);
    EXPECT_TRUE(frames[1].fromDevice);
    EXPECT_TRUE(frames[1].valid);
    EXPECT_EQ(frames[1].raw, kIdentReply);
    EXPECT_FALSE(rig.sim.events().filter("CAN").isEmpty());

    rig.sim.clearLog();
    EXPECT_TRUE(rig.sim.log().isEmpty());
}

TEST(Simulator, QSerialPortReachesItAndTheLineStaysRawAfterClose)
{
    DeviceConfig cfg;
    QByteArray block(365, '\0');
    for (int k = 0; k < block.size(); ++k)
        block[k] = char(k);  // every byte value, control characters included
    cfg.programmingBlock = block;
    Rig rig(cfg);
    {
        QSerialPort port(rig.sim.portPath());
        port.setBaudRate(QSerialPort::Baud19200);
        port.setDataBits(QSerialPort::Data8);
        port.setParity(QSerialPort::NoParity);
        port.setStopBits(QSerialPort::OneStop);
        ASSERT_TRUE(port.open(QIODevice::ReadWrite)) << port.errorString().toStdString();
        port.write(kProgRequest);
        ASSERT_TRUE(port.waitForBytesWritten(1000));
        QByteArray got;
        while (got.size() < 371 && port.waitForReadyRead(1000))
            got += port.readAll();
        EXPECT_EQ(got, progReply(block));
        port.close();
    }
    // QSerialPort put back the settings it found: still raw, so every value reaches the device.
    QByteArray sent(365, '\0');
    for (int k = 0; k < sent.size(); ++k)
        sent[k] = char(255 - k);
    rig.authorise();
    EXPECT_EQ(rig.ask(sim::encodeFrame(0x08, bytes("01 01 7E 00 00 00") + sent), 1), kAck);
    EXPECT_EQ(rig.sim.storedBlock(), sent);
}

TEST(Simulator, StopsCleanlyAndStartsAgain)
{
    Simulator s;
    ASSERT_TRUE(s.start());
    EXPECT_TRUE(s.portPath().startsWith("/dev/pts/"));
    s.stop();
    EXPECT_FALSE(s.isRunning());
    s.stop();  // twice is harmless
    ASSERT_TRUE(s.start());
    SlaveLine line(s.portPath());
    ASSERT_TRUE(line.write(kIdentRequest));
    EXPECT_EQ(line.read(16), kIdentReply);
}

}  // namespace
}  // namespace nbx::test
