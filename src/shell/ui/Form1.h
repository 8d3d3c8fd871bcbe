// Form1: the main window, from which every other window is opened.
#pragma once

#include "shell/Startup.h"

#include <QWidget>
#include <functional>

class QLabel;
class QPushButton;

namespace nbx {

class Form1 : public QWidget, public StartupHost {
    Q_OBJECT
public:
    explicit Form1(QWidget* parent = nullptr);

    // Runs the start-up sequence; the window shows itself at its end.
    StartupResult start(const QString& rawCommandLine, bool followCommandLine, int languageCode = 0);

    // Called when the language window has chosen a language: the main window is rebuilt in it.
    std::function<void(int codigoIdioma)> onLanguageReload;

    QPushButton* SSCommandProgramacion;
    QPushButton* SSCommandIncidencias;
    QPushButton* SSCommandPort;
    QPushButton* SSCommandIdioma;
    QPushButton* SSCommandUsuario;
    QPushButton* SSCommandHelp;
    QPushButton* SSCommandExit;
    QPushButton* SSCommand1;
    QPushButton* CommandExportar;
    QLabel* SSPanel1;

    const Settings& settings() const { return settings_; }

    // Writes the settings into the Configuracion row (the close-time save).
    void saveSettings();

    // The Exit road ("Salir", and a signal's end): the other windows leave through their own exits,
    // a call kept up is hung up, and the program ends without the close-time save. False when a
    // window stays open.
    bool exitProgram();

    // StartupHost
    void setupLanguage(int languageCode, const QString& languageColumn) override;
    void applySettings(const Settings& settings) override;
    void setCaption(const QString& caption) override;
    void translateWindow() override;
    void showWindow() override;
    void setImportPanelVisible(bool visible) override;
    bool importExchangeFileModal(const QString& path) override;
    bool openProgrammingModal() override;

public Q_SLOTS:
    void SSCommandProgramacion_Click();
    void SSCommandIncidencias_Click();
    void SSCommandPort_Click();
    void SSCommandIdioma_Click();
    void CommandExportar_Click();
    void SSCommandUsuario_Click();
    void SSCommandHelp_Click();
    void SSCommandExit_Click();
    void SSCommand1_Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Closes the other main windows through their own exit paths; false when one stays open.
    bool closeOtherWindows();
    // Disables every enabled button (and enables them again) around an import or a merge.
    void holdButtons(bool hold);

    Settings settings_;
    bool databaseOpen_ = false;
    bool exiting_ = false; // "Salir": quit without the close-time save
    QList<QPushButton*> disabledForMerge_;
};

} // namespace nbx
