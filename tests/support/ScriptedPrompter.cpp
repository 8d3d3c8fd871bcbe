#include "ScriptedPrompter.h"

namespace nbx::test {

Prompter::Answer ScriptedPrompter::message(const QString& text, Icon icon, Buttons buttons)
{
    shown.append({text, icon, buttons});
    if (!answers_.empty()) {
        Answer a = answers_.front();
        answers_.pop_front();
        return a;
    }
    switch (buttons) {
    case Buttons::YesNo:
    case Buttons::YesNoCancel: return Answer::Yes;
    case Buttons::RetryCancel: return Answer::Retry;
    default: return Answer::Ok;
    }
}

std::optional<QString> ScriptedPrompter::inputText(const QString& prompt, const QString&,
                                                   const QString&)
{
    prompts.append(prompt);
    if (inputs_.empty())
        return std::nullopt;
    const auto [answered, text] = inputs_.front();
    inputs_.pop_front();
    if (!answered)
        return std::nullopt;
    return text;
}

bool ScriptedPrompter::sawText(const QString& text) const
{
    for (const auto& s : shown)
        if (s.text == text)
            return true;
    return false;
}

} // namespace nbx::test
