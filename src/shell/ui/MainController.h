// Owns the main window for the program's life: starts it, rebuilds it in a new language, and
// ends the program through its Exit road when a signal asks for it.
#pragma once

#include "shell/ui/Form1.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

namespace nbx {

class MainController : public QObject {
    Q_OBJECT
public:
    explicit MainController(QObject* parent = nullptr);
    ~MainController() override;

    // Runs start-up on a new main window and follows the command line.
    void start(const QString& rawCommandLine);

    // Saves the settings row, then replaces the main window with one started in `codigoIdioma`.
    // Other windows and the database stay open; the command line is not followed again.
    void reloadForLanguage(int codigoIdioma);

    Form1* form() const { return form_; }

private:
    Form1* createForm();
    // A signal asked for the end: a running device operation stops as on its Stop button.
    void quitRequested();
    // Repeated until the Exit road has run: closes modal windows, then starts the road.
    void continueQuit();
    bool readyToExit() const;
    void exitNow(); // the Exit road

    QPointer<Form1> form_;
    QString rawCommandLine_;
    bool started_ = false; // start-up has returned: the program's own loop is the outer one
    bool exiting_ = false;
    QTimer quitTimer_;
};

// Registers the program's windows for the string export.
void registerProgramWindows();

} // namespace nbx
