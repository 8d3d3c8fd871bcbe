// The start-up sequence of the main window and its close-time save, apart from the window itself.
#pragma once

#include "shell/Settings.h"

#include <QString>

namespace nbx {

// What start-up needs from the window and the other subsystems.
class StartupHost {
public:
    virtual ~StartupHost() = default;
    virtual void setupLanguage(int languageCode, const QString& languageColumn) = 0;
    virtual void applySettings(const Settings& settings) = 0; // link settings, port name
    virtual void setCaption(const QString& caption) = 0;
    virtual void translateWindow() = 0;
    virtual void showWindow() = 0;
    virtual void setImportPanelVisible(bool visible) = 0;
    // Opens the windows the command line asks for; false when the program has no such window yet.
    virtual bool importExchangeFileModal(const QString& path) = 0;
    virtual bool openProgrammingModal() = 0;
};

struct StartupResult {
    bool databaseOpen = false;
    bool reachedEnd = false;      // every step ran
    bool commandLineFollowed = false;
};

class Startup {
public:
    explicit Startup(StartupHost& host) : host_(host) {}

    // Runs the start-up steps in their order. `followCommandLine` is false when the window is
    // reloaded for a language change: the command line is followed once per process. A non-zero
    // `languageCode` is the language just chosen, used even when it could not be stored in the ini.
    StartupResult run(const QString& rawCommandLine, bool followCommandLine, int languageCode = 0);

    const Settings& settings() const { return settings_; }

private:
    void mergePendingBackup();
    void followCommandLine(const QString& rawCommandLine, StartupResult* result);

    StartupHost& host_;
    Settings settings_;
};

// Writes the settings into the Configuracion row; an empty dial prefix becomes one blank (also in
// `settings`). Returns false with the error's description and SQLite's result code.
bool saveSettingsRow(Settings* settings, int codigoIdioma, QString* error, int* code = nullptr);

// Asks for the report footer text and stores it in memory, nbx70.ini and Configuracion.
// Cancel changes nothing; an empty OK clears the text.
void askFooterText();

} // namespace nbx
