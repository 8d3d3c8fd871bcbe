// The print buttons' window side: a prepared report is laid out and shown in the preview, or its
// failure shown in one critical message.
#pragma once

#include "reports/ReportDrivers.h"

class QWidget;

namespace nbx {

class Form2;

// Lays the job's report out and shows it in a modal Form15; a job with an error shows the error
// (critical icon) instead, an empty job nothing. Returns true when the preview was shown.
bool showReport(reports::PrintJob job, QWidget* parent);

// The programming window's print button: the sheet report of the sheet shown.
void printSheetReport(Form2& form);

// Installs the print buttons' actions on the windows of the areas below the reports.
void installReportPrinting();

} // namespace nbx
