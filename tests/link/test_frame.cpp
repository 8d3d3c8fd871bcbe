#include "LinkFixture.h"

#include "link/FrameReceiver.h"
#include "link/Identification.h"
#include "localisation/Strings.h"

namespace nbx::test {
namespace {

TEST(Frame, BuildsTheWireBytes)
{
    EXPECT_EQ(buildFrame(0x01), bytes({0x02, 0x00, 0x06, 0x01, 0x03, 0x06}));
    EXPECT_EQ(buildFrame(0x0C), bytes({0x02, 0x00, 0x06, 0x0C, 0x03, 0x0B}));
    const QByteArray pw = buildFrame(0x0A, "ab  ");
    EXPECT_EQ(pw.left(9), bytes({0x02, 0x00, 0x0A, 0x0A, 0x61, 0x62, 0x20, 0x20, 0x03}));
    EXPECT_EQ(uint8_t(pw.at(9)), 0x02 ^ 0x0A ^ 0x0A ^ 0x61 ^ 0x62 ^ 0x03);
}

TEST(Frame, HexByteAndNumbers)
{
    EXPECT_EQ(HexByte(10), "0A");
    EXPECT_EQ(HexByte(0), "00");
    EXPECT_EQ(HexByte(0xFF), "FF");
    FrameBuffer b;
    const int v[] = {0xFF, 0xFE, 0x7F, 0xFF, 0x01, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF};
    for (int k = 0; k < 11; ++k)
        b[k] = uint8_t(v[k]);
    EXPECT_EQ(b.readI16BE(0), -2);
    EXPECT_EQ(b.readI16BE(2), 32767);
    EXPECT_EQ(b.readU24BE(4), 65536u);
    EXPECT_EQ(b.readI32BE(7), -1);
    EXPECT_EQ(b.readI16LE(0), int16_t(0xFEFF));
    EXPECT_EQ(b.readU24LE(4), 1u);
    EXPECT_EQ(b.at(-1), 0);
    EXPECT_EQ(b.at(513), 0);
}

class Receiver : public LinkFixture {
protected:
    Receiver() { openPort(); }
    ReceiveResult receive()
    {
        InactivityTimer t = link.frameTimer();
        return RecibirTramaResult(link, t);
    }
    FakeNbx70 dev;
};

TEST_F(Receiver, SkipsNoiseAndAcceptsAFrameInChunks)
{
    const QByteArray f = dev.identificationFrame();
    port.reply(bytes({0xFF, 0x00}) + f.left(5));
    port.reply(f.mid(5, 5), 1000);
    port.reply(f.mid(10), 2000);
    ASSERT_EQ(receive(), ReceiveResult::Ok);
    EXPECT_EQ(link.BufferTrama.frame(), f);
    EXPECT_EQ(link.BufferTrama.length(), 16);
    EXPECT_TRUE(prompts.shown.isEmpty());
}

TEST_F(Receiver, WrongEtxWithRightXorIsAccepted)
{
    QByteArray f = buildFrame(0x01, "abc");
    f[f.size() - 2] = 0x55;
    f[f.size() - 1] = char(xorOf(f.left(f.size() - 1)));
    port.reply(f);
    EXPECT_EQ(receive(), ReceiveResult::Ok);
}

TEST_F(Receiver, LengthOutOfRangeIsRefusedBeforeDataIsStored)
{
    const QByteArray lens[] = {bytes({0x80, 0x00}), bytes({0x02, 0x02}), bytes({0x00, 0x05})};
    for (const QByteArray& len : lens) {
        SCOPED_TRACE(len.toHex().toStdString());
        prompts.shown.clear();
        link.BufferTrama[3] = 0xAA;
        port.clearInput();
        port.reply(bytes({0x02}) + len + QByteArray(600, 0x11));
        EXPECT_EQ(receive(), ReceiveResult::BadFrame);
        EXPECT_EQ(link.BufferTrama.at(3), 0xAA);
        EXPECT_EQ(link.BufferTrama.length(), 0);
        ASSERT_EQ(prompts.shown.size(), 1);
        EXPECT_EQ(prompts.shown[0].text, GetS(62));
        EXPECT_EQ(prompts.shown[0].icon, Prompter::Icon::Critical);
    }
}

TEST_F(Receiver, WrongXorIsABadFrame)
{
    QByteArray f = buildFrame(0x01, "abc");
    f[f.size() - 1] = char(f.back() ^ 1);
    port.reply(f);
    EXPECT_EQ(receive(), ReceiveResult::BadFrame);
    EXPECT_TRUE(prompts.sawText(GetS(62)));
}

TEST_F(Receiver, EachByteRestartsTheTimeout)
{
    // Every byte 4.9 s after the last one: never a timeout, even past 30 s in all.
    port.reply(dev.identificationFrame(), 4900, 4900);
    EXPECT_EQ(receive(), ReceiveResult::Ok);
    EXPECT_GT(clock.nowMs(), 30000);
}

TEST_F(Receiver, AGapLongerThanTheIntervalTimesOut)
{
    const QByteArray f = dev.identificationFrame();
    port.reply(f.left(7));
    port.reply(f.mid(7), 5100);
    EXPECT_EQ(receive(), ReceiveResult::Timeout);
    EXPECT_EQ(clock.nowMs(), 5000);
    ASSERT_EQ(prompts.shown.size(), 1);
    EXPECT_EQ(prompts.shown[0].text, GetS(31));
}

TEST_F(Receiver, StopFlagEndsWithoutMessage)
{
    clock.at(1200, [&] { link.state.PararRecepcion = true; });
    port.reply(bytes({0x02, 0x00}));
    EXPECT_EQ(receive(), ReceiveResult::Stopped);
    EXPECT_LT(clock.nowMs(), 1300);
    EXPECT_TRUE(prompts.shown.isEmpty());
}

TEST_F(Receiver, EndlessNoiseEndsAsATimeout)
{
    port.reply(QByteArray(5000, char(0xFF)), 0, 10);
    EXPECT_EQ(receive(), ReceiveResult::Timeout);
    EXPECT_TRUE(prompts.sawText(GetS(31)));
    // Noise followed by a frame within the limit still works.
    port.clearInput();
    clock.advanceTo(clock.nowMs() + 100000);
    port.clearInput();
    port.reply(QByteArray(4000, char(0xFF)) + dev.identificationFrame());
    EXPECT_EQ(receive(), ReceiveResult::Ok);
}

TEST_F(Receiver, AShortFrameLeavesNoOldBytesAndFailsIdentification)
{
    port.reply(dev.identificationFrame());
    ASSERT_EQ(receive(), ReceiveResult::Ok);
    port.reply(buildFrame(0x01));
    InactivityTimer t = link.frameTimer();
    EXPECT_FALSE(RecibirIdentificacion(link, t));
    EXPECT_TRUE(prompts.sawText(GetS(62)));
    for (int k = 6; k < FrameBuffer::kSize; ++k)
        ASSERT_EQ(link.BufferTrama.at(k), 0) << k;
}

struct IdCase {
    int major, minor;
    QByteArray serial;
    int mode;
    bool ok;
    const char* version;
    qint32 number;
};

TEST_F(Receiver, IdentificationParse)
{
    const IdCase cases[] = {
        {2, 0, "012345", 0, true, "2.0", 12345},
        {2, 12, "999999", 1, true, "2.12", 999999},
        {1, 5, "12A456", 1, false, "", 0},
        {1, 5, "12 456", 1, false, "", 0},
    };
    for (const IdCase& c : cases) {
        SCOPED_TRACE(c.serial.toStdString());
        dev.major = c.major;
        dev.minor = c.minor;
        dev.serial = c.serial;
        dev.mode = c.mode;
        link.state.NumeroSerieEqp = 777;
        port.reply(dev.identificationFrame());
        InactivityTimer t = link.frameTimer();
        ASSERT_EQ(RecibirIdentificacion(link, t), c.ok);
        if (c.ok) {
            EXPECT_EQ(link.state.VersionEqp, c.version);
            EXPECT_EQ(link.state.NumeroSerieEqp, c.number);
            EXPECT_EQ(link.state.ModoProgramacion, c.mode);
            EXPECT_EQ(link.state.TipoAparato, 5);
        } else {
            EXPECT_EQ(link.state.NumeroSerieEqp, 777);
            EXPECT_TRUE(prompts.sawText(GetS(62)));
        }
    }
}

TEST_F(Receiver, IdentificationRequestPausesFlushesAndSends)
{
    port.reply(bytes({0x41}));
    DemanaIdentificacion(link);
    EXPECT_EQ(port.written, bytes({0x02, 0x00, 0x06, 0x01, 0x03, 0x06}));
    EXPECT_GE(clock.sleptMs, 500);
    EXPECT_EQ(port.bytesAvailable(), 0);
}

} // namespace
} // namespace nbx::test
