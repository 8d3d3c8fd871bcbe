// A laid-out report: pages of positioned draw items in millimetres, painted on any QPainter.
#pragma once

#include <QColor>
#include <QPageLayout>
#include <QPageRanges>
#include <QPicture>
#include <QRectF>
#include <QString>
#include <memory>
#include <vector>

class QPainter;
class QPagedPaintDevice;

namespace nbx::reports {

struct FontSpec {
    QString family;
    double pointSize = 8;
    bool bold = false;
    double ascentMm = 0; // measured at layout
    bool operator==(const FontSpec& o) const
    {
        return family == o.family && pointSize == o.pointSize && bold == o.bold;
    }
};

struct DrawItem {
    enum Type { Text, Line, Box, Picture };
    Type type = Text;
    QRectF rect;        // millimetres from the page's top left corner
    QString text;       // one line
    double textWidth = 0; // millimetres, measured at layout (page numbers: 0, measured when painted)
    bool clip = false;  // Text: cut at the sides of rect (a fixed field's text wider than its box)
    // A cut text: only its characters that can show are drawn, `visibleLength` of them from
    // `visibleFrom`, the first `visibleX` mm right of rect's left side (0 or less), spread over
    // `visibleWidth` mm.
    qsizetype visibleFrom = 0;
    qsizetype visibleLength = 0;
    double visibleX = 0;
    double visibleWidth = 0;
    int font = 0;       // index into ReportDocument::fonts
    int align = 0;      // Qt::Alignment of the text within its rectangle
    QColor fill;        // Box: background (invalid: none)
    bool border = false;
    std::shared_ptr<const QPicture> picture;
};

// Gives the draw items of a page when the page is drawn.
class PageSource {
public:
    virtual ~PageSource() = default;
    virtual std::vector<DrawItem> items(int page) = 0;
    // Lets go of what was held to draw pages in a row (open queries).
    virtual void release() {}
};

struct ReportDocument {
    QPageLayout pageLayout;
    std::vector<FontSpec> fonts;

    ReportDocument() = default;
    ReportDocument(int pageCount, std::shared_ptr<PageSource> source)
        : pageCount_(pageCount), source_(std::move(source)) {}

    int pageCount() const { return pageCount_; }
    QSizeF pageSizeMm() const;
    // The items of page `page` (from 0), made again on every call: none is kept between calls.
    std::vector<DrawItem> pageItems(int page) const;
    // Ends a run of pages drawn one after the other (the pages in view, a printout).
    void release() const;

    // Paints page `page` (from 0) scaled into `target`, in the painter's device coordinates.
    void paint(QPainter& painter, int page, const QRectF& target) const;
    // Paints the pages in `ranges` (numbered from 1; empty: every page) on a paged device (a
    // printer, a PDF writer), one device page each. The device's page layout is set from the
    // document's. Returns false with the reason in words when no page is in the ranges or the
    // device does not begin, take a new page or end.
    bool print(QPagedPaintDevice& device, QString* error, const QPageRanges& ranges = {}) const;
    // The texts of a page in reading order (tests, diagnostics).
    QStringList pageTexts(int page) const;

private:
    void paintItems(QPainter& painter, const std::vector<DrawItem>& items, const QRectF& target) const;

    int pageCount_ = 0;
    std::shared_ptr<PageSource> source_;
};

} // namespace nbx::reports
