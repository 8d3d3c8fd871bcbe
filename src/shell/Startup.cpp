#include "shell/Startup.h"

#include "common/AppPaths.h"
#include "common/AppState.h"
#include "common/ConfiguracionRepo.h"
#include "common/Database.h"
#include "common/IniFile.h"
#include "common/Prompter.h"
#include "import/AccessReaderChild.h"
#include "import/DatabaseMerge.h"
#include "import/ImportService.h"
#include "localisation/DatabaseFailure.h"
#include "localisation/Strings.h"
#include "shell/CommandLine.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

namespace nbx {

StartupResult Startup::run(const QString& rawCommandLine, bool followCommandLine, int languageCode)
{
    StartupResult result;
    AppState& state = appState();
    const QString iniFile = AppPaths::configFile();
    // One message per fault: a step stopped by a fault of the database already reported says nothing.
    QuietRepeats quiet;

    // The settings file: a first start writes one with the defaults. A folder where not even that
    // can be written gets one message, told together with the database's when that fails too; the
    // defaults then apply silently.
    const bool iniWritable = createDefaultIni(iniFile);
    bool iniFailureTold = iniWritable;
    const auto tellIniFailure = [&] {
        if (!iniFailureTold)
            prompter().message(settingsWriteFailedText(iniFile), Prompter::Icon::Critical);
        iniFailureTold = true;
    };

    // Keys that cannot be read (an empty or garbled file) are named once and written back with
    // their defaults, so the next start is quiet.
    QStringList errors;
    QStringList unreadable;
    settings_ = readSettings(iniFile, &errors, &unreadable);
    if (iniWritable && !unreadable.isEmpty()) {
        prompter().message(GetS(QStringLiteral("No se han podido leer del fichero %s las claves %s: se guardan con "
                                               "sus valores por omisión."),
                                {iniFile, unreadable.join(QStringLiteral(", "))}),
                           Prompter::Icon::Critical);
        if (!writeDefaultKeys(iniFile, unreadable))
            prompter().message(settingsWriteFailedText(iniFile), Prompter::Icon::Critical);
    }
    settings_.velocidadModem = 19200;
    state.textoUsuario = settings_.textoUsuario;

    LanguageChoice language = mapLanguage(settings_.languageText);
    if (languageCode != 0)
        language = languageForCode(languageCode);
    state.codigoIdioma = language.code;
    state.languageName = language.column;
    host_.setupLanguage(language.code, language.column);
    // The link settings hold even when the database then fails to open.
    host_.applySettings(settings_);

    // The main database; without it the window opens with what start-up reached.
    if (!Database::isOpen()) {
        const QString dbFile = AppPaths::databaseFile();
        const bool fresh = !QFileInfo::exists(dbFile);
        QString error;
        bool newer = false;
        int code = 0;
        forgetDatabaseFaults();
        if (!Database::open(dbFile, &error, &newer, &code)) {
            if (newer) {
                tellIniFailure();
                prompter().message(GetS(QStringLiteral("La base de datos %s es de una versión más reciente del "
                                                       "programa: no se usa ni se modifica."),
                                        {dbFile}),
                                   Prompter::Icon::Critical);
            } else {
                // A full disk or a folder that cannot be used stops the settings and the database
                // alike: one message says both.
                QString text = databaseFailureText(DatabaseTask::Open, dbFile, code, error);
                if (!iniFailureTold)
                    text = settingsWriteFailedText(iniFile) + QLatin1Char('\r') + text;
                iniFailureTold = true;
                prompter().message(text, Prompter::Icon::Critical);
            }
            host_.showWindow();
            return result;
        }
        // A new database's settings row starts as the settings in use, not as fixed defaults.
        if (fresh) {
            Settings row = settings_;
            if (!saveSettingsRow(&row, state.codigoIdioma, &error, &code))
                reportDatabaseFailure(DatabaseTask::Save, {}, code, error);
        }
    }
    tellIniFailure();
    result.databaseOpen = true;

    host_.setCaption(QString::fromLatin1(kAppTitle));
    host_.translateWindow();
    removeLeftoverAccessFiles(); // of a program that was killed while it read an Access file
    mergePendingBackup();
    if (followCommandLine)
        this->followCommandLine(rawCommandLine, &result);
    host_.showWindow();
    result.reachedEnd = true;
    return result;
}

void Startup::mergePendingBackup()
{
    const QString backup = AppPaths::backupFile();
    if (!ExisteFichero(backup)) {
        // What SQLite kept beside an earlier backup would be read as part of the next one.
        removeDatabaseLeftovers(backup);
        return;
    }
    ImportService* service = importService();
    if (!service) {
        std::fprintf(stderr, "nbx70: %s waits until database merging is available\n", qPrintable(backup));
        return;
    }
    host_.showWindow();
    host_.setImportPanelVisible(true);
    appState().ficheroImportar = backup;
    const MergeReport report = service->mergeDatabase(backup);
    appState().ficheroImportar.clear();
    const bool inPart = report.outcome == MergeOutcome::Merged && !report.rowsLeftOut.isEmpty();
    if (report.outcome == MergeOutcome::Merged && !inPart) {
        removeDatabaseFile(backup); // every row it holds is in the main database now
    } else if (report.outcome == MergeOutcome::OpenFailed || inPart) {
        // Never lose the user's only copy: a file that cannot be merged, or whose rows were not
        // all added, is set aside, so it is not retried at every start, and the user is told where
        // it went and why.
        const QString aside = backup + QStringLiteral(".failed-")
            + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
        const QString where = QDir::toNativeSeparators(QFileInfo(aside).absoluteFilePath());
        if (renameDatabaseFile(backup, aside)) {
            QStringList lines;
            if (inPart) {
                lines << GetS(QStringLiteral("La copia pendiente no se ha añadido entera y se ha guardado como %s."), {where})
                      << report.rowsLeftOut;
            } else {
                lines << GetS(157) << GetS(QStringLiteral("La copia pendiente no se puede añadir y se ha guardado como %s."), {where});
                const QString reason = databaseFailureReason(DatabaseTask::MergeBackup, report.code, report.error);
                if (!reason.isEmpty())
                    lines << reason;
            }
            prompter().message(lines.join(QLatin1Char('\r')), Prompter::Icon::Exclamation);
        } else if (inPart) {
            // It stays, and the next start adds what it can again.
            prompter().message(report.rowsLeftOut.join(QLatin1Char('\r')) + QLatin1Char('\r')
                                   + databaseFailureText(DatabaseTask::MergeBackup, backup, 0, {}),
                               Prompter::Icon::Exclamation);
        } else {
            // It cannot even be renamed: it stays, and the user hears why it was not added.
            reportDatabaseFailure(DatabaseTask::MergeBackup, backup, report.code, report.error);
        }
    } else if (report.outcome == MergeOutcome::Failed) {
        // Busy, full, read-only, I/O: not the file's fault, so it stays for the next start.
        reportDatabaseFailure(DatabaseTask::MergeBackup, backup, report.code, report.error);
    }
    host_.setImportPanelVisible(false);
}

void Startup::followCommandLine(const QString& rawCommandLine, StartupResult* result)
{
    AppState& state = appState();
    state.lineaComandosTxt = LineaComandos(rawCommandLine);
    if (state.lineaComandosTxt.isEmpty())
        return;
    if (isExchangeFile(state.lineaComandosTxt)) {
        state.ficheroImportar = state.lineaComandosTxt;
        result->commandLineFollowed = host_.importExchangeFileModal(state.ficheroImportar);
        state.ficheroImportar.clear();
    } else {
        result->commandLineFollowed = host_.openProgrammingModal();
    }
}

bool saveSettingsRow(Settings* settings, int codigoIdioma, QString* error, int* code)
{
    if (settings->prefijoMarcado.isEmpty())
        settings->prefijoMarcado = QStringLiteral(" ");
    ConfiguracionRow row;
    row.byCom = settings->puertoCom;
    row.iIdioma = codigoIdioma;
    row.byTono = settings->marcadoTonos;
    row.byModem = settings->conexionModem;
    row.tPrefijo = settings->prefijoMarcado;
    row.iModemSpeed = settings->velocidadModem;
    row.tUsuario = appState().textoUsuario;
    return ConfiguracionRepo::saveSettings(row, error, code);
}

void askFooterText()
{
    AppState& state = appState();
    const auto answer = prompter().inputText(GetS(22), GetS(21), state.textoUsuario);
    if (!answer)
        return;
    state.textoUsuario = answer->left(50);
    const QString iniFile = AppPaths::configFile();
    if (!EscribirIni(QStringLiteral("Configuration"), QStringLiteral("User"), state.textoUsuario, iniFile))
        prompter().message(settingsWriteFailedText(iniFile), Prompter::Icon::Critical);
    if (!Database::isOpen())
        return;
    QString error;
    int code = 0;
    if (!ConfiguracionRepo::saveUsuario(state.textoUsuario, &error, &code))
        reportDatabaseFailure(DatabaseTask::Save, {}, code, error);
}

} // namespace nbx
