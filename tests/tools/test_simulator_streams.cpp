// The simulator's live streams driven from the line: real-time frames paced by ACK, calibration
// levels and result, the free-running meter, CAN, faults on stream frames and the script file.
#include "SlaveLine.h"

#include "nbx70-sim/SimFrame.h"
#include "nbx70-sim/Simulator.h"

#include <QTest>
#include <gtest/gtest.h>

namespace nbx::test {
namespace {

using sim::Fault;
using sim::Simulator;

const QByteArray kPassword = bytes("02 00 0A 0A 31 32 33 34 03 05");
const QByteArray kRealTime = bytes("02 00 06 09 03 0E");
const QByteArray kCalibration = bytes("02 00 06 0E 03 09");
const QByteArray kMeter = bytes("02 00 06 11 03 16");
const QByteArray kRealTimeFrame = bytes("02 00 14 09 1F 0C 7C 17 3B 3A 01 01 00 00 00 02 58 05 03 3A");
const QByteArray kMeterFrame =
    bytes("02 00 22 11 58 02 58 02 58 02 58 02 3C 00 58 02 58 02 58 02 58 02 58 02 58 02 58 02 58 02 58 02 03 54");

struct Line {
    explicit Line(const sim::StreamScript& script)
    {
        sim.setStreamScript(script);
        QString error;
        EXPECT_TRUE(sim.start(&error)) << error.toStdString();
        line = std::make_unique<SlaveLine>(sim.portPath());
    }
    void send(const QByteArray& b) { EXPECT_TRUE(line->write(b)); }
    Simulator sim;
    std::unique_ptr<SlaveLine> line;
};

sim::StreamScript quickScript()
{
    sim::StreamScript s = sim::defaultStreamScript();
    s.calibrationPeriodMs = 10;
    s.meterPeriodMs = 10;
    return s;
}

TEST(SimulatorStreams, FramesCarryTheDocumentedBytes)
{
    EXPECT_EQ(sim::encodeFrame(0x09, sim::realTimeData(31, 12, 124, 23, 59, 58, 1, 1, 0, 0, 0, 600, 5)), kRealTimeFrame);
    EXPECT_EQ(sim::encodeFrame(0x0F, sim::calibrationLevelData(600)), bytes("02 00 08 0F 58 02 03 5C"));
    EXPECT_EQ(sim::encodeFrame(0x11, sim::meterData({600, 600, 600, 600, 60, 600, 600, 600, 600, 600, 600, 600, 600, 600})),
              kMeterFrame);
}

TEST(SimulatorStreams, RealTimeSendsTheNextFrameOnlyAfterAck)
{
    Line l(quickScript());
    l.send(kRealTime);
    EXPECT_EQ(l.line->read(20), kRealTimeFrame);
    EXPECT_TRUE(l.line->readFor(150).isEmpty());
    l.send(bytes("06"));
    const QByteArray second = l.line->read(20);
    ASSERT_EQ(second.size(), 20);
    EXPECT_EQ(second.left(4), bytes("02 00 14 09"));
    l.send(bytes("18"));
    l.send(bytes("06")); // an ACK after CAN asks for nothing
    EXPECT_TRUE(l.line->readFor(150).isEmpty());
}

TEST(SimulatorStreams, CalibrationNeedsThePasswordThenSendsLevelsAndItsResult)
{
    sim::StreamScript s = quickScript();
    s.calibrationResult = 2;
    Line l(s);
    l.send(kCalibration);
    EXPECT_TRUE(l.line->readFor(150).isEmpty());
    l.send(kPassword);
    EXPECT_EQ(l.line->read(1), bytes("06"));
    l.send(kCalibration);
    EXPECT_EQ(l.line->read(8), bytes("02 00 08 0F 58 02 03 5C"));
    EXPECT_EQ(l.line->read(8).left(4), bytes("02 00 08 0F"));
    EXPECT_EQ(l.line->read(7), sim::encodeFrame(0x0E, bytes("02")));
    EXPECT_TRUE(l.line->readFor(100).isEmpty());
    l.send(bytes("18"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return l.sim.events().filter("stream ended (CAN)").size() == 1; }, 10000));
}

TEST(SimulatorStreams, MeterFreeRunsUntilCanAndCanSendFramesAfterIt)
{
    sim::StreamScript s = quickScript();
    Line l(s);
    l.send(kPassword);
    EXPECT_EQ(l.line->read(1), bytes("06"));
    l.send(kMeter);
    EXPECT_EQ(l.line->read(34), kMeterFrame);
    EXPECT_EQ(l.line->read(34 * 4).size(), 34 * 4);
    l.send(bytes("18"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return l.sim.events().filter("stream ended (CAN)").size() == 1; }, 10000));
    EXPECT_TRUE(l.line->drain()); // what was on its way before CAN, then nothing

