// A prompter for tests: records every message and answers from a script.
#pragma once

#include "common/Prompter.h"

#include <QList>
#include <QString>
#include <deque>

namespace nbx::test {

class ScriptedPrompter : public Prompter {
public:
    struct Shown {
        QString text;
        Icon icon;
        Buttons buttons;
    };

    ScriptedPrompter() { setPrompter(this); }
    ~ScriptedPrompter() override { setPrompter(nullptr); }

    // Answers for the next questions, in order. When the script runs out, messages get their
    // first button and inputs are cancelled.
    void answer(Answer a) { answers_.push_back(a); }
    void input(const QString& text) { inputs_.push_back({true, text}); }
    void cancelInput() { inputs_.push_back({false, QString()}); }

    Answer message(const QString& text, Icon icon, Buttons buttons) override;
    std::optional<QString> inputText(const QString& prompt, const QString& title,
                                     const QString& defaultText) override;
    void beep() override { ++beeps; }

    QList<Shown> shown;         // every message, in order
    QList<QString> prompts;     // every input prompt, in order
    int beeps = 0;

    bool sawText(const QString& text) const;

private:
    std::deque<Answer> answers_;
    std::deque<std::pair<bool, QString>> inputs_; // (answered, text)
};

} // namespace nbx::test
