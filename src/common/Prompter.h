// Message and input boxes behind one interface: real dialogs in the program, scripted answers in tests.
#pragma once

#include <QString>
#include <optional>

namespace nbx {

class Prompter {
public:
    enum class Icon { None, Critical, Question, Exclamation, Information };
    enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel };
    enum class Answer { Ok, Cancel, Yes, No, Retry };

    virtual ~Prompter() = default;

    // Shows a message box titled with the application title. Texts may hold CR or CR LF line
    // breaks; implementations show them as line breaks.
    virtual Answer message(const QString& text, Icon icon, Buttons buttons = Buttons::Ok) = 0;

    // Asks for a line of text. Returns no value when the user cancels, so that Cancel can be told
    // apart from an empty OK.
    virtual std::optional<QString> inputText(const QString& prompt, const QString& title,
                                             const QString& defaultText) = 0;

    // Short acoustic signal for a refused action.
    virtual void beep() {}
};

// The program-wide prompter. Until one is installed, messages go to standard error and every
// question is answered with its first button (OK, Yes or Retry) or a cancelled input.
Prompter& prompter();
void setPrompter(Prompter* p);

// Converts the line breaks kept inside texts (CR or CR LF) to "\n" for display.
QString displayText(const QString& text);

inline constexpr const char* kAppTitle = "NBX-70";

} // namespace nbx
