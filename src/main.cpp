// The NBX-70 program: starts the main window.
#include "common/Database.h"
#include "common/QuitSignals.h"
#include "common/ui/QtPrompter.h"
#include "import/ui/ImportWindows.h"
#include "localisation/LangDesk.h"
#include "localisation/Strings.h"
#include "shell/CommandLine.h"
#include "shell/ui/MainController.h"
#include "shell/ui/Form11.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("nbx70"));
    QApplication::setApplicationDisplayName(QStringLiteral("NBX-70"));
    // SIGTERM, SIGHUP and SIGINT end the program through its Exit road (MainController).
    nbx::QuitSignals quitSignals;

    // Every box's buttons in the program's language, the first ones of the start included.
    nbx::QtPrompter prompter([](const QString& native) { return nbx::GetS(native); });
    nbx::setPrompter(&prompter);

    nbx::installPasswordDialogs();
    nbx::installImportService();

    nbx::registerProgramWindows();

    nbx::MainController controller;
    controller.start(nbx::joinArguments(QApplication::arguments().mid(1)));
    const int rc = app.exec();
    // However the loop ended, the program is ending: a signal from here on is taken and ignored.
    nbx::quitRequest().markEnding();
    nbx::shutdownLangDesk();
    nbx::setPrompter(nullptr);
    nbx::Database::close();
    return rc;
}
