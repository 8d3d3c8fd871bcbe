// Form15: the print preview of a laid-out report, with print, back and help.
#include "reports/ui/Form15.h"

#include "common/Prompter.h"
#include "common/ui/Help.h"
#include "localisation/DatabaseFailure.h"
#include "localisation/Strings.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QPaintEvent>
#include <QPainter>
#include <QPdfWriter>
#include <QPixmap>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <fcntl.h>
#include <unistd.h>

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

// The system's own reason for a failure, by its errno.
QString systemReason(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// Writes all of `size` bytes at `data` to the descriptor: 0, or the errno of the write that
// failed. The writes are made here rather than through a QFile, whose buffered writes report a
// failure that shows only on flushing or closing (a full disk) as "Unknown error".
int writeAll(int fd, const char* data, qint64 size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : ENOSPC; // a write that takes nothing: no room left
        data += n;
        size -= n;
    }
    return 0;
}

// Hands what is written on to a descriptor a megabyte at a time, keeping the errno of the first
// write that failed: a PDF goes out as its pages are drawn instead of being held whole in memory.
class DescriptorDevice : public QIODevice {
public:
    explicit DescriptorDevice(int fd) : fd_(fd)
    {
        buffer_.reserve(kChunk);
        open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }
    // Writes what is left: 0, or the errno of the first write that failed.
    int finish()
    {
        flush();
        return failure_;
    }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override
    {
        buffer_.append(data, size);
        if (buffer_.size() >= kChunk)
            flush();
        return size; // the writer goes on; a failure is reported once it is done
    }

private:
    void flush()
    {
        if (failure_ == 0)
            failure_ = writeAll(fd_, buffer_.constData(), buffer_.size());
        buffer_.resize(0); // keeps its room
    }

    static constexpr qsizetype kChunk = 1 << 20;
    int fd_;
    int failure_ = 0;
    QByteArray buffer_;
};

// Makes the whole of `path` with `write`. A regular file is written beside, synced to the disk
// and put in place only once complete; a device or a pipe is written in place (replacing it
// would destroy it). A failure names the file and the system's reason, or is `write`'s own;
// *systemError gets the system's number (0 when it is not known).
bool writeWholeFile(const QString& path, const std::function<bool(QIODevice&, QString*)>& write, QString* error,
                    int* systemError)
{
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CLOEXEC);
        if (fd < 0) {
            *systemError = errno;
            *error = QStringLiteral("%1: %2").arg(path, systemReason(errno));
            return false;
        }
        DescriptorDevice device(fd);
        const bool written = write(device, error);
        int failure = device.finish();
        if (::close(fd) != 0 && failure == 0)
            failure = errno;
        if (!written)
            return false;
        if (failure == 0)
            return true;
        *systemError = failure;
        *error = QStringLiteral("%1: %2").arg(path, systemReason(failure));
        return false;
    }
    QSaveFile file(path);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly)) {
        *systemError = errno;
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    DescriptorDevice device(file.handle());
    if (!write(device, error)) {
        file.cancelWriting();
        return false;
    }
    int failure = device.finish();
    if (failure == 0 && ::fsync(file.handle()) != 0)
        failure = errno;
    if (failure != 0) {
        file.cancelWriting();
        *systemError = failure;
        *error = QStringLiteral("%1: %2").arg(path, systemReason(failure));
        return false; // the unfinished file is discarded with `file`
    }
    errno = 0;
    if (file.commit())
        return true;
    *systemError = errno;
    *error = QStringLiteral("%1: %2").arg(path, file.errorString());
    return false;
}

} // namespace

ReportPreview::ReportPreview(std::shared_ptr<const reports::ReportDocument> document, QWidget* parent)
    : QAbstractScrollArea(parent), document_(std::move(document))
{
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setAutoFillBackground(false);
    setFocusPolicy(Qt::StrongFocus);
    updateScrollBars();
}

QSize ReportPreview::pageSize() const
{
    if (!document_)
        return {};
    const QSizeF mm = document_->pageSizeMm();
    const int width = std::max(80, viewport()->width() - 2 * kGap);
    return QSize(width, mm.width() > 0 ? int(width * mm.height() / mm.width() + 0.5) : width);
}

void ReportPreview::updateScrollBars()
{
    const int total = kGap + pageCount() * stride();
    QScrollBar* bar = verticalScrollBar();
    bar->setRange(0, std::max(0, total - viewport()->height()));
    bar->setPageStep(viewport()->height());
    bar->setSingleStep(std::max(20, stride() / 20));
}

void ReportPreview::resizeEvent(QResizeEvent* event)
{
    // Keeps the page at the top of the view in view when the pages change size.
    const int oldStride = std::max(1, stride());
    const double at = double(verticalScrollBar()->value()) / oldStride;
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
    verticalScrollBar()->setValue(int(at * stride()));
}

