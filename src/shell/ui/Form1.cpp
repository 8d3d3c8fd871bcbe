#include "shell/ui/Form1.h"

#include "common/AppState.h"
#include "common/Database.h"
#include "common/Prompter.h"
#include "common/QuitSignals.h"
#include "common/ui/Help.h"
#include "import/ImportService.h"
#include "import/ui/ImportWindows.h"
#include "link/Link.h"
#include "programming/ui/Form2.h"
#include "records/ui/Form5.h"
#include "records/ui/Form9.h"
#include "shell/CommandLine.h"
#include "shell/ui/Form4.h"
#include "localisation/DatabaseFailure.h"
#include "localisation/LangDesk.h"
#include "localisation/QtTranslations.h"
#include "localisation/ui/Form7.h"
#include "localisation/ui/StringExport.h"
#include "localisation/ui/TranslateForm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QPointer>
#include <QThread>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QVBoxLayout>

namespace nbx {

namespace {

// The one programming window; it outlives a main window rebuilt for a language change.
QPointer<Form2> g_programacion;
// The one record window.
QPointer<Form5> g_registros;

// Ends the event loop of the program. Only a running loop can end: a pending request would make
// every later modal dialog return at once.
void endProgram()
{
    if (QThread::currentThread()->loopLevel() > 0) {
        quitRequest().markEnding(); // a signal from here on must not cut the end short
        QApplication::exit(0);
    }
}

// Shows an open window again in front of the others.
void bringToFront(QWidget* w)
{
    w->showNormal();
    w->raise();
    w->activateWindow();
}

// After an import that wrote rows: the open sheet and record window read what they show again.
// Their loads make their device the one last shown, which the import does not change.
void readOpenWindowsAgain()
{
    LinkState& link = linkState();
    const qint32 device = link.NumeroSerieEqp;
    const QString version = link.VersionEqp;
    if (g_programacion)
        g_programacion->reloadAfterImport();
    if (g_registros)
        g_registros->reloadDevice();
    link.NumeroSerieEqp = device;
    link.VersionEqp = version;
}

QPushButton* makeButton(const QString& objectName, const QString& text, QWidget* parent)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(objectName);
    b->setMinimumSize(170, 44);
    return b;
}

} // namespace

Form1::Form1(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QString::fromLatin1(kAppTitle));

    SSCommandProgramacion = makeButton(QStringLiteral("SSCommandProgramacion"), QStringLiteral("Programación"), this);
    SSCommandIncidencias = makeButton(QStringLiteral("SSCommandIncidencias"), QStringLiteral("Incidencias"), this);
    SSCommandPort = makeButton(QStringLiteral("SSCommandPort"), QStringLiteral("Puerto"), this);
    SSCommandIdioma = makeButton(QStringLiteral("SSCommandIdioma"), QStringLiteral("Idioma"), this);
    SSCommandUsuario = makeButton(QStringLiteral("SSCommandUsuario"), QStringLiteral("Pie página"), this);
    SSCommandHelp = makeButton(QStringLiteral("SSCommandHelp"), QStringLiteral("Ayuda"), this);
    SSCommandExit = makeButton(QStringLiteral("SSCommandExit"), QStringLiteral("Salir"), this);
    SSCommand1 = makeButton(QStringLiteral("SSCommand1"), QStringLiteral("Importar datos"), this);

    // Developer tool: exports every window text for translators; shown only on request.
    CommandExportar = new QPushButton(this);
    CommandExportar->setObjectName(QStringLiteral("CommandExportar"));
    CommandExportar->setFlat(true);
    CommandExportar->setFixedSize(16, 16);
    CommandExportar->setAccessibleName(QStringLiteral("Exportar textos"));
    CommandExportar->setVisible(qEnvironmentVariableIsSet("NBX70_EXPORT"));

    SSPanel1 = new QLabel(QStringLiteral("Importando datos"), this);
    SSPanel1->setObjectName(QStringLiteral("SSPanel1"));
    SSPanel1->setAlignment(Qt::AlignCenter);
    SSPanel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    SSPanel1->setMinimumHeight(40);
    SSPanel1->setVisible(false);

    auto* title = new QLabel(QString::fromLatin1(kAppTitle), this);
    title->setObjectName(QStringLiteral("LabelTitulo"));
    QFont f = title->font();
    f.setPointSize(f.pointSize() * 2);
    f.setBold(true);
    title->setFont(f);
    title->setAlignment(Qt::AlignCenter);

    auto* grid = new QGridLayout;
    grid->addWidget(SSCommandProgramacion, 0, 0);
    grid->addWidget(SSCommandIncidencias, 0, 1);
    grid->addWidget(SSCommand1, 1, 0);
    grid->addWidget(SSCommandPort, 1, 1);
    grid->addWidget(SSCommandIdioma, 2, 0);
    grid->addWidget(SSCommandUsuario, 2, 1);
    grid->addWidget(SSCommandHelp, 3, 0);
    grid->addWidget(SSCommandExit, 3, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addWidget(SSPanel1);
    layout->addLayout(grid);
    layout->addWidget(CommandExportar, 0, Qt::AlignRight);

    // Windows that are not part of the program yet stay disabled.
    for (QPushButton* b : {SSCommandIncidencias, SSCommand1})
        b->setEnabled(false);
    // The programming and record windows open each other.
    Form2::setRecordsOpener([this] { SSCommandIncidencias_Click(); });
    Form5::setProgrammingOpener([this] { SSCommandProgramacion_Click(); });
    Form5::setGraphOpener(&Form9::openFromRecordWindow);
    setRowsImportedHandler(&readOpenWindowsAgain);

    connect(SSCommandProgramacion, &QPushButton::clicked, this, &Form1::SSCommandProgramacion_Click);
    connect(SSCommandIncidencias, &QPushButton::clicked, this, &Form1::SSCommandIncidencias_Click);
    connect(SSCommandPort, &QPushButton::clicked, this, &Form1::SSCommandPort_Click);
    connect(SSCommandIdioma, &QPushButton::clicked, this, &Form1::SSCommandIdioma_Click);
    connect(CommandExportar, &QPushButton::clicked, this, &Form1::CommandExportar_Click);
    connect(SSCommandUsuario, &QPushButton::clicked, this, &Form1::SSCommandUsuario_Click);
    connect(SSCommandHelp, &QPushButton::clicked, this, &Form1::SSCommandHelp_Click);
    connect(SSCommandExit, &QPushButton::clicked, this, &Form1::SSCommandExit_Click);
    connect(SSCommand1, &QPushButton::clicked, this, &Form1::SSCommand1_Click);
}

