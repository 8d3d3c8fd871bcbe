// The frames of the live windows (real-time view, calibration, sound level meter) decoded into
// the texts and states those windows show. No widgets: the windows copy these values.
#pragma once

#include "common/Prompter.h"

#include <QByteArray>
#include <QLocale>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>

namespace nbx {

class FrameBuffer;

// A level in tenths of dB as the real-time and calibration windows show it: "UND" below 600,
// "UP" above 1200, otherwise the value in dB with one decimal and the locale's separator.
QString liveLevelText(int tenths, const QLocale& locale);

// The meter's spelling of the same rule: "Und" below 600, "Up" above 1200. Compares the integer
// word, so the edges need no floating point.
QString UndOrUpStr(int tenths, const QLocale& locale);

// The attenuation bar holds 0 to 40 dB; more fills it.
inline constexpr int kAttenuationBarMax = 40;

// One real-time frame (LEN 20) as the device's display shows it.
struct RealTimeDisplay {
    QString fecha;          // "dd/mm/yy", or the raw "d/m/y" when the bytes make no date
    QString hora;           // "hh:mm:ss", or the raw "h:m:s" when they make no time
    bool sesion = false;    // a session is running
    bool noche = false;     // night period (else day)
    bool red = false;       // mains cut
    bool sensor = false;    // sensor fault
    bool inhabil = false;   // inside an inhibited interval
    QString nivel;          // "---", "UND", "UP" or the level
    QString atenuador;      // "-60", "  0" or "-A"
    bool barVisible = false;
    int barValue = 0;
};
RealTimeDisplay decodeRealTime(const FrameBuffer& frame, const QLocale& locale);

// Calibration: a level frame has the command byte 0x0F and a little-endian level; any other
// command byte ends the calibration with the result code at [4].
bool isCalibrationLevel(const FrameBuffer& frame);
QString calibrationLevelText(const FrameBuffer& frame, const QLocale& locale);
struct CalibrationMessage {
    long id;            // GetS id
    Prompter::Icon icon;
};
// Result 0 to 3; any other code ends without a message.
std::optional<CalibrationMessage> calibrationResult(int code);

// One meter frame (LEN 34): LF, LFmax, LeqT, Leq1s, the LeqT label with T, and nine octave bands
// 31.5 Hz to 8 kHz; every word little-endian, signed.
struct MeterDisplay {
    std::array<QString, 4> values; // LF, LFmax, LeqT, Leq1s
    QString leqTLabel;             // "LeqT(60s):"
    std::array<QString, 9> bands;
};
MeterDisplay decodeMeter(const FrameBuffer& frame, const QLocale& locale);

// The request that starts a stream: 02 00 06 cmd 03 XOR.
QByteArray liveRequest(uint8_t command);

} // namespace nbx
