#include "import/ui/ImportWindows.h"

#include "common/AppPaths.h"
#include "common/Database.h"
#include "common/Prompter.h"
#include "import/DatabaseMerge.h"
#include "import/ui/Form16.h"
#include "link/Link.h"
#include "localisation/LangDesk.h"
#include "localisation/Strings.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProgressDialog>
#include <QTimer>
#include <limits>

namespace nbx {

namespace {

OpenFileDialog g_dialog;

QString showDialog(QWidget* parent, const QString& dir, const QStringList& filters)
{
    if (g_dialog)
        return g_dialog(parent, dir, filters);
    QString selected = filters.value(0);
    return QFileDialog::getOpenFileName(parent, langDesk().GetTranslation(QStringLiteral("Importar datos")), dir,
                                        filters.join(QStringLiteral(";;")), &selected);
}

} // namespace

MergeReport ProgramImportService::mergeDatabase(const QString& path)
{
    DeviceOperationGuard guard;
    if (!guard.acquired()) {
        prompter().beep();
        return MergeOutcome::NotRun;
    }
    QGuiApplication::setOverrideCursor(Qt::BusyCursor);
    // An Access file is read by a child while the window keeps turning: after a moment a box shows
    // how many rows it has read.
    QProgressDialog progress(QApplication::activeWindow());
    progress.setWindowTitle(QStringLiteral("NBX-70"));
    progress.setCancelButton(nullptr);
    progress.setRange(0, 0);
    progress.setAutoReset(false);
    progress.setAutoClose(false);
    progress.setMinimumDuration(std::numeric_limits<int>::max());
    const auto rowsRead = [&](qint64 rows) {
        progress.setLabelText(GetS(QStringLiteral("Leyendo %s: %s filas"), {QFileInfo(path).fileName(), QString::number(rows)}));
    };
    rowsRead(0);
    progress.reset();
    QTimer showLater;
    showLater.setSingleShot(true);
    QObject::connect(&showLater, &QTimer::timeout, &progress, &QWidget::show);
    showLater.start(400);
    const MergeResult r = mergeDatabaseFile(mainDb(), path, rowsRead);
    showLater.stop();
    progress.hide();
    QGuiApplication::restoreOverrideCursor();
    switch (r.status) {
    case MergeResult::Status::Merged:
    case MergeResult::Status::NothingToMerge: {
        if (r.rowsAdded > 0)
            rowsImported();
        MergeReport report;
        for (const auto& [table, rows] : r.rowsLeftOut)
            report.rowsLeftOut << GetS(QStringLiteral("No se han añadido %s filas de la tabla %s: sus valores no caben en la base de datos."),
                                       {QString::number(rows), table});
        return report;
    }
    case MergeResult::Status::NotADatabase: return {MergeOutcome::OpenFailed, r.code, r.error};
    case MergeResult::Status::Failed:
        if (r.code == 0 && r.error.isEmpty())
            return MergeOutcome::NotRun; // the program's end stopped it: nothing to say, the file stays
        return {MergeOutcome::Failed, r.code, r.error};
    }
    return MergeOutcome::Failed;
}

void ProgramImportService::importExchangeFile(const QString& path)
{
    DeviceOperationGuard guard;
    if (!guard.acquired()) {
        prompter().beep();
        return;
    }
    Form16 form(QApplication::activeWindow());
    form.Form_Load();
    form.setFile(path);
    form.exec();
    if (form.outcome() == ExchangeImportResult::Status::Imported && form.rowsImported() > 0)
        rowsImported();
}

void installImportService()
{
    static ProgramImportService service;
    setImportService(&service);
}

QStringList importFileFilters()
{
    LangDesk& lang = langDesk();
    return {lang.GetTranslation(QStringLiteral("Bases de datos de Access (*.mdb *.MDB)")),
            lang.GetTranslation(QStringLiteral("Ficheros de intercambio NBX-70 (*.km70 *.KM70)")),
            lang.GetTranslation(QStringLiteral("Todos los ficheros (*)"))};
}

QString SeleccionaFichero(QWidget* parent)
{
    const QString path = showDialog(parent, AppPaths::dataDir(), importFileFilters());
    const ImportFileKind kind = importFileKind(path);
    if (kind == ImportFileKind::Unknown) {
        prompter().message(GetS(157), Prompter::Icon::Critical);
        return {};
    }
    return kind == ImportFileKind::None ? QString() : path;
}

void setOpenFileDialog(OpenFileDialog dialog) { g_dialog = std::move(dialog); }

} // namespace nbx
