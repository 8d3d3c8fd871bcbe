// Form7: the language choice window.
#pragma once

#include <QDialog>
#include <functional>

class QPushButton;
class QRadioButton;

namespace nbx {

class Form7 : public QDialog {
    Q_OBJECT
public:
    // The designed texts only; Form_Load does the rest.
    explicit Form7(QWidget* parent = nullptr);

    // Called after Aceptar has stored the language and closed the window, with the chosen code
    // (0 when no option was checked): the shell reloads the main window in that language. It is
    // passed because the ini may have failed to take it, and the language still applies for this
    // run. The call happens inside the dialog's event handling, so the hook must defer destroying
    // the main window (e.g. with a queued call).
    void setRestartHook(std::function<void(int codigoIdioma)> hook) { restart_ = std::move(hook); }

    // Translates the window and checks the option of the running language (appState().codigoIdioma).
    void Form_Load();

    int chosenCode() const { return chosen_; }

    // The value written for the ini key "Language" for a language code; empty for other codes.
    static QString localeIdForCode(int code);

    QRadioButton* option(int code) const;
    QPushButton* SSCommandAceptar = nullptr;
    QPushButton* SSCommandCancelar = nullptr;

public slots:
    void SSCommandAceptar_Click();
    void SSCommandCancelar_Click();

private:
    struct Option {
        int code;
        QRadioButton* button;
    };
    QList<Option> options_;
    int chosen_ = 0;
    std::function<void(int)> restart_;
};

} // namespace nbx
