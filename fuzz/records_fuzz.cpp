// Feeds arbitrary frames to the download's decoders: totals, dates, interval and session records.
#include "FuzzFrame.h"
#include "records/RecordFrames.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const nbx::FrameBuffer f = fuzzFrame(data, size);
    static const QDateTime from(QDate(2024, 1, 1), QTime(0, 0), Qt::UTC);
    (void)nbx::decodeTotals(f);
    if (auto days = nbx::decodeDates(f))
        for (const nbx::DayEntry& e : days->borrados + days->reprogramados)
            if (!e.fecha.isValid() || e.hora.size() != 5)
                __builtin_trap();
    const auto i = nbx::decodeInterval(f, from, 1);
    if (i.verdict == nbx::Verdict::Store && (i.record.SLeqLocal != 0 && (i.record.SLeqLocal < 59 || i.record.SLeqLocal > 121)))
        __builtin_trap();
    const auto s = nbx::decodeSession(f, from, 1);
    if (s.verdict == nbx::Verdict::Store && (s.record.start < from || s.record.values().size() != 31))
        __builtin_trap();
    return 0;
}
