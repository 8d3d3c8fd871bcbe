// The print buttons' window side: a prepared report is laid out and shown in the preview, or its
// failure shown in one critical message.
#pragma once

#include "reports/ReportDrivers.h"

#include <functional>

class QWidget;

namespace nbx {

class Form2;
class Form9;

// What the record window shows of its device and the reports print: its totals boxes and its
// inhibited intervals. Until the record window provides them, they come from the stored sheet.
struct RecordWindowContext {
    QString fechaTotales; // MaskFechaTotales as shown
    QString horaTotales;  // MaskHoraTotales as shown
    InhibitedIntervals intervals;
    QString error; // a look-up that failed: its own description, and nothing is printed
};
using RecordWindowContextSource = std::function<RecordWindowContext(qint32 serial)>;
void setRecordWindowContextSource(RecordWindowContextSource source);
RecordWindowContext recordWindowContext(qint32 serial);

// Lays the job's report out and shows it in a modal Form15; a job with an error shows the error
// (critical icon) instead, an empty job nothing. Returns true when the preview was shown.
bool showReport(reports::PrintJob job, QWidget* parent);

// The programming window's print button: the sheet report of the sheet shown.
void printSheetReport(Form2& form);

// The graph window's print button: both charts (as vector pictures) and the device's sheet.
void printGraphReport(Form9& form);

// Installs the print buttons' actions on the windows of the areas below the reports.
void installReportPrinting();

} // namespace nbx
