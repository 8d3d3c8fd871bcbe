// Message and input boxes shown with Qt's dialogs, titled with the application title.
#pragma once

#include "common/Prompter.h"

namespace nbx {

class QtPrompter : public Prompter {
public:
    Answer message(const QString& text, Icon icon, Buttons buttons) override;
    std::optional<QString> inputText(const QString& prompt, const QString& title,
                                     const QString& defaultText) override;
    void beep() override;
};

} // namespace nbx