StartupResult Form1::start(const QString& rawCommandLine, bool followCommandLine, int languageCode)
{
    Startup startup(*this);
    const StartupResult r = startup.run(rawCommandLine, followCommandLine, languageCode);
    settings_ = startup.settings();
    databaseOpen_ = r.databaseOpen;
    // The programming sheet lives in the database; start-up has already said why there is none.
    SSCommandProgramacion->setEnabled(databaseOpen_);
    SSCommandIncidencias->setEnabled(databaseOpen_);
    SSCommand1->setEnabled(databaseOpen_ && importService());
    return r;
}

void Form1::setupLanguage(int languageCode, const QString& languageColumn)
{
    QString name = QStringLiteral("Language.db");
    SetupLanguage(name, languageColumn, langDesk());
    applyQtTranslations(languageCode);
}

void Form1::applySettings(const Settings& settings)
{
    settings_ = settings;
    LinkState& link = linkState();
    // A language change reloads the window while a call may be up: the line state follows the
    // port, which stays open on the call.
    link.ModemConectado = link.ModemConectado && defaultLink().port.isOpen();
    link.PararRecepcion = false;
    link.PuertoCom = settings.puertoCom;
    link.SerialDevice = settings.serialDevice;
    link.ConexionModem = settings.conexionModem;
    link.MarcadoTonos = settings.marcadoTonos;
    link.PrefijoMarcado = settings.prefijoMarcado;
    link.VelocidadModem = settings.velocidadModem;
}

void Form1::setCaption(const QString& caption) { setWindowTitle(caption); }

void Form1::translateWindow() { TranslateForm(this); }

void Form1::showWindow()
{
    show();
    QApplication::processEvents();
}

void Form1::setImportPanelVisible(bool visible)
{
    SSPanel1->setVisible(visible);
    holdButtons(visible);
}

void Form1::holdButtons(bool hold)
{
    // No button reacts while a database is merged or a file imported, from the mouse or the keyboard.
    if (hold) {
        for (QPushButton* b : findChildren<QPushButton*>()) {
            if (b->isEnabled()) {
                b->setEnabled(false);
                disabledForMerge_ << b;
            }
        }
    } else {
        for (QPushButton* b : std::as_const(disabledForMerge_))
            b->setEnabled(true);
        disabledForMerge_.clear();
    }
    QApplication::processEvents();
}

bool Form1::importExchangeFileModal(const QString& path)
{
    ImportService* service = importService();
    if (!service)
        return false;
    service->importExchangeFile(path);
    return true;
}

bool Form1::openProgrammingModal()
{
    // Before the main window is shown: the sheet of the serial on the command line, modal.
    auto* form = new Form2;
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->setWindowModality(Qt::ApplicationModal);
    g_programacion = form;
    QEventLoop loop;
    connect(form, &QObject::destroyed, &loop, &QEventLoop::quit);
    form->load(parseSerial(appState().lineaComandosTxt));
    form->show();
    loop.exec();
    return true;
}

