// Message and input boxes shown with Qt's dialogs, titled with the application title.
#pragma once

#include "common/Prompter.h"

#include <functional>

namespace nbx {

class QtPrompter : public Prompter {
public:
    // The buttons are named with the program's own texts ("Aceptar", "Cancelar", "Sí", "No",
    // "Reintentar") through `translate`, so they read in the language of the box's text from the
    // first box of the start on, whatever Qt's own catalogues hold. Without it, Qt names them.
    using Translate = std::function<QString(const QString& native)>;
    explicit QtPrompter(Translate translate = {}) : translate_(std::move(translate)) {}

    Answer message(const QString& text, Icon icon, Buttons buttons) override;
    std::optional<QString> inputText(const QString& prompt, const QString& title,
                                     const QString& defaultText) override;
    void beep() override;

private:
    Translate translate_;
};

} // namespace nbx
