#include "common/Prompter.h"

#include <cstdio>

namespace nbx {

namespace {

class StderrPrompter : public Prompter {
public:
    Answer message(const QString& text, Icon, Buttons buttons) override
    {
        std::fprintf(stderr, "%s: %s\n", kAppTitle, qPrintable(displayText(text)));
        switch (buttons) {
        case Buttons::YesNo:
        case Buttons::YesNoCancel: return Answer::Yes;
        case Buttons::RetryCancel: return Answer::Retry;
        default: return Answer::Ok;
        }
    }
    std::optional<QString> inputText(const QString&, const QString&, const QString&) override
    {
        return std::nullopt;
    }
};

StderrPrompter g_fallback;
Prompter* g_current = nullptr;

} // namespace

Prompter& prompter() { return g_current ? *g_current : g_fallback; }

void setPrompter(Prompter* p) { g_current = p; }

QString displayText(const QString& text)
{
    QString out = text;
    out.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    out.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return out;
}

} // namespace nbx