void Form1::SSCommand1_Click()
{
    ImportService* service = importService();
    if (!service)
        return;
    if (DeviceOperationGuard::running()) {
        prompter().beep();
        return;
    }
    AppState& state = appState();
    // The open sheet's pending edit is taken first, as on every way out of it: an import may
    // rewrite its row.
    if (g_programacion && !g_programacion->takeEditForImport()) {
        state.ficheroImportar.clear();
        return;
    }
    // Nothing is typed into the sheet while the import runs (a merge's reading child runs the
    // events): its reload after the import would drop it.
    const QPointer<Form2> sheet = g_programacion.data();
    if (sheet)
        sheet->setEnabled(false);
    const auto giveBack = qScopeGuard([&sheet] {
        if (sheet)
            sheet->setEnabled(true);
    });
    if (state.ficheroImportar.isEmpty())
        state.ficheroImportar = SeleccionaFichero(this);
    switch (importFileKind(state.ficheroImportar)) {
    case ImportFileKind::Database:
        setImportPanelVisible(true);
        reportMergeFailure(state.ficheroImportar, service->mergeDatabase(state.ficheroImportar));
        setImportPanelVisible(false);
        break;
    case ImportFileKind::Exchange:
        holdButtons(true);
        service->importExchangeFile(state.ficheroImportar);
        holdButtons(false);
        break;
    default:
        break;
    }
    state.ficheroImportar.clear();
}

void Form1::SSCommandProgramacion_Click()
{
    if (g_programacion) {
        bringToFront(g_programacion);
        return;
    }
    auto* form = new Form2;
    form->setAttribute(Qt::WA_DeleteOnClose);
    g_programacion = form;
    form->load();
    form->show();
}

void Form1::SSCommandIncidencias_Click()
{
    if (g_registros) {
        bringToFront(g_registros);
        return;
    }
    auto* form = new Form5;
    form->setAttribute(Qt::WA_DeleteOnClose);
    g_registros = form;
    form->show();
    form->Form_Load();
}

bool Form1::closeOtherWindows()
{
    if (g_registros && !g_registros->close())
        return false;
    // The programming window leaves through its own exit, which offers to save the sheet.
    if (g_programacion && !g_programacion->close())
        return false;
    return true;
}

void Form1::saveSettings()
{
    if (!databaseOpen_ || !Database::isOpen())
        return; // start-up already reported why there is no database
    // The communication settings window may have changed the link settings since start-up.
    const LinkState& link = linkState();
    settings_.puertoCom = link.PuertoCom;
    settings_.serialDevice = link.SerialDevice;
    settings_.conexionModem = link.ConexionModem;
    settings_.marcadoTonos = link.MarcadoTonos;
    settings_.prefijoMarcado = link.PrefijoMarcado;
    QString error;
    int code = 0;
    // Not asked for by the user: a fault of the database already reported is not told again.
    QuietRepeats quiet;
    if (!saveSettingsRow(&settings_, appState().codigoIdioma, &error, &code))
        reportDatabaseFailure(DatabaseTask::Save, {}, code, error);
}

void Form1::SSCommandPort_Click()
{
    Form4 dialog(this);
    dialog.exec();
}

void Form1::SSCommandIdioma_Click()
{
    if (DeviceOperationGuard::running()) {
        prompter().beep();
        return;
    }
    Form7 dialog(this);
    dialog.Form_Load();
    dialog.setRestartHook([this](int code) {
        if (onLanguageReload)
            onLanguageReload(code);
    });
    dialog.exec();
}

void Form1::CommandExportar_Click()
{
    // A developer's tool: the export ends the program, unless a window refuses to close (the
    // sheet's save prompt answered so).
    ExportAllStrings(langDesk());
    if (!closeOtherWindows())
        return;
    exiting_ = true;
    close();
    endProgram();
}

void Form1::SSCommandUsuario_Click() { askFooterText(); }

void Form1::SSCommandHelp_Click() { AbrirAyuda(); }

void Form1::SSCommandExit_Click()
{
    if (DeviceOperationGuard::running()) {
        prompter().beep();
        return;
    }
    exitProgram();
}

bool Form1::exitProgram()
{
    if (!closeOtherWindows())
        return false;
    if (linkState().ModemConectado)
        defaultLink().colgar();
    exiting_ = true;
    close();
    endProgram();
    return true;
}

void Form1::closeEvent(QCloseEvent* event)
{
    // The import panel shows while the start-up merge writes the database: it must finish.
    if (!exiting_ && !SSPanel1->isHidden()) {
        prompter().beep();
        event->ignore();
        return;
    }
    if (!exiting_ && DeviceOperationGuard::running()) {
        // The port and the frame buffer are in use: closing now would cut the operation short.
        prompter().beep();
        event->ignore();
        return;
    }
    if (!exiting_ && !closeOtherWindows()) {
        event->ignore();
        return;
    }
    if (!exiting_)
        saveSettings();
    event->accept();
    if (!exiting_)
        endProgram();
}

} // namespace nbx