const QPixmap& ReportPreview::pagePixmap(int page, const QSize& size)
{
    const double ratio = devicePixelRatioF();
    if (!cache_.empty() && (cache_.front().pixmap.deviceIndependentSize().toSize() != size ||
                            cache_.front().pixmap.devicePixelRatio() != ratio))
        cache_.clear();
    for (auto it = cache_.begin(); it != cache_.end(); ++it) {
        if (it->page == page) {
            std::rotate(cache_.begin(), it, it + 1);
            return cache_.front().pixmap;
        }
    }
    QPixmap pixmap(QSize(int(size.width() * ratio + 0.5), int(size.height() * ratio + 0.5)));
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::white);
    {
        QPainter painter(&pixmap);
        document_->paint(painter, page, QRectF(QPointF(0, 0), QSizeF(size)));
    }
    cache_.push_front(Cached{page, std::move(pixmap)});
    if (cache_.size() > kCachedPages)
        cache_.pop_back();
    return cache_.front().pixmap;
}

void ReportPreview::paintEvent(QPaintEvent* event)
{
    QPainter painter(viewport());
    painter.fillRect(event->rect(), palette().color(QPalette::Dark));
    if (pageCount() == 0)
        return;
    const QSize size = pageSize();
    const int top = verticalScrollBar()->value();
    const int x = (viewport()->width() - size.width()) / 2;
    for (int page = std::max(0, (top - kGap) / stride()); page < pageCount(); ++page) {
        const QRect r(QPoint(x, kGap + page * stride() - top), size);
        if (r.top() >= viewport()->height())
            break;
        if (!r.intersects(event->rect()))
            continue;
        painter.fillRect(r.translated(3, 3), palette().color(QPalette::Shadow));
        painter.drawPixmap(r.topLeft(), pagePixmap(page, size));
    }
    document_->release(); // the pages in view are drawn: their records' query is let go
}


Form15::Form15(std::shared_ptr<const reports::ReportDocument> document, QWidget* parent)
    : QDialog(parent), document_(std::move(document))
{
    setObjectName(QStringLiteral("Form15"));
    setWindowTitle(QString::fromLatin1(kAppTitle));
    setModal(true);
    VSPrinter1 = new ReportPreview(document_, this);
    VSPrinter1->setObjectName(QStringLiteral("VSPrinter1"));

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

    printDialog_ = [this](QPrinter& printer, QWidget* parent) {
        QPrintDialog dialog(&printer, parent);
        dialog.setMinMax(1, VSPrinter1->pageCount());
        return dialog.exec() == QDialog::Accepted;
    };
}

Form15::~Form15() = default;

bool Form15::printPdf(const QPrinter& printer, const QPageRanges& ranges, QString* error, int* systemError) const
{
    return writeWholeFile(printer.outputFileName(), [&](QIODevice& device, QString* failure) {
        QPdfWriter writer(&device);
        writer.setResolution(printer.resolution());
        writer.setPdfVersion(printer.pdfVersion());
        writer.setCreator(printer.creator());
        writer.setTitle(printer.docName());
        return document_->print(writer, failure, ranges);
    }, error, systemError);
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
    // Only the pages asked for: neither a printer nor a PDF file picks them out itself.
    QPageRanges ranges;
    if (printer.printRange() == QPrinter::PageRange)
        ranges = printer.pageRanges();
    const QString failure = printTo(printer, ranges);
    if (!failure.isEmpty())
        prompter().message(failure, Prompter::Icon::Critical);
}

QString Form15::printTo(QPrinter& printer, const QPageRanges& ranges) const
{
    QString error;
    if (printer.outputFormat() == QPrinter::PdfFormat) {
        // A PDF without a file is what is left to a system that has no printer.
        if (printer.outputFileName().isEmpty())
            return GetS(QStringLiteral("No se ha podido imprimir el informe.")) + QLatin1Char('\r')
                + GetS(QStringLiteral("No hay ninguna impresora instalada."));
        int systemError = 0;
        if (printPdf(printer, ranges, &error, &systemError))
            return {};
        return databaseFailureText(DatabaseTask::WriteFile, printer.outputFileName(), systemErrorCode(systemError), error);
    }
    const QString what = printer.printerName().isEmpty()
        ? GetS(QStringLiteral("No se ha podido imprimir el informe."))
        : GetS(QStringLiteral("No se ha podido imprimir el informe en la impresora %s."), {printer.printerName()});
    // What could not be done, then why.
    const auto failed = [&what](const QString& why) { return why.isEmpty() ? what : what + QLatin1Char('\r') + why; };
    if (!printer.isValid())
        return failed(GetS(QStringLiteral("La impresora no está disponible.")));
    if (!document_->print(printer, &error, ranges))
        return failed(error);
    if (printer.printerState() == QPrinter::Error)
        return failed(GetS(QStringLiteral("La impresora ha indicado un error.")));
    return {};
}

void Form15::SSCommandExit_Click() { accept(); }

void Form15::SSCommandHelp_Click() { AbrirAyuda(); }

} // namespace nbx
