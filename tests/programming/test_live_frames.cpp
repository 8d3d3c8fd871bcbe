// The live windows' frame decoders: real-time display, calibration levels and results, meter.
#include "link/Frame.h"
#include "programming/LiveFrames.h"

#include <gtest/gtest.h>

namespace nbx::test {
namespace {

const QLocale kSpanish(QLocale::Spanish, QLocale::Spain);
const QLocale kEnglish(QLocale::English, QLocale::UnitedKingdom);

// A received frame in a buffer: STX, LEN, command, data, ETX, XOR.
FrameBuffer received(uint8_t command, const QByteArray& data)
{
    const QByteArray f = buildFrame(command, data);
    FrameBuffer b;
    for (int i = 0; i < f.size(); ++i)
        b[i] = uint8_t(f[i]);
    b.setLength(int(f.size()));
    return b;
}

QByteArray bytes(std::initializer_list<int> v)
{
    QByteArray b;
    for (int x : v)
        b.append(char(uint8_t(x)));
    return b;
}

// date, time, session, night, mains, sensor, inhibited, level (2 bytes), attenuation
QByteArray realTime(int d, int m, int y, int mains, int sensor, int hi, int lo, int att, int h = 23, int n = 59, int s = 58)
{
    return bytes({d, m, y, h, n, s, 1, 0, mains, sensor, 0, hi, lo, att});
}

TEST(LiveFrames, RealTimeDisplayRules)
{
    const struct {
        QByteArray data;
        QString fecha, hora, nivel, atenuador;
        bool red, sensor, bar;
        int barValue;
    } cases[] = {
        {realTime(31, 12, 124, 0, 0, 0x02, 0x58, 5), "31/12/24", "23:59:58", "60,0", "-5", false, false, true, 5},
        {realTime(31, 12, 124, 0, 0, 0x02, 0x57, 0), "31/12/24", "23:59:58", "UND", "  0", false, false, false, 0},
        {realTime(1, 1, 100, 0, 0, 0x04, 0xB0, 55), "01/01/00", "23:59:58", "120,0", "-55", false, false, true, 40},
        {realTime(31, 2, 124, 0, 0, 0x04, 0xB1, 40), "31/2/124", "23:59:58", "UP", "-40", false, false, true, 40},
        {realTime(1, 13, 99, 0, 0, 0xFF, 0xFF, 1, 24, 0, 0), "1/13/99", "24:0:0", "UND", "-1", false, false, true, 1},
        {realTime(5, 6, 124, 0, 2, 0x02, 0x58, 0), "05/06/24", "23:59:58", "---", "  0", false, false, false, 0},
        {realTime(5, 6, 124, 0, 1, 0x02, 0x58, 0), "05/06/24", "23:59:58", "---", "  0", false, true, false, 0},
        {realTime(5, 6, 124, 1, 0, 0x02, 0x58, 0), "05/06/24", "23:59:58", "60,0", "-60", true, false, true, 40},
        {realTime(5, 6, 124, 2, 0, 0x02, 0x58, 7), "05/06/24", "23:59:58", "60,0", "-60", false, false, true, 7},
        {realTime(5, 6, 124, 2, 0, 0x02, 0x58, 0), "05/06/24", "23:59:58", "60,0", "-60", false, false, false, 0},
    };
    for (const auto& c : cases) {
        const RealTimeDisplay d = decodeRealTime(received(0x09, c.data), kSpanish);
        const std::string where = c.data.toHex(' ').toStdString();
        EXPECT_EQ(d.fecha, c.fecha) << where;
        EXPECT_EQ(d.hora, c.hora) << where;
        EXPECT_EQ(d.nivel, c.nivel) << where;
        EXPECT_EQ(d.atenuador, c.atenuador) << where;
        EXPECT_EQ(d.red, c.red) << where;
        EXPECT_EQ(d.sensor, c.sensor) << where;
        EXPECT_EQ(d.barVisible, c.bar) << where;
        EXPECT_EQ(d.barValue, c.barValue) << where;
        EXPECT_TRUE(d.sesion) << where;
        EXPECT_FALSE(d.noche) << where;
    }
    EXPECT_EQ(decodeRealTime(received(0x09, realTime(31, 12, 124, 0, 0, 0x02, 0x58, 5)), kEnglish).nivel, "60.0");
}

TEST(LiveFrames, LevelSpellingsOfTheThreeWindows)
{
    const struct {
        int tenths;
        const char* upper;
        const char* mixed;
    } cases[] = {{600, "60.0", "60.0"}, {599, "UND", "Und"}, {1200, "120.0", "120.0"}, {1201, "UP", "Up"},
                 {-1, "UND", "Und"},   {-32768, "UND", "Und"}, {32767, "UP", "Up"}, {941, "94.1", "94.1"}};
    for (const auto& c : cases) {
        EXPECT_EQ(liveLevelText(c.tenths, kEnglish), c.upper) << c.tenths;
        EXPECT_EQ(UndOrUpStr(c.tenths, kEnglish), c.mixed) << c.tenths;
    }
    EXPECT_EQ(UndOrUpStr(600, kSpanish), "60,0");
}

TEST(LiveFrames, CalibrationLevelsAndResults)
{
    const struct {
        int lo, hi;
        const char* text;
    } levels[] = {{0x58, 0x02, "60,0"}, {0x57, 0x02, "UND"}, {0xB0, 0x04, "120,0"}, {0xB1, 0x04, "UP"}, {0xFF, 0xFF, "UND"}};
    for (const auto& l : levels) {
        const FrameBuffer f = received(0x0F, bytes({l.lo, l.hi}));
        EXPECT_TRUE(isCalibrationLevel(f));
        EXPECT_EQ(calibrationLevelText(f, kSpanish), l.text) << l.lo << " " << l.hi;
    }
    EXPECT_FALSE(isCalibrationLevel(received(0x0E, bytes({0}))));

    const struct {
        int code;
        long id;
        Prompter::Icon icon;
    } results[] = {{0, 115, Prompter::Icon::Information}, {1, 116, Prompter::Icon::Critical},
                   {2, 117, Prompter::Icon::Critical},    {3, 118, Prompter::Icon::Critical}};
    for (const auto& r : results) {
        const auto m = calibrationResult(r.code);
        ASSERT_TRUE(m.has_value()) << r.code;
        EXPECT_EQ(m->id, r.id);
        EXPECT_EQ(m->icon, r.icon);
    }
    EXPECT_FALSE(calibrationResult(7).has_value());
    EXPECT_FALSE(calibrationResult(255).has_value());
}

TEST(LiveFrames, MeterWordsLowByteFirst)
{
    // Each word in a value slot (LF) and in a band slot (8 kHz); T in its own slot.
    const struct {
        int lo, hi;
        const char* text;
    } words[] = {{0x58, 0x02, "60.0"}, {0x57, 0x02, "Und"}, {0xB0, 0x04, "120.0"}, {0xB1, 0x04, "Up"}, {0xFF, 0xFF, "Und"}};
    for (const auto& w : words) {
        QByteArray data(28, '\0');
        data[0] = char(w.lo), data[1] = char(w.hi);     // LF
        data[26] = char(w.lo), data[27] = char(w.hi);   // 8 kHz
        data[8] = char(0x3C);                           // T = 60
        const MeterDisplay d = decodeMeter(received(0x11, data), kEnglish);
        EXPECT_EQ(d.values[0], w.text);
        EXPECT_EQ(d.bands[8], w.text);
        EXPECT_EQ(d.values[1], "Und");
        EXPECT_EQ(d.leqTLabel, "LeqT(60s):");
    }
    QByteArray data(28, '\0');
    data[8] = char(0x01);
    EXPECT_EQ(decodeMeter(received(0x11, data), kEnglish).leqTLabel, "LeqT(1s):");
    data[8] = char(0xFF), data[9] = char(0xFF);
    EXPECT_EQ(decodeMeter(received(0x11, data), kEnglish).leqTLabel, "LeqT(-1s):");
}

TEST(LiveFrames, StreamRequests)
{
    EXPECT_EQ(liveRequest(0x09), bytes({0x02, 0x00, 0x06, 0x09, 0x03, 0x0E}));
    EXPECT_EQ(liveRequest(0x0E), bytes({0x02, 0x00, 0x06, 0x0E, 0x03, 0x09}));
    EXPECT_EQ(liveRequest(0x11), bytes({0x02, 0x00, 0x06, 0x11, 0x03, 0x16}));
}

} // namespace
} // namespace nbx::test
