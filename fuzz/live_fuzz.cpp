// Feeds arbitrary frames to the decoders of the live windows (real time, calibration, meter).
#include "link/Frame.h"
#include "programming/LiveFrames.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    nbx::FrameBuffer f;
    const int n = int(size < size_t(nbx::FrameBuffer::kSize) ? size : size_t(nbx::FrameBuffer::kSize));
    for (int i = 0; i < n; ++i)
        f[i] = data[i];
    f.setLength(n);
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
