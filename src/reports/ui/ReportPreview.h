// A prepared report laid out and shown in the preview, or its failure shown in one critical message.
#pragma once

#include "reports/ReportDrivers.h"

class QWidget;

namespace nbx {

// Lays the job's report out and shows it in a modal Form15; a job with an error shows the error
// (critical icon) instead, an empty job nothing. Returns true when the preview was shown.
bool showReport(reports::PrintJob job, QWidget* parent);

} // namespace nbx
