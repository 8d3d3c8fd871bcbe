// Form15: the print preview of a laid-out report, with print, back and help.
#include "reports/ui/Form15.h"

#include "common/Prompter.h"
#include "common/ui/Help.h"
#include "localisation/LangDesk.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPixmap>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

namespace nbx {

namespace {

QPushButton* makeButton(QWidget* parent, const char* name, const QString& tip, const QIcon& icon)
{
    auto* b = new QPushButton(parent);
    b->setObjectName(QLatin1String(name));
    b->setIcon(icon);
    b->setIconSize(QSize(24, 24));
    b->setMinimumSize(48, 36);
    b->setToolTip(tip);
    b->setAccessibleName(tip);
    return b;
}

QIcon themed(const char* name, QStyle* style, QStyle::StandardPixmap fallback)
{
    return QIcon::fromTheme(QLatin1String(name), style->standardIcon(fallback));
}

// A printer drawn here, for systems without an icon theme.
QIcon printerIcon()
{
    QPixmap pm(48, 48);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(60, 60, 60), 2));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(14, 4, 20, 16));            // paper going in
    p.setBrush(QColor(150, 150, 160));
    p.drawRoundedRect(QRectF(4, 18, 40, 18), 3, 3); // body
    p.setBrush(Qt::white);
    p.drawRect(QRectF(12, 30, 24, 14));           // printed sheet
    p.setPen(QPen(QColor(60, 60, 60), 1.5));
    p.drawLine(QPointF(16, 35), QPointF(32, 35));
    p.drawLine(QPointF(16, 39), QPointF(28, 39));
    return QIcon(pm);
}

} // namespace

Form15::Form15(std::shared_ptr<const reports::ReportDocument> document, QWidget* parent)
    : QDialog(parent), document_(std::move(document)), previewPrinter_(std::make_unique<QPrinter>(QPrinter::HighResolution))
{
    setObjectName(QStringLiteral("Form15"));
    setWindowTitle(QString::fromLatin1(kAppTitle));
    setModal(true);
    if (document_) {
        QPageLayout layout = document_->pageLayout;
        layout.setMargins(QMarginsF(0, 0, 0, 0));
        previewPrinter_->setFullPage(true);
        previewPrinter_->setPageLayout(layout);
    }
    VSPrinter1 = new QPrintPreviewWidget(previewPrinter_.get(), this);
    VSPrinter1->setObjectName(QStringLiteral("VSPrinter1"));
    connect(VSPrinter1, &QPrintPreviewWidget::paintRequested, this, &Form15::paintPreview);

    // The window is not translated: its tooltips stay in Spanish in every language.
    SSCommandImprimir = makeButton(this, "SSCommandImprimir", QStringLiteral("Imprimir"),
                                   QIcon::fromTheme(QStringLiteral("document-print"), printerIcon()));
    SSCommandExit = makeButton(this, "SSCommandExit", QStringLiteral("Volver"),
                               themed("go-previous", style(), QStyle::SP_ArrowBack));
    SSCommandHelp = makeButton(this, "SSCommandHelp", QStringLiteral("Ayuda"),
                               themed("help-contents", style(), QStyle::SP_MessageBoxQuestion));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(SSCommandImprimir);
    buttons->addStretch(1);
    buttons->addWidget(SSCommandHelp);
    buttons->addWidget(SSCommandExit);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(VSPrinter1, 1);
    layout->addLayout(buttons);
    connect(SSCommandImprimir, &QPushButton::clicked, this, &Form15::SSCommandImprimir_Click);
    connect(SSCommandExit, &QPushButton::clicked, this, &Form15::SSCommandExit_Click);
    connect(SSCommandHelp, &QPushButton::clicked, this, &Form15::SSCommandHelp_Click);
    resize(900, 760);
    VSPrinter1->fitToWidth();

    printDialog_ = [](QPrinter& printer, QWidget* parent) {
        QPrintDialog dialog(&printer, parent);
        return dialog.exec() == QDialog::Accepted;
    };
}

Form15::~Form15() = default;

void Form15::paintPreview(QPrinter* printer)
{
    if (!document_ || document_->pageCount() == 0)
        return;
    QString error;
    if (!document_->print(*printer, &error, allPages_ ? -1 : kFirstPages))
        prompter().message(langDesk().GetTranslation(QStringLiteral("No se puede imprimir:\r%1")).arg(error),
                           Prompter::Icon::Critical);
}

void Form15::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (allPages_)
        return;
    allPages_ = true;
    if (document_ && document_->pageCount() > kFirstPages)
        QTimer::singleShot(100, this, [this] { VSPrinter1->updatePreview(); });
}

void Form15::SSCommandImprimir_Click()
{
    if (!document_ || document_->pageCount() == 0)
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setFullPage(true);
    printer.setPageLayout(document_->pageLayout);
    if (!printDialog_(printer, this))
        return;
    QString error;
    if (!printer.isValid())
        error = QStringLiteral("The printer %1 is not available").arg(printer.printerName());
    else if (document_->print(printer, &error) && printer.printerState() != QPrinter::Error)
        return;
    if (error.isEmpty())
        error = QStringLiteral("The printer %1 reported an error").arg(printer.printerName());
    prompter().message(langDesk().GetTranslation(QStringLiteral("No se puede imprimir:\r%1")).arg(error),
                       Prompter::Icon::Critical);
}

void Form15::SSCommandExit_Click() { accept(); }

void Form15::SSCommandHelp_Click() { AbrirAyuda(); }

} // namespace nbx