    s.framesAfterCan = 2;
    l.sim.setStreamScript(s);
    l.sim.clearLog();
    l.send(kPassword);
    EXPECT_EQ(l.line->read(1), bytes("06"));
    l.send(kMeter);
    EXPECT_EQ(l.line->read(34), kMeterFrame);
    l.send(bytes("18"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return l.sim.events().filter("stream ended (CAN)").size() == 1; }, 10000));
    // Exactly two frames went out after the CAN was read.
    const QList<sim::LogEntry> log = l.sim.log();
    qsizetype after = 0;
    bool canSeen = false;
    for (const sim::LogEntry& e : log) {
        canSeen = canSeen || (!e.fromDevice && e.byte == 0x18);
        after += canSeen && e.fromDevice;
    }
    EXPECT_EQ(after, 2 * 34);
}

TEST(SimulatorStreams, FaultsApplyToStreamFrames)
{
    Line l(quickScript());
    l.sim.injectFault(Fault::BadCheckByte, 0x09);
    l.send(kRealTime);
    const QByteArray bad = l.line->read(20);
    ASSERT_EQ(bad.size(), 20);
    EXPECT_EQ(quint8(bad[19]), quint8(0x3A ^ 0xFF));
    l.send(bytes("18"));

    l.sim.injectFault(Fault::StallMidFrame, 0x09);
    l.send(kRealTime);
    EXPECT_EQ(l.line->read(10, 5000), kRealTimeFrame.left(10));
    EXPECT_TRUE(l.line->readFor(100).isEmpty());
    l.send(bytes("06"));
    EXPECT_TRUE(l.line->readFor(100).isEmpty()); // stalled until CAN
    l.send(bytes("18"));

    l.sim.injectFault(Fault::ShortLength, 0x09);
    l.send(kRealTime);
    const QByteArray expectedShort = sim::encodeFrame(0x09, kRealTimeFrame.mid(4, 7));
    EXPECT_EQ(l.line->read(int(expectedShort.size()), 5000), expectedShort);
    EXPECT_TRUE(l.line->readFor(100).isEmpty());
    l.send(bytes("18"));
}

TEST(SimulatorStreams, ScriptFileLinesAndErrors)
{
    QString error;
    const auto s = sim::parseStreamScript(QStringLiteral(
        "# a short show\n"
        "realtime 31 12 124 23 59 58 1 1 0 0 0 600 5\n"
        "realtime 1 1 125 0 0 0 0 0 1 0 0 1201 0 bad-check\n"
        "calibration 600\n"
        "result 3\n"
        "meter 600 600 600 600 60 600 600 600 600 600 600 600 600 600 stall\n"
        "period meter 0\n"
        "period realtime 20\n"
        "free-running\n"
        "after-can 2\n"), &error);
    ASSERT_TRUE(s.has_value()) << error.toStdString();
    ASSERT_EQ(s->realTime.size(), 2);
    EXPECT_EQ(sim::encodeFrame(0x09, s->realTime[0].data), kRealTimeFrame);
    EXPECT_EQ(s->realTime[1].fault, Fault::BadCheckByte);
    EXPECT_EQ(s->calibration.size(), 1);
    EXPECT_EQ(s->calibrationResult, 3);
    ASSERT_EQ(s->meter.size(), 1);
    EXPECT_EQ(s->meter[0].fault, Fault::StallMidFrame);
    EXPECT_EQ(s->meterPeriodMs, 0);
    EXPECT_EQ(s->realTimePeriodMs, 20);
    EXPECT_TRUE(s->realTimeFreeRunning);
    EXPECT_EQ(s->framesAfterCan, 2);

    const struct {
        const char* text;
        const char* error;
    } bad[] = {
        {"realtime 1 2 3\n", "line 1: realtime takes 13 numbers"},
        {"\ncalibration 600 wobble\n", "line 2: unknown fault"},
        {"meter 1 2 3 4 5 6 7 8 9 10 11 12 13 x4\n", "line 1: unknown fault"},
        {"period ice 10\n", "line 1: period of realtime, calibration or meter"},
        {"dance\n", "line 1: not understood"},
        {"result two\n", "line 1: \"two\" is not a number"},
    };
    for (const auto& b : bad) {
        EXPECT_FALSE(sim::parseStreamScript(QString::fromLatin1(b.text), &error).has_value()) << b.text;
        EXPECT_EQ(error, QString::fromLatin1(b.error)) << b.text;
    }
}

} // namespace
} // namespace nbx::test
