// Form16: the exchange-file import window.
#include "import/ui/Form16.h"

#include "common/AppState.h"
#include "common/Database.h"
#include "common/Prompter.h"
#include "localisation/DatabaseFailure.h"
#include "localisation/LangDesk.h"
#include "localisation/ui/TranslateForm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace nbx {

namespace {

// The label is repainted and the window's events handled at most this often.
constexpr qint64 kRepaintMs = 40;

QElapsedTimer& clock()
{
    static QElapsedTimer t;
    if (!t.isValid())
        t.start();
    return t;
}

} // namespace

Form16::Form16(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Form16"));
    setWindowTitle(QString::fromLatin1(kAppTitle));
    setModal(true);

    fraPrincipal = new QFrame(this);
    fraPrincipal->setObjectName(QStringLiteral("fraPrincipal"));
    fraPrincipal->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);

    lblFitxer = new QLabel(fraPrincipal);
    lblFitxer->setObjectName(QStringLiteral("lblFitxer"));
    lblFitxer->setProperty("tag", QStringLiteral("!")); // a file name, never translated
    lblFitxer->setTextFormat(Qt::PlainText);
    lblFitxer->setAlignment(Qt::AlignCenter);
    QFont bold = lblFitxer->font();
    bold.setBold(true);
    lblFitxer->setFont(bold);

    lblText = new QLabel(QStringLiteral("Importando datos"), fraPrincipal);
    lblText->setObjectName(QStringLiteral("lblText"));
    lblText->setTextFormat(Qt::PlainText);
    lblText->setAlignment(Qt::AlignCenter);
    lblText->setMinimumWidth(320);

    sscmdCancel = new QPushButton(QStringLiteral("Cancelar"), this);
    sscmdCancel->setObjectName(QStringLiteral("sscmdCancel"));

    auto* frameLayout = new QVBoxLayout(fraPrincipal);
    frameLayout->addWidget(lblFitxer);
    frameLayout->addWidget(lblText);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(sscmdCancel);
    buttons->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(fraPrincipal);
    layout->addLayout(buttons);

    connect(sscmdCancel, &QPushButton::clicked, this, &Form16::sscmdCancel_Click);
}

void Form16::Form_Load() { TranslateForm(this); }

void Form16::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (started_)
        return;
    started_ = true;
    QTimer::singleShot(0, this, &Form16::ImportaFitxer);
}

void Form16::showProgress(const QString& text)
{
    if (progressHook)
        progressHook(text);
    const qint64 now = clock().elapsed();
    if (lastPaint_ >= 0 && now - lastPaint_ < kRepaintMs)
        return;
    lastPaint_ = now;
    lblText->setText(text);
    QApplication::processEvents();
}

void Form16::ImportaFitxer()
{
    sTextImportant = lblText->text();
    bCancelat = false;
    running_ = true;
    rowsImported_ = 0;
    QGuiApplication::setOverrideCursor(Qt::BusyCursor);
    lblFitxer->setText(QFileInfo(path_).fileName());
    QApplication::processEvents();

    QString failure;
    std::optional<ExchangeImportResult> databaseFailure;
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly)) {
        failure = langDesk().GetTranslation(QStringLiteral("No se puede leer el fichero %1.")).arg(path_)
            + QLatin1Char('\r') + file.errorString();
        outcome_ = ExchangeImportResult::Status::DatabaseError;
    } else {
        const QByteArray bytes = file.readAll();
        file.close();
        ExchangeImportHooks hooks;
        hooks.progress = [this](const QString& text) { showProgress(text); };
        hooks.cancelled = [this] { return bCancelat; };
        const ExchangeImportResult r = importExchange(mainDb(), bytes, sTextImportant, hooks);
        outcome_ = r.status;
        rowsImported_ = r.status == ExchangeImportResult::Status::Imported ? r.rowsRead : 0;
        if (r.status == ExchangeImportResult::Status::Rejected)
            failure = formatErrorText(*r.formatError);
        else if (r.status == ExchangeImportResult::Status::DatabaseError)
            databaseFailure = r;
    }
    running_ = false;
    QGuiApplication::restoreOverrideCursor();
    if (!failure.isEmpty() && !bCancelat)
        prompter().message(failure, Prompter::Icon::Critical);
    if (databaseFailure && !bCancelat)
        reportDatabaseFailure(DatabaseTask::Import, path_, databaseFailure->databaseCode, databaseFailure->databaseError);
    accept();
}

void Form16::sscmdCancel_Click()
{
    appState().ficheroImportar.clear();
    bCancelat = true;
    if (!running_)
        QDialog::reject();
}

void Form16::closeEvent(QCloseEvent* event)
{
    if (running_) {
        // Closing the window cancels the import; the window closes when it has rolled back.
        bCancelat = true;
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void Form16::reject()
{
    if (running_) {
        bCancelat = true;
        return;
    }
    QDialog::reject();
}

} // namespace nbx
