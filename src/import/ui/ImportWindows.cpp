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
#include <QGuiApplication>

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

MergeOutcome ProgramImportService::mergeDatabase(const QString& path)
{
    DeviceOperationGuard guard;
    if (!guard.acquired()) {
        prompter().beep();
        return MergeOutcome::Failed;
    }
    QGuiApplication::setOverrideCursor(Qt::BusyCursor);
    const MergeResult r = mergeDatabaseFile(mainDb(), path);
    QGuiApplication::restoreOverrideCursor();
    switch (r.status) {
    case MergeResult::Status::Merged:
    case MergeResult::Status::NothingToMerge:
        return MergeOutcome::Merged;
    case MergeResult::Status::NotADatabase:
        prompter().message(GetS(157), Prompter::Icon::Critical);
        return MergeOutcome::OpenFailed;
    case MergeResult::Status::Failed:
        prompter().message(r.error, Prompter::Icon::Critical);
        return MergeOutcome::Failed;
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
