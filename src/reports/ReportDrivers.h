// The print buttons' common work, without windows: the inhibited-interval list, the settings row,
// the sheet row, loading a definition and filling the common, label and computed fields.
#pragma once

#include "programming/SheetValues.h"
#include "reports/Report.h"

#include <QPicture>
#include <QSqlRecord>
#include <QString>
#include <memory>
#include <optional>

namespace nbx::reports {

// The printed list of a sheet's inhibited intervals: "nn - start <-> end" entries, two a line
// ("     ,     " between them, CR after the second); a single blank when none is set. An interval
// whose start date is "00/00/00", empty or null is not set.
QString listaIntervalosInhabiles(const InhibitedIntervals& intervals);

// A serial number text: digits only (blanks around allowed); none for anything else, so no other
// text can reach a query.
std::optional<qint32> parseSerialText(const QString& text);

// The definition file of report n (1..4): XML/nbx70_n.xml in the definition folder.
QString definitionPath(int n);
// Replaces the definition folder (the resources' XML folder) for tests; empty restores it.
void setDefinitionFolder(const QString& folder);

// What a print button ends with: a report to lay out and preview, or a message to show with the
// critical icon, or nothing at all (both empty).
struct PrintJob {
    std::unique_ptr<Report> report;
    QString error;
};

// The programming sheet report "NBX70_1" of a stored sheet (the zero test and the save offer are
// the window's). `versionText` is the window's version box.
PrintJob prepareSheetReport(qint32 serial, const QString& versionText, const InhibitedIntervals& intervals);

// The graph report "NBX70_4": the level chart as picture "NBX70_4Pic3", the event chart as "NBX70_4Pic2".
struct GraphReportInput {
    qint32 serial = 0;
    QString fechaTotales, horaTotales; // the record window's totals boxes, as shown
    InhibitedIntervals intervals;      // the record window's device
    QPicture levelChart, eventChart;
};
PrintJob prepareGraphReport(const GraphReportInput& in);

// The interval report "NBX70_2" or session report "NBX70_3" over the records whose start lies in
// [from, to] (stored forms "yyyy-MM-dd" and "hh:mm"), both ends included.
struct ListingReportInput {
    qint32 serial = 0;
    bool sessions = false;
    QString fromDate, fromTime, toDate, toTime;
    QString fechaTotales, horaTotales;
    InhibitedIntervals intervals;
    QString textoUsuario;
};
PrintJob prepareListingReport(const ListingReportInput& in);

// The label and computed fields shared by the four reports, from the printed Programacion row;
// `version` decides the CMI fields. Returns the first missing field's message, or "".
QString fillSheetFields(Report& report, const QSqlRecord& row, double version);

} // namespace nbx::reports
