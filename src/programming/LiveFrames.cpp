#include "programming/LiveFrames.h"

#include "link/Frame.h"
#include "programming/SheetText.h"

#include <QDate>
#include <QTime>

namespace nbx {

namespace {

// tenths / 10 with one decimal, built from integers (no rounding of a binary fraction).
QString tenthsText(int tenths, const QLocale& locale)
{
    const int t = tenths < 0 ? -tenths : tenths;
    return QStringLiteral("%1%2%3%4")
        .arg(tenths < 0 ? QStringLiteral("-") : QString())
        .arg(t / 10)
        .arg(locale.decimalPoint())
        .arg(t % 10);
}

} // namespace

QString liveLevelText(int tenths, const QLocale& locale)
{
    if (tenths < 600)
        return QStringLiteral("UND");
    if (tenths > 1200)
        return QStringLiteral("UP");
    return tenthsText(tenths, locale);
}

QString UndOrUpStr(int tenths, const QLocale& locale)
{
    if (tenths < 600)
        return QStringLiteral("Und");
    if (tenths > 1200)
        return QStringLiteral("Up");
    return tenthsText(tenths, locale);
}

RealTimeDisplay decodeRealTime(const FrameBuffer& f, const QLocale& locale)
{
    RealTimeDisplay d;
    const int day = f.at(4), month = f.at(5), year = f.at(6);
    d.fecha = fmtDate(day, month, year);
    const int h = f.at(7), m = f.at(8), s = f.at(9);
    if (QTime::isValid(h, m, s))
        d.hora = formatLongTime(QTime(h, m, s));
    else
        d.hora = QStringLiteral("%1:%2:%3").arg(h).arg(m).arg(s);
    d.sesion = f.at(10) == 1;
    d.noche = f.at(11) == 1;
    int attenuation = f.at(17);
    d.red = f.at(12) == 1;
    if (d.red)
        attenuation = 60;
    d.sensor = f.at(13) == 1;
    d.inhabil = f.at(14) == 1;
    d.nivel = f.at(13) != 0 ? QStringLiteral("---") : liveLevelText(f.readI16BE(15), locale);
    if (f.at(12) != 0)
        d.atenuador = QStringLiteral("-60");
    else if (attenuation == 0)
        d.atenuador = QStringLiteral("  0");
    else
        d.atenuador = QStringLiteral("-%1").arg(attenuation);
    d.barVisible = attenuation != 0;
    d.barValue = d.barVisible ? std::min(attenuation, kAttenuationBarMax) : 0;
    return d;
}

bool isCalibrationLevel(const FrameBuffer& f) { return f.at(3) == cmd::ComandoNivelCalibracion; }

QString calibrationLevelText(const FrameBuffer& f, const QLocale& locale)
{
    return liveLevelText(f.readI16LE(4), locale);
}

std::optional<CalibrationMessage> calibrationResult(int code)
{
    switch (code) {
    case 0: return CalibrationMessage{115, Prompter::Icon::Information};
    case 1: return CalibrationMessage{116, Prompter::Icon::Critical};
    case 2: return CalibrationMessage{117, Prompter::Icon::Critical};
    case 3: return CalibrationMessage{118, Prompter::Icon::Critical};
    default: return std::nullopt;
    }
}

MeterDisplay decodeMeter(const FrameBuffer& f, const QLocale& locale)
{
    MeterDisplay d;
    for (int i = 0; i < 4; ++i)
        d.values[size_t(i)] = UndOrUpStr(f.readI16LE(4 + 2 * i), locale);
    d.leqTLabel = QStringLiteral("LeqT(%1s):").arg(f.readI16LE(12));
    for (int b = 0; b < 9; ++b)
        d.bands[size_t(b)] = UndOrUpStr(f.readI16LE(14 + 2 * b), locale);
    return d;
}

QByteArray liveRequest(uint8_t command) { return buildFrame(command); }

} // namespace nbx
