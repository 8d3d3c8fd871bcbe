#include "programming/SavePrompt.h"

#include "common/Prompter.h"
#include "localisation/Strings.h"
#include "programming/SheetText.h"

namespace nbx {

namespace {

bool serialIsZero(const SheetValues& sheet)
{
    const std::optional<double> v = boxNumber(sheet.numeroSerie);
    return !v || *v == 0.0;
}

bool userWantsToSave()
{
    return prompter().message(GetS(23), Prompter::Icon::Question, Prompter::Buttons::OkCancel)
           == Prompter::Answer::Ok;
}

} // namespace

LeaveDecision Modificat(const SheetValues& sheet, const ProgrammingState& state, const std::function<bool()>& graba)
{
    if (serialIsZero(sheet) || !state.fichaModificada)
        return LeaveDecision::Proceed;
    if (!userWantsToSave())
        return LeaveDecision::Proceed;
    return graba() ? LeaveDecision::Proceed : LeaveDecision::Abort;
}

LeaveDecision Modificat(const SheetValues& sheet, ProgrammingState& state, SheetRepository& repo, const Clock& now)
{
    return Modificat(sheet, state, [&] { return GrabaProgramacio(sheet, state, repo, now); });
}

bool GrabarConConfirmacion(const SheetValues& sheet, ProgrammingState& state, SheetRepository& repo, const Clock& now)
{
    if (serialIsZero(sheet) || !userWantsToSave())
        return false;
    return GrabaProgramacio(sheet, state, repo, now);
}

} // namespace nbx
