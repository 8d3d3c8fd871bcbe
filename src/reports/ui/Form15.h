// Form15: the print preview of a laid-out report, with print, back and help.
#pragma once

#include "reports/ReportDocument.h"

#include <QAbstractScrollArea>
#include <QDialog>
#include <QPixmap>
#include <deque>
#include <functional>
#include <memory>

class QPrinter;
class QPushButton;

namespace nbx {

// The pages of a laid-out document one under the other, as wide as the view. Only the pages in
// view are painted, each from the document as it is: showing or scrolling a long report never
// paints all of it.
class ReportPreview : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit ReportPreview(std::shared_ptr<const reports::ReportDocument> document, QWidget* parent = nullptr);

    int pageCount() const { return document_ ? document_->pageCount() : 0; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QSize pageSize() const;
    int stride() const { return pageSize().height() + kGap; }
    void updateScrollBars();
    const QPixmap& pagePixmap(int page, const QSize& size);

    static constexpr int kGap = 12;
    static constexpr size_t kCachedPages = 8;
    struct Cached {
        int page;
        QPixmap pixmap;
    };
    std::shared_ptr<const reports::ReportDocument> document_;
    std::deque<Cached> cache_; // most recently used first, all of the current page size
};

class Form15 : public QDialog {
    Q_OBJECT
public:
    // A null document gives an empty preview whose print button does nothing.
    explicit Form15(std::shared_ptr<const reports::ReportDocument> document, QWidget* parent = nullptr);
    ~Form15() override;

    // The print dialog; returns false when the user cancels. Tests replace it.
    using PrintDialog = std::function<bool(QPrinter& printer, QWidget* parent)>;
    void setPrintDialog(PrintDialog dialog) { printDialog_ = std::move(dialog); }

    std::shared_ptr<const reports::ReportDocument> document() const { return document_; }

    ReportPreview* VSPrinter1;
    QPushButton* SSCommandImprimir;
    QPushButton* SSCommandExit;
    QPushButton* SSCommandHelp;

public slots:
    void SSCommandImprimir_Click();
    void SSCommandExit_Click();
    void SSCommandHelp_Click();

private:
    // Writes the pages chosen as a PDF file, page by page; a file is put in place only once
    // whole, so a failed write leaves no partial file behind. *systemError gets the system's
    // number of a failed write (0 when it is not known).
    bool printPdf(const QPrinter& printer, const QPageRanges& ranges, QString* error, int* systemError) const;
    // Prints the pages chosen on the printer or the PDF file it names: empty, or the failure as its
    // box says it (what could not be done, why, the system's text).
    QString printTo(QPrinter& printer, const QPageRanges& ranges) const;

    std::shared_ptr<const reports::ReportDocument> document_;
    PrintDialog printDialog_;
};

} // namespace nbx
