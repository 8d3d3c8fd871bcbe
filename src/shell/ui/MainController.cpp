#include "shell/ui/MainController.h"

#include "common/QuitSignals.h"
#include "import/ui/Form16.h"
#include "link/Link.h"
#include "localisation/ui/Form7.h"
#include "programming/ui/Form10.h"
#include "programming/ui/Form2.h"
#include "programming/ui/Form13.h"
#include "programming/ui/Form14.h"
#include "programming/ui/Form3.h"
#include "records/ui/Form9.h"
#include "reports/ui/Form15.h"
#include "reports/ui/Form6.h"
#include "reports/ui/ReportPrinting.h"
#include "localisation/ui/StringExport.h"
#include "shell/ui/Form1.h"
#include "shell/ui/Form11.h"
#include "shell/ui/Form12.h"
#include "records/ui/Form5.h"
#include "records/ui/Form8.h"
#include "shell/ui/Form4.h"

#include <QApplication>
#include <QThread>
#include <QTimer>

namespace nbx {

MainController::MainController(QObject* parent)
    : QObject(parent)
{
    quitTimer_.setInterval(25);
    quitTimer_.callOnTimeout(this, &MainController::continueQuit);
    connect(&quitRequest(), &QuitRequest::quitRequested, this, &MainController::quitRequested);
}

MainController::~MainController() { delete form_; }

Form1* MainController::createForm()
{
    auto* form = new Form1;
    form->setAttribute(Qt::WA_DeleteOnClose, false);
    form->onLanguageReload = [this](int code) {
        // The language window is still on the stack of the old main window: rebuild afterwards.
        QTimer::singleShot(0, this, [this, code] { reloadForLanguage(code); });
    };
    return form;
}

void MainController::start(const QString& rawCommandLine)
{
    rawCommandLine_ = rawCommandLine;
    form_ = createForm();
    form_->start(rawCommandLine_, true);
    started_ = true;
    if (quitRequest().requested())
        quitRequested(); // asked for during start-up, before this listened
}

void MainController::quitRequested()
{
    LinkState& st = linkState();
    st.PararRecepcion = true;
    st.PararMarcado = true;
    if (!quitTimer_.isActive())
        quitTimer_.start();
}

// The end cannot wait for answers: a modal window (a dialog, a message box) is closed as its close
// box would close it, which answers a question with its Cancel or No (a sheet's save question
// leaves the stored sheet as it is).
void MainController::continueQuit()
{
    if (QWidget* modal = QApplication::activeModalWidget()) {
        modal->close();
        return;
    }
    // The road runs from a call of its own: a timer is not called again inside its own call, and
    // this one must go on closing the questions the road asks.
    if (readyToExit())
        QMetaObject::invokeMethod(this, &MainController::exitNow, Qt::QueuedConnection);
}

// Once the device operation, merge or import under way has ended, and from the program's own loop
// rather than a nested one, whose caller would be cut short.
bool MainController::readyToExit() const
{
    return started_ && !exiting_ && form_ && !DeviceOperationGuard::running()
        && QThread::currentThread()->loopLevel() == 1;
}

void MainController::exitNow()
{
    if (!readyToExit())
        return;
    exiting_ = true;
    if (form_->exitProgram())
        quitTimer_.stop();
    exiting_ = false;
}

void MainController::reloadForLanguage(int codigoIdioma)
{
    QPointer<Form1> old = form_;
    if (old)
        old->saveSettings();
    form_ = createForm();
    form_->start(rawCommandLine_, false, codigoIdioma);
    if (old) {
        old->hide();
        old->deleteLater();
    }
}

void registerProgramWindows()
{
    installReportPrinting();
    registerExportableWindow(1, QStringLiteral("Form1"), [] { return std::make_unique<Form1>(); });
    registerExportableWindow(2, QStringLiteral("Form2"), [] { return std::make_unique<Form2>(); });
    registerExportableWindow(3, QStringLiteral("Form3"), [] { return std::make_unique<Form3>(); });
    registerExportableWindow(4, QStringLiteral("Form4"), [] { return std::make_unique<Form4>(); });
    registerExportableWindow(5, QStringLiteral("Form5"), [] { return std::make_unique<Form5>(); });
    registerExportableWindow(6, QStringLiteral("Form6"), [] { return std::make_unique<Form6>(); });
    registerExportableWindow(7, QStringLiteral("Form7"), [] { return std::make_unique<Form7>(); });
    registerExportableWindow(8, QStringLiteral("Form8"), [] { return std::make_unique<Form8>(); });
    registerExportableWindow(9, QStringLiteral("Form9"), [] { return std::make_unique<Form9>(); });
    registerExportableWindow(10, QStringLiteral("Form10"), [] { return std::make_unique<Form10>(); });
    registerExportableWindow(11, QStringLiteral("Form11"), [] { return std::make_unique<Form11>(linkState()); });
    registerExportableWindow(12, QStringLiteral("Form12"), [] { return std::make_unique<Form12>(linkState()); });
    registerExportableWindow(13, QStringLiteral("Form13"), [] { return std::make_unique<Form13>(); });
    registerExportableWindow(14, QStringLiteral("Form14"), [] { return std::make_unique<Form14>(); });
    registerExportableWindow(15, QStringLiteral("Form15"), [] { return std::make_unique<Form15>(nullptr); });
    registerExportableWindow(16, QStringLiteral("Form16"), [] { return std::make_unique<Form16>(); });
}

} // namespace nbx
