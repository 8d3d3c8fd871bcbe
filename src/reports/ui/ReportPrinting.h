// The print buttons' actions: the sheet report, the graph report and the listing window, installed
// on the windows of the areas below the reports.
#pragma once

namespace nbx {

class Form2;
class Form9;

// The programming window's print button: the sheet report of the sheet shown.
void printSheetReport(Form2& form);

// The graph window's print button: both charts (as vector pictures) and the device's sheet.
void printGraphReport(Form9& form);

// Installs the print buttons' actions on the windows of the areas below the reports.
void installReportPrinting();

} // namespace nbx
