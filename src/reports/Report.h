// The report engine: reports read from our definition files, filled by name, bound to queries on
// the main connection, laid out in millimetres into a document that paints on any QPainter.
#pragma once

#include "reports/DetailRules.h"
#include "reports/ReportDocument.h"

#include <QColor>
#include <QHash>
#include <QList>
#include <QPageLayout>
#include <QPicture>
#include <QRectF>
#include <QString>
#include <QVariant>
#include <memory>
#include <vector>

namespace nbx::reports {

class Report;

enum class FieldKind { Label, Text, Bound, Result, Picture, Subreport, PageNumber, Line };

// Owns a subreport field's report; a copy holds a copy of it, so a copied report shares nothing
// that its original's user may change later.
class SubreportHolder {
public:
    SubreportHolder();
    SubreportHolder(const SubreportHolder& other);
    SubreportHolder& operator=(const SubreportHolder& other);
    ~SubreportHolder();
    std::unique_ptr<Report> report;
};

// A bound field's value map: a stored value shown as a fixed text or as the text of a string id.
struct ValueMap {
    QString value;
    QString text;
    long stringId = 0;
};

class Field {
public:
    QString name;
    FieldKind kind = FieldKind::Label;
    QRectF rect;                 // millimetres, relative to the section
    QString source;              // bound: the column shown
    QString format;              // bound: "date:..", "time:..", "vbnum:#.0", "int", "bool:68/69"
    QList<ValueMap> maps;
    QString image;               // picture: the run-time picture's name
    bool keepAspect = true;
    bool canGrow = false;
    bool keepWithNext = false;   // a heading: moves to the next page with what follows it
    Qt::Alignment align = Qt::AlignLeft;
    bool bold = false;
    double fontSize = 0;         // points; 0: the report's size
    bool border = false;
    QColor fill;                 // invalid: none
    int line = 0;                // line in the definition file

    void setText(const QString& text) { text_ = text; }
    QString text() const { return text_; }
    void setVisible(bool visible) { visible_ = visible; }
    bool isVisible() const { return visible_; }
    Report* subreport() const { return sub_.report.get(); }

private:
    friend class DefinitionParser;
    friend class Report;
    QString text_;
    bool visible_ = true;
    SubreportHolder sub_;
};

class Section {
public:
    QString name;
    double height = 0; // millimetres
    std::vector<std::unique_ptr<Field>> fields;

    void setDetailRules(DetailRules rules) { rules_ = std::move(rules); }
    const DetailRules& detailRules() const { return rules_; }

private:
    DetailRules rules_;
};

struct LayoutResult {
    std::shared_ptr<const ReportDocument> document;
    QString error; // set when the layout failed (no document then)
};

class Report {
public:
    Report();
    ~Report();

    QString name;
    QPageLayout pageLayout;    // the main report's page; unused in subreports
    QString fontFamily = QStringLiteral("DejaVu Sans");
    double fontSize = 8;       // points
    std::vector<std::unique_ptr<Section>> sections;

    // Field of this report (not of its subreports) by name; nullptr when there is none.
    Field* field(const QString& name) const;
    Section* section(const QString& name) const;

    // The query that feeds the report, run on the main connection at layout time.
    void setRecordSource(const QString& sql, const QVariantList& binds);
    QString recordSource() const { return sql_; }
    QVariantList recordBinds() const { return binds_; }

    // A named picture (vector) shown by the picture fields that name it, in this report and its
    // subreports.
    void setPicture(const QString& name, const QPicture& picture);

    // Layout is synchronous, so a report is never busy.
    bool busy() const { return false; }

    // Runs the queries and lays the pages out. A failing query or a field naming a column its
    // record source lacks fails the layout. The document keeps a copy of the report: the records
    // of a page are read again when the page is drawn, so its memory does not grow with the pages.
    LayoutResult layout() const;

    // A deep copy (subreports included) without a parent.
    std::unique_ptr<Report> clone() const;

private:
    friend class DefinitionParser;
    friend class Layouter;
    QString sql_;
    QVariantList binds_;
    QHash<QString, std::shared_ptr<const QPicture>> pictures_;
    Report* parent_ = nullptr;
};

struct LoadResult {
    std::unique_ptr<Report> report;
    QString error; // set when loading failed
};

// Loads report `reportName` of the definition file `path`. Errors say why in words, naming the
// file, then the system's text or, for a malformed definition, the line and what is wrong there.
LoadResult loadReport(const QString& path, const QString& reportName);
// The same from the text of a definition (`path` only names it in errors).
LoadResult loadReportText(const QByteArray& text, const QString& path, const QString& reportName);

// Line breaks kept in texts (CR, CR LF, LF) split into lines.
QStringList textLines(const QString& text);

} // namespace nbx::reports
