// What the record window shows of its device and the reports print: its totals boxes and its
// inhibited intervals.
#pragma once

#include "programming/SheetValues.h"

#include <QString>
#include <functional>

namespace nbx {

// Until the record window provides them, they come from the stored sheet.
struct RecordWindowContext {
    QString fechaTotales; // MaskFechaTotales as shown
    QString horaTotales;  // MaskHoraTotales as shown
    InhibitedIntervals intervals;
    QString error; // a look-up that failed: its own description, and nothing is printed
};
using RecordWindowContextSource = std::function<RecordWindowContext(qint32 serial)>;
void setRecordWindowContextSource(RecordWindowContextSource source);
RecordWindowContext recordWindowContext(qint32 serial);

} // namespace nbx
