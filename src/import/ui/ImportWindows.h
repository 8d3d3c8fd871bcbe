// The import as the program runs it: the service behind the main window's button and start-up,
// and the file dialog of the import button.
#pragma once

#include "import/ImportService.h"

#include <QStringList>
#include <functional>

class QWidget;

namespace nbx {

// Merges with a busy cursor and the device-operation guard held; imports through Form16.
class ProgramImportService : public ImportService {
public:
    MergeReport mergeDatabase(const QString& path) override;
    void importExchangeFile(const QString& path) override;
};

// Installs the program's import service (for the life of the process).
void installImportService();

// The file dialog's filters, in order: Access databases, exchange files, all files.
QStringList importFileFilters();

// Shows the open-file dialog in the data folder. Returns the chosen path, or "" when the dialog was
// cancelled or the name ends neither in ".mdb" nor ".km70" (then after "Formato incorrecto").
QString SeleccionaFichero(QWidget* parent);

// Replaces the file dialog (tests): receives the parent, the start folder and the filters.
using OpenFileDialog = std::function<QString(QWidget*, const QString&, const QStringList&)>;
void setOpenFileDialog(OpenFileDialog dialog);

} // namespace nbx
