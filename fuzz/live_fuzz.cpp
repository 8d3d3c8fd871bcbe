// Feeds arbitrary frames to the decoders of the live windows (real time, calibration, meter).
#include "FuzzFrame.h"
#include "programming/LiveFrames.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const nbx::FrameBuffer f = fuzzFrame(data, size);
    static const QLocale locale(QLocale::Spanish, QLocale::Spain);
    const nbx::RealTimeDisplay d = nbx::decodeRealTime(f, locale);
    if (d.barValue < 0 || d.barValue > nbx::kAttenuationBarMax || d.nivel.isEmpty())
        __builtin_trap();
    (void)nbx::decodeMeter(f, locale);
    if (nbx::isCalibrationLevel(f))
        (void)nbx::calibrationLevelText(f, locale);
    else
        (void)nbx::calibrationResult(f.at(4));
    return 0;
}
