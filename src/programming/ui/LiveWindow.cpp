// LiveWindow: the frame the three live windows share.
#include "programming/ui/LiveWindow.h"

#include "common/ui/Help.h"
#include "common/ui/WidgetMakers.h"
#include "link/Link.h"
#include "localisation/ui/TranslateForm.h"
#include "programming/ui/LiveSheet.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QStyle>
#include <QVBoxLayout>

namespace nbx {

namespace {
constexpr int kTwipsPerInch = 1440;

QPushButton* makeButton(const QString& name, const QString& text, QWidget* parent)
{
    QPushButton* b = nbx::makeButton(name, text, parent, 32);
    b->setAutoDefault(false);
    return b;
}
} // namespace

QPoint livePlacement(const QRect& sheetFrame, int ownHeight, int dpi)
{
    auto px = [dpi](int twips) { return twips * dpi / kTwipsPerInch; };
    return {sheetFrame.left() + px(100), sheetFrame.top() + sheetFrame.height() - ownHeight - px(95)};
}

LiveWindow::LiveWindow(LiveKind kind, LiveSheet* sheet, Link& link, QWidget* parent)
    : QDialog(parent), sheet_(sheet), sheetWindow_(sheet ? sheet->sheetWindow() : nullptr),
      run_(link, kind, *this)
{
    setModal(true);
    SSCommandRun = makeButton(QStringLiteral("SSCommandRun"), QStringLiteral("Run"), this);
    SSCommandRun->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
    SSCommandStop = makeButton(QStringLiteral("SSCommandStop"), QStringLiteral("Stop"), this);
    SSCommandStop->setIcon(style()->standardIcon(QStyle::SP_MediaStop));
    SSCommandExit = makeButton(QStringLiteral("SSCommandExit"), QStringLiteral("Volver"), this);
    SSCommandHelp = makeButton(QStringLiteral("SSCommandHelp"), QStringLiteral("Ayuda"), this);
    // Stop takes Run's place: hiding one never moves the other buttons.
    for (QPushButton* b : {SSCommandRun, SSCommandStop}) {
        QSizePolicy p = b->sizePolicy();
        p.setRetainSizeWhenHidden(true);
        b->setSizePolicy(p);
    }

    body_ = new QVBoxLayout;
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(SSCommandRun);
    buttons->addWidget(SSCommandStop);
    buttons->addStretch(1);
    buttons->addWidget(SSCommandHelp);
    buttons->addWidget(SSCommandExit);
    auto* top = new QVBoxLayout(this);
    top->addLayout(body_, 1);
    top->addLayout(buttons);

    connect(SSCommandRun, &QPushButton::clicked, this, &LiveWindow::SSCommandRun_Click);
    connect(SSCommandStop, &QPushButton::clicked, this, &LiveWindow::SSCommandStop_Click);
    connect(SSCommandExit, &QPushButton::clicked, this, &LiveWindow::SSCommandExit_Click);
    connect(SSCommandHelp, &QPushButton::clicked, this, &LiveWindow::SSCommandHelp_Click);
    setBusy(false);
}

LiveWindow::~LiveWindow() { giveSheetBack(); }

void LiveWindow::Form_Load()
{
    TranslateForm(this);
    if (sheetWindow_) {
        sheetWindow_->setEnabled(false);
        telefonoActual_ = sheet_->shownTelephone();
    }
}

void LiveWindow::showEvent(QShowEvent* event)
{
    // Placed once its own height is known: the load's texts are in by now.
    if (sheetWindow_ && !event->spontaneous()) {
        adjustSize();
        const int dpi = sheetWindow_->screen() ? int(sheetWindow_->screen()->logicalDotsPerInchY()) : 96;
        move(livePlacement(sheetWindow_->frameGeometry(), frameGeometry().height(), dpi));
    }
    QDialog::showEvent(event);
}

int LiveWindow::exec()
{
    Form_Load();
    return QDialog::exec();
}

void LiveWindow::giveSheetBack()
{
    if (sheetWindow_)
        sheetWindow_->setEnabled(true);
}

void LiveWindow::setBusy(bool on)
{
    SSCommandRun->setVisible(!on);
    SSCommandStop->setVisible(on);
    SSCommandExit->setEnabled(!on);
    if (on) {
        repaint();
    } else {
        SSCommandHelp->setEnabled(true);
    }
}

void LiveWindow::setHelpEnabled(bool on) { SSCommandHelp->setEnabled(on); }

void LiveWindow::showStopped()
{
    SSCommandStop->setVisible(false);
    SSCommandRun->setVisible(true);
    SSCommandExit->setEnabled(true);
}

void LiveWindow::SSCommandRun_Click()
{
    // A run still finishing after Stop starts nothing new.
    if (run_.running())
        return;
    exitPending_ = false;
    const QString serial = sheetWindow_ ? sheet_->shownSerial() : QString();
    const QPointer<LiveWindow> self(this);
    run_.run(serial, telefonoActual_);
    if (self && exitPending_)
        done(Accepted);
}

void LiveWindow::SSCommandStop_Click()
{
    showStopped();
    run_.stop();
}

void LiveWindow::stopAndLeaveLater()
{
    if (SSCommandStop->isVisible())
        SSCommandStop_Click();
    exitPending_ = true;
}

void LiveWindow::SSCommandExit_Click()
{
    if (run_.running()) {
        stopAndLeaveLater();
        return;
    }
    done(Accepted);
}

void LiveWindow::SSCommandHelp_Click() { AbrirAyuda(); }

void LiveWindow::reject()
{
    if (run_.running()) {
        stopAndLeaveLater();
        return;
    }
    QDialog::reject();
}

void LiveWindow::done(int result)
{
    giveSheetBack();
    QDialog::done(result);
}

void LiveWindow::closeEvent(QCloseEvent* event)
{
    if (run_.running()) {
        stopAndLeaveLater();
        event->ignore();
        return;
    }
    giveSheetBack();
    QDialog::closeEvent(event);
}

} // namespace nbx
