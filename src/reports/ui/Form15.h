// Form15: the print preview of a laid-out report, with print, back and help.
#pragma once

#include "reports/ReportDocument.h"

#include <QDialog>
#include <functional>
#include <memory>

class QPrinter;
class QPrintPreviewWidget;
class QPushButton;

namespace nbx {

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

    QPrintPreviewWidget* VSPrinter1;
    QPushButton* SSCommandImprimir;
    QPushButton* SSCommandExit;
    QPushButton* SSCommandHelp;

public slots:
    void SSCommandImprimir_Click();
    void SSCommandExit_Click();
    void SSCommandHelp_Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void paintPreview(QPrinter* printer);

    // A long document shows its first pages at once and all of them a moment later.
    static constexpr int kFirstPages = 6;
    bool allPages_ = false;

    std::shared_ptr<const reports::ReportDocument> document_;
    std::unique_ptr<QPrinter> previewPrinter_;
    PrintDialog printDialog_;
};

} // namespace nbx
